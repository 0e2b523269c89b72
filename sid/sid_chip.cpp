#include "sid/sid_chip.h"

#include <cstring>

namespace sid {
namespace {

// Filter and mix arithmetic is 32-bit two's complement that may wrap with
// extreme resonance; products are formed wide and wrapped explicitly.
inline int32_t wrap32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

constexpr double kFilterBase = 21.533203125;  // 16.16 cutoff step per unit at rate 1
constexpr double kDampingBase = 1.2;
constexpr double kDampingPerResonance = 0.04;

// Noise output: LFSR bits 22, 20, 16, 13, 11, 7, 4, 2 as bits 7..0.
inline uint8_t noiseBits(uint32_t s) {
  return static_cast<uint8_t>(((s >> 15) & 0x80) | ((s >> 14) & 0x40) | ((s >> 11) & 0x20) |
                              ((s >> 9) & 0x10) | ((s >> 8) & 0x08) | ((s >> 5) & 0x04) |
                              ((s >> 3) & 0x02) | ((s >> 2) & 0x01));
}

}  // namespace

int32_t toFixed16(double x) { return static_cast<int32_t>(x * 65536.0); }

int32_t dampingFor(int resonance) {
  return (toFixed16(kDampingBase) - toFixed16(kDampingPerResonance) * resonance) >> 8;
}

void SidChip::setup(uint32_t rate) {
  mixRate = rate;
  freqMul = static_cast<int32_t>(15872000u / rate);
  sample.counter = 0;
  filterMul = static_cast<int32_t>(static_cast<uint32_t>(toFixed16(kFilterBase)) / rate);
  for (int i = 0; i < 16; ++i) {
    attackRates[i] = static_cast<int32_t>(16777216.0 / (static_cast<double>(kAttackTimes[i]) * rate));
    decayReleaseRates[i] =
        static_cast<int32_t>(16777216.0 / (static_cast<double>(kDecayReleaseTimes[i]) * rate));
  }
  std::memset(voice, 0, sizeof voice);
  cutoffLow = cutoffHigh = resonanceRouting = modeVolume = 0;
  std::memset(osc, 0, sizeof osc);
  for (Oscillator& o : osc) o.noiseShift = kNoiseSeed;
  std::memset(&filter, 0, sizeof filter);
}

void SidChip::write(uint16_t address, uint8_t value) {
  const int reg = address & 0x1F;
  int v = 0;
  int r = reg;
  if (reg >= 7 && reg <= 13) {
    v = 1;
    r = reg - kVoiceRegisterStride;
  } else if (reg >= 14 && reg <= 20) {
    v = 2;
    r = reg - 2 * kVoiceRegisterStride;
  }
  VoiceRegisters& vr = voice[v];
  switch (r) {
    case kRegFrequencyLow: vr.frequency = static_cast<uint16_t>((vr.frequency & 0xFF00) | value); break;
    case kRegFrequencyHigh: vr.frequency = static_cast<uint16_t>((value << 8) | (vr.frequency & 0xFF)); break;
    case kRegPulseLow: vr.pulseWidth = static_cast<uint16_t>((vr.pulseWidth & 0xFF00) | value); break;
    case kRegPulseHigh: vr.pulseWidth = static_cast<uint16_t>((value << 8) | (vr.pulseWidth & 0xFF)); break;
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

  if (address <= 0xD418) return;
  SampleChannel::Latched& l = sample.latched;
  switch (address) {
    case kSampleStartLow: l.startAddress = (l.startAddress & 0xFF00) | value; break;
    case kSampleStartHigh: l.startAddress = (value << 8) | (l.startAddress & 0xFF); break;
    case kSampleEndLow: l.endAddress = (l.endAddress & 0xFF00) | value; break;
    case kSampleEndHigh: l.endAddress = (value << 8) | (l.endAddress & 0xFF); break;
    case kSampleRepeatCount: l.repeatCount = value; break;
    case kSamplePeriodLow: l.period = (l.period & 0xFF00) | value; break;
    case kSamplePeriodHigh: l.period = (value << 8) | (l.period & 0xFF); break;
    case kSampleNibbleOrder: l.nibbleOrder = value; break;
    case kSampleRepeatStartLow: l.repeatStart = (l.repeatStart & 0xFF00) | value; break;
    case kSampleRepeatStartHigh: l.repeatStart = (value << 8) | (l.repeatStart & 0xFF); break;
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
  // Register decoding, once per call.
  for (int v = 0; v < 3; ++v) {
    const VoiceRegisters& vr = voice[v];
    Oscillator& o = osc[v];
    o.pulseThreshold = static_cast<uint32_t>(vr.pulseWidth & 0xFFF) << 16;
    o.filtered = (resonanceRouting >> v) & 1;
    o.attack = attackRates[vr.attackDecay >> 4];
    o.decay = decayReleaseRates[vr.attackDecay & 15];
    o.sustain = vr.sustainRelease & 0xF0;
    o.release = decayReleaseRates[vr.sustainRelease & 15];
    o.wave = vr.control;
    o.step = static_cast<uint32_t>(vr.frequency) * static_cast<uint32_t>(freqMul);
  }
  FilterState& f = filter;
  const int32_t cutoff = (16 * cutoffHigh + (cutoffLow & 7)) * filterMul;
  f.cutoff = cutoff > kCutoffLimit ? kCutoffLimit : cutoff;
  f.lowEnabled = (modeVolume & kModeLowPass) ? 1 : 0;
  f.bandEnabled = (modeVolume & kModeBandPass) ? 1 : 0;
  f.highEnabled = (modeVolume & kModeHighPass) ? 1 : 0;
  f.voice3Enabled = (modeVolume & kModeVoice3Off) ? 0 : 1;
  f.volume = modeVolume & kModeVolumeMask;
  f.damping = dampingFor(resonanceRouting >> 4);

  const int32_t cutoff8 = f.cutoff >> 8;
  SampleChannel& s = sample;
  for (int i = 0; i < count; ++i) {
    int32_t unfilteredSum = 0;
    int32_t filteredSum = 0;
    for (int v = 0; v < 3; ++v) {
      Oscillator& o = osc[v];
      const Oscillator& ref = osc[v == 0 ? 2 : v - 1];
      const uint8_t wave = o.wave;
      o.phase = (o.phase + o.step) & kPhaseMask;
      if (wave & kControlTest) {
        o.phase = 0;
        o.noiseClock = 0;
        o.noiseShift = kNoiseSeed;
      }
      if ((wave & kControlSync) && ref.phase < ref.step) {
        o.phase = static_cast<uint32_t>(static_cast<uint64_t>(ref.phase) * o.step / ref.step);
      }
      const uint32_t phase = o.phase;
      uint32_t out = 0xFF;
      if (wave & kControlTriangle) {
        uint32_t triangle = (phase >> 19) & 0xFF;
        if (phase & 0x8000000) triangle ^= 0xFF;
        if ((wave & kControlRing) && ref.phase < 0x8000000) triangle ^= 0xFF;
        out &= triangle;
      }
      if (wave & kControlSawtooth) out &= (phase >> 20) & 0xFF;
      if (wave & kControlPulse) out &= phase <= o.pulseThreshold ? 0xFF : 0x00;
      const uint32_t clock = phase >> 23;
      if (clock != o.noiseClock) {
        o.noiseClock = clock;
        const uint32_t old = o.noiseShift;
        o.noiseShift = (old << 1) | (((old >> 22) ^ (old >> 17)) & 1);
        o.noiseOutput = noiseBits(o.noiseShift);
      }
      if (wave & kControlNoise) out &= o.noiseOutput;

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
          if (o.level <= (o.sustain << 16)) {
            o.level = o.sustain << 16;
            o.envelopePhase = EnvelopePhase::Sustain;
          }
          break;
        case EnvelopePhase::Sustain:
          if (o.level != (o.sustain << 16)) o.envelopePhase = EnvelopePhase::Decay;
          break;
        case EnvelopePhase::Release:
          o.level -= o.release;
          if (o.level < kReleaseFloor) o.level = kReleaseFloor;
          break;
      }

      if (v < 2 || f.voice3Enabled) {
        const int32_t contribution = ((static_cast<int32_t>(out) - 128) * o.level) >> 22;
        if (o.filtered) {
          filteredSum += contribution;
        } else {
          unfilteredSum += contribution;
        }
      }
    }

    f.high = wrap32(static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(filteredSum) << 16)) -
                    static_cast<int64_t>(f.band >> 8) * f.damping - f.low);
    f.band = wrap32(static_cast<int64_t>(f.band) + static_cast<int64_t>(cutoff8) * (f.high >> 8));
    f.low = wrap32(static_cast<int64_t>(f.low) + static_cast<int64_t>(cutoff8) * (f.band >> 8));
    int32_t filterOut = 0;
    if (f.lowEnabled) filterOut += f.low >> 16;
    if (f.bandEnabled) filterOut += f.band >> 16;
    if (f.highEnabled) filterOut += f.high >> 16;
    int32_t result = wrap32((static_cast<int64_t>(unfilteredSum) + filterOut) * f.volume);

    if (s.active && s.period > 0 && s.position >= s.start && s.position < s.end) {
      result = wrap32(static_cast<int64_t>(result) + s.heldSample);
      s.counter += static_cast<int32_t>(kPalClockHz / static_cast<uint32_t>(s.period));
      if (s.counter > static_cast<int32_t>(mixRate)) {
        s.counter %= static_cast<int32_t>(mixRate);
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
        const int n = s.nibble == 1 ? (byte >> 4) : (byte & 15);
        s.heldSample = (n - 7) * 1024;
      }
    }
    buffer[i] = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(result)));
  }
}

}  // namespace sid
