// Text renderer: shade table, glyphs, strings and the article page.
#include <gtest/gtest.h>

#include "render_test_support.h"

namespace render {
namespace {
using testing::changedFrom;
using testing::fillFrame;
using testing::px;

constexpr uint32_t kBackground = 0x203040;

uint32_t shadeOf(const Graphics& g, int value, int code) {
  return g.shade[static_cast<std::size_t>(value * kColourCodes + code)];
}

// Shade table -------------------------------------------------------------

TEST(ShadeTable, WeightedGroupRoundsAfterFloor) {
  auto g = testing::makeGraphics();
  // value 6 = (252, 254, 252), code 23 ("N", divisor 1.5):
  //   red 168, green round(169 * 0.7) = 118, blue round(168 * 0.3) = 50
  EXPECT_EQ(shadeOf(*g, 6, 23), (168u << 16) | (118u << 8) | 50u);
}

TEST(ShadeTable, GroupsAndLevels) {
  auto g = testing::makeGraphics();
  // value 6 = (252, 254, 252); value 7 = (100, 98, 68)
  //  code  value  expected
  struct Row {
    int code, value;
    uint32_t colour;
  };
  const Row rows[] = {
      //  code value  expected
      {1, 6, 0xFCFEFC},   // plain
      {2, 6, 0xA8A9A8},   // floor(/1.5): 168, 169, 168
      {3, 6, 0x7E7F7E},   // floor(/2): 126, 127, 126
      {4, 6, 0xFC0000},   // red only
      {8, 6, 0x00A900},   // green, /1.5
      {12, 6, 0x00007E},  // blue, /2
      {13, 7, 0x646200},  // red + green
      {17, 7, 0x00412D},  // green + blue /1.5: 65, 45
      {22, 6, 0xFCB24C},  // 252, round(177.8) = 178, round(75.6) = 76
      {25, 6, 0x4CB2FC},  // round(75.6) = 76, 178, 252
      {28, 7, 0x466230},  // round(70.0) = 70, 98, round(47.6) = 48
  };
  for (const Row& r : rows) {
    EXPECT_EQ(shadeOf(*g, r.value, r.code), r.colour) << "code " << r.code;
  }
}

TEST(ShadeTable, TiesRoundToEven) {
  // palette value 2 = (252, 2, 252) with code 27 ("R", /2, weights 0.3 0.7 1):
  //   red floor(126 * 0.3) = round(37.8) = 38, green round(1 * 0.7) = 1, blue 126
  // value 8 = (28, 30, 28) with code 23 (/1.5): red 18, green round(20*0.7)=14,
  //   blue round(18 * 0.3) = round(5.4) = 5
  auto g = testing::makeGraphics();
  EXPECT_EQ(shadeOf(*g, 2, 27), (38u << 16) | (1u << 8) | 126u);
  EXPECT_EQ(shadeOf(*g, 8, 23), (18u << 16) | (14u << 8) | 5u);
  // A palette entry of 5 in a 0.3 channel: 5 * 0.3 = 1.5 -> 2 (even);
  // an entry of 25 in a 0.7 channel: 17.5 -> 18 (even), 15 -> 10.5 -> 10.
  testing::SyntheticAssets a;
  const std::size_t pal = static_cast<std::size_t>(kTextFontWidth) * kTextFontHeight;
  a.textFont[pal + 3 * 20] = 15;      // red
  a.textFont[pal + 3 * 20 + 1] = 25;  // green
  a.textFont[pal + 3 * 20 + 2] = 5;   // blue
  auto h = testing::makeGraphics(a);
  EXPECT_EQ(shadeOf(*h, 20, 22), (15u << 16) | (18u << 8) | 2u);  // "M": R, 0.7 G, 0.3 B
  EXPECT_EQ(shadeOf(*h, 20, 28), (10u << 16) | (25u << 8) | 4u);  // "S": 0.7 R, G, 0.7 B (3.5 -> 4)
}

TEST(ShadeTable, ColumnZeroNeverWritten) {
  auto g = testing::makeGraphics();
  for (int v = 0; v < 256; ++v) ASSERT_EQ(shadeOf(*g, v, 0), 0u) << v;
}

// Glyphs ------------------------------------------------------------------

// Glyph "A" style 1: a diagonal of value 6 and a dot of value 1.
testing::SyntheticAssets glyphAssets() {
  testing::SyntheticAssets a;
  for (int i = 0; i < 9; ++i) a.glyph('A', 1, i, i) = 6;
  a.glyph('A', 1, 11, 0) = 1;
  a.glyph('A', 2, 0, 0) = 3;  // style 2 face: one pixel
  a.glyph('B', 1, 5, 4) = 6;
  a.glyph('C', 1, 0, 8) = 6;
  return a;
}

TEST(Glyphs, TransparentDrawsOnlySetPixels) {
  auto g = testing::makeGraphics(glyphAssets());
  fillFrame(*g, kBackground);
  drawGlyph(*g, "A", 100, 200, 0, 799, 0, 599, 1, 1);
  EXPECT_EQ(changedFrom(*g, kBackground).count, 10);
  EXPECT_EQ(px(*g, 100, 200), 0xFCFEFCu);
  EXPECT_EQ(px(*g, 108, 208), 0xFCFEFCu);
  EXPECT_EQ(px(*g, 100, 211), 0x848284u);
  // Only the first character counts.
  fillFrame(*g, kBackground);
  drawGlyph(*g, "AB", 100, 200, 0, 799, 0, 599, 1, 1);
  EXPECT_EQ(changedFrom(*g, kBackground).count, 10);
}

TEST(Glyphs, CodeThirtyOneIsBlack) {
  auto g = testing::makeGraphics(glyphAssets());
  fillFrame(*g, kBackground);
  drawGlyph(*g, "A", 100, 200, 0, 799, 0, 599, 1, 31);
  EXPECT_EQ(px(*g, 104, 204), 0u);
  EXPECT_EQ(px(*g, 101, 200), kBackground);  // value 0 stays transparent
}

TEST(Glyphs, StyleTwoReadsLowerFace) {
  auto g = testing::makeGraphics(glyphAssets());
  fillFrame(*g, kBackground);
  drawGlyph(*g, "A", 100, 200, 0, 799, 0, 599, 2, 1);
  const auto c = changedFrom(*g, kBackground);
  EXPECT_EQ(c.count, 1);
  EXPECT_EQ(px(*g, 100, 200), 0xC4C2C4u);
}

TEST(Glyphs, NothingForBadInput) {
  auto g = testing::makeGraphics(glyphAssets());
  fillFrame(*g, kBackground);
  drawGlyph(*g, "", 100, 200, 0, 799, 0, 599, 1, 1);
  drawGlyph(*g, "\x1f", 100, 200, 0, 799, 0, 599, 1, 1);
  for (int style : {0, 3, -1}) drawGlyph(*g, "A", 100, 200, 0, 799, 0, 599, style, 1);
  for (int code : {0, 32, -5}) drawGlyph(*g, "A", 100, 200, 0, 799, 0, 599, 1, code);
  drawGlyphOpaque(*g, "A", 100, 300, 0, 1);
  drawGlyphOpaque(*g, "A", 100, 300, 1, 32);
  drawGlyphOpaque(*g, "", 100, 300, 1, 1);
  EXPECT_EQ(changedFrom(*g, kBackground).count, 0);
}

TEST(Glyphs, ClipBoxIsInclusive) {
  auto g = testing::makeGraphics(glyphAssets());
  fillFrame(*g, kBackground);
  // Diagonal at (100+i, 200+i); keep columns 102..105 and rows 203..599.
  drawGlyph(*g, "A", 100, 200, 102, 105, 203, 599, 1, 1);
  const auto c = changedFrom(*g, kBackground);
  EXPECT_EQ(c.count, 3);  // (103,203), (104,204), (105,205)
  EXPECT_EQ(c.left, 103);
  EXPECT_EQ(c.right, 105);
}

TEST(Glyphs, HighestCodeReadsLastColumns) {
  testing::SyntheticAssets a;
  // Code 255 occupies source columns 2008..2016.
  a.textFont[2008] = 6;
  a.textFont[2016] = 1;
  a.textFont[2007] = 6;  // belongs to code 254
  a.textFont[2017] = 6;  // beyond every glyph
  auto g = testing::makeGraphics(a);
  fillFrame(*g, kBackground);
  drawGlyph(*g, "\xff", 300, 300, 0, 799, 0, 599, 1, 1);
  EXPECT_EQ(changedFrom(*g, kBackground).count, 2);
  EXPECT_EQ(px(*g, 300, 300), 0xFCFEFCu);
  EXPECT_EQ(px(*g, 308, 300), 0x848284u);
}

TEST(Glyphs, OpaquePaintsWholeCellWithinTextRows) {
  auto g = testing::makeGraphics(glyphAssets());
  fillFrame(*g, kBackground);
  drawGlyphOpaque(*g, "B", 100, 300, 1, 1);
  // The 108 cell pixels: black where the value is 0, shaded at (4, 5).
  std::vector<uint32_t> expected(kCellPixels, 0);
  expected[5 * 9 + 4] = 0xFCFEFC;
  EXPECT_TRUE(testing::regionMatches(*g, 100, 300, 9, 12, expected, "opaque_cell"));
  EXPECT_EQ(changedFrom(*g, kBackground).count, kCellPixels - 0);

  // A space leaves the background.
  fillFrame(*g, kBackground);
  drawGlyphOpaque(*g, " ", 100, 300, 1, 1);
  EXPECT_EQ(changedFrom(*g, kBackground).count, 0);

  // Rows outside 193..569 are not touched: a cell at 188 keeps rows 188..192.
  fillFrame(*g, kBackground);
  drawGlyphOpaque(*g, "B", 100, 188, 1, 1);
  auto c = changedFrom(*g, kBackground);
  EXPECT_EQ(c.top, 193);
  EXPECT_EQ(c.count, 9 * 7);
  fillFrame(*g, kBackground);
  drawGlyphOpaque(*g, "B", 100, 565, 1, 1);
  c = changedFrom(*g, kBackground);
  EXPECT_EQ(c.bottom, 569);
  EXPECT_EQ(c.count, 9 * 5);
}

TEST(Glyphs, TextAdvancesNineColumns) {
  auto g = testing::makeGraphics(glyphAssets());
  fillFrame(*g, kBackground);
  drawText(*g, "ABC", 146, 42, 146, 649, 40, 145, 1, 1);
  EXPECT_EQ(px(*g, 146, 42), 0xFCFEFCu);       // A at 146: diagonal start
  EXPECT_EQ(px(*g, 155 + 4, 42 + 5), 0xFCFEFCu);  // B at 155
  EXPECT_EQ(px(*g, 164 + 8, 42), 0xFCFEFCu);      // C at 164
  EXPECT_EQ(changedFrom(*g, kBackground).count, 10 + 1 + 1);
}

// Article page -------------------------------------------------------------

struct Page {
  content::ArticleView view;
  ViewState state;
  Page() : view(testing::emptyArticle()) { state.lineCount = 40; }
  void setRule(int line, char style) { view.rule[static_cast<std::size_t>(line)].assign(1, style); }
  void put(int line, int column, char c, int style = 1, int colour = 1) {
    const auto at = content::ArticleView::cell(line, column);
    view.glyph[at] = static_cast<uint8_t>(c);
    view.style[at] = style;
    view.colour[at] = colour;
  }
};

TEST(ArticlePage, CellGeometry) {
  auto g = testing::makeGraphics(glyphAssets());
  Page p;
  p.setRule(5, '3');  // transparent row
  p.put(5, 1, 'C');      // pixel (8, 0) of the cell
  p.put(5, 80, 'C');
  fillFrame(*g, kBackground);
  drawArticleText(*g, p.state, p.view, 0);
  // row i = 5: y = 175 + 60 = 235; cell q at x = 23 + 9q
  EXPECT_EQ(px(*g, 32 + 8, 235), 0xFCFEFCu);
  EXPECT_EQ(px(*g, 743 + 8, 235), 0xFCFEFCu);
  EXPECT_EQ(changedFrom(*g, kBackground).count, 2);
  // topLine and pixelOffset move the rows.
  fillFrame(*g, kBackground);
  p.state.pixelOffset = 7;
  drawArticleText(*g, p.state, p.view, 2);
  EXPECT_EQ(px(*g, 40, 175 + 36 + 7), 0xFCFEFCu);
}

TEST(ArticlePage, OpaqueOnlyForRuleZeroInRowsOneToThirty) {
  auto g = testing::makeGraphics(glyphAssets());
  Page p;
  for (int line = 0; line < 33; ++line) {
    p.setRule(line, '0');
    p.put(line, 1, 'B');
  }
  p.view.rule[10].assign(2, '0');  // "00", not exactly "0": transparent
  fillFrame(*g, kBackground);
  drawArticleText(*g, p.state, p.view, 0);
  auto cellIsBlackAt = [&](int row) { return px(*g, 32, 175 + 12 * row + 11) == 0; };  // a value-0 pixel
  EXPECT_TRUE(cellIsBlackAt(1));
  EXPECT_TRUE(cellIsBlackAt(30));
  EXPECT_FALSE(cellIsBlackAt(10));
  EXPECT_FALSE(cellIsBlackAt(31));  // rows 31 and 32 are always transparent
  // Row 0 sits at 175..186, above the clip: nothing drawn there.
  for (int y = 175; y <= 192; ++y) ASSERT_EQ(px(*g, 36, y), kBackground) << y;
}

TEST(ArticlePage, SpaceInOpaqueRowShowsBackground) {
  auto g = testing::makeGraphics(glyphAssets());
  Page p;
  p.setRule(3, '0');
  p.put(3, 1, ' ');
  p.put(3, 2, 'B');
  fillFrame(*g, kBackground);
  drawArticleText(*g, p.state, p.view, 0);
  EXPECT_EQ(px(*g, 32, 211), kBackground);
  EXPECT_EQ(px(*g, 41, 211), 0u);
}

TEST(ArticlePage, LastRowClipDependsOnSkin) {
  testing::SyntheticAssets a;
  for (int r = 0; r < 12; ++r) a.glyph('#', 1, r, 0) = 6;  // a full-height stroke
  auto g = testing::makeGraphics(a);
  Page p;
  p.put(32, 1, '#');
  // Row 32 at offset 0 covers 559..570.
  p.state.skin = 1;
  fillFrame(*g, kBackground);
  drawArticleText(*g, p.state, p.view, 0);
  EXPECT_EQ(changedFrom(*g, kBackground).bottom, 569);
  p.state.skin = 2;
  fillFrame(*g, kBackground);
  drawArticleText(*g, p.state, p.view, 0);
  EXPECT_EQ(changedFrom(*g, kBackground).bottom, 570);
  EXPECT_EQ(changedFrom(*g, kBackground).count, 12);
}

TEST(ArticlePage, LinesAtOrPastLineCountStayEmpty) {
  auto g = testing::makeGraphics(glyphAssets());
  Page p;
  p.state.lineCount = 4;
  p.put(3, 1, 'B');
  p.put(4, 1, 'B');
  fillFrame(*g, kBackground);
  drawArticleText(*g, p.state, p.view, 0);
  EXPECT_EQ(changedFrom(*g, kBackground).count, 1);
}

TEST(ArticlePage, RulesUnderTextAndBeyondEnd) {
  auto g = testing::makeGraphics(glyphAssets());
  Page p;
  p.state.lineCount = 3;
  p.setRule(2, '2');
  p.setRule(20, '4');  // past the end of the article: still drawn
  p.setRule(0, '1');   // row 0: middle at 181, above 193, not drawn
  p.setRule(32, '1');  // row 32: middle at 565, drawn
  fillFrame(*g, kBackground);
  drawArticleRules(*g, p.state, p.view, 0);
  EXPECT_EQ(px(*g, 20, 175 + 24 + 6), 0xFF0000u);
  EXPECT_EQ(px(*g, 769, 175 + 240 + 6), 0x0000FFu);
  EXPECT_EQ(px(*g, 20, 181), kBackground);
  EXPECT_EQ(px(*g, 20, 565), 0xFFFFFFu);
  // Rows whose middle would be 569 or lower down are skipped: offset 4 puts row 32 at 569.
  fillFrame(*g, kBackground);
  p.state.pixelOffset = 4;
  drawArticleRules(*g, p.state, p.view, 0);
  EXPECT_EQ(px(*g, 20, 569), kBackground);
  // offset 6 lifts row 1 into view? No: it moves rows down; row 1 middle = 175+12+6+6 = 199.
  EXPECT_EQ(px(*g, 20, 175 + 24 + 6 + 4), 0xFF0000u);
}

TEST(ArticlePage, RuleValueReadAsNumber) {
  //  text    style
  EXPECT_EQ(ruleStyleOf(""), 0);
  EXPECT_EQ(ruleStyleOf("0"), 0);
  EXPECT_EQ(ruleStyleOf("8"), 8);
  EXPECT_EQ(ruleStyleOf(" 3"), 3);
  EXPECT_EQ(ruleStyleOf("x"), 0);
  EXPECT_EQ(ruleStyleOf("2.5"), 2);  // half to even
  EXPECT_EQ(ruleStyleOf("3.5"), 4);
  EXPECT_EQ(ruleStyleOf("12"), 12);
}

}  // namespace
}  // namespace render
