// Running the art tools again gives the committed assets byte for byte, so
// the glyph sources and the painter really are the sources of the assets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/art/asset_files.h"
#include "tools/assets/art/lib/sources.h"

namespace {

class Regeneration : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(art::makeTextFont(art::glyphDirectory(), text_, error)) << error;
    ASSERT_TRUE(art::makeBigFont(art::glyphDirectory(), big_, error)) << error;
  }
  art::IndexedPicture text_, big_;
};

TEST_F(Regeneration, TextFontMatchesTheCommittedBytes) {
  EXPECT_TRUE(art::pixelsThenPalette(text_) == arttest::readAsset("fonts/text_font.bin"));
  EXPECT_TRUE(art::encodeIndexedPng(text_) == arttest::readAsset("fonts/text_font.png"));
}

TEST_F(Regeneration, BigFontMatchesTheCommittedBytes) {
  EXPECT_TRUE(art::pixelsThenPalette(big_) == arttest::readAsset("fonts/big_font.bin"));
  EXPECT_TRUE(art::encodeIndexedPng(big_) == arttest::readAsset("fonts/big_font.png"));
}

}  // namespace

namespace {

// The tool programs themselves, run into a scratch folder.
class ToolRun : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("qv_art_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  int run(const std::string& tool) {
    const std::string command = std::string(QV_BINARY_DIR) + "/" + tool + " --out " + dir_.string() + " > /dev/null";
    return std::system(command.c_str());
  }
  std::vector<uint8_t> output(const std::string& name) {
    std::vector<uint8_t> bytes;
    art::readFile((dir_ / name).string(), bytes);
    return bytes;
  }
  std::filesystem::path dir_;
};

TEST_F(ToolRun, FontmakerWritesTheCommittedFonts) {
  ASSERT_EQ(run("fontmaker"), 0);
  for (const char* name : {"text_font.bin", "text_font.png", "big_font.bin", "big_font.png"}) {
    std::vector<uint8_t> made = output(name);
    EXPECT_FALSE(made.empty()) << name;
    EXPECT_TRUE(made == arttest::readAsset(std::string("fonts/") + name)) << name;
  }
}

TEST_F(ToolRun, SkinpainterWritesTheCommittedSkins) {
  ASSERT_EQ(run("skinpainter"), 0);
  for (const char* name : {"grunge.bin", "grunge.png", "carbon.bin", "carbon.png"}) {
    std::vector<uint8_t> made = output(name);
    EXPECT_FALSE(made.empty()) << name;
    EXPECT_TRUE(made == arttest::readAsset(std::string("skins/") + name)) << name;
  }
}

TEST_F(ToolRun, FontmakerRejectsABrokenGlyphSource) {
  // A copy of the sources with one glyph row cut short: no output, a failure status.
  std::filesystem::create_directories(dir_ / "glyphs");
  std::string text;
  ASSERT_TRUE(art::readTextFile(art::glyphDirectory() + "/text_font.txt", text));
  const std::size_t at = text.find("glyph 41 A\n");
  ASSERT_NE(at, std::string::npos);
  text.replace(at + 11, 8, "......\n");  // the first row of 'A' is one mark short
  ASSERT_TRUE(art::writeFile((dir_ / "glyphs/text_font.txt").string(), std::vector<uint8_t>(text.begin(), text.end())));
  std::filesystem::copy_file(art::glyphDirectory() + "/big_font.txt", dir_ / "glyphs/big_font.txt");
  const std::string command = std::string(QV_BINARY_DIR) + "/fontmaker --glyphs " + (dir_ / "glyphs").string() +
                              " --out " + dir_.string() + " 2> /dev/null";
  EXPECT_NE(std::system(command.c_str()), 0);
  EXPECT_TRUE(output("text_font.bin").empty());
}

}  // namespace
