// Reader screen: buttons, menu panel, level meter, status scroller, scroll
// thumb, pointer, and the order in which a reader frame is drawn.
#include <algorithm>
#include <cmath>
#include <string>

#include "render/graphics.h"

namespace render {

// Pointer shape (values 0..4, 0 transparent), then the buttons.
const std::array<int16_t, kButtonTableValues> kButtonTable = {
    // pointer, 11 x 11
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
    // skin 1: x, y, lastDX, lastDY, state, glow
    35, 40, 88, 19, 0, 0,     // 1 QUIT
    35, 65, 88, 19, 0, 0,     // 2 CHARTS
    35, 90, 88, 19, 1, 0,     // 3 ARTICLES
    672, 65, 88, 19, 0, 0,    // 4 RULES
    672, 90, 88, 19, 0, 0,    // 5 HELP
    672, 40, 88, 19, 0, 0,    // 6 MUTE
    9, 132, 57, 19, 1, 0,     // 7 MUSIC 1
    73, 132, 57, 19, 0, 0,    // 8 MUSIC 2
    665, 132, 57, 19, 0, 0,   // 9 MUSIC 3
    729, 132, 57, 19, 0, 0,   // 10 MUSIC 4
    // skin 2: x, y, lastDX, lastDY
    25, 49, 76, 19,    // 1
    25, 73, 76, 19,    // 2
    25, 97, 76, 19,    // 3
    698, 73, 76, 19,   // 4
    698, 97, 76, 19,   // 5
    698, 49, 76, 19,   // 6
    18, 137, 43, 8,    // 7
    79, 137, 44, 8,    // 8
    669, 137, 44, 8,   // 9
    733, 137, 43, 8,   // 10
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
constexpr int kPanelLeft = 146;
constexpr int kPanelRight = 649;
constexpr int kPanelTop = 40;
constexpr int kPanelBottom = 145;
constexpr int kMenuRowY = 60;
constexpr int kMenuRowStep = 12;
constexpr int kMenuRows = 5;

// The menu entries behind the nine slots, per page (index page - 1).
constexpr std::array<std::array<int, 9>, 2> kMenuSlots = {{
    {1, 2, 3, 4, 5, 6, 7, 8, 9},          // charts page
    {11, 13, 14, 15, 16, 17, 18, 19, 20}, // articles page
}};

struct MenuColumn {
  int32_t x;          // text and bar x
  int32_t hoverLeft;  // pointer columns that light a bar, inclusive
  int32_t hoverRight;
  int firstSlot;      // 0-based index into kMenuSlots
  int items;          // 5 on the left, 4 on the right (then the page switch)
};
constexpr std::array<MenuColumn, 2> kMenuColumns = {{
    {148, 149, 392, 0, 5},
    {402, 403, 646, 5, 4},
}};

constexpr int kStatusChars = 58;

void setPixel(Graphics& g, int32_t x, int32_t y, uint32_t colour) {
  if (x < 0 || x >= kFrameWidth || y < 0 || y >= kFrameHeight) return;
  g.frame[static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x)] = colour;
}

}  // namespace

const Rect& buttonRect(const Graphics& g, int32_t button, int32_t skin) {
  return g.buttons[static_cast<std::size_t>(std::clamp(button, 1, kButtonCount))].rect[static_cast<std::size_t>(skinSlot(skin))];
}

