// Small synthetic assets and frame checks shared by the renderer tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "render/graphics.h"
#include "tools/dev/imageio/png.h"

namespace render::testing {

// The text font's palette: values 0..11 as drawn by the font artist.
//   value: R, G, B
inline constexpr uint8_t kFontPalette[12][3] = {
    {0, 0, 0},       {132, 130, 132}, {252, 2, 252},  {196, 194, 196}, {68, 66, 68},  {188, 190, 188},
    {252, 254, 252}, {100, 98, 68},   {28, 30, 28},   {132, 134, 132}, {212, 210, 212}, {84, 82, 84},
};

struct SyntheticAssets {
  std::vector<uint8_t> grunge = std::vector<uint8_t>(kSkinImageBytes, 0);
  std::vector<uint8_t> carbon = std::vector<uint8_t>(kSkinImageBytes, 0);
  std::vector<uint8_t> textFont = std::vector<uint8_t>(kTextFontBytes, 0);
  std::vector<uint8_t> bigFont = std::vector<uint8_t>(kBigFontBytes, 0);

  SyntheticAssets() {
    const std::size_t fontPalette = static_cast<std::size_t>(kTextFontWidth) * kTextFontHeight;
    for (int v = 0; v < 12; ++v) {
      for (int ch = 0; ch < 3; ++ch) textFont[fontPalette + 3 * v + ch] = kFontPalette[v][ch];
    }
    // Big font: index 255 is white, everything else black.
    const std::size_t bigPalette = static_cast<std::size_t>(kBigFontWidth) * kBigFontHeight;
    for (int ch = 0; ch < 3; ++ch) bigFont[bigPalette + 3 * 255 + ch] = 255;
  }

  // Pixel value of text glyph `code` (32..255), style 1 or 2, at cell row r, column k.
  uint8_t& glyph(int code, int style, int r, int k) {
    const int row = r + (style == 2 ? kStyle2FirstRow : 0);
    const int col = (code - kFirstGlyph) * kCellWidth + 1 + k;
    return textFont[static_cast<std::size_t>(row * kTextFontWidth + col)];
  }
  // Sets big glyph `code` (32..90) pixel (row r, column j).
  void setBig(int code, int r, int j) {
    bigFont[static_cast<std::size_t>(r * kBigFontWidth + (code - kFirstGlyph) * kBigGlyphSize + j)] = 255;
  }
  ImageAssets images() const { return {grunge, carbon, textFont, bigFont}; }
};

inline std::unique_ptr<Graphics> makeGraphics(const SyntheticAssets& assets = SyntheticAssets()) {
  auto g = createGraphics();
  setUpRenderer(*g, assets.images());
  return g;
}

// An article view with every cell empty (colour 1, style 0, no rules).
inline content::ArticleView emptyArticle() {
  content::ArticleView v;
  const std::size_t cells = static_cast<std::size_t>(content::kLines) * content::kColumns;
  v.glyph.assign(cells, 0);
  v.colour.assign(cells, 1);
  v.style.assign(cells, 0);
  v.rule.assign(content::kLines, "");
  return v;
}

inline uint32_t& px(Graphics& g, int x, int y) { return g.frame[static_cast<std::size_t>(y * kFrameWidth + x)]; }

inline void fillFrame(Graphics& g, uint32_t colour) { g.frame.fill(colour); }

// Compares a w x h region at (x, y) with `expected`; on a difference both
// pictures go to the temp folder for inspection.
inline ::testing::AssertionResult regionMatches(const Graphics& g, int x, int y, int w, int h,
                                                const std::vector<uint32_t>& expected, const std::string& name) {
  std::vector<uint32_t> actual(static_cast<std::size_t>(w * h));
  for (int r = 0; r < h; ++r) {
    for (int k = 0; k < w; ++k) {
      actual[static_cast<std::size_t>(r * w + k)] = g.frame[static_cast<std::size_t>((y + r) * kFrameWidth + x + k)];
    }
  }
  if (actual == expected) return ::testing::AssertionSuccess();
  const auto dir = std::filesystem::temp_directory_path() / "render_test_failures";
  std::filesystem::create_directories(dir);
  imageio::writePng((dir / (name + "_actual.png")).string(), actual.data(), w, h);
  imageio::writePng((dir / (name + "_expected.png")).string(), expected.data(), w, h);
  int firstDiff = 0;
  while (actual[static_cast<std::size_t>(firstDiff)] == expected[static_cast<std::size_t>(firstDiff)]) ++firstDiff;
  return ::testing::AssertionFailure() << name << ": first difference at (" << firstDiff % w << ", " << firstDiff / w
                                       << ") of the region, saved to " << dir;
}

// Number of pixels that differ from `colour`, and their bounding box.
struct Changed {
  int count = 0;
  int left = kFrameWidth, right = -1, top = kFrameHeight, bottom = -1;
};
inline Changed changedFrom(const Graphics& g, uint32_t colour) {
  Changed c;
  for (int y = 0; y < kFrameHeight; ++y) {
    for (int x = 0; x < kFrameWidth; ++x) {
      if (g.frame[static_cast<std::size_t>(y * kFrameWidth + x)] == colour) continue;
      ++c.count;
      c.left = std::min(c.left, x);
      c.right = std::max(c.right, x);
      c.top = std::min(c.top, y);
      c.bottom = std::max(c.bottom, y);
    }
  }
  return c;
}

}  // namespace render::testing
