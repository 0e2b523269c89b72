#include "tools/assets/art/lib/skin_painter.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tools/assets/art/lib/big_font.h"
#include "tools/assets/art/lib/quantise.h"
#include "tools/assets/art/lib/text_font.h"

namespace art {

namespace {

// ---- layout ------------------------------------------------------------------

constexpr std::array<const char*, render::kButtonCount + 1> kGrungeLabels = {
    "", "QUIT", "CHARTS", "ARTICLES", "RULES", "HELP", "MUTE", "MUSIC 1", "MUSIC 2", "MUSIC 3", "MUSIC 4"};
constexpr std::array<const char*, render::kButtonCount + 1> kCarbonLabels = {
    "", "QUIT", "CHARTS", "ARTICLES", "RULES", "HELP", "MUTE", "1", "2", "3", "4"};

SkinLayout layoutOf(int skin, uint32_t black, const std::array<const char*, render::kButtonCount + 1>& labels) {
  SkinLayout layout{black, covered(render::kTextArea), covered(render::kMenuArea[render::skinSlot(skin)]),
                    covered(render::thumbTrack(skin)), {}};
  for (int b = 1; b <= render::kButtonCount; ++b) {
    layout.buttons[static_cast<std::size_t>(b - 1)] = {labels[static_cast<std::size_t>(b)], render::buttonRect(b, skin)};
  }
  return layout;
}

const SkinLayout kGrunge = layoutOf(1, 0x000000, kGrungeLabels);
const SkinLayout kCarbon = layoutOf(2, 0x040204, kCarbonLabels);

// ---- colour and canvas -------------------------------------------------------

struct Colour {
  double r = 0, g = 0, b = 0;
};

Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Colour operator*(Colour a, double k) { return {a.r * k, a.g * k, a.b * k}; }
Colour mix(Colour a, Colour b, double t) { return a * (1 - t) + b * t; }
Colour rgb(uint32_t c) { return {double((c >> 16) & 255), double((c >> 8) & 255), double(c & 255)}; }

double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }
double smoothstep(double e0, double e1, double v) {
  double t = clamp01((v - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

struct Canvas {
  std::vector<Colour> px = std::vector<Colour>(kSkinWidth * kSkinHeight);
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < kSkinWidth && y < kSkinHeight; }
  Colour& at(int x, int y) { return px[y * kSkinWidth + x]; }
  void blend(int x, int y, Colour c, double alpha) {
    if (inside(x, y)) at(x, y) = mix(at(x, y), c, clamp01(alpha));
  }
  void shade(int x, int y, double k) {  // k > 0 lightens towards white, k < 0 darkens
    if (!inside(x, y)) return;
    Colour& p = at(x, y);
    p = k >= 0 ? mix(p, {255, 255, 255}, k) : p * (1 + k);
  }
};

// ---- noise -------------------------------------------------------------------

double hash(int x, int y, int seed) {
  uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^
               static_cast<uint32_t>(seed) * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return (h & 0xFFFFFF) / double(0x1000000);
}

double valueNoise(double x, double y, int seed) {
  int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
  double fx = x - ix, fy = y - iy;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  double a = hash(ix, iy, seed), b = hash(ix + 1, iy, seed), c = hash(ix, iy + 1, seed), d = hash(ix + 1, iy + 1, seed);
  return (a * (1 - fx) + b * fx) * (1 - fy) + (c * (1 - fx) + d * fx) * fy;
}

double fbm(double x, double y, int octaves, int seed) {
  double sum = 0, amp = 0.5, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * valueNoise(x, y, seed + 101 * o);
    norm += amp;
    x *= 2.03;
    y *= 2.03;
    amp *= 0.5;
  }
  return sum / norm;
}

// ---- shapes ------------------------------------------------------------------

// A raised (depth > 0) or sunken (depth < 0) bevel of `width` pixels just
// inside the rectangle: light from the top left.
void bevel(Canvas& c, Rect r, int width, double depth) {
  for (int i = 0; i < width; ++i) {
    double k = depth * (1.0 - 0.45 * i / std::max(1, width));
    for (int x = r.x0 + i; x <= r.x1 - i; ++x) {
      c.shade(x, r.y0 + i, k);
      c.shade(x, r.y1 - i, -k * 0.9);
    }
    for (int y = r.y0 + i + 1; y < r.y1 - i; ++y) {
      c.shade(r.x0 + i, y, k * 0.8);
      c.shade(r.x1 - i, y, -k * 0.8);
    }
  }
}

void outline(Canvas& c, Rect r, Colour colour, double alpha) {
  for (int x = r.x0; x <= r.x1; ++x) {
    c.blend(x, r.y0, colour, alpha);
    c.blend(x, r.y1, colour, alpha);
  }
  for (int y = r.y0 + 1; y < r.y1; ++y) {
    c.blend(r.x0, y, colour, alpha);
    c.blend(r.x1, y, colour, alpha);
  }
}

void fill(Canvas& c, Rect r, Colour colour, double alpha) {
  for (int y = r.y0; y <= r.y1; ++y)
    for (int x = r.x0; x <= r.x1; ++x) c.blend(x, y, colour, alpha);
}

// A soft shadow cast down-right by a rectangle.
void dropShadow(Canvas& c, Rect r, int reach, double strength) {
  for (int y = r.y0; y <= r.y1 + reach; ++y)
    for (int x = r.x0; x <= r.x1 + reach; ++x) {
      if (r.contains(x, y)) continue;
      int dx = std::max(0, x - r.x1), dy = std::max(0, y - r.y1);
      if (x < r.x0 + reach / 2 || y < r.y0 + reach / 2) continue;
      double d = std::max(dx, dy);
      c.shade(x, y, -strength * (1 - d / (reach + 1)));
    }
}

// A domed rivet of radius `radius` centred on (cx, cy).
void rivet(Canvas& c, int cx, int cy, double radius, Colour metal) {
  const int reach = static_cast<int>(radius) + 2;
  for (int y = cy - reach; y <= cy + reach; ++y)
    for (int x = cx - reach; x <= cx + reach; ++x) {
      double dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
      double sd = std::sqrt((dx - 1.2) * (dx - 1.2) + (dy - 1.2) * (dy - 1.2));
      if (d > radius + 0.5) {
        if (sd <= radius + 1) c.shade(x, y, -0.45);  // its shadow on the plate
        continue;
      }
      double nz = std::sqrt(std::max(0.0, 1 - (d * d) / (radius * radius)));
      double light = clamp01(0.25 + 0.75 * ((-dx - dy) / (radius * 1.41) * 0.7 + nz * 0.5));
      Colour col = metal * (0.45 + 0.8 * light);
      double glint = std::pow(clamp01(1 - std::hypot(dx + radius * 0.35, dy + radius * 0.35) / (radius * 0.6)), 2);
      col = mix(col, {255, 250, 240}, glint * 0.8);
      c.blend(x, y, col, clamp01(radius + 0.5 - d));
    }
}

void line(Canvas& c, double x0, double y0, double x1, double y1, Colour colour, double alpha) {
  int n = static_cast<int>(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0))) + 1;
  for (int i = 0; i <= n; ++i) {
    double t = double(i) / n;
    c.blend(static_cast<int>(std::lround(x0 + (x1 - x0) * t)), static_cast<int>(std::lround(y0 + (y1 - y0) * t)),
            colour, alpha);
  }
}

