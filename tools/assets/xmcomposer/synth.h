// The sample synthesiser: every sound in the four modules is made here.
//
// Sounds are rendered as doubles at a stated sample rate and turned into
// 8- or 16-bit `Sample`s by `makeSample`, which normalises the peak.
//
// Pitched sounds are built on a cycle of exactly `period` samples at rate
// `rate`; with rate = 8363 x 2^(r / 12) and relative note r the cell note
// C-4 plays a pitch of rate / period (period 64 at r = 12 gives C4 a couple
// of cents flat, which finetune corrects). Because every pitched sound is
// periodic in `period`, its last cycle (or last few cycles) loops cleanly.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/assets/xmcomposer/xm_file.h"

namespace xmc {

using Wave = std::vector<double>;

// Rates for relative notes 0, 12 and 24 (C-4 plays the sample unchanged at
// 8363, 16726 and 33452 Hz).
inline constexpr double kRate0 = 8363.0, kRate12 = 16726.0, kRate24 = 33452.0;

// Band-limited single cycles (`period` samples, harmonics below period / 2).
Wave sawCycle(int period, int maxHarmonic = 0);
Wave squareCycle(int period, double duty, int maxHarmonic = 0);
Wave triangleCycle(int period);
Wave sineCycle(int period);
Wave organCycle(int period);  // drawbar-like mix of the first harmonics
// `cycles` repeats of one cycle.
Wave repeat(const Wave& cycle, int cycles);

// A loop of `cycles` x period samples holding saws whose cycle counts are
// `cycles` + each of `detune` (e.g. -1, 0, +1): a chorus that loops seamlessly.
Wave detunedSaws(int period, int cycles, const std::vector<int>& detune, int maxHarmonic);
// Circular one-pole low-pass (the loop stays seamless).
Wave lowpassLoop(const Wave& loop, double cutoffHz, double rate);

// Karplus-Strong string: a delay line of `period` samples, noise-excited,
// with a brightness-controlled averaging filter. Exactly periodic, so the
// last cycle loops.
Wave pluck(int period, int cycles, double brightness, uint32_t seed);
// Saw through a resonant low-pass whose cutoff falls from `startHz` to
// `endHz` over the sound: a synth bass or a plucked lead.
Wave filteredSaw(int period, int cycles, double rate, double startHz, double endHz, double resonance,
                 int maxHarmonic = 0);
// Two-operator FM: carrier at one cycle per `period`, modulator at `ratio`
// (ratio x cyclesPerLoop must be whole), index decaying from `index0` to `index1`.
Wave fm(int period, int cycles, double ratio, double index0, double index1, int loopCycles);

// Drums (one-shots at `rate`).
Wave kick(double rate, double punch = 1.0);
Wave snare(double rate, uint32_t seed);
Wave hat(double rate, double decaySeconds, uint32_t seed);
Wave clap(double rate, uint32_t seed);
Wave tom(double rate, double hz);
Wave noiseSweep(double rate, double seconds, uint32_t seed);  // rising filtered noise
Wave chipNoise(double rate, double seconds, double decay, int hold, uint32_t seed);  // stepped noise

// Scales to `peak` (1.0 = full scale) and quantises. `loopCycles` > 0 with
// `period` loops the last loopCycles x period samples (forward or ping-pong).
Sample makeSample(const Wave& w, bool sixteenBit, double peak, LoopMode loop = LoopMode::None,
                  uint32_t loopLength = 0);

}  // namespace xmc
