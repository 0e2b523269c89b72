#include "tools/assets/art/lib/icon.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tools/assets/art/lib/big_font.h"

namespace art {
namespace {

// The design is drawn on a grid of kDesign x kDesign units, whatever the size.
constexpr int64_t kDesign = 4096;
constexpr int64_t kMargin = kDesign / 32;       // transparent border
constexpr int64_t kCorner = kDesign * 3 / 16;   // corner radius
constexpr int64_t kRim = kDesign / 48;          // steel rim width
constexpr int64_t kBandHalf = kDesign * 9 / 100;
constexpr int64_t kBandCentre = kMargin + kDesign * 13 / 100;
constexpr int64_t kGlyphBox = kDesign * 5 / 8;  // side of the letter's lit area
constexpr int64_t kGlyphLeft = (kDesign - kGlyphBox) / 2;
constexpr int64_t kGlyphTop = (kDesign - kGlyphBox) / 2;
// The big font's strokes fill glyph pixels 2..30 (the 7 x 7 tile grid after
// its margin, grown by one pixel).
constexpr int64_t kGlyphFirst = kBigMargin;
constexpr int64_t kGlyphSpan = kBigGrid * kBigTile + 1;
constexpr int64_t kOffset = kGlyphBox / kGlyphSpan / 2;  // shadow and highlight shift
constexpr int kLetter = 'Q';
constexpr int kStars = 14;
constexpr int64_t kStarCore = kDesign / 80;
constexpr int kSamples = 8;  // per pixel and axis

struct Rgb {
  int r, g, b;
};
constexpr Rgb kShadow{0x44, 0x44, 0x44};
constexpr Rgb kHighlight{0xFF, 0xFF, 0xFF};
constexpr Rgb kLetterTop{0xFF, 0xF4, 0xD0};
constexpr Rgb kLetterMiddle{0xF0, 0xB0, 0x60};
constexpr Rgb kLetterBottom{0xB0, 0x50, 0x20};
constexpr Rgb kRimLit{0xA8, 0xB8, 0xD0};
constexpr Rgb kRimDark{0x28, 0x30, 0x40};
constexpr Rgb kStarColour{0xC8, 0xC8, 0xD8};
constexpr Rgb kStarHalo{0x50, 0x50, 0x60};

Rgb mix(Rgb a, Rgb b, int64_t t, int64_t of) {
  return {static_cast<int>(a.r + (b.r - a.r) * t / of), static_cast<int>(a.g + (b.g - a.g) * t / of),
          static_cast<int>(a.b + (b.b - a.b) * t / of)};
}

int64_t isqrt(int64_t v) {
  auto s = static_cast<int64_t>(std::sqrt(static_cast<double>(v)));
  while (s * s > v) --s;
  while ((s + 1) * (s + 1) <= v) ++s;
  return s;
}

struct Star {
  int64_t x, y;
};

class Design {
 public:
  explicit Design(const IndexedPicture& font) : font_(font) {
    Rng rng(36);
    for (Star& s : stars_) {
      s.x = kMargin + kRim + static_cast<int64_t>(rng.below(static_cast<int>(kDesign - 2 * (kMargin + kRim))));
      s.y = kMargin + kRim + static_cast<int64_t>(rng.below(static_cast<int>(kDesign - 2 * (kMargin + kRim))));
    }
  }

