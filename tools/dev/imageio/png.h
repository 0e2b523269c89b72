// PNG files for magtool and the image tests: 0x00RRGGBB pixels in, out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imageio {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, row-major, top row first
};

// Writes an RGB PNG. False (and a message on stderr) on failure.
bool writePng(const std::string& path, const uint32_t* pixels, int width, int height);
// Reads any PNG as RGB. False when the file cannot be read or decoded.
bool readPng(const std::string& path, Image& out);
// Writes an 8-bit palette image (indices + 768-byte RGB palette) as an RGB PNG.
bool writeIndexedPng(const std::string& path, const uint8_t* indices, const uint8_t* palette, int width, int height);

}  // namespace imageio
