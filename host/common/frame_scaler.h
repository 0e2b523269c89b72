// FrameScaler: the 800 x 600 frame shown on a screen of any size.
//
// Where the display offers no mode of the frame's own size, the frame fills
// the largest rectangle of its shape that fits the screen, centred between
// black bars (`fitFrame`), and the pointer is read back through the same
// rectangle (`screenToFrame`).
//
// The scaler stays crisp at any factor. Enlarging, it behaves like a
// nearest-neighbour enlargement to a very large whole factor followed by one
// linear (box) step down to the final size: every frame pixel becomes a block
// of exactly its share of the screen, and only the one screen pixel on which
// two frame pixels meet mixes them, weighted by how much of it each covers.
// At a whole factor (and at 1:1) that is plain nearest-neighbour. Shrinking
// (640 x 480), it is one linear step. Mixing is (a (64 - w) + b w + 32) / 64
// (rounded down) per channel with w in 0..64, the same in every path.
//
// Work per frame: each frame row is widened once into a 32-bit row cache;
// every screen row is then either one cached row or a vertical mix of two,
// written into the surface through the display's PixelConverter (the plain
// 32-bit format straight into surface memory, no extra copy). The widening
// and mixing run eight pixels at a time with AVX2 where the processor has it
// (chosen at run time), else four at a time with SSE2, else one by one.
//
// A host whose surface keeps what was written into it (the same surface,
// nothing else drawing there) may ask for only the changed rows: the scaler
// then keeps a copy of the last frame and writes just the screen rows whose
// frame rows differ from it. The reader at rest changes six rows a frame.
//
// No platform dependency: the SDL host, the Windows edition and the browser
// edition share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/common/pixel_converters.h"

namespace host {

// A rectangle on the screen (surface pixels), half-open: x .. x + width - 1.
struct ScreenRect {
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
};

struct FramePoint {
  int32_t x;
  int32_t y;
};

// The largest rectangle with the frame's shape (within one pixel) that fits a
// screen of the given size, centred. A screen of exactly the frame's size
// gets (0, 0, frameWidth, frameHeight). Empty sizes give an empty rectangle.
ScreenRect fitFrame(int32_t screenWidth, int32_t screenHeight, int32_t frameWidth, int32_t frameHeight);

// A screen position to the frame pixel shown there (the pixel whose area
// contains the screen pixel's centre). Outside `area` the result clamps to
// the frame's nearest edge, so it is always within 0..frameWidth - 1 and
// 0..frameHeight - 1.
FramePoint screenToFrame(const ScreenRect& area, int32_t frameWidth, int32_t frameHeight, int32_t screenX,
                         int32_t screenY);

// One screen pixel's sources along an axis: frame pixel `first` mixed with
// `first + 1` by weight / 64 (weight 0: `first` alone).
struct ScaleTap {
  int32_t first;
  int32_t weight;
};

// The taps of every screen pixel when `frameSize` pixels are shown on
// `screenSize` pixels (both > 0).
std::vector<ScaleTap> scaleTaps(int32_t frameSize, int32_t screenSize);

inline constexpr int32_t kMixOne = 64;

// (a (64 - weight) + b weight + 32) >> 6 in each of the three colour
// channels (weight 0..64); the top byte of the result is 0.
inline uint32_t mixPixels(uint32_t a, uint32_t b, int32_t weight) {
  const uint32_t w = static_cast<uint32_t>(weight), v = static_cast<uint32_t>(kMixOne - weight);
  const uint32_t rb = (((a & 0xFF00FFu) * v + (b & 0xFF00FFu) * w + 0x200020u) >> 6) & 0xFF00FFu;
  const uint32_t g = (((a & 0x00FF00u) * v + (b & 0x00FF00u) * w + 0x002000u) >> 6) & 0x00FF00u;
  return rb | g;
}

// The column tables of the vector widening paths, made once per configure.
//
// SSE2 reads each screen column's two sources with one 8-byte load from its
// first frame column and mixes them with one 16-bit weight per byte of the
// pixel (0 for the top byte), four columns at a time.
struct Sse2Columns {
  std::vector<int32_t> first;   // per screen column
  std::vector<int16_t> weights;  // four per screen column
};

// AVX2 widens groups of four screen columns that draw on at most four
// neighbouring frame pixels (the group's window), two groups at a time: the
// first group in the low 128-bit lane, the second in the high one.
struct Avx2GroupPair {
  // Per half (columns 0-1, columns 2-3), per group, per column of the half:
  // the window bytes that pair the column's two sources channel by channel
  // (0x80, which gives 0, for the top byte) and the pairs' weights (64 - w, w).
  // Each half is one 32-byte vector.
  uint8_t shuffle[2][2][2][8];
  uint8_t weights[2][2][2][8];
};

struct Avx2Columns {
  std::vector<int32_t> windowStart;  // per group its window's first frame column; -1 when it has none
  std::vector<Avx2GroupPair> pairs;  // per pair of groups
  bool everyGroupFits = false;       // the AVX2 widening is used only then
};

class FrameScaler {
 public:
  // Prepares to show a frameWidth x frameHeight frame in `area` of a surface
  // whose pixels `convert` writes (bytesPerPixel each). False (and nothing
  // prepared) for empty sizes or a missing converter.
  bool configure(int32_t frameWidth, int32_t frameHeight, const ScreenRect& area, PixelConverter convert,
                 int32_t bytesPerPixel);
  bool configured() const { return convert_ != nullptr; }
  // Tests and benchmarks: false keeps the scaler on the narrower paths even
  // where AVX2 is available (takes effect at the next `configure`).
  void allowAvx2(bool allow) { allowAvx2_ = allow; }
  bool usingAvx2() const { return useAvx2_; }
  const ScreenRect& area() const { return area_; }

