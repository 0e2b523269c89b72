// The frame on screens of other sizes: the fitted rectangle, the pointer
// mapped back (first and last pixel, bars, far outside), the scale taps, the
// scaler against a per-pixel reference in every display format (odd sizes,
// 640 x 480, 3840 x 2160, unaligned areas), bars left untouched, and edges
// that stay crisp. Also the button latch that keeps quick clicks.
#include "host/common/frame_scaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "host/common/button_latch.h"

namespace host {
namespace {

constexpr int32_t kW = 800, kH = 600;

void expectRect(const ScreenRect& r, int32_t x, int32_t y, int32_t w, int32_t h) {
  EXPECT_EQ(r.x, x);
  EXPECT_EQ(r.y, y);
  EXPECT_EQ(r.width, w);
  EXPECT_EQ(r.height, h);
}

TEST(FitFrame, KeepsTheShapeCentredOnEveryScreen) {
  expectRect(fitFrame(800, 600, kW, kH), 0, 0, 800, 600);
  expectRect(fitFrame(1920, 1080, kW, kH), 240, 0, 1440, 1080);
  expectRect(fitFrame(1280, 1024, kW, kH), 0, 32, 1280, 960);  // 5:4: bars above and below
  expectRect(fitFrame(1024, 768, kW, kH), 0, 0, 1024, 768);
  expectRect(fitFrame(640, 480, kW, kH), 0, 0, 640, 480);
  expectRect(fitFrame(3840, 2160, kW, kH), 480, 0, 2880, 2160);
  expectRect(fitFrame(1366, 768, kW, kH), 171, 0, 1024, 768);  // odd bar split
  expectRect(fitFrame(1081, 1081, kW, kH), 0, 135, 1081, 811);
  expectRect(fitFrame(1, 1, kW, kH), 0, 0, 1, 1);
  expectRect(fitFrame(0, 600, kW, kH), 0, 0, 0, 0);
  expectRect(fitFrame(800, -1, kW, kH), 0, 0, 0, 0);
}

TEST(ScreenToFrame, MapsFirstAndLastPixelsAndClampsOutside) {
  const ScreenRect wide = fitFrame(1920, 1080, kW, kH);
  auto at = [&](const ScreenRect& r, int32_t x, int32_t y) { return screenToFrame(r, kW, kH, x, y); };
  EXPECT_EQ(at(wide, 240, 0).x, 0);
  EXPECT_EQ(at(wide, 240, 0).y, 0);
  EXPECT_EQ(at(wide, 1679, 1079).x, 799);
  EXPECT_EQ(at(wide, 1679, 1079).y, 599);
  EXPECT_EQ(at(wide, 239, 540).x, 0);    // left bar: the frame's left edge
  EXPECT_EQ(at(wide, 0, 540).x, 0);
  EXPECT_EQ(at(wide, 1680, 540).x, 799);  // right bar: the right edge
  EXPECT_EQ(at(wide, 1919, 540).x, 799);
  EXPECT_EQ(at(wide, 960, 540).x, 400);
  EXPECT_EQ(at(wide, 960, 540).y, 300);
  EXPECT_EQ(at(wide, -70000, -5).x, 0);
  EXPECT_EQ(at(wide, -70000, -5).y, 0);
  EXPECT_EQ(at(wide, 70000, 70000).x, 799);
  EXPECT_EQ(at(wide, 70000, 70000).y, 599);

  const ScreenRect tall = fitFrame(1280, 1024, kW, kH);  // 1280 x 960 from y = 32
  EXPECT_EQ(at(tall, 0, 31).y, 0);
  EXPECT_EQ(at(tall, 0, 32).y, 0);
  EXPECT_EQ(at(tall, 0, 991).y, 599);
  EXPECT_EQ(at(tall, 0, 1023).y, 599);

  const ScreenRect small = fitFrame(640, 480, kW, kH);  // shrinking
  EXPECT_EQ(at(small, 0, 0).x, 0);
  EXPECT_EQ(at(small, 639, 479).x, 799);
  EXPECT_EQ(at(small, 639, 479).y, 599);

  const ScreenRect same = fitFrame(800, 600, kW, kH);  // 1:1 is the identity
  for (int32_t x : {0, 1, 399, 798, 799}) EXPECT_EQ(at(same, x, x % 600).x, x);
}

TEST(ScreenToFrame, EnlargedEveryFramePixelIsReachedInOrder) {
  for (int32_t width : {801, 1024, 1440, 2880, 3000}) {
    const ScreenRect r{0, 0, width, width * 3 / 4};
    int32_t last = -1;
    for (int32_t x = 0; x < width; ++x) {
      const int32_t fx = screenToFrame(r, kW, kH, x, 0).x;
      ASSERT_TRUE(fx == last || fx == last + 1) << "width " << width << " x " << x;
      last = fx;
    }
    EXPECT_EQ(last, kW - 1) << width;
  }
}

TEST(ScaleTaps, WholeFactorsAreNearestNeighbourAndSharesAddUp) {
  for (const ScaleTap& t : scaleTaps(800, 800)) EXPECT_EQ(t.weight, 0);
  const std::vector<ScaleTap> same = scaleTaps(800, 800);
  for (int32_t x = 0; x < 800; ++x) EXPECT_EQ(same[static_cast<std::size_t>(x)].first, x);
  const std::vector<ScaleTap> triple = scaleTaps(600, 1800);
  for (int32_t x = 0; x < 1800; ++x) {
    EXPECT_EQ(triple[static_cast<std::size_t>(x)].first, x / 3);
    EXPECT_EQ(triple[static_cast<std::size_t>(x)].weight, 0);
  }

  // Enlarging by 1.8: each frame pixel's share of the screen is 1.8 pixels,
  // and at most one screen pixel per frame pixel mixes two of them.
  for (auto [n, m] : {std::pair{800, 1440}, std::pair{600, 1080}, std::pair{7, 13}, std::pair{800, 2880}}) {
    const std::vector<ScaleTap> taps = scaleTaps(n, m);
    ASSERT_EQ(static_cast<int32_t>(taps.size()), m);
    std::vector<double> share(static_cast<std::size_t>(n), 0.0);
    int32_t mixed = 0;
    for (const ScaleTap& t : taps) {
      ASSERT_GE(t.first, 0);
      ASSERT_LT(t.first + (t.weight != 0 ? 1 : 0), n);
      ASSERT_GE(t.weight, 0);
      ASSERT_LT(t.weight, kMixOne);
      share[static_cast<std::size_t>(t.first)] += (kMixOne - t.weight) / 64.0;
      if (t.weight != 0) share[static_cast<std::size_t>(t.first) + 1] += t.weight / 64.0, ++mixed;
    }
    EXPECT_LE(mixed, n - 1) << n << " -> " << m;
    for (double s : share) EXPECT_NEAR(s, static_cast<double>(m) / n, 0.02) << n << " -> " << m;
    EXPECT_EQ(taps.front().first, 0);
    EXPECT_EQ(taps.front().weight, 0);
    EXPECT_EQ(taps.back().first, n - 1);
    EXPECT_EQ(taps.back().weight, 0);
  }

  // Shrinking to 640: linear between the pixels around each centre.
  const std::vector<ScaleTap> down = scaleTaps(800, 640);
  EXPECT_EQ(down.front().first, 0);
  EXPECT_EQ(down.front().weight, 8);  // centre 0.125 past pixel 0
  EXPECT_EQ(down.back().first, 798);
  EXPECT_EQ(down.back().weight, 56);
  EXPECT_TRUE(scaleTaps(0, 10).empty());
}

// Every screen column's taps for 800 -> 1440 and 800 -> 640, against tables
// worked out by hand. Both scales repeat: 1440 / 800 = 9 / 5, so screen
// columns 9p .. 9p + 8 show frame columns 5p .. 5p + 4; 640 / 800 = 4 / 5.
//
// Enlarging, screen column x covers the frame interval [5x / 9, 5(x + 1) / 9),
// 5 / 9 of a frame pixel. Where it straddles a border, the weight is the
// second pixel's share of it, rounded to 64ths: column 1 covers
// [0.556, 1.111), pixel 1 has 0.111 / 0.556 = 0.2 of it, 64 x 0.2 = 12.8,
// weight 13; columns 3, 5 and 7 give 0.4, 0.6, 0.8: 25.6, 38.4, 51.2, weights
// 26, 38, 51.
//
// Shrinking, screen column x's centre lies at (x + 0.5) x 5 / 4 - 0.5 in the
// frame: 0.125, 1.375, 2.625, 3.875 for x = 0..3, the first source and the
// second's weight 64 x 0.125 = 8, 24, 40, 56.
TEST(ScaleTaps, EveryColumnOf800To1440And800To640IsTheHandWorkedTable) {
  struct Case {
    int32_t screen;
    int32_t screenPeriod, framePeriod;
    std::vector<ScaleTap> period;  // the taps of the first screenPeriod columns
  };
  const Case cases[] = {
      {1440, 9, 5, {{0, 0}, {0, 13}, {1, 0}, {1, 26}, {2, 0}, {2, 38}, {3, 0}, {3, 51}, {4, 0}}},
      {640, 4, 5, {{0, 8}, {1, 24}, {2, 40}, {3, 56}}},
  };
  for (const Case& c : cases) {
    const std::vector<ScaleTap> taps = scaleTaps(800, c.screen);
    ASSERT_EQ(static_cast<int32_t>(taps.size()), c.screen);
    for (int32_t x = 0; x < c.screen; ++x) {
      const ScaleTap& want = c.period[static_cast<std::size_t>(x % c.screenPeriod)];
      const ScaleTap& got = taps[static_cast<std::size_t>(x)];
      const int32_t shift = (x / c.screenPeriod) * c.framePeriod;
      EXPECT_EQ(got.first, want.first + shift) << "800 -> " << c.screen << ", column " << x;
      EXPECT_EQ(got.weight, want.weight) << "800 -> " << c.screen << ", column " << x;
    }
  }
}

TEST(MixPixels, IsTheRoundedLinearStepPerChannel) {
  std::mt19937 rng(12);
  for (int i = 0; i < 20000; ++i) {
    const uint32_t a = rng(), b = rng();
    const int32_t w = static_cast<int32_t>(rng() % 65);
    uint32_t expected = 0;
    for (int shift : {0, 8, 16}) {
      const int32_t ca = static_cast<int32_t>((a >> shift) & 0xFF), cb = static_cast<int32_t>((b >> shift) & 0xFF);
      const int32_t c = static_cast<int32_t>(std::floor((ca * (64 - w) + cb * w) / 64.0 + 0.5));
      expected |= static_cast<uint32_t>(c) << shift;
    }
    ASSERT_EQ(mixPixels(a, b, w), expected) << std::hex << a << " " << b << " w " << std::dec << w;
  }
  EXPECT_EQ(mixPixels(0x00FFFFFF, 0, 0), 0x00FFFFFFu);
  EXPECT_EQ(mixPixels(0x00FFFFFF, 0, 64), 0u);
  EXPECT_EQ(mixPixels(0xFF000000, 0xFF000000, 32), 0u);  // the top byte is dropped
}

std::vector<uint32_t> randomFrame(int32_t w, int32_t h, uint32_t seed) {
  std::vector<uint32_t> f(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  std::mt19937 rng(seed);
  for (uint32_t& p : f) p = rng() & 0x00FFFFFF;
  return f;
}

// What each screen pixel must be: the row mix of the two column mixes.
std::vector<uint32_t> referenceScale(const std::vector<uint32_t>& f, int32_t fw, int32_t fh, int32_t w, int32_t h) {
  const std::vector<ScaleTap> cols = scaleTaps(fw, w), rows = scaleTaps(fh, h);
  auto widened = [&](int32_t r, int32_t x) {
    const ScaleTap& c = cols[static_cast<std::size_t>(x)];
    const uint32_t* row = f.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(fw);
    return mixPixels(row[c.first], row[c.first + (c.weight != 0 ? 1 : 0)], c.weight);
  };
  std::vector<uint32_t> out(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int32_t y = 0; y < h; ++y) {
    const ScaleTap& r = rows[static_cast<std::size_t>(y)];
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t a = widened(r.first, x);
      out[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
          r.weight == 0 ? a : mixPixels(a, widened(r.first + 1, x), r.weight);
    }
  }
  return out;
}

TEST(FrameScaler, MatchesTheReferenceInEveryFormatAndLeavesTheBars) {
  struct Case {
    int32_t frameW, frameH, screenW, screenH;
  };
  const Case cases[] = {{kW, kH, 1920, 1080}, {kW, kH, 1280, 1024}, {kW, kH, 640, 480}, {kW, kH, 1366, 767},
                        {kW, kH, 3840, 2160}, {kW, kH, 801, 601},  {7, 5, 23, 11},     {1, 1, 5, 4},
                        {3, 2, 2, 1}};
  for (const Case& c : cases) {
    const std::vector<uint32_t> frame = randomFrame(c.frameW, c.frameH, static_cast<uint32_t>(c.screenW));
    const ScreenRect area = fitFrame(c.screenW, c.screenH, c.frameW, c.frameH);
    const std::vector<uint32_t> expected = referenceScale(frame, c.frameW, c.frameH, area.width, area.height);
    const bool big = c.screenW >= 3840;
    for (int f = 0; f < kPixelConverterCount * 2; ++f) {
      // Every format on the widest vector path the processor has, the plain
      // and 5-6-5 formats also on the narrower one; 4K once per depth.
      const bool narrow = f >= kPixelConverterCount;
      if (narrow && f != kPixelConverterCount && f != kPixelConverterCount + 4) continue;
      if (big && (f % 2 == 1 || narrow)) continue;
      const PixelConverterEntry& e = pixelConverterTable()[f % kPixelConverterCount];
      // One spare byte per row and an odd start: surface rows need not be aligned.
      const std::size_t pitch = static_cast<std::size_t>(c.screenW) * static_cast<std::size_t>(e.bytesPerPixel) + 3;
      std::vector<uint8_t> surface(pitch * static_cast<std::size_t>(c.screenH) + 1, 0xAB);
      FrameScaler scaler;
      scaler.allowAvx2(!narrow);
      ASSERT_TRUE(scaler.configure(c.frameW, c.frameH, area, e.convert, e.bytesPerPixel));
      scaler.scale(frame.data(), surface.data() + 1, pitch);
      scaler.scale(frame.data(), surface.data() + 1, pitch);  // a second frame reuses nothing stale

      std::vector<uint8_t> want(static_cast<std::size_t>(e.bytesPerPixel));
      for (int32_t y = 0; y < c.screenH; ++y) {
        for (int32_t x = 0; x < c.screenW; ++x) {
          const uint8_t* got = surface.data() + 1 + static_cast<std::size_t>(y) * pitch +
                               static_cast<std::size_t>(x) * static_cast<std::size_t>(e.bytesPerPixel);
          const bool inside = x >= area.x && x < area.x + area.width && y >= area.y && y < area.y + area.height;
          if (!inside) {
            for (int k = 0; k < e.bytesPerPixel; ++k) ASSERT_EQ(got[k], 0xAB) << e.name << " bar " << x << "," << y;
            continue;
          }
          const uint32_t p = expected[static_cast<std::size_t>(y - area.y) * static_cast<std::size_t>(area.width) +
                                      static_cast<std::size_t>(x - area.x)];
          e.convert(&p, want.data(), 1);
          ASSERT_EQ(std::memcmp(got, want.data(), want.size()), 0)
              << e.name << (narrow ? " narrow" : "") << " " << c.screenW << "x" << c.screenH << " at " << x << ","
              << y;
        }
      }
    }
  }
}

TEST(FrameScaler, OneToOneIsThePlainConversion) {
  const std::vector<uint32_t> frame = randomFrame(kW, kH, 5);
  std::vector<uint32_t> withTop = frame;
  withTop[0] = 0xFF123456;  // the plain copy keeps the top byte
  std::vector<uint8_t> surface(static_cast<std::size_t>(kW) * 4 * kH);
  FrameScaler scaler;
  ASSERT_TRUE(scaler.configure(kW, kH, fitFrame(kW, kH, kW, kH), &convertCopy32, 4));
  scaler.scale(withTop.data(), surface.data(), static_cast<std::size_t>(kW) * 4);
  EXPECT_EQ(std::memcmp(surface.data(), withTop.data(), surface.size()), 0);
}

TEST(FrameScaler, AKeptSurfaceGetsOnlyTheChangedRowsAndEndsAsAFullScale) {
  // Frames that change a few rows (the first, the last, rows either side of
  // a mixed screen row, a block), one that changes nothing and one that
  // changes everything: after each, a kept surface must equal a full scale
  // of the same frame, and rows of unchanged frame rows must not be written
  // (a marker planted there stays). A second surface in turn, or a surface
  // not kept, gets every row.
  struct Case {
    int32_t screenW, screenH;
    PixelConverter convert;
    int32_t bytes;
  };
  const Case cases[] = {{1920, 1080, &convertCopy32, 4}, {kW, kH, &convertCopy32, 4}, {640, 480, &convertRgb24, 3},
                        {1366, 767, &convert565, 2}};
  for (const Case& c : cases) {
    const ScreenRect area = fitFrame(c.screenW, c.screenH, kW, kH);
    const std::size_t pitch = static_cast<std::size_t>(c.screenW) * static_cast<std::size_t>(c.bytes);
    const std::size_t size = pitch * static_cast<std::size_t>(c.screenH);
    std::vector<uint8_t> kept(size, 0), other(size, 0), full(size, 0);
    FrameScaler scaler, reference;
    ASSERT_TRUE(scaler.configure(kW, kH, area, c.convert, c.bytes));
    ASSERT_TRUE(reference.configure(kW, kH, area, c.convert, c.bytes));
    const std::vector<ScaleTap> rows = scaleTaps(kH, area.height);
    std::vector<uint32_t> frame = randomFrame(kW, kH, 77);
    std::mt19937 rng(3);
    const std::vector<std::vector<int32_t>> changes = {
        {}, {0}, {kH - 1}, {300}, {1, 2, 3, 57, 58, 121}, {}, {400, 401, 402, 403, 404, 405, 406, 407}};
    for (std::size_t step = 0; step <= changes.size() + 1; ++step) {
      std::vector<int32_t> changed;
      if (step < changes.size()) {
        changed = changes[step];
      } else {
        for (int32_t r = 0; r < kH; ++r) changed.push_back(r);  // everything, then a second surface
      }
      for (int32_t r : changed) frame[static_cast<std::size_t>(r) * kW + rng() % kW] ^= 0x00808080;
      // Markers on the screen rows whose frame rows stay as they were.
      std::vector<bool> untouched(static_cast<std::size_t>(area.height), false);
      if (step > 0 && step <= changes.size()) {
        for (int32_t y = 0; y < area.height; ++y) {
          const ScaleTap& t = rows[static_cast<std::size_t>(y)];
          auto hit = [&](int32_t r) { return std::find(changed.begin(), changed.end(), r) != changed.end(); };
          if (hit(t.first) || (t.weight != 0 && hit(t.first + 1))) continue;
          untouched[static_cast<std::size_t>(y)] = true;
          kept[static_cast<std::size_t>(area.y + y) * pitch + static_cast<std::size_t>(area.x) * c.bytes] ^= 0x5A;
        }
      }
      uint8_t* target = step == changes.size() + 1 ? other.data() : kept.data();
      scaler.scale(frame.data(), target, pitch, true);
      reference.scale(frame.data(), full.data(), pitch);
      for (int32_t y = 0; y < area.height; ++y) {
        const std::size_t row = static_cast<std::size_t>(area.y + y) * pitch;
        const bool same = std::memcmp(target + row, full.data() + row, pitch) == 0;
        if (untouched[static_cast<std::size_t>(y)]) {
          ASSERT_FALSE(same) << c.screenW << "x" << c.screenH << " step " << step << " row " << y << " was rewritten";
          target[row + static_cast<std::size_t>(area.x) * c.bytes] ^= 0x5A;  // the marker off again
        }
        ASSERT_EQ(std::memcmp(target + row, full.data() + row, pitch), 0)
            << c.screenW << "x" << c.screenH << " step " << step << " row " << y;
      }
    }
    // Not kept: every row again, whatever changed.
    std::fill(kept.begin(), kept.end(), uint8_t{0});
    scaler.scale(frame.data(), kept.data(), pitch, false);
    EXPECT_EQ(std::memcmp(kept.data(), full.data(), size), 0) << c.screenW << "x" << c.screenH;
  }
}

TEST(FrameScaler, EdgesStayCrispAtEveryFactor) {
  // Two-pixel black and white stripes (text at its finest): each
  // colour change on screen may spend one mixed pixel and no more.
  std::vector<uint32_t> frame(static_cast<std::size_t>(kW) * kH);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x)
      frame[static_cast<std::size_t>(y) * kW + static_cast<std::size_t>(x)] = ((x / 2) % 2) ? 0xFFFFFF : 0;
  for (auto [sw, sh] : {std::pair{1920, 1080}, std::pair{1280, 1024}, std::pair{1024, 768}, std::pair{3840, 2160}}) {
    const ScreenRect area = fitFrame(sw, sh, kW, kH);
    std::vector<uint8_t> surface(static_cast<std::size_t>(sw) * 4 * static_cast<std::size_t>(sh));
    FrameScaler scaler;
    ASSERT_TRUE(scaler.configure(kW, kH, area, &convertCopy32, 4));
    scaler.scale(frame.data(), surface.data(), static_cast<std::size_t>(sw) * 4);
    // Along a row in the middle: the colour changes 399 times.
    const int32_t y = area.y + area.height / 2;
    int32_t grey = 0;
    for (int32_t x = area.x; x < area.x + area.width; ++x) {
      uint32_t p;
      std::memcpy(&p, surface.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(sw) + static_cast<std::size_t>(x)) * 4, 4);
      if (p != 0 && p != 0xFFFFFF) ++grey;
    }
    EXPECT_LE(grey, 399) << sw << "x" << sh;
    EXPECT_GT(area.width - grey, area.width / 2) << sw << "x" << sh;  // most pixels are pure
  }
}

TEST(FrameScaler, RefusesEmptySizesAndMissingConverters) {
  FrameScaler scaler;
  EXPECT_FALSE(scaler.configure(kW, kH, {0, 0, 0, 10}, &convertCopy32, 4));
  EXPECT_FALSE(scaler.configure(0, kH, {0, 0, 10, 10}, &convertCopy32, 4));
  EXPECT_FALSE(scaler.configure(kW, kH, {0, 0, 10, 10}, nullptr, 4));
  EXPECT_FALSE(scaler.configured());
  uint8_t untouched = 7;
  scaler.scale(nullptr, &untouched, 1);
  EXPECT_EQ(untouched, 7);
}

TEST(ButtonLatch, AQuickClickIsOnePressForOnePoll) {
  ButtonLatch b;
  EXPECT_EQ(b.state(), 0);
  // Press and release within one pump.
  b.beginPoll();
  b.press();
  b.release();
  EXPECT_EQ(b.state(), 1);
  EXPECT_EQ(b.state(), 1);  // every read during that poll agrees
  b.beginPoll();
  EXPECT_EQ(b.state(), 0);

  // Held across polls, then released.
  b.beginPoll();
  b.press();
  b.beginPoll();
  EXPECT_EQ(b.state(), 1);
  b.beginPoll();
  b.release();
  EXPECT_EQ(b.state(), 0);

  // Release and press again within one poll: down, and down after it.
  b.beginPoll();
  b.press();
  b.beginPoll();
  b.release();
  b.press();
  EXPECT_EQ(b.state(), 1);
  b.beginPoll();
  EXPECT_EQ(b.state(), 1);
}

}  // namespace
}  // namespace host
