// The committed text font: format, palette, glyph coverage, seamless box
// drawing and solid blocks, and the shading the tints depend on.
#include <gtest/gtest.h>

#include <cctype>
#include <set>

#include "tests/art/asset_files.h"
#include "tools/assets/art/lib/text_font.h"

namespace {

using art::kCellHeight;
using art::kCellWidth;

class TextFontAsset : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    bytes_ = arttest::readAsset("fonts/text_font.bin");
    font_ = arttest::unpack(bytes_, art::kTextFontWidth, art::kTextFontHeight, false);
  }
  // Cell pixel of code c, face 1 (heavy) or 2 (light).
  static int px(int code, int face, int x, int y) {
    return font_.at(art::textGlyphColumn(code) + x, (face == 1 ? 0 : 14) + y);
  }
  static int inkCount(int code, int face) {
    int n = 0;
    for (int y = 0; y < kCellHeight; ++y)
      for (int x = 0; x < kCellWidth; ++x) n += px(code, face, x, y) != 0;
    return n;
  }
  // Set pixels of one cell edge, as a bit pattern (bit i = i-th pixel along the edge).
  static unsigned edge(int code, int face, char side) {
    unsigned bits = 0;
    if (side == 'T' || side == 'B')
      for (int x = 0; x < kCellWidth; ++x) bits |= (px(code, face, x, side == 'T' ? 0 : kCellHeight - 1) != 0) << x;
    else
      for (int y = 0; y < kCellHeight; ++y) bits |= (px(code, face, side == 'L' ? 0 : kCellWidth - 1, y) != 0) << y;
    return bits;
  }
  static std::vector<uint8_t> bytes_;
  static art::IndexedPicture font_;
};
std::vector<uint8_t> TextFontAsset::bytes_;
art::IndexedPicture TextFontAsset::font_;

TEST_F(TextFontAsset, SizeAndPaletteAreExact) {
  ASSERT_EQ(bytes_.size(), 2048u * 28u + 768u);
  // value: red, green, blue
  const uint8_t kPalette[12][3] = {{0, 0, 0},       {132, 130, 132}, {252, 2, 252},   {196, 194, 196},
                                   {68, 66, 68},    {188, 190, 188}, {252, 254, 252}, {100, 98, 68},
                                   {28, 30, 28},    {132, 134, 132}, {212, 210, 212}, {84, 82, 84}};
  for (int v = 0; v < 12; ++v)
    for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(font_.palette[3 * v + ch], kPalette[v][ch]) << "entry " << v;
  for (int i = 36; i < 768; ++i) EXPECT_EQ(font_.palette[i], 0) << "palette byte " << i;
}

TEST_F(TextFontAsset, UsesOnlyValuesUpToElevenAndAvoidsMagentaAndOlive) {
  ASSERT_FALSE(font_.pixels.empty());
  std::set<int> used(font_.pixels.begin(), font_.pixels.end());
  EXPECT_LE(*used.rbegin(), 11);
  EXPECT_FALSE(used.count(2)) << "magenta would show through every tint";
  EXPECT_FALSE(used.count(7)) << "olive would show through every tint";
}

TEST_F(TextFontAsset, UnusedRowsAndColumnsStayEmpty) {
  for (int x = 0; x < art::kTextFontWidth; ++x)
    for (int y : {12, 13, 26, 27}) ASSERT_EQ(font_.at(x, y), 0) << x << "," << y;
  for (int y = 0; y < art::kTextFontHeight; ++y) {
    EXPECT_EQ(font_.at(0, y), 0);
    for (int x = art::textGlyphColumn(256); x < art::kTextFontWidth; ++x) ASSERT_EQ(font_.at(x, y), 0);
  }
}

TEST_F(TextFontAsset, SpaceIsEmptyAndEveryOtherGlyphHasInkInBothFaces) {
  EXPECT_EQ(inkCount(32, 1), 0);
  EXPECT_EQ(inkCount(32, 2), 0);
  for (int code = 33; code <= 254; ++code) {
    EXPECT_GT(inkCount(code, 1), 0) << "heavy face, code " << code;
    EXPECT_GT(inkCount(code, 2), 0) << "light face, code " << code;
  }
}

TEST_F(TextFontAsset, HeavyFaceIsHeavierThanTheLightFace) {
  // Stroke pixels (not the shadow or smoothing tones) of letters and digits:
  // every heavy glyph has more, and over the alphabet about half as many again.
  auto strokes = [](int code, int face) {
    int n = 0;
    for (int y = 0; y < kCellHeight; ++y)
      for (int x = 0; x < kCellWidth; ++x) {
        int v = px(code, face, x, y);
        n += v != 0 && v != (face == 1 ? art::kToneShadow : art::kToneDeep);
      }
    return n;
  };
  int heavyTotal = 0, lightTotal = 0;
  for (int code = '0'; code <= 'z'; ++code) {
    if (!std::isalnum(code)) continue;
    EXPECT_GT(strokes(code, 1), strokes(code, 2)) << "code " << code;
    heavyTotal += strokes(code, 1);
    lightTotal += strokes(code, 2);
  }
  EXPECT_GT(heavyTotal * 10, lightTotal * 14);
}

