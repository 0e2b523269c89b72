// The committed art assets, read the way the program embeds them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/assets/art/lib/picture.h"

namespace arttest {

inline std::vector<uint8_t> readAsset(const std::string& relative) {
  std::vector<uint8_t> bytes;
  art::readFile(std::string(QV_SOURCE_DIR) + "/assets/" + relative, bytes);
  return bytes;
}

// Splits a stored image into an IndexedPicture; empty picture when the size is wrong.
inline art::IndexedPicture unpack(const std::vector<uint8_t>& bytes, int width, int height, bool paletteFirst) {
  const std::size_t n = static_cast<std::size_t>(width) * height;
  art::IndexedPicture p;
  if (bytes.size() != n + 768) return p;
  p = art::IndexedPicture(width, height);
  const uint8_t* pal = paletteFirst ? bytes.data() : bytes.data() + n;
  const uint8_t* px = paletteFirst ? bytes.data() + 768 : bytes.data();
  std::copy(pal, pal + 768, p.palette.begin());
  std::copy(px, px + n, p.pixels.begin());
  return p;
}

inline double luminance(uint32_t c) {
  return 0.299 * ((c >> 16) & 255) + 0.587 * ((c >> 8) & 255) + 0.114 * (c & 255);
}

}  // namespace arttest
