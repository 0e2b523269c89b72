// Text-art glyph sources. A source file is a list of blocks; each block is a
// header line followed by a fixed number of picture rows:
//
//   ; a comment
//   glyph 41 A        a glyph for character code 0x41 (the rest is a label)
//   .#####.           one row per line, '.' empty, anything else a mark
//   ...
//
// Header keywords are chosen by the font (glyph, heavy, mark, helper, compose);
// `compose` lines have no rows. Blank lines and ';' comments may come anywhere
// between blocks.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace art {

struct GlyphBlock {
  std::string kind;               // first word of the header
  std::vector<std::string> args;  // remaining words
  std::vector<std::string> rows;  // picture rows, all of the declared width
  int line = 0;                   // header line number, for messages
};

// How many rows of which width follow a header of a given kind (0 rows: none).
struct BlockShape {
  std::string kind;
  int rows = 0;
  int width = 0;
};

// Parses `text`; false with a message naming the line when a header is
// unknown or a picture row is missing or has the wrong width.
bool parseGlyphBlocks(const std::string& text, const std::vector<BlockShape>& shapes, std::vector<GlyphBlock>& out,
                      std::string& error);

// "41" -> 0x41; -1 when the text is not a hex number 0..FF.
int parseHexCode(const std::string& text);

}  // namespace art
