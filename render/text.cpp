// Text renderer: the 9 x 12 font, its shade table, glyphs and article rows.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/graphics.h"

namespace render {
namespace {

// Channel use of the ten colour groups (codes 3g+1 .. 3g+3): a weight of 1 is
// the plain channel, 0 drops it, 0.7 and 0.3 are rounded after the divisor.
struct GroupWeights {
  double red;
  double green;
  double blue;
};
constexpr std::array<GroupWeights, 10> kGroups = {{
    {1, 1, 1},      // 1-3   grey shading
    {1, 0, 0},      // 4-6   red
    {0, 1, 0},      // 7-9   green
    {0, 0, 1},      // A-C   blue
    {1, 1, 0},      // D-F   yellow
    {0, 1, 1},      // G-I   cyan
    {1, 0, 1},      // J-L   magenta
    {1, 0.7, 0.3},  // M-O   orange
    {0.3, 0.7, 1},  // P-R   sky
    {0.7, 1, 0.7},  // S-U   pale green
}};
constexpr std::array<double, 3> kDivisors = {1.0, 1.5, 2.0};

int32_t shadeChannel(int32_t channel, double divisor, double weight) {
  if (weight == 0) return 0;
  const double level = std::floor(channel / divisor);
  if (weight == 1) return static_cast<int32_t>(level);
  return roundEven(level * weight);
}

constexpr int kRuleX = 20;
constexpr int kRuleLength = 750;
constexpr int kRuleLowest = 568;     // rules are drawn on middles 193..568

bool drawable(int32_t c, int32_t style, int32_t code) {
  return c >= kFirstGlyph && c <= 255 && (style == 1 || style == 2) && code >= 1 && code <= kBlackCode;
}

// Transparent glyph of byte c inside the clip box (already cut to the frame).
void glyphTransparent(Graphics& g, int32_t c, int32_t x, int32_t y, int32_t clipLeft, int32_t clipRight,
                      int32_t clipTop, int32_t clipBottom, int32_t style, int32_t code) {
  if (!drawable(c, style, code)) return;
  clipLeft = std::max(clipLeft, 0);
  clipRight = std::min(clipRight, kFrameWidth - 1);
  clipTop = std::max(clipTop, 0);
  clipBottom = std::min(clipBottom, kFrameHeight - 1);
  const auto& cell = g.glyphCells[static_cast<std::size_t>(style - 1)][static_cast<std::size_t>(c - kFirstGlyph)];
  const auto& shades = g.shadeByCode[static_cast<std::size_t>(code)];
  const int32_t r0 = std::max(0, clipTop - y);
  const int32_t r1 = std::min(kCellHeight - 1, clipBottom - y);
  const int32_t k0 = std::max(0, clipLeft - x);
  const int32_t k1 = std::min(kCellWidth - 1, clipRight - x);
  for (int32_t r = r0; r <= r1; ++r) {
    uint32_t* row = g.frame.data() + static_cast<std::ptrdiff_t>(y + r) * kFrameWidth;
    const uint8_t* src = cell.data() + r * kCellWidth;
    for (int32_t k = k0; k <= k1; ++k) {
      const uint8_t v = src[k];
      if (v != 0) row[x + k] = shades[v];
    }
  }
}

// Opaque glyph: every cell pixel on rows 193..569, value 0 included.
void glyphOpaque(Graphics& g, int32_t c, int32_t x, int32_t y, int32_t style, int32_t code) {
  if (c <= kFirstGlyph || !drawable(c, style, code)) return;
  const auto& cell = g.glyphCells[static_cast<std::size_t>(style - 1)][static_cast<std::size_t>(c - kFirstGlyph)];
  const auto& shades = g.shadeByCode[static_cast<std::size_t>(code)];
  // Rows outside 193..569 (and columns outside the frame) are left alone.
  const int32_t r0 = std::max(0, kTextClipTop - y);
  const int32_t r1 = std::min(kCellHeight - 1, kOpaqueClipBottom - y);
  const int32_t k0 = std::max(0, -x);
  const int32_t k1 = std::min(kCellWidth - 1, kFrameWidth - 1 - x);
  for (int32_t r = r0; r <= r1; ++r) {
    uint32_t* row = g.frame.data() + static_cast<std::ptrdiff_t>(y + r) * kFrameWidth;
    const uint8_t* src = cell.data() + r * kCellWidth;
    for (int32_t k = k0; k <= k1; ++k) row[x + k] = shades[src[k]];
  }
}

int32_t firstByte(std::string_view text) {
  return text.empty() ? -1 : static_cast<int32_t>(static_cast<uint8_t>(text[0]));
}

}  // namespace

void prepareTextFont(Graphics& g, std::span<const uint8_t> image) {
  // A font of the wrong size (an asset still to be drawn) is blank.
  const bool usable = image.size() == static_cast<std::size_t>(kTextFontBytes);
  const std::size_t pixels = static_cast<std::size_t>(kTextFontWidth) * kTextFontHeight;
  for (std::size_t i = 0; i < pixels; ++i) g.fontPixels[i] = usable ? image[i] : 0;
  for (int i = 0; i < 256; ++i) {
    g.fontPalette[static_cast<std::size_t>(i)] =
        usable ? (static_cast<uint32_t>(image[pixels + 3 * i]) << 16 |
                  static_cast<uint32_t>(image[pixels + 3 * i + 1]) << 8 | image[pixels + 3 * i + 2])
               : 0;
  }
  // Each glyph's cell values, in drawing order, for both styles.
  for (int style = 0; style < 2; ++style) {
    const int firstRow = style == 0 ? 0 : kStyle2FirstRow;
    for (int c = 0; c < kGlyphCount; ++c) {
      auto& cell = g.glyphCells[static_cast<std::size_t>(style)][static_cast<std::size_t>(c)];
      for (int r = 0; r < kCellHeight; ++r) {
        for (int k = 0; k < kCellWidth; ++k) {
          const int col = c * kCellWidth + 1 + k;
          const uint32_t v = g.fontPixels[static_cast<std::size_t>((firstRow + r) * kTextFontWidth + col)];
          cell[static_cast<std::size_t>(r * kCellWidth + k)] = static_cast<uint8_t>(v);
        }
      }
    }
  }
}

void buildShadeTable(Graphics& g) {
  g.shade.fill(0);
  for (int group = 0; group < 10; ++group) {
    const GroupWeights& w = kGroups[static_cast<std::size_t>(group)];
    for (int level = 0; level < 3; ++level) {
      const int code = group * 3 + level + 1;
      const double d = kDivisors[static_cast<std::size_t>(level)];
      for (int v = 0; v < 256; ++v) {
        const uint32_t p = g.fontPalette[static_cast<std::size_t>(v)];
        const int32_t red = shadeChannel(static_cast<int32_t>(p >> 16 & 0xFF), d, w.red);
        const int32_t green = shadeChannel(static_cast<int32_t>(p >> 8 & 0xFF), d, w.green);
        const int32_t blue = shadeChannel(static_cast<int32_t>(p & 0xFF), d, w.blue);
        g.shade[static_cast<std::size_t>(v * kColourCodes + code)] =
            static_cast<uint32_t>(red) << 16 | static_cast<uint32_t>(green) << 8 | static_cast<uint32_t>(blue);
      }
    }
  }
  // The same table by code for drawing; code 31 (and the unused 0) is black.
  for (int code = 0; code <= kBlackCode; ++code) {
    for (int v = 0; v < 256; ++v) {
      g.shadeByCode[static_cast<std::size_t>(code)][static_cast<std::size_t>(v)] =
          code >= 1 && code < kBlackCode ? g.shade[static_cast<std::size_t>(v * kColourCodes + code)] : 0;
    }
  }
}

void drawGlyph(Graphics& g, std::string_view text, int32_t x, int32_t y, int32_t clipLeft, int32_t clipRight,
               int32_t clipTop, int32_t clipBottom, int32_t style, int32_t code) {
  glyphTransparent(g, firstByte(text), x, y, clipLeft, clipRight, clipTop, clipBottom, style, code);
}

void drawGlyphOpaque(Graphics& g, std::string_view text, int32_t x, int32_t y, int32_t style, int32_t code) {
  glyphOpaque(g, firstByte(text), x, y, style, code);
}

void drawText(Graphics& g, std::string_view text, int32_t x, int32_t y, int32_t clipLeft, int32_t clipRight,
              int32_t clipTop, int32_t clipBottom, int32_t style, int32_t code) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    glyphTransparent(g, static_cast<uint8_t>(text[i]), x + kCellWidth * static_cast<int32_t>(i), y, clipLeft,
                     clipRight, clipTop, clipBottom, style, code);
  }
}

