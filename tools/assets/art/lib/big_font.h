// The intro's big font: 59 glyphs of 32 x 32 for " " to "Z", one bit deep
// (index 0 black, index 255 lit), drawn on a 7 x 7 grid of 4 x 4 pixel
// tiles. glyphs/big_font.txt holds one 7 x 7 block per character:
//   '.' empty   '#' full tile
//   'a' lower-right half   'b' lower-left half   (round a top-left / top-right corner)
//   'c' upper-right half   'd' upper-left half   (round a bottom-left / bottom-right corner)
// so "a#b" over "c#d" reads as a rounded bar. Every stroke is then grown by
// one pixel right and down: 5-pixel strokes with 3-pixel counters, which
// survive the sine bend and the one-pixel shadow and highlight.
#pragma once

#include <string>

#include "tools/assets/art/lib/picture.h"

namespace art {

inline constexpr int kBigGlyphSize = 32;
inline constexpr int kBigGlyphCount = 59;  // codes 32..90
inline constexpr int kBigFontWidth = kBigGlyphSize * kBigGlyphCount;  // 1888
inline constexpr int kBigGrid = 7;
inline constexpr int kBigTile = 4;
inline constexpr int kBigMargin = 2;  // empty pixels left of and above the grid
inline constexpr int kBigLit = 255;

bool buildBigFont(const std::string& source, IndexedPicture& font, std::string& error);

// True when the big font pixel (x, y) of glyph `code` is lit.
bool bigGlyphPixel(const IndexedPicture& font, int code, int x, int y);

}  // namespace art
