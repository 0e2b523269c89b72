// The sample synthesiser: deterministic maths, loops that join cleanly,
// one-shots that end in silence, tuning.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tools/assets/xmcomposer/dsp.h"
#include "tools/assets/xmcomposer/songs/kit.h"
#include "tools/assets/xmcomposer/synth.h"

namespace xmc {
namespace {

TEST(DeterministicMaths, MatchesKnownValues) {
  struct Case { double got, want; const char* what; };
  const Case cases[] = {
      {dsin(kPi / 6), 0.5, "sin 30 degrees"},
      {dsin(-kPi / 2), -1.0, "sin -90 degrees"},
      {dsin(7 * kPi / 6 + 20 * kPi), -0.5, "sin far from 0"},
      {dcos(kPi / 3), 0.5, "cos 60 degrees"},
      {dexp2(0.5), 1.4142135623730951, "2^0.5"},
      {dexp2(-3.0), 0.125, "2^-3"},
      {dexp(1.0), 2.718281828459045, "e"},
      {semitones(12), 2.0, "an octave"},
      {semitones(7), 1.4983070768766815, "a fifth"},
      {dtanh(0.5), 0.46211715726000974, "tanh 0.5"},
  };
  for (const Case& c : cases) EXPECT_NEAR(c.got, c.want, 1e-12) << c.what;
}

TEST(DeterministicMaths, NoiseSequenceIsFixedBySeed) {
  // xorshift32 from seed 1: the first three outputs.
  Rng rng(1);
  EXPECT_EQ(rng.next(), 270369u);
  EXPECT_EQ(rng.next(), 67634689u);
  EXPECT_EQ(rng.next(), 2647435461u);
  Rng zero(0);  // a zero seed would stick at zero
  EXPECT_NE(zero.next(), 0u);
}

TEST(Samples, NormaliseToTheRequestedPeak) {
  const Wave w = {0.0, 0.25, -0.5, 0.1};
  const Sample s16 = makeSample(w, true, 1.0, LoopMode::Forward, 2);
  EXPECT_EQ(s16.data, (std::vector<int16_t>{0, 16384, -32767, 6553}));
  EXPECT_EQ(s16.loopStart, 2u);  // the loop is the last two samples
  EXPECT_EQ(s16.loopLength, 2u);
  const Sample s8 = makeSample(w, false, 0.5, LoopMode::Forward, 2);
  // 0.5 of 127 over a peak of 0.5: 0.25 -> 31.75 -> 32, -0.5 -> -63.5 -> -63 (ties round up)
  EXPECT_EQ(s8.data, (std::vector<int16_t>{0, 32, -63, 13}));
  EXPECT_FALSE(s8.sixteenBit);
}

TEST(Samples, OneShotsEndInSilence) {
  const Wave waves[] = {kick(kRate12), snare(kRate12, 3), hat(kRate24, 0.05, 4), clap(kRate12, 5),
                        tom(kRate12, 100), chipNoise(kRate12, 0.2, 0.05, 2, 6)};
  for (const Wave& w : waves) {
    const Sample s = makeSample(w, true, 0.9);
    EXPECT_EQ(s.loop, LoopMode::None);
    EXPECT_EQ(s.data.back(), 0);
    // The fade is gentle: no step near the end is larger than the biggest
    // step in the sound itself.
    int worst = 0, tail = 0;
    for (size_t i = 1; i < s.data.size(); ++i) {
      const int step = std::abs(s.data[i] - s.data[i - 1]);
      worst = std::max(worst, step);
      if (i + 400 >= s.data.size()) tail = std::max(tail, step);
    }
    EXPECT_LE(tail, worst);
  }
}

// The jump from a loop's last sample back to its first, compared with the
// largest step inside the loop: a clean seam is no rougher than the wave.
double seamRatio(const Sample& s) {
  int inside = 1;
  for (uint32_t i = s.loopStart + 1; i < s.loopStart + s.loopLength; ++i) {
    inside = std::max(inside, std::abs(s.data[i] - s.data[i - 1]));
  }
  const int seam = std::abs(s.data[s.loopStart] - s.data[s.loopStart + s.loopLength - 1]);
  return double(seam) / inside;
}

TEST(Samples, PitchedLoopsJoinCleanly) {
  constexpr int P = 64;
  const Sample sounds[] = {
      makeSample(repeat(sawCycle(P), 2), true, 0.9, LoopMode::Forward, P),
      makeSample(detunedSaws(P, 32, {-1, 0, 1}, 12), true, 0.9, LoopMode::Forward, P * 32),
      makeSample(lowpassLoop(detunedSaws(P, 32, {-2, 2}, 12), 900, kRate12), true, 0.9, LoopMode::Forward,
                 P * 32),
      makeSample(filteredSaw(P, 24, kRate12, 3000, 400, 0.5), true, 0.9, LoopMode::Forward, P),
      makeSample(fm(P, 32, 3.5, 2.0, 0.5, 2), true, 0.9, LoopMode::Forward, 2 * P),
      makeSample(pluck(P, 60, 0.7, 9), true, 0.9, LoopMode::Forward, P),
  };
  for (size_t i = 0; i < std::size(sounds); ++i) EXPECT_LE(seamRatio(sounds[i]), 1.05) << "sound " << i;
}

TEST(Samples, BandLimitedSawHasNoDcAndOneEdge) {
  const Wave w = sawCycle(64);
  double sum = 0, rise = 0, fall = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    sum += w[i];
    const double step = w[(i + 1) % w.size()] - w[i];
    rise = std::max(rise, step);
    fall = std::max(fall, -step);
  }
  EXPECT_NEAR(sum, 0.0, 1e-9);
  EXPECT_GT(rise, 1.0);       // the edge, about pi spread over a few samples
  EXPECT_GT(rise, 3 * fall);  // the ramp falls pi / 64 a sample, ripple included
}

TEST(Samples, TuningPutsMiddleCOnC4) {
  // cycle, relative note, rate : finetune (1/128 semitone)
  //  64, 12, 16726 Hz : 261.34 Hz is 1.9 cents flat -> +2
  //  32,  0,  8363 Hz : the same pitch               -> +2
  // 100, 12, 16726 Hz : 167.26 Hz is 774.5 cents low -> 8 semitones up, -25.5 cents -> -33
  Sample a, b, c;
  tune(a, 12, 64, kRate12);
  tune(b, 0, 32, kRate0);
  EXPECT_EQ(a.relativeNote, 12);
  EXPECT_EQ(a.finetune, 2);
  EXPECT_EQ(b.relativeNote, 0);
  EXPECT_EQ(b.finetune, 2);
  tune(c, 12, 100, kRate12);
  EXPECT_EQ(c.relativeNote, 20);
  EXPECT_EQ(c.finetune, -33);
}

}  // namespace
}  // namespace xmc
