// skinpainter: paints assets/skins/grunge.bin ('Grunge', skin 1) and
// carbon.bin ('Carbon', skin 2), palette first, with PNG copies for artists.
// Labels and logo are set in the magazine's own fonts, built from
// tools/assets/art/glyphs, so the skins always match the fonts in the program.
//
//   skinpainter [--out DIR]
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/assets/art/lib/skin_painter.h"
#include "tools/assets/art/lib/sources.h"

int main(int argc, char** argv) {
  std::string outDir = art::assetDirectory() + "/skins";
  if (argc == 3 && !std::strcmp(argv[1], "--out")) outDir = argv[2];
  else if (argc != 1) {
    std::fprintf(stderr, "usage: skinpainter [--out DIR]\n");
    return 2;
  }
  art::IndexedPicture text, big;
  std::string error;
  if (!art::makeTextFont(art::glyphDirectory(), text, error) || !art::makeBigFont(art::glyphDirectory(), big, error)) {
    std::fprintf(stderr, "skinpainter: %s\n", error.c_str());
    return 1;
  }
  const char* names[] = {"grunge", "carbon"};
  for (int skin = 1; skin <= 2; ++skin) {
    art::IndexedPicture picture = art::paintSkin(skin, text, big);
    std::string base = outDir + "/" + names[skin - 1];
    if (!art::writeFile(base + ".bin", art::paletteThenPixels(picture)) || !art::writeIndexedPng(base + ".png", picture))
      return 1;
  }
  std::printf("skinpainter: wrote grunge and carbon to %s\n", outDir.c_str());
  return 0;
}
