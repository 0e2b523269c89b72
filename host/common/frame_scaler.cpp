#include "host/common/frame_scaler.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QV_SCALER_X86 1
#endif

namespace host {
namespace {

// round(numerator / denominator) for non-negative values.
int64_t roundedQuotient(int64_t numerator, int64_t denominator) { return (2 * numerator + denominator) / (2 * denominator); }

void mixRowsScalar(const uint32_t* a, const uint32_t* b, int32_t weight, uint32_t* out, int32_t from, int32_t count) {
  for (int32_t x = from; x < count; ++x) out[x] = mixPixels(a[x], b[x], weight);
}

#if defined(QV_SCALER_X86)
// (a (64 - w) + b w + 32) >> 6 on four pixels, as a + ((b - a) w + 32) >> 6
// with w per 16-bit lane.
inline __m128i mix4(__m128i a, __m128i b, __m128i weightsLow, __m128i weightsHigh) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i half = _mm_set1_epi16(32);
  const __m128i aLow = _mm_unpacklo_epi8(a, zero), aHigh = _mm_unpackhi_epi8(a, zero);
  const __m128i bLow = _mm_unpacklo_epi8(b, zero), bHigh = _mm_unpackhi_epi8(b, zero);
  const __m128i low = _mm_add_epi16(
      aLow, _mm_srai_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(bLow, aLow), weightsLow), half), 6));
  const __m128i high = _mm_add_epi16(
      aHigh, _mm_srai_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_sub_epi16(bHigh, aHigh), weightsHigh), half), 6));
  return _mm_and_si128(_mm_packus_epi16(low, high), _mm_set1_epi32(0x00FFFFFF));
}

void mixRowsSse2(const uint32_t* a, const uint32_t* b, int32_t weight, uint32_t* out, int32_t count) {
  const __m128i w = _mm_set1_epi16(static_cast<int16_t>(weight));
  int32_t x = 0;
  for (; x + 4 <= count; x += 4) {
    const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
    const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), mix4(pa, pb, w, w));
  }
  mixRowsScalar(a, b, weight, out, x, count);
}

// Sources' bytes interleaved (a, b per channel) times byte weights (64 - w, w):
// each 16-bit lane is a (64 - w) + b w, then + 32 and >> 6.
__attribute__((target("avx2"))) inline __m256i pairSums(__m256i pairs, __m256i weights) {
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(pairs, weights), _mm256_set1_epi16(32)), 6);
}

__attribute__((target("avx2"))) void mixRowsAvx2(const uint32_t* a, const uint32_t* b, int32_t weight, uint32_t* out,
                                                 int32_t count) {
  const int16_t pair = static_cast<int16_t>((kMixOne - weight) | (weight << 8));  // bytes: 64 - w, w
  const __m256i w = _mm256_set1_epi16(pair);
  int32_t x = 0;
  for (; x + 8 <= count; x += 8) {
    const __m256i pa = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + x));
    const __m256i pb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + x));
    const __m256i low = pairSums(_mm256_unpacklo_epi8(pa, pb), w);
    const __m256i high = pairSums(_mm256_unpackhi_epi8(pa, pb), w);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_packus_epi16(low, high));
  }
  mixRowsScalar(a, b, weight, out, x, count);
}

bool haveAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}
#endif

// One screen row as the vertical mix of two widened rows.
void mixRows(bool avx2, const uint32_t* a, const uint32_t* b, int32_t weight, uint32_t* out, int32_t count) {
#if defined(QV_SCALER_X86)
  if (avx2) {
    mixRowsAvx2(a, b, weight, out, count);
  } else {
    mixRowsSse2(a, b, weight, out, count);
  }
#else
  (void)avx2;
  mixRowsScalar(a, b, weight, out, 0, count);
#endif
}

inline uint32_t widenedPixel(const uint32_t* row, const ScaleTap& t) {
  return mixPixels(row[t.first], row[t.first + (t.weight != 0 ? 1 : 0)], t.weight);
}