TEST_F(TextFontAsset, LettersAreShadedNotFlat) {
  // A letter carries a bright core and darker shades, so tints keep relief.
  for (int code : {'A', 'Q', 'x'}) {
    std::set<int> heavy;
    for (int y = 0; y < kCellHeight; ++y)
      for (int x = 0; x < kCellWidth; ++x)
        if (px(code, 1, x, y)) heavy.insert(px(code, 1, x, y));
    EXPECT_TRUE(heavy.count(art::kToneWhite)) << code;
    EXPECT_TRUE(heavy.count(art::kToneShadow)) << code;
    EXPECT_GE(heavy.size(), 4u) << code;
  }
}

TEST_F(TextFontAsset, BoxDrawingStrokesReachTheirCellEdges) {
  // code, top, bottom, left, right: whether a stroke reaches that edge
  const struct { int code; bool t, b, l, r; } kCases[] = {
      {0xC4, 0, 0, 1, 1}, {0xCD, 0, 0, 1, 1}, {0xB3, 1, 1, 0, 0}, {0xBA, 1, 1, 0, 0},  // lines
      {0xDA, 0, 1, 0, 1}, {0xBF, 0, 1, 1, 0}, {0xC0, 1, 0, 0, 1}, {0xD9, 1, 0, 1, 0},  // single corners
      {0xC9, 0, 1, 0, 1}, {0xBB, 0, 1, 1, 0}, {0xC8, 1, 0, 0, 1}, {0xBC, 1, 0, 1, 0},  // double corners
      {0xD5, 0, 1, 0, 1}, {0xB7, 0, 1, 1, 0}, {0xD3, 1, 0, 0, 1}, {0xBE, 1, 0, 1, 0},  // mixed corners
      {0xC3, 1, 1, 0, 1}, {0xB4, 1, 1, 1, 0}, {0xC2, 0, 1, 1, 1}, {0xC1, 1, 0, 1, 1},  // single tees
      {0xCC, 1, 1, 0, 1}, {0xB9, 1, 1, 1, 0}, {0xCB, 0, 1, 1, 1}, {0xCA, 1, 0, 1, 1},  // double tees
      {0xC5, 1, 1, 1, 1}, {0xCE, 1, 1, 1, 1}, {0xD8, 1, 1, 1, 1}, {0xD7, 1, 1, 1, 1},  // crosses
  };
  for (int face = 1; face <= 2; ++face)
    for (const auto& c : kCases) {
      SCOPED_TRACE(testing::Message() << "code " << std::hex << c.code << " face " << face);
      EXPECT_EQ(edge(c.code, face, 'T') != 0, c.t);
      EXPECT_EQ(edge(c.code, face, 'B') != 0, c.b);
      EXPECT_EQ(edge(c.code, face, 'L') != 0, c.l);
      EXPECT_EQ(edge(c.code, face, 'R') != 0, c.r);
    }
}

TEST_F(TextFontAsset, BoxDrawingJoinsWithoutSeams) {
  for (int face = 1; face <= 2; ++face) {
    SCOPED_TRACE(face);
    // Horizontal: the right edge of one cell meets the left edge of the next.
    EXPECT_EQ(edge(0xC4, face, 'R'), edge(0xC4, face, 'L'));  // ──
    EXPECT_EQ(edge(0xCD, face, 'R'), edge(0xCD, face, 'L'));  // ══
    EXPECT_EQ(edge(0xC9, face, 'R'), edge(0xBB, face, 'L'));  // ╔╗
    EXPECT_EQ(edge(0xDA, face, 'R'), edge(0xBF, face, 'L'));  // ┌┐
    EXPECT_EQ(edge(0xCD, face, 'R'), edge(0xCB, face, 'L'));  // ═╦
    EXPECT_EQ(edge(0xC4, face, 'R'), edge(0xC5, face, 'L'));  // ─┼
    // Vertical: the bottom edge of one cell meets the top edge of the one below.
    EXPECT_EQ(edge(0xB3, face, 'B'), edge(0xB3, face, 'T'));  // │ over │
    EXPECT_EQ(edge(0xBA, face, 'B'), edge(0xBA, face, 'T'));  // ║ over ║
    EXPECT_EQ(edge(0xC9, face, 'B'), edge(0xC8, face, 'T'));  // ╔ over ╚
    EXPECT_EQ(edge(0xDA, face, 'B'), edge(0xC3, face, 'T'));  // ┌ over ├
    EXPECT_EQ(edge(0xCB, face, 'B'), edge(0xCA, face, 'T'));  // ╦ over ╩
    // Single and double lines differ: one band versus two.
    EXPECT_NE(edge(0xC4, face, 'L'), edge(0xCD, face, 'L'));
    EXPECT_NE(edge(0xB3, face, 'T'), edge(0xBA, face, 'T'));
  }
}

