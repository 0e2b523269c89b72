// Frame primitives: the blend, the rules and the skin backgrounds.
#include <gtest/gtest.h>

#include <random>

#include "render_test_support.h"

namespace render {
namespace {
using testing::changedFrom;
using testing::fillFrame;
using testing::px;

// Blend -------------------------------------------------------------------

TEST(Blend, ChangesInclusiveExtents) {
  auto g = testing::makeGraphics();
  fillFrame(*g, 0x808080);
  blendRect(*g, 148, 61, 245, 10, 60, 100, 100, 100);
  const auto c = changedFrom(*g, 0x808080);
  EXPECT_EQ(c.count, 246 * 11);
  EXPECT_EQ(c.left, 148);
  EXPECT_EQ(c.right, 148 + 245);
  EXPECT_EQ(c.top, 61);
  EXPECT_EQ(c.bottom, 71);
}

TEST(Blend, AlphaZeroLeavesFrame) {
  auto g = testing::makeGraphics();
  fillFrame(*g, 0x123456);
  blendRect(*g, 0, 0, 799, 599, 0, 255, 255, 255);
  EXPECT_EQ(changedFrom(*g, 0x123456).count, 0);
}

TEST(Blend, FloorsEachChannel) {
  auto g = testing::makeGraphics();
  fillFrame(*g, 0);
  blendRect(*g, 10, 10, 0, 0, 125, 255, 0, 0);
  EXPECT_EQ(px(*g, 10, 10), 124u << 16);  // floor(255 * 125 / 256) = 124

  //   old       alpha  colour         new
  //   0xFFFFFF  125    (125,70,20)    R (125*125+255*131)/256 = 191.5 -> 191
  //                                   G (70*125+255*131)/256  = 164.6 -> 164
  //                                   B (20*125+255*131)/256  = 140.2 -> 140
  px(*g, 20, 20) = 0xFFFFFF;
  blendRect(*g, 20, 20, 0, 0, 125, 125, 70, 20);
  EXPECT_EQ(px(*g, 20, 20), (191u << 16) | (164u << 8) | 140u);
}

TEST(Blend, LaneArithmeticMatchesPerChannelFormula) {
  auto g = testing::makeGraphics();
  std::mt19937 rng(7);
  for (int trial = 0; trial < 2000; ++trial) {
    const uint32_t old = rng() & 0xFFFFFF;
    const int alpha = static_cast<int>(rng() % 128);
    const int r = static_cast<int>(rng() % 256), gr = static_cast<int>(rng() % 256), b = static_cast<int>(rng() % 256);
    px(*g, 5, 5) = old;
    blendRect(*g, 5, 5, 0, 0, alpha, r, gr, b);
    auto mix = [&](int colour, int shift) {
      const int was = static_cast<int>(old >> shift & 0xFF);
      return static_cast<uint32_t>((colour * alpha + was * (256 - alpha)) / 256);
    };
    ASSERT_EQ(px(*g, 5, 5), mix(r, 16) << 16 | mix(gr, 8) << 8 | mix(b, 0)) << "old " << old << " alpha " << alpha;
  }
}

TEST(Blend, StaysInsideFrame) {
  auto g = testing::makeGraphics();
  fillFrame(*g, 0);
  blendRect(*g, 790, 595, 40, 40, 125, 255, 255, 255);
  const auto c = changedFrom(*g, 0);
  EXPECT_EQ(c.count, 10 * 5);
  EXPECT_EQ(c.left, 790);
  EXPECT_EQ(c.bottom, 599);
}

// Rules -------------------------------------------------------------------

TEST(Rules, UnlistedStylesDrawNothing) {
  auto g = testing::makeGraphics();
  for (int style : {0, 9, 10, -1, 255}) {
    fillFrame(*g, 0x010203);
    drawRule(*g, 300, 20, 750, style, 0.0);
    EXPECT_EQ(changedFrom(*g, 0x010203).count, 0) << "style " << style;
  }
}

TEST(Rules, SolidStyleCoversLengthOnThreeRows) {
  auto g = testing::makeGraphics();
  fillFrame(*g, 0);
  drawRule(*g, 300, 20, 750, 3, 0.0);
  const auto c = changedFrom(*g, 0);
  EXPECT_EQ(c.count, 750 * 3);
  EXPECT_EQ(c.left, 20);
  EXPECT_EQ(c.right, 769);
  EXPECT_EQ(c.top, 299);
  EXPECT_EQ(c.bottom, 301);
  // style 3: middle 0x00FF00, above and below 0x008800
  EXPECT_EQ(px(*g, 20, 300), 0x00FF00u);
  EXPECT_EQ(px(*g, 769, 299), 0x008800u);
  EXPECT_EQ(px(*g, 400, 301), 0x008800u);
}

TEST(Rules, SolidColoursPerStyle) {
  //  style  middle    outer
  const uint32_t table[8][2] = {{0, 0},
                                {0xFFFFFF, 0x888888},
                                {0xFF0000, 0x880000},
                                {0x00FF00, 0x008800},
                                {0x0000FF, 0x000088},
                                {0xFFFF00, 0x888800},
                                {0x00FFFF, 0x008888},
                                {0xFF00FF, 0x880088}};
  auto g = testing::makeGraphics();
  for (int style = 1; style <= 7; ++style) {
    drawRule(*g, 100, 0, 10, style, 0.0);
    EXPECT_EQ(px(*g, 5, 100), table[style][0]) << style;
    EXPECT_EQ(px(*g, 5, 99), table[style][1]) << style;
    EXPECT_EQ(px(*g, 5, 101), table[style][1]) << style;
  }
}

TEST(Rules, RainbowCoversOneMoreColumn) {
  auto g = testing::makeGraphics();
  fillFrame(*g, 0);
  drawRule(*g, 300, 20, 750, 8, 0.0);
  const auto c = changedFrom(*g, 0);
  EXPECT_EQ(c.count, 751 * 3);
  EXPECT_EQ(c.left, 20);
  EXPECT_EQ(c.right, 770);
}

TEST(Rules, RainbowColoursAtClockZero) {
  auto g = testing::makeGraphics();
  drawRule(*g, 300, 20, 750, 8, 0.0);
  EXPECT_EQ(px(*g, 20, 300), 0x7DE3CAu);  // 125, 227, 202
  EXPECT_EQ(px(*g, 20, 299), 0x417569u);  // 65, 117, 105
  EXPECT_EQ(px(*g, 20, 301), 0x417569u);
}

TEST(Rules, RainbowDriftsWithClock) {
  // Pixel k at clock T shows what pixel 0 shows at clock T + k.
  auto g = testing::makeGraphics();
  drawRule(*g, 300, 20, 100, 8, 37.0);
  const uint32_t middle = px(*g, 20 + 40, 300);
  const uint32_t outer = px(*g, 20 + 40, 301);
  drawRule(*g, 300, 20, 100, 8, 77.0);
  EXPECT_EQ(px(*g, 20, 300), middle);
  EXPECT_EQ(px(*g, 20, 301), outer);
  EXPECT_NE(px(*g, 21, 300), middle);
}

TEST(Rules, RainbowChannelsStayInRange) {
  // Middle row 1..249, outer rows 1..129, at any clock.
  auto g = testing::makeGraphics();
  for (double clock : {0.0, 123.25, 5000.5}) {
    drawRule(*g, 300, 0, 799, 8, clock);
    for (int x = 0; x < 800; ++x) {
      for (int shift : {0, 8, 16}) {
        const uint32_t m = px(*g, x, 300) >> shift & 0xFF;
        const uint32_t o = px(*g, x, 299) >> shift & 0xFF;
        ASSERT_GE(m, 1u);
        ASSERT_LE(m, 249u);
        ASSERT_GE(o, 1u);
        ASSERT_LE(o, 129u);
      }
    }
  }
}

// Skins -------------------------------------------------------------------

testing::SyntheticAssets skinAssets() {
  testing::SyntheticAssets a;
  // Grunge: entry i = (i, 0, 0); Carbon: entry i = (0, 0, i).
  for (int i = 0; i < 256; ++i) {
    a.grunge[static_cast<std::size_t>(3 * i)] = static_cast<uint8_t>(i);
    a.carbon[static_cast<std::size_t>(3 * i + 2)] = static_cast<uint8_t>(i);
  }
  // Index of pixel (x, y) = (x + 2y) mod 256 in both.
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < 800; ++x) {
      const auto v = static_cast<uint8_t>((x + 2 * y) & 0xFF);
      a.grunge[static_cast<std::size_t>(kPaletteBytes + y * 800 + x)] = v;
      a.carbon[static_cast<std::size_t>(kPaletteBytes + y * 800 + x)] = v;
    }
  }
  return a;
}