int32_t ruleStyleOf(std::string_view rule) {
  // The rule text read as a number: leading blanks, a sign, digits and a
  // fraction; anything else ends the number ("" and "x" read as 0).
  std::size_t i = 0;
  while (i < rule.size() && rule[i] == ' ') ++i;
  bool negative = false;
  if (i < rule.size() && (rule[i] == '+' || rule[i] == '-')) negative = rule[i++] == '-';
  double value = 0;
  while (i < rule.size() && rule[i] >= '0' && rule[i] <= '9' && value < 1e9) value = value * 10 + (rule[i++] - '0');
  if (i < rule.size() && rule[i] == '.') {
    double scale = 0.1;
    for (++i; i < rule.size() && rule[i] >= '0' && rule[i] <= '9'; ++i, scale /= 10) value += (rule[i] - '0') * scale;
  }
  return roundEven(negative ? -value : value);
}

void drawArticleRules(Graphics& g, const ViewState& view, const content::ArticleView& article, int32_t top) {
  for (int32_t i = 0; i < kVisibleRows; ++i) {
    const int32_t y = view.pixelOffset + kArticleTop + kCellHeight * i + kCellHeight / 2;
    if (y < kTextClipTop || y > kRuleLowest) continue;
    const int64_t line = static_cast<int64_t>(top) + i;
    if (line < 0 || line >= static_cast<int64_t>(article.rule.size())) continue;
    const int32_t style = ruleStyleOf(article.rule[static_cast<std::size_t>(line)]);
    drawRule(g, y, kRuleX, kRuleLength, style, view.animClock);
  }
}

