// The rows of a frame that differ from the frame shown before: the browser
// edition copies only that band to the canvas. Free of browser code, so it
// builds and is tested natively.
#pragma once

#include <cstdint>
#include <cstring>

namespace host {

struct ChangedRows {
  int32_t first = 0;
  int32_t count = 0;  // 0: nothing changed
};

// Whether two rows of `width` pixels are equal. Two pixels at a time and
// without an early exit: the browser's C library compares byte by byte, and
// at rest all but a few of the 600 rows are equal, so every row is read to
// its end anyway.
inline bool sameRow(const uint32_t* a, const uint32_t* b, int32_t width) {
  uint64_t differ = 0;
  int32_t x = 0;
  for (; x + 2 <= width; x += 2) {
    uint64_t p = 0, q = 0;
    std::memcpy(&p, a + x, sizeof p);
    std::memcpy(&q, b + x, sizeof q);
    differ |= p ^ q;
  }
  if (x < width) differ |= a[x] ^ b[x];
  return differ == 0;
}

// Compares each row of `frame` with `shown` (both width x height pixels),
// copies the rows that differ into `shown` and returns the band from the
// first to the last of them. `all` counts every row as changed (nothing
// shown yet).
inline ChangedRows copyChangedRows(const uint32_t* frame, uint32_t* shown, int32_t width, int32_t height, bool all) {
  const size_t rowBytes = static_cast<size_t>(width) * sizeof(uint32_t);
  int32_t first = -1, last = -1;
  for (int32_t y = 0; y < height; ++y) {
    const size_t at = static_cast<size_t>(y) * static_cast<size_t>(width);
    if (!all && sameRow(frame + at, shown + at, width)) continue;
    std::memcpy(shown + at, frame + at, rowBytes);
    if (first < 0) first = y;
    last = y;
  }
  return first < 0 ? ChangedRows{} : ChangedRows{first, last - first + 1};
}

}  // namespace host