  // Colour at design point (u, v); false outside the rounded square.
  bool sample(int64_t u, int64_t v, Rgb& out) const {
    const int64_t cx = std::clamp(u, kMargin + kCorner, kDesign - 1 - kMargin - kCorner);
    const int64_t cy = std::clamp(v, kMargin + kCorner, kDesign - 1 - kMargin - kCorner);
    const int64_t d2 = (u - cx) * (u - cx) + (v - cy) * (v - cy);
    if (d2 > kCorner * kCorner) return false;
    if (kCorner - isqrt(d2) < kRim) {
      out = mix(kRimLit, kRimDark, u + v, 2 * kDesign);
      return true;
    }
    if (letterAt(u, v)) {
      const int64_t row = (v - kGlyphTop) * kGlyphSpan / kGlyphBox;  // 0 .. span - 1
      const int64_t half = kGlyphSpan / 2;
      out = row <= half ? mix(kLetterTop, kLetterMiddle, row, half) : mix(kLetterMiddle, kLetterBottom, row - half, half);
      return true;
    }
    if (letterAt(u + kOffset, v + kOffset)) {
      out = kHighlight;
      return true;
    }
    if (letterAt(u - kOffset, v - kOffset)) {
      out = kShadow;
      return true;
    }
    for (const Star& s : stars_) {
      const int64_t dx = u - s.x, dy = v - s.y;
      if (dx >= 0 && dx < kStarCore && dy >= 0 && dy < kStarCore) {
        out = kStarColour;
        return true;
      }
      if (dx >= -kStarCore / 2 && dx < kStarCore * 3 / 2 && dy >= -kStarCore / 2 && dy < kStarCore * 3 / 2) {
        out = kStarHalo;
        return true;
      }
    }
    // Copper bands: blue rising to full in 16 steps towards each band's centre.
    int blue = 0;
    for (int64_t centre : {kBandCentre, kDesign - 1 - kBandCentre}) {
      const int64_t d = std::abs(v - centre);
      if (d < kBandHalf) blue = std::max(blue, static_cast<int>((kBandHalf - d) * 16 / kBandHalf) * 16);
    }
    out = {0, 0, std::min(blue, 255)};
    return true;
  }

 private:
  bool letterAt(int64_t u, int64_t v) const {
    if (u < kGlyphLeft || v < kGlyphTop) return false;
    const int64_t gx = (u - kGlyphLeft) * kGlyphSpan / kGlyphBox;
    const int64_t gy = (v - kGlyphTop) * kGlyphSpan / kGlyphBox;
    if (gx >= kGlyphSpan || gy >= kGlyphSpan) return false;
    return bigGlyphPixel(font_, kLetter, static_cast<int>(gx + kGlyphFirst), static_cast<int>(gy + kGlyphFirst));
  }

  const IndexedPicture& font_;
  std::array<Star, kStars> stars_{};
};

}  // namespace

RgbaPicture paintIcon(int size, const IndexedPicture& bigFont) {
  RgbaPicture icon;
  icon.width = icon.height = size;
  icon.rgba.assign(static_cast<std::size_t>(size) * size * 4, 0);
  const Design design(bigFont);
  const int64_t steps = int64_t{kSamples} * size;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      int64_t r = 0, g = 0, b = 0, covered = 0;
      for (int j = 0; j < kSamples; ++j) {
        const int64_t v = (2 * (int64_t{y} * kSamples + j) + 1) * kDesign / (2 * steps);
        for (int i = 0; i < kSamples; ++i) {
          const int64_t u = (2 * (int64_t{x} * kSamples + i) + 1) * kDesign / (2 * steps);
          Rgb c{};
          if (!design.sample(u, v, c)) continue;
          r += c.r;
          g += c.g;
          b += c.b;
          ++covered;
        }
      }
      uint8_t* px = &icon.rgba[(static_cast<std::size_t>(y) * size + x) * 4];
      if (covered == 0) continue;
      px[0] = static_cast<uint8_t>((r + covered / 2) / covered);
      px[1] = static_cast<uint8_t>((g + covered / 2) / covered);
      px[2] = static_cast<uint8_t>((b + covered / 2) / covered);
      px[3] = static_cast<uint8_t>((covered * 255 + kSamples * kSamples / 2) / (kSamples * kSamples));
    }
  }
  return icon;
}

}  // namespace art

namespace art {

std::vector<uint8_t> encodeIco(const std::vector<RgbaPicture>& pictures) {
  std::vector<uint8_t> out;
  auto put16 = [&out](uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFFu);
    put16(v >> 16);
  };
  std::vector<std::vector<uint8_t>> images;
  for (const RgbaPicture& p : pictures) images.push_back(encodeRgbaPng(p.width, p.height, p.rgba));
  // ICONDIR, then one ICONDIRENTRY per image, then the images.
  put16(0);
  put16(1);
  put16(static_cast<uint32_t>(pictures.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(pictures.size());
  for (size_t i = 0; i < pictures.size(); ++i) {
    const uint32_t side = static_cast<uint32_t>(pictures[i].width);
    out.push_back(static_cast<uint8_t>(side == 256 ? 0 : side));  // 0 stands for 256
    out.push_back(static_cast<uint8_t>(side == 256 ? 0 : side));
    out.push_back(0);  // no palette
    out.push_back(0);
    put16(1);   // colour planes
    put16(32);  // bits per pixel
    put32(static_cast<uint32_t>(images[i].size()));
    put32(offset);
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const auto& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

}  // namespace art
