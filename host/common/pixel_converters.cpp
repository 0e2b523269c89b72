#include "host/common/pixel_converters.h"

#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace host {
namespace {

inline uint32_t red(uint32_t p) { return (p >> 16) & 0xFFu; }
inline uint32_t green(uint32_t p) { return (p >> 8) & 0xFFu; }
inline uint32_t blue(uint32_t p) { return p & 0xFFu; }

// Little-endian stores to any address (one plain store on little-endian hosts).
inline void store16(uint8_t* d, uint32_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(d, &w, 2);
  } else {
    d[0] = static_cast<uint8_t>(v);
    d[1] = static_cast<uint8_t>(v >> 8);
  }
}

inline void store32(uint8_t* d, uint32_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(d, &v, 4);
  } else {
    d[0] = static_cast<uint8_t>(v);
    d[1] = static_cast<uint8_t>(v >> 8);
    d[2] = static_cast<uint8_t>(v >> 16);
    d[3] = static_cast<uint8_t>(v >> 24);
  }
}

// The 16-bit formats as three fields of 0x00RRGGBB each, taken by a shift
// (right, or left when negative) and a mask: 5-6-5 and 5-5-5, red or blue in
// the top bits.
struct Field {
  int shift;
  uint32_t mask;
};
struct Layout16 {
  Field high, mid, low;
};
constexpr Layout16 kRgb565{{8, 0xF800}, {5, 0x07E0}, {3, 0x001F}};
constexpr Layout16 kBgr565{{-8, 0xF800}, {5, 0x07E0}, {19, 0x001F}};
constexpr Layout16 kRgb555{{9, 0x7C00}, {6, 0x03E0}, {3, 0x001F}};
constexpr Layout16 kBgr555{{-7, 0x7C00}, {6, 0x03E0}, {19, 0x001F}};

template <const Layout16& L>
constexpr uint32_t pack16(uint32_t p) {
  auto field = [p](const Field& f) { return (f.shift >= 0 ? p >> f.shift : p << -f.shift) & f.mask; };
  return field(L.high) | field(L.mid) | field(L.low);
}
static_assert(pack16<kRgb565>(0x00F88C18) == 0xFC63 && pack16<kBgr565>(0x00F88C18) == 0x1C7F);
static_assert(pack16<kRgb555>(0x00F88C18) == 0x7E23 && pack16<kBgr555>(0x00F88C18) == 0x0E3F);

#if defined(__SSE2__)
template <int Shift>
inline __m128i shift32(__m128i v) {
  if constexpr (Shift >= 0) {
    return _mm_srli_epi32(v, Shift);
  } else {
    return _mm_slli_epi32(v, -Shift);
  }
}

// Eight pixels per pass: the three fields of four pixels in each 32-bit
// lane, then the two halves packed to 16 bits (sign-extended first, so that
// the signed pack keeps every bit pattern).
template <const Layout16& L>
int32_t convert16Sse2(const uint32_t* s, uint8_t* d, int32_t count) {
  const __m128i high = _mm_set1_epi32(static_cast<int32_t>(L.high.mask));
  const __m128i mid = _mm_set1_epi32(static_cast<int32_t>(L.mid.mask));
  const __m128i low = _mm_set1_epi32(static_cast<int32_t>(L.low.mask));
  auto pack4 = [&](__m128i p) {
    const __m128i v = _mm_or_si128(_mm_or_si128(_mm_and_si128(shift32<L.high.shift>(p), high),
                                                _mm_and_si128(shift32<L.mid.shift>(p), mid)),
                                   _mm_and_si128(shift32<L.low.shift>(p), low));
    return _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);
  };
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i* in = reinterpret_cast<const __m128i*>(s + i);
    const __m128i a = pack4(_mm_loadu_si128(in));
    const __m128i b = pack4(_mm_loadu_si128(in + 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * i), _mm_packs_epi32(a, b));
  }
  return i;
}
#endif

// 16-bit formats: eight pixels at a time with SSE2, the rest (and every
// pixel elsewhere) four pixels to two 32-bit words, stored little-endian.
template <const Layout16& L>
void convert16(const uint32_t* s, uint8_t* d, int32_t count) {
#if defined(__SSE2__)
  int32_t i = convert16Sse2<L>(s, d, count);
#else
  int32_t i = 0;
#endif
  for (; i + 4 <= count; i += 4) {
    store32(d + 2 * i, pack16<L>(s[i]) | (pack16<L>(s[i + 1]) << 16));
    store32(d + 2 * i + 4, pack16<L>(s[i + 2]) | (pack16<L>(s[i + 3]) << 16));
  }
  for (; i < count; ++i) store16(d + 2 * i, pack16<L>(s[i]));
}

