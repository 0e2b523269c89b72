// Block letters for banners and logos: a 5 x 5 pixel alphabet drawn with the
// code page 437 block characters.
#pragma once

#include <string>
#include <vector>

namespace contentc {

// Pixel rows of the glyphs of `text` (upper-cased), one column gap between
// letters: 5 strings of '#' and ' '. Characters without a glyph are an error
// reported through `unknown` (the first one met), otherwise `unknown` is 0.
std::vector<std::string> blockPixels(const std::string& text, char& unknown);

}  // namespace contentc
