// Intro screen: colour stripes, copper bands, starfield, big letters and the
// sine-wave scroller with its mirrored reflection.
#include <algorithm>
#include <bit>
#include <cmath>

#include "host/random.h"
#include "render/graphics.h"

namespace render {
namespace {

constexpr double kWaveStep = 0.00873055555555556;    // d: radians per wave column
constexpr double kColourStep = 0.104766666666667;   // s: radians per colour row
constexpr int kBandRows = 16;                        // each half of a copper band
constexpr int kStarTop = 22;
constexpr double kStarFieldHeight = 470.0;
constexpr uint32_t kShadow = 0x444444;
constexpr uint32_t kHighlight = 0xFFFFFF;
constexpr int kScrollerChars = 28;
constexpr double kPauseSeconds = 4.0;
constexpr double kMaxScrollerStep = 5.0;
constexpr int kMirrorCut = 598;  // mirror pixels only while yB + r < 598
constexpr int kFadeStart = 521;  // colC fades to black below this row

// Copper bands: seven pairs, one swinging around row 375 and one, half as
// blue and against it, around row 595.
constexpr int kCopperPairs = 7;
constexpr int kUpperBandCentre = 375;
constexpr int kUpperBandSwing = 100;
constexpr int kLowerBandCentre = 595;
constexpr int kLowerBandSwing = -80;
// The scroller's wave: its top row swings around 310 on a slow and a fast
// sine; the mirror's around 592, less and the other way.
constexpr int kWaveCentre = 310;
constexpr int kWaveSlowSwing = 100;
constexpr int kWaveFastSwing = 73;
constexpr int kMirrorCentre = 592;
constexpr int kMirrorSlowSwing = 30;
constexpr int kMirrorFastSwing = 48;
// colA channels: green runs kGreenLag rows after red, blue kBlueLag.
constexpr int kGreenLag = 20;
constexpr int kBlueLag = 40;
// Stars are drawn while their column is in kStarLeft..kStarRight.
constexpr int kStarLeft = 5;
constexpr int kStarRight = 795;
// Intro lines 1..9: centred on column 400, line n's top at 60 + 33 n.
constexpr int kIntroLinesTop = 60;
constexpr int kIntroLinePitch = 33;
constexpr int kIntroCentreX = kFrameWidth / 2;
// The cleared frame: row 0 black, rows 1..50 a blue fading by 3 a row from 150.
constexpr int kHeaderRows = 50;
constexpr int kHeaderBlue = 150;
constexpr int kHeaderFade = 3;

struct StarLayer {
  double speed;
  uint32_t core;
  uint32_t halo;
};
constexpr std::array<StarLayer, 3> kStarLayers = {{
    {0.6, 0x222222, 0x111111},
    {1.2, 0x444444, 0x222222},
    {1.8, 0x999999, 0x444444},
}};

uint32_t rgb(int32_t r, int32_t g, int32_t b) {
  return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
}

void setPixel(Graphics& g, int32_t x, int32_t y, uint32_t colour) {
  if (x < 0 || x >= kFrameWidth || y < 0 || y >= kFrameHeight) return;
  g.frame[static_cast<std::size_t>(y) * kFrameWidth + static_cast<std::size_t>(x)] = colour;
}

void fillRow(Graphics& g, int32_t y, uint32_t colour) {
  if (y < 0 || y >= kFrameHeight) return;
  uint32_t* row = g.frame.data() + static_cast<std::ptrdiff_t>(y) * kFrameWidth;
  std::fill(row, row + kFrameWidth, colour);
}

// Calls put(i) for every set bit i of `bits`, lowest first.
template <typename Put>
void forEachBit(uint32_t bits, Put put) {
  while (bits != 0) {
    put(static_cast<int32_t>(std::countr_zero(bits)));
    bits &= bits - 1;
  }
}

uint32_t reverseBits(uint32_t v) {
  v = (v >> 1 & 0x55555555u) | (v & 0x55555555u) << 1;
  v = (v >> 2 & 0x33333333u) | (v & 0x33333333u) << 2;
  v = (v >> 4 & 0x0F0F0F0Fu) | (v & 0x0F0F0F0Fu) << 4;
  v = (v >> 8 & 0x00FF00FFu) | (v & 0x00FF00FFu) << 8;
  return v >> 16 | v << 16;
}

// Bits 0..n-1 set (n clamped to 0..32).
uint32_t lowBits(int32_t n) {
  if (n <= 0) return 0;
  return n >= 32 ? 0xFFFFFFFFu : (1u << n) - 1u;
}

int32_t upper(uint8_t c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }

uint32_t colourAt(const std::array<uint32_t, kColourRows>& colours, int32_t row) {
  return row >= 0 && row < kColourRows ? colours[static_cast<std::size_t>(row)] : 0;
}

}  // namespace

void prepareBigFont(Graphics& g, std::span<const uint8_t> image) {
  // A font of the wrong size (an asset still to be drawn) is blank.
  const bool usable = image.size() == static_cast<std::size_t>(kBigFontBytes);
  const std::size_t pixels = static_cast<std::size_t>(kBigFontWidth) * kBigFontHeight;
  for (std::size_t i = 0; i < pixels; ++i) g.bigFontPixels[i] = usable ? image[i] : 0;
  for (int i = 0; i < 256; ++i) {
    g.bigFontPalette[static_cast<std::size_t>(i)] =
        usable ? rgb(image[pixels + 3 * i], image[pixels + 3 * i + 1], image[pixels + 3 * i + 2]) : 0;
  }
  // A glyph pixel is set where its palette colour is not black.
  for (int c = 0; c < kBigGlyphCount; ++c) {
    auto& rows = g.bigGlyphRows[static_cast<std::size_t>(c)];
    auto& columns = g.bigGlyphColumns[static_cast<std::size_t>(c)];
    rows.fill(0);
    columns.fill(0);
    for (int r = 0; r < kBigGlyphSize; ++r) {
      for (int j = 0; j < kBigGlyphSize; ++j) {
        const uint32_t v = g.bigFontPixels[static_cast<std::size_t>(r * kBigFontWidth + c * kBigGlyphSize + j)];
        if (g.bigFontPalette[v & 0xFF] == 0) continue;
        rows[static_cast<std::size_t>(r)] |= 1u << j;
        columns[static_cast<std::size_t>(j)] |= 1u << r;
      }
    }
  }
}

void initStarfield(Graphics& g, host::Random& random) {
  for (int i = 1; i <= kStarCount; ++i) {
    g.intro.starX[static_cast<std::size_t>(i)] = 800.0 * random.uniform();
    g.intro.starY[static_cast<std::size_t>(i)] = kStarFieldHeight * random.uniform() + kStarTop;
  }
  g.intro.scrollerPos = 1;
  g.intro.scrollerX = 0.0;
}

void drawStripes(Graphics& g, int32_t bandHeight, host::Random& random) {
  const int32_t height = std::max(bandHeight, 1);
  for (int32_t y = 0; y < kFrameHeight; y += height) {
    const int32_t red = roundEven(255 * random.uniform());
    const int32_t green = roundEven(255 * random.uniform());
    const int32_t blue = roundEven(255 * random.uniform());
    for (int32_t row = y; row < std::min(y + height, kFrameHeight); ++row) fillRow(g, row, rgb(red, green, blue));
  }
}

void setIntroPauseDeadline(Graphics& g, double timerValue) { g.intro.pauseDeadline = timerValue; }

namespace {

// Copper band of step q: 16 rows rising to blue 16q, 16 rows falling to 0.
// Rows at 600 and beyond are dropped.
using BandRows = std::array<int32_t, kFrameHeight>;  // blue per row, -1: untouched
void markBand(BandRows& rows, int32_t y, int32_t q) {
  for (int i = 0; i < 2 * kBandRows; ++i) {
    const int32_t row = y + i;
    if (row < 0 || row >= kFrameHeight) continue;
    const int32_t step = i < kBandRows ? i + 1 : 2 * kBandRows - 1 - i;
    rows[static_cast<std::size_t>(row)] = (q * step) & 0xFF;
  }
}
void fillBands(Graphics& g, const BandRows& rows) {
  for (int y = 0; y < kFrameHeight; ++y) {
    if (rows[static_cast<std::size_t>(y)] >= 0) fillRow(g, y, static_cast<uint32_t>(rows[static_cast<std::size_t>(y)]));
  }
}

}  // namespace

void drawCopperBand(Graphics& g, int32_t y, int32_t q) {
  BandRows rows;
  rows.fill(-1);
  markBand(rows, y, q);
  fillBands(g, rows);
}

// Later bands overwrite earlier ones; each row is filled once with its last value.
void drawCopperBands(Graphics& g, double introClock) {
  BandRows rows;
  rows.fill(-1);
  for (int k = 1; k <= kCopperPairs; ++k) {
    const double p = std::sin((4 * k + introClock) * 3.14 / 90);
    markBand(rows, roundEven(kUpperBandSwing * p + kUpperBandCentre), 2 * k);
    markBand(rows, roundEven(kLowerBandSwing * p + kLowerBandCentre), k);
  }
  fillBands(g, rows);
}

void computeIntroTables(Graphics& g, double introClock) {
  IntroState& in = g.intro;
  const double t = introClock;
  // Columns 2c - 1 and 2c share wave value c = floor((x + 1) / 2).
  for (int c = 0; c <= kWaveColumns / 2; ++c) {
    const double slow = std::sin((c - 2.5 * t) * 1.5 * kWaveStep);
    const double fast = std::sin((c - 4 * t) * kWaveStep);
    const int32_t upperRow = roundEven(kWaveSlowSwing * slow + kWaveFastSwing * fast + kWaveCentre);
    const int32_t lowerRow = roundEven(kMirrorCentre - (kMirrorSlowSwing * slow + kMirrorFastSwing * fast));
    for (int x = std::max(2 * c - 1, 0); x <= std::min(2 * c, kWaveColumns - 1); ++x) {
      in.yA[static_cast<std::size_t>(x)] = upperRow;
      in.yB[static_cast<std::size_t>(x)] = lowerRow;
    }
  }
  // colA: green is red kGreenLag rows on, blue red kBlueLag rows on, so one
  // run of sines over rows 0..670 serves all three channels.
  const double q = 0.25 * kColourStep;
  std::array<int32_t, kColourRows + kBlueLag> level{};
  for (int j = 0; j < kColourRows + kBlueLag; ++j) level[static_cast<std::size_t>(j)] = roundEven(90 * std::sin(q * (j + t)) + 125);
  for (int i = 0; i < kColourRows; ++i) {
    const auto at = static_cast<std::size_t>(i);
    in.colA[at] = rgb(level[at], level[at + kGreenLag], level[at + kBlueLag]);
  }
  // colB and colC do not move with the clock: made once.
  if (!in.fixedColoursReady) {
    for (int i = 0; i < kColourRows; ++i) {
      in.colB[static_cast<std::size_t>(i)] = rgb(roundEven(100 * std::sin(q * i) + 150),
                                                 roundEven(100 * std::sin(q * (i + 50)) + 150),
                                                 roundEven(100 * std::sin(q * (i + 100)) + 150));
      const double f = i <= kFadeStart ? 1.0 : std::max(0.0, 1 - 0.015 * (i - kFadeStart));
      in.colC[static_cast<std::size_t>(i)] =
          rgb(static_cast<int32_t>(std::floor((50 * std::sin(q * (-10 - i)) + 100) * f)),
              static_cast<int32_t>(std::floor((50 * std::sin(q * (-90 - i)) + 100) * f)),
              static_cast<int32_t>(std::floor((50 * std::sin(q * (-170 - i)) + 100) * f)));
    }
    in.fixedColoursReady = true;
  }
}

void drawStarfield(Graphics& g, double frameStep) {
  IntroState& in = g.intro;
  for (int i = 1; i <= kStarCount; ++i) {
    const StarLayer& layer = kStarLayers[static_cast<std::size_t>((i - 1) / 100)];
    double& x = in.starX[static_cast<std::size_t>(i)];
    const double fx = std::floor(x);
    const double fy = std::floor(in.starY[static_cast<std::size_t>(i)]);
    x += frameStep * layer.speed;
    if (fx >= kStarLeft && fx <= kStarRight) {
      const auto px = static_cast<int32_t>(fx);
      const auto py = static_cast<int32_t>(fy);
      setPixel(g, px, py, layer.core);
      setPixel(g, px + 1, py, layer.core);
      setPixel(g, px, py + 1, layer.core);
      setPixel(g, px + 1, py + 1, layer.core);
      setPixel(g, px - 1, py, layer.halo);
      setPixel(g, px - 1, py + 1, layer.halo);
      setPixel(g, px + 2, py, layer.halo);
      setPixel(g, px + 2, py + 1, layer.halo);
      setPixel(g, px, py - 1, layer.halo);
      setPixel(g, px + 1, py - 1, layer.halo);
      setPixel(g, px, py + 2, layer.halo);
      setPixel(g, px + 1, py + 2, layer.halo);
    }
    // Back into (0, 800] however far the star moved: after a very long frame
    // (a stopped process, a paused machine) it is still on the next one.
    if (x > 800) x -= 800.0 * std::ceil(x / 800.0 - 1.0);
  }
}

void drawBigGlyph(Graphics& g, int32_t code, int32_t x, int32_t y, const std::array<uint32_t, kColourRows>& colours) {
  if (code < kFirstGlyph || code > kLastBigGlyph) return;
  const auto& rows = g.bigGlyphRows[static_cast<std::size_t>(code - kFirstGlyph)];
  // Glyph columns j with 0 < x + j < 800. Within one pass every set pixel
  // lands on its own frame pixel, so only the order of the passes matters.
  const uint32_t visible = lowBits(kFrameWidth - x) & ~lowBits(1 - x);
  for (int32_t r = 0; r < kBigGlyphSize; ++r) {
    forEachBit(rows[static_cast<std::size_t>(r)] & visible, [&](int32_t j) { setPixel(g, x + j + 1, y + r + 1, kShadow); });
  }
  for (int32_t r = 0; r < kBigGlyphSize; ++r) {
    forEachBit(rows[static_cast<std::size_t>(r)] & visible, [&](int32_t j) { setPixel(g, x + j - 1, y + r - 1, kHighlight); });
  }
  for (int32_t r = 0; r < kBigGlyphSize; ++r) {
    const uint32_t body = colourAt(colours, y + r);
    forEachBit(rows[static_cast<std::size_t>(r)] & visible, [&](int32_t j) { setPixel(g, x + j, y + r, body); });
  }
}

void drawIntroLines(Graphics& g, const content::FixedTexts& texts) {
  for (int line = 1; line <= 9; ++line) {
    const std::string& text = texts.introLines[static_cast<std::size_t>(line)];
    const int32_t y = kIntroLinesTop + kIntroLinePitch * line;
    int32_t x = kIntroCentreX - kBigGlyphSize / 2 * static_cast<int32_t>(text.size());
    for (char ch : text) {
      const int32_t code = upper(static_cast<uint8_t>(ch));
      if (code < kFirstGlyph || code > kLastBigGlyph) continue;
      drawBigGlyph(g, code, x, y, g.intro.colA);
      x += kBigGlyphSize;
    }
  }
}

void drawWaveGlyph(Graphics& g, int32_t code, int32_t x) {
  if (code < kFirstGlyph || code > kLastBigGlyph) return;
  const IntroState& in = g.intro;
  const auto& columns = g.bigGlyphColumns[static_cast<std::size_t>(code - kFirstGlyph)];
  const int32_t j0 = std::max(0, 1 - x);
  const int32_t j1 = std::min(kBigGlyphSize - 1, kFrameWidth - 2 - x);  // 0 < u < 799
  // The reflection runs upside down along the lower wave: mirror row r shows
  // glyph row 31 - r, and only rows with yB + r < 598 are drawn.
  auto mirrored = [&](int32_t j, int32_t b) {
    return reverseBits(columns[static_cast<std::size_t>(j)]) & lowBits(kMirrorCut - b);
  };
  auto upright = [&](int32_t j) { return columns[static_cast<std::size_t>(j)]; };
  for (int pass = 0; pass < 6; ++pass) {
    for (int32_t j = j0; j <= j1; ++j) {
      const int32_t u = x + j;
      const int32_t a = in.yA[static_cast<std::size_t>(u)];
      const int32_t b = in.yB[static_cast<std::size_t>(u)];
      switch (pass) {
        case 0:
          forEachBit(mirrored(j, b), [&](int32_t r) { setPixel(g, u + 1, b + 1 + r, colourAt(in.colC, b + r + 20)); });
          break;
        case 1:
          forEachBit(mirrored(j, b), [&](int32_t r) { setPixel(g, u - 1, b - 1 + r, colourAt(in.colC, b + r - 20)); });
          break;
        case 2:
          forEachBit(mirrored(j, b), [&](int32_t r) { setPixel(g, u, b + r, colourAt(in.colC, b + r)); });
          break;
        case 3:
          forEachBit(upright(j), [&](int32_t r) { setPixel(g, u + 1, a + 1 + r, kShadow); });
          break;
        case 4:
          forEachBit(upright(j), [&](int32_t r) { setPixel(g, u - 1, a - 1 + r, kHighlight); });
          break;
        default:
          forEachBit(upright(j), [&](int32_t r) { setPixel(g, u, a + r, colourAt(in.colB, a + r)); });
          break;
      }
    }
  }
}

void drawIntroScroller(Graphics& g, const std::string& text, double frameStep, double now) {
  IntroState& in = g.intro;
  const int32_t length = static_cast<int32_t>(text.size());
  const double step = std::min(frameStep, kMaxScrollerStep);
  if (now > in.pauseDeadline) in.scrollerX -= step;
  if (in.scrollerX < -kBigGlyphSize) {
    in.scrollerPos += 1;
    if (in.scrollerPos >= 1 && in.scrollerPos <= length && text[static_cast<std::size_t>(in.scrollerPos - 1)] == 'a') {
      in.pauseDeadline = now + kPauseSeconds;
    }
    if (in.scrollerPos > length) in.scrollerPos = 1;
    in.scrollerX += kBigGlyphSize;
  }
  if (in.scrollerPos < 1 || in.scrollerPos > length) return;
  const int32_t left = static_cast<int32_t>(std::floor(in.scrollerX));
  int32_t m = 0;
  const int32_t last = std::min(length, in.scrollerPos + kScrollerChars - 1);
  for (int32_t p = in.scrollerPos; p <= last; ++p) {
    const uint8_t ch = static_cast<uint8_t>(text[static_cast<std::size_t>(p - 1)]);
    if (ch == 'a') {
      drawWaveGlyph(g, kFirstGlyph, left + kBigGlyphSize * m);  // a pause marker shows as a gap
      ++m;
      continue;
    }
    const int32_t code = upper(ch);
    if (code < kFirstGlyph || code > kLastBigGlyph) continue;
    drawWaveGlyph(g, code, left + kBigGlyphSize * m);
    ++m;
  }
}

void drawIntroFrame(Graphics& g, double introClock, double frameStep, const content::FixedTexts& texts, double now) {
  drawCopperBands(g, introClock);
  computeIntroTables(g, introClock);
  drawStarfield(g, frameStep);
  drawIntroLines(g, texts);
  drawIntroScroller(g, texts.introScroller, frameStep, now);
}

void clearIntroFrame(Graphics& g) {
  fillRow(g, 0, 0);
  for (int r = 1; r <= kHeaderRows; ++r) fillRow(g, r, static_cast<uint32_t>(kHeaderBlue - kHeaderFade * (r - 1)));
  for (int r = kHeaderRows + 1; r < kFrameHeight; ++r) fillRow(g, r, 0);
}

}  // namespace render
