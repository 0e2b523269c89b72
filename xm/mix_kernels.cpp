#include "xm/mix_kernels.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
#include <immintrin.h>
#define QV_MIX_X86 1
#endif

namespace xm {
namespace {

constexpr float kFractionScale = 0x1p-31f;

// The checked build (QV_CHECKED_MIXER, used by the fuzz and asan presets)
// proves every sample read: both interpolation taps must lie inside the
// sample's data or its guard frames, or the process aborts. The vector
// kernels check the positions of a whole stretch before they mix it, frame
// by frame, computed as the kernels compute them. The release build relies
// on the mixer's boundary arithmetic alone.
#if defined(QV_CHECKED_MIXER)
[[noreturn]] void readOutsideSample(const XmSample& s, uint64_t pos) {
  std::fprintf(stderr, "mixer: read at frame %llu of a sample of %u frames (%zu with guard)\n",
               static_cast<unsigned long long>(pos), s.length, s.data.size());
  std::abort();
}
inline void checkRead(const XmSample& s, uint64_t pos) {
  if (pos + 1 >= s.data.size()) readOutsideSample(s, pos);
}
void checkStretch(const Stretch& st) {
  int64_t p = st.position;
  for (int32_t i = 0; i < st.frames; ++i) {
    if (p < 0) readOutsideSample(*st.sample, static_cast<uint64_t>(p >> 32));
    checkRead(*st.sample, static_cast<uint64_t>(p >> 32));
    p += st.delta;
  }
}
#define QV_CHECK_READ(s, pos) checkRead((s), (pos))
#define QV_CHECK_STRETCH(st) checkStretch(st)
#else
#define QV_CHECK_READ(s, pos) ((void)0)
#define QV_CHECK_STRETCH(st) ((void)0)
#endif

// ---- Plain: one frame per pass, the reference for the others.

inline float interpolate(const int16_t* d, int64_t p) {
  const uint32_t pos = static_cast<uint32_t>(p >> 32);
  const uint32_t frac = static_cast<uint32_t>(p);
  const float x0 = d[pos];
  const float x1 = d[pos + 1];
  return x0 + (x1 - x0) * static_cast<float>(frac >> 1) * kFractionScale;
}

int64_t plainSteady(const Stretch& st, float gl, float gr) {
  const int16_t* d = st.sample->data.data();
  int64_t p = st.position;
  float* o = st.out;
  for (int32_t i = 0; i < st.frames; ++i) {
    QV_CHECK_READ(*st.sample, static_cast<uint64_t>(p >> 32));
    const float value = interpolate(d, p);
    o[2 * i] += value * gl;
    o[2 * i + 1] += value * gr;
    p += st.delta;
  }
  return p;
}

int64_t plainRamp(const Stretch& st, float* gainLeft, float* gainRight, float sl, float sr) {
  const int16_t* d = st.sample->data.data();
  int64_t p = st.position;
  float* o = st.out;
  float gl = *gainLeft;
  float gr = *gainRight;
  for (int32_t i = 0; i < st.frames; ++i) {
    QV_CHECK_READ(*st.sample, static_cast<uint64_t>(p >> 32));
    const float value = interpolate(d, p);
    o[2 * i] += value * gl;
    o[2 * i + 1] += value * gr;
    gl += sl;
    gr += sr;
    p += st.delta;
  }
  *gainLeft = gl;
  *gainRight = gr;
  return p;
}

#if defined(QV_MIX_X86)

// The rest of a stretch after `done` frames of a vector kernel.
Stretch tail(const Stretch& st, int32_t done, int64_t p) {
  Stretch t = st;
  t.position = p;
  t.out = st.out + 2 * done;
  t.frames = st.frames - done;
  return t;
}

// ---- SSE2: four frames per pass. The two taps of a frame are read as one
// 32-bit word (little-endian: data[pos] in the low half), the fractions come
// from the low words of the 64-bit positions, and the arithmetic is the
// plain kernel's, lane by lane.

inline __m128i pairAt(const int16_t* d, int64_t p) {
  int32_t word;
  std::memcpy(&word, d + static_cast<uint32_t>(p >> 32), sizeof word);
  return _mm_cvtsi32_si128(word);
}

// Values of the four frames at p, p + delta, p + 2 delta, p + 3 delta; pa
// and pb hold those four positions as 64-bit lanes.
inline __m128 values4(const int16_t* d, int64_t p, int64_t delta, __m128i pa, __m128i pb) {
  const int64_t p1 = p + delta;
  const int64_t p2 = p1 + delta;
  const int64_t p3 = p2 + delta;
  const __m128i pairs = _mm_unpacklo_epi64(_mm_unpacklo_epi32(pairAt(d, p), pairAt(d, p1)),
                                           _mm_unpacklo_epi32(pairAt(d, p2), pairAt(d, p3)));
  const __m128i frac = _mm_castps_si128(
      _mm_shuffle_ps(_mm_castsi128_ps(pa), _mm_castsi128_ps(pb), _MM_SHUFFLE(2, 0, 2, 0)));
  const __m128 x0 = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16));
  const __m128 x1 = _mm_cvtepi32_ps(_mm_srai_epi32(pairs, 16));
  const __m128 t = _mm_cvtepi32_ps(_mm_srli_epi32(frac, 1));
  return _mm_add_ps(x0, _mm_mul_ps(_mm_mul_ps(_mm_sub_ps(x1, x0), t), _mm_set1_ps(kFractionScale)));
}