// 24-bit formats: four pixels (three bytes each, lowest byte first) become
// three 32-bit words.
template <bool SwapRedBlue>
void convert24(const uint32_t* s, uint8_t* d, int32_t count) {
  auto bytes = [](uint32_t p) -> uint32_t {
    // The three output bytes of one pixel as a 24-bit little-endian value.
    return SwapRedBlue ? (red(p) | (green(p) << 8) | (blue(p) << 16)) : (p & 0xFFFFFFu);
  };
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const uint32_t a = bytes(s[i]);
    const uint32_t b = bytes(s[i + 1]);
    const uint32_t c = bytes(s[i + 2]);
    const uint32_t e = bytes(s[i + 3]);
    uint8_t* o = d + 3 * i;
    store32(o, a | (b << 24));
    store32(o + 4, (b >> 8) | (c << 16));
    store32(o + 8, (c >> 16) | (e << 8));
  }
  for (; i < count; ++i) {
    const uint32_t v = bytes(s[i]);
    uint8_t* o = d + 3 * i;
    o[0] = static_cast<uint8_t>(v);
    o[1] = static_cast<uint8_t>(v >> 8);
    o[2] = static_cast<uint8_t>(v >> 16);
  }
}

#if defined(__x86_64__) || defined(__i386__)
// Sixteen pixels per pass with SSSE3 byte shuffles: each group of four
// pixels packs into twelve bytes, and three 16-byte stores take the four
// groups. The same bytes as the plain loop above.
template <bool SwapRedBlue>
__attribute__((target("ssse3"))) int32_t convert24Ssse3(const uint32_t* s, uint8_t* d, int32_t count) {
  const __m128i pack = SwapRedBlue ? _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1)
                                   : _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  int32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i* in = reinterpret_cast<const __m128i*>(s + i);
    const __m128i a = _mm_shuffle_epi8(_mm_loadu_si128(in), pack);
    const __m128i b = _mm_shuffle_epi8(_mm_loadu_si128(in + 1), pack);
    const __m128i c = _mm_shuffle_epi8(_mm_loadu_si128(in + 2), pack);
    const __m128i e = _mm_shuffle_epi8(_mm_loadu_si128(in + 3), pack);
    __m128i* out = reinterpret_cast<__m128i*>(d + 3 * i);
    _mm_storeu_si128(out, _mm_or_si128(a, _mm_slli_si128(b, 12)));
    _mm_storeu_si128(out + 1, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
    _mm_storeu_si128(out + 2, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(e, 4)));
  }
  return i;
}

bool haveSsse3() {
  static const bool yes = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") != 0;
  }();
  return yes;
}

template <bool SwapRedBlue>
void convert24Fast(const uint32_t* s, uint8_t* d, int32_t count) {
  const int32_t done = haveSsse3() ? convert24Ssse3<SwapRedBlue>(s, d, count) : 0;
  convert24<SwapRedBlue>(s + done, d + 3 * done, count - done);
}
#else
template <bool SwapRedBlue>
void convert24Fast(const uint32_t* s, uint8_t* d, int32_t count) {
  convert24<SwapRedBlue>(s, d, count);
}
#endif

const PixelConverterEntry kTable[kPixelConverterCount] = {
    {{32, 0xFF0000, 0xFF00, 0xFF}, &convertCopy32, 4, "copy32"},
    {{32, 0xFF, 0xFF00, 0xFF0000}, &convertSwap32, 4, "swap32"},
    {{24, 0xFF0000, 0xFF00, 0xFF}, &convertBgr24, 3, "bgr24"},
    {{24, 0xFF, 0xFF00, 0xFF0000}, &convertRgb24, 3, "rgb24"},
    {{16, 0xF800, 0x7E0, 0x1F}, &convert565, 2, "rgb565"},
    {{16, 0x1F, 0x7E0, 0xF800}, &convert565Swapped, 2, "bgr565"},
    {{16, 0x7C00, 0x3E0, 0x1F}, &convert555, 2, "rgb555"},
    {{16, 0x1F, 0x3E0, 0x7C00}, &convert555Swapped, 2, "bgr555"},
};

}  // namespace

void convertCopy32(const uint32_t* source, uint8_t* destination, int32_t count) {
  if (count > 0) std::memcpy(destination, source, static_cast<std::size_t>(count) * 4);
}

void convertSwap32(const uint32_t* s, uint8_t* d, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t p = s[i];
    store32(d + 4 * i, blue(p) << 16 | (p & 0xFF00u) | red(p));
  }
}

void convertBgr24(const uint32_t* s, uint8_t* d, int32_t count) { convert24Fast<false>(s, d, count); }
void convertRgb24(const uint32_t* s, uint8_t* d, int32_t count) { convert24Fast<true>(s, d, count); }
void convert565(const uint32_t* s, uint8_t* d, int32_t count) { convert16<kRgb565>(s, d, count); }
void convert565Swapped(const uint32_t* s, uint8_t* d, int32_t count) { convert16<kBgr565>(s, d, count); }
void convert555(const uint32_t* s, uint8_t* d, int32_t count) { convert16<kRgb555>(s, d, count); }
void convert555Swapped(const uint32_t* s, uint8_t* d, int32_t count) { convert16<kBgr555>(s, d, count); }

const PixelConverterEntry* pixelConverterTable() { return kTable; }

PixelConverter findPixelConverter(const PixelFormatKey& f) {
  for (const PixelConverterEntry& e : kTable) {
    if (e.format.bitCount == f.bitCount && e.format.redMask == f.redMask && e.format.greenMask == f.greenMask &&
        e.format.blueMask == f.blueMask) {
      return e.convert;
    }
  }
  return nullptr;
}

}  // namespace host
