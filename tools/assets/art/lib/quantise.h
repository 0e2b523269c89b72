// Reduces a true-colour painting to a 256-colour palette picture. Pixels
// marked as reserved get palette index 0 (one fixed colour); every other
// pixel gets one of the 255 colours chosen by median cut, none of which is
// allowed to equal the reserved colour.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/assets/art/lib/picture.h"

namespace art {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB
};

IndexedPicture quantise(const RgbImage& image, const std::vector<bool>& reserved, uint32_t reservedColour);

}  // namespace art
