// The intro font: format, coverage, stroke weight, and the tile marks of its source.
#include <gtest/gtest.h>

#include <set>

#include "tests/art/asset_files.h"
#include "tools/assets/art/lib/big_font.h"

namespace {

art::IndexedPicture committedBigFont() {
  return arttest::unpack(arttest::readAsset("fonts/big_font.bin"), art::kBigFontWidth, art::kBigGlyphSize, false);
}

int ink(const art::IndexedPicture& f, int code) {
  int n = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) n += art::bigGlyphPixel(f, code, x, y);
  return n;
}

TEST(BigFontAsset, FormatAndPalette) {
  const std::vector<uint8_t> bytes = arttest::readAsset("fonts/big_font.bin");
  ASSERT_EQ(bytes.size(), 1888u * 32u + 768u);
  art::IndexedPicture f = committedBigFont();
  std::set<int> used(f.pixels.begin(), f.pixels.end());
  EXPECT_EQ(used, (std::set<int>{0, 255}));
  EXPECT_EQ(f.colour(0), 0x000000u);
  EXPECT_NE(f.colour(255), 0x000000u);
}

TEST(BigFontAsset, SpaceIsEmptyAndEveryOtherGlyphIsDrawn) {
  art::IndexedPicture f = committedBigFont();
  ASSERT_EQ(f.width, art::kBigFontWidth);
  EXPECT_EQ(ink(f, ' '), 0);
  for (int code = 33; code <= 90; ++code) EXPECT_GT(ink(f, code), 40) << static_cast<char>(code);
}

TEST(BigFontAsset, GlyphsKeepAGapToTheirNeighbours) {
  // The two leftmost and the rightmost columns of every cell stay empty, so
  // letters never touch even after the one-pixel shadow and highlight.
  art::IndexedPicture f = committedBigFont();
  ASSERT_EQ(f.width, art::kBigFontWidth);
  for (int code = 32; code <= 90; ++code)
    for (int y = 0; y < 32; ++y)
      for (int x : {0, 1, 31}) EXPECT_FALSE(art::bigGlyphPixel(f, code, x, y)) << code << " " << x << "," << y;
}

TEST(BigFontAsset, StrokesAreFiveToSixPixelsThick) {
  art::IndexedPicture f = committedBigFont();
  ASSERT_EQ(f.width, art::kBigFontWidth);
  // Horizontal run through the middle row of vertical stems; vertical run through bars.
  auto runAt = [&](int code, int x, int y, bool horizontal) {
    int n = 0;
    while (x < 32 && y < 32 && art::bigGlyphPixel(f, code, x, y)) {
      ++n;
      horizontal ? ++x : ++y;
    }
    return n;
  };
  // code, x, y, horizontal?: a stroke starting there
  const struct { char code; int x, y; bool horizontal; } kStrokes[] = {
      {'H', 2, 10, true}, {'I', 14, 10, true}, {'L', 2, 10, true},    // stems
      {'E', 16, 2, false}, {'H', 16, 14, false}, {'-', 16, 14, false},  // bars
  };
  for (const auto& s : kStrokes) {
    int n = runAt(s.code, s.x, s.y, s.horizontal);
    EXPECT_GE(n, 5) << s.code;
    EXPECT_LE(n, 6) << s.code;
  }
}

// A source with every glyph a single full tile except one under test.
std::string sourceWith(char code, const std::vector<std::string>& rows) {
  std::string text;
  for (int c = 32; c <= 90; ++c) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", c);
    text += "glyph " + std::string(hex) + "\n";
    for (int r = 0; r < 7; ++r) text += (c == code ? rows[r] : (r == 0 ? "#......" : ".......")) + "\n";
  }
  return text;
}

TEST(BigFontBuilder, HalfTilesCutAlongTheDiagonal) {
  // 'a' fills the lower-right half of its 4 x 4 tile; after the one-pixel
  // growth its rows hold 2, 3, 4, 5 and (grown down) 5 pixels.
  art::IndexedPicture f;
  std::string error;
  ASSERT_TRUE(art::buildBigFont(sourceWith('A', {"a......", ".......", ".......", ".......", ".......", ".......",
                                                 "......."}),
                                f, error))
      << error;
  // row (from the glyph top): expected lit columns among x = 2..7
  const struct { int y; const char* row; } kRows[] = {
      {2, "...##."},  // tile row 0: i + j >= 3 holds only for i = 3; grown right: 3..4
      {3, "..###."},
      {4, ".####."},
      {5, "#####."},
      {6, "#####."},  // grown down
      {7, "......"},
  };
  for (const auto& r : kRows)
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(art::bigGlyphPixel(f, 'A', 2 + i, r.y), r.row[i] == '#') << "x " << 2 + i << " y " << r.y;
}

TEST(BigFontBuilder, RejectsMissingGlyphsAndUnknownMarks) {
  art::IndexedPicture f;
  std::string error;
  EXPECT_FALSE(art::buildBigFont("glyph 41\n#......\n.......\n.......\n.......\n.......\n.......\n.......\n", f, error));
  EXPECT_NE(error.find("no glyph"), std::string::npos) << error;
  EXPECT_FALSE(art::buildBigFont(sourceWith('B', {"x......", ".......", ".......", ".......", ".......", ".......",
                                                  "......."}),
                                 f, error));
  EXPECT_NE(error.find("unknown mark"), std::string::npos) << error;
}

}  // namespace
