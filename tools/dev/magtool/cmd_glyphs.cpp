// magtool glyphs: the text font's 224 glyphs of both styles in colour code 1,
// 32 to a row, style 1 rows first: a proof sheet for the font artist.
#include <cstdio>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "render/graphics.h"
#include "render/render.h"
#include "tools/dev/imageio/png.h"
#include "tools/dev/magtool/magtool.h"

namespace {

constexpr const char* kUsage = "glyphs OUT.png";
constexpr int kPerRow = 32;
constexpr int kRowsPerStyle = render::kGlyphCount / kPerRow;  // 7
constexpr int kSheetWidth = kPerRow * render::kCellWidth;     // 288
constexpr int kSheetHeight = 2 * kRowsPerStyle * render::kCellHeight;  // 168

int run(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: magtool %s\n", kUsage);
    return 2;
  }
  auto g = render::createGraphics();
  render::setUpRenderer(*g, render::ImageAssets{assets::grungeSkin(), assets::carbonSkin(), assets::textFont(),
                                                assets::bigFont()});
  render::clearFrame(*g);
  for (int style = 1; style <= 2; ++style) {
    for (int i = 0; i < render::kGlyphCount; ++i) {
      const char c = static_cast<char>(render::kFirstGlyph + i);
      const int x = (i % kPerRow) * render::kCellWidth;
      const int y = ((style - 1) * kRowsPerStyle + i / kPerRow) * render::kCellHeight;
      render::drawGlyph(*g, std::string(1, c), x, y, 0, render::kFrameWidth - 1, 0, render::kFrameHeight - 1, style, 1);
    }
  }
  std::vector<uint32_t> sheet(static_cast<std::size_t>(kSheetWidth) * kSheetHeight);
  const uint32_t* frame = render::framePixels(*g);
  for (int y = 0; y < kSheetHeight; ++y) {
    for (int x = 0; x < kSheetWidth; ++x) {
      sheet[static_cast<std::size_t>(y * kSheetWidth + x)] = frame[y * render::kFrameWidth + x];
    }
  }
  return imageio::writePng(argv[1], sheet.data(), kSheetWidth, kSheetHeight) ? 0 : 1;
}

magtool::Registration reg{{"glyphs", kUsage, &run}};

}  // namespace
