// Palette pictures as the magazine stores them, and the small helpers every
// art tool shares: a deterministic random source and an indexed PNG writer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace art {

// One byte per pixel, row-major, top row first, with a 256-entry RGB palette.
struct IndexedPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;
  std::array<uint8_t, 768> palette{};  // red, green, blue per entry

  IndexedPicture() = default;
  IndexedPicture(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, 0) {}
  uint8_t& at(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
  uint8_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  void setColour(int index, uint8_t r, uint8_t g, uint8_t b) {
    palette[3 * index] = r;
    palette[3 * index + 1] = g;
    palette[3 * index + 2] = b;
  }
  uint32_t colour(int index) const {  // 0x00RRGGBB
    return (uint32_t{palette[3 * index]} << 16) | (uint32_t{palette[3 * index + 1]} << 8) | palette[3 * index + 2];
  }
};

// The two stored layouts: fonts keep the palette after the pixels, skins before.
std::vector<uint8_t> pixelsThenPalette(const IndexedPicture& picture);
std::vector<uint8_t> paletteThenPixels(const IndexedPicture& picture);

// Writes an 8-bit palette PNG (colour type 3). False when the file cannot be written.
bool writeIndexedPng(const std::string& path, const IndexedPicture& picture);
// The PNG bytes themselves, for tests and for writeIndexedPng.
std::vector<uint8_t> encodeIndexedPng(const IndexedPicture& picture);
// An 8-bit RGBA PNG (colour type 6) of `rgba`: four bytes per pixel, row-major.
std::vector<uint8_t> encodeRgbaPng(int width, int height, const std::vector<uint8_t>& rgba);

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool readFile(const std::string& path, std::vector<uint8_t>& bytes);
bool readTextFile(const std::string& path, std::string& text);

// SplitMix64: the same sequence on every platform, unlike <random>'s distributions.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }  // [0, 1)
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
  double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }

 private:
  uint64_t state_;
};

}  // namespace art
