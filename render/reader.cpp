// Reader screen: buttons, menu panel, level meter, status scroller, scroll
// thumb, pointer, and the order in which a reader frame is drawn.
#include <algorithm>
#include <cmath>
#include <string>

#include "render/graphics.h"

namespace render {

// Pointer shape (values 0..4, 0 transparent), 11 x 11.
const std::array<int16_t, kSpritePixels> kPointerShape = {
    1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0,  //
    1, 2, 3, 3, 3, 3, 3, 1, 0, 0, 0,  //
    1, 4, 2, 2, 2, 2, 1, 0, 0, 0, 0,  //
    1, 4, 2, 2, 2, 2, 3, 1, 0, 0, 0,  //
    1, 4, 2, 2, 2, 2, 2, 3, 1, 0, 0,  //
    1, 4, 2, 2, 2, 2, 2, 2, 3, 1, 0,  //
    1, 4, 1, 4, 2, 2, 2, 2, 2, 3, 1,  //
    1, 1, 0, 1, 4, 2, 2, 2, 2, 1, 0,  //
    1, 0, 0, 0, 1, 4, 2, 2, 1, 0, 0,  //
    0, 0, 0, 0, 0, 1, 4, 1, 0, 0, 0,  //
    0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0,  //
};

namespace {

// Sprite value 1..4 -> colour, per shape.
constexpr std::array<uint32_t, 5> kNormalPointer = {0, 0x111133, 0x8888AA, 0xCCCCEE, 0x555577};
constexpr std::array<uint32_t, 5> kHotPointer = {0, 0x221100, 0xDDBB77, 0xFFEEAA, 0x995522};

// Meter rows 131..147; 131..134 are black in both skins.
constexpr std::array<uint32_t, 17> kMeterGrunge = {0, 0, 0, 0, 0xEEBB33, 0xDDAA33, 0xCC9933, 0xBB8833, 0xAA7733,
                                                   0x996622, 0x885522, 0x774422, 0x663322, 0x552211, 0x441111,
                                                   0x331111, 0x221111};
constexpr std::array<uint32_t, 17> kMeterCarbon = {0, 0, 0, 0, 0x33BBEE, 0x33AADD, 0x3399CC, 0x3388BB, 0x3377AA,
                                                   0x226699, 0x225588, 0x224477, 0x223366, 0x221155, 0x111144,
                                                   0x111133, 0x111122};
constexpr int kMeterLeft = 158;
constexpr int kMeterSpacing = 12;
constexpr int kMeterBarWidth = 11;  // columns 158 + 12i .. 168 + 12i

constexpr int kTitleY = 42;
constexpr int kTitleCode = 25;
constexpr int kMenuItemCode = 2;
constexpr int kPageSwitchCode = 1;
constexpr int kPanelLeft = kMenuClip.x;
constexpr int kPanelRight = kMenuClip.right();
constexpr int kPanelTop = kMenuClip.y;
constexpr int kPanelBottom = kMenuClip.bottom();

constexpr int kStatusChars = 58;

void setPixel(Graphics& g, int32_t x, int32_t y, uint32_t colour) {
  if (x < 0 || x >= kFrameWidth || y < 0 || y >= kFrameHeight) return;
  g.frame[static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x)] = colour;
}

}  // namespace

void setUpButtonsAndPointer(Graphics& g) {
  for (int i = 0; i < kSpritePixels; ++i) {
    const int v = kPointerShape[static_cast<std::size_t>(i)];
    const bool opaque = v >= 1 && v <= 4;  // 0 and anything above 4 are transparent
    g.pointerSprite[kPointerNormal][static_cast<std::size_t>(i)] = opaque ? kNormalPointer[static_cast<std::size_t>(v)] : 0;
    g.pointerSprite[kPointerHot][static_cast<std::size_t>(i)] = opaque ? kHotPointer[static_cast<std::size_t>(v)] : 0;
  }
  for (Button& button : g.buttons) button.glow = 0;
  g.pointerShape = kPointerNormal;
  g.thumbGlow = 0;
  g.dragging = 0;
  g.scrollerPhase = 0.0;
}

