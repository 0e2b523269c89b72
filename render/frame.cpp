// Frame buffer, skin backgrounds, the blend and the rules.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/graphics.h"

namespace render {
namespace {

constexpr int kRuleStyles = 8;
constexpr uint32_t kRainbowStyle = 8;

struct RuleColours {
  uint32_t middle;
  uint32_t outer;
};
// Styles 1..7: bright middle row, dark rows above and below.
constexpr std::array<RuleColours, kRuleStyles> kSolidRules = {{
    {0, 0},
    {0xFFFFFF, 0x888888},
    {0xFF0000, 0x880000},
    {0x00FF00, 0x008800},
    {0x0000FF, 0x000088},
    {0xFFFF00, 0x888800},
    {0x00FFFF, 0x008888},
    {0xFF00FF, 0x880088},
}};

uint32_t rgb(int32_t r, int32_t g, int32_t b) {
  return static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
}

// Fills columns [x0, x1] of one row, dropping whatever lies outside the frame.
void fillSpan(Graphics& g, int32_t y, int32_t x0, int32_t x1, uint32_t colour) {
  if (y < 0 || y >= kFrameHeight) return;
  x0 = std::max(x0, 0);
  x1 = std::min(x1, kFrameWidth - 1);
  if (x0 > x1) return;
  uint32_t* row = g.frame.data() + static_cast<std::ptrdiff_t>(y) * kFrameWidth;
  std::fill(row + x0, row + x1 + 1, colour);
}

// Colours of rainbow pixel k: amplitude 124 around 125 in the middle row,
// 64 around 65 above and below.
RuleColours rainbowAt(double animClock, int32_t k) {
  const double u = animClock + k;
  const double sr = std::sin(0.01 * u);
  const double sg = std::sin(0.012 * u + 0.96);
  const double sb = std::sin(0.013 * u + 2.47);
  return {rgb(roundEven(124 * sr + 125), roundEven(124 * sg + 125), roundEven(124 * sb + 125)),
          rgb(roundEven(64 * sr + 65), roundEven(64 * sg + 65), roundEven(64 * sb + 65))};
}

}  // namespace

int32_t roundEven(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

std::unique_ptr<Graphics> createGraphics() { return std::make_unique<Graphics>(); }

uint32_t* framePixels(Graphics& g) { return g.frame.data(); }
const uint32_t* framePixels(const Graphics& g) { return g.frame.data(); }
void clearFrame(Graphics& g) { g.frame.fill(0); }

void setUpRenderer(Graphics& g, const ImageAssets& images) {
  prepareSkinImages(g, images.grungeSkin, images.carbonSkin);
  prepareTextFont(g, images.textFont);
  buildShadeTable(g);
  setUpButtonsAndPointer(g);
  setUpLevelMeter(g);
  prepareBigFont(g, images.bigFont);
}

void prepareSkinImages(Graphics& g, std::span<const uint8_t> grunge, std::span<const uint8_t> carbon) {
  const std::span<const uint8_t> images[2] = {grunge, carbon};
  for (int s = 0; s < 2; ++s) {
    // An image of the wrong size (an asset still to be drawn) shows as black.
    const bool usable = images[s].size() == static_cast<std::size_t>(kSkinImageBytes);
    for (int i = 0; i < 256; ++i) {
      g.skinPalette[s][i] = usable ? rgb(images[s][3 * i], images[s][3 * i + 1], images[s][3 * i + 2]) : 0;
    }
    if (usable) {
      std::copy(images[s].begin() + kPaletteBytes, images[s].end(), g.skinIndex[s].begin());
    } else {
      g.skinIndex[s].fill(0);
    }
  }
}

void copyRectToSkinBackgrounds(Graphics& g, int32_t srcX, int32_t srcY, int32_t lastDX, int32_t lastDY,
                               int32_t dstX, int32_t dstY) {
  for (int32_t dy = 0; dy <= lastDY; ++dy) {
    const int32_t sy = srcY + dy;
    const int32_t ty = dstY + dy;
    if (sy < 0 || sy >= kFrameHeight || ty < 0 || ty >= kFrameHeight) continue;
    for (int32_t dx = 0; dx <= lastDX; ++dx) {
      const int32_t sx = srcX + dx;
      const int32_t tx = dstX + dx;
      if (sx < 0 || sx >= kFrameWidth || tx < 0 || tx >= kFrameWidth) continue;
      const std::size_t from = static_cast<std::size_t>(sy) * kFrameWidth + static_cast<std::size_t>(sx);
      const std::size_t to = static_cast<std::size_t>(ty) * kFrameWidth + static_cast<std::size_t>(tx);
      for (int s = 0; s < 2; ++s) g.background[s][to] = g.skinPalette[s][g.skinIndex[s][from] & 0xFF];
    }
  }
}

void buildSkinBackgrounds(Graphics& g) { copyRectToSkinBackgrounds(g, 0, 0, 799, 599, 0, 0); }

void drawSkinBackground(Graphics& g, int32_t skin) {
  const auto& source = g.background[skinSlot(skin)];
  std::memcpy(g.frame.data(), source.data(), sizeof(uint32_t) * kFramePixels);
}

void blendRect(Graphics& g, int32_t x, int32_t y, int32_t lastDX, int32_t lastDY, int32_t alpha, int32_t red,
               int32_t green, int32_t blue) {
  // Red and blue are blended together in the 0x00FF00FF lanes, green alone:
  // each lane holds at most 255 x 256, so nothing carries into its neighbour
  // and >> 8 is the floor of the division by 256.
  alpha = std::clamp(alpha, 0, 256);
  const uint32_t a = static_cast<uint32_t>(alpha);
  const uint32_t keep = 256u - a;
  const uint32_t colour = rgb(red & 0xFF, green & 0xFF, blue & 0xFF);
  const uint32_t rbAdd = (colour & 0x00FF00FFu) * a;
  const uint32_t gAdd = (colour & 0x0000FF00u) * a;
  const int32_t x0 = std::max(x, 0);
  const int32_t x1 = std::min(x + lastDX, kFrameWidth - 1);
  const int32_t y0 = std::max(y, 0);
  const int32_t y1 = std::min(y + lastDY, kFrameHeight - 1);
  for (int32_t row = y0; row <= y1; ++row) {
    uint32_t* p = g.frame.data() + static_cast<std::ptrdiff_t>(row) * kFrameWidth;
    for (int32_t col = x0; col <= x1; ++col) {
      const uint32_t old = p[col];
      const uint32_t rb = ((old & 0x00FF00FFu) * keep + rbAdd) & 0xFF00FF00u;
      const uint32_t gg = ((old & 0x0000FF00u) * keep + gAdd) & 0x00FF0000u;
      p[col] = (rb | gg) >> 8;
    }
  }
}

void drawRule(Graphics& g, int32_t y, int32_t x, int32_t length, int32_t style, double animClock) {
  if (style >= 1 && style <= 7) {
    const RuleColours c = kSolidRules[static_cast<std::size_t>(style)];
    fillSpan(g, y - 1, x, x + length - 1, c.outer);
    fillSpan(g, y, x, x + length - 1, c.middle);
    fillSpan(g, y + 1, x, x + length - 1, c.outer);
    return;
  }
  if (static_cast<uint32_t>(style) != kRainbowStyle) return;
  // The rainbow covers length + 1 columns; its three sines drift with the clock.
  if (!g.rainbowReady || g.rainbowClock != animClock) {
    for (int32_t k = 0; k <= kFrameWidth; ++k) {
      const RuleColours c = rainbowAt(animClock, k);
      g.rainbowMiddle[static_cast<std::size_t>(k)] = c.middle;
      g.rainbowOuter[static_cast<std::size_t>(k)] = c.outer;
    }
    g.rainbowClock = animClock;
    g.rainbowReady = true;
  }
  for (int32_t k = 0; k <= length; ++k) {
    const int32_t col = x + k;
    if (col < 0 || col >= kFrameWidth) continue;
    const RuleColours c = k <= kFrameWidth
                              ? RuleColours{g.rainbowMiddle[static_cast<std::size_t>(k)], g.rainbowOuter[static_cast<std::size_t>(k)]}
                              : rainbowAt(animClock, k);
    for (int32_t dy = -1; dy <= 1; ++dy) {
      const int32_t row = y + dy;
      if (row < 0 || row >= kFrameHeight) continue;
      g.frame[static_cast<std::size_t>(row) * kFrameWidth + static_cast<std::size_t>(col)] = dy == 0 ? c.middle : c.outer;
    }
  }
}

}  // namespace render