#if defined(QV_SCALER_X86)

inline __attribute__((target("avx2"))) __m256i load256(const uint8_t (&bytes)[2][2][8]) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(&bytes[0][0][0]));
}

// Groups of four screen columns, two at a time, each from the four-pixel
// window of the frame row at its start; a pair with a group that has no
// window (start -1) is done pixel by pixel.
__attribute__((target("avx2"))) void widenRowAvx2(const uint32_t* row, const Avx2Columns& table, const ScaleTap* taps,
                                                  uint32_t* out) {
  const int32_t groups = static_cast<int32_t>(table.windowStart.size());
  for (int32_t g = 0; g + 2 <= groups; g += 2) {
    const int32_t start0 = table.windowStart[static_cast<std::size_t>(g)];
    const int32_t start1 = table.windowStart[static_cast<std::size_t>(g) + 1];
    if (start0 < 0 || start1 < 0) {
      for (int32_t x = g * 4; x < g * 4 + 8; ++x) out[x] = widenedPixel(row, taps[x]);
      continue;
    }
    const Avx2GroupPair& pair = table.pairs[static_cast<std::size_t>(g / 2)];
    const __m256i window = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + start0))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + start1)), 1);
    const __m256i low = pairSums(_mm256_shuffle_epi8(window, load256(pair.shuffle[0])), load256(pair.weights[0]));
    const __m256i high = pairSums(_mm256_shuffle_epi8(window, load256(pair.shuffle[1])), load256(pair.weights[1]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + g * 4), _mm256_packus_epi16(low, high));
  }
}
#endif

static_assert(sizeof(Avx2GroupPair) == 128, "four 32-byte vectors per pair of groups");

// SSE2 reads each column's two sources with one 8-byte load, so a pixel
// taken alone from the frame's last column is expressed as the full weight
// of the second of the last two columns.
Sse2Columns buildSse2Columns(const std::vector<ScaleTap>& columns, int32_t frameWidth) {
  Sse2Columns table;
  table.first.assign(columns.size(), 0);
  table.weights.assign(columns.size() * 4, 0);
  for (std::size_t x = 0; x < columns.size(); ++x) {
    ScaleTap t = columns[x];
    if (frameWidth > 1 && t.first == frameWidth - 1) t = {frameWidth - 2, kMixOne};
    if (frameWidth == 1) t = {0, 0};
    table.first[x] = t.first;
    for (std::size_t c = 0; c < 4; ++c) table.weights[x * 4 + c] = static_cast<int16_t>(c < 3 ? t.weight : 0);
  }
  return table;
}