__attribute__((always_inline)) inline int64_t steady4(const Stretch& st, float gl, float gr) {
  QV_CHECK_STRETCH(st);
  const int16_t* d = st.sample->data.data();
  const int64_t delta = st.delta;
  int64_t p = st.position;
  int32_t i = 0;
  if (st.frames >= 4) {
    __m128i pa = _mm_set_epi64x(p + delta, p);
    __m128i pb = _mm_set_epi64x(p + 3 * delta, p + 2 * delta);
    const __m128i step = _mm_set1_epi64x(4 * delta);
    const __m128 left = _mm_set1_ps(gl);
    const __m128 right = _mm_set1_ps(gr);
    for (; i + 4 <= st.frames; i += 4) {
      const __m128 value = values4(d, p, delta, pa, pb);
      const __m128 l = _mm_mul_ps(value, left);
      const __m128 r = _mm_mul_ps(value, right);
      float* q = st.out + 2 * i;
      _mm_storeu_ps(q, _mm_add_ps(_mm_loadu_ps(q), _mm_unpacklo_ps(l, r)));
      _mm_storeu_ps(q + 4, _mm_add_ps(_mm_loadu_ps(q + 4), _mm_unpackhi_ps(l, r)));
      pa = _mm_add_epi64(pa, step);
      pb = _mm_add_epi64(pb, step);
      p += 4 * delta;
    }
  }
  return i == st.frames ? p : plainSteady(tail(st, i, p), gl, gr);
}

