// The eight pixel converters against the per-pixel rule, on edge pixels,
// random pixels and every row length that leaves a partial group.
#include "host/common/pixel_converters.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

namespace host {
namespace {

// The rule each format is defined by, written out one pixel at a time:
// returns the bytes of one output pixel, lowest address first.
std::vector<uint8_t> referencePixel(const PixelFormatKey& f, uint32_t p) {
  const uint32_t rr = (p >> 16) & 0xFF, gg = (p >> 8) & 0xFF, bb = p & 0xFF;
  auto le = [](uint32_t v, int n) {
    std::vector<uint8_t> out;
    for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
  };
  if (f.bitCount == 32 && f.redMask == 0xFF0000) return le(p, 4);  // top byte kept
  if (f.bitCount == 32) return le(bb << 16 | gg << 8 | rr, 4);
  if (f.bitCount == 24 && f.redMask == 0xFF0000) return {static_cast<uint8_t>(bb), static_cast<uint8_t>(gg), static_cast<uint8_t>(rr)};
  if (f.bitCount == 24) return {static_cast<uint8_t>(rr), static_cast<uint8_t>(gg), static_cast<uint8_t>(bb)};
  if (f.redMask == 0xF800) return le((rr >> 3) << 11 | (gg >> 2) << 5 | bb >> 3, 2);
  if (f.greenMask == 0x7E0) return le((bb >> 3) << 11 | (gg >> 2) << 5 | rr >> 3, 2);
  if (f.redMask == 0x7C00) return le((rr >> 3) << 10 | (gg >> 3) << 5 | bb >> 3, 2);
  return le((bb >> 3) << 10 | (gg >> 3) << 5 | rr >> 3, 2);
}

std::vector<uint32_t> edgeAndRandomPixels(int count, uint32_t seed) {
  // Edge values first: all channels empty or full, single channels, values
  // just below and at each truncation step, and a set top byte.
  std::vector<uint32_t> px = {0x00000000, 0x00FFFFFF, 0xFF000000, 0xFFFFFFFF, 0x00FF0000, 0x0000FF00,
                              0x000000FF, 0x00070307, 0x00080408, 0x00F8FCF8, 0x00F7FBF7, 0x12345678,
                              0x80808080, 0x00010101, 0x007F7F7F, 0xA5C3E1F0};
  std::mt19937 rng(seed);
  while (static_cast<int>(px.size()) < count) px.push_back(rng());
  px.resize(static_cast<std::size_t>(count));
  return px;
}

class PixelConverterTest : public ::testing::TestWithParam<int> {};

TEST_P(PixelConverterTest, EveryPixelFollowsTheRuleForEveryRowLength) {
  const PixelConverterEntry& e = pixelConverterTable()[GetParam()];
  // Lengths around the group sizes of 4, 8 and 16, and a full frame row.
  for (int count : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 15, 16, 17, 31, 33, 799, 800}) {
    const std::vector<uint32_t> src = edgeAndRandomPixels(count, 1234u + static_cast<uint32_t>(count));
    // A guard byte pattern after the row catches writes past its end.
    std::vector<uint8_t> dst(static_cast<std::size_t>(count) * 4 + 16, 0xCD);
    e.convert(src.data(), dst.data(), count);
    for (int i = 0; i < count; ++i) {
      const std::vector<uint8_t> want = referencePixel(e.format, src[static_cast<std::size_t>(i)]);
      for (std::size_t b = 0; b < want.size(); ++b) {
        ASSERT_EQ(dst[static_cast<std::size_t>(i) * want.size() + b], want[b])
            << e.name << " count " << count << " pixel " << i << " byte " << b << " source 0x" << std::hex
            << src[static_cast<std::size_t>(i)];
      }
    }
    for (std::size_t b = static_cast<std::size_t>(count) * static_cast<std::size_t>(e.bytesPerPixel); b < dst.size(); ++b) {
      ASSERT_EQ(dst[b], 0xCD) << e.name << " wrote past the row at count " << count;
    }
  }
}

TEST_P(PixelConverterTest, WorksOnUnalignedDestinations) {
  // Locked surface rows need not be aligned for 24-bit pixels.
  const PixelConverterEntry& e = pixelConverterTable()[GetParam()];
  const std::vector<uint32_t> src = edgeAndRandomPixels(37, 99);
  std::vector<uint8_t> aligned(37 * 4), shifted(37 * 4 + 1);
  e.convert(src.data(), aligned.data(), 37);
  e.convert(src.data(), shifted.data() + 1, 37);
  EXPECT_EQ(0, std::memcmp(aligned.data(), shifted.data() + 1, 37 * static_cast<std::size_t>(e.bytesPerPixel)));
}

INSTANTIATE_TEST_SUITE_P(AllFormats, PixelConverterTest, ::testing::Range(0, kPixelConverterCount),
                         [](const ::testing::TestParamInfo<int>& p) {
                           return std::string(pixelConverterTable()[p.param].name);
                         });

TEST(PixelConverterKnownValues, WhiteOrangeAndGreyInEachFormat) {
  // Source 0x00FF8040 (orange) in each format, as the 16/32-bit value or bytes.
  //   565:       (31<<11)|(32<<5)|8   = 0xFC08
  //   565 swap:  (8<<11)|(32<<5)|31   = 0x441F
  //   555:       (31<<10)|(16<<5)|8   = 0x7E08
  //   555 swap:  (8<<10)|(16<<5)|31   = 0x221F
  const uint32_t orange = 0x00FF8040;
  uint8_t out[4] = {};
  convert565(&orange, out, 1);
  EXPECT_EQ(out[0] | out[1] << 8, 0xFC08);
  convert565Swapped(&orange, out, 1);
  EXPECT_EQ(out[0] | out[1] << 8, 0x441F);
  convert555(&orange, out, 1);
  EXPECT_EQ(out[0] | out[1] << 8, 0x7E08);
  convert555Swapped(&orange, out, 1);
  EXPECT_EQ(out[0] | out[1] << 8, 0x221F);
  convertBgr24(&orange, out, 1);
  EXPECT_EQ((std::array<int, 3>{out[0], out[1], out[2]}), (std::array<int, 3>{0x40, 0x80, 0xFF}));
  convertRgb24(&orange, out, 1);
  EXPECT_EQ((std::array<int, 3>{out[0], out[1], out[2]}), (std::array<int, 3>{0xFF, 0x80, 0x40}));
  // White with a set top byte: only the plain copy keeps it; 555 leaves bit 15 clear.
  const uint32_t white = 0xFFFFFFFF;
  uint32_t word = 0;
  convertCopy32(&white, reinterpret_cast<uint8_t*>(&word), 1);
  EXPECT_EQ(word, 0xFFFFFFFFu);
  convertSwap32(&white, reinterpret_cast<uint8_t*>(&word), 1);
  EXPECT_EQ(word, 0x00FFFFFFu);
  convert555(&white, out, 1);
  EXPECT_EQ(out[0] | out[1] << 8, 0x7FFF);
}

TEST(PixelConverterLookup, FindsExactlyTheEightFormats) {
  for (int i = 0; i < kPixelConverterCount; ++i) {
    const PixelConverterEntry& e = pixelConverterTable()[i];
    EXPECT_EQ(findPixelConverter(e.format), e.convert) << e.name;
  }
  // Neighbours of supported formats have no converter.
  const PixelFormatKey unsupported[] = {
      {8, 0, 0, 0},                      // palettised
      {32, 0xFF0000, 0xFF00, 0xFF00},    // bad blue mask
      {24, 0xF800, 0x7E0, 0x1F},         // 16-bit masks at 24 bits
      {16, 0xFF0000, 0xFF00, 0xFF},      // 32-bit masks at 16 bits
      {16, 0xF000, 0xF00, 0xF0},         // 4-4-4
      {15, 0x7C00, 0x3E0, 0x1F},         // 555 given as 15 bits
  };
  for (const PixelFormatKey& k : unsupported) EXPECT_EQ(findPixelConverter(k), nullptr) << k.bitCount;
}

}  // namespace
}  // namespace host
