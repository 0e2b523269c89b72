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

// Compares each row of `frame` with `shown` (both width x height pixels),
// copies the rows that differ into `shown` and returns the band from the
// first to the last of them. `all` counts every row as changed (nothing
// shown yet).
inline ChangedRows copyChangedRows(const uint32_t* frame, uint32_t* shown, int32_t width, int32_t height, bool all) {
  const size_t rowBytes = static_cast<size_t>(width) * sizeof(uint32_t);
  int32_t first = -1, last = -1;
  for (int32_t y = 0; y < height; ++y) {
    const size_t at = static_cast<size_t>(y) * static_cast<size_t>(width);
    if (!all && std::memcmp(frame + at, shown + at, rowBytes) == 0) continue;
    std::memcpy(shown + at, frame + at, rowBytes);
    if (first < 0) first = y;
    last = y;
  }
  return first < 0 ? ChangedRows{} : ChangedRows{first, last - first + 1};
}

}  // namespace host
