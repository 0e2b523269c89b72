#include "tools/assets/art/lib/big_font.h"

#include <set>
#include <vector>

#include "tools/assets/art/lib/glyph_source.h"

namespace art {

namespace {

// Whether pixel (i, j) of a 4 x 4 tile is lit for a source mark.
bool tileCovers(char mark, int i, int j) {
  const int last = kBigTile - 1;
  switch (mark) {
    case '#': return true;
    case 'a': return i + j >= last;  // lower-right half
    case 'b': return j >= i;         // lower-left half
    case 'c': return i >= j;         // upper-right half
    case 'd': return i + j <= last;  // upper-left half
    default: return false;
  }
}

}  // namespace

bool buildBigFont(const std::string& source, IndexedPicture& font, std::string& error) {
  std::vector<GlyphBlock> blocks;
  if (!parseGlyphBlocks(source, {{"glyph", kBigGrid, kBigGrid}}, blocks, error)) return false;
  font = IndexedPicture(kBigFontWidth, kBigGlyphSize);
  font.setColour(kBigLit, 255, 255, 255);
  std::set<int> seen;
  for (const GlyphBlock& b : blocks) {
    const std::string where = "line " + std::to_string(b.line) + ": ";
    int code = b.args.empty() ? -1 : parseHexCode(b.args[0]);
    if (code < 32 || code > 90) {
      error = where + "code must be 20..5A";
      return false;
    }
    for (const std::string& row : b.rows) {
      if (row.find_first_not_of(".#abcd") != std::string::npos) {
        error = where + "unknown mark in '" + row + "'";
        return false;
      }
    }
    seen.insert(code);
    const int x0 = (code - 32) * kBigGlyphSize + kBigMargin;
    for (int gy = 0; gy < kBigGrid; ++gy)
      for (int gx = 0; gx < kBigGrid; ++gx)
        for (int j = 0; j < kBigTile; ++j)
          for (int i = 0; i < kBigTile; ++i)
            if (tileCovers(b.rows[gy][gx], i, j))
              font.at(x0 + gx * kBigTile + i, kBigMargin + gy * kBigTile + j) = kBigLit;
    // Thicken every stroke by one pixel to the right and down: 5-pixel
    // strokes, still with 3-pixel counters between them.
    for (int y = kBigMargin + kBigGrid * kBigTile; y >= 1; --y)
      for (int x = x0 + kBigGrid * kBigTile; x >= x0; --x)
        if (font.at(x - 1, y) || font.at(x, y - 1) || font.at(x - 1, y - 1)) font.at(x, y) = kBigLit;
  }
  for (int code = 33; code <= 90; ++code) {
    if (!seen.count(code)) {
      error = "no glyph for code " + std::to_string(code);
      return false;
    }
  }
  return true;
}

bool bigGlyphPixel(const IndexedPicture& font, int code, int x, int y) {
  return font.at((code - 32) * kBigGlyphSize + x, y) != 0;
}

}  // namespace art
