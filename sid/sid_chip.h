// SidChip: a small, fast model of the C64's SID sound chip.
//
// Three voices, each a 28-bit phase accumulator with triangle, sawtooth,
// pulse and noise waveforms (combined by AND), hard sync and ring modulation,
// and a linear four-phase envelope with 24-bit levels; a resonant
// state-variable filter in 16.16 fixed point with low, band and high outputs;
// a master volume 0..15. A `SampleChannel` plays 4-bit samples from the
// emulated memory when a tune writes a few extra addresses in the chip's
// mirror range.
//
// Usage: zero the record, `setup(44100)` once, then `write` register bytes as
// the CPU stores them and `render` blocks of samples. Register values take
// effect at the next `render` call, except gate changes, which switch the
// envelope phase at the moment of the write. The per-sample loop is
// integer-only; floating point is used in `setup` alone.
//
// Not modelled: combined-waveform quirks of the real chip, filter
// non-linearity, envelope delay bugs, reading registers back.
#pragma once

#include <cstdint>

namespace sid {

// Register indices (address AND $1F). Voice 2 adds 7, voice 3 adds 14.
enum SidRegister : uint8_t {
  kRegFrequencyLow = 0,
  kRegFrequencyHigh = 1,
  kRegPulseLow = 2,
  kRegPulseHigh = 3,
  kRegControl = 4,
  kRegAttackDecay = 5,
  kRegSustainRelease = 6,
  kRegCutoffLow = 21,
  kRegCutoffHigh = 22,
  kRegResonanceRouting = 23,
  kRegModeVolume = 24,
};
inline constexpr int kVoiceRegisterStride = 7;

// Voice control register bits.
inline constexpr uint8_t kControlGate = 0x01;
inline constexpr uint8_t kControlSync = 0x02;
inline constexpr uint8_t kControlRing = 0x04;
inline constexpr uint8_t kControlTest = 0x08;
inline constexpr uint8_t kControlTriangle = 0x10;
inline constexpr uint8_t kControlSawtooth = 0x20;
inline constexpr uint8_t kControlPulse = 0x40;
inline constexpr uint8_t kControlNoise = 0x80;

// Mode/volume register bits.
inline constexpr uint8_t kModeVolumeMask = 0x0F;
inline constexpr uint8_t kModeLowPass = 0x10;
inline constexpr uint8_t kModeBandPass = 0x20;
inline constexpr uint8_t kModeHighPass = 0x40;
inline constexpr uint8_t kModeVoice3Off = 0x80;

// Sample channel addresses (mirrors of the unused registers 29..31).
inline constexpr uint16_t kSampleStartLow = 0xD41E;
inline constexpr uint16_t kSampleStartHigh = 0xD41F;
inline constexpr uint16_t kSampleEndLow = 0xD43D;
inline constexpr uint16_t kSampleEndHigh = 0xD43E;
inline constexpr uint16_t kSampleRepeatCount = 0xD43F;
inline constexpr uint16_t kSamplePeriodLow = 0xD45D;
inline constexpr uint16_t kSamplePeriodHigh = 0xD45E;
inline constexpr uint16_t kSampleNibbleOrder = 0xD47D;
inline constexpr uint16_t kSampleRepeatStartLow = 0xD47E;
inline constexpr uint16_t kSampleRepeatStartHigh = 0xD47F;
inline constexpr uint16_t kSampleTrigger = 0xD41D;
inline constexpr uint8_t kSampleTriggerStop = 0xFD;
inline constexpr uint8_t kSampleTriggerStart = 0xFE;
inline constexpr uint8_t kSampleTriggerStartToo = 0xFF;

// Register file layout.
inline constexpr uint8_t kRegisterMask = 0x1F;           // address AND mask: register index
inline constexpr uint16_t kLastRegisterAddress = 0xD418;  // mode/volume; above it, sample channel mirrors

// Oscillators: a 28-bit phase accumulator per voice. The real chip adds its
// 16-bit frequency register to a 24-bit accumulator once per cycle of its
// clock; 15,872,000 = 16 x 992,000 is that clock (close to the PAL machine's
// 985,248 Hz) scaled by 16 for our four extra phase bits, so a voice's
// per-sample step is frequency x (kFrequencyScale / mixRate).
inline constexpr uint32_t kPhaseBits = 28;
inline constexpr uint32_t kPhaseMask = (1u << kPhaseBits) - 1;  // 0x0FFFFFFF
inline constexpr uint32_t kPhaseTopBit = 1u << (kPhaseBits - 1);  // second half of the cycle
inline constexpr uint32_t kFrequencyScale = 15'872'000;
inline constexpr uint32_t kWaveformBits = 8;
inline constexpr uint32_t kSawtoothShift = kPhaseBits - kWaveformBits;      // top 8 phase bits
inline constexpr uint32_t kTriangleShift = kPhaseBits - kWaveformBits - 1;  // next 8 bits, folded by the top bit
inline constexpr uint8_t kWaveformFull = 0xFF;
inline constexpr uint16_t kPulseWidthMask = 0x0FFF;
inline constexpr uint32_t kPulseThresholdShift = kPhaseBits - 12;  // 12-bit width against the phase

// Noise: a 23-bit shift register clocked whenever the top five phase bits
// change; bits 22 and 17 are fed back into bit 0, and eight of its bits make
// the output byte.
inline constexpr uint32_t kNoiseClockShift = kPhaseBits - 5;
inline constexpr uint32_t kNoiseSeed = 0xFFFFFF;
inline constexpr uint32_t kNoiseFeedbackTapHigh = 22;
inline constexpr uint32_t kNoiseFeedbackTapLow = 17;
inline constexpr uint32_t kNoiseOutputTaps[8] = {22, 20, 16, 13, 11, 7, 4, 2};  // to output bits 7..0

// Envelope and voice output.
inline constexpr int32_t kEnvelopeMax = 0xFFFFFF;   // 24-bit level
inline constexpr int32_t kReleaseFloor = 0x40000;   // a released voice never falls below this
inline constexpr uint8_t kSustainMask = 0xF0;       // sustain nibble kept in place: 0, 16, ..., 240
inline constexpr uint32_t kSustainLevelShift = 16;  // sustain 0..240 to a 24-bit level
inline constexpr int32_t kWaveformMidpoint = 128;   // waveform byte to signed
inline constexpr uint32_t kVoiceOutputShift = 22;   // (byte - 128) x level to -512..507

// Filter: cutoff from 16 x high byte + low 3 bits, coefficients in 16.16.
inline constexpr int32_t kCutoffHighWeight = 16;
inline constexpr uint8_t kCutoffLowMask = 0x07;
inline constexpr int32_t kCutoffLimit = 65536;         // 1.0 in 16.16
inline constexpr uint32_t kFixedPointShift = 16;       // 16.16
inline constexpr uint32_t kFilterProductShift = 8;     // both factors of a product lose 8 bits
inline constexpr uint32_t kResonanceShift = 4;         // resonance nibble of register 23

// Sample channel: the PAL machine's clock paces the nibbles; a nibble n
// plays as (n - 7) x 1024, centred on 7 and spanning -7168..8192.
inline constexpr uint32_t kPalClockHz = 985248;
inline constexpr int32_t kSampleNibbleMidpoint = 7;
inline constexpr int32_t kSampleNibbleScale = 1024;

// The stored sample is clamped to the 16-bit range: a resonant filter can
// drive the mix past it, and wrapping would turn full positive into full
// negative, a loud crackle.
inline constexpr int32_t kSampleMin = -32768;
inline constexpr int32_t kSampleMax = 32767;

// Envelope times in seconds, single precision; `setup` turns them into
// per-sample level steps for the mix rate.
inline constexpr float kAttackTimes[16] = {
    0.0022528607f, 0.008009958f, 0.015769605f, 0.023779562f, 0.037296366f, 0.05506846f,
    0.06683309f,   0.0783474f,   0.09812198f,  0.24455403f,  0.48910806f,  0.7824727f,
    0.97771543f,   2.933647f,    4.889078f,    7.822725f};
inline constexpr float kDecayReleaseTimes[16] = {
    0.008917777f, 0.024594052f, 0.04841859f, 0.07301167f, 0.11451247f, 0.16907835f,
    0.20519944f,  0.24055198f,  0.30126613f, 0.75085825f, 1.5017155f,  2.4024367f,
    3.001893f,    9.007214f,    15.010998f,  24.018211f};

enum class EnvelopePhase : uint8_t { Attack = 0, Decay = 1, Sustain = 2, Release = 3 };

struct VoiceRegisters {
  uint16_t frequency;
  uint16_t pulseWidth;  // low 12 bits used
  uint8_t control;      // kControl* bits
  uint8_t attackDecay;
  uint8_t sustainRelease;
};

struct Oscillator {
  // Refreshed from the registers at the start of every render call.
  uint32_t step;            // frequency x freqMul, added to phase per sample
  uint32_t pulseThreshold;  // (pulseWidth AND $FFF) << 16
  uint8_t wave;             // control register copy
  uint8_t filtered;         // 1 when routed through the filter
  int32_t attack, decay, sustain, release;  // per-sample steps; sustain 0..240
  // Running state.
  uint32_t phase;  // 28-bit accumulator
  int32_t level;   // envelope level 0..$FFFFFF
  EnvelopePhase envelopePhase;
  uint32_t noiseClock;  // phase >> 23 at the last noise clock
  uint32_t noiseShift;  // 23-bit LFSR
  uint8_t noiseOutput;  // current 8-bit noise value
};

struct FilterState {
  int32_t cutoff;  // 16.16, at most kCutoffLimit
  uint8_t lowEnabled, bandEnabled, highEnabled, voice3Enabled;
  int32_t volume;   // 0..15
  int32_t damping;  // 153..307 (resonance 15..0)
  int32_t high, band, low;  // 16.16 outputs and integrators
};

// 4-bit sample playback from emulated memory. Looping: when a nibble advance
// moves the position to the end address, a non-zero repeat count sends it back
// to the repeat start and counts down; with no repeats left the channel stays
// past the end, silent but active. A period of 0 keeps it silent.
struct SampleChannel {
  struct Latched {
    int32_t period, nibbleOrder, startAddress, endAddress, repeatCount, repeatStart;
  } latched;
  int32_t active, position, start, end, repeatStart, counter, period, repeatsLeft, nibbleOrder,
      nibble;
  int32_t heldSample;  // value currently added to the output
};

struct SidChip {
  VoiceRegisters voice[3];
  uint8_t cutoffLow, cutoffHigh, resonanceRouting, modeVolume;
  Oscillator osc[3];
  FilterState filter;
  SampleChannel sample;
  int32_t freqMul, filterMul;
  uint32_t mixRate;
  int32_t attackRates[16], decayReleaseRates[16];

  // Derives the constants for a sample rate; clears registers, oscillators,
  // filter and sample channel counter. Refuses a rate of 0 (returns false and
  // changes nothing); a chip that was never set up renders silence.
  bool setup(uint32_t rate);
  // A CPU write to $D400-$D7FF (the full address).
  void write(uint16_t address, uint8_t value);
  // Renders count samples; memory is the CPU's 64 KB, read by the sample
  // channel. Per sample: oscillators (phase, test, sync), noise, waveforms,
  // envelopes and the voice sums, then the filter, the master volume, the
  // sample channel and the clamp to 16 bits.
  void render(int16_t* buffer, int count, const uint8_t* memory);
};

// Truncates x * 65536 toward zero (16.16 fixed point).
int32_t toFixed16(double x);

// Filter damping for a resonance nibble 0..15: 307 down to 153.
int32_t dampingFor(int resonance);

}  // namespace sid
