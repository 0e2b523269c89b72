#include "xm/mixer.h"

#include <algorithm>
#include <cmath>
#include <atomic>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "xm/mix_kernels.h"
#include "xm/sequencer.h"

namespace xm {
namespace {

constexpr int32_t kMinFrequency = 100;
constexpr float kInv255 = 1.0f / 255.0f;
constexpr float kInvRamp = 1.0f / 128.0f;

int32_t partnerOf(int32_t index) { return index < kMaxChannels ? index + kMaxChannels : index - kMaxChannels; }

// Starts a 128-frame ramp toward the current targets when they changed or no
// ramp is running.
void beginRamp(MixVoice& v) {
  v.lastLeftGain = v.leftGain;
  v.lastRightGain = v.rightGain;
  const int32_t currentLeft = v.rampLeft / 256;
  const int32_t currentRight = v.rampRight / 256;
  const bool left = v.leftGain != currentLeft;
  const bool right = v.rightGain != currentRight;
  v.rampLeftStep = left ? static_cast<float>(v.leftGain - currentLeft) * kInv255 * kInvRamp : 0.0f;
  v.rampRightStep = right ? static_cast<float>(v.rightGain - currentRight) * kInv255 * kInvRamp : 0.0f;
  if (left || right) {
    v.rampFrames = kRampFrames;
  } else {
    v.rampFrames = 0;
    v.rampLeft = v.leftGain * 256;
    v.rampRight = v.rightGain * 256;
  }
}

// Moves a position that crossed a loop boundary back inside [start, end).
// Returns false when the voice has reached the end of a sample without loop.
bool wrapPosition(MixVoice& v, const XmSample& s, int64_t& p) {
  const int64_t ls = static_cast<int64_t>(s.loopStart) << 32;
  const int64_t ll = static_cast<int64_t>(s.loopLength) << 32;
  const int64_t e = ls + ll;
  if (s.loopMode == kLoopForward && ll > 0) {
    if (p >= e) p = ls + (p - e) % ll;
    if (p < ls) p = ls;  // cannot happen moving forward; keeps the index inside
    return true;
  }
  if (s.loopMode == kLoopPingPong && ll > 0) {
    // Two reflections (at the end, then at the start) move the position by
    // exactly twice the loop length, so whole round trips are taken off
    // first and at most a few reflections remain, however large the step.
    const int64_t round = 2 * ll;
    if (p >= e) p = e + (p - e) % round;
    if (p < ls) p = ls - 1 - ((ls - 1 - p) % round);
    for (int32_t guard = 0; guard < 8; ++guard) {
      if (p >= e) {
        p = 2 * e - 1 - p;
        v.direction = kBackward;
      } else if (p < ls) {
        p = 2 * ls - 1 - p;
        v.direction = kForward;
      } else {
        return true;
      }
    }
    p = ls;
    return true;
  }
  return false;
}

// The voice's state when a stretch ends at a boundary or after `frames`.
void storePosition(MixVoice& v, int64_t p) {
  v.position = static_cast<uint32_t>(p >> 32);
  v.fraction = static_cast<uint32_t>(p);
}

void stopVoice(MixVoice& v) {
  v.position = 0;
  v.fraction = 0;
  v.sample = nullptr;
}

// A voice whose gains are zero and settle without a ramp (a note ramped out,
// playing on until its sample ends) adds nothing to the mix: only its
// position moves. Rather than stopping at every loop boundary, it moves by
// the whole span at once, the distance folded back into the loop (a forward
// loop repeats with period LL, a ping-pong loop with period 2 LL, the way
// back mirrored). Reflections and wraps are exact integer steps in 32.32, so
// this lands on the very position, fraction and direction that stopping at
// each boundary gives. Returns false (nothing changed) for any state it does
// not cover; the general path then takes the voice.
bool skipSilentVoice(MixVoice& v, int32_t frames) {
  if (v.leftGain != 0 || v.rightGain != 0 || v.rampLeft / 256 != 0 || v.rampRight / 256 != 0) return false;
  if (v.rampFrames != 0 && v.leftGain == v.lastLeftGain && v.rightGain == v.lastRightGain) return false;  // ramping out
  const XmSample& s = *v.sample;
  const int64_t ls = static_cast<int64_t>(s.loopStart) << 32;
  const int64_t ll = static_cast<int64_t>(s.loopLength) << 32;
  const int64_t e = ls + ll;
  const int64_t p = (static_cast<int64_t>(v.position) << 32) | v.fraction;
  const int64_t step = (static_cast<int64_t>(v.stepInteger) << 32) | v.stepFraction;
  const bool forward = v.direction != kBackward;
  if (p >= e || e > (static_cast<int64_t>(s.length) << 32)) return false;  // the loader keeps loops inside
  if (!forward && (s.loopMode != kLoopPingPong || p < ls)) return false;
  const int64_t travel = step * frames;
  int64_t q = 0;
  bool ends = false;
  bool backward = false;
  if (s.loopMode == kLoopForward && ll > 0) {
    q = p + travel;
    if (q >= e) q = ls + (q - e) % ll;
  } else if (s.loopMode == kLoopPingPong && ll > 0) {
    // Distance travelled from the loop start along the unfolded path: the
    // way forward is [0, LL), the way back [LL, 2 LL).
    int64_t r = (forward ? p - ls : 2 * ll - 1 - (p - ls)) + travel;
    if (r >= ll) r %= 2 * ll;
    backward = r >= ll;
    q = backward ? ls + 2 * ll - 1 - r : ls + r;
  } else {
    q = p + travel;
    ends = q >= e;
  }
  // The settled ramp state that the general path leaves.
  v.lastLeftGain = 0;
  v.lastRightGain = 0;
  v.rampLeftStep = 0.0f;
  v.rampRightStep = 0.0f;
  v.rampFrames = 0;
  v.rampLeft = 0;
  v.rampRight = 0;
  if (ends) {
    stopVoice(v);
    return true;
  }
  if (s.loopMode == kLoopPingPong) v.direction = backward ? kBackward : kForward;
  storePosition(v, q);
  return true;
}

// Mixes one voice over `frames` frames, stretch by stretch: each stretch
// ends at a loop or sample boundary, at the end of a ramp, or at the end of
// the span, and the kernels mix it without a test per frame.
void mixVoice(MixVoice& v, float* out, int32_t frames, const MixKernels& kernels) {
  int32_t done = 0;
  int32_t emptySegments = 0;  // boundaries met without a frame mixed in between
  while (done < frames && v.sample != nullptr) {
    if (emptySegments > 4) {
      // A loop that cannot be entered (no real sample gets here): stop the voice.
      v.sample = nullptr;
      return;
    }
    const XmSample& s = *v.sample;
    // Ramp toward changed targets.
    if (v.rampFrames == 0 || v.leftGain != v.lastLeftGain || v.rightGain != v.lastRightGain) beginRamp(v);

    const uint64_t loopEnd = static_cast<uint64_t>(s.loopStart) + s.loopLength;
    uint64_t end = loopEnd;
    // With steady gains a voice in a copied forward loop runs on into the
    // copies; a ramp keeps to the loop end, where its gains are stored.
    const bool throughCopies = s.copiesEnd > loopEnd && v.position < loopEnd && v.rampFrames == 0;
    if (throughCopies) {
      end = s.copiesEnd;
    } else if (v.position >= end) {
      end = s.length;
    }
    const int64_t ls = static_cast<int64_t>(s.loopStart) << 32;
    const int64_t e = static_cast<int64_t>(end) << 32;
    int64_t p = (static_cast<int64_t>(v.position) << 32) | v.fraction;
    const int64_t step = (static_cast<int64_t>(v.stepInteger) << 32) | v.stepFraction;
    const bool forward = v.direction != kBackward;
    const int32_t left = frames - done;

    // 1. Frames to the next boundary, one division per stretch. The division
    // is exact in 32.32 for any distance and step (a distance below 2^60 and
    // a step below 2^48 leave the sums far inside 64 bits), so no frame reads
    // before the loop start or past the guard after its end, however long
    // the sample or fast the voice. Moving forward the boundary is reached
    // at the loop end; moving backward once the position drops below the
    // start. A voice never given a pitch (step 0) stays where it is.
    const int64_t distance = forward ? e - p : p - ls;
    bool boundaryInside = false;
    int64_t toBoundary = 0;
    if (forward ? distance <= 0 : distance < 0) {
      boundaryInside = true;
    } else if (step > 0) {
      // The boundary lies inside when ceiling(distance / step) <= left
      // (forward), or distance / step + 1 <= left (backward): tested with a
      // product (step x left stays below 2^58), divided only when it does.
      const int64_t reach = step * left;
      boundaryInside = forward ? distance <= reach : distance < reach;
      if (boundaryInside) toBoundary = forward ? (distance + step - 1) / step : distance / step + 1;
    }

    // 2. Frames in this stretch.
    int32_t m = left;
    if (boundaryInside) m = static_cast<int32_t>(std::min<int64_t>(m, toBoundary));
    if (v.rampFrames > 0) m = std::min(m, v.rampFrames);

    // 3. Interpolate and accumulate.
    Stretch st;
    st.sample = &s;
    st.position = p;
    st.delta = forward ? step : -step;
    st.out = out + 2 * done;
    st.frames = m;
    if (v.rampFrames > 0) {
      float gl = static_cast<float>(v.rampLeft) / 256.0f / 255.0f;
      float gr = static_cast<float>(v.rampRight) / 256.0f / 255.0f;
      p = kernels.ramp(st, &gl, &gr, v.rampLeftStep, v.rampRightStep);
      // 4. Ramp bookkeeping.
      v.rampLeft = static_cast<int32_t>(std::lrint(gl * 255.0f * 256.0f));
      v.rampRight = static_cast<int32_t>(std::lrint(gr * 255.0f * 256.0f));
      v.rampFrames -= m;
      if (v.rampFrames == 0) {
        v.rampLeftStep = 0.0f;
        v.rampRightStep = 0.0f;
        v.rampLeft = v.leftGain * 256;
        v.rampRight = v.rightGain * 256;
      }
    } else if (v.leftGain == 0 && v.rightGain == 0) {
      // A silent voice only moves; adding zeros would not change the mix.
      p += st.delta * m;
    } else {
      p = kernels.steady(st, static_cast<float>(v.leftGain) * kInv255, static_cast<float>(v.rightGain) * kInv255);
    }
    done += m;
    emptySegments = m == 0 ? emptySegments + 1 : 0;

    // 5. Boundary, or a position in the copies folded back into the loop.
    const bool copied = throughCopies && p >= static_cast<int64_t>(loopEnd << 32);
    if ((boundaryInside && m == toBoundary) || copied) {
      if (!wrapPosition(v, s, p)) {
        stopVoice(v);
        return;
      }
    }
    if (p < 0) p = 0;  // only a wrap could leave it there; keeps the index valid
    storePosition(v, p);
    if (v.position > s.length) {
      // Never expected: a position past the data means the voice is done.
      stopVoice(v);
      return;
    }
  }
}

// The kernel set the mixer uses: the best this processor runs, unless a
// test has chosen another.
std::atomic<const MixKernels*> activeKernels{nullptr};

const MixKernels& currentKernels() {
  const MixKernels* k = activeKernels.load(std::memory_order_relaxed);
  if (k == nullptr) {
    k = mixKernels(bestMixKernelSet());
    activeKernels.store(k, std::memory_order_relaxed);
  }
  return *k;
}

}  // namespace

void triggerVoice(XmPlayback& pb, XmChannel& ch, const XmSample* sample) {
  MixVoice* v = &pb.voices[static_cast<size_t>(ch.voice)];
  if (v->sample != nullptr) {
    const int32_t partner = partnerOf(v->index);
    MixVoice& p = pb.voices[static_cast<size_t>(partner)];
    p = *v;
    p.index = partner;
    v->volume = 0;
    v->leftGain = 0;
    v->rightGain = 0;
    ch.voice = partner;
    v = &p;
  }
  v->sample = sample;
  if (static_cast<uint64_t>(v->pendingOffset) >= static_cast<uint64_t>(sample->loopStart) + sample->loopLength) {
    v->pendingOffset = 0;
  }
  v->position = v->pendingOffset;
  v->fraction = 0;
  v->pendingOffset = 0;
  v->direction = kForward;
  v->rampLeft = 0;
  v->rampRight = 0;
  v->rampFrames = 0;
}

void addLoopCopies(XmSample& s) {
  s.copiesEnd = 0;
  if (s.loopMode != kLoopForward || s.loopLength == 0 || s.loopLength >= static_cast<uint32_t>(kLoopCopyFrames)) return;
  const uint64_t loopEnd = static_cast<uint64_t>(s.loopStart) + s.loopLength;
  if (loopEnd > s.length || s.data.size() < loopEnd + 1) return;
  const uint32_t copies = (static_cast<uint32_t>(kLoopCopyFrames) + s.loopLength - 1) / s.loopLength;
  const uint64_t copiesEnd = loopEnd + static_cast<uint64_t>(copies) * s.loopLength;
  const std::size_t size = std::max(s.data.size(), static_cast<std::size_t>(copiesEnd) + kSampleGuard);
  s.data.resize(size);
  // Frame loopEnd + j holds loop frame j mod the loop length, the guard
  // after the copies included.
  for (std::size_t i = static_cast<std::size_t>(loopEnd); i < static_cast<std::size_t>(copiesEnd) + kSampleGuard; ++i) {
    s.data[i] = s.data[i - s.loopLength];
  }
  s.copiesEnd = static_cast<uint32_t>(copiesEnd);
}

void setVoiceGains(MixVoice& v) {
  v.leftGain = v.volume * (255 - v.panning) / 255;
  v.rightGain = v.volume * v.panning / 255;
}

void setVoiceFrequency(MixVoice& v, int32_t frequency) {
  const uint32_t f = static_cast<uint32_t>(frequency < kMinFrequency ? kMinFrequency : frequency);
  v.stepInteger = f / kMixRate;
  v.stepFraction = static_cast<uint32_t>(((static_cast<uint64_t>(f % kMixRate) << 32) + v.stepInteger) / kMixRate);
}

void mixVoices(MixVoice* voices, int32_t voiceCount, float* out, int32_t frames) {
  const MixKernels& kernels = currentKernels();
  for (int32_t i = 0; i < voiceCount; ++i) {
    MixVoice& v = voices[i];
    if (v.sample != nullptr && !skipSilentVoice(v, frames)) mixVoice(v, out, frames, kernels);
  }
}

// Shares mixVoice with mixVoices: only the kernels and the silent-voice
// shortcut differ (see mixer.h).
void mixVoicesReference(MixVoice* voices, int32_t voiceCount, float* out, int32_t frames) {
  const MixKernels& plain = *mixKernels(MixKernelSet::kPlain);
  for (int32_t i = 0; i < voiceCount; ++i) {
    if (voices[i].sample != nullptr) mixVoice(voices[i], out, frames, plain);
  }
}

bool selectMixKernels(MixKernelSet which) {
  const MixKernels* k = mixKernels(which);
  if (k == nullptr) return false;
  activeKernels.store(k, std::memory_order_relaxed);
  return true;
}

const char* mixKernelName() { return currentKernels().name; }

namespace {

template <void (*Mix)(MixVoice*, int32_t, float*, int32_t)>
void mixBlockWith(XmPlayback& pb, float* out) {
  std::memset(out, 0, sizeof(float) * 2 * kBlockFrames);
  XmPosition& pos = pb.position;
  int32_t done = 0;
  while (done < kBlockFrames) {
    if (pos.samplesToNextTick <= 0) {
      sequencerTick(pb);
      pos.samplesToNextTick = std::max(pos.samplesPerTick, 1);
    }
    const int32_t n = std::min(pos.samplesToNextTick, kBlockFrames - done);
    Mix(pb.voices.data(), kVoiceCount, out + 2 * done, n);
    pos.samplesToNextTick -= n;
    done += n;
  }
}

}  // namespace

void mixBlock(XmPlayback& pb, float* out) { mixBlockWith<&mixVoices>(pb, out); }
void mixBlockReference(XmPlayback& pb, float* out) { mixBlockWith<&mixVoicesReference>(pb, out); }

int16_t convertSample(float value) {
  if (!(value > -32768.0f)) return -32768;  // also NaN
  if (value >= 32767.0f) return 32767;
  return static_cast<int16_t>(std::lrint(value));  // ties to even in the default rounding mode
}

void convertBlock(const float* in, int16_t* out, int32_t frames) {
  int32_t i = 0;
#if defined(__SSE2__)
  // Clamp first (NaN becomes -32768, as below), then round to nearest even
  // in the default rounding mode; the same results as convertSample.
  const __m128 low = _mm_set1_ps(-32768.0f);
  const __m128 high = _mm_set1_ps(32767.0f);
  for (; i + 8 <= 2 * frames; i += 8) {
    const __m128 a = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(in + i), low), high);
    const __m128 b = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(in + i + 4), low), high);
    const __m128i packed = _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), packed);
  }
#endif
  for (; i < 2 * frames; ++i) out[i] = convertSample(in[i]);
}

}  // namespace xm
