// artpreview: proof sheets for the artist. Renders the fonts the way the
// magazine shows them: the text font's two faces tinted by a few colour
// codes on black and over a skin, box-drawing and banner tiles, and the big
// font with its shadow, highlight and a sine bend.
//
//   artpreview OUT_DIR [SKIN.bin]
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/assets/art/lib/big_font.h"
#include "tools/assets/art/lib/sources.h"
#include "tools/assets/art/lib/text_font.h"

namespace {

struct Canvas {
  int w, h;
  std::vector<uint32_t> px;
  Canvas(int width, int height, uint32_t fill = 0) : w(width), h(height), px(static_cast<std::size_t>(width) * height, fill) {}
  void put(int x, int y, uint32_t c) {
    if (x >= 0 && y >= 0 && x < w && y < h) px[static_cast<std::size_t>(y) * w + x] = c;
  }
  art::IndexedPicture toPicture() const {
    // Preview only: 6-7-6 levels are plenty to judge shapes and tints.
    art::IndexedPicture p(w, h);
    for (int i = 0; i < 252; ++i) {
      int r = i / 42, g = (i / 6) % 7, b = i % 6;
      p.setColour(i, static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 255 / 6), static_cast<uint8_t>(b * 51));
    }
    for (std::size_t i = 0; i < px.size(); ++i) {
      int r = static_cast<int>(std::lround(((px[i] >> 16) & 255) / 51.0));
      int g = static_cast<int>(std::lround(((px[i] >> 8) & 255) * 6 / 255.0));
      int b = static_cast<int>(std::lround((px[i] & 255) / 51.0));
      p.pixels[i] = static_cast<uint8_t>(r * 42 + g * 6 + b);
    }
    return p;
  }
};

// A colour code's tint of a font palette entry (three brightness levels per group).
uint32_t tint(const art::IndexedPicture& font, int v, int code) {
  static const double kWeights[10][3] = {{1, 1, 1}, {1, 0, 0}, {0, 1, 0},     {0, 0, 1},     {1, 1, 0},
                                         {0, 1, 1}, {1, 0, 1}, {1, .7, .3}, {.3, .7, 1}, {.7, 1, .7}};
  if (code == 31) return 0;
  int group = (code - 1) / 3;
  double d = 1.0 + 0.5 * ((code - 1) % 3);
  uint32_t out = 0;
  for (int ch = 0; ch < 3; ++ch) {
    double c = std::floor(font.palette[3 * v + ch] / d) * kWeights[group][ch];
    out = (out << 8) | static_cast<uint32_t>(std::nearbyint(c));
  }
  return out;
}

void drawGlyph(Canvas& c, const art::IndexedPicture& font, int code, int x, int y, int face, int tintCode, int scale,
               bool opaque) {
  for (int r = 0; r < art::kCellHeight; ++r)
    for (int k = 0; k < art::kCellWidth; ++k) {
      int v = font.at(art::textGlyphColumn(code) + k, (face == 1 ? 0 : 14) + r);
      if (!v && !opaque) continue;
      for (int sy = 0; sy < scale; ++sy)
        for (int sx = 0; sx < scale; ++sx) c.put(x + k * scale + sx, y + r * scale + sy, v ? tint(font, v, tintCode) : 0);
    }
}