// ---- lettering ---------------------------------------------------------------

// Coverage mask (0..1) the size of the skin, for stamping and embossing letters.
struct Mask {
  std::vector<double> a = std::vector<double>(kSkinWidth * kSkinHeight, 0.0);
  double get(int x, int y) const {
    return (x >= 0 && y >= 0 && x < kSkinWidth && y < kSkinHeight) ? a[y * kSkinWidth + x] : 0.0;
  }
  void add(int x, int y, double v) {
    if (x >= 0 && y >= 0 && x < kSkinWidth && y < kSkinHeight) a[y * kSkinWidth + x] = std::min(1.0, a[y * kSkinWidth + x] + v);
  }
};

// Big-font text scaled by `scale` (supersampled 4 x 4), left edge x, top y.
void stampBigText(Mask& m, const IndexedPicture& big, const std::string& text, double x, double y, double scale) {
  for (unsigned char ch : text) {
    if (ch >= 32 && ch <= 90) {
      const int w = static_cast<int>(std::ceil(kBigGlyphSize * scale));
      for (int py = 0; py < w; ++py)
        for (int px = 0; px < w; ++px) {
          int hits = 0;
          for (int sy = 0; sy < 4; ++sy)
            for (int sx = 0; sx < 4; ++sx) {
              int gx = static_cast<int>((px + (sx + 0.5) / 4) / scale), gy = static_cast<int>((py + (sy + 0.5) / 4) / scale);
              if (gx < kBigGlyphSize && gy < kBigGlyphSize && bigGlyphPixel(big, ch, gx, gy)) ++hits;
            }
          if (hits) m.add(static_cast<int>(x) + px, static_cast<int>(y) + py, hits / 16.0);
        }
    }
    x += kBigGlyphSize * scale;
  }
}

