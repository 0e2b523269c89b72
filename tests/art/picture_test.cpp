// Indexed PNG copies and the 256-colour reduction of the painted skins.
#include <gtest/gtest.h>

#include <stb_image.h>

#include <cstdlib>
#include <set>

#include "tools/assets/art/lib/picture.h"
#include "tools/assets/art/lib/quantise.h"

namespace {

TEST(IndexedPng, DecodesToThePictureColours) {
  art::IndexedPicture p(5, 3);
  p.setColour(0, 1, 2, 3);
  p.setColour(1, 250, 0, 0);
  p.setColour(7, 0, 128, 255);
  const uint8_t kIndices[15] = {0, 1, 7, 1, 0,  //
                                7, 7, 7, 0, 0,  //
                                1, 0, 1, 0, 7};
  std::copy(kIndices, kIndices + 15, p.pixels.begin());
  std::vector<uint8_t> png = art::encodeIndexedPng(p);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png[25], 3) << "colour type: palette";
  int w = 0, h = 0, n = 0;
  unsigned char* rgb = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &w, &h, &n, 3);
  ASSERT_NE(rgb, nullptr) << stbi_failure_reason();
  ASSERT_EQ(w, 5);
  ASSERT_EQ(h, 3);
  for (int i = 0; i < 15; ++i) {
    uint32_t got = (uint32_t{rgb[3 * i]} << 16) | (uint32_t{rgb[3 * i + 1]} << 8) | rgb[3 * i + 2];
    EXPECT_EQ(got, p.colour(kIndices[i])) << "pixel " << i;
  }
  stbi_image_free(rgb);
}

TEST(StoredLayouts, FontsPutThePaletteLastSkinsFirst) {
  art::IndexedPicture p(2, 1);
  p.pixels = {9, 4};
  p.setColour(0, 10, 20, 30);
  std::vector<uint8_t> last = art::pixelsThenPalette(p), first = art::paletteThenPixels(p);
  ASSERT_EQ(last.size(), 770u);
  ASSERT_EQ(first.size(), 770u);
  EXPECT_EQ(last[0], 9);
  EXPECT_EQ(last[1], 4);
  EXPECT_EQ(last[2], 10);
  EXPECT_EQ(first[0], 10);
  EXPECT_EQ(first[2], 30);
  EXPECT_EQ(first[768], 9);
}

TEST(Quantise, FewColoursComeBackExactly) {
  // Colours in separate histogram cells are each their own palette entry.
  const uint32_t kColours[] = {0x102030, 0xF0E0D0, 0x808080, 0xC03010};
  art::RgbImage img{4, 4, {}};
  for (int i = 0; i < 16; ++i) img.pixels.push_back(kColours[i % 4]);
  art::IndexedPicture out = art::quantise(img, std::vector<bool>(16, false), 0x000000);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(out.colour(out.pixels[i]), kColours[i % 4]) << i;
}

TEST(Quantise, ReservedPixelsGetIndexZeroAndNothingElseMatchesTheirColour) {
  // The reserved colour also appears outside the reserved area: there it
  // must map to some other, distinguishable entry.
  const uint32_t kBlack = 0x040204;
  art::RgbImage img{6, 1, {kBlack, kBlack, 0x040204, 0x050305, 0x808080, 0x040204}};
  std::vector<bool> reserved = {true, true, false, false, false, false};
  art::IndexedPicture out = art::quantise(img, reserved, kBlack);
  EXPECT_EQ(out.pixels[0], 0);
  EXPECT_EQ(out.pixels[1], 0);
  EXPECT_EQ(out.colour(0), kBlack);
  for (int i = 2; i < 6; ++i) EXPECT_NE(out.pixels[i], 0) << i;
  for (int k = 1; k < 256; ++k) EXPECT_NE(out.colour(k), kBlack) << k;
}

TEST(Quantise, ManyColoursStayClose) {
  // A smooth 64 x 64 gradient in two channels: 255 entries keep every pixel near its colour.
  art::RgbImage img{64, 64, {}};
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) img.pixels.push_back(static_cast<uint32_t>((x * 4) << 16 | (y * 4) << 8 | 60));
  art::IndexedPicture out = art::quantise(img, std::vector<bool>(img.pixels.size(), false), 0);
  std::set<int> used(out.pixels.begin(), out.pixels.end());
  EXPECT_GT(used.size(), 200u);
  long total = 0;
  for (std::size_t i = 0; i < img.pixels.size(); ++i) {
    uint32_t a = img.pixels[i], b = out.colour(out.pixels[i]);
    for (int s : {16, 8, 0}) {
      int d = std::abs(int((a >> s) & 255) - int((b >> s) & 255));
      EXPECT_LE(d, 16) << i;
      total += d;
    }
  }
  EXPECT_LT(total / double(3 * img.pixels.size()), 5.0);  // mean error per channel
}

}  // namespace
