// The mixer: 64 voices resampled with linear interpolation into float frames.
//
// Each voice plays one sample from its position with a 32.32 step per output
// frame, loops forward or back and forth, and ramps its left and right gains
// over 128 frames whenever they change, so that starts and stops do not
// click. A channel retriggering a sounding voice moves to the voice's partner
// (i and i + 32) and the old note ramps out on its own. mixBlock runs the
// sequencer and the voices for one 884-frame block; convertBlock turns the
// floats into clipped 16-bit stereo.
#pragma once

#include <cstdint>

#include "xm/mix_kernels.h"
#include "xm/xm_song.h"

namespace xm {

// Starts `sample` on the channel's voice (moving to the partner voice when
// the current one still sounds), from the voice's pending start offset.
void triggerVoice(XmPlayback& playback, XmChannel& channel, const XmSample* sample);

// Writes a forward loop shorter than kLoopCopyFrames again and again after
// its end, at least kLoopCopyFrames frames of copies (and the guard after
// them), and sets copiesEnd. The data past the loop end is never played by a
// forward loop, so nothing is lost. The mixer then lets a voice with steady
// gains run through the copies and folds its position back into the loop,
// which gives exactly the frames that stopping at every loop end gives.
void addLoopCopies(XmSample& sample);

// leftGain / rightGain from the voice's volume and panning.
void setVoiceGains(MixVoice& voice);

// The resampling step for a playback frequency in Hz (at least 100 Hz).
void setVoiceFrequency(MixVoice& voice, int32_t frequency);

// Adds `frames` stereo frames of every sounding voice to `out` (interleaved
// left, right), with the vector kernels of this processor.
void mixVoices(MixVoice* voices, int32_t voiceCount, float* out, int32_t frames);

// One block: clears `out` (kBlockFrames stereo frames), then alternates
// sequencer ticks and voice mixing until the block is full.
void mixBlock(XmPlayback& playback, float* out);

// The same mixing with the plain kernels: the very same mixVoice (the same
// stretches between loop boundaries, the same ramps and gains) with the
// one-frame-per-pass inner loops, and silent voices mixed rather than
// skipped. mixVoices and mixBlock must give exactly these results, and the
// tests hold them to it; so this checks the SSE2 and AVX2 kernels and the
// silent-voice shortcut against the plain code, not the mixing algorithm
// itself. That is checked separately: the tests follow loop positions with
// an unfolding of their own (tests/xm/mixer_test.cpp) and compare single
// frames with interpolation worked out by hand.
void mixVoicesReference(MixVoice* voices, int32_t voiceCount, float* out, int32_t frames);
void mixBlockReference(XmPlayback& playback, float* out);

// Chooses the kernels mixVoices uses (the best available by default); false
// when this processor or build lacks them. For tests and benchmarks.
bool selectMixKernels(MixKernelSet which);
const char* mixKernelName();

// Float to 16 bits: nearest integer, ties to even, clipped.
int16_t convertSample(float value);
void convertBlock(const float* in, int16_t* out, int32_t frames);

}  // namespace xm
