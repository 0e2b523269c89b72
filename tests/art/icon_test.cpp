// The desktop icon: iconmaker gives the committed PNGs byte for byte, and
// each size is a real picture of its size (transparent corners, an opaque
// body, the letter lit in the middle).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/art/lib/icon.h"
#include "tools/art/lib/sources.h"
#include "tools/imageio/png.h"

namespace {

std::string committedIcon(int size) {
  return art::iconDirectory() + "/" + std::to_string(size) + "x" + std::to_string(size) + "/quorvaline.png";
}

class Icon : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(art::makeBigFont(art::glyphDirectory(), big_, error)) << error;
  }
  art::IndexedPicture big_;
};

TEST_F(Icon, EverySizeMatchesTheCommittedPng) {
  for (int size : art::kIconSizes) {
    const art::RgbaPicture icon = art::paintIcon(size, big_);
    std::vector<uint8_t> committed;
    ASSERT_TRUE(art::readFile(committedIcon(size), committed)) << committedIcon(size);
    EXPECT_TRUE(art::encodeRgbaPng(icon.width, icon.height, icon.rgba) == committed) << size;
  }
}

TEST_F(Icon, CornersAreClearTheBodyIsOpaqueAndTheLetterIsLit) {
  for (int size : art::kIconSizes) {
    imageio::Image png;  // decoded by stb, not by our encoder
    ASSERT_TRUE(imageio::readPng(committedIcon(size), png)) << size;
    ASSERT_EQ(png.width, size);
    ASSERT_EQ(png.height, size);
    const art::RgbaPicture icon = art::paintIcon(size, big_);
    auto alpha = [&](int x, int y) { return icon.rgba[(static_cast<std::size_t>(y) * size + x) * 4 + 3]; };
    for (int c : {0, size - 1}) {
      EXPECT_EQ(alpha(c, 0), 0) << size;
      EXPECT_EQ(alpha(c, size - 1), 0) << size;
    }
    EXPECT_EQ(alpha(size / 2, size / 2), 255) << size;
    EXPECT_EQ(alpha(size / 2, size / 8), 255) << size;
    // The top bar of the Q: bright and warm, as the intro's letters.
    const uint32_t top = png.pixels[static_cast<std::size_t>(size / 4) * size + size / 2];
    EXPECT_GT((top >> 16) & 255, 160u) << size;
    EXPECT_GT((top >> 16) & 255, top & 255) << size;
  }
}

TEST(IconTool, WritesTheCommittedIcons) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("qv_icons_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  const std::string command = std::string(QV_BINARY_DIR) + "/iconmaker --out " + dir.string() + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (int size : art::kIconSizes) {
    const std::string name = std::to_string(size) + "x" + std::to_string(size) + "/quorvaline.png";
    std::vector<uint8_t> made, committed;
    EXPECT_TRUE(art::readFile((dir / name).string(), made)) << name;
    EXPECT_TRUE(art::readFile(committedIcon(size), committed)) << name;
    EXPECT_FALSE(made.empty()) << name;
    EXPECT_TRUE(made == committed) << name;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
