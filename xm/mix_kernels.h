// The mixer's inner loops: one voice resampled with linear interpolation and
// added to interleaved float frames, over a stretch in which no loop or
// sample boundary is crossed.
//
// Three sets compute the same single-precision sequence per frame and give
// identical results: a plain one (one frame per pass, the reference), SSE2
// (four frames per pass, every x86-64) and the same four-frame loops in the
// AVX2 encoding, chosen at run time where the processor has it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "xm/xm_song.h"

namespace xm {

// One stretch of one voice: `frames` frames from the 32.32 position
// `position`, which moves by `delta` (negative when playing backward) after
// each frame. Every frame reads data[position] and data[position + 1].
struct Stretch {
  const XmSample* sample = nullptr;  // data and bounds (the checked build tests every read)
  int64_t position = 0;
  int64_t delta = 0;
  float* out = nullptr;  // 2 x frames floats, left then right
  int32_t frames = 0;
};

struct MixKernels {
  // Constant gains: out += value x gl (left), value x gr (right). Returns the
  // position after the stretch.
  int64_t (*steady)(const Stretch& s, float gl, float gr);
  // A gain ramp: gl and gr grow by sl and sr after each frame; they are
  // updated in place. Returns the position after the stretch.
  int64_t (*ramp)(const Stretch& s, float* gl, float* gr, float sl, float sr);
  const char* name;
};

enum class MixKernelSet { kPlain, kSse2, kAvx2 };

// The set for `which`, or null when this processor or build lacks it.
const MixKernels* mixKernels(MixKernelSet which);

// The best set this processor runs (AVX2, else SSE2, else plain).
MixKernelSet bestMixKernelSet();

}  // namespace xm