// Each group of four columns gets the window that starts at its first
// column's first source (moved left to stay inside the row); the group fits
// when all its columns' sources lie in that window.
Avx2Columns buildAvx2Columns(const std::vector<ScaleTap>& columns, int32_t frameWidth) {
  Avx2Columns table;
  const std::size_t groups = columns.size() / 4;
  table.windowStart.assign(groups, -1);
  table.pairs.assign(groups / 2, Avx2GroupPair{});
  for (std::size_t g = 0; g < groups && frameWidth >= 4; ++g) {
    const int32_t start = std::min(columns[g * 4].first, frameWidth - 4);
    bool fits = true;
    for (std::size_t k = 0; k < 4 && fits; ++k) {
      const ScaleTap& t = columns[g * 4 + k];
      const int32_t a = t.first - start, b = a + (t.weight != 0 ? 1 : 0);
      fits = a >= 0 && b <= 3;
      // A last, unpaired group has no table entry (it is widened pixel by pixel).
      if (!fits || g / 2 >= table.pairs.size()) continue;
      Avx2GroupPair& pair = table.pairs[g / 2];
      uint8_t* shuffle = pair.shuffle[k / 2][g % 2][k % 2];
      uint8_t* weights = pair.weights[k / 2][g % 2][k % 2];
      for (int c = 0; c < 4; ++c) {
        shuffle[2 * c] = c < 3 ? static_cast<uint8_t>(4 * a + c) : 0x80;
        shuffle[2 * c + 1] = c < 3 ? static_cast<uint8_t>(4 * b + c) : 0x80;
        weights[2 * c] = c < 3 ? static_cast<uint8_t>(kMixOne - t.weight) : 0;
        weights[2 * c + 1] = c < 3 ? static_cast<uint8_t>(t.weight) : 0;
      }
    }
    if (fits) table.windowStart[g] = start;
  }
  table.everyGroupFits =
      std::all_of(table.windowStart.begin(), table.windowStart.end(), [](int32_t start) { return start >= 0; });
  return table;
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
      if (overhang > 0) weight = roundedQuotient(overhang * kMixOne, n);
    } else {
      // Linear between the two frame pixels around the screen pixel's centre.
      const int64_t numerator = (2 * x + 1) * n - m, denominator = 2 * m;
      first = numerator / denominator;
      weight = roundedQuotient((numerator % denominator) * kMixOne, denominator);
    }
    if (first >= n - 1) {
      first = n - 1;
      weight = 0;
    }
    if (weight >= kMixOne) {
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
#if defined(QV_SCALER_X86)
  useAvx2_ = allowAvx2_ && haveAvx2();
#endif

  sse2Columns_ = buildSse2Columns(columns_, frameWidth);
  avx2Columns_ = buildAvx2Columns(columns_, frameWidth);
  // Where groups reach further (shrinking, factors near 1) the SSE2 gather
  // does every column alike.
  avx2Widen_ = useAvx2_ && avx2Columns_.everyGroupFits;

  const std::size_t width = static_cast<std::size_t>(area.width);

  cache_.assign(width * 2 + 8, 0);
  cachedRow_[0] = cachedRow_[1] = -1;
  mixed_.assign(width + 8, 0);
  rowChanged_.assign(static_cast<std::size_t>(frameHeight), 1);
  lastFrame_.clear();
  lastFrameValid_ = false;
  convert_ = convert;
  return true;
}

void FrameScaler::widenRow(const uint32_t* frameRow, uint32_t* out) const {
  const int32_t count = area_.width;
  auto one = [&](int32_t x) { out[x] = widenedPixel(frameRow, columns_[static_cast<std::size_t>(x)]); };
#if defined(QV_SCALER_X86)
  if (avx2Widen_) {
    const int32_t groups = static_cast<int32_t>(avx2Columns_.windowStart.size());
    widenRowAvx2(frameRow, avx2Columns_, columns_.data(), out);
    for (int32_t x = (groups / 2) * 8; x < count; ++x) one(x);
    return;
  }
  if (frameWidth_ > 1) {
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) {
      const int32_t* first = sse2Columns_.first.data() + x;
      // Pairs (a, b) of four columns, regrouped as a0..a3 and b0..b3.
      const __m128i p0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(frameRow + first[0]));
      const __m128i p1 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(frameRow + first[1]));
      const __m128i p2 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(frameRow + first[2]));
      const __m128i p3 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(frameRow + first[3]));
      const __m128 p01 = _mm_castsi128_ps(_mm_unpacklo_epi64(p0, p1));
      const __m128 p23 = _mm_castsi128_ps(_mm_unpacklo_epi64(p2, p3));
      const __m128i a = _mm_castps_si128(_mm_shuffle_ps(p01, p23, _MM_SHUFFLE(2, 0, 2, 0)));
      const __m128i b = _mm_castps_si128(_mm_shuffle_ps(p01, p23, _MM_SHUFFLE(3, 1, 3, 1)));
      const __m128i* weights =
          reinterpret_cast<const __m128i*>(sse2Columns_.weights.data() + static_cast<std::size_t>(x) * 4);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                       mix4(a, b, _mm_loadu_si128(weights), _mm_loadu_si128(weights + 1)));
    }
    for (; x < count; ++x) one(x);
    return;
  }
#endif
  for (int32_t x = 0; x < count; ++x) one(x);
}

