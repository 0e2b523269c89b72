#include "tools/assets/art/lib/picture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

// Debian's libstb exports its deflate; we only need that one function.
extern "C" unsigned char* stbi_zlib_compress(unsigned char* data, int data_len, int* out_len, int quality);

namespace art {

std::vector<uint8_t> pixelsThenPalette(const IndexedPicture& picture) {
  std::vector<uint8_t> out(picture.pixels);
  out.insert(out.end(), picture.palette.begin(), picture.palette.end());
  return out;
}

std::vector<uint8_t> paletteThenPixels(const IndexedPicture& picture) {
  std::vector<uint8_t> out(picture.palette.begin(), picture.palette.end());
  out.insert(out.end(), picture.pixels.begin(), picture.pixels.end());
  return out;
}

namespace {

uint32_t crc32(const uint8_t* data, std::size_t n, uint32_t crc = 0) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body) {
  put32(out, static_cast<uint32_t>(body.size()));
  std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), body.begin(), body.end());
  put32(out, crc32(out.data() + start, out.size() - start));
}

}  // namespace

namespace {

// Signature, IHDR (8 bits per sample, the given colour type), optional PLTE,
// then the rows (each with filter type 0) deflated into one IDAT.
std::vector<uint8_t> encodePng(int width, int height, uint8_t colourType, const uint8_t* palette,
                               const std::vector<uint8_t>& pixels, int bytesPerPixel) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> out(kSignature, kSignature + 8);

  std::vector<uint8_t> header;
  put32(header, static_cast<uint32_t>(width));
  put32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, colourType, 0, 0, 0});  // 8 bits, deflate, no filter choice, no interlace
  chunk(out, "IHDR", header);
  if (palette != nullptr) chunk(out, "PLTE", std::vector<uint8_t>(palette, palette + 768));

  const std::size_t rowBytes = static_cast<std::size_t>(width) * bytesPerPixel;
  std::vector<uint8_t> raw;
  raw.reserve(pixels.size() + height);
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    auto row = pixels.begin() + static_cast<std::ptrdiff_t>(y * rowBytes);
    raw.insert(raw.end(), row, row + static_cast<std::ptrdiff_t>(rowBytes));
  }
  int packedSize = 0;
  unsigned char* packed = stbi_zlib_compress(raw.data(), static_cast<int>(raw.size()), &packedSize, 8);
  std::vector<uint8_t> body(packed, packed + packedSize);
  std::free(packed);
  chunk(out, "IDAT", body);
  chunk(out, "IEND", {});
  return out;
}

}  // namespace

std::vector<uint8_t> encodeIndexedPng(const IndexedPicture& picture) {
  return encodePng(picture.width, picture.height, 3, picture.palette.data(), picture.pixels, 1);
}

std::vector<uint8_t> encodeRgbaPng(int width, int height, const std::vector<uint8_t>& rgba) {
  return encodePng(width, height, 6, nullptr, rgba, 4);
}

bool writeIndexedPng(const std::string& path, const IndexedPicture& picture) {
  return writeFile(path, encodeIndexedPng(picture));
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary);
  if (!f) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

bool readFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  bytes.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return true;
}

bool readTextFile(const std::string& path, std::string& text) {
  std::ifstream f(path);
  if (!f) return false;
  std::stringstream ss;
  ss << f.rdbuf();
  text = ss.str();
  return true;
}

}  // namespace art
