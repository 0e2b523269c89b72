// The reader's text font: code page 437 codes 32..255 in two faces, 9 x 12
// cells, shaded with the font's twelve grey tones so that colour codes tint a
// lit letter rather than a flat one.
//
// Source: glyphs/text_font.txt holds 7 x 12 skeletons ('#' marks). The light
// face is the skeleton itself; the heavy face doubles every stroke to the
// right unless a `heavy` block (8 x 12) draws that glyph by hand. Accented
// letters are `compose`d from a base glyph (or `helper`) and `mark`s. The
// shading blocks, box-drawing characters, half blocks and the small square
// are drawn procedurally so that they tile without seams.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tools/assets/art/lib/picture.h"

namespace art {

inline constexpr int kTextFontWidth = 2048;
inline constexpr int kTextFontHeight = 28;
inline constexpr int kCellWidth = 9;
inline constexpr int kCellHeight = 12;
inline constexpr int kHeavyFaceTop = 0;   // style 1
inline constexpr int kLightFaceTop = 14;  // style 2

// Font palette entries 0..11 (the rest of the palette is zero).
inline constexpr std::array<std::array<uint8_t, 3>, 12> kTextFontPalette = {{
    {0, 0, 0}, {132, 130, 132}, {252, 2, 252}, {196, 194, 196}, {68, 66, 68}, {188, 190, 188},
    {252, 254, 252}, {100, 98, 68}, {28, 30, 28}, {132, 134, 132}, {212, 210, 212}, {84, 82, 84},
}};

// Tone names for the values the shader uses (brightest first).
enum Tone : uint8_t {
  kToneBlank = 0,
  kToneWhite = 6,     // 252
  kToneBright = 10,   // 212
  kToneLight = 3,     // 196
  kToneMid = 5,       // 188
  kToneGrey = 9,      // 134
  kToneDim = 1,       // 132
  kToneDark = 11,     // 84
  kToneDeep = 4,      // 68
  kToneShadow = 8,    // 28
};

// One face's cell: 9 x 12 tone values, row-major.
using GlyphCell = std::array<uint8_t, kCellWidth * kCellHeight>;

// Box-drawing arms of a code: 0 none, 1 single, 2 double. All zero for
// codes outside 0xB3..0xDA.
struct BoxArms {
  int up = 0, down = 0, left = 0, right = 0;
};
BoxArms boxArms(int code);

// Procedurally drawn cells (shades, boxes, blocks, small square).
bool isProceduralGlyph(int code);
GlyphCell proceduralCell(int code, bool heavy);

// Builds the whole 2048 x 28 font from the glyph source text.
bool buildTextFont(const std::string& source, IndexedPicture& font, std::string& error);

// First image column of code c's cell.
inline int textGlyphColumn(int code) { return (code - 32) * kCellWidth + 1; }

}  // namespace art