const uint32_t* FrameScaler::widened(const uint32_t* frame, int32_t frameRow, int32_t slot) {
  uint32_t* out = cache_.data() + static_cast<std::size_t>(slot) * static_cast<std::size_t>(area_.width);
  if (cachedRow_[slot] != frameRow) {
    widenRow(frame + static_cast<std::size_t>(frameRow) * static_cast<std::size_t>(frameWidth_), out);
    cachedRow_[slot] = frameRow;
  }
  return out;
}

void FrameScaler::findChangedRows(const uint32_t* frame, uint8_t* surface, std::size_t pitch, bool surfaceKept) {
  const std::size_t width = static_cast<std::size_t>(frameWidth_);
  const std::size_t size = width * static_cast<std::size_t>(frameHeight_);
  if (!surfaceKept) {
    std::fill(rowChanged_.begin(), rowChanged_.end(), uint8_t{1});
    lastFrameValid_ = false;
    return;
  }
  if (!lastFrameValid_ || surface != lastSurface_ || pitch != lastPitch_) {
    std::fill(rowChanged_.begin(), rowChanged_.end(), uint8_t{1});
    lastFrame_.assign(frame, frame + size);
  } else {
    for (std::size_t r = 0; r < static_cast<std::size_t>(frameHeight_); ++r) {
      const uint32_t* now = frame + r * width;
      uint32_t* before = lastFrame_.data() + r * width;
      const bool changed = std::memcmp(now, before, width * sizeof(uint32_t)) != 0;
      if (changed) std::memcpy(before, now, width * sizeof(uint32_t));
      rowChanged_[r] = changed ? 1 : 0;
    }
  }
  lastSurface_ = surface;
  lastPitch_ = pitch;
  lastFrameValid_ = true;
}

void FrameScaler::scale(const uint32_t* frame, uint8_t* surface, std::size_t pitch, bool surfaceKept) {
  if (convert_ == nullptr) return;
  findChangedRows(frame, surface, pitch, surfaceKept);
  uint8_t* origin = surface + static_cast<std::size_t>(area_.y) * pitch +
                    static_cast<std::size_t>(area_.x) * static_cast<std::size_t>(bytesPerPixel_);
  if (area_.width == frameWidth_ && area_.height == frameHeight_) {
    // 1:1, the plain row conversion.
    for (int32_t r = 0; r < frameHeight_; ++r) {
      if (rowChanged_[static_cast<std::size_t>(r)] == 0) continue;
      convert_(frame + static_cast<std::size_t>(r) * static_cast<std::size_t>(frameWidth_),
               origin + static_cast<std::size_t>(r) * pitch, frameWidth_);
    }
    return;
  }
  // A new frame: the cached rows belong to the previous one.
  cachedRow_[0] = cachedRow_[1] = -1;
  // The plain format is mixed straight into surface memory when its rows are
  // aligned for 32-bit stores.
  const bool direct = plainCopy_ && reinterpret_cast<std::uintptr_t>(origin) % alignof(uint32_t) == 0 &&
                      pitch % alignof(uint32_t) == 0;
  for (int32_t y = 0; y < area_.height; ++y) {
    const ScaleTap& t = rows_[static_cast<std::size_t>(y)];
    const std::size_t source = static_cast<std::size_t>(t.first);
    if (rowChanged_[source] == 0 && (t.weight == 0 || rowChanged_[source + 1] == 0)) continue;
    uint8_t* destination = origin + static_cast<std::size_t>(y) * pitch;
    const uint32_t* a = widened(frame, t.first, t.first & 1);
    if (t.weight == 0) {
      convert_(a, destination, area_.width);
      continue;
    }
    const uint32_t* b = widened(frame, t.first + 1, (t.first + 1) & 1);
    if (direct) {
      mixRows(useAvx2_, a, b, t.weight, reinterpret_cast<uint32_t*>(destination), area_.width);
      continue;
    }
    mixRows(useAvx2_, a, b, t.weight, mixed_.data(), area_.width);
    convert_(mixed_.data(), destination, area_.width);
  }
}

}  // namespace host
