// The program's desktop icon: the intro's big-font "Q" with its shadow and
// highlight, over black between two copper bands and a few stars, on a
// rounded square with a steel rim. Painted at each size from the same design
// with 8 x 8 samples per pixel, in integer arithmetic only, so every run on
// every machine gives the same bytes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/assets/art/lib/picture.h"

namespace art {

// The hicolor theme's usual application icon sizes.
inline constexpr std::array<int, 8> kIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

struct RgbaPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // red, green, blue, alpha (not premultiplied) per pixel
};

// `bigFont` is the intro's font as fontmaker builds it.
RgbaPicture paintIcon(int size, const IndexedPicture& bigFont);

// The sizes the Windows icon carries: the shell's small, list, large and
// jumbo views at the usual display scales.
inline constexpr std::array<int, 6> kWindowsIconSizes = {16, 24, 32, 48, 64, 256};

// A Windows .ico holding each picture as a PNG image (Windows Vista and
// later read those), in the order given. Every picture is square, 1 to 256
// pixels wide.
std::vector<uint8_t> encodeIco(const std::vector<RgbaPicture>& pictures);

}  // namespace art
