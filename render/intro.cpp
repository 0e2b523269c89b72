// Intro screen: colour stripes, copper bands, starfield, big letters and the
// sine-wave scroller with its mirrored reflection.
#include <algorithm>
#include <cmath>

#include "host/display_host.h"
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

bool bigGlyphPixel(const Graphics& g, int32_t glyph, int32_t r, int32_t j) {
  return (g.bigGlyphRows[static_cast<std::size_t>(glyph)][static_cast<std::size_t>(r)] >> j & 1u) != 0;
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
    for (int r = 0; r < kBigGlyphSize; ++r) {
      uint32_t bits = 0;
      for (int j = 0; j < kBigGlyphSize; ++j) {
        const uint32_t v = g.bigFontPixels[static_cast<std::size_t>(r * kBigFontWidth + c * kBigGlyphSize + j)];
        if (g.bigFontPalette[v & 0xFF] != 0) bits |= 1u << j;
      }
      g.bigGlyphRows[static_cast<std::size_t>(c)][static_cast<std::size_t>(r)] = bits;
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

void drawStripes(Graphics& g, int32_t bandHeight, host::DisplayHost& display, host::Clock& clock,
                 host::Random& random) {
  const int32_t height = std::max(bandHeight, 1);
  const double start = clock.now();
  while (clock.now() - start < 0.5) {
    for (int32_t y = 0; y < kFrameHeight; y += height) {
      const int32_t red = roundEven(255 * random.uniform());
      const int32_t green = roundEven(255 * random.uniform());
      const int32_t blue = roundEven(255 * random.uniform());
      for (int32_t row = y; row < std::min(y + height, kFrameHeight); ++row) fillRow(g, row, rgb(red, green, blue));
    }
    display.present(g.frame.data());
    clock.sleepMs(1);
  }
}

void setIntroPauseDeadline(Graphics& g, double timerValue) { g.intro.pauseDeadline = timerValue; }

// Copper band of step q: 16 rows rising to blue 16q, 16 rows falling to 0.
void drawCopperBand(Graphics& g, int32_t y, int32_t q) {
  for (int i = 0; i < kBandRows; ++i) fillRow(g, y + i, static_cast<uint32_t>(q * (i + 1)) & 0xFF);
  for (int i = 0; i < kBandRows; ++i) fillRow(g, y + kBandRows + i, static_cast<uint32_t>(q * (15 - i)) & 0xFF);
}

void drawCopperBands(Graphics& g, double introClock) {
  for (int k = 1; k <= 7; ++k) {
    const double p = std::sin((4 * k + introClock) * 3.14 / 90);
    drawCopperBand(g, roundEven(100 * p + 375), 2 * k);
    drawCopperBand(g, roundEven(-80 * p + 595), k);
  }
}

void computeIntroTables(Graphics& g, double introClock) {
  IntroState& in = g.intro;
  const double t = introClock;
  for (int x = 0; x < kWaveColumns; ++x) {
    const double c = std::floor((x + 1) / 2.0);  // two columns share one wave value
    const double slow = std::sin((c - 2.5 * t) * 1.5 * kWaveStep);
    const double fast = std::sin((c - 4 * t) * kWaveStep);
    in.yA[static_cast<std::size_t>(x)] = roundEven(100 * slow + 73 * fast + 310);
    in.yB[static_cast<std::size_t>(x)] = roundEven(592 - (30 * slow + 48 * fast));
  }
  const double q = 0.25 * kColourStep;
  for (int i = 0; i < kColourRows; ++i) {
    in.colA[static_cast<std::size_t>(i)] = rgb(roundEven(90 * std::sin(q * (i + t)) + 125),
                                               roundEven(90 * std::sin(q * (i + 20 + t)) + 125),
                                               roundEven(90 * std::sin(q * (i + 40 + t)) + 125));
    in.colB[static_cast<std::size_t>(i)] = rgb(roundEven(100 * std::sin(q * i) + 150),
                                               roundEven(100 * std::sin(q * (i + 50)) + 150),
                                               roundEven(100 * std::sin(q * (i + 100)) + 150));
    const double f = i <= kFadeStart ? 1.0 : std::max(0.0, 1 - 0.015 * (i - kFadeStart));
    in.colC[static_cast<std::size_t>(i)] =
        rgb(static_cast<int32_t>(std::floor((50 * std::sin(q * (-10 - i)) + 100) * f)),
            static_cast<int32_t>(std::floor((50 * std::sin(q * (-90 - i)) + 100) * f)),
            static_cast<int32_t>(std::floor((50 * std::sin(q * (-170 - i)) + 100) * f)));
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
    if (fx >= 5 && fx <= 795) {
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
    if (x > 800) x -= 800;
  }
}

void drawBigGlyph(Graphics& g, int32_t code, int32_t x, int32_t y, const std::array<uint32_t, kColourRows>& colours) {
  if (code < kFirstGlyph || code > kLastBigGlyph) return;
  const int32_t glyph = code - kFirstGlyph;
  const int32_t j0 = std::max(0, 1 - x);
  const int32_t j1 = std::min(kBigGlyphSize - 1, kFrameWidth - 1 - x);
  for (int pass = 0; pass < 3; ++pass) {
    for (int32_t j = j0; j <= j1; ++j) {
      for (int32_t r = 0; r < kBigGlyphSize; ++r) {
        if (!bigGlyphPixel(g, glyph, r, j)) continue;
        const int32_t u = x + j;
        if (pass == 0) setPixel(g, u + 1, y + r + 1, kShadow);
        else if (pass == 1) setPixel(g, u - 1, y + r - 1, kHighlight);
        else setPixel(g, u, y + r, colourAt(colours, y + r));
      }
    }
  }
}

void drawIntroLines(Graphics& g, const content::FixedTexts& texts) {
  for (int line = 1; line <= 9; ++line) {
    const std::string& text = texts.introLines[static_cast<std::size_t>(line)];
    const int32_t y = 60 + 33 * line;
    int32_t x = 400 - 16 * static_cast<int32_t>(text.size());
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
  const int32_t glyph = code - kFirstGlyph;
  const int32_t j0 = std::max(0, 1 - x);
  const int32_t j1 = std::min(kBigGlyphSize - 1, kFrameWidth - 2 - x);  // 0 < u < 799
  for (int pass = 0; pass < 6; ++pass) {
    for (int32_t j = j0; j <= j1; ++j) {
      const int32_t u = x + j;
      const int32_t a = in.yA[static_cast<std::size_t>(u)];
      const int32_t b = in.yB[static_cast<std::size_t>(u)];
      for (int32_t r = 0; r < kBigGlyphSize; ++r) {
        if (pass < 3) {
          // The reflection runs upside down along the lower wave.
          if (b + r >= kMirrorCut || !bigGlyphPixel(g, glyph, kBigGlyphSize - 1 - r, j)) continue;
          if (pass == 0) setPixel(g, u + 1, b + 1 + r, colourAt(in.colC, b + r + 20));
          else if (pass == 1) setPixel(g, u - 1, b - 1 + r, colourAt(in.colC, b + r - 20));
          else setPixel(g, u, b + r, colourAt(in.colC, b + r));
        } else {
          if (!bigGlyphPixel(g, glyph, r, j)) continue;
          if (pass == 3) setPixel(g, u + 1, a + 1 + r, kShadow);
          else if (pass == 4) setPixel(g, u - 1, a - 1 + r, kHighlight);
          else setPixel(g, u, a + r, colourAt(in.colB, a + r));
        }
      }
    }
  }
}

void drawIntroScroller(Graphics& g, const std::string& text, double frameStep, double now) {
  IntroState& in = g.intro;
  const int32_t length = static_cast<int32_t>(text.size());
  const double step = std::min(frameStep, kMaxScrollerStep);
  if (now > in.pauseDeadline) in.scrollerX -= step;
  if (in.scrollerX < -32) {
    in.scrollerPos += 1;
    if (in.scrollerPos >= 1 && in.scrollerPos <= length && text[static_cast<std::size_t>(in.scrollerPos - 1)] == 'a') {
      in.pauseDeadline = now + kPauseSeconds;
    }
    if (in.scrollerPos > length) in.scrollerPos = 1;
    in.scrollerX += 32;
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

void drawIntroFrame(Graphics& g, app::ViewState& view, const content::FixedTexts& texts, host::Clock& clock) {
  drawCopperBands(g, view.introClock);
  computeIntroTables(g, view.introClock);
  drawStarfield(g, view.introFrameStep);
  drawIntroLines(g, texts);
  drawIntroScroller(g, texts.introScroller, view.introFrameStep, clock.now());
}

void clearIntroFrame(Graphics& g) {
  fillRow(g, 0, 0);
  for (int r = 1; r <= 50; ++r) fillRow(g, r, static_cast<uint32_t>(150 - 3 * (r - 1)));
  for (int r = 51; r < kFrameHeight; ++r) fillRow(g, r, 0);
}

}  // namespace render
