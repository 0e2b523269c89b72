#include "host/pixel_converters.h"

#include <bit>
#include <cstring>

namespace host {
namespace {

inline uint32_t red(uint32_t p) { return (p >> 16) & 0xFFu; }
inline uint32_t green(uint32_t p) { return (p >> 8) & 0xFFu; }
inline uint32_t blue(uint32_t p) { return p & 0xFFu; }

// Little-endian stores to any address (one plain store on little-endian hosts).
inline void store16(uint8_t* d, uint32_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(d, &w, 2);
  } else {
    d[0] = static_cast<uint8_t>(v);
    d[1] = static_cast<uint8_t>(v >> 8);
  }
}

inline void store32(uint8_t* d, uint32_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(d, &v, 4);
  } else {
    d[0] = static_cast<uint8_t>(v);
    d[1] = static_cast<uint8_t>(v >> 8);
    d[2] = static_cast<uint8_t>(v >> 16);
    d[3] = static_cast<uint8_t>(v >> 24);
  }
}

inline uint32_t pack565(uint32_t high, uint32_t mid, uint32_t low) {
  return ((high >> 3) << 11) | ((mid >> 2) << 5) | (low >> 3);
}

inline uint32_t pack555(uint32_t high, uint32_t mid, uint32_t low) {
  return ((high >> 3) << 10) | ((mid >> 3) << 5) | (low >> 3);
}

// 16-bit formats: four pixels become two 32-bit words, stored little-endian.
template <uint32_t (*Pack)(uint32_t)>
void convert16(const uint32_t* s, uint8_t* d, int32_t count) {
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    store32(d + 2 * i, Pack(s[i]) | (Pack(s[i + 1]) << 16));
    store32(d + 2 * i + 4, Pack(s[i + 2]) | (Pack(s[i + 3]) << 16));
  }
  for (; i < count; ++i) store16(d + 2 * i, Pack(s[i]));
}

inline uint32_t rgb565(uint32_t p) { return pack565(red(p), green(p), blue(p)); }
inline uint32_t bgr565(uint32_t p) { return pack565(blue(p), green(p), red(p)); }
inline uint32_t rgb555(uint32_t p) { return pack555(red(p), green(p), blue(p)); }
inline uint32_t bgr555(uint32_t p) { return pack555(blue(p), green(p), red(p)); }

// 24-bit formats: four pixels (three bytes each, lowest byte first) become
// three 32-bit words.
template <bool SwapRedBlue>
void convert24(const uint32_t* s, uint8_t* d, int32_t count) {
  auto bytes = [](uint32_t p) -> uint32_t {
    // The three output bytes of one pixel as a 24-bit little-endian value.
    return SwapRedBlue ? (red(p) | (green(p) << 8) | (blue(p) << 16)) : (p & 0xFFFFFFu);
  };
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const uint32_t a = bytes(s[i]);
    const uint32_t b = bytes(s[i + 1]);
    const uint32_t c = bytes(s[i + 2]);
    const uint32_t e = bytes(s[i + 3]);
    uint8_t* o = d + 3 * i;
    store32(o, a | (b << 24));
    store32(o + 4, (b >> 8) | (c << 16));
    store32(o + 8, (c >> 16) | (e << 8));
  }
  for (; i < count; ++i) {
    const uint32_t v = bytes(s[i]);
    uint8_t* o = d + 3 * i;
    o[0] = static_cast<uint8_t>(v);
    o[1] = static_cast<uint8_t>(v >> 8);
    o[2] = static_cast<uint8_t>(v >> 16);
  }
}

const PixelConverterEntry kTable[kPixelConverterCount] = {
    {{32, 0xFF0000, 0xFF00, 0xFF}, &convertCopy32, 4, "copy32"},
    {{32, 0xFF, 0xFF00, 0xFF0000}, &convertSwap32, 4, "swap32"},
    {{24, 0xFF0000, 0xFF00, 0xFF}, &convertBgr24, 3, "bgr24"},
    {{24, 0xFF, 0xFF00, 0xFF0000}, &convertRgb24, 3, "rgb24"},
    {{16, 0xF800, 0x7E0, 0x1F}, &convert565, 2, "rgb565"},
    {{16, 0x1F, 0x7E0, 0xF800}, &convert565Swapped, 2, "bgr565"},
    {{16, 0x7C00, 0x3E0, 0x1F}, &convert555, 2, "rgb555"},
    {{16, 0x1F, 0x3E0, 0x7C00}, &convert555Swapped, 2, "bgr555"},
};

}  // namespace

void convertCopy32(const uint32_t* source, uint8_t* destination, int32_t count) {
  if (count > 0) std::memcpy(destination, source, static_cast<std::size_t>(count) * 4);
}

void convertSwap32(const uint32_t* s, uint8_t* d, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t p = s[i];
    store32(d + 4 * i, blue(p) << 16 | (p & 0xFF00u) | red(p));
  }
}

void convertBgr24(const uint32_t* s, uint8_t* d, int32_t count) { convert24<false>(s, d, count); }
void convertRgb24(const uint32_t* s, uint8_t* d, int32_t count) { convert24<true>(s, d, count); }
void convert565(const uint32_t* s, uint8_t* d, int32_t count) { convert16<&rgb565>(s, d, count); }
void convert565Swapped(const uint32_t* s, uint8_t* d, int32_t count) { convert16<&bgr565>(s, d, count); }
void convert555(const uint32_t* s, uint8_t* d, int32_t count) { convert16<&rgb555>(s, d, count); }
void convert555Swapped(const uint32_t* s, uint8_t* d, int32_t count) { convert16<&bgr555>(s, d, count); }

const PixelConverterEntry* pixelConverterTable() { return kTable; }

PixelConverter findPixelConverter(const PixelFormatKey& f) {
  for (const PixelConverterEntry& e : kTable) {
    if (e.format.bitCount == f.bitCount && e.format.redMask == f.redMask && e.format.greenMask == f.greenMask &&
        e.format.blueMask == f.blueMask) {
      return e.convert;
    }
  }
  return nullptr;
}

}  // namespace host