// Text-font text at 1:1 with the font's own shading as brightness; `pitch`
// is the advance per character (9 normally, 8 to condense).
void drawLabel(Canvas& c, const IndexedPicture& font, const std::string& text, int x, int y, int face, int pitch,
               Colour ink, Colour shadow) {
  const int top = face == 1 ? kHeavyFaceTop : kLightFaceTop;
  // Pass 0 lays a dark halo under the whole label, so it reads over the
  // tints and the glow; pass 1 sets the letters over it.
  for (int pass = 0; pass < 2; ++pass) {
    int cx = x;
    for (unsigned char ch : text) {
      if (ch > 32)
        for (int r = 0; r < kCellHeight; ++r)
          for (int k = 0; k < kCellWidth; ++k) {
            int v = font.at(textGlyphColumn(ch) + k, top + r);
            if (!v) continue;
            double bright = font.palette[3 * v + 1] / 255.0;
            if (pass == 0) {
              if (bright > 0.3)
                for (int oy = -1; oy <= 1; ++oy)
                  for (int ox = -1; ox <= 2; ++ox) c.blend(cx + k + ox, y + r + oy, shadow, 0.5);
            } else if (bright < 0.2) {
              c.blend(cx + k, y + r, shadow, 0.85);
            } else {
              c.blend(cx + k, y + r, ink * (0.35 + 0.7 * bright), 1.0);
            }
          }
      cx += pitch;
    }
  }
}

// Emboss a mask into the canvas: fill with fillAt(x, y), light from the top
// left, an outline and a soft drop shadow.
template <class Fill>
void emboss(Canvas& c, const Mask& m, Fill fillAt, Colour edge, double shadowStrength) {
  for (int y = 0; y < kSkinHeight; ++y)
    for (int x = 0; x < kSkinWidth; ++x) {
      double s = 0;
      for (int d = 1; d <= 3; ++d) s = std::max(s, m.get(x - d, y - d) * (1 - 0.25 * (d - 1)));
      if (s > 0 && m.get(x, y) < 1) c.shade(x, y, -shadowStrength * s * (1 - m.get(x, y)));
    }
  for (int y = 0; y < kSkinHeight; ++y)
    for (int x = 0; x < kSkinWidth; ++x) {
      double a = m.get(x, y);
      if (a <= 0) continue;
      double slope = (m.get(x - 1, y - 1) - m.get(x + 1, y + 1));
      Colour col = fillAt(x, y);
      if (slope < 0) col = mix(col, {255, 255, 255}, std::min(0.75, -slope * 0.8));
      else col = col * (1 - std::min(0.6, slope * 0.6));
      double rim = 1 - std::min({m.get(x - 1, y), m.get(x + 1, y), m.get(x, y - 1), m.get(x, y + 1)});
      col = mix(col, edge, rim * 0.7);
      c.blend(x, y, col, a);
    }
}

// ---- materials ---------------------------------------------------------------

