#include "host/frame_scaler.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace host {
namespace {

constexpr int32_t kWeightOne = 128;

// round(numerator / denominator) for non-negative values.
int64_t roundedQuotient(int64_t numerator, int64_t denominator) { return (2 * numerator + denominator) / (2 * denominator); }

#if defined(__SSE2__)
// a + floor((b - a) * w / 128) on four pixels, w given per 16-bit lane.
inline __m128i mix4(__m128i a, __m128i b, __m128i weightsLow, __m128i weightsHigh) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i aLow = _mm_unpacklo_epi8(a, zero), aHigh = _mm_unpackhi_epi8(a, zero);
  const __m128i bLow = _mm_unpacklo_epi8(b, zero), bHigh = _mm_unpackhi_epi8(b, zero);
  const __m128i low = _mm_add_epi16(aLow, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(bLow, aLow), weightsLow), 7));
  const __m128i high =
      _mm_add_epi16(aHigh, _mm_srai_epi16(_mm_mullo_epi16(_mm_sub_epi16(bHigh, aHigh), weightsHigh), 7));
  return _mm_and_si128(_mm_packus_epi16(low, high), _mm_set1_epi32(0x00FFFFFF));
}
#endif

// One screen row as the vertical mix of two widened rows.
void mixRows(const uint32_t* a, const uint32_t* b, int32_t weight, uint32_t* out, int32_t count) {
  int32_t x = 0;
#if defined(__SSE2__)
  const __m128i w = _mm_set1_epi16(static_cast<int16_t>(weight));
  for (; x + 4 <= count; x += 4) {
    const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
    const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), mix4(pa, pb, w, w));
  }
#endif
  for (; x < count; ++x) out[x] = mixPixels(a[x], b[x], weight);
}

}  // namespace

ScreenRect fitFrame(int32_t screenWidth, int32_t screenHeight, int32_t frameWidth, int32_t frameHeight) {
  if (screenWidth <= 0 || screenHeight <= 0 || frameWidth <= 0 || frameHeight <= 0) return {0, 0, 0, 0};
  int64_t height = screenHeight;
  int64_t width = roundedQuotient(height * frameWidth, frameHeight);
  if (width > screenWidth) {
    width = screenWidth;
    height = std::max<int64_t>(1, roundedQuotient(width * frameHeight, frameWidth));
  }
  width = std::max<int64_t>(1, width);
  return {static_cast<int32_t>((screenWidth - width) / 2), static_cast<int32_t>((screenHeight - height) / 2),
          static_cast<int32_t>(width), static_cast<int32_t>(height)};
}

FramePoint screenToFrame(const ScreenRect& area, int32_t frameWidth, int32_t frameHeight, int32_t screenX,
                         int32_t screenY) {
  auto axis = [](int32_t position, int32_t start, int32_t length, int32_t frameSize) -> int32_t {
    if (length <= 0 || frameSize <= 0) return 0;
    const int64_t offset = static_cast<int64_t>(position) - start;
    if (offset < 0) return 0;
    if (offset >= length) return frameSize - 1;
    // The frame pixel under the screen pixel's centre.
    const int64_t v = ((2 * offset + 1) * frameSize) / (2 * static_cast<int64_t>(length));
    return static_cast<int32_t>(std::min<int64_t>(v, frameSize - 1));
  };
  return {axis(screenX, area.x, area.width, frameWidth), axis(screenY, area.y, area.height, frameHeight)};
}

std::vector<ScaleTap> scaleTaps(int32_t frameSize, int32_t screenSize) {
  std::vector<ScaleTap> taps;
  if (frameSize <= 0 || screenSize <= 0) return taps;
  taps.reserve(static_cast<std::size_t>(screenSize));
  const int64_t n = frameSize, m = screenSize;
  for (int64_t x = 0; x < m; ++x) {
    int64_t first = 0, weight = 0;
    if (m >= n) {
      // Screen pixel x covers frame interval [x n / m, (x + 1) n / m): at most
      // two frame pixels; the second one's share of it is the weight.
      first = x * n / m;
      const int64_t overhang = (x + 1) * n - (first + 1) * m;  // in units of 1 / m frame pixels
      if (overhang > 0) weight = roundedQuotient(overhang * kWeightOne, n);
    } else {
      // Linear between the two frame pixels around the screen pixel's centre.
      const int64_t numerator = (2 * x + 1) * n - m, denominator = 2 * m;
      first = numerator / denominator;
      weight = roundedQuotient((numerator % denominator) * kWeightOne, denominator);
    }
    if (first >= n - 1) {
      first = n - 1;
      weight = 0;
    }
    if (weight >= kWeightOne) {
      ++first;
      weight = 0;
    }
    taps.push_back({static_cast<int32_t>(first), static_cast<int32_t>(weight)});
  }
  return taps;
}