TEST_F(TextFontAsset, DoubleCornersHaveAnOpenInnerCorner) {
  // ╔: the inside of the corner (between the two lines) is empty, the outer line is continuous.
  for (int face = 1; face <= 2; ++face) {
    int ink = 0;
    for (int y = 0; y < kCellHeight; ++y)
      for (int x = 0; x < kCellWidth; ++x) ink += px(0xC9, face, x, y) != 0;
    EXPECT_GT(ink, 20) << face;
    EXPECT_EQ(px(0xC9, face, 8, 0), 0) << face;  // nothing above the top line
    EXPECT_EQ(px(0xC9, face, 0, 11), 0) << face;  // nothing left of the left line
  }
}

TEST_F(TextFontAsset, BlocksAreSolidAndShadesGetDenser) {
  for (int face = 1; face <= 2; ++face) {
    EXPECT_EQ(inkCount(0xDB, face), kCellWidth * kCellHeight) << face;
    // One tone across the whole block, so tiled blocks show no cell grid.
    std::set<int> tones;
    for (int y = 0; y < kCellHeight; ++y)
      for (int x = 0; x < kCellWidth; ++x) tones.insert(px(0xDB, face, x, y));
    EXPECT_EQ(tones.size(), 1u);
    // Lower, upper, left and right halves.
    EXPECT_EQ(edge(0xDC, face, 'T'), 0u);
    EXPECT_EQ(edge(0xDC, face, 'B'), 0x1FFu);
    EXPECT_EQ(edge(0xDF, face, 'T'), 0x1FFu);
    EXPECT_EQ(edge(0xDF, face, 'B'), 0u);
    EXPECT_EQ(edge(0xDD, face, 'L'), 0xFFFu);
    EXPECT_EQ(edge(0xDD, face, 'R'), 0u);
    EXPECT_EQ(edge(0xDE, face, 'R'), 0xFFFu);
    EXPECT_EQ(inkCount(0xDC, face) + inkCount(0xDF, face), inkCount(0xDB, face));
    EXPECT_EQ(inkCount(0xDD, face) + inkCount(0xDE, face), inkCount(0xDB, face));
    // Light, medium, dark shade: a quarter, a half, three quarters of the cell.
    EXPECT_EQ(inkCount(0xB0, face), 27);
    EXPECT_EQ(inkCount(0xB1, face), 54);
    EXPECT_EQ(inkCount(0xB2, face), 81);
    // The pattern's period divides the cell, so the right edge continues into the left one.
    for (int code = 0xB0; code <= 0xB2; ++code) {
      for (int y = 0; y < kCellHeight; ++y)
        EXPECT_EQ(px(code, face, 0, y) != 0, px(code, face, 3, y) != 0) << code << " row " << y;
    }
  }
}

TEST_F(TextFontAsset, AccentedLettersKeepTheirBaseLetter) {
  // code, base: the accented letter equals its base on the x-height rows.
  const std::pair<int, int> kPairs[] = {{0x84, 'a'}, {0x82, 'e'}, {0x94, 'o'}, {0x81, 'u'}, {0xA4, 'n'}};
  for (const auto& [code, base] : kPairs)
    for (int face = 1; face <= 2; ++face)
      for (int y = 4; y <= 8; ++y)
        for (int x = 0; x < kCellWidth; ++x)
          EXPECT_EQ(px(code, face, x, y), px(base, face, x, y)) << std::hex << code << " " << x << "," << y;
  // ...and differ above it, where the accent is.
  for (const auto& [code, base] : kPairs) EXPECT_GT(inkCount(code, 2), inkCount(base, 2));
}

TEST(TextFontBuilder, ReportsMissingGlyphs) {
  art::IndexedPicture font;
  std::string error;
  EXPECT_FALSE(art::buildTextFont("glyph 41 A\n" + std::string(12 * 8, '.'), font, error));
  const std::string oneGlyph = "glyph 41 A\n" + std::string("..#....\n") + [] {
    std::string rows;
    for (int i = 0; i < 11; ++i) rows += ".......\n";
    return rows;
  }();
  EXPECT_FALSE(art::buildTextFont(oneGlyph, font, error));
  EXPECT_NE(error.find("code 33"), std::string::npos) << error;
}

TEST(TextFontBuilder, RefusesToOverrideProceduralCells) {
  std::string rows;
  for (int i = 0; i < 12; ++i) rows += "#######\n";
  art::IndexedPicture font;
  std::string error;
  EXPECT_FALSE(art::buildTextFont("glyph DB\n" + rows, font, error));
  EXPECT_NE(error.find("procedurally"), std::string::npos) << error;
}

}  // namespace
