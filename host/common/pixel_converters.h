// PixelConverters: one row of 0x00RRGGBB frame pixels into a display format.
//
// The display supports exactly eight formats, identified by the surface's bit
// count and its red, green and blue masks. Every conversion truncates (each
// 8-bit channel keeps its high bits), multi-byte pixels are stored
// little-endian, and only the plain 32-bit copy keeps the source's top byte;
// the others write 0 wherever the format has room for it.
//
//   bits  red       green   blue      output per pixel 0x00RRGGBB
//   32    0xFF0000  0xFF00  0xFF      the same 32-bit value (plain copy)
//   32    0xFF      0xFF00  0xFF0000  0x00BBGGRR
//   24    0xFF0000  0xFF00  0xFF      bytes BB, GG, RR
//   24    0xFF      0xFF00  0xFF0000  bytes RR, GG, BB
//   16    0xF800    0x7E0   0x1F      (RR>>3)<<11 | (GG>>2)<<5 | BB>>3
//   16    0x1F      0x7E0   0xF800    (BB>>3)<<11 | (GG>>2)<<5 | RR>>3
//   16    0x7C00    0x3E0   0x1F      (RR>>3)<<10 | (GG>>3)<<5 | BB>>3
//   16    0x1F      0x3E0   0x7C00    (BB>>3)<<10 | (GG>>3)<<5 | RR>>3
//
// The 24- and 16-bit converters work on groups of pixels and finish odd row
// lengths pixel by pixel; every pixel comes out as the rule above says.
#pragma once

#include <cstdint>

namespace host {

// Writes `count` pixels of `source` into `destination` (surface memory, any
// alignment).
using PixelConverter = void (*)(const uint32_t* source, uint8_t* destination, int32_t count);

struct PixelFormatKey {
  int32_t bitCount;
  uint32_t redMask;
  uint32_t greenMask;
  uint32_t blueMask;
};

void convertCopy32(const uint32_t* source, uint8_t* destination, int32_t count);
void convertSwap32(const uint32_t* source, uint8_t* destination, int32_t count);
void convertBgr24(const uint32_t* source, uint8_t* destination, int32_t count);  // red mask 0xFF0000
void convertRgb24(const uint32_t* source, uint8_t* destination, int32_t count);  // red mask 0xFF
void convert565(const uint32_t* source, uint8_t* destination, int32_t count);
void convert565Swapped(const uint32_t* source, uint8_t* destination, int32_t count);
void convert555(const uint32_t* source, uint8_t* destination, int32_t count);
void convert555Swapped(const uint32_t* source, uint8_t* destination, int32_t count);

struct PixelConverterEntry {
  PixelFormatKey format;
  PixelConverter convert;
  int32_t bytesPerPixel;
  const char* name;
};

// The eight supported formats, in the order of the table above.
inline constexpr int kPixelConverterCount = 8;
const PixelConverterEntry* pixelConverterTable();

// The converter for a format, or nullptr when the format has none.
PixelConverter findPixelConverter(const PixelFormatKey& format);

}  // namespace host
