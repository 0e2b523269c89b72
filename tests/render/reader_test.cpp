// Reader screen: buttons, menu panel, level meter, status scroller, scroll
// thumb and pointer.
#include <gtest/gtest.h>

#include <map>

#include "render_test_support.h"

namespace render {
namespace {
using testing::changedFrom;
using testing::fillFrame;
using testing::px;

constexpr uint32_t kGrey = 0x808080;

// Blend of one channel, as the blend primitive computes it.
uint32_t mix(uint32_t old, int alpha, int r, int gr, int b) {
  auto ch = [&](int colour, int shift) {
    return static_cast<uint32_t>((colour * alpha + static_cast<int>(old >> shift & 0xFF) * (256 - alpha)) / 256);
  };
  return ch(r, 16) << 16 | ch(gr, 8) << 8 | ch(b, 0);
}

ViewState readerState() {
  ViewState v;
  v.buttonState[3] = 1;
  v.buttonState[7] = 1;
  v.pointerX = 1;
  v.pointerY = 1;
  return v;
}

// Buttons -------------------------------------------------------------------

TEST(ButtonTable, RectanglesAndStatesFromTheLayout) {
  auto g = testing::makeGraphics();
  //  button  skin 1 rect         skin 2 rect         state
  EXPECT_EQ(buttonRect(1, 1).x, 35);
  EXPECT_EQ(buttonRect(4, 1).x, 672);
  EXPECT_EQ(buttonRect(4, 1).y, 65);
  EXPECT_EQ(buttonRect(10, 1).lastDX, 57);
  EXPECT_EQ(buttonRect(6, 2).y, 49);
  EXPECT_EQ(buttonRect(8, 2).lastDX, 44);
  EXPECT_EQ(buttonRect(10, 2).x, 733);
  EXPECT_EQ(buttonRect(10, 2).lastDY, 8);
  EXPECT_EQ(buttonRect(7, 3).x, 18);  // any skin but 1 uses the 'Carbon' rectangles
  for (int b = 1; b <= 10; ++b) {
    EXPECT_EQ(kButtonInitialState[static_cast<std::size_t>(b)], b == 3 || b == 7 ? 1 : 0) << b;
    EXPECT_EQ(g->buttons[static_cast<std::size_t>(b)].glow, 0);
  }
}

TEST(Buttons, HoverGlowRisesBySevenAndFadesByThree) {
  auto g = testing::makeGraphics();
  ViewState v = readerState();
  v.pointerX = 50;  // inside QUIT (35, 40, 88, 19)
  v.pointerY = 50;
  //  frame  glow
  //  1      0 - 0 + 10 = 10
  //  2      10 - 3 + 10 = 17
  //  18     122 -> 125 cap reached at frame 18 (10 + 7 * 17 = 129 -> 125)
  drawButtons(*g, v);
  EXPECT_EQ(g->buttons[1].glow, 10);
  EXPECT_EQ(g->pointerShape, kPointerHot);
  drawButtons(*g, v);
  EXPECT_EQ(g->buttons[1].glow, 17);
  for (int i = 0; i < 16; ++i) drawButtons(*g, v);
  EXPECT_EQ(g->buttons[1].glow, 125);
  v.pointerX = 400;
  drawButtons(*g, v);
  EXPECT_EQ(g->buttons[1].glow, 122);
  EXPECT_EQ(g->pointerShape, kPointerNormal);
  for (int i = 0; i < 50; ++i) drawButtons(*g, v);
  EXPECT_EQ(g->buttons[1].glow, 0);
}

TEST(Buttons, GlowIsTheBlendAlpha) {
  auto g = testing::makeGraphics();
  ViewState v = readerState();
  g->buttons[2].glow = 43;
  fillFrame(*g, kGrey);
  drawButtons(*g, v);  // glow 40 after the fall
  EXPECT_EQ(px(*g, 35, 65), mix(kGrey, 40, 30, 50, 125));
  EXPECT_EQ(px(*g, 123, 84), mix(kGrey, 40, 30, 50, 125));
  EXPECT_EQ(px(*g, 124, 84), kGrey);
  v.skin = 2;
  g->buttons[2].glow = 43;
  fillFrame(*g, kGrey);
  drawButtons(*g, v);
  EXPECT_EQ(px(*g, 25, 73), mix(kGrey, 40, 50, 100, 250));
}

TEST(Buttons, SelectedTintIgnoresHover) {
  auto g = testing::makeGraphics();
  ViewState v = readerState();
  v.pointerX = 50;  // over ARTICLES (35, 90, 88, 19), which is selected
  v.pointerY = 100;
  g->buttons[3].glow = 50;
  fillFrame(*g, kGrey);
  drawButtons(*g, v);
  EXPECT_EQ(px(*g, 40, 95), mix(kGrey, 125, 125, 70, 20));
  EXPECT_EQ(g->buttons[3].glow, 47);  // still fades, never rises
  EXPECT_EQ(g->pointerShape, kPointerNormal);
  v.skin = 2;
  v.pointerX = 30;
  fillFrame(*g, kGrey);
  drawButtons(*g, v);
  EXPECT_EQ(px(*g, 30, 100), mix(kGrey, 95, 100, 150, 250));
}

TEST(Buttons, LatchKeepsHotPointerButNoGlow) {
  auto g = testing::makeGraphics();
  ViewState v = readerState();
  v.pointerX = 700;  // over RULES (672, 65, 88, 19)
  v.pointerY = 70;
  v.clickLatch = 1;
  drawButtons(*g, v);
  EXPECT_EQ(g->pointerShape, kPointerHot);
  EXPECT_EQ(g->buttons[4].glow, 0);
}

TEST(Buttons, HitTestIsStrict) {
  auto g = testing::makeGraphics();
  ViewState v = readerState();
  // QUIT 35, 40, 88, 19: pointer x 36..122, y 41..58
  const int probes[][3] = {{35, 50, 0}, {36, 50, 1}, {122, 50, 1}, {123, 50, 0}, {50, 40, 0}, {50, 58, 1}, {50, 59, 0}};
  for (const auto& p : probes) {
    v.pointerX = p[0];
    v.pointerY = p[1];
    drawButtons(*g, v);
    EXPECT_EQ(g->pointerShape == kPointerHot, p[2] == 1) << p[0] << "," << p[1];
  }
}

// Menu panel ----------------------------------------------------------------

content::Content menuContent() {
  content::Content c;
  c.texts.title = "AB";
  for (int e = 1; e <= 21; ++e) {
    c.menu[static_cast<std::size_t>(e)].label.assign(1, 'A');
    c.menu[static_cast<std::size_t>(e)].enabled = e <= 16 ? 1 : 0;
  }
  for (int m = 1; m <= 4; ++m) {
    std::string& text = c.texts.bottomScroller[static_cast<std::size_t>(m)];
    text.assign(65, ' ');
    text.append("AB");
  }
  return c;
}

testing::SyntheticAssets menuAssets() {
  testing::SyntheticAssets a;
  a.glyph('A', 1, 0, 0) = 6;  // one pixel at the cell's top-left
  a.glyph('B', 1, 0, 1) = 6;
  a.glyph('>', 1, 0, 0) = 6;
  a.glyph('A', 2, 0, 0) = 6;
  a.glyph('B', 2, 0, 0) = 6;
  return a;
}

TEST(MenuPanel, BarsOnEveryRowAndOpenBars) {
  auto g = testing::makeGraphics(menuAssets());
  content::Content c = menuContent();
  ViewState v = readerState();
  v.entryOpen[14] = 1;  // slot 3 on the articles page
  fillFrame(*g, kGrey);
  drawMenuPanel(*g, v, c);
  const uint32_t bar = mix(kGrey, 60, 100, 100, 100);
  // Every row of both columns, including the hidden entries 17..20 (right column).
  for (int k = 0; k < 5; ++k) {
    if (k != 2) {  // row 2 is the open one
      EXPECT_EQ(px(*g, 300, 61 + 12 * k + 5), bar) << k;
    }
    EXPECT_EQ(px(*g, 600, 61 + 12 * k + 5), bar) << k;
  }
  // Open bar of slot 3 (row y = 84): its top row has only the open blend,
  // its other rows the faint bar under it.
  EXPECT_EQ(px(*g, 300, 84), mix(kGrey, 90, 200, 100, 100));
  EXPECT_EQ(px(*g, 300, 90), mix(bar, 90, 200, 100, 100));
  EXPECT_EQ(px(*g, 300, 94), mix(bar, 90, 200, 100, 100));
  EXPECT_EQ(px(*g, 300, 95), bar);
  EXPECT_EQ(px(*g, 300, 96), kGrey);
  EXPECT_EQ(px(*g, 600, 84), kGrey);  // nothing open in the right column
  EXPECT_EQ(g->pointerShape, kPointerNormal);
}

TEST(MenuPanel, ItemsTitleAndPageSwitch) {
  auto g = testing::makeGraphics(menuAssets());
  content::Content c = menuContent();
  ViewState v = readerState();
  fillFrame(*g, 0);
  drawMenuPanel(*g, v, c);
  // Title "AB": x = round(404 - 9) = 395, y 42, code 25 ("P": 0.3 R, 0.7 G, B of 252,254,252).
  EXPECT_EQ(px(*g, 395, 42), (76u << 16) | (178u << 8) | 252u);
  // Items, code 2 (/1.5 of 252, 254, 252 = 168, 169, 168), left column rows 0..4.
  const uint32_t item = 0xA8A9A8;
  for (int k = 0; k < 5; ++k) EXPECT_EQ(px(*g, 148, 60 + 12 * k), item) << k;
  // Right column: entries 17..20 are disabled: no text over the bar; the page switch
  // "> Charts Menu" at row 4 in code 1.
  EXPECT_EQ(px(*g, 402, 60), 0u);
  EXPECT_EQ(px(*g, 402, 108), 0xFCFEFCu);
  // The charts page shows entries 1..9, "> Articles Menu" in the fifth right row.
  v.menuPage = 1;
  fillFrame(*g, 0);
  drawMenuPanel(*g, v, c);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(px(*g, 402, 60 + 12 * k), item) << k;
}

TEST(MenuPanel, HoverLightsBarAndPointerOnlyWithoutLatch) {
  auto g = testing::makeGraphics(menuAssets());
  content::Content c = menuContent();
  ViewState v = readerState();
  v.pointerX = 149;  // first active column of the left bars
  v.pointerY = 62;   // row 0: 61 < y < 71
  fillFrame(*g, kGrey);
  drawMenuPanel(*g, v, c);
  EXPECT_EQ(g->pointerShape, kPointerHot);
  EXPECT_EQ(px(*g, 300, 65), mix(kGrey, 125, 100, 100, 132));
  EXPECT_EQ(px(*g, 300, 77), mix(kGrey, 60, 100, 100, 100));

  g->pointerShape = kPointerNormal;
  v.clickLatch = 1;
  fillFrame(*g, kGrey);
  drawMenuPanel(*g, v, c);
  EXPECT_EQ(g->pointerShape, kPointerNormal);
  EXPECT_EQ(px(*g, 300, 65), mix(kGrey, 60, 100, 100, 100));

  // Column 148 is outside the active columns; 393 too.
  v.clickLatch = 0;
  for (int x : {148, 393, 402, 647}) {
    g->pointerShape = kPointerNormal;
    v.pointerX = x;
    drawMenuPanel(*g, v, c);
    EXPECT_EQ(g->pointerShape, kPointerNormal) << x;
  }
  v.pointerX = 646;
  drawMenuPanel(*g, v, c);
  EXPECT_EQ(g->pointerShape, kPointerHot);
}

TEST(MenuPanel, RainbowRulesDrawnLast) {
  auto g = testing::makeGraphics(menuAssets());
  content::Content c = menuContent();
  ViewState v = readerState();
  fillFrame(*g, 0);
  drawMenuPanel(*g, v, c);
  EXPECT_EQ(px(*g, 144, 57), 0x7DE3CAu);
  EXPECT_EQ(px(*g, 144, 121), 0x417569u);
  EXPECT_NE(px(*g, 651, 57), 0u);  // length 507 + 1
  EXPECT_EQ(px(*g, 652, 57), 0u);
}

// Level meter -----------------------------------------------------------------

class FixedNotes : public NoteSource {
 public:
  std::map<int, uint16_t> cells;
  uint16_t cellAt(int32_t channel) const override {
    auto it = cells.find(channel);
    return it == cells.end() ? 0 : it->second;
  }
};

TEST(LevelMeter, RestsAtOneFortyNineAndDrawsNothing) {
  auto g = testing::makeGraphics();
  FixedNotes notes;
  setMeterChannelCount(*g, 4);
  fillFrame(*g, kGrey);
  drawLevelMeter(*g, 1, notes);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(g->meter.bars[static_cast<std::size_t>(i)], 149.0);
  EXPECT_EQ(changedFrom(*g, kGrey).count, 0);
}

TEST(LevelMeter, NotesOutsideRangeMoveNothing) {
  auto g = testing::makeGraphics();
  FixedNotes notes;
  notes.cells = {{0, 45}, {1, 84}, {2, 97}, {3, 0x1F00}};  // high byte ignored: note 0
  setMeterChannelCount(*g, 4);
  drawLevelMeter(*g, 1, notes);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(g->meter.bars[static_cast<std::size_t>(i)], 149.0) << i;
}

TEST(LevelMeter, NoteKicksThreeBars) {
  auto g = testing::makeGraphics();
  FixedNotes notes;
  notes.cells = {{0, 46}, {5, 83}};  // channel 5 beyond the count: not asked
  setMeterChannelCount(*g, 2);
  fillFrame(*g, kGrey);
  drawLevelMeter(*g, 1, notes);
  //  bar  147 - kick + 2
  //  0    146       rows 146..147
  //  1    145       rows 145..147
  //  2    146
  EXPECT_EQ(g->meter.bars[0], 146.0);
  EXPECT_EQ(g->meter.bars[1], 145.0);
  EXPECT_EQ(g->meter.bars[2], 146.0);
  EXPECT_EQ(g->meter.bars[3], 149.0);
  EXPECT_EQ(g->meter.bars[38], 149.0);
  EXPECT_EQ(px(*g, 158, 146), 0x331111u);
  EXPECT_EQ(px(*g, 168, 147), 0x221111u);
  EXPECT_EQ(px(*g, 169, 147), kGrey);
  EXPECT_EQ(px(*g, 170, 145), 0x441111u);
  EXPECT_EQ(px(*g, 158, 145), kGrey);
  EXPECT_EQ(changedFrom(*g, kGrey).count, 11 * (2 + 3 + 2));
}

TEST(LevelMeter, TopLimitAndSkinTwoTwoRowsLower) {
  auto g = testing::makeGraphics();
  FixedNotes notes;
  notes.cells = {{0, 60}};  // bar 15
  setMeterChannelCount(*g, 1);
  for (int i = 0; i < 20; ++i) drawLevelMeter(*g, 1, notes);
  EXPECT_EQ(g->meter.bars[15], 133.0);  // clamped to 131, then + 2
  fillFrame(*g, kGrey);
  drawLevelMeter(*g, 2, notes);
  const int x = 158 + 12 * 15;
  // rows 133..147 drawn at 135..149 with the colours of rows 133..147
  EXPECT_EQ(px(*g, x, 134), kGrey);
  EXPECT_EQ(px(*g, x, 135), 0u);         // row 133: black
  EXPECT_EQ(px(*g, x, 137), 0x33BBEEu);  // row 135
  EXPECT_EQ(px(*g, x, 149), 0x111122u);  // row 147
}

// Menu layout -------------------------------------------------------------------

TEST(MenuLayout, EachSlotsBarSitsInItsClickRegion) {
  // slot | region (x, y, lastDX, lastDY)
  // 1    | 146, 60, 245, 12
  // 5    | 146, 108, 245, 12
  // 6    | 400, 60, 245, 12
  // 9    | 400, 96, 245, 12
  EXPECT_EQ(menuSlotRegion(1).x, 146);
  EXPECT_EQ(menuSlotRegion(5).y, 108);
  EXPECT_EQ(menuSlotRegion(6).x, 400);
  EXPECT_EQ(menuSlotRegion(9).y, 96);
  EXPECT_EQ(menuSlotRegion(0).lastDX, 0);
  EXPECT_EQ(menuSlotRegion(10).lastDX, 0);
  for (const MenuColumn& column : kMenuColumns) {
    for (int k = 0; k < column.items; ++k) {
      const Rect r = menuSlotRegion(column.firstSlot + k);
      const int32_t barY = kMenuRowY + 1 + kMenuRowStep * k;  // as the panel draws it
      const int32_t midY = barY + kMenuBarHeight / 2;
      EXPECT_TRUE(r.contains(column.textX + kMenuBarWidth / 2, midY)) << column.firstSlot + k;
      EXPECT_TRUE(r.contains(column.hoverLeft, midY)) << column.firstSlot + k;
      // Neighbouring rows do not share a row of pixels.
      EXPECT_FALSE(menuSlotRegion(column.firstSlot + k + 1).contains(column.textX + 1, midY));
    }
  }
  // The page switch takes the right column's last row.
  const MenuColumn& right = kMenuColumns[1];
  EXPECT_TRUE(kPageSwitchRegion.contains(right.textX + 1, kMenuRowY + kMenuRowStep * right.items + 5));
}

// Status scroller -------------------------------------------------------------

TEST(StatusScroller, MovesOnePixelPerFrameAndWraps) {
  testing::SyntheticAssets a = menuAssets();
  auto g = testing::makeGraphics(a);
  content::Content c = menuContent();  // 65 spaces + "AB": 67 characters
  ViewState v = readerState();
  v.scrollerPos = 66;  // "A" first
  fillFrame(*g, 0);
  v.scrollerPos = drawStatusScroller(*g, v, c);
  EXPECT_EQ(px(*g, 146, 123), 0xA8A9A8u);  // style 2, code 2 of value 6
  EXPECT_DOUBLE_EQ(g->scrollerPhase, 1.0);
  fillFrame(*g, 0);
  v.scrollerPos = drawStatusScroller(*g, v, c);  // phase 1: x = 145, clipped at 146
  EXPECT_EQ(px(*g, 145, 123), 0u);
  EXPECT_EQ(px(*g, 154, 123), 0xA8A9A8u);  // "B" at 145 + 9
  for (int i = 0; i < 7; ++i) v.scrollerPos = drawStatusScroller(*g, v, c);
  EXPECT_EQ(v.scrollerPos, 66);
  v.scrollerPos = drawStatusScroller(*g, v, c);  // phase 10 > 9: advance
  EXPECT_EQ(v.scrollerPos, 67);
  EXPECT_DOUBLE_EQ(g->scrollerPhase, 1.0);
  for (int i = 0; i < 9; ++i) v.scrollerPos = drawStatusScroller(*g, v, c);
  EXPECT_EQ(v.scrollerPos, 1);  // past the last character: back to the first
  v.skin = 2;
  v.scrollerPos = 66;
  g->scrollerPhase = 0;
  fillFrame(*g, 0);
  v.scrollerPos = drawStatusScroller(*g, v, c);
  EXPECT_EQ(px(*g, 146, 124), 0xA8A9A8u);
  EXPECT_EQ(px(*g, 146, 123), 0u);
}

// Scroll thumb ----------------------------------------------------------------

TEST(ScrollThumb, TravelsFrom195To556) {
  auto g = testing::makeGraphics();
  ViewState v = readerState();
  v.lineCount = 34;
  fillFrame(*g, kGrey);
  drawScrollThumb(*g, v);
  auto c = changedFrom(*g, kGrey);
  EXPECT_EQ(c.top, 195);
  EXPECT_EQ(c.bottom, 214);
  EXPECT_EQ(c.left, 779);
  EXPECT_EQ(c.right, 787);
  // glow 0: only the base blend
  EXPECT_EQ(px(*g, 780, 200), mix(kGrey, 80, 100, 150, 250));
  v.topLine = 1;
  fillFrame(*g, kGrey);
  drawScrollThumb(*g, v);
  EXPECT_EQ(changedFrom(*g, kGrey).top, 556);
  // 'Carbon': four columns further right and one wider.
  v.skin = 2;
  g->thumbGlow = 40;
  fillFrame(*g, kGrey);
  drawScrollThumb(*g, v);
  c = changedFrom(*g, kGrey);
  EXPECT_EQ(c.left, 783);
  EXPECT_EQ(c.right, 792);
  EXPECT_EQ(px(*g, 790, 560), mix(mix(kGrey, 80, 50, 150, 250), 40, 100, 150, 250));
}

TEST(ScrollThumb, ThirtyThreeLinesHasNoThumbButHoverGlows) {
  auto g = testing::makeGraphics();
  ViewState v = readerState();
  v.lineCount = 33;
  v.pointerX = 780;
  v.pointerY = 300;
  fillFrame(*g, kGrey);
  drawScrollThumb(*g, v);
  EXPECT_EQ(changedFrom(*g, kGrey).count, 0);
  v.topLine = dragScrollThumb(*g, v);
  EXPECT_EQ(g->pointerShape, kPointerHot);
  EXPECT_EQ(g->thumbGlow, 5);
  v.buttonDown = 1;
  v.topLine = dragScrollThumb(*g, v);
  EXPECT_EQ(v.topLine, 0);
  EXPECT_EQ(g->pointerShape, kPointerNormal);  // hot only while hovering
}

TEST(ScrollThumb, DragMapsRowsOntoArticle) {
  auto g = testing::makeGraphics();
  ViewState v = readerState();
  v.lineCount = 100;  // last page starts at line 67
  v.buttonDown = 1;
  v.pointerX = 780;
  //  pointer y  top = round((y - 200) * 68 / 352), limited to 0..67
  //  201        0
  //  270        13.52 -> 14
  //  376        34
  //  552        68 -> 67
  const int rows[][2] = {{201, 0}, {270, 14}, {376, 34}, {552, 67}, {560, 67}};
  for (const auto& r : rows) {
    v.pointerY = r[0];
    v.topLine = dragScrollThumb(*g, v);
    EXPECT_EQ(v.topLine, r[1]) << r[0];
  }
  // Once dragging, the pointer may leave the bar: rows above 200 give line 0.
  v.pointerX = 300;
  v.pointerY = 20;
  v.topLine = dragScrollThumb(*g, v);
  EXPECT_EQ(v.topLine, 0);
  EXPECT_EQ(g->dragging, 1);
  // Releasing ends the drag; away from the bar the glow falls again.
  v.buttonDown = 0;
  const int glow = g->thumbGlow;
  v.topLine = dragScrollThumb(*g, v);
  EXPECT_EQ(g->dragging, 0);
  EXPECT_EQ(g->thumbGlow, glow - 5);
}

// Page transition ---------------------------------------------------------------

TEST(Wipe, OneStepBlackensEveryOtherColumnFromBothEdgesUpToItsReach) {
  auto g = testing::makeGraphics();
  for (int32_t skin : {1, 2}) {
    SCOPED_TRACE(skin);
    const int32_t lastRow = skin == 1 ? 569 : 570;  // 378 or 379 rows from row 192
    fillFrame(*g, kGrey);
    drawWipe(*g, skin, 0);
    auto c = changedFrom(*g, kGrey);
    EXPECT_EQ(c.left, 20);
    EXPECT_EQ(c.right, 767);
    EXPECT_EQ(c.top, 192);
    EXPECT_EQ(c.bottom, lastRow);
    EXPECT_EQ(c.count, 2 * (lastRow - 191));
    fillFrame(*g, kGrey);
    drawWipe(*g, skin, 4);  // columns 20, 22, 24 and 767, 765, 763
    c = changedFrom(*g, kGrey);
    EXPECT_EQ(c.count, 6 * (lastRow - 191));
    EXPECT_EQ(px(*g, 24, 300), 0u);
    EXPECT_EQ(px(*g, 763, lastRow), 0u);
    EXPECT_EQ(px(*g, 23, 300), kGrey);
    EXPECT_EQ(px(*g, 24, 191), kGrey);
    EXPECT_EQ(px(*g, 24, lastRow + 1), kGrey);
  }
}

TEST(ScrollThumb, ActiveStripPerSkin) {
  auto g = testing::makeGraphics();
  ViewState v = readerState();
  v.lineCount = 50;
  //  skin  x range     y range
  //  1     776..790    201..560
  //  2     781..795    201..560
  const int probes[][4] = {{1, 775, 300, 0}, {1, 776, 300, 1}, {1, 790, 300, 1}, {1, 791, 300, 0},
                           {1, 780, 200, 0}, {1, 780, 560, 1}, {1, 780, 561, 0}, {2, 780, 300, 0},
                           {2, 781, 300, 1}, {2, 795, 300, 1}, {2, 796, 300, 0}};
  for (const auto& p : probes) {
    v.skin = p[0];
    v.pointerX = p[1];
    v.pointerY = p[2];
    g->pointerShape = kPointerNormal;
    v.topLine = dragScrollThumb(*g, v);
    EXPECT_EQ(g->pointerShape == kPointerHot, p[3] == 1) << p[0] << ": " << p[1] << "," << p[2];
  }
}

// Pointer -----------------------------------------------------------------------

TEST(Pointer, SpritesPerShape) {
  auto g = testing::makeGraphics();
  fillFrame(*g, kGrey);
  drawPointer(*g, 100, 100);
  // Row 1 of the shape: 1 2 3 3 3 3 3 1 0 0 0
  const std::vector<uint32_t> normalRow1 = {0x111133, 0x8888AA, 0xCCCCEE, 0xCCCCEE, 0xCCCCEE, 0xCCCCEE,
                                            0xCCCCEE, 0x111133, kGrey,    kGrey,    kGrey};
  EXPECT_TRUE(testing::regionMatches(*g, 100, 101, 11, 1, normalRow1, "pointer_normal_row1"));
  EXPECT_EQ(px(*g, 101, 102), 0x555577u);  // value 4
  EXPECT_EQ(px(*g, 102, 107), kGrey);      // a hole inside the shape
  // 81 opaque values in the shape.
  EXPECT_EQ(changedFrom(*g, kGrey).count, 81);
  g->pointerShape = kPointerHot;
  drawPointer(*g, 100, 100);
  EXPECT_EQ(px(*g, 100, 100), 0x221100u);
  EXPECT_EQ(px(*g, 101, 101), 0xDDBB77u);
  EXPECT_EQ(px(*g, 102, 101), 0xFFEEAAu);
  EXPECT_EQ(px(*g, 101, 102), 0x995522u);
}

TEST(Pointer, OutsideItsRangeNothingAndNeverPastTheFrame) {
  auto g = testing::makeGraphics();
  fillFrame(*g, kGrey);
  drawPointer(*g, 0, 100);
  drawPointer(*g, 100, 0);
  drawPointer(*g, 792, 100);
  drawPointer(*g, 100, 592);
  EXPECT_EQ(changedFrom(*g, kGrey).count, 0);
  drawPointer(*g, 791, 591);  // would reach rows 600 and 601: cut at the frame
  EXPECT_EQ(changedFrom(*g, kGrey).bottom, 599);
}

// Whole frame ---------------------------------------------------------------------

TEST(ReaderFrame, ShortArticleSitsFivePixelsLower) {
  auto g = testing::makeGraphics();
  content::Content c = menuContent();
  const content::ArticleView article = testing::emptyArticle();
  ViewState v = readerState();
  v.lineCount = 20;
  FixedNotes notes;
  ReaderUpdate u = drawReaderFrame(*g, ReaderScene{v, c, article, notes});
  EXPECT_EQ(u.pixelOffset, 5);
  EXPECT_EQ(v.pixelOffset, 0);  // the view is the program's to change
  v.lineCount = 40;
  v.pixelOffset = 3;
  v.topLine = 4;
  v.scrollerPos = 9;
  u = drawReaderFrame(*g, ReaderScene{v, c, article, notes});
  EXPECT_EQ(u.pixelOffset, 3);
  EXPECT_EQ(u.topLine, 4);
  EXPECT_EQ(u.scrollerPos, 9);  // the scroller's phase has not reached the next character
}

TEST(ReaderFrame, ThumbDragComesBackAsTheNewTopLine) {
  auto g = testing::makeGraphics();
  content::Content c = menuContent();
  const content::ArticleView article = testing::emptyArticle();
  ViewState v = readerState();
  v.lineCount = 100;
  v.topLine = 10;
  v.buttonDown = 1;
  v.pointerX = 780;
  v.pointerY = 376;  // round(176 * 68 / 352) = 34
  FixedNotes notes;
  const ReaderUpdate u = drawReaderFrame(*g, ReaderScene{v, c, article, notes});
  EXPECT_EQ(u.topLine, 34);
  EXPECT_EQ(v.topLine, 10);
  // The page itself never moves the article.
  v.topLine = 12;
  EXPECT_EQ(drawReaderPage(*g, ReaderScene{v, c, article, notes}).topLine, 12);
}

TEST(ReaderFrame, MuteHidesAndFreezesMeter) {
  auto g = testing::makeGraphics();
  content::Content c = menuContent();
  const content::ArticleView article = testing::emptyArticle();
  ViewState v = readerState();
  FixedNotes notes;
  notes.cells = {{0, 60}};
  setMeterChannelCount(*g, 1);
  drawReaderFrame(*g, ReaderScene{v, c, article, notes});
  EXPECT_EQ(g->meter.bars[15], 145.0);
  v.buttonState[kButtonMute] = 1;
  drawReaderFrame(*g, ReaderScene{v, c, article, notes});
  EXPECT_EQ(g->meter.bars[15], 145.0);
  EXPECT_EQ(px(*g, 158 + 12 * 15, 146), 0u);  // background only (black synthetic skin)
}

}  // namespace
}  // namespace render