void setUpButtonsAndPointer(Graphics& g) {
  std::size_t at = 0;
  std::array<int16_t, kSpritePixels> shape{};
  for (auto& v : shape) v = kButtonTable[at++];
  for (int i = 0; i < kSpritePixels; ++i) {
    const int v = shape[static_cast<std::size_t>(i)];
    const bool opaque = v >= 1 && v <= 4;  // 0 and anything above 4 are transparent
    g.pointerSprite[kPointerNormal][static_cast<std::size_t>(i)] = opaque ? kNormalPointer[static_cast<std::size_t>(v)] : 0;
    g.pointerSprite[kPointerHot][static_cast<std::size_t>(i)] = opaque ? kHotPointer[static_cast<std::size_t>(v)] : 0;
  }
  for (int b = 1; b <= kButtonCount; ++b) {
    Button& button = g.buttons[static_cast<std::size_t>(b)];
    button.rect[0] = Rect{kButtonTable[at], kButtonTable[at + 1], kButtonTable[at + 2], kButtonTable[at + 3]};
    button.initialState = kButtonTable[at + 4];
    button.glow = kButtonTable[at + 5];
    at += 6;
  }
  for (int b = 1; b <= kButtonCount; ++b) {
    g.buttons[static_cast<std::size_t>(b)].rect[1] =
        Rect{kButtonTable[at], kButtonTable[at + 1], kButtonTable[at + 2], kButtonTable[at + 3]};
    at += 4;
  }
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

void drawButtons(Graphics& g, const app::ViewState& view) {
  g.pointerShape = kPointerNormal;
  const bool grunge = view.skin == 1;
  for (int b = 1; b <= kButtonCount; ++b) {
    Button& button = g.buttons[static_cast<std::size_t>(b)];
    const Rect& r = button.rect[static_cast<std::size_t>(skinSlot(view.skin))];
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
    if (strictlyInside(r, view.pointerX, view.pointerY)) {
      g.pointerShape = kPointerHot;
      if (view.clickLatch != 1) button.glow = std::min(button.glow + 10, 125);
    }
  }
}

void drawMenuPanel(Graphics& g, const app::ViewState& view, const content::Content& content) {
  const std::string& title = content.texts.title;
  const int32_t titleX = roundEven(404.0 - static_cast<double>(title.size()) * 9.0 / 2.0);
  drawText(g, title, titleX, kTitleY, kPanelLeft, kPanelRight, kPanelTop, kPanelBottom, 1, kTitleCode);

  const int page = view.menuPage == 1 ? 1 : 2;
  const auto& slots = kMenuSlots[static_cast<std::size_t>(page - 1)];
  const bool pointerFree = view.clickLatch != 1;
  for (const MenuColumn& column : kMenuColumns) {
    // Items, then the page switch in the right column's last row.
    for (int k = 0; k < column.items; ++k) {
      const auto& entry = content.menu[static_cast<std::size_t>(slots[static_cast<std::size_t>(column.firstSlot + k)])];
      if (entry.enabled != 1) continue;
      drawText(g, entry.label, column.x, kMenuRowY + kMenuRowStep * k, kPanelLeft, kPanelRight, kPanelTop,
               kPanelBottom, 1, kMenuItemCode);
    }
    if (column.items < kMenuRows) {
      drawText(g, page == 1 ? "> Articles Menu" : "> Charts Menu", column.x, kMenuRowY + kMenuRowStep * column.items,
               kPanelLeft, kPanelRight, kPanelTop, kPanelBottom, 1, kPageSwitchCode);
    }
    // A faint bar on every row; the hovered one lights up.
    for (int k = 0; k < kMenuRows; ++k) {
      const int32_t y = kMenuRowY + 1 + kMenuRowStep * k;
      const bool hovered = pointerFree && view.pointerX >= column.hoverLeft && view.pointerX <= column.hoverRight &&
                           y < view.pointerY && view.pointerY < y + 10;
      if (hovered) {
        g.pointerShape = kPointerHot;
        blendRect(g, column.x, y, 245, 10, 125, 100, 100, 132);
      } else {
        blendRect(g, column.x, y, 245, 10, 60, 100, 100, 100);
      }
    }
    // The open article's row.
    for (int k = 0; k < column.items; ++k) {
      const int e = slots[static_cast<std::size_t>(column.firstSlot + k)];
      if (view.entryOpen[static_cast<std::size_t>(e)] == 1) {
        blendRect(g, column.x, kMenuRowY + kMenuRowStep * k, 245, 10, 90, 200, 100, 100);
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

void drawStatusScroller(Graphics& g, app::ViewState& view, const content::Content& content) {
  const std::string& text = content.texts.bottomScroller[static_cast<std::size_t>(std::clamp(view.currentModule, 1, 4))];
  const int32_t length = static_cast<int32_t>(text.size());
  if (view.scrollerPos < 1) view.scrollerPos = 1;
  if (view.scrollerPos <= length) {
    const std::string_view shown = std::string_view(text).substr(static_cast<std::size_t>(view.scrollerPos - 1), kStatusChars);
    const int32_t x = roundEven(146.0 - std::floor(g.scrollerPhase));
    drawText(g, shown, x, view.skin == 1 ? 123 : 124, kPanelLeft, kPanelRight, kPanelTop, kPanelBottom, 2, 2);
  }
  g.scrollerPhase += 1.0;
  if (g.scrollerPhase > 9.0) {
    view.scrollerPos += 1;
    if (view.scrollerPos > length) view.scrollerPos = 1;
    g.scrollerPhase -= 9.0;
  }
}

void drawScrollThumb(Graphics& g, const app::ViewState& view) {
  const int32_t n = view.lineCount;
  if (n <= kVisibleRows) return;
  const int32_t y = 195 + roundEven(361.0 / (n - 33) * view.topLine);
  if (view.skin == 1) {
    blendRect(g, 779, y, 8, 19, 80, 100, 150, 250);
    blendRect(g, 779, y, 8, 19, g.thumbGlow, 100, 125, 200);
  } else {
    blendRect(g, 783, y, 9, 19, 80, 50, 150, 250);
    blendRect(g, 783, y, 9, 19, g.thumbGlow, 100, 150, 250);
  }
}

void dragScrollThumb(Graphics& g, app::ViewState& view) {
  const int32_t s = view.skin == 1 ? 0 : 5;
  if (view.buttonDown == 0) g.dragging = 0;
  const bool active = g.dragging == 1 || (775 + s < view.pointerX && view.pointerX < 791 + s && 200 < view.pointerY &&
                                          view.pointerY <= 560);
  if (!active) {
    if (g.thumbGlow > 0) g.thumbGlow -= 5;
    return;
  }
  g.pointerShape = kPointerHot;
  if (view.buttonDown == 1 || g.dragging == 1) g.pointerShape = kPointerNormal;
  if (view.buttonDown == 1) {
    g.dragging = 1;
    const int32_t n = view.lineCount;
    const int32_t top = roundEven(static_cast<double>(view.pointerY - 200) * (n - 32) / 352.0);
    view.topLine = std::clamp(top, 0, std::max(n - 33, 0));
  }
  if (g.thumbGlow < 125) g.thumbGlow += 5;
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

void drawReaderPage(Graphics& g, const ReaderScene& scene) {
  app::ViewState& view = scene.view;
  drawSkinBackground(g, view.skin);
  drawButtons(g, view);
  drawMenuPanel(g, view, scene.content);
  drawArticleRules(g, view, scene.article, view.topLine);
  drawArticleText(g, view, scene.article, view.topLine);
  if (view.buttonState[6] == 0) drawLevelMeter(g, view.skin, scene.notes);
  drawStatusScroller(g, view, scene.content);
}

void drawReaderFrame(Graphics& g, const ReaderScene& scene) {
  app::ViewState& view = scene.view;
  drawReaderPage(g, scene);
  if (view.lineCount >= kVisibleRows) {
    drawScrollThumb(g, view);
    dragScrollThumb(g, view);
  } else {
    view.pixelOffset = 5;  // a page shorter than the screen sits 5 pixels lower
  }
  drawPointer(g, view.pointerX, view.pointerY);
}

}  // namespace render
