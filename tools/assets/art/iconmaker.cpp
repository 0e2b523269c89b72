// iconmaker: paints the desktop icon at the hicolor theme's usual sizes into
// dist/icons/SIZExSIZE/quorvaline.png from the intro's big font (built from
// tools/assets/art/glyphs, like the font the program embeds), and the Windows
// program's icon, dist/icons/quorvaline.ico, from the same pictures.
//
//   iconmaker [--out DIR]
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/assets/art/lib/icon.h"
#include "tools/assets/art/lib/sources.h"

int main(int argc, char** argv) {
  std::string outDir = art::iconDirectory();
  if (argc == 3 && !std::strcmp(argv[1], "--out")) outDir = argv[2];
  else if (argc != 1) {
    std::fprintf(stderr, "usage: iconmaker [--out DIR]\n");
    return 2;
  }
  art::IndexedPicture big;
  std::string error;
  if (!art::makeBigFont(art::glyphDirectory(), big, error)) {
    std::fprintf(stderr, "iconmaker: %s\n", error.c_str());
    return 1;
  }
  std::vector<art::RgbaPicture> windowsIcons;
  for (int size : art::kWindowsIconSizes) windowsIcons.push_back(art::paintIcon(size, big));
  std::error_code made;
  std::filesystem::create_directories(outDir, made);
  if (!art::writeFile(outDir + "/quorvaline.ico", art::encodeIco(windowsIcons))) return 1;
  for (int size : art::kIconSizes) {
    const art::RgbaPicture icon = art::paintIcon(size, big);
    const std::string dir = outDir + "/" + std::to_string(size) + "x" + std::to_string(size);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!art::writeFile(dir + "/quorvaline.png", art::encodeRgbaPng(icon.width, icon.height, icon.rgba))) return 1;
  }
  std::printf("iconmaker: wrote %zu sizes and quorvaline.ico to %s\n", art::kIconSizes.size(), outDir.c_str());
  return 0;
}