void drawArticleText(Graphics& g, const ViewState& view, const content::ArticleView& article, int32_t top) {
  const int32_t clipBottom = view.skin == 1 ? kOpaqueClipBottom : kSkin2TextClipBottom;
  const std::size_t cells = static_cast<std::size_t>(content::kLines) * content::kColumns;
  if (article.glyph.size() < cells || article.colour.size() < cells || article.style.size() < cells) return;
  for (int32_t i = 0; i < kVisibleRows; ++i) {
    const int64_t line = static_cast<int64_t>(top) + i;
    if (line < 0 || line >= view.lineCount || line > content::kLastLine) continue;
    const int32_t y = view.pixelOffset + kArticleTop + kCellHeight * i;
    const bool opaque = i >= 1 && i <= 30 && static_cast<std::size_t>(line) < article.rule.size() &&
                        article.rule[static_cast<std::size_t>(line)] == "0";
    const std::size_t base = content::ArticleView::cell(static_cast<int>(line), 0);
    for (int32_t q = 0; q <= content::kLastColumn; ++q) {
      const std::size_t at = base + static_cast<std::size_t>(q);
      const int32_t c = article.glyph[at];  // 0: the empty string, draws nothing
      const int32_t x = kArticleLeft + kCellWidth * q;
      if (opaque) {
        glyphOpaque(g, c, x, y, article.style[at], article.colour[at]);
      } else {
        glyphTransparent(g, c, x, y, 0, kFrameWidth, kTextClipTop, clipBottom, article.style[at], article.colour[at]);
      }
    }
  }
}

}  // namespace render
