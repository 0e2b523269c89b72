// Running the art tools again gives the committed assets byte for byte, so
// the glyph sources and the painter really are the sources of the assets.
#include <gtest/gtest.h>

#include "tests/art/asset_files.h"
#include "tools/art/lib/skin_painter.h"
#include "tools/art/lib/sources.h"

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

TEST_F(Regeneration, SkinsMatchTheCommittedBytes) {
  const char* names[] = {"skins/grunge", "skins/carbon"};
  for (int skin = 1; skin <= 2; ++skin) {
    art::IndexedPicture picture = art::paintSkin(skin, text_, big_);
    EXPECT_TRUE(art::paletteThenPixels(picture) == arttest::readAsset(std::string(names[skin - 1]) + ".bin")) << skin;
    EXPECT_TRUE(art::encodeIndexedPng(picture) == arttest::readAsset(std::string(names[skin - 1]) + ".png")) << skin;
  }
}

}  // namespace