void paintGrungeMetal(Canvas& c) {
  for (int y = 0; y < kSkinHeight; ++y)
    for (int x = 0; x < kSkinWidth; ++x) {
      double big = fbm(x / 110.0, y / 110.0, 5, 11);
      double grain = fbm(x / 5.0, y / 5.0, 3, 23);
      double brushed = valueNoise(x / 140.0, y * 0.9, 37) - 0.5;
      double t = clamp01(0.2 + 0.75 * big + 0.35 * (grain - 0.5) + 0.12 * brushed);
      Colour steel = mix({44, 42, 40}, {128, 121, 110}, t);
      double rustAmount = smoothstep(0.56, 0.74, fbm(x / 70.0 + 9.1, y / 55.0, 5, 51) + 0.18 * (grain - 0.5));
      Colour rust = mix({88, 36, 14}, {178, 92, 36}, fbm(x / 7.0, y / 7.0, 3, 61));
      Colour col = mix(steel, rust, rustAmount * 0.85);
      // Dark oily grime pooling lower down the frame.
      double grime = smoothstep(0.45, 0.8, fbm(x / 40.0, y / 160.0, 4, 71)) * (0.25 + 0.5 * y / kSkinHeight);
      col = col * (1 - 0.45 * grime);
      if (hash(x, y, 83) < 0.025) col = col * 0.6;  // pits
      c.at(x, y) = col;
    }
}

void scratches(Canvas& c, Rng& rng, int count, Colour light) {
  for (int i = 0; i < count; ++i) {
    double x = rng.range(0, kSkinWidth), y = rng.range(0, kSkinHeight);
    double angle = rng.range(-0.6, 0.6) + (rng.uniform() < 0.5 ? 0 : 1.9);
    double len = rng.range(6, 70);
    double x1 = x + std::cos(angle) * len, y1 = y + std::sin(angle) * len;
    double a = rng.range(0.12, 0.45);
    line(c, x, y + 1, x1, y1 + 1, {10, 8, 6}, a * 0.8);
    line(c, x, y, x1, y1, light, a);
  }
}

void rustDrip(Canvas& c, Rng& rng, int x, int y, int length) {
  for (int k = 0; k < length; ++k) {
    double fade = 1.0 - double(k) / length;
    int wobble = static_cast<int>(std::lround(std::sin((y + k) * 0.09 + x) * 0.8));
    for (int w = -1; w <= 1; ++w)
      c.blend(x + w + wobble, y + k, {120, 50, 18}, 0.35 * fade * (w == 0 ? 1.0 : 0.45) * rng.range(0.7, 1.0));
  }
}

void paintCarbonWeave(Canvas& c) {
  // 2/2 twill: each tow floats over two crossing tows and dips under two, so
  // the floats step diagonally. A float is brightest along its crown and in
  // its middle, and dark where it dives under its neighbour.
  const int tow = 5;
  for (int y = 0; y < kSkinHeight; ++y)
    for (int x = 0; x < kSkinWidth; ++x) {
      const int i = x / tow, j = y / tow, phase = (i + j) & 3;
      const bool horizontal = phase < 2;
      const double across = ((horizontal ? y : x) % tow + 0.5) / tow;
      const double along = ((horizontal ? phase : phase - 2) * tow + (horizontal ? x : y) % tow + 0.5) / (2 * tow);
      const double crown = std::sin(across * 3.14159265);
      const double dive = std::pow(std::sin(along * 3.14159265), 0.6);
      const double fibres = 0.82 + 0.18 * valueNoise((horizontal ? x : y) / 11.0, (horizontal ? y : x) * 1.9, horizontal ? 5 : 6);
      // The two directions catch the light in opposite places across the sheet.
      const double sweep = 0.5 + 0.5 * std::sin(x / 230.0 - y / 380.0 + (horizontal ? 0.0 : 2.6));
      const double diffuse = crown * dive * fibres * (0.3 + 0.7 * sweep);
      const double glint = std::pow(crown, 6) * dive * sweep * sweep;
      Colour col = mix({9, 10, 13}, {70, 76, 90}, clamp01(diffuse));
      col = mix(col, {170, 185, 210}, clamp01(glint * 0.45));
      c.at(x, y) = col;
    }
}

// ---- the shared frame ----------------------------------------------------------

