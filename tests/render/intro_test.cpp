// Intro screen: tables, copper bands, stars, big letters, the wave scroller,
// the stripes and the clearing between frames.
#include <gtest/gtest.h>

#include <cmath>

#include <random>
#include <set>

#include "host/random.h"
#include "render_test_support.h"

namespace render {
namespace {
using testing::changedFrom;
using testing::fillFrame;
using testing::px;

constexpr uint32_t kGrey = 0x808080;

uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return r << 16 | g << 8 | b; }

// Tables ---------------------------------------------------------------------

TEST(IntroTables, WavesAtClockZero) {
  auto g = testing::makeGraphics();
  computeIntroTables(*g, 0.0);
  //  column  yA   yB     (two neighbouring columns share a value)
  //  0       310  592
  //  1, 2    312  591
  //  3, 4    314  590
  //  100     402  553
  const int rows[][3] = {{0, 310, 592}, {1, 312, 591}, {2, 312, 591}, {3, 314, 590}, {4, 314, 590}, {100, 402, 553}};
  for (const auto& r : rows) {
    EXPECT_EQ(g->intro.yA[static_cast<std::size_t>(r[0])], r[1]) << r[0];
    EXPECT_EQ(g->intro.yB[static_cast<std::size_t>(r[0])], r[2]) << r[0];
  }
  computeIntroTables(*g, 10.0);
  EXPECT_EQ(g->intro.yA[0], 253);
  EXPECT_EQ(g->intro.yB[0], 618);
}

TEST(IntroTables, Colours) {
  auto g = testing::makeGraphics();
  computeIntroTables(*g, 0.0);
  //  table  row  colour
  EXPECT_EQ(g->intro.colA[0], rgb(125, 170, 203));
  EXPECT_EQ(g->intro.colA[225], rgb(91, 137, 180));
  EXPECT_EQ(g->intro.colB[0], rgb(150, 247, 200));
  EXPECT_EQ(g->intro.colB[300], rgb(250, 175, 63));
  EXPECT_EQ(g->intro.colC[0], rgb(87, 64, 148));
  EXPECT_EQ(g->intro.colC[530], rgb(43, 108, 107));  // fading: factor 0.865
  EXPECT_EQ(g->intro.colC[587], rgb(0, 1, 0));
  EXPECT_EQ(g->intro.colC[588], 0u);  // black from here on
  EXPECT_EQ(g->intro.colC[630], 0u);
  // colA moves with the clock, colB and colC do not.
  const auto colB = g->intro.colB;
  const auto colC = g->intro.colC;
  computeIntroTables(*g, 10.0);
  EXPECT_EQ(g->intro.colB, colB);
  EXPECT_EQ(g->intro.colC, colC);
  auto h = testing::makeGraphics();
  computeIntroTables(*h, 0.0);
  EXPECT_EQ(g->intro.colA[0], h->intro.colA[10]);
}

// Copper bands and clearing ---------------------------------------------------

TEST(CopperBands, BandRisesAndFallsAndStopsAtLastRow) {
  auto g = testing::makeGraphics();
  fillFrame(*g, kGrey);
  drawCopperBand(*g, 580, 2);
  const auto c = changedFrom(*g, kGrey);
  EXPECT_EQ(c.top, 580);
  EXPECT_EQ(c.bottom, 599);
  EXPECT_EQ(c.count, 20 * 800);
  //  row  blue
  //  580  2      (step 1 of 16)
  //  595  32     (16 x 2)
  //  596  30     (15 x 2, falling)
  //  599  24
  EXPECT_EQ(px(*g, 0, 580), 2u);
  EXPECT_EQ(px(*g, 799, 595), 32u);
  EXPECT_EQ(px(*g, 400, 596), 30u);
  EXPECT_EQ(px(*g, 400, 599), 24u);
  fillFrame(*g, kGrey);
  drawCopperBand(*g, 100, 3);
  EXPECT_EQ(px(*g, 5, 131), 0u);  // last row of a band is 0
  EXPECT_EQ(px(*g, 5, 132), kGrey);
}

TEST(CopperBands, LaterBandsOverwriteEarlierOnes) {
  auto g = testing::makeGraphics();
  fillFrame(*g, kGrey);
  drawCopperBands(*g, 0.0);
  // T = 0: the last band is k = 7, step 7, at round(-80 sin(28 * 3.14 / 90) + 595) = 529.
  EXPECT_EQ(px(*g, 0, 529), 7u);
  EXPECT_EQ(px(*g, 0, 544), 112u);
  EXPECT_EQ(px(*g, 0, 560), 0u);
  // k = 7, step 14, at round(100 sin(0.9769) + 375) = 458: row 458 is 14.
  EXPECT_EQ(px(*g, 0, 458), 14u);
}

TEST(ClearIntro, BlueGradientOnTop) {
  auto g = testing::makeGraphics();
  fillFrame(*g, kGrey);
  clearIntroFrame(*g);
  //  row   pixel
  EXPECT_EQ(px(*g, 0, 0), 0u);
  EXPECT_EQ(px(*g, 0, 1), 150u);
  EXPECT_EQ(px(*g, 799, 2), 147u);
  EXPECT_EQ(px(*g, 400, 50), 3u);
  EXPECT_EQ(px(*g, 400, 51), 0u);
  EXPECT_EQ(changedFrom(*g, 0).count, 50 * 800);
}

// Starfield -------------------------------------------------------------------

TEST(Starfield, PlacedInsideItsBand) {
  auto g = testing::makeGraphics();
  host::Random random(99);
  initStarfield(*g, random);
  for (int i = 1; i <= kStarCount; ++i) {
    ASSERT_GE(g->intro.starX[static_cast<std::size_t>(i)], 0.0);
    ASSERT_LT(g->intro.starX[static_cast<std::size_t>(i)], 800.0);
    ASSERT_GE(g->intro.starY[static_cast<std::size_t>(i)], 22.0);
    ASSERT_LT(g->intro.starY[static_cast<std::size_t>(i)], 492.0);
  }
}

void parkStars(Graphics& g) {
  for (int i = 1; i <= kStarCount; ++i) {
    g.intro.starX[static_cast<std::size_t>(i)] = 0.0;  // px 0: not drawn
    g.intro.starY[static_cast<std::size_t>(i)] = 100.0;
  }
}

TEST(Starfield, DrawnOnlyBetweenColumnsFiveAnd795) {
  auto g = testing::makeGraphics();
  parkStars(*g);
  g->intro.starX[1] = 4.9;    // px 4: hidden
  g->intro.starX[2] = 795.9;  // px 795: drawn
  g->intro.starY[2] = 200.5;
  fillFrame(*g, kGrey);
  drawStarfield(*g, 0.0);
  const auto c = changedFrom(*g, kGrey);
  EXPECT_EQ(c.count, 12);
  // core on (795..796, 200..201), halo around it (layer 1 colours)
  EXPECT_EQ(px(*g, 795, 200), 0x222222u);
  EXPECT_EQ(px(*g, 796, 201), 0x222222u);
  EXPECT_EQ(px(*g, 794, 200), 0x111111u);
  EXPECT_EQ(px(*g, 797, 201), 0x111111u);
  EXPECT_EQ(px(*g, 795, 199), 0x111111u);
  EXPECT_EQ(px(*g, 796, 202), 0x111111u);
  EXPECT_EQ(px(*g, 794, 199), kGrey);  // no corners
}

// After a frame of any length every star is back in (0, 800], where one
// wrap of 800 would leave a star that moved further off the screen.
TEST(Starfield, AFrameOfAnyLengthWrapsEveryStarOnce) {
  auto g = testing::makeGraphics();
  parkStars(*g);
  g->intro.starX[1] = 10.0;   // layer 1: 0.6 per step
  g->intro.starX[201] = 5.0;  // layer 3: 1.8 per step
  // A day stopped: 250 steps a second.
  const double day = 250.0 * 86400.0;
  drawStarfield(*g, day);
  for (int i = 1; i <= kStarCount; ++i) {
    const double x = g->intro.starX[static_cast<std::size_t>(i)];
    ASSERT_GT(x, 0.0) << "star " << i;
    ASSERT_LE(x, 800.0) << "star " << i;
  }
  EXPECT_NEAR(g->intro.starX[1], std::fmod(10.0 + day * 0.6, 800.0), 1e-6);
  EXPECT_NEAR(g->intro.starX[201], std::fmod(5.0 + day * 1.8, 800.0), 1e-6);
}

TEST(Starfield, LayersMoveAndWrap) {
  auto g = testing::makeGraphics();
  parkStars(*g);
  g->intro.starX[1] = 10.0;
  g->intro.starX[150] = 10.0;
  g->intro.starX[300] = 10.0;
  g->intro.starX[2] = 799.5;
  drawStarfield(*g, 20.0);  // a slow frame: stars still move by the full step
  //  star  layer speed  new x
  //  1     0.6          22
  //  150   1.2          34
  //  300   1.8          46
  //  2     0.6          811.5 - 800 = 11.5
  EXPECT_DOUBLE_EQ(g->intro.starX[1], 22.0);
  EXPECT_DOUBLE_EQ(g->intro.starX[150], 34.0);
  EXPECT_DOUBLE_EQ(g->intro.starX[300], 46.0);
  EXPECT_DOUBLE_EQ(g->intro.starX[2], 11.5);
  // Drawn where they were before moving: the third layer's colours at 10.
  fillFrame(*g, kGrey);
  g->intro.starX[300] = 10.0;
  drawStarfield(*g, 0.0);
  EXPECT_EQ(px(*g, 10, 100), 0x999999u);
  EXPECT_EQ(px(*g, 9, 100), 0x444444u);
}

// Big glyphs ----------------------------------------------------------------------

TEST(BigGlyph, ShadowHighlightBodyInThreePasses) {
  testing::SyntheticAssets a;
  a.setBig('!', 0, 0);
  a.setBig('!', 1, 1);
  auto g = testing::makeGraphics(a);
  computeIntroTables(*g, 0.0);
  fillFrame(*g, kGrey);
  drawBigGlyph(*g, '!', 100, 200, g->intro.colA);
  //  pixel       pass that wins
  //  (99, 199)   highlight of (0, 0)
  //  (100, 200)  body of (0, 0) over the highlight of (1, 1)
  //  (101, 201)  body of (1, 1) over the shadow of (0, 0)
  //  (102, 202)  shadow of (1, 1)
  EXPECT_EQ(px(*g, 99, 199), 0xFFFFFFu);
  EXPECT_EQ(px(*g, 100, 200), g->intro.colA[200]);
  EXPECT_EQ(px(*g, 101, 201), g->intro.colA[201]);
  EXPECT_EQ(px(*g, 102, 202), 0x444444u);
  EXPECT_EQ(changedFrom(*g, kGrey).count, 4);
}

TEST(BigGlyph, OnlyColumnsInsideTheScreen) {
  testing::SyntheticAssets a;
  for (int r = 0; r < 32; ++r) {
    a.setBig('#', r, 5);
    a.setBig('#', r, 6);
  }
  auto g = testing::makeGraphics(a);
  computeIntroTables(*g, 0.0);
  fillFrame(*g, kGrey);
  drawBigGlyph(*g, '#', -5, 200, g->intro.colA);  // column 5 lands on 0: skipped
  EXPECT_EQ(px(*g, 1, 210), g->intro.colA[210]);
  EXPECT_EQ(px(*g, 0, 209), 0xFFFFFFu);  // highlight of column 6
  EXPECT_EQ(px(*g, 2, 211), 0x444444u);
  // Codes outside " ".."Z" draw nothing.
  fillFrame(*g, kGrey);
  drawBigGlyph(*g, '[', 100, 200, g->intro.colA);
  drawBigGlyph(*g, 31, 100, 200, g->intro.colA);
  EXPECT_EQ(changedFrom(*g, kGrey).count, 0);
}

TEST(IntroLines, CentredCapitalsSkippingOthers) {
  testing::SyntheticAssets a;
  a.setBig('A', 0, 0);
  a.setBig('B', 0, 0);
  auto g = testing::makeGraphics(a);
  computeIntroTables(*g, 0.0);
  content::FixedTexts texts;
  texts.introLines[5].assign("a[b");  // 3 characters: starts at 400 - 48 = 352
  fillFrame(*g, kGrey);
  drawIntroLines(*g, texts);
  // line 5 at y = 225; "A" at 352, "[" takes no space, "B" at 384
  EXPECT_EQ(px(*g, 352, 225), g->intro.colA[225]);
  EXPECT_EQ(px(*g, 384, 225), g->intro.colA[225]);
  EXPECT_EQ(changedFrom(*g, kGrey).count, 6);
}

// Wave scroller ---------------------------------------------------------------------

TEST(WaveGlyph, MirrorAndUprightFollowTheWaves) {
  testing::SyntheticAssets a;
  a.setBig('!', 0, 0);  // top-left pixel only
  auto g = testing::makeGraphics(a);
  computeIntroTables(*g, 0.0);
  fillFrame(*g, kGrey);
  drawWaveGlyph(*g, '!', 100);
  // column 100: yA 402, yB 553. Upright: body at 402, highlight (99, 401),
  // shadow (101, 403). Mirror (glyph row 0 at r = 31): in place (100, 584)
  // colC[584], offsets (101, 585) colC[604] and (99, 583) colC[564].
  EXPECT_EQ(px(*g, 100, 402), g->intro.colB[402]);
  EXPECT_EQ(px(*g, 99, 401), 0xFFFFFFu);
  EXPECT_EQ(px(*g, 101, 403), 0x444444u);
  EXPECT_EQ(px(*g, 100, 584), g->intro.colC[584]);
  EXPECT_EQ(px(*g, 101, 585), g->intro.colC[604]);
  EXPECT_EQ(px(*g, 99, 583), g->intro.colC[564]);
  EXPECT_EQ(changedFrom(*g, kGrey).count, 6);
}

TEST(WaveGlyph, MirrorCutAtRow597) {
  testing::SyntheticAssets a;
  for (int r = 0; r < 32; ++r) a.setBig('!', r, 0);
  auto g = testing::makeGraphics(a);
  computeIntroTables(*g, 0.0);
  fillFrame(*g, kGrey);
  drawWaveGlyph(*g, '!', 1);  // column 1: yB 591 -> mirror rows 591..597 only
  for (int y = 591; y <= 597; ++y) EXPECT_NE(px(*g, 1, y), kGrey) << y;
  EXPECT_EQ(px(*g, 1, 598), kGrey);
  EXPECT_EQ(px(*g, 1, 590), kGrey);
  EXPECT_EQ(px(*g, 2, 598), g->intro.colC[617]);  // the (+1, +1) copy reaches 598
  EXPECT_EQ(px(*g, 2, 599), kGrey);
  // Columns 0 and 799 are never drawn.
  fillFrame(*g, kGrey);
  drawWaveGlyph(*g, '!', 0);
  drawWaveGlyph(*g, '!', 799);
  EXPECT_EQ(changedFrom(*g, kGrey).count, 0);
}

struct ScrollerRig {
  std::unique_ptr<Graphics> g;
  ScrollerRig() {
    testing::SyntheticAssets a;
    for (int c = ' '; c <= 'Z'; ++c) a.setBig(c, 0, 0);  // every glyph: one pixel
    g = testing::makeGraphics(a);
    computeIntroTables(*g, 0.0);
  }
};

TEST(IntroScroller, StepCappedAtFive) {
  ScrollerRig rig;
  Graphics& g = *rig.g;
  drawIntroScroller(g, "BCDEF", 3.0, 1.0);
  EXPECT_DOUBLE_EQ(g.intro.scrollerX, -3.0);
  drawIntroScroller(g, "BCDEF", 40.0, 1.0);
  EXPECT_DOUBLE_EQ(g.intro.scrollerX, -8.0);
  // Standing while the timer has not passed the deadline.
  g.intro.pauseDeadline = 2.0;
  drawIntroScroller(g, "BCDEF", 3.0, 2.0);
  EXPECT_DOUBLE_EQ(g.intro.scrollerX, -8.0);
}

TEST(IntroScroller, PausesWhenMarkerBecomesFirst) {
  ScrollerRig rig;
  Graphics& g = *rig.g;
  const std::string text = "BaC";
  g.intro.scrollerX = -30.0;
  drawIntroScroller(g, text, 5.0, 10.0);  // -35: next character, "a": pause 4 s
  EXPECT_EQ(g.intro.scrollerPos, 2);
  EXPECT_DOUBLE_EQ(g.intro.scrollerX, -3.0);
  EXPECT_DOUBLE_EQ(g.intro.pauseDeadline, 14.0);
  drawIntroScroller(g, text, 5.0, 13.9);
  EXPECT_DOUBLE_EQ(g.intro.scrollerX, -3.0);
  drawIntroScroller(g, text, 5.0, 14.1);
  EXPECT_DOUBLE_EQ(g.intro.scrollerX, -8.0);
  // "A" is a letter, not a marker.
  ScrollerRig other;
  other.g->intro.scrollerX = -30.0;
  drawIntroScroller(*other.g, "BAC", 5.0, 10.0);
  EXPECT_DOUBLE_EQ(other.g->intro.pauseDeadline, 0.0);
}

TEST(IntroScroller, WrapsToFirstCharacter) {
  ScrollerRig rig;
  Graphics& g = *rig.g;
  g.intro.scrollerPos = 3;
  g.intro.scrollerX = -30.0;
  drawIntroScroller(g, "BCD", 5.0, 1.0);
  EXPECT_EQ(g.intro.scrollerPos, 1);
}

TEST(IntroScroller, MarkerShowsAsGapAndOthersSkip) {
  ScrollerRig rig;
  Graphics& g = *rig.g;
  g.intro.pauseDeadline = 100.0;  // stand still at x offset 0
  fillFrame(g, kGrey);
  drawIntroScroller(g, "aB[c", 5.0, 1.0);
  // Drawn: blank at 0 (nothing), "B" at 32, "[" skipped, "C" at 64. The one
  // glyph pixel (0, 0) of each lands at the wave rows of columns 32 and 64.
  EXPECT_EQ(px(g, 32, g.intro.yA[32]), g.intro.colB[static_cast<std::size_t>(g.intro.yA[32])]);
  EXPECT_EQ(px(g, 64, g.intro.yA[64]), g.intro.colB[static_cast<std::size_t>(g.intro.yA[64])]);
  // The gap is the glyph of code 32 (which has a pixel here too), drawn at
  // column 0, where nothing is drawn. The mirror copies of row 0 fall below
  // row 597 at these columns, so each letter shows its three upright pixels.
  EXPECT_EQ(changedFrom(g, kGrey).count, 2 * 3);
}

TEST(IntroScroller, ShowsAtMostTwentyEightCharacters) {
  ScrollerRig rig;
  Graphics& g = *rig.g;
  g.intro.pauseDeadline = 100.0;
  fillFrame(g, kGrey);
  // 20 skipped characters count towards the 28: only 8 letters are shown,
  // at x = 0, 32, ..., 224; the one at column 0 is not drawn.
  drawIntroScroller(g, std::string(20, '[') + std::string(20, 'B'), 5.0, 1.0);
  int drawn = 0;
  for (int x = 0; x < 800; x += 32) {
    if (px(g, x, g.intro.yA[static_cast<std::size_t>(x)]) != kGrey) ++drawn;
  }
  EXPECT_EQ(drawn, 7);
  EXPECT_EQ(px(g, 256, g.intro.yA[256]), kGrey);
}

// Stripes -------------------------------------------------------------------------

TEST(Stripes, OneFillOfRandomBands) {
  auto g = testing::makeGraphics();
  host::Random random(5);
  drawStripes(*g, 10, random);
  // Each band of 10 rows is one colour; 60 bands, not all alike.
  std::set<uint32_t> colours;
  for (int band = 0; band < 60; ++band) {
    const uint32_t c = px(*g, 0, band * 10);
    colours.insert(c);
    for (int y = band * 10; y < band * 10 + 10; ++y) ASSERT_EQ(px(*g, 799, y), c) << y;
  }
  EXPECT_GT(colours.size(), 50u);
  // Band height 2: 300 bands, three draws of the random source each.
  const uint32_t before = px(*g, 0, 0);
  drawStripes(*g, 2, random);
  EXPECT_NE(px(*g, 0, 0), before);
  EXPECT_EQ(px(*g, 400, 1), px(*g, 0, 0));
  EXPECT_NE(px(*g, 0, 2), px(*g, 0, 0));
  // A band height below 1 draws bands of one row.
  drawStripes(*g, 0, random);
  EXPECT_NE(px(*g, 0, 1), px(*g, 0, 0));
}

}  // namespace
}  // namespace render