void setUpLevelMeter(Graphics& g) {
  g.meter.colours[0] = kMeterGrunge;
  g.meter.colours[1] = kMeterCarbon;
  g.meter.bars.fill(0);
  for (int i = 0; i < kMeterBars; ++i) g.meter.bars[static_cast<std::size_t>(i)] = kMeterBaseRow;
}

void setMeterChannelCount(Graphics& g, int32_t channels) { g.meter.channelCount = std::max(channels, 0); }

void drawButtons(Graphics& g, const ViewState& view) {
  g.pointerShape = kPointerNormal;
  const bool grunge = view.skin == 1;
  for (int b = 1; b <= kButtonCount; ++b) {
    Button& button = g.buttons[static_cast<std::size_t>(b)];
    const Rect& r = buttonRect(b, view.skin);
    button.glow = std::max(button.glow - 3, 0);
    if (view.buttonState[static_cast<std::size_t>(b)] == 1) {
      if (grunge) {
        blendRect(g, r.x, r.y, r.lastDX, r.lastDY, 125, 125, 70, 20);
      } else {
        blendRect(g, r.x, r.y, r.lastDX, r.lastDY, 95, 100, 150, 250);
      }
      continue;
    }
    if (grunge) {
      blendRect(g, r.x, r.y, r.lastDX, r.lastDY, button.glow, 30, 50, 125);
    } else {
      blendRect(g, r.x, r.y, r.lastDX, r.lastDY, button.glow, 50, 100, 250);
    }
    if (r.contains(view.pointerX, view.pointerY)) {
      g.pointerShape = kPointerHot;
      if (view.clickLatch != 1) button.glow = std::min(button.glow + 10, 125);
    }
  }
}

void drawMenuPanel(Graphics& g, const ViewState& view, const content::Content& content) {
  const std::string& title = content.texts.title;
  const int32_t titleX = roundEven(404.0 - static_cast<double>(title.size()) * 9.0 / 2.0);
  drawText(g, title, titleX, kTitleY, kPanelLeft, kPanelRight, kPanelTop, kPanelBottom, 1, kTitleCode);

  const int page = view.menuPage == 1 ? 1 : 2;
  const auto& slots = kMenuEntries[static_cast<std::size_t>(page)];
  const bool pointerFree = view.clickLatch != 1;
  for (const MenuColumn& column : kMenuColumns) {
    // Items, then the page switch in the right column's last row.
    for (int k = 0; k < column.items; ++k) {
      const auto& entry = content.menu[static_cast<std::size_t>(slots[static_cast<std::size_t>(column.firstSlot + k)])];
      if (entry.enabled != 1) continue;
      drawText(g, entry.label, column.textX, kMenuRowY + kMenuRowStep * k, kPanelLeft, kPanelRight, kPanelTop,
               kPanelBottom, 1, kMenuItemCode);
    }
    if (column.items < kMenuRows) {
      drawText(g, page == 1 ? "> Articles Menu" : "> Charts Menu", column.textX, kMenuRowY + kMenuRowStep * column.items,
               kPanelLeft, kPanelRight, kPanelTop, kPanelBottom, 1, kPageSwitchCode);
    }
    // A faint bar on every row; the hovered one lights up.
    for (int k = 0; k < kMenuRows; ++k) {
      const int32_t y = kMenuRowY + 1 + kMenuRowStep * k;
      const bool hovered = pointerFree && view.pointerX >= column.hoverLeft && view.pointerX <= column.hoverRight &&
                           y < view.pointerY && view.pointerY < y + kMenuBarHeight;
      if (hovered) {
        g.pointerShape = kPointerHot;
        blendRect(g, column.textX, y, kMenuBarWidth, kMenuBarHeight, 125, 100, 100, 132);
      } else {
        blendRect(g, column.textX, y, kMenuBarWidth, kMenuBarHeight, 60, 100, 100, 100);
      }
    }
    // The open article's row.
    for (int k = 0; k < column.items; ++k) {
      const int e = slots[static_cast<std::size_t>(column.firstSlot + k)];
      if (view.entryOpen[static_cast<std::size_t>(e)] == 1) {
        blendRect(g, column.textX, kMenuRowY + kMenuRowStep * k, kMenuBarWidth, kMenuBarHeight, 90, 200, 100, 100);
      }
    }
  }
  drawRule(g, 57, 144, 507, 8, view.animClock);
  drawRule(g, 122, 144, 507, 8, view.animClock);
}

