// SID synthesis: constants from setup, register decoding, envelopes,
// oscillator phase, waveforms, noise, sync and ring, the filter, voice 3 off,
// the sample channel and the clamp to 16 bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "sid/sid_chip.h"

namespace sid {
namespace {

// Output of one voice at the fixed test level $F00000 (sustain nibble 15) and
// volume 1: ((out - 128) x $F00000) >> 22.
constexpr int kOutFF = 476;   // waveform byte $FF
constexpr int kOut00 = -480;  // waveform byte $00
constexpr int kOut80 = 0;     // waveform byte $80
constexpr int kOut01 = -477;  // waveform byte $01

struct Chip : ::testing::Test {
  std::unique_ptr<SidChip> chip = std::make_unique<SidChip>();
  std::vector<uint8_t> memory = std::vector<uint8_t>(65536, 0);

  void SetUp() override {
    *chip = SidChip{};
    chip->setup(44100);
  }
  std::vector<int16_t> render(int count) {
    std::vector<int16_t> out(static_cast<size_t>(count));
    chip->render(out.data(), count, memory.data());
    return out;
  }
  int16_t renderOne() { return render(1)[0]; }
  void write(uint16_t address, uint8_t value) { chip->write(address, value); }
  // Holds a voice at a constant envelope level: Sustain at sustain nibble s.
  void holdVoice(int v, int sustainNibble) {
    write(static_cast<uint16_t>(0xD406 + 7 * v), static_cast<uint8_t>(sustainNibble << 4));
    chip->osc[v].envelopePhase = EnvelopePhase::Sustain;
    chip->osc[v].level = (sustainNibble << 4) << 16;
  }
  // Voice 0 audible at level $F00000, voices 1 and 2 silent, volume 1.
  void soloVoice0(uint8_t control) {
    holdVoice(0, 15);
    holdVoice(1, 0);
    holdVoice(2, 0);
    write(0xD404, static_cast<uint8_t>(control | kControlGate));  // gate on keeps Sustain
    write(0xD418, 0x01);
  }
};

// ---- setup ----

TEST_F(Chip, SetupConstantsFor44100) {
  // index:                  0       1      2      3      4      5     6     7     8     9   10   11   12   13  14  15
  const int32_t attack[16] = {168867, 47495, 24124, 15998, 10200, 6908, 5692, 4855, 3877, 1555, 777, 486, 389, 129, 77, 48};
  const int32_t decay[16] = {42660, 15468, 7857, 5210, 3322, 2250, 1853, 1581, 1262, 506, 253, 158, 126, 42, 25, 15};
  EXPECT_EQ(chip->freqMul, 359);
  EXPECT_EQ(chip->filterMul, 32);
  EXPECT_EQ(chip->mixRate, 44100u);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(chip->attackRates[i], attack[i]) << "attack " << i;
    EXPECT_EQ(chip->decayReleaseRates[i], decay[i]) << "decay/release " << i;
  }
  for (const Oscillator& o : chip->osc) {
    EXPECT_EQ(o.noiseShift, 0xFFFFFFu);
    EXPECT_EQ(o.envelopePhase, EnvelopePhase::Attack);
    EXPECT_EQ(o.level, 0);
  }
}

TEST_F(Chip, SetupRefusesRateZeroAndAChipNeverSetUpIsSilent) {
  EXPECT_FALSE(chip->setup(0));
  EXPECT_EQ(chip->mixRate, 44100u);  // unchanged
  EXPECT_EQ(chip->freqMul, 359);
  // A zeroed chip that refused its rate: no division by zero, no sound, even
  // with a sounding voice and a playing sample channel.
  *chip = SidChip{};
  EXPECT_FALSE(chip->setup(0));
  write(0xD418, 0x0F);
  write(0xD401, 0x10);
  write(0xD404, 0x21);
  chip->sample.active = 1;
  chip->sample.period = 1;
  chip->sample.end = 100;
  chip->sample.heldSample = 4096;
  for (int16_t v : render(100)) ASSERT_EQ(v, 0);
  EXPECT_TRUE(chip->setup(44100));
  EXPECT_EQ(chip->freqMul, 359);
}

TEST_F(Chip, SetupForAnotherRate) {
  SidChip other{};
  other.setup(22050);
  EXPECT_EQ(other.freqMul, 719);        // 15872000 / 22050
  EXPECT_EQ(other.filterMul, 64);       // 1411200 / 22050
  EXPECT_EQ(other.attackRates[0], 337735);  // about twice the steps, truncated
}

TEST(Fixed16, TruncatesTowardZero) {
  EXPECT_EQ(toFixed16(21.533203125), 1411200);
  EXPECT_EQ(toFixed16(1.2), 78643);
  EXPECT_EQ(toFixed16(0.04), 2621);
  EXPECT_EQ(toFixed16(-0.5), -32768);
  EXPECT_EQ(toFixed16(-1.00001), -65536);
}

// ---- register writes ----

TEST_F(Chip, RegisterMapAndMirrors) {
  struct W { uint16_t address; uint8_t value; };
  for (W w : {W{0xD400, 0x34}, W{0xD401, 0x12}, W{0xD402, 0xFF}, W{0xD403, 0x0F}, W{0xD405, 0xA5},
              W{0xD406, 0x5A}, W{0xD407, 0x78}, W{0xD408, 0x56}, W{0xD40E, 0x9A}, W{0xD40F, 0xBC},
              W{0xD413, 0x11}, W{0xD414, 0x22}, W{0xD415, 0x07}, W{0xD416, 0x80}, W{0xD417, 0xF3},
              W{0xD418, 0x1F}}) {
    write(w.address, w.value);
  }
  EXPECT_EQ(chip->voice[0].frequency, 0x1234);
  EXPECT_EQ(chip->voice[0].pulseWidth, 0x0FFF);
  EXPECT_EQ(chip->voice[0].attackDecay, 0xA5);
  EXPECT_EQ(chip->voice[0].sustainRelease, 0x5A);
  EXPECT_EQ(chip->voice[1].frequency, 0x5678);
  EXPECT_EQ(chip->voice[2].frequency, 0xBC9A);
  EXPECT_EQ(chip->voice[2].attackDecay, 0x11);
  EXPECT_EQ(chip->voice[2].sustainRelease, 0x22);
  EXPECT_EQ(chip->cutoffLow, 0x07);
  EXPECT_EQ(chip->cutoffHigh, 0x80);
  EXPECT_EQ(chip->resonanceRouting, 0xF3);
  EXPECT_EQ(chip->modeVolume, 0x1F);

  write(0xD420, 0x99);  // mirror of register 0
  EXPECT_EQ(chip->voice[0].frequency, 0x1299);
  write(0xD7F8, 0x42);  // $D7F8 AND $1F = 24
  EXPECT_EQ(chip->modeVolume, 0x42);
}

TEST_F(Chip, SampleChannelAddressesLeaveTheRegistersAlone) {
  write(0xD418, 0x0F);
  const SidChip before = *chip;
  write(0xD43D, 0x34);  // mirror of register 29
  write(0xD43E, 0x12);
  write(0xD41E, 0x00);
  write(0xD41F, 0x20);
  write(0xD45D, 0xD9);
  write(0xD45E, 0x03);
  write(0xD43F, 0x02);
  write(0xD47D, 0x01);
  write(0xD47E, 0x10);
  write(0xD47F, 0x20);
  EXPECT_EQ(std::memcmp(chip->voice, before.voice, sizeof before.voice), 0);
  EXPECT_EQ(chip->modeVolume, 0x0F);
  EXPECT_EQ(chip->cutoffLow, before.cutoffLow);
  const SampleChannel::Latched& l = chip->sample.latched;
  EXPECT_EQ(l.endAddress, 0x1234);
  EXPECT_EQ(l.startAddress, 0x2000);
  EXPECT_EQ(l.period, 985);
  EXPECT_EQ(l.repeatCount, 2);
  EXPECT_EQ(l.nibbleOrder, 1);
  EXPECT_EQ(l.repeatStart, 0x2010);
  EXPECT_EQ(chip->sample.active, 0);  // latched only, not started
}

// ---- envelope ----

TEST_F(Chip, EnvelopeWithOnlyVolumeWritten) {
  // Every voice outputs $FF (no waveform): 3 x ((127 x level) >> 22) x 15.
  write(0xD418, 0x0F);
  const std::vector<int16_t> out = render(600);
  // sample (1-based):   1    2    3    4     5
  const int16_t first[] = {225, 450, 675, 900, 1125};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(out[i], first[i]) << i;
  EXPECT_LT(out[98], 22815);  // 99 x 168867 is still below $FFFFFF
  EXPECT_EQ(out[99], 22815);  // the 100th sample reaches $FFFFFF: 3 x 507 x 15
  EXPECT_LT(out[100], 22815);  // decay began
  for (int i = 100 + 394 - 1; i < 600; ++i) ASSERT_EQ(out[i], 0) << i;
}

TEST_F(Chip, EnvelopeLevelsPerSample) {
  write(0xD418, 0x0F);
  struct Step { int samples; int32_t level; EnvelopePhase phase; };
  const Step steps[] = {
      {1, 168867, EnvelopePhase::Attack},
      {98, 99 * 168867, EnvelopePhase::Attack},     // 16717833 < $FFFFFF
      {1, 0xFFFFFF, EnvelopePhase::Decay},          // 100th sample
      {1, 0xFFFFFF - 42660, EnvelopePhase::Decay},
      {392, 0xFFFFFF - 393 * 42660, EnvelopePhase::Decay},  // 11835 left
      {1, 0, EnvelopePhase::Sustain},               // 394th decay sample
      {10, 0, EnvelopePhase::Sustain},
  };
  for (const Step& s : steps) {
    render(s.samples);
    EXPECT_EQ(chip->osc[0].level, s.level);
    EXPECT_EQ(chip->osc[0].envelopePhase, s.phase);
    EXPECT_EQ(chip->osc[2].level, s.level);
  }
}

TEST_F(Chip, GateOffReleasesToTheFloorAndGateOnAttacksFromThere) {
  write(0xD405, 0x00);  // attack 0, decay 0
  write(0xD406, 0x80);  // sustain 8 ($800000), release 0
  write(0xD404, 0x01);  // gate on
  render(600);
  EXPECT_EQ(chip->osc[0].envelopePhase, EnvelopePhase::Sustain);
  EXPECT_EQ(chip->osc[0].level, 0x800000);
  write(0xD404, 0x00);  // gate off: Release at once
  EXPECT_EQ(chip->osc[0].envelopePhase, EnvelopePhase::Release);
  render(1);
  EXPECT_EQ(chip->osc[0].level, 0x800000 - 42660);
  render(1000);
  EXPECT_EQ(chip->osc[0].level, 0x40000);  // never 0
  write(0xD404, 0x01);
  EXPECT_EQ(chip->osc[0].envelopePhase, EnvelopePhase::Attack);
  render(1);
  EXPECT_EQ(chip->osc[0].level, 0x40000 + 168867);
}

TEST_F(Chip, GateOnWhileSoundingDoesNotRestart) {
  write(0xD406, 0x80);
  write(0xD404, 0x01);
  render(150);
  ASSERT_EQ(chip->osc[0].envelopePhase, EnvelopePhase::Decay);
  const int32_t level = chip->osc[0].level;
  write(0xD404, 0x11);  // gate still on, new waveform
  EXPECT_EQ(chip->osc[0].envelopePhase, EnvelopePhase::Decay);
  render(1);
  EXPECT_EQ(chip->osc[0].level, level - 42660);
}

TEST_F(Chip, LoweringSustainDecaysToTheNewLevel) {
  write(0xD406, 0x80);
  render(600);
  ASSERT_EQ(chip->osc[0].envelopePhase, EnvelopePhase::Sustain);
  write(0xD406, 0x40);  // sustain 4 = $400000, decay rate still nibble 0
  render(1);
  EXPECT_EQ(chip->osc[0].envelopePhase, EnvelopePhase::Decay);  // level unchanged this sample
  EXPECT_EQ(chip->osc[0].level, 0x800000);
  render(1);
  EXPECT_EQ(chip->osc[0].level, 0x800000 - 42660);
  render(200);
  EXPECT_EQ(chip->osc[0].envelopePhase, EnvelopePhase::Sustain);
  EXPECT_EQ(chip->osc[0].level, 0x400000);
}

TEST_F(Chip, SlowAttackRate) {
  write(0xD405, 0xF0);  // attack 15: 48 per sample
  render(1000);
  EXPECT_EQ(chip->osc[0].level, 48000);
}

// ---- oscillator ----

TEST_F(Chip, Frequency1000WrapsAfter183Samples) {
  write(0xD400, 0x00);
  write(0xD401, 0x10);
  render(1);
  EXPECT_EQ(chip->osc[0].step, 1470464u);
  EXPECT_EQ(chip->osc[0].phase, 1470464u);
  render(181);
  EXPECT_EQ(chip->osc[0].phase, 182u * 1470464u);  // 267624448, still below 2^28
  render(1);
  EXPECT_EQ(chip->osc[0].phase, 183u * 1470464u - 0x10000000u);  // wrapped: 659456
}

TEST_F(Chip, TestBitHoldsPhaseAndResetsNoise) {
  write(0xD401, 0x40);
  render(10);
  chip->osc[0].noiseShift = 0x123456;
  write(0xD404, 0x08);
  render(5);
  EXPECT_EQ(chip->osc[0].phase, 0u);
  EXPECT_EQ(chip->osc[0].noiseShift, 0xFFFFFFu);
  EXPECT_EQ(chip->osc[0].noiseClock, 0u);
}

struct WaveCase {
  uint8_t control;
  uint32_t phase;
  uint16_t pulseWidth;
  int expected;
};

TEST_F(Chip, WaveformsAtChosenPhases) {
  const WaveCase cases[] = {
      // control  phase        pulse   output (waveform byte)
      {0x00, 0x00000000, 0, kOutFF},        // no waveform: $FF
      {0x20, 0x0FF00000, 0, kOutFF},        // saw $FF
      {0x20, 0x00000000, 0, kOut00},        // saw $00
      {0x20, 0x08000000, 0, kOut80},        // saw $80
      {0x10, 0x07F80000, 0, kOutFF},        // triangle rising to $FF
      {0x10, 0x08000000, 0, kOutFF},        // bit 27 set: $00 XOR $FF
      {0x10, 0x0FF80000, 0, kOut00},        // falling to $00
      {0x10, 0x04000000, 0, kOut80},        // quarter: $80
      {0x40, 0x08000000, 0x0800, kOutFF},   // pulse: phase at the threshold
      {0x40, 0x08080000, 0x0800, kOut00},   // above it
      {0x40, 0x08000000, 0xF800, kOutFF},   // only 12 bits of the width count
      {0x40, 0x00000000, 0x0000, kOutFF},   // width 0: high only at phase 0
      {0x40, 0x00080000, 0x0000, kOut00},
      {0x30, 0x0FF00000, 0, kOut01},        // saw $FF AND triangle $01
      {0x60, 0x0FF00000, 0x0800, kOut00},   // saw AND pulse low
      {0x28, 0x0FF00000, 0, kOut00},        // test bit: phase forced to 0
  };
  for (const WaveCase& c : cases) {
    SetUp();
    soloVoice0(c.control);
    write(0xD402, static_cast<uint8_t>(c.pulseWidth));
    write(0xD403, static_cast<uint8_t>(c.pulseWidth >> 8));
    chip->osc[0].phase = c.phase;  // frequency 0: the phase stays
    EXPECT_EQ(renderOne(), c.expected) << std::hex << "control " << int(c.control) << " phase " << c.phase;
  }
}

TEST_F(Chip, SawtoothRampsOverOneCycle) {
  soloVoice0(0x20);
  write(0xD400, 0x00);
  write(0xD401, 0x40);  // step 5881856: a cycle in about 45.6 samples
  const std::vector<int16_t> out = render(45);
  for (int i = 1; i < 45; ++i) EXPECT_GE(out[i], out[i - 1]) << i;  // rising within the cycle
  EXPECT_LT(out[0], -400);
  EXPECT_GT(out[44], 400);
  EXPECT_LT(renderOne(), 0);  // wrapped
}

TEST_F(Chip, NoiseSequenceFromTheSeed) {
  // Frequency 23367: step 8388753 just above 2^23, so phase >> 23 changes and
  // the shift register is clocked once per sample.
  soloVoice0(0x80);
  write(0xD400, 23367 & 0xFF);
  write(0xD401, 23367 >> 8);
  const uint8_t expected[] = {0xFF, 0xFF, 0xFE, 0xFE, 0xFC, 0xFC, 0xFC, 0xF8, 0xF8, 0xF8, 0xF8, 0xF0,
                              0xF0, 0xE0, 0xE0, 0xE0, 0xC0, 0xC0, 0xC0, 0xC0, 0x81, 0x81, 0x03, 0x03,
                              0x03, 0x06, 0x06, 0x04, 0x04, 0x0C, 0x08, 0x18, 0x18, 0x18, 0x30, 0x30,
                              0x20, 0x20, 0x61, 0x41};
  for (uint8_t e : expected) {
    const int16_t out = renderOne();
    ASSERT_EQ(chip->osc[0].noiseOutput, e);
    ASSERT_EQ(out, ((e - 128) * 0xF00000) >> 22);
  }
}

TEST_F(Chip, NoiseIsClockedOnlyWhenTheTopPhaseBitsChange) {
  soloVoice0(0x80);
  write(0xD401, 0x01);  // step 91904: phase >> 23 changes every ~91 samples
  render(91);
  EXPECT_EQ(chip->osc[0].noiseShift, 0xFFFFFFu);
  render(1);  // 92 x 91904 = 8455168 > 2^23
  EXPECT_EQ(chip->osc[0].noiseShift, 0x1FFFFFEu);
  EXPECT_EQ(chip->osc[0].noiseClock, 1u);
}

TEST_F(Chip, HardSyncResetsFromTheReferenceWrap) {
  // Voice 2 syncs to voice 1. Voice 1 wraps in this sample: its new phase is
  // 1466368 (< its step 1470464), so voice 2's phase = 1466368 x 11763712 / 1470464.
  holdVoice(0, 15);
  holdVoice(1, 15);
  write(0xD401, 0x10);  // voice 1 frequency $1000
  write(0xD408, 0x80);  // voice 2 frequency $8000
  write(0xD40B, 0x22);  // voice 2: saw + sync
  chip->osc[0].phase = 0x0FFFF000;
  chip->osc[1].phase = 0x05000000;
  render(1);
  EXPECT_EQ(chip->osc[0].phase, 1466368u);
  EXPECT_EQ(chip->osc[1].phase, 11730944u);
  render(1);  // no wrap of voice 1 now: voice 2 runs freely
  EXPECT_EQ(chip->osc[1].phase, 11730944u + 11763712u);
}

TEST_F(Chip, SyncProductNeedsSixtyFourBits) {
  // Reference step $FFFF x 359 and a phase near it: the product exceeds 2^32.
  write(0xD40F, 0xFF);  // voice 3 frequency $FF00
  write(0xD400, 0xFF);
  write(0xD401, 0xFF);  // voice 1 frequency $FFFF
  write(0xD404, 0x02);  // voice 1 syncs to voice 3
  chip->osc[2].phase = 0x0FFFFFFF - 100;  // voice 3 wraps in its update, after voice 1
  render(1);
  const uint32_t refPhase = chip->osc[2].phase;  // voice 1 sees this only in the next sample
  const uint32_t refStep = 0xFF00u * 359u;
  ASSERT_LT(refPhase, refStep);
  render(1);
  const uint32_t ref2 = chip->osc[2].phase;
  EXPECT_GE(ref2, refStep);  // no wrap in the second sample
  // Voice 1 synced against voice 3's phase of the previous sample.
  const uint64_t expected = static_cast<uint64_t>(refPhase) * (0xFFFFu * 359u) / refStep;
  EXPECT_GT(static_cast<uint64_t>(refPhase) * (0xFFFFu * 359u), 0xFFFFFFFFull);
  EXPECT_EQ(chip->osc[0].phase, static_cast<uint32_t>(expected));
}

TEST_F(Chip, ReferenceWithStepZeroNeverSyncs) {
  write(0xD401, 0x10);
  write(0xD404, 0x02);  // voice 1 syncs to voice 3, whose step is 0
  render(10);
  EXPECT_EQ(chip->osc[0].phase, 10u * 1470464u);
}

TEST_F(Chip, RingModulationInvertsTriangleWhileTheReferenceIsLow) {
  struct RingCase { uint8_t control; uint32_t refPhase; int expected; };
  const RingCase cases[] = {
      // control        voice 3 phase   output
      {0x14, 0x00000000, kOut00},  // triangle $FF inverted
      {0x14, 0x07FFFFFF, kOut00},
      {0x14, 0x08000000, kOutFF},  // reference high: unchanged
      {0x10, 0x00000000, kOutFF},  // no ring bit
      {0x24, 0x00000000, kOutFF},  // ring without triangle: no effect on saw
  };
  for (const RingCase& c : cases) {
    SetUp();
    soloVoice0(c.control);
    chip->osc[0].phase = 0x07F80000;  // triangle $FF
    chip->osc[2].phase = c.refPhase;
    if (c.control & 0x20) chip->osc[0].phase = 0x0FF00000;  // saw $FF
    EXPECT_EQ(renderOne(), c.expected) << std::hex << int(c.control) << " " << c.refPhase;
  }
}

// ---- filter ----

TEST_F(Chip, CutoffFromTheRegisters) {
  struct CutoffCase { uint8_t low, high; int32_t cutoff; };
  const CutoffCase cases[] = {
      // low  high  cutoff = (16 x high + (low AND 7)) x 32, at most 65536
      {7, 255, 65536},
      {7, 0, 224},
      {0xFF, 0, 224},  // only bits 0-2 of the low register
      {7, 127, 65248},
      {0, 128, 65536},
      {1, 128, 65536},  // 2049 x 32 limited
      {0, 0, 0},
  };
  for (const CutoffCase& c : cases) {
    write(0xD415, c.low);
    write(0xD416, c.high);
    render(1);
    EXPECT_EQ(chip->filter.cutoff, c.cutoff) << int(c.low) << "/" << int(c.high);
  }
}

TEST_F(Chip, DampingFromResonance) {
  const int32_t expected[16] = {307, 296, 286, 276, 266, 256, 245, 235, 225, 215, 204, 194, 184, 174, 163, 153};
  for (int r = 0; r < 16; ++r) {
    write(0xD417, static_cast<uint8_t>(r << 4));
    render(1);
    EXPECT_EQ(chip->filter.damping, expected[r]) << r;
    EXPECT_EQ(dampingFor(r), expected[r]);
  }
}

TEST_F(Chip, FilterStepsOfARoutedVoice) {
  // Voice 1 constant at $FF (contribution 476) routed into a fully open
  // filter; (low, band, high) >> 16 per sample from the 16.16 recurrences.
  soloVoice0(0x00);
  write(0xD415, 7);
  write(0xD416, 255);
  write(0xD417, 0x01);
  struct Out { int low, band, high; };
  const Out expected[] = {{476, 476, 476}, {381, -95, -571}, {494, 113, 208}, {453, -42, -156}};
  for (const Out& e : expected) {
    renderOne();
    EXPECT_EQ(chip->filter.low >> 16, e.low);
    EXPECT_EQ(chip->filter.band >> 16, e.band);
    EXPECT_EQ(chip->filter.high >> 16, e.high);
  }
}

TEST_F(Chip, FilterModesSelectTheOutputs) {
  // First sample of a routed constant 476 with the open filter gives
  // low = band = high = 476; the output adds the enabled ones (volume 1).
  struct ModeCase { uint8_t modeVolume; int expected; };
  const ModeCase cases[] = {{0x01, 0}, {0x11, 476}, {0x21, 476}, {0x41, 476}, {0x31, 952}, {0x71, 1428}};
  for (const ModeCase& c : cases) {
    SetUp();
    soloVoice0(0x00);
    write(0xD416, 255);
    write(0xD417, 0x01);
    write(0xD418, c.modeVolume);
    EXPECT_EQ(renderOne(), c.expected) << std::hex << int(c.modeVolume);
  }
}

double rms(const std::vector<int16_t>& v, size_t from) {
  double sum = 0;
  for (size_t i = from; i < v.size(); ++i) sum += double(v[i]) * v[i];
  return std::sqrt(sum / double(v.size() - from));
}

TEST_F(Chip, LowPassDampsAHighPitchHighPassKeepsIt) {
  // A 2.6 kHz square wave (frequency $B000) through a low cutoff (high 8 ->
  // 4096/65536, some 450 Hz): low-pass removes most of it, high-pass passes
  // most of it.
  auto play = [&](uint8_t modeVolume, bool routed) {
    SetUp();
    soloVoice0(0x41);
    write(0xD403, 0x08);
    write(0xD401, 0xB0);
    write(0xD416, 8);
    write(0xD417, routed ? 0x01 : 0x00);
    write(0xD418, modeVolume);
    return rms(render(4410), 441);
  };
  const double dry = play(0x0F, false);
  const double low = play(0x1F, true);
  const double high = play(0x4F, true);
  EXPECT_GT(dry, 5000);
  EXPECT_LT(low, dry * 0.3);
  EXPECT_GT(high, dry * 0.6);
}

TEST_F(Chip, Voice3OffRemovesItFromBothSumsButKeepsItRunning) {
  holdVoice(0, 0);
  holdVoice(1, 0);
  holdVoice(2, 15);
  write(0xD40F, 0x10);
  write(0xD418, 0x0F);
  EXPECT_EQ(renderOne(), kOutFF * 15);
  write(0xD418, 0x8F);
  EXPECT_EQ(renderOne(), 0);
  write(0xD417, 0x04);  // routed: still silent
  write(0xD418, 0x9F);
  EXPECT_EQ(renderOne(), 0);
  EXPECT_EQ(chip->osc[2].phase, 3u * 1470464u);  // it still runs
  // and still drives sync: voice 1 syncs to voice 3 when it wraps
  write(0xD404, 0x02);
  write(0xD401, 0x01);
  chip->osc[2].phase = 0x0FFFFFFF;
  render(2);
  EXPECT_LT(chip->osc[0].phase, chip->osc[0].step);
}

// ---- range and clamp ----

TEST_F(Chip, UnfilteredOutputRange) {
  // All three voices at full level and volume 15: 3 x 507 x 15 at most,
  // 3 x -512 x 15 at least.
  for (int v = 0; v < 3; ++v) {
    chip->osc[v].level = 0xFFFFFF;
    chip->osc[v].envelopePhase = EnvelopePhase::Sustain;
    write(static_cast<uint16_t>(0xD406 + 7 * v), 0xF0);
    write(static_cast<uint16_t>(0xD404 + 7 * v), 0x21);  // saw, gate on
  }
  write(0xD418, 0x0F);
  // In Sustain with a level above the sustain level the first sample keeps
  // $FFFFFF (only the phase turns to Decay); saw at phase 0 is $00: -512 each.
  EXPECT_EQ(renderOne(), -23040);
  for (int v = 0; v < 3; ++v) {
    chip->osc[v].level = 0xFFFFFF;
    chip->osc[v].envelopePhase = EnvelopePhase::Attack;  // stays at the top this sample
    chip->osc[v].phase = 0x0FF00000;
  }
  EXPECT_EQ(renderOne(), 22815);
}

TEST_F(Chip, OutputClampsInsteadOfWrapping) {
  holdVoice(0, 0);
  holdVoice(1, 0);
  holdVoice(2, 0);
  write(0xD418, 0x12);  // low-pass, volume 2, cutoff 0 keeps the integrator
  chip->filter.low = 30000 << 16;
  EXPECT_EQ(renderOne(), 32767);  // 60000 would wrap to -5536
  chip->filter.low = -30000 * 65536;
  EXPECT_EQ(renderOne(), -32768);  // -60000 would wrap to 5536
  chip->filter.low = 16383 << 16;
  EXPECT_EQ(renderOne(), 32766);  // within range: unchanged
  // The sample channel's nibble adds after the volume and is clamped too.
  chip->filter.low = 16383 << 16;
  chip->sample.active = 1;
  chip->sample.period = 1;
  chip->sample.end = 1;
  chip->sample.heldSample = 8 * 1024;
  EXPECT_EQ(renderOne(), 32767);
}

// ---- sample channel ----

struct SampleChip : Chip {
  void startSample(uint16_t start, uint16_t end, uint16_t period, uint8_t trigger = 0xFE,
                   uint8_t repeats = 0, uint16_t repeatStart = 0, uint8_t order = 0) {
    write(0xD41E, static_cast<uint8_t>(start));
    write(0xD41F, static_cast<uint8_t>(start >> 8));
    write(0xD43D, static_cast<uint8_t>(end));
    write(0xD43E, static_cast<uint8_t>(end >> 8));
    write(0xD45D, static_cast<uint8_t>(period));
    write(0xD45E, static_cast<uint8_t>(period >> 8));
    write(0xD43F, repeats);
    write(0xD47E, static_cast<uint8_t>(repeatStart));
    write(0xD47F, static_cast<uint8_t>(repeatStart >> 8));
    write(0xD47D, order);
    write(0xD41D, trigger);
  }
};

TEST_F(SampleChip, PeriodSetsTheNibbleRate) {
  // Period 985: 985248 / 985 = 1000 per sample; a nibble whenever the
  // counter passes 44100, i.e. first after 45 samples, about every 44.1.
  for (int i = 0; i < 0x400; ++i) memory[0x2000 + i] = 0xF0;
  startSample(0x2000, 0x2400, 985);
  EXPECT_EQ(chip->sample.active, 1);
  render(44);
  EXPECT_EQ(chip->sample.heldSample, 0);
  render(1);
  EXPECT_EQ(chip->sample.heldSample, (15 - 7) * 1024);  // high nibble of $F0
  EXPECT_EQ(chip->sample.counter, 900);
  render(44100 - 45);
  const int advanced = chip->sample.position - 0x2000;
  EXPECT_GE(advanced, 499);  // 1000 nibbles, 500 bytes per second
  EXPECT_LE(advanced, 500);
}

TEST_F(SampleChip, NibbleOrderAndRepeat) {
  // Period 22: 44784 per sample, one nibble each sample. Volume 0, so the
  // output is the held sample alone (the volume never scales it).
  memory[0x2000] = 0x12;
  memory[0x2001] = 0x34;
  memory[0x2002] = 0x56;
  startSample(0x2000, 0x2002, 22, 0xFE, 1, 0x2000);
  const std::vector<int16_t> out = render(10);
  // sample: 1 (initial 0), 2 (hi $12), 3 (lo $34), 4 (hi $34), then the end
  // sends it back to $2000 once (lo $12, hi $12, lo $34, hi $34), then it is
  // past the end after the last advance read lo $56, and silent.
  const int16_t expected[] = {0,     -6144, -3072, -4096, -5120, -6144, -3072, -4096, 0, 0};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(out[i], expected[i]) << i;
  EXPECT_EQ(chip->sample.repeatsLeft, 0);
  EXPECT_EQ(chip->sample.active, 1);  // silent but active
}

TEST_F(SampleChip, ReverseNibbleOrder) {
  memory[0x2000] = 0x12;
  memory[0x2001] = 0x34;
  startSample(0x2000, 0x2010, 22, 0xFF, 0, 0, 1);
  const std::vector<int16_t> out = render(4);
  // nibble 0 -> -1: becomes 1 and the position advances: hi $34, then lo $34
  const int16_t expected[] = {0, (3 - 7) * 1024, (4 - 7) * 1024, (0 - 7) * 1024};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], expected[i]) << i;
}