struct Style {
  Colour ink;          // label colour
  Colour labelShadow;  // halo under labels
  Colour accent;
  bool grunge;
};

void keepBlack(Canvas& c, const SkinLayout& layout) {
  for (const Rect& r : {layout.textArea, layout.menuArea}) fill(c, r, rgb(layout.black), 1.0);
}

Rect grow(Rect r, int d) { return {r.x0 - d, r.y0 - d, r.x1 + d, r.y1 + d}; }

void paintButtons(Canvas& c, const SkinLayout& layout, const Style& style, const IndexedPicture& font) {
  for (const SkinButton& b : layout.buttons) {
    Rect r = b.rect();
    dropShadow(c, grow(r, 1), 4, 0.5);
    if (style.grunge) {
      // A darker steel plate, screwed on.
      for (int y = r.y0; y <= r.y1; ++y)
        for (int x = r.x0; x <= r.x1; ++x) {
          Colour p = c.at(x, y);
          double lum = (p.r + p.g + p.b) / 3;
          c.at(x, y) = mix(Colour{30, 26, 23}, Colour{58, 46, 38}, lum / 160) * (0.9 + 0.2 * fbm(x / 3.0, y / 9.0, 2, 91));
        }
      outline(c, grow(r, 1), {12, 10, 8}, 0.9);
      bevel(c, r, 2, 0.35);
      if (r.y1 - r.y0 >= 18) {
        c.shade(r.x0 + 3, r.y0 + 3, 0.3);
        c.shade(r.x1 - 3, r.y1 - 3, -0.3);
      }
    } else {
      // Glossy smoked glass over the weave, with a blue rim.
      for (int y = r.y0; y <= r.y1; ++y) {
        double t = double(y - r.y0) / std::max(1, r.y1 - r.y0);
        for (int x = r.x0; x <= r.x1; ++x) {
          Colour p = c.at(x, y) * 0.45 + Colour{10, 14, 24};
          if (t < 0.45) p = mix(p, {120, 150, 190}, 0.18 * (1 - t / 0.45));
          c.at(x, y) = p;
        }
      }
      outline(c, grow(r, 1), {6, 8, 12}, 0.9);
      outline(c, r, style.accent, 0.55);
      for (int x = r.x0 + 2; x < r.x1 - 1; ++x) c.blend(x, r.y0 + 1, {200, 220, 255}, 0.25);
    }
    // The label, centred; condensed when the plate is narrow.
    std::string label = b.label;
    int n = static_cast<int>(label.size());
    int width = r.x1 - r.x0 + 1;
    int pitch = n * 9 - 1 <= width - 4 ? 9 : 8;
    int face = pitch == 9 ? 1 : 2;
    int textW = n * pitch - (pitch == 9 ? 1 : 1);
    int x = r.x0 + (width - textW) / 2;
    int height = r.y1 - r.y0 + 1;
    int y = r.y0 + (height - 7) / 2 - 2;  // glyphs stand on cell rows 2..8
    drawLabel(c, font, label, x, y, face, pitch, style.ink, style.labelShadow);
  }
}

// A frame of `width` pixels around an area kept black.
void paintFrame(Canvas& c, Rect inner, int width, const Style& style) {
  Rect outer = grow(inner, width);
  dropShadow(c, outer, 6, 0.45);
  for (int y = outer.y0; y <= outer.y1; ++y)
    for (int x = outer.x0; x <= outer.x1; ++x) {
      if (inner.contains(x, y)) continue;
      if (style.grunge) c.shade(x, y, 0.06);
      else c.at(x, y) = c.at(x, y) * 0.55 + Colour{8, 10, 16};
    }
  bevel(c, outer, width / 2, style.grunge ? 0.42 : 0.3);
  bevel(c, grow(inner, width - width / 2), width - width / 2, style.grunge ? -0.35 : -0.25);
  outline(c, grow(inner, 1), style.grunge ? Colour{6, 5, 4} : style.accent, style.grunge ? 0.9 : 0.85);
  if (!style.grunge) outline(c, grow(inner, 2), style.accent, 0.3);
}

}  // namespace

