// The text-art block reader shared by both fonts.
#include <gtest/gtest.h>

#include "tools/assets/art/lib/glyph_source.h"

namespace {

const std::vector<art::BlockShape> kShapes = {{"glyph", 2, 3}, {"compose", 0, 0}};

TEST(GlyphSource, ReadsBlocksSkippingCommentsAndBlankLines) {
  const std::string text =
      "; header comment\n"
      "\n"
      "glyph 41 A letter\n"
      "#.#\n"
      ".#.\n"
      "   ; between blocks\n"
      "compose 84 61 diaeresis\n"
      "glyph 42\r\n"  // a file saved with CR LF
      "###\r\n"
      "...\r\n";
  std::vector<art::GlyphBlock> blocks;
  std::string error;
  ASSERT_TRUE(art::parseGlyphBlocks(text, kShapes, blocks, error)) << error;
  ASSERT_EQ(blocks.size(), 3u);
  EXPECT_EQ(blocks[0].kind, "glyph");
  EXPECT_EQ(blocks[0].args, (std::vector<std::string>{"41", "A", "letter"}));
  EXPECT_EQ(blocks[0].rows, (std::vector<std::string>{"#.#", ".#."}));
  EXPECT_EQ(blocks[0].line, 3);
  EXPECT_EQ(blocks[1].kind, "compose");
  EXPECT_TRUE(blocks[1].rows.empty());
  EXPECT_EQ(blocks[2].rows, (std::vector<std::string>{"###", "..."}));
}

TEST(GlyphSource, RejectsUnknownBlocksNamingTheLine) {
  std::vector<art::GlyphBlock> blocks;
  std::string error;
  EXPECT_FALSE(art::parseGlyphBlocks("glyph 41\n###\n###\nsprite 42\n", kShapes, blocks, error));
  EXPECT_NE(error.find("line 4"), std::string::npos) << error;
  EXPECT_NE(error.find("sprite"), std::string::npos) << error;
}

TEST(GlyphSource, RejectsRowsOfTheWrongWidthOrMissingRows) {
  std::vector<art::GlyphBlock> blocks;
  std::string error;
  EXPECT_FALSE(art::parseGlyphBlocks("glyph 41\n###\n####\n", kShapes, blocks, error));
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;
  EXPECT_FALSE(art::parseGlyphBlocks("glyph 41\n###\n", kShapes, blocks, error));  // file ends early
  EXPECT_NE(error.find("line 1"), std::string::npos) << error;
}

TEST(GlyphSource, HexCodes) {
  // text -> value
  const std::pair<const char*, int> kCases[] = {
      {"41", 0x41}, {"ff", 0xFF}, {"B3", 0xB3}, {"7", 7},  // one or two digits, either case
      {"", -1},     {"100", -1},  {"G1", -1},   {"-1", -1},
  };
  for (const auto& [text, value] : kCases) EXPECT_EQ(art::parseHexCode(text), value) << text;
}

}  // namespace
