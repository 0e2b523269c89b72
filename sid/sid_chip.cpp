#include "sid/sid_chip.h"

#include <cstddef>
#include <cstring>
#include <utility>

namespace sid {
namespace {

// Filter arithmetic is 32-bit two's complement that may wrap with extreme
// resonance; products are formed wide and wrapped explicitly.
inline int32_t wrap32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

constexpr double kFilterBase = 21.533203125;  // 16.16 cutoff step per unit at rate 1
constexpr double kDampingBase = 1.2;
constexpr double kDampingPerResonance = 0.04;
constexpr double kEnvelopeRange = 16777216.0;  // 2^24: a rate moves the level through it in its time

template <typename Word>
void setLowByte(Word& word, uint8_t value) {
  word = static_cast<Word>((word & 0xFF00) | value);
}
template <typename Word>
void setHighByte(Word& word, uint8_t value) {
  word = static_cast<Word>((value << 8) | (word & 0xFF));
}

// ---- once per render call ----

void refreshOscillators(SidChip& chip) {
  for (int v = 0; v < 3; ++v) {
    const VoiceRegisters& vr = chip.voice[v];
    Oscillator& o = chip.osc[v];
    o.pulseThreshold = static_cast<uint32_t>(vr.pulseWidth & kPulseWidthMask) << kPulseThresholdShift;
    o.filtered = (chip.resonanceRouting >> v) & 1;
    o.attack = chip.attackRates[vr.attackDecay >> 4];
    o.decay = chip.decayReleaseRates[vr.attackDecay & 15];
    o.sustain = vr.sustainRelease & kSustainMask;
    o.release = chip.decayReleaseRates[vr.sustainRelease & 15];
    o.wave = vr.control;
    o.step = static_cast<uint32_t>(vr.frequency) * static_cast<uint32_t>(chip.freqMul);
  }
}

void refreshFilter(SidChip& chip) {
  FilterState& f = chip.filter;
  const int32_t cutoff = (kCutoffHighWeight * chip.cutoffHigh + (chip.cutoffLow & kCutoffLowMask)) * chip.filterMul;
  f.cutoff = cutoff > kCutoffLimit ? kCutoffLimit : cutoff;
  f.lowEnabled = (chip.modeVolume & kModeLowPass) ? 1 : 0;
  f.bandEnabled = (chip.modeVolume & kModeBandPass) ? 1 : 0;
  f.highEnabled = (chip.modeVolume & kModeHighPass) ? 1 : 0;
  f.voice3Enabled = (chip.modeVolume & kModeVoice3Off) ? 0 : 1;
  f.volume = chip.modeVolume & kModeVolumeMask;
  f.damping = dampingFor(chip.resonanceRouting >> kResonanceShift);
}

// ---- per sample ----

// Phase advance, test bit and hard sync against the reference voice (the
// previous one; voice 1 refers to voice 3). Returns the new phase.
inline uint32_t advanceOscillator(Oscillator& o, const Oscillator& ref, uint8_t wave) {
  o.phase = (o.phase + o.step) & kPhaseMask;
  if (wave & kControlTest) {
    o.phase = 0;
    o.noiseClock = 0;
    o.noiseShift = kNoiseSeed;
  }
  // The reference wrapped in its last update: restart at the same fraction.
  if ((wave & kControlSync) && ref.phase < ref.step) {
    o.phase = static_cast<uint32_t>(static_cast<uint64_t>(ref.phase) * o.step / ref.step);
  }
  return o.phase;
}

// Triangle (ring-modulated by the reference), sawtooth and pulse as selected,
// ANDed together; none selected gives $FF.
inline uint32_t toneWaveforms(const Oscillator& o, const Oscillator& ref, uint8_t wave, uint32_t phase) {
  uint32_t out = kWaveformFull;
  if (wave & kControlTriangle) {
    uint32_t triangle = (phase >> kTriangleShift) & kWaveformFull;
    if (phase & kPhaseTopBit) triangle ^= kWaveformFull;
    if ((wave & kControlRing) && ref.phase < kPhaseTopBit) triangle ^= kWaveformFull;
    out &= triangle;
  }
  if (wave & kControlSawtooth) out &= (phase >> kSawtoothShift) & kWaveformFull;
  if (wave & kControlPulse) out &= phase <= o.pulseThreshold ? kWaveformFull : 0x00;
  return out;
}

// Output bit 7 - i is register bit kNoiseOutputTaps[i]: one shift and mask
// each, folded at compile time.
template <size_t... I>
inline uint8_t gatherNoiseBits(uint32_t shift, std::index_sequence<I...>) {
  return static_cast<uint8_t>((((shift >> (kNoiseOutputTaps[I] - (7 - I))) & (1u << (7 - I))) | ...));
}
inline uint8_t noiseOutputBits(uint32_t shift) { return gatherNoiseBits(shift, std::make_index_sequence<8>{}); }

// Clocks the noise register when the top phase bits have changed; returns
// the noise waveform byte.
inline uint32_t clockNoise(Oscillator& o, uint32_t phase) {
  const uint32_t clock = phase >> kNoiseClockShift;
  if (clock != o.noiseClock) {
    o.noiseClock = clock;
    const uint32_t old = o.noiseShift;
    o.noiseShift = (old << 1) | (((old >> kNoiseFeedbackTapHigh) ^ (old >> kNoiseFeedbackTapLow)) & 1);
    o.noiseOutput = noiseOutputBits(o.noiseShift);
  }
  return o.noiseOutput;
}

inline void stepEnvelope(Oscillator& o) {
  const int32_t sustainLevel = o.sustain << kSustainLevelShift;
  switch (o.envelopePhase) {
    case EnvelopePhase::Attack:
      o.level += o.attack;
      if (o.level >= kEnvelopeMax) {
        o.level = kEnvelopeMax;
        o.envelopePhase = EnvelopePhase::Decay;
      }
      break;
    case EnvelopePhase::Decay:
      o.level -= o.decay;
      if (o.level <= sustainLevel) {
        o.level = sustainLevel;
        o.envelopePhase = EnvelopePhase::Sustain;
      }
      break;
    case EnvelopePhase::Sustain:
      if (o.level != sustainLevel) o.envelopePhase = EnvelopePhase::Decay;
      break;
    case EnvelopePhase::Release:
      o.level -= o.release;
      if (o.level < kReleaseFloor) o.level = kReleaseFloor;
      break;
  }
}

// One step of the state-variable filter over the routed voices; returns the
// sum of the enabled outputs.
inline int32_t stepFilter(FilterState& f, int32_t cutoff8, int32_t filteredSum) {
  const int32_t input = static_cast<int32_t>(static_cast<uint32_t>(filteredSum) << kFixedPointShift);
  f.high = wrap32(static_cast<int64_t>(input) -
                  static_cast<int64_t>(f.band >> kFilterProductShift) * f.damping - f.low);
  f.band = wrap32(static_cast<int64_t>(f.band) + static_cast<int64_t>(cutoff8) * (f.high >> kFilterProductShift));
  f.low = wrap32(static_cast<int64_t>(f.low) + static_cast<int64_t>(cutoff8) * (f.band >> kFilterProductShift));
  int32_t out = 0;
  if (f.lowEnabled) out += f.low >> kFixedPointShift;
  if (f.bandEnabled) out += f.band >> kFixedPointShift;
  if (f.highEnabled) out += f.high >> kFixedPointShift;
  return out;
}

// Adds the held nibble to the mix while the channel plays, and advances it at
// the sample's period.
inline int32_t mixSampleChannel(SampleChannel& s, int32_t mixed, int32_t mixRate, const uint8_t* memory) {
  if (!s.active || s.period <= 0 || s.position < s.start || s.position >= s.end) return mixed;
  const int32_t result = mixed + s.heldSample;
  s.counter += static_cast<int32_t>(kPalClockHz / static_cast<uint32_t>(s.period));
  if (s.counter > mixRate) {
    s.counter %= mixRate;
    if (s.nibbleOrder == 0) {
      if (++s.nibble >= 2) {
        s.nibble = 0;
        ++s.position;
      }
    } else {
      if (--s.nibble < 0) {
        s.nibble = 1;
        ++s.position;
      }
    }
    if (s.position >= s.end && s.repeatsLeft > 0) {
      --s.repeatsLeft;
      s.position = s.repeatStart;
    }
    const uint8_t byte = memory[s.position & 0xFFFF];
    const int32_t n = s.nibble == 1 ? (byte >> 4) : (byte & 15);
    s.heldSample = (n - kSampleNibbleMidpoint) * kSampleNibbleScale;
  }
  return result;
}

inline int16_t clampToSample(int32_t v) {
  return static_cast<int16_t>(v < kSampleMin ? kSampleMin : (v > kSampleMax ? kSampleMax : v));
}

}  // namespace

int32_t toFixed16(double x) { return static_cast<int32_t>(x * 65536.0); }

int32_t dampingFor(int resonance) {
  return (toFixed16(kDampingBase) - toFixed16(kDampingPerResonance) * resonance) >> kFilterProductShift;
}

bool SidChip::setup(uint32_t rate) {
  if (rate == 0) return false;
  mixRate = rate;
  freqMul = static_cast<int32_t>(kFrequencyScale / rate);
  sample.counter = 0;
  filterMul = static_cast<int32_t>(static_cast<uint32_t>(toFixed16(kFilterBase)) / rate);
  for (int i = 0; i < 16; ++i) {
    attackRates[i] = static_cast<int32_t>(kEnvelopeRange / (static_cast<double>(kAttackTimes[i]) * rate));
    decayReleaseRates[i] = static_cast<int32_t>(kEnvelopeRange / (static_cast<double>(kDecayReleaseTimes[i]) * rate));
  }
  std::memset(voice, 0, sizeof voice);
  cutoffLow = cutoffHigh = resonanceRouting = modeVolume = 0;
  std::memset(osc, 0, sizeof osc);
  for (Oscillator& o : osc) o.noiseShift = kNoiseSeed;
  std::memset(&filter, 0, sizeof filter);
  return true;
}

void SidChip::write(uint16_t address, uint8_t value) {
  const int reg = address & kRegisterMask;
  int v = 0;
  int r = reg;
  if (reg >= kVoiceRegisterStride && reg < 2 * kVoiceRegisterStride) {
    v = 1;
    r = reg - kVoiceRegisterStride;
  } else if (reg >= 2 * kVoiceRegisterStride && reg < 3 * kVoiceRegisterStride) {
    v = 2;
    r = reg - 2 * kVoiceRegisterStride;
  }
  VoiceRegisters& vr = voice[v];
  switch (r) {
    case kRegFrequencyLow: setLowByte(vr.frequency, value); break;
    case kRegFrequencyHigh: setHighByte(vr.frequency, value); break;
    case kRegPulseLow: setLowByte(vr.pulseWidth, value); break;
    case kRegPulseHigh: setHighByte(vr.pulseWidth, value); break;
    case kRegControl:
      vr.control = value;
      if (!(value & kControlGate)) {
        osc[v].envelopePhase = EnvelopePhase::Release;
      } else if (osc[v].envelopePhase == EnvelopePhase::Release) {
        osc[v].envelopePhase = EnvelopePhase::Attack;
      }
      break;
    case kRegAttackDecay: vr.attackDecay = value; break;
    case kRegSustainRelease: vr.sustainRelease = value; break;
    case kRegCutoffLow: cutoffLow = value; break;
    case kRegCutoffHigh: cutoffHigh = value; break;
    case kRegResonanceRouting: resonanceRouting = value; break;
    case kRegModeVolume: modeVolume = value; break;
    default: break;  // 25..31: no register
  }

  if (address <= kLastRegisterAddress) return;
  SampleChannel::Latched& l = sample.latched;
  switch (address) {
    case kSampleStartLow: setLowByte(l.startAddress, value); break;
    case kSampleStartHigh: setHighByte(l.startAddress, value); break;
    case kSampleEndLow: setLowByte(l.endAddress, value); break;
    case kSampleEndHigh: setHighByte(l.endAddress, value); break;
    case kSampleRepeatCount: l.repeatCount = value; break;
    case kSamplePeriodLow: setLowByte(l.period, value); break;
    case kSamplePeriodHigh: setHighByte(l.period, value); break;
    case kSampleNibbleOrder: l.nibbleOrder = value; break;
    case kSampleRepeatStartLow: setLowByte(l.repeatStart, value); break;
    case kSampleRepeatStartHigh: setHighByte(l.repeatStart, value); break;
    case kSampleTrigger:
      sample.repeatsLeft = l.repeatCount;
      sample.position = sample.start = l.startAddress;
      sample.end = l.endAddress;
      sample.repeatStart = l.repeatStart;
      sample.period = l.period;
      sample.nibbleOrder = l.nibbleOrder;
      if (value == kSampleTriggerStop) {
        sample.active = 0;
      } else if (value == kSampleTriggerStart || value == kSampleTriggerStartToo) {
        sample.active = 1;
      }
      break;
    default: break;
  }
}

void SidChip::render(int16_t* buffer, int count, const uint8_t* memory) {
  if (mixRate == 0) {  // never set up: no rates, no sample clock
    for (int i = 0; i < count; ++i) buffer[i] = 0;
    return;
  }
  refreshOscillators(*this);
  refreshFilter(*this);

  FilterState& f = filter;
  const int32_t cutoff8 = f.cutoff >> kFilterProductShift;
  const int32_t rate = static_cast<int32_t>(mixRate);
  for (int i = 0; i < count; ++i) {
    int32_t unfilteredSum = 0;
    int32_t filteredSum = 0;
    // Voice 1 sees voice 3's phase from the previous sample, voices 2 and 3
    // their reference's phase of this sample.
    // Unrolled: each voice refers to a fixed neighbour, and the loop overhead
    // was a tenth of the per-sample work.
#pragma GCC unroll 3
    for (int v = 0; v < 3; ++v) {
      Oscillator& o = osc[v];
      const Oscillator& ref = osc[v == 0 ? 2 : v - 1];
      const uint8_t wave = o.wave;
      const uint32_t phase = advanceOscillator(o, ref, wave);
      uint32_t out = toneWaveforms(o, ref, wave, phase);
      const uint32_t noise = clockNoise(o, phase);
      if (wave & kControlNoise) out &= noise;
      stepEnvelope(o);
      if (v < 2 || f.voice3Enabled) {
        const int32_t contribution = ((static_cast<int32_t>(out) - kWaveformMidpoint) * o.level) >> kVoiceOutputShift;
        if (o.filtered) {
          filteredSum += contribution;
        } else {
          unfilteredSum += contribution;
        }
      }
    }
    // At most (3 x 512 + 3 x 32768) x 15 in size: no overflow.
    const int32_t mixed = (unfilteredSum + stepFilter(f, cutoff8, filteredSum)) * f.volume;
    buffer[i] = clampToSample(mixSampleChannel(sample, mixed, rate, memory));
  }
}

}  // namespace sid