const SkinLayout& skinLayout(int skin) { return skin == 1 ? kGrunge : kCarbon; }

IndexedPicture paintSkin(int skin, const IndexedPicture& textFont, const IndexedPicture& bigFont) {
  const SkinLayout& layout = skinLayout(skin);
  const bool grunge = skin == 1;
  Style style = grunge ? Style{{255, 214, 150}, {14, 8, 4}, {235, 120, 30}, true}
                       : Style{{205, 228, 255}, {2, 6, 16}, {60, 140, 255}, false};
  Canvas c;
  Rng rng(grunge ? 0x6772756E6765ull : 0x636172626F6Eull);

  if (grunge) paintGrungeMetal(c);
  else paintCarbonWeave(c);

  // Plate seams: a header strip, side columns, a footer.
  const int seamRows[] = {30, 578};
  for (int y : seamRows)
    for (int x = 0; x < kSkinWidth; ++x) {
      c.shade(x, y, -0.6);
      c.shade(x, y + 1, 0.25);
    }
  for (int x : {131, 664})
    for (int y = 31; y < 178; ++y) {
      c.shade(x, y, -0.55);
      c.shade(x + 1, y, 0.2);
    }
  if (grunge) {
    scratches(c, rng, 900, {190, 180, 165});
    for (int i = 0; i < 24; ++i) rustDrip(c, rng, rng.below(kSkinWidth), rng.below(kSkinHeight - 60), 20 + rng.below(60));
  } else {
    // Glass-like sheen sweeping across the weave.
    for (int y = 0; y < kSkinHeight; ++y)
      for (int x = 0; x < kSkinWidth; ++x) {
        double band = std::exp(-std::pow((x * 0.6 + y - 260) / 90.0, 2));
        c.shade(x, y, 0.07 * band);
      }
  }

  // Frames around the black areas, the scroll track, the buttons.
  paintFrame(c, layout.textArea, 6, style);  // leaves the scroll track its own groove
  paintFrame(c, layout.menuArea, 8, style);
  Rect groove = grow(layout.thumbTrack, 2);
  fill(c, groove, grunge ? Colour{26, 20, 16} : Colour{10, 14, 24}, 0.9);
  bevel(c, grow(groove, 1), 2, -0.4);
  for (int y = groove.y0 + 4; y < groove.y1 - 2; y += 6) {  // tick marks along the track
    int mid = (groove.x0 + groove.x1) / 2;
    c.blend(mid, y, style.accent, grunge ? 0.18 : 0.3);
  }
  paintButtons(c, layout, style, textFont);

  // Between the menu panel and the page: hazard stripes or a light rail.
  Rect rail{layout.menuArea.x0 - 8, layout.menuArea.y1 + 12, layout.menuArea.x1 + 8, layout.textArea.y0 - 13};
  if (grunge) {
    for (int y = rail.y0; y <= rail.y1; ++y)
      for (int x = rail.x0; x <= rail.x1; ++x) {
        bool stripe = ((x + y) / 8) % 2 == 0;
        double worn = smoothstep(0.45, 0.62, fbm(x / 9.0, y / 5.0, 4, 131));
        Colour paint = stripe ? Colour{214, 120, 22} : Colour{24, 20, 16};
        c.blend(x, y, paint, 0.85 * (1 - worn));
      }
    bevel(c, grow(rail, 1), 1, -0.4);
  } else {
    // A recessed light slot with a blue tube glowing in it.
    fill(c, rail, {6, 9, 16}, 0.85);
    bevel(c, grow(rail, 1), 1, -0.45);
    const int mid = (rail.y0 + rail.y1) / 2;
    for (int x = rail.x0 + 2; x <= rail.x1 - 2; ++x) {
      double t = std::fabs((x - (rail.x0 + rail.x1) / 2.0) / ((rail.x1 - rail.x0) / 2.0));
      double strength = 0.55 + 0.45 * (1 - t * t);
      for (int d = -3; d <= 3; ++d) c.blend(x, mid + d, style.accent, strength * 0.75 * std::exp(-d * d / 3.0));
      c.blend(x, mid, {215, 235, 255}, strength * 0.9);
    }
  }

  // Rivets or screws at the frame corners and along the plates.
  auto fastener = [&](int x, int y) {
    if (grunge) rivet(c, x, y, 3.2, {150, 140, 128});
    else rivet(c, x, y, 2.6, {90, 110, 140});
  };
  for (const Rect& area : {layout.textArea, layout.menuArea}) {
    Rect f = grow(area, area.y0 == layout.textArea.y0 ? 3 : 4);
    fastener(f.x0, f.y0);
    fastener(f.x1, f.y0);
    fastener(f.x0, f.y1);
    fastener(f.x1, f.y1);
  }
  for (int x = 40; x < kSkinWidth; x += 120) {
    fastener(x, 589);
  }
  for (int y = 220; y < 560; y += 110) {
    fastener(8, y);
  }
  fastener(12, 12);
  fastener(787, 12);
  fastener(120, 165);
  fastener(680, 165);

  // The logo along the top edge.
  {
    Mask logo;
    const std::string title = "THE QUORVALINE CHARTS";
    const double scale = 0.72;
    const double width = title.size() * kBigGlyphSize * scale;
    stampBigText(logo, bigFont, title, 400 - width / 2, 3, scale);
    if (grunge) {
      emboss(
          c, logo,
          [](int x, int y) {
            double t = (y - 4) / 22.0;
            Colour top{255, 196, 96}, bottom{170, 62, 12};
            Colour col = mix(top, bottom, clamp01(t));
            return col * (0.8 + 0.3 * fbm(x / 4.0, y / 4.0, 3, 141));
          },
          {40, 16, 6}, 0.6);
    } else {
      emboss(
          c, logo,
          [](int, int y) {
            double t = (y - 4) / 22.0;  // chrome: sky, horizon line, ground, glint
            if (t < 0.45) return mix(Colour{235, 245, 255}, Colour{110, 170, 240}, t / 0.45);
            if (t < 0.55) return Colour{20, 40, 90};
            return mix(Colour{40, 90, 190}, Colour{170, 215, 255}, (t - 0.55) / 0.45);
          },
          {10, 30, 80}, 0.7);
    }
  }
  // A small imprint in the footer.
  drawLabel(c, textFont, "ISSUE 36", 60, 583, 2, 9, grunge ? Colour{200, 150, 100} : Colour{150, 190, 240},
            style.labelShadow);
  drawLabel(c, textFont, "25-11-2009", 660, 583, 2, 9, grunge ? Colour{200, 150, 100} : Colour{150, 190, 240},
            style.labelShadow);

  // Light falls from above the screen's centre: a soft vignette, warm on
  // the steel, cold on the carbon.
  for (int y = 0; y < kSkinHeight; ++y)
    for (int x = 0; x < kSkinWidth; ++x) {
      double dx = (x - 400.0) / 400.0, dy = (y - 220.0) / 420.0;
      double k = 1.0 - 0.28 * std::min(1.0, dx * dx + dy * dy);
      Colour& p = c.at(x, y);
      p = grunge ? Colour{p.r * k * 1.05, p.g * k, p.b * k * 0.9} : Colour{p.r * k * 0.97, p.g * k, p.b * k * 1.04};
    }
  keepBlack(c, layout);

  // Nothing outside the black areas may be as dark as them.
  RgbImage image{kSkinWidth, kSkinHeight, std::vector<uint32_t>(kSkinWidth * kSkinHeight)};
  std::vector<bool> reserved(kSkinWidth * kSkinHeight);
  for (int y = 0; y < kSkinHeight; ++y)
    for (int x = 0; x < kSkinWidth; ++x) {
      const int i = y * kSkinWidth + x;
      reserved[i] = layout.textArea.contains(x, y) || layout.menuArea.contains(x, y);
      Colour p = c.px[i];
      auto ch = [](double v) { return static_cast<uint32_t>(std::clamp(std::lround(v), 7L, 255L)); };
      image.pixels[i] = ch(p.r) << 16 | ch(p.g) << 8 | ch(p.b);
    }
  return quantise(image, reserved, layout.black);
}

}  // namespace art
