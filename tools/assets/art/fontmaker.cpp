// fontmaker: builds assets/fonts/text_font.bin and big_font.bin (with PNG
// copies for artists) from the text-art sources in tools/assets/art/glyphs.
//
//   fontmaker [--glyphs DIR] [--out DIR]
//
// Defaults are the source tree's own folders, so a plain `fontmaker`
// regenerates the committed fonts byte for byte.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/assets/art/lib/sources.h"

int main(int argc, char** argv) {
  std::string glyphDir = art::glyphDirectory();
  std::string outDir = art::assetDirectory() + "/fonts";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--glyphs")) glyphDir = argv[i + 1];
    else if (!std::strcmp(argv[i], "--out")) outDir = argv[i + 1];
    else {
      std::fprintf(stderr, "usage: fontmaker [--glyphs DIR] [--out DIR]\n");
      return 2;
    }
  }
  art::IndexedPicture text, big;
  std::string error;
  if (!art::makeTextFont(glyphDir, text, error) || !art::makeBigFont(glyphDir, big, error)) {
    std::fprintf(stderr, "fontmaker: %s\n", error.c_str());
    return 1;
  }
  bool ok = art::writeFile(outDir + "/text_font.bin", art::pixelsThenPalette(text)) &&
            art::writeIndexedPng(outDir + "/text_font.png", text) &&
            art::writeFile(outDir + "/big_font.bin", art::pixelsThenPalette(big)) &&
            art::writeIndexedPng(outDir + "/big_font.png", big);
  if (ok) std::printf("fontmaker: wrote text_font and big_font to %s\n", outDir.c_str());
  return ok ? 0 : 1;
}
