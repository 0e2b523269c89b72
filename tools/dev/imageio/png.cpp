#include "tools/dev/imageio/png.h"

#include <cstdio>

#include <stb_image.h>
#include <stb_image_write.h>

namespace imageio {

bool writePng(const std::string& path, const uint32_t* pixels, int width, int height) {
  std::vector<uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
    rgb[3 * i + 0] = static_cast<uint8_t>(pixels[i] >> 16);
    rgb[3 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
    rgb[3 * i + 2] = static_cast<uint8_t>(pixels[i]);
  }
  if (!stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

bool readPng(const std::string& path, Image& out) {
  int w = 0, h = 0, n = 0;
  unsigned char* data = stbi_load(path.c_str(), &w, &h, &n, 3);
  if (!data) return false;
  out.width = w;
  out.height = h;
  out.pixels.resize(static_cast<std::size_t>(w) * h);
  for (std::size_t i = 0; i < out.pixels.size(); ++i) {
    out.pixels[i] = (uint32_t{data[3 * i]} << 16) | (uint32_t{data[3 * i + 1]} << 8) | data[3 * i + 2];
  }
  stbi_image_free(data);
  return true;
}

bool writeIndexedPng(const std::string& path, const uint8_t* indices, const uint8_t* palette, int width,
                     int height) {
  std::vector<uint32_t> px(static_cast<std::size_t>(width) * height);
  for (std::size_t i = 0; i < px.size(); ++i) {
    const uint8_t* p = palette + 3 * indices[i];
    px[i] = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
  return writePng(path, px.data(), width, height);
}

}  // namespace imageio