void drawLevelMeter(Graphics& g, int32_t skin, const NoteSource& notes) {
  auto& bars = g.meter.bars;
  for (int32_t c = 0; c < g.meter.channelCount; ++c) {
    const int32_t i = static_cast<int32_t>(notes.cellAt(c) & 0xFF) - 45;
    if (i < 1 || i > 38) continue;
    bars[static_cast<std::size_t>(i)] -= 4;
    bars[static_cast<std::size_t>(i - 1)] -= 3;
    bars[static_cast<std::size_t>(i + 1)] -= 3;
  }
  const auto& colours = g.meter.colours[static_cast<std::size_t>(skinSlot(skin))];
  const int32_t drop = skin == 1 ? 0 : 2;  // 'Carbon' draws the meter two rows lower
  for (int i = 0; i < kMeterBars; ++i) {
    double& t = bars[static_cast<std::size_t>(i)];
    if (t < kMeterTopRow) t = kMeterTopRow;
    if (t <= kMeterBaseRow) t += 2;
    const int32_t x = kMeterLeft + kMeterSpacing * i;
    for (int32_t row = static_cast<int32_t>(std::floor(t)); row <= kMeterBaseRow; ++row) {
      const uint32_t colour = colours[static_cast<std::size_t>(row - kMeterTopRow)];
      uint32_t* p = g.frame.data() + static_cast<std::ptrdiff_t>(row + drop) * kFrameWidth + x;
      std::fill(p, p + kMeterBarWidth, colour);
    }
  }
}

int32_t drawStatusScroller(Graphics& g, const ViewState& view, const content::Content& content) {
  const std::string& text = content.texts.bottomScroller[static_cast<std::size_t>(std::clamp(view.currentModule, 1, 4))];
  const int32_t length = static_cast<int32_t>(text.size());
  int32_t pos = std::max(view.scrollerPos, 1);
  if (pos <= length) {
    const std::string_view shown = std::string_view(text).substr(static_cast<std::size_t>(pos - 1), kStatusChars);
    const int32_t x = roundEven(146.0 - std::floor(g.scrollerPhase));
    drawText(g, shown, x, view.skin == 1 ? 123 : 124, kPanelLeft, kPanelRight, kPanelTop, kPanelBottom, 2, 2);
  }
  g.scrollerPhase += 1.0;
  if (g.scrollerPhase > 9.0) {
    pos += 1;
    if (pos > length) pos = 1;
    g.scrollerPhase -= 9.0;
  }
  return pos;
}

void drawScrollThumb(Graphics& g, const ViewState& view) {
  const int32_t n = view.lineCount;
  if (n <= kVisibleRows) return;
  const int32_t lastTop = n - kVisibleRows;
  const int32_t y = kThumbTop + roundEven(static_cast<double>(kThumbTravel) / lastTop * view.topLine);
  const ThumbColumn& c = kThumbColumns[static_cast<std::size_t>(skinSlot(view.skin))];
  if (view.skin == 1) {
    blendRect(g, c.x, y, c.lastDX, kThumbLastDY, 80, 100, 150, 250);
    blendRect(g, c.x, y, c.lastDX, kThumbLastDY, g.thumbGlow, 100, 125, 200);
  } else {
    blendRect(g, c.x, y, c.lastDX, kThumbLastDY, 80, 50, 150, 250);
    blendRect(g, c.x, y, c.lastDX, kThumbLastDY, g.thumbGlow, 100, 150, 250);
  }
}

