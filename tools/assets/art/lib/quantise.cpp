#include "tools/assets/art/lib/quantise.h"

#include <algorithm>
#include <array>
#include <limits>

namespace art {

namespace {

constexpr int kBits = 5;  // histogram resolution per channel
constexpr int kSide = 1 << kBits;

struct Bin {
  uint32_t count = 0;
  uint64_t r = 0, g = 0, b = 0;
};

struct Box {
  std::vector<int> bins;  // histogram indices
  uint64_t count = 0;
  int longestAxis = 0;
  int extent = 0;
};

int channelOf(int bin, int axis) { return (bin >> (kBits * (2 - axis))) & (kSide - 1); }

void measure(Box& box, const std::vector<Bin>& hist) {
  int lo[3] = {kSide, kSide, kSide}, hi[3] = {-1, -1, -1};
  box.count = 0;
  for (int i : box.bins) {
    box.count += hist[i].count;
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], channelOf(i, a));
      hi[a] = std::max(hi[a], channelOf(i, a));
    }
  }
  box.extent = -1;
  for (int a = 0; a < 3; ++a) {
    // Green counts a little more, as the eye does.
    int e = (hi[a] - lo[a]) * (a == 1 ? 4 : 3);
    if (e > box.extent) {
      box.extent = e;
      box.longestAxis = a;
    }
  }
}

}  // namespace

IndexedPicture quantise(const RgbImage& image, const std::vector<bool>& reserved, uint32_t reservedColour) {
  std::vector<Bin> hist(kSide * kSide * kSide);
  auto binOf = [](uint32_t c) {
    return static_cast<int>((((c >> 16) & 255) >> (8 - kBits)) << (2 * kBits) |
                            (((c >> 8) & 255) >> (8 - kBits)) << kBits | ((c & 255) >> (8 - kBits)));
  };
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    if (reserved[i]) continue;
    uint32_t c = image.pixels[i];
    Bin& b = hist[binOf(c)];
    ++b.count;
    b.r += (c >> 16) & 255;
    b.g += (c >> 8) & 255;
    b.b += c & 255;
  }

  std::vector<Box> boxes(1);
  for (int i = 0; i < static_cast<int>(hist.size()); ++i)
    if (hist[i].count) boxes[0].bins.push_back(i);
  measure(boxes[0], hist);
  while (boxes.size() < 255) {
    // Split the box that is widest, weighted by how many pixels it holds.
    int best = -1;
    double bestScore = 0;
    for (int k = 0; k < static_cast<int>(boxes.size()); ++k) {
      if (boxes[k].bins.size() < 2) continue;
      double score = static_cast<double>(boxes[k].extent) * static_cast<double>(boxes[k].count);
      if (score > bestScore) {
        bestScore = score;
        best = k;
      }
    }
    if (best < 0) break;
    Box& box = boxes[best];
    const int axis = box.longestAxis;
    std::stable_sort(box.bins.begin(), box.bins.end(),
                     [axis](int a, int b) { return channelOf(a, axis) < channelOf(b, axis); });
    uint64_t half = box.count / 2, run = 0;
    std::size_t cut = 1;
    for (std::size_t k = 0; k + 1 < box.bins.size(); ++k) {
      run += hist[box.bins[k]].count;
      cut = k + 1;
      if (run >= half) break;
    }
    Box other;
    other.bins.assign(box.bins.begin() + static_cast<std::ptrdiff_t>(cut), box.bins.end());
    box.bins.resize(cut);
    measure(box, hist);
    measure(other, hist);
    boxes.push_back(std::move(other));
  }

  IndexedPicture out(image.width, image.height);
  const uint8_t kr = static_cast<uint8_t>(reservedColour >> 16), kg = static_cast<uint8_t>(reservedColour >> 8),
                kb = static_cast<uint8_t>(reservedColour);
  out.setColour(0, kr, kg, kb);
  int colours = 0;
  for (const Box& box : boxes) {
    uint64_t n = 0, r = 0, g = 0, b = 0;
    for (int i : box.bins) {
      n += hist[i].count;
      r += hist[i].r;
      g += hist[i].g;
      b += hist[i].b;
    }
    if (!n) continue;
    uint8_t cr = static_cast<uint8_t>((r + n / 2) / n), cg = static_cast<uint8_t>((g + n / 2) / n),
            cb = static_cast<uint8_t>((b + n / 2) / n);
    if (cr == kr && cg == kg && cb == kb) cg = static_cast<uint8_t>(cg + 1);  // never the reserved colour
    out.setColour(++colours, cr, cg, cb);
  }
  if (colours == 0) out.setColour(++colours, static_cast<uint8_t>(kr + 1), kg, kb);

  // Nearest palette colour per true colour, cached per 6-bit cell.
  std::vector<int16_t> cache(1 << 18, -1);
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    if (reserved[i]) continue;  // index 0
    uint32_t c = image.pixels[i];
    int key = static_cast<int>((((c >> 18) & 63) << 12) | (((c >> 10) & 63) << 6) | ((c >> 2) & 63));
    if (cache[key] < 0) {
      int r = (((c >> 16) & 255) & ~3) + 2, g = (((c >> 8) & 255) & ~3) + 2, b = ((c & 255) & ~3) + 2;
      int best = 1;
      long bestD = std::numeric_limits<long>::max();
      for (int k = 1; k <= colours; ++k) {
        long dr = r - out.palette[3 * k], dg = g - out.palette[3 * k + 1], db = b - out.palette[3 * k + 2];
        long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (d < bestD) {
          bestD = d;
          best = k;
        }
      }
      cache[key] = static_cast<int16_t>(best);
    }
    out.pixels[i] = static_cast<uint8_t>(cache[key]);
  }
  return out;
}

}  // namespace art