  // Writes the scaled frame into `area` of the surface whose first row starts
  // at `surface` (pitch in bytes). Pixels outside the area are not touched.
  // `surfaceKept`: the surface still holds what the last call wrote (the
  // same memory, untouched since), so that screen rows whose frame rows have
  // not changed are left as they are. A different surface or pitch than the
  // last call's, or a new `configure`, writes every row.
  void scale(const uint32_t* frame, uint8_t* surface, std::size_t pitch, bool surfaceKept = false);

 private:
  void widenRow(const uint32_t* frameRow, uint32_t* out) const;
  const uint32_t* widened(const uint32_t* frame, int32_t frameRow, int32_t slot);

  int32_t frameWidth_ = 0;
  int32_t frameHeight_ = 0;
  ScreenRect area_{0, 0, 0, 0};
  PixelConverter convert_ = nullptr;
  int32_t bytesPerPixel_ = 0;
  bool plainCopy_ = false;
  std::vector<ScaleTap> columns_;
  std::vector<ScaleTap> rows_;
  Sse2Columns sse2Columns_;
  Avx2Columns avx2Columns_;
  bool useAvx2_ = false;
  bool avx2Widen_ = false;  // AVX2 available and every group fits its window
  bool allowAvx2_ = true;
  std::vector<uint32_t> cache_;      // two widened rows
  int32_t cachedRow_[2] = {-1, -1};  // frame row held by each cache slot
  std::vector<uint32_t> mixed_;      // one mixed row before conversion
  // The last frame written into a kept surface, and per frame row whether
  // this frame changed it.
  std::vector<uint32_t> lastFrame_;
  std::vector<uint8_t> rowChanged_;
  const uint8_t* lastSurface_ = nullptr;
  std::size_t lastPitch_ = 0;
  bool lastFrameValid_ = false;

  void findChangedRows(const uint32_t* frame, uint8_t* surface, std::size_t pitch, bool surfaceKept);
};

}  // namespace host