TEST_F(SampleChip, TriggerValues) {
  startSample(0x2000, 0x2010, 22, 0xFE);
  EXPECT_EQ(chip->sample.active, 1);
  write(0xD41D, 0x00);  // any other value leaves it as it was
  EXPECT_EQ(chip->sample.active, 1);
  write(0xD41D, 0xFD);
  EXPECT_EQ(chip->sample.active, 0);
  write(0xD41D, 0x10);
  EXPECT_EQ(chip->sample.active, 0);
  write(0xD41D, 0xFF);
  EXPECT_EQ(chip->sample.active, 1);
}

TEST_F(SampleChip, PeriodZeroStaysSilent) {
  memory[0x2000] = 0xFF;
  startSample(0x2000, 0x2010, 0);
  chip->sample.heldSample = 4096;
  const std::vector<int16_t> out = render(100);
  for (int16_t v : out) EXPECT_EQ(v, 0);
  EXPECT_EQ(chip->sample.position, 0x2000);
}

TEST_F(SampleChip, AddsToTheMixWithoutVolume) {
  memory[0x2000] = 0xF0;
  holdVoice(0, 15);
  holdVoice(1, 0);
  holdVoice(2, 0);
  write(0xD418, 0x02);  // voice 1 ($FF) at volume 2: 952
  startSample(0x2000, 0x2010, 22);
  EXPECT_EQ(renderOne(), 952);         // held sample still 0
  EXPECT_EQ(renderOne(), 952 + 8192);  // high nibble F
}

}  // namespace
}  // namespace sid