bool FrameScaler::configure(int32_t frameWidth, int32_t frameHeight, const ScreenRect& area, PixelConverter convert,
                            int32_t bytesPerPixel) {
  convert_ = nullptr;
  if (frameWidth <= 0 || frameHeight <= 0 || area.width <= 0 || area.height <= 0 || convert == nullptr ||
      bytesPerPixel <= 0) {
    return false;
  }
  frameWidth_ = frameWidth;
  frameHeight_ = frameHeight;
  area_ = area;
  bytesPerPixel_ = bytesPerPixel;
  plainCopy_ = convert == &convertCopy32;
  columns_ = scaleTaps(frameWidth, area.width);
  rows_ = scaleTaps(frameHeight, area.height);

  // SIMD columns read each pair of sources with one 8-byte load, so a pixel
  // taken alone from the frame's last column is expressed as the full weight
  // of the second of the last two columns.
  const std::size_t groups = (static_cast<std::size_t>(area.width) + 3) / 4;
  columnFirst_.assign(groups * 4, 0);
  columnWeights_.assign(groups * 16, 0);
  for (int32_t x = 0; x < area.width; ++x) {
    ScaleTap t = columns_[static_cast<std::size_t>(x)];
    if (frameWidth > 1 && t.first == frameWidth - 1) t = {frameWidth - 2, kWeightOne};
    if (frameWidth == 1) t = {0, 0};
    columnFirst_[static_cast<std::size_t>(x)] = t.first;
    for (int c = 0; c < 4; ++c) columnWeights_[static_cast<std::size_t>(x) * 4 + static_cast<std::size_t>(c)] =
        static_cast<int16_t>(c < 3 ? t.weight : 0);
  }
  cache_.assign(static_cast<std::size_t>(area.width) * 2 + 4, 0);
  cachedRow_[0] = cachedRow_[1] = -1;
  mixed_.assign(static_cast<std::size_t>(area.width) + 4, 0);
  convert_ = convert;
  return true;
}

void FrameScaler::widenRow(const uint32_t* frameRow, uint32_t* out) const {
  const int32_t count = area_.width;
  int32_t x = 0;
#if defined(__SSE2__)
  if (frameWidth_ > 1) {
    for (; x + 4 <= count; x += 4) {
      const int32_t* first = columnFirst_.data() + x;
      // Pairs (a, b) of four columns, regrouped as a0..a3 and b0..b3.
      const __m128i p0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(frameRow + first[0]));
      const __m128i p1 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(frameRow + first[1]));
      const __m128i p2 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(frameRow + first[2]));
      const __m128i p3 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(frameRow + first[3]));
      const __m128 p01 = _mm_castsi128_ps(_mm_unpacklo_epi64(p0, p1));
      const __m128 p23 = _mm_castsi128_ps(_mm_unpacklo_epi64(p2, p3));
      const __m128i a = _mm_castps_si128(_mm_shuffle_ps(p01, p23, _MM_SHUFFLE(2, 0, 2, 0)));
      const __m128i b = _mm_castps_si128(_mm_shuffle_ps(p01, p23, _MM_SHUFFLE(3, 1, 3, 1)));
      const __m128i* weights = reinterpret_cast<const __m128i*>(columnWeights_.data() + static_cast<std::size_t>(x) * 4);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                       mix4(a, b, _mm_loadu_si128(weights), _mm_loadu_si128(weights + 1)));
    }
  }
#endif
  for (; x < count; ++x) {
    const ScaleTap& t = columns_[static_cast<std::size_t>(x)];
    out[x] = mixPixels(frameRow[t.first], frameRow[t.first + (t.weight != 0 ? 1 : 0)], t.weight);
  }
}

const uint32_t* FrameScaler::widened(const uint32_t* frame, int32_t frameRow, int32_t slot) {
  uint32_t* out = cache_.data() + static_cast<std::size_t>(slot) * static_cast<std::size_t>(area_.width);
  if (cachedRow_[slot] != frameRow) {
    widenRow(frame + static_cast<std::size_t>(frameRow) * static_cast<std::size_t>(frameWidth_), out);
    cachedRow_[slot] = frameRow;
  }
  return out;
}

void FrameScaler::scale(const uint32_t* frame, uint8_t* surface, std::size_t pitch) {
  if (convert_ == nullptr) return;
  uint8_t* origin = surface + static_cast<std::size_t>(area_.y) * pitch +
                    static_cast<std::size_t>(area_.x) * static_cast<std::size_t>(bytesPerPixel_);
  if (area_.width == frameWidth_ && area_.height == frameHeight_) {
    // 1:1, the plain row conversion.
    for (int32_t r = 0; r < frameHeight_; ++r) {
      convert_(frame + static_cast<std::size_t>(r) * static_cast<std::size_t>(frameWidth_),
               origin + static_cast<std::size_t>(r) * pitch, frameWidth_);
    }
    return;
  }
  // A new frame: the cached rows belong to the previous one.
  cachedRow_[0] = cachedRow_[1] = -1;
  for (int32_t y = 0; y < area_.height; ++y) {
    const ScaleTap& t = rows_[static_cast<std::size_t>(y)];
    uint8_t* destination = origin + static_cast<std::size_t>(y) * pitch;
    const uint32_t* a = widened(frame, t.first, t.first & 1);
    if (t.weight == 0) {
      convert_(a, destination, area_.width);
      continue;
    }
    const uint32_t* b = widened(frame, t.first + 1, (t.first + 1) & 1);
    if (plainCopy_) {
      // Surface memory has no alignment promise: mix into it with unaligned stores.
      uint32_t* row = reinterpret_cast<uint32_t*>(destination);
      if (reinterpret_cast<std::uintptr_t>(row) % alignof(uint32_t) == 0) {
        mixRows(a, b, t.weight, row, area_.width);
        continue;
      }
    }
    mixRows(a, b, t.weight, mixed_.data(), area_.width);
    convert_(mixed_.data(), destination, area_.width);
  }
}

}  // namespace host