int32_t dragScrollThumb(Graphics& g, const ViewState& view) {
  const int32_t s = view.skin == 1 ? 0 : kDragSkin2Shift;
  if (view.buttonDown == 0) g.dragging = 0;
  const bool active = g.dragging == 1 || (kDragLeft + s < view.pointerX && view.pointerX < kDragRight + s &&
                                          kDragTop < view.pointerY && view.pointerY <= kDragBottom);
  if (!active) {
    if (g.thumbGlow > 0) g.thumbGlow -= 5;
    return view.topLine;
  }
  g.pointerShape = kPointerHot;
  if (view.buttonDown == 1 || g.dragging == 1) g.pointerShape = kPointerNormal;
  int32_t topLine = view.topLine;
  if (view.buttonDown == 1) {
    g.dragging = 1;
    const int32_t n = view.lineCount;
    // Pointer row kDragTop + kDragSpan reaches one line past the last top line.
    const int32_t top = roundEven(static_cast<double>(view.pointerY - kDragTop) * (n - kVisibleRows + 1) / kDragSpan);
    topLine = std::clamp(top, 0, std::max(n - kVisibleRows, 0));
  }
  if (g.thumbGlow < 125) g.thumbGlow += 5;
  return topLine;
}

void drawPointer(Graphics& g, int32_t x, int32_t y) {
  if (y < 1 || y > 591 || x < 1 || x > 791) return;
  const auto& sprite = g.pointerSprite[g.pointerShape == kPointerHot ? kPointerHot : kPointerNormal];
  for (int r = 0; r < kSpriteSize; ++r) {
    for (int k = 0; k < kSpriteSize; ++k) {
      const uint32_t colour = sprite[static_cast<std::size_t>(r * kSpriteSize + k)];
      // Rows 590 and 591 would put the sprite's foot below the frame: cut there.
      if (colour != 0) setPixel(g, x + k, y + r, colour);
    }
  }
}

ReaderUpdate drawReaderPage(Graphics& g, const ReaderScene& scene) {
  const ViewState& view = scene.view;
  drawSkinBackground(g, view.skin);
  drawButtons(g, view);
  drawMenuPanel(g, view, scene.content);
  drawArticleRules(g, view, scene.article, view.topLine);
  drawArticleText(g, view, scene.article, view.topLine);
  if (view.buttonState[kButtonMute] == 0) drawLevelMeter(g, view.skin, scene.notes);
  const int32_t scrollerPos = drawStatusScroller(g, view, scene.content);
  return ReaderUpdate{view.topLine, view.pixelOffset, scrollerPos};
}

ReaderUpdate drawReaderFrame(Graphics& g, const ReaderScene& scene) {
  const ViewState& view = scene.view;
  ReaderUpdate update = drawReaderPage(g, scene);
  if (view.lineCount >= kVisibleRows) {
    drawScrollThumb(g, view);
    update.topLine = dragScrollThumb(g, view);
  } else {
    update.pixelOffset = kShortPageOffset;
  }
  drawPointer(g, view.pointerX, view.pointerY);
  return update;
}

void drawWipe(Graphics& g, int32_t skin, int32_t reach) {
  const int32_t rows = wipeRows(skin);
  for (int32_t i = 0; i <= reach; i += 2) {
    const int32_t left = kWipeLeft + i;
    const int32_t right = kWipeRight - i;
    for (int32_t r = kWipeTop; r < kWipeTop + rows; ++r) {
      uint32_t* row = g.frame.data() + static_cast<std::size_t>(r) * kFrameWidth;
      if (left >= 0 && left < kFrameWidth) row[left] = 0;
      if (right >= 0 && right < kFrameWidth) row[right] = 0;
    }
  }
}

}  // namespace render