namespace render {
namespace {

// The six passes pixel by pixel, straight from their description, as the
// yardstick for the drawing code's bit-mask loops.
void referenceWaveGlyph(Graphics& g, const std::vector<std::vector<bool>>& set, int x) {
  const IntroState& in = g.intro;
  auto put = [&](int px, int py, uint32_t c) {
    if (px >= 0 && px < 800 && py >= 0 && py < 600) g.frame[static_cast<std::size_t>(py * 800 + px)] = c;
  };
  for (int pass = 0; pass < 6; ++pass) {
    for (int j = 0; j < 32; ++j) {
      const int u = x + j;
      if (!(0 < u && u < 799)) continue;
      const int a = in.yA[static_cast<std::size_t>(u)];
      const int b = in.yB[static_cast<std::size_t>(u)];
      for (int r = 0; r < 32; ++r) {
        if (pass < 3) {
          if (!set[static_cast<std::size_t>(31 - r)][static_cast<std::size_t>(j)] || b + r >= 598) continue;
          if (pass == 0) put(u + 1, b + 1 + r, in.colC[static_cast<std::size_t>(b + r + 20)]);
          if (pass == 1) put(u - 1, b - 1 + r, in.colC[static_cast<std::size_t>(b + r - 20)]);
          if (pass == 2) put(u, b + r, in.colC[static_cast<std::size_t>(b + r)]);
        } else {
          if (!set[static_cast<std::size_t>(r)][static_cast<std::size_t>(j)]) continue;
          if (pass == 3) put(u + 1, a + 1 + r, 0x444444);
          if (pass == 4) put(u - 1, a - 1 + r, 0xFFFFFF);
          if (pass == 5) put(u, a + r, in.colB[static_cast<std::size_t>(a + r)]);
        }
      }
    }
  }
}

TEST(WaveGlyph, MatchesPixelByPixelPasses) {
  std::mt19937 rng(11);
  std::vector<std::vector<bool>> set(32, std::vector<bool>(32));
  testing::SyntheticAssets a;
  for (int r = 0; r < 32; ++r) {
    for (int j = 0; j < 32; ++j) {
      set[static_cast<std::size_t>(r)][static_cast<std::size_t>(j)] = rng() % 3 == 0;
      if (set[static_cast<std::size_t>(r)][static_cast<std::size_t>(j)]) a.setBig('Q', r, j);
    }
  }
  auto g = testing::makeGraphics(a);
  auto expected = testing::makeGraphics(a);
  for (double clock : {0.0, 3.5, 17.25}) {
    computeIntroTables(*g, clock);
    computeIntroTables(*expected, clock);
    for (int x : {-40, -20, 0, 1, 333, 770, 790, 799}) {
      fillFrame(*g, kGrey);
      fillFrame(*expected, kGrey);
      drawWaveGlyph(*g, 'Q', x);
      referenceWaveGlyph(*expected, set, x);
      ASSERT_TRUE(testing::regionMatches(*g, 0, 0, 800, 600,
                                         std::vector<uint32_t>(expected->frame.begin(), expected->frame.end()),
                                         "wave_glyph_x" + std::to_string(x)))
          << "clock " << clock << " x " << x;
    }
  }
}

}  // namespace
}  // namespace render