TEST(Skins, BackgroundsConvertPalettes) {
  auto g = testing::makeGraphics(skinAssets());
  buildSkinBackgrounds(*g);
  drawSkinBackground(*g, 1);
  EXPECT_EQ(px(*g, 0, 0), 0x000000u);
  EXPECT_EQ(px(*g, 3, 1), 5u << 16);
  EXPECT_EQ(px(*g, 799, 599), static_cast<uint32_t>((799 + 1198) & 0xFF) << 16);
  drawSkinBackground(*g, 2);
  EXPECT_EQ(px(*g, 3, 1), 5u);
  drawSkinBackground(*g, 7);  // any skin but 1 shows 'Carbon'
  EXPECT_EQ(px(*g, 3, 1), 5u);
  drawSkinBackground(*g, 0);
  EXPECT_EQ(px(*g, 10, 0), 10u);
}

TEST(Skins, CopyRectMovesOnlyTheRectangle) {
  auto g = testing::makeGraphics(skinAssets());
  copyRectToSkinBackgrounds(*g, 10, 20, 2, 1, 100, 200);  // 3 x 2 pixels
  drawSkinBackground(*g, 1);
  EXPECT_EQ(changedFrom(*g, 0).count, 6);
  EXPECT_EQ(px(*g, 100, 200), static_cast<uint32_t>(10 + 40) << 16);
  EXPECT_EQ(px(*g, 102, 201), static_cast<uint32_t>(12 + 42) << 16);
  drawSkinBackground(*g, 2);
  EXPECT_EQ(px(*g, 102, 201), static_cast<uint32_t>(12 + 42));
}

TEST(Skins, WrongSizedImageShowsBlack) {
  testing::SyntheticAssets a = skinAssets();
  a.grunge.resize(1000);  // an asset still being drawn
  a.carbon.clear();
  auto g = testing::makeGraphics(a);
  buildSkinBackgrounds(*g);
  drawSkinBackground(*g, 1);
  EXPECT_EQ(changedFrom(*g, 0).count, 0);
  drawSkinBackground(*g, 2);
  EXPECT_EQ(changedFrom(*g, 0).count, 0);
}

}  // namespace
}  // namespace render