void drawText(Canvas& c, const art::IndexedPicture& font, const std::string& s, int x, int y, int face, int code,
              int scale = 1, bool opaque = false) {
  for (unsigned char ch : s) {
    if (ch > 32) drawGlyph(c, font, ch, x, y, face, code, scale, opaque);
    x += art::kCellWidth * scale;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: artpreview OUT_DIR [SKIN.bin]\n");
    return 2;
  }
  std::string out = argv[1];
  art::IndexedPicture text, big;
  std::string error;
  if (!art::makeTextFont(art::glyphDirectory(), text, error) || !art::makeBigFont(art::glyphDirectory(), big, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  // Sheet: all 224 codes, 32 per row, both faces, three times enlarged.
  {
    const int s = 3;
    Canvas c(32 * 9 * s + 40, 2 * 7 * 12 * s + 60, 0x202020);
    for (int face = 1; face <= 2; ++face)
      for (int i = 0; i < 224; ++i) {
        int x = 20 + (i % 32) * 9 * s, y = 20 + (face - 1) * (7 * 12 * s + 20) + (i / 32) * 12 * s;
        drawGlyph(c, text, 32 + i, x, y, face, 1, s, true);
      }
    art::writeIndexedPng(out + "/text_sheet.png", c.toPicture());
  }
  // Sample: lines in several codes, both faces, on black and over grey texture, plus boxes and banners.
  {
    const int s = 2;
    Canvas c(82 * 9 * s, 40 * 12 * s, 0);
    for (int y = 20 * 12 * s; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) c.put(x, y, ((x * 7 + y * 13) % 23 < 11) ? 0x5a4a3a : 0x6b5a45);
    const char* codes = "123456789ABCDEFGHIJKLMNOPQRSTU";
    std::string sample = "The Quorvaline Charts #36: Groups, Demos & Music! 0123456789 (\x82t\x82, na\x8bve, M\x81nchen) \xe0\xe1\xe3";
    int row = 0;
    for (int face = 1; face <= 2; ++face)
      for (int k = 0; k < 6; ++k, ++row) drawText(c, text, sample, 9 * s, row * 12 * s, face, codes[k * 5] - (codes[k * 5] >= 'A' ? 'A' - 10 : '0'), s, true);
    std::string box1 = "\xc9\xcd\xcd\xcd\xcb\xcd\xcd\xcd\xbb \xda\xc4\xc4\xc4\xc2\xc4\xc4\xc4\xbf \xd5\xcd\xcd\xd1\xcd\xb8 \xd6\xc4\xc4\xd2\xc4\xb7 \xb0\xb0\xb1\xb1\xb2\xb2\xdb\xdb \xdc\xdc\xdf\xdf \xdd\xde\xfe";
    std::string box2 = "\xba   \xba   \xba \xb3   \xb3   \xb3 \xb3  \xb3 \xb3 \xba  \xba \xba \xb0\xb0\xb1\xb1\xb2\xb2\xdb\xdb \xdf\xdf\xdc\xdc \xde\xdd\xfe";
    std::string box3 = "\xcc\xcd\xcd\xcd\xce\xcd\xcd\xcd\xb9 \xc3\xc4\xc4\xc4\xc5\xc4\xc4\xc4\xb4 \xc6\xcd\xcd\xd8\xcd\xb5 \xc7\xc4\xc4\xd7\xc4\xb6";
    std::string box4 = "\xc8\xcd\xcd\xcd\xca\xcd\xcd\xcd\xbc \xc0\xc4\xc4\xc4\xc1\xc4\xc4\xc4\xd9 \xd4\xcd\xcd\xcf\xcd\xbe \xd3\xc4\xc4\xd0\xc4\xbd";
    std::string banner1 = "\xdb\xdb\xdb\xdb\xdc \xdb   \xdb \xdb\xdb\xdb\xdb\xdb \xdb\xdb\xdb\xdb\xdc \xdb\xdb\xdb\xdb\xdb \xb2\xb2\xb1\xb1\xb0\xb0";
    std::string banner2 = "\xdb   \xdb \xdb   \xdb \xdb   \xdb \xdb\xdb\xdb\xdb\xdf \xdb\xdc\xdc   \xb2\xb2\xb1\xb1\xb0\xb0";
    std::string banner3 = "\xdf\xdf\xdf\xdb\xdc \xdf\xdf\xdf\xdf\xdf \xdf\xdf\xdf\xdf\xdf \xdf   \xdf \xdf\xdf\xdf\xdf\xdf \xb2\xb2\xb1\xb1\xb0\xb0";
    for (int face = 1; face <= 2; ++face) {
      int y0 = (13 + (face - 1) * 8) * 12 * s;
      int cd = face == 1 ? 22 : 25;
      drawText(c, text, box1, 9 * s, y0, face, cd, s, true);
      drawText(c, text, box2, 9 * s, y0 + 12 * s, face, cd, s, true);
      drawText(c, text, box3, 9 * s, y0 + 24 * s, face, cd, s, true);
      drawText(c, text, box2, 9 * s, y0 + 36 * s, face, cd, s, true);
      drawText(c, text, box4, 9 * s, y0 + 48 * s, face, cd, s, true);
      drawText(c, text, banner1, 9 * s, y0 + 60 * s, face, face == 1 ? 4 : 7, s, false);
      drawText(c, text, banner2, 9 * s, y0 + 72 * s, face, face == 1 ? 4 : 7, s, false);
      drawText(c, text, banner3, 9 * s, y0 + 84 * s, face, face == 1 ? 4 : 7, s, false);
    }
    for (int face = 1; face <= 2; ++face)
      drawText(c, text, "MENU: 01. Top Demos   02. Top Intros   > Articles Menu", 9 * s, (36 + face) * 12 * s, face, 2, s, false);
    art::writeIndexedPng(out + "/text_sample.png", c.toPicture());
  }
  // Big font: upright with shadow and highlight, and bent along a sine.
  {
    Canvas c(800, 300, 0);
    auto glyph = [&](int code, int x, int y0, bool bend) {
      for (int pass = 0; pass < 3; ++pass)
        for (int j = 0; j < 32; ++j) {
          int y = bend ? y0 + static_cast<int>(std::lround(30 * std::sin((x + j) * 0.02))) : y0;
          for (int r = 0; r < 32; ++r) {
            if (!art::bigGlyphPixel(big, code, j, r)) continue;
            uint32_t body = 0x3060F0 + static_cast<uint32_t>(((y + r) * 5) % 200 << 16);
            if (pass == 0) c.put(x + j + 1, y + r + 1, 0x444444);
            if (pass == 1) c.put(x + j - 1, y + r - 1, 0xFFFFFF);
            if (pass == 2) c.put(x + j, y + r, body);
          }
        }
    };
    std::string lines[4] = {"ABCDEFGHIJKLMNOPQRSTUVWXY", "Z0123456789 !\"#$%&'()*+,-", "./:;<=>?@ QUORVALINE 36", "THE QUORVALINE CHARTS"};
    for (int l = 0; l < 4; ++l)
      for (std::size_t i = 0; i < lines[l].size(); ++i) glyph(lines[l][i], 2 + 32 * static_cast<int>(i), 8 + 40 * l, false);
    for (std::size_t i = 0; i < lines[3].size(); ++i) glyph(lines[3][i], 30 + 32 * static_cast<int>(i), 220, true);
    art::writeIndexedPng(out + "/big_sample.png", c.toPicture());
  }
  std::printf("artpreview: sheets in %s\n", out.c_str());
  return 0;
}
