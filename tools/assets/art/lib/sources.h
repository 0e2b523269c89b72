// Where the art tools find their sources and put their results, and the
// one-call builders the tools and the regeneration tests share.
#pragma once

#include <string>

#include "tools/assets/art/lib/picture.h"

namespace art {

// tools/assets/art/glyphs in the source tree.
std::string glyphDirectory();
// assets/ in the source tree.
std::string assetDirectory();
// dist/icons in the source tree: the hicolor icons the install puts in place.
std::string iconDirectory();

// Reads glyphs/text_font.txt and glyphs/big_font.txt from `glyphDir`.
bool makeTextFont(const std::string& glyphDir, IndexedPicture& font, std::string& error);
bool makeBigFont(const std::string& glyphDir, IndexedPicture& font, std::string& error);

}  // namespace art