// Ramps: the values four at a time, the gains frame by frame (each gain is
// the previous one plus the step, rounded, as in the plain kernel).
__attribute__((always_inline)) inline int64_t ramp4(const Stretch& st, float* gainLeft, float* gainRight, float sl,
                                                  float sr) {
  QV_CHECK_STRETCH(st);
  const int16_t* d = st.sample->data.data();
  const int64_t delta = st.delta;
  int64_t p = st.position;
  int32_t i = 0;
  // Both gains in the low lanes of one register: each frame adds
  // (value x gl, value x gr) to its left and right and steps both gains,
  // lane by lane the plain kernel's arithmetic.
  __m128 gain = _mm_setr_ps(*gainLeft, *gainRight, 0.0f, 0.0f);
  const __m128 gainStep = _mm_setr_ps(sl, sr, 0.0f, 0.0f);
  if (st.frames >= 4) {
    __m128i pa = _mm_set_epi64x(p + delta, p);
    __m128i pb = _mm_set_epi64x(p + 3 * delta, p + 2 * delta);
    const __m128i step = _mm_set1_epi64x(4 * delta);
    for (; i + 4 <= st.frames; i += 4) {
      const __m128 v = values4(d, p, delta, pa, pb);
      float* q = st.out + 2 * i;
      const __m128 v0 = _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 0, 0, 0));
      const __m128 v1 = _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1));
      const __m128 v2 = _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 2, 2));
      const __m128 v3 = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3));
      const __m128 g0 = gain;
      const __m128 g1 = _mm_add_ps(g0, gainStep);
      const __m128 g2 = _mm_add_ps(g1, gainStep);
      const __m128 g3 = _mm_add_ps(g2, gainStep);
      gain = _mm_add_ps(g3, gainStep);
      // Frames 0 and 1 (and 2 and 3) side by side: four floats, one add.
      const __m128 a = _mm_movelh_ps(_mm_mul_ps(v0, g0), _mm_mul_ps(v1, g1));
      const __m128 b = _mm_movelh_ps(_mm_mul_ps(v2, g2), _mm_mul_ps(v3, g3));
      _mm_storeu_ps(q, _mm_add_ps(_mm_loadu_ps(q), a));
      _mm_storeu_ps(q + 4, _mm_add_ps(_mm_loadu_ps(q + 4), b));
      pa = _mm_add_epi64(pa, step);
      pb = _mm_add_epi64(pb, step);
      p += 4 * delta;
    }
  }
  *gainLeft = _mm_cvtss_f32(gain);
  *gainRight = _mm_cvtss_f32(_mm_shuffle_ps(gain, gain, _MM_SHUFFLE(1, 1, 1, 1)));
  return i == st.frames ? p : plainRamp(tail(st, i, p), gainLeft, gainRight, sl, sr);
}

int64_t sse2Steady(const Stretch& st, float gl, float gr) { return steady4(st, gl, gr); }
int64_t sse2Ramp(const Stretch& st, float* gl, float* gr, float sl, float sr) { return ramp4(st, gl, gr, sl, sr); }

// ---- AVX2: the same four-frame kernels in the VEX encoding (three-operand
// forms, no register copies), chosen at run time where the processor has it.
// On the Zen 3 machine this was measured on, eight frames per pass (a
// gather, or a window of sixteen frames and permutes) ran no faster than
// four: its 256-bit arithmetic and permutes gave no more per cycle.

__attribute__((target("avx2"))) int64_t avx2Steady(const Stretch& st, float gl, float gr) {
  return steady4(st, gl, gr);
}
__attribute__((target("avx2"))) int64_t avx2Ramp(const Stretch& st, float* gl, float* gr, float sl, float sr) {
  return ramp4(st, gl, gr, sl, sr);
}

#endif  // QV_MIX_X86

constexpr MixKernels kPlain{&plainSteady, &plainRamp, "plain"};
#if defined(QV_MIX_X86)
constexpr MixKernels kSse2{&sse2Steady, &sse2Ramp, "sse2"};
constexpr MixKernels kAvx2{&avx2Steady, &avx2Ramp, "avx2"};
#endif

}  // namespace

const MixKernels* mixKernels(MixKernelSet which) {
  switch (which) {
    case MixKernelSet::kPlain:
      return &kPlain;
#if defined(QV_MIX_X86)
    case MixKernelSet::kSse2:
      return &kSse2;
    case MixKernelSet::kAvx2:
      return __builtin_cpu_supports("avx2") ? &kAvx2 : nullptr;
#else
    default:
      return nullptr;
#endif
  }
  return nullptr;
}

MixKernelSet bestMixKernelSet() {
#if defined(QV_MIX_X86)
  return __builtin_cpu_supports("avx2") ? MixKernelSet::kAvx2 : MixKernelSet::kSse2;
#else
  return MixKernelSet::kPlain;
#endif
}

}  // namespace xm
