// The desktop icon: iconmaker gives the committed PNGs byte for byte, and
// each size is a real picture of its size (transparent corners, an opaque
// body, the letter lit in the middle).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/assets/art/lib/icon.h"
#include "tools/assets/art/lib/sources.h"
#include "tools/dev/imageio/png.h"

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

// The Windows icon as the resource compiler reads it: a directory of
// entries, each naming a size and pointing at a PNG of exactly that size.
TEST_F(Icon, WindowsIconHoldsEachSizeAsAPng) {
  std::vector<uint8_t> ico;
  ASSERT_TRUE(art::readFile(art::iconDirectory() + "/quorvaline.ico", ico));
  auto u16 = [&](size_t at) { return static_cast<uint32_t>(ico[at] | ico[at + 1] << 8); };
  auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
  ASSERT_GE(ico.size(), 6u);
  EXPECT_EQ(u16(0), 0u);
  EXPECT_EQ(u16(2), 1u);  // an icon, not a cursor
  ASSERT_EQ(u16(4), art::kWindowsIconSizes.size());
  size_t expectedOffset = 6 + 16 * art::kWindowsIconSizes.size();
  for (size_t i = 0; i < art::kWindowsIconSizes.size(); ++i) {
    const int size = art::kWindowsIconSizes[i];
    const size_t entry = 6 + 16 * i;
    EXPECT_EQ(ico[entry] == 0 ? 256 : ico[entry], size);
    EXPECT_EQ(ico[entry + 1] == 0 ? 256 : ico[entry + 1], size);
    EXPECT_EQ(u16(entry + 6), 32u);
    const uint32_t length = u32(entry + 8), offset = u32(entry + 12);
    EXPECT_EQ(offset, expectedOffset) << size;
    ASSERT_LE(static_cast<size_t>(offset) + length, ico.size()) << size;
    expectedOffset = offset + length;
    const art::RgbaPicture icon = art::paintIcon(size, big_);
    const std::vector<uint8_t> png = art::encodeRgbaPng(icon.width, icon.height, icon.rgba);
    EXPECT_TRUE(std::equal(png.begin(), png.end(), ico.begin() + offset, ico.begin() + offset + length) &&
                png.size() == length)
        << size;
  }
  EXPECT_EQ(expectedOffset, ico.size());
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
  std::vector<uint8_t> made, committed;
  EXPECT_TRUE(art::readFile((dir / "quorvaline.ico").string(), made));
  EXPECT_TRUE(art::readFile(art::iconDirectory() + "/quorvaline.ico", committed));
  EXPECT_FALSE(made.empty());
  EXPECT_TRUE(made == committed);
  std::filesystem::remove_all(dir);
}

}  // namespace
