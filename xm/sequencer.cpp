#include "xm/sequencer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "xm/mixer.h"

namespace xm {
namespace {

// Single-precision constants of the tempo, pitch and vibrato formulas; their
// float rounding is part of the result.
constexpr double kTempoFactor = static_cast<double>(0.4f);
constexpr double kMilli = static_cast<double>(0.001f);
constexpr double kTwelfth = static_cast<double>(1.0f / 12.0f);
constexpr double kOver768 = static_cast<double>(1.0f / 768.0f);
constexpr double kVolumeScale = static_cast<double>(255.0f / 34359738368.0f);  // 255 / 2^35
constexpr double kVibratoAngle = 0.049087375;                                  // about pi / 64
constexpr double kAutoVibratoAngle = static_cast<double>(0.024543688f);        // about pi / 128

constexpr int32_t kAmigaClock = 14317056;
constexpr int32_t kLinearBase = 8363;
constexpr int32_t kMinPortaPeriod = 56;
// 2xx stops at 2^24 so that endless slides cannot overflow; no audible
// period comes near it.
constexpr int32_t kMaxPortaPeriod = 1 << 24;
constexpr int32_t kFullFadeout = 65536;

// Volumes (the global volume too) run from 0 to 64, pannings from 0 to 255.
constexpr int32_t kMaxVolume = 64;
constexpr int32_t kMaxPanning = 255;
// Envelope values run from 0 to 64; a panning envelope's centre is 32.
// Between points they move in 16.16 fixed point.
constexpr int32_t kEnvelopeFull = 64;
constexpr int32_t kEnvelopeCentre = 32;
constexpr int32_t kFixedShift = 16;
constexpr int32_t kFixedOne = 1 << kFixedShift;
constexpr int32_t kPanningCentre = 128;
// A panning nibble (E8x, the volume column's Cx) counts sixteenths.
constexpr int32_t kPanningNibbleStep = 16;

// The slide parameters of 1xx, 2xx, 3xx, E1x and E2x count units of four
// periods (a sixteenth of a semitone on the linear table); X1x and X2x
// slide by single periods.
constexpr int32_t kPeriodsPerSlideUnit = 4;
// A linear-table semitone is 64 periods (arpeggio).
constexpr int32_t kLinearPeriodsPerSemitone = 64;
// The linear period of note 0 (C-0): ten octaves of 12 x 64 periods above 0.
constexpr int32_t kLinearTopPeriod = 7680;
// The volume column's tone portamento Fx slides as 3xx with xx = x * 16.
constexpr int32_t kColumnPortaSpeedStep = 16;
// X's parameter: a high nibble of 1 slides up, 2 slides down, others nothing.
constexpr int32_t kExtraFineUp = 1;
constexpr int32_t kExtraFineDown = 2;

// Fxx below 32 sets the speed (ticks per row), from 32 on the tempo in BPM.
constexpr uint8_t kFirstTempo = 32;
// 9xx counts units of 256 samples.
constexpr uint32_t kSampleOffsetUnit = 256;
// Dxy names no row above 63, however long the pattern it lands in: a larger
// one starts that pattern from its top.
constexpr int32_t kLastBreakRow = 63;

// waveControl holds E4x's vibrato waveform in its low nibble and E7x's
// tremolo waveform in its high one. Of a waveform, the low two bits choose
// the wave; waveforms 4..7 keep the wave's position when a note starts,
// 0..3 restart it.
constexpr uint8_t kVibratoWaveBits = 0x0F;
constexpr uint8_t kTremoloWaveBits = 0xF0;
constexpr int32_t kTremoloWaveShift = 4;
constexpr int32_t kWaveShapeBits = 3;
constexpr int32_t kWaveformKeepsPosition = 4;

// Volume column bytes 0x10..0x50 set the volume 0..64; from 0x60 on the high
// nibble is a command and the low one its parameter.
constexpr uint8_t kColumnVolumeFirst = 0x10;
constexpr uint8_t kColumnVolumeLast = 0x50;
enum VolumeColumnCommand : int32_t {
  kColumnSlideDown = 0x6,
  kColumnSlideUp = 0x7,
  kColumnFineDown = 0x8,
  kColumnFineUp = 0x9,
  kColumnVibratoSpeed = 0xA,
  kColumnVibrato = 0xB,  // sets the depth and vibrates
  kColumnSetPanning = 0xC,
  kColumnPanLeft = 0xD,
  kColumnPanRight = 0xE,
  kColumnTonePorta = 0xF,
};

// E5x sets a finetune the way trackers write it: x = 8 is in tune, each step
// is 16 of the sample finetune's 1/128 semitones (E53 is about 62 cents flat,
// E5F 88 cents sharp). Real modules use E5x to detune a doubled channel.
int32_t finetuneFromNibble(int32_t x) { return (x - 8) * 16; }

// 16.16 arithmetic that wraps instead of overflowing on damaged envelopes.
int32_t wrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t wrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

struct Selection {
  const XmInstrument* instrument;
  const XmSample* sample;
};

Selection select(const XmSong& song, const XmChannel& ch) {
  if (ch.instrument < song.instrumentCount) {
    const XmInstrument& inst = song.instruments[ch.instrument];
    const uint8_t index = inst.sampleForNote[ch.note % kNoteCount];
    const XmSample* sample = index < kMaxSamplesPerInstrument ? inst.samples[index] : &song.emptySample;
    if (sample == nullptr) sample = &song.emptySample;
    return {&inst, sample};
  }
  return {&song.emptyInstrument, &song.emptySample};
}

int32_t clampInt(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

int32_t vibratoWaveform(const XmChannel& ch) { return ch.waveControl & kVibratoWaveBits; }
int32_t tremoloWaveform(const XmChannel& ch) { return ch.waveControl >> kTremoloWaveShift; }

// Vibrato and tremolo positions run from kWaveFirst to kWaveLast, one wave
// cycle; the waveforms' values run from 0 to kWaveTop. The wave shapes:
// vibrato plays 0 sine, 1 ramp, else square; tremolo plays 0 and 3 sine,
// 1 ramp, 2 square.
constexpr int32_t kWaveFirst = -32;
constexpr int32_t kWaveLast = 31;
constexpr int32_t kWaveLength = kWaveLast - kWaveFirst + 1;
constexpr int32_t kWaveTop = 255;  // the square wave
constexpr int32_t kWaveSine = 0;
constexpr int32_t kWaveRamp = 1;
constexpr int32_t kTremoloWaveSineToo = 3;

int32_t computeSineValue(int32_t p) {
  return static_cast<int32_t>(std::trunc(std::fabs(std::sin(2.0 * p * kVibratoAngle) * 256.0)));
}

// The waveforms and the linear pitch curve are looked up in tables made once
// from the very same expressions; values outside a table are computed.
template <int32_t First, int32_t Count, int32_t (*F)(int32_t)>
int32_t tabulated(int32_t x) {
  static const std::array<int32_t, Count> table = [] {
    std::array<int32_t, Count> t{};
    for (int32_t i = 0; i < Count; ++i) t[static_cast<size_t>(i)] = F(First + i);
    return t;
  }();
  const uint32_t i = static_cast<uint32_t>(x - First);
  return i < static_cast<uint32_t>(Count) ? table[i] : F(x);
}

int32_t sineValue(int32_t p) { return tabulated<kWaveFirst, kWaveLength, &computeSineValue>(p); }
int32_t rampValue(int32_t p) {
  return p >= 0 ? static_cast<uint8_t>(p * 8) : static_cast<uint8_t>(-8 * p - 1);
}

void vibrato(XmChannel& ch) {
  const int32_t p = ch.vibratoPosition;
  const int32_t w = vibratoWaveform(ch) & kWaveShapeBits;
  const int32_t value = w == kWaveSine ? sineValue(p) : (w == kWaveRamp ? rampValue(p) : kWaveTop);
  // The depth is kept to whole slide units.
  const int32_t d = ((ch.vibratoDepth * value) >> 5) & ~(kPeriodsPerSlideUnit - 1);
  ch.periodDelta = p >= 0 ? -d : d;
  ch.updateFlags |= kUpdateFrequency;
}

void advanceVibrato(XmChannel& ch) {
  int32_t p = ch.vibratoPosition + ch.vibratoSpeed;
  if (p > kWaveLast) p -= kWaveLength;
  ch.vibratoPosition = static_cast<int8_t>(p);
}

void tremolo(XmChannel& ch) {
  const int32_t p = ch.tremoloPosition;
  const int32_t w = tremoloWaveform(ch) & kWaveShapeBits;
  const int32_t value =
      (w == kWaveSine || w == kTremoloWaveSineToo) ? sineValue(p) : (w == kWaveRamp ? rampValue(p) : kWaveTop);
  int32_t d = (ch.tremoloDepth * value) >> 6;
  if (p < 0) {
    if (ch.volume - d < 0) d = ch.volume;
    ch.volumeDelta = -d;
  } else {
    if (ch.volume + d > kMaxVolume) d = kMaxVolume - ch.volume;
    ch.volumeDelta = d;
  }
  int32_t next = p + ch.tremoloSpeed;
  if (next > kWaveLast) next -= kWaveLength;
  ch.tremoloPosition = static_cast<int8_t>(next);
  ch.updateFlags |= kUpdateVolume;
}

void tremor(XmChannel& ch) {
  if (ch.tremorCounter >= ch.tremorOn) ch.volumeDelta = -ch.volume;
  ch.tremorCounter = static_cast<uint8_t>(ch.tremorCounter + 1);
  if (ch.tremorCounter >= ch.tremorOn + ch.tremorOff) ch.tremorCounter = 0;
  ch.updateFlags |= kUpdateVolume;
}

// The volume slides of the effects and of the volume column.
void slideVolumeUp(XmChannel& ch, int32_t amount) {
  ch.volume = std::min(ch.volume + amount, kMaxVolume);
  ch.updateFlags |= kUpdateVolume;
}

void slideVolumeDown(XmChannel& ch, int32_t amount) {
  ch.volume = std::max(ch.volume - amount, 0);
  ch.updateFlags |= kUpdateVolume;
}

void setPanning(XmChannel& ch, int32_t panning) {
  ch.panning = panning;
  ch.updateFlags |= kUpdatePanning;
}

// Axy and the slide halves of 5xy and 6xy: up by x, or else down by y.
void volumeSlide(XmChannel& ch) {
  const int32_t up = ch.volumeSlideMemory >> 4;
  const int32_t down = ch.volumeSlideMemory & 15;
  if (up != 0) {
    slideVolumeUp(ch, up);
  } else if (down != 0) {
    slideVolumeDown(ch, down);
  }
  ch.updateFlags |= kUpdateVolume;
}

// 3xx, 5xy and the volume column's Fx, on later ticks.
void tonePortamento(XmChannel& ch) {
  const int32_t step = ch.portaSpeed * kPeriodsPerSlideUnit;
  if (ch.period < ch.portaTarget) {
    ch.period = std::min(ch.period + step, ch.portaTarget);
  } else if (ch.period > ch.portaTarget) {
    ch.period = std::max(ch.period - step, ch.portaTarget);
  }
  ch.updateFlags |= kUpdateFrequency;
}

void multiRetrig(const XmPosition& pos, XmChannel& ch) {
  if (ch.retrigInterval == 0 || pos.tick % ch.retrigInterval != 0) return;
  if (ch.retrigVolumeType == 0) {
    ch.updateFlags |= kUpdateTrigger;
    return;
  }
  int32_t v = ch.volume;
  switch (ch.retrigVolumeType) {
    case 1: v -= 1; break;
    case 2: v -= 2; break;
    case 3: v -= 4; break;
    case 4: v -= 8; break;
    case 5: v -= 16; break;
    case 6: v = v * 2 / 3; break;
    case 7: v /= 2; break;
    case 8: break;
    case 9: v += 1; break;
    case 10: v += 2; break;
    case 11: v += 4; break;
    case 12: v += 8; break;
    case 13: v += 16; break;
    case 14: v = v * 3 / 2; break;
    case 15: v *= 2; break;
    default: break;
  }
  ch.volume = clampInt(v, 0, kMaxVolume);
  ch.updateFlags |= kUpdateVolume | kUpdateTrigger;
}

void stepEnvelope(const std::array<EnvelopePoint, kEnvelopePoints>& points, int32_t count, uint8_t type,
                  int32_t sustain, int32_t loopStart, int32_t loopEnd, EnvelopeState& env, uint8_t keyOff,
                  uint8_t& flags, uint8_t flag) {
  if (env.envPoint < count) {
    if (env.envTick == points[static_cast<size_t>(env.envPoint)].tick) {
      if ((type & kEnvelopeLoop) && env.envPoint == loopEnd) {
        env.envPoint = loopStart;
        env.envTick = points[static_cast<size_t>(loopStart)].tick;
      }
      const int32_t y = points[static_cast<size_t>(env.envPoint)].value;
      if (env.envPoint == count - 1) {
        env.envCurrent = y;
        env.envStopped = 1;
        flags |= flag;
        return;
      }
      if ((type & kEnvelopeSustain) && env.envPoint == sustain && keyOff == 0) {
        env.envCurrent = y;
        flags |= flag;
        return;
      }
      const EnvelopePoint& next = points[static_cast<size_t>(env.envPoint + 1)];
      const int32_t dx = next.tick - points[static_cast<size_t>(env.envPoint)].tick;
      env.envStep = dx != 0 ? ((next.value - y) * kFixedOne) / dx : 0;
      env.envValue = y * kFixedOne;
      env.envPoint += 1;
    } else {
      env.envValue = wrapAdd(env.envValue, env.envStep);
    }
  }
  env.envCurrent = env.envValue >> kFixedShift;
  env.envTick = wrapAdd(env.envTick, 1);
  flags |= flag;
}

void stepVolumeEnvelope(const XmInstrument& inst, XmChannel& ch) {
  stepEnvelope(inst.volumeEnvelope, inst.volumePointCount, inst.volumeType, inst.volumeSustain,
               inst.volumeLoopStart, inst.volumeLoopEnd, ch.volumeEnv, ch.keyOff, ch.updateFlags, kUpdateVolume);
}

void stepPanningEnvelope(const XmInstrument& inst, XmChannel& ch) {
  stepEnvelope(inst.panningEnvelope, inst.panningPointCount, inst.panningType, inst.panningSustain,
               inst.panningLoopStart, inst.panningLoopEnd, ch.panningEnv, ch.keyOff, ch.updateFlags,
               kUpdatePanning);
}

// Envelopes, fadeout: shared by the row's first tick and the later ticks.
// `keyOffTick`: a key off happens on this tick; without a volume envelope
// it silences the note at once.
void runEnvelopes(const XmInstrument& inst, XmChannel& ch, bool keyOffTick) {
  if (inst.volumeType & kEnvelopeOn) {
    if (!ch.volumeEnv.envStopped) stepVolumeEnvelope(inst, ch);
  } else if (keyOffTick && ch.keyOff) {
    ch.volumeEnv.envCurrent = 0;
  }
  if ((inst.panningType & kEnvelopeOn) && !ch.panningEnv.envStopped) stepPanningEnvelope(inst, ch);
  if (ch.keyOff) {
    ch.fadeoutVolume = std::max(ch.fadeoutVolume - inst.fadeout, 0);
    ch.updateFlags |= kUpdateVolume;
  }
}

void setEnvelopePosition(const XmInstrument& inst, XmChannel& ch, int32_t position) {
  if (!(inst.volumeType & kEnvelopeOn)) return;
  const auto& x = inst.volumeEnvelope;
  const int32_t count = inst.volumePointCount;
  int32_t i = 0;
  while (i < count - 1 && x[static_cast<size_t>(i + 1)].tick < position) ++i;
  EnvelopeState& env = ch.volumeEnv;
  if (i < count - 1) {
    const EnvelopePoint& a = x[static_cast<size_t>(i)];
    const EnvelopePoint& b = x[static_cast<size_t>(i + 1)];
    env.envStopped = 0;
    env.envTick = position;
    const int32_t dx = b.tick - a.tick;
    env.envStep = dx != 0 ? ((b.value - a.value) * kFixedOne) / dx : 0;
    env.envPoint = i + 1;
    env.envValue = wrapAdd(wrapMul(position - a.tick, env.envStep), a.value * kFixedOne);
    env.envCurrent = env.envValue >> kFixedShift;
  } else {
    env.envCurrent = count > 0 ? x[static_cast<size_t>(count - 1)].value : 0;
    env.envStopped = 1;
  }
}

int32_t computeAutoVibratoSine(int32_t pos) {
  return static_cast<int32_t>(std::trunc(std::sin(pos * kAutoVibratoAngle) * 64.0));
}

// The instrument's automatic vibrato: positions 0..255 make one cycle, values
// run from -64 to 64.
enum AutoVibratoType : uint8_t { kAutoSine = 0, kAutoSquare = 1, kAutoRampDown = 2, kAutoRampUp = 3 };
constexpr int32_t kAutoCycle = 256;
constexpr int32_t kAutoHalfCycle = kAutoCycle / 2;
constexpr int32_t kAutoTop = 64;

void autoVibrato(const XmInstrument& inst, XmChannel& ch) {
  const int32_t pos = ch.autoVibratoPosition;
  int32_t value = 0;
  switch (inst.vibratoType) {
    case kAutoSine: value = tabulated<0, kAutoCycle, &computeAutoVibratoSine>(pos); break;
    case kAutoSquare: value = pos < kAutoHalfCycle ? kAutoTop : -kAutoTop; break;
    case kAutoRampDown: value = (kAutoHalfCycle - (pos + kAutoHalfCycle) % kAutoCycle) >> 1; break;
    case kAutoRampUp: value = (kAutoHalfCycle - (3 * kAutoHalfCycle - pos) % kAutoCycle) >> 1; break;
    default: value = 0; break;  // undefined types stay still
  }
  const int32_t sweep = inst.vibratoSweep;
  int32_t v = value * inst.vibratoDepth;
  if (sweep != 0) v = (ch.autoVibratoSweep * v) / sweep;
  ch.periodDelta += v >> 6;
  ch.autoVibratoSweep = std::min(ch.autoVibratoSweep + 1, sweep);
  int32_t next = pos + inst.vibratoRate;
  if (next >= kAutoCycle) next -= kAutoCycle;
  ch.autoVibratoPosition = next;
  ch.updateFlags |= kUpdateFrequency;
}

void instrumentDefaults(XmChannel& ch, const XmSample& sample) {
  ch.volume = sample.volume;
  ch.panning = sample.panning;
  ch.volumeEnv.envCurrent = kEnvelopeFull;
  ch.panningEnv.envCurrent = kEnvelopeCentre;
  for (EnvelopeState* env : {&ch.volumeEnv, &ch.panningEnv}) {
    env->envTick = 0;
    env->envPoint = 0;
    env->envStep = 0;
    env->envStopped = 0;
  }
  ch.keyOff = 0;
  ch.fadeoutVolume = kFullFadeout;
  ch.autoVibratoPosition = 0;
  ch.autoVibratoSweep = 0;
  if (vibratoWaveform(ch) < kWaveformKeepsPosition) ch.vibratoPosition = 0;
  if (tremoloWaveform(ch) < kWaveformKeepsPosition) ch.tremoloPosition = 0;
  ch.tremorCounter = 0;
  ch.updateFlags |= kUpdateVolume | kUpdatePanning;
}

// The volume column's panning slides move the channel's panning without a
// limit; updateVoice keeps what reaches the voice within 0..255.
void columnPanningSlide(XmChannel& ch, int32_t command, int32_t x) {
  ch.panning += command == kColumnPanLeft ? -x : x;
  ch.updateFlags |= kUpdatePanning;
}

void volumeColumnFirstTick(XmChannel& ch, uint8_t v) {
  const int32_t command = v >> 4;
  const int32_t x = v & 15;
  if (v >= kColumnVolumeFirst && v <= kColumnVolumeLast) {
    ch.volume = v - kColumnVolumeFirst;
    ch.updateFlags |= kUpdateVolume;
    return;
  }
  switch (command) {
    case kColumnSlideDown:
    case kColumnFineDown: slideVolumeDown(ch, x); break;
    case kColumnSlideUp:
    case kColumnFineUp: slideVolumeUp(ch, x); break;
    case kColumnVibratoSpeed: ch.vibratoSpeed = static_cast<uint8_t>(x); break;
    case kColumnVibrato: ch.vibratoDepth = static_cast<uint8_t>(x); break;
    case kColumnSetPanning: setPanning(ch, x * kPanningNibbleStep); break;
    case kColumnPanLeft:
    case kColumnPanRight: columnPanningSlide(ch, command, x); break;
    case kColumnTonePorta:
      if (x != 0) ch.portaSpeed = static_cast<uint8_t>(x * kColumnPortaSpeedStep);
      ch.updateFlags &= static_cast<uint8_t>(~kUpdateTrigger);
      ch.portaTarget = ch.notePeriod;
      break;
    default: break;
  }
}

// Later ticks: the fine slides and the setters have done their work on the
// first tick; the slides, the vibrato and the tone portamento go on.
void volumeColumnLaterTick(XmChannel& ch, uint8_t v) {
  const int32_t command = v >> 4;
  const int32_t x = v & 15;
  switch (command) {
    case kColumnSlideDown: slideVolumeDown(ch, x); break;
    case kColumnSlideUp: slideVolumeUp(ch, x); break;
    case kColumnVibrato:
      ch.vibratoDepth = static_cast<uint8_t>(x);
      vibrato(ch);
      advanceVibrato(ch);
      break;
    case kColumnPanLeft:
    case kColumnPanRight: columnPanningSlide(ch, command, x); break;
    case kColumnTonePorta: tonePortamento(ch); break;
    default: break;
  }
}

struct RowMemo {
  int32_t period, volume, panning;  // remembered for EDx
};

// Row flow. Every channel's cell is read before the next row is chosen, so
// these only set pos.nextRow and pos.nextOrder (sequencerTick moves there).

// Bxx: the top of order xx next (order 0 when xx is past the song's end).
void positionJump(const XmSong& song, XmPosition& pos, uint8_t order, bool& jumped) {
  pos.nextRow = 0;
  pos.nextOrder = order < song.songLength ? order : 0;
  jumped = true;
}

// Dxy: row x * 10 + y of the next order, or of the order a B in an earlier
// channel of the same row jumps to.
void patternBreak(const XmSong& song, XmPosition& pos, int32_t tens, int32_t units, bool jumped) {
  pos.nextRow = tens * 10 + units;
  if (pos.nextRow > kLastBreakRow) pos.nextRow = 0;
  if (!jumped) pos.nextOrder = pos.order + 1;
  if (pos.nextOrder >= song.songLength) pos.nextOrder = 0;
}

// E60 marks the channel's loop start at this row; E6x (x > 0) goes back
// there until it has played the stretch x more times.
void patternLoop(XmPosition& pos, XmChannel& ch, int32_t x) {
  if (x == 0) {
    ch.loopRow = pos.row;
    return;
  }
  if (ch.loopCount == 0) {
    ch.loopCount = x;
  } else {
    ch.loopCount -= 1;
  }
  if (ch.loopCount != 0) pos.nextRow = ch.loopRow;
}

// EEx: the row lasts x rows' worth of ticks longer.
void patternDelay(XmPosition& pos, int32_t x) { pos.patternDelay = pos.speed * x; }

void setSpeedOrTempo(XmPosition& pos, uint8_t p) {
  if (p < kFirstTempo) {
    pos.speed = p;
  } else {
    pos.bpm = p;
    pos.samplesPerTick = samplesPerTickFor(p);
  }
}

// X1x and X2x slide by single periods, on the first tick only.
void extraFinePortamento(XmChannel& ch, int32_t direction, int32_t x) {
  if (direction == kExtraFineUp) {
    if (x) ch.extraFineUpMemory = static_cast<uint8_t>(x);
    ch.period -= ch.extraFineUpMemory;
  } else if (direction == kExtraFineDown) {
    if (x) ch.extraFineDownMemory = static_cast<uint8_t>(x);
    ch.period += ch.extraFineDownMemory;
  }
}

// 9xx: the note starts xx x 256 samples in; an offset at or past the end of
// the sample (of a looped one, at or past its loop's end) stops the voice instead.
void sampleOffset(XmPlayback& pb, XmChannel& ch, const XmSample& sample, uint8_t p) {
  if (p) ch.sampleOffsetMemory = p;
  const uint32_t offset = static_cast<uint32_t>(ch.sampleOffsetMemory) * kSampleOffsetUnit;
  if (static_cast<uint64_t>(offset) < static_cast<uint64_t>(sample.loopStart) + sample.loopLength) {
    pb.voices[static_cast<size_t>(ch.voice)].pendingOffset = offset;
  } else {
    ch.updateFlags &= static_cast<uint8_t>(~kUpdateTrigger);
    ch.updateFlags |= kUpdateStop;
  }
}

// E1x..EEx on the row's first tick.
void extendedFirstTick(XmPosition& pos, XmChannel& ch, int32_t command, int32_t x, const RowMemo& memo) {
  switch (command) {
    case kExtFinePortaUp:
      if (x) ch.finePortaUpMemory = static_cast<uint8_t>(x);
      ch.period -= ch.finePortaUpMemory * kPeriodsPerSlideUnit;
      break;
    case kExtFinePortaDown:
      if (x) ch.finePortaDownMemory = static_cast<uint8_t>(x);
      ch.period += ch.finePortaDownMemory * kPeriodsPerSlideUnit;
      break;
    case kExtVibratoWave: ch.waveControl = static_cast<uint8_t>((ch.waveControl & kTremoloWaveBits) | x); break;
    case kExtFinetune:
      // The channel's own finetune (the note on this row already got it,
      // see processRow); the shared sample keeps its own.
      ch.finetune = finetuneFromNibble(x);
      break;
    case kExtPatternLoop: patternLoop(pos, ch, x); break;
    case kExtTremoloWave:
      ch.waveControl = static_cast<uint8_t>((ch.waveControl & kVibratoWaveBits) | (x << kTremoloWaveShift));
      break;
    case kExtSetPanning: setPanning(ch, x * kPanningNibbleStep); break;
    case kExtFineVolUp:
      if (x) ch.fineVolumeMemory = static_cast<uint8_t>(x);
      slideVolumeUp(ch, ch.fineVolumeMemory);
      break;
    case kExtFineVolDown:
      if (x) ch.fineVolumeMemory = static_cast<uint8_t>(x);
      slideVolumeDown(ch, ch.fineVolumeMemory);
      break;
    case kExtNoteDelay:
      // The note waits for tick x (extendedLaterTick); until then the
      // channel goes on as before the row.
      ch.updateFlags &= static_cast<uint8_t>(~kUpdateNoteFlags);
      ch.period = memo.period;
      ch.volume = memo.volume;
      ch.panning = memo.panning;
      break;
    case kExtPatternDelay: patternDelay(pos, x); break;
    default: break;
  }
}

void effectFirstTick(XmPlayback& pb, XmChannel& ch, const XmCell& cell, Selection sel, const RowMemo& memo,
                     bool& jumped) {
  const XmSong& song = *pb.song;
  XmPosition& pos = pb.position;
  const uint8_t p = cell.parameter;
  const int32_t hi = p >> 4;
  const int32_t lo = p & 15;
  switch (cell.effect) {
    case kEffectPortaUp:
      if (p) ch.portaUpMemory = p;
      break;
    case kEffectPortaDown:
      if (p) ch.portaDownMemory = p;
      break;
    case kEffectTonePorta:
      if (p) ch.portaSpeed = p;
      ch.portaTarget = ch.notePeriod;
      ch.updateFlags &= static_cast<uint8_t>(~(kUpdateTrigger | kUpdateFrequency));
      break;
    case kEffectVibrato:
      if (hi) ch.vibratoSpeed = static_cast<uint8_t>(hi);
      if (lo) ch.vibratoDepth = static_cast<uint8_t>(lo);
      vibrato(ch);
      break;
    case kEffectTonePortaVolSlide:
      ch.portaTarget = ch.notePeriod;
      if (p) ch.volumeSlideMemory = p;
      ch.updateFlags &= static_cast<uint8_t>(~(kUpdateTrigger | kUpdateFrequency));
      break;
    case kEffectVibratoVolSlide:
      if (p) ch.volumeSlideMemory = p;
      vibrato(ch);
      break;
    case kEffectTremolo:
      if (hi) ch.tremoloSpeed = static_cast<uint8_t>(hi);
      if (lo) ch.tremoloDepth = static_cast<uint8_t>(lo);
      break;
    case kEffectSetPanning: setPanning(ch, p); break;
    case kEffectSampleOffset: sampleOffset(pb, ch, *sel.sample, p); break;
    case kEffectVolumeSlide:
      if (p) ch.volumeSlideMemory = p;
      break;
    case kEffectPositionJump: positionJump(song, pos, p, jumped); break;
    case kEffectSetVolume:
      ch.volume = p;
      ch.updateFlags |= kUpdateVolume;
      break;
    case kEffectPatternBreak: patternBreak(song, pos, hi, lo, jumped); break;
    case kEffectExtended: extendedFirstTick(pos, ch, hi, lo, memo); break;
    case kEffectSpeedTempo: setSpeedOrTempo(pos, p); break;
    case kEffectGlobalVolume:
      pos.globalVolume = std::min<int32_t>(p, kMaxVolume);
      ch.updateFlags |= kUpdateVolume;
      break;
    case kEffectGlobalVolSlide:
      if (p) pos.globalVolumeSlide = p;
      break;
    case kEffectEnvelopePos: setEnvelopePosition(*sel.instrument, ch, p); break;
    case kEffectPanningSlide:
      if (p) {
        ch.panningSlideMemory = p;
        ch.updateFlags |= kUpdatePanning;
      }
      break;
    case kEffectMultiRetrig:
      if (p) {
        ch.retrigVolumeType = static_cast<uint8_t>(hi);
        ch.retrigInterval = static_cast<uint8_t>(lo);
      }
      break;
    case kEffectTremor:
      // T's nibbles count the ticks on and off less one.
      if (p) {
        ch.tremorOn = static_cast<uint8_t>(hi + 1);
        ch.tremorOff = static_cast<uint8_t>(lo + 1);
      }
      tremor(ch);
      break;
    case kEffectExtraFinePorta: extraFinePortamento(ch, hi, lo); break;
    default: break;
  }
}

// 0xy: the note, then x and y semitones above it, one per tick in turn.
void arpeggio(const XmSong& song, const XmPosition& pos, XmChannel& ch, uint8_t p) {
  if (p == 0) return;
  const int32_t phase = pos.tick % 3;
  if (phase == 0) return;
  const int32_t x = phase == 1 ? p >> 4 : p & 15;
  if (song.linearTable()) {
    ch.periodDelta = x * kLinearPeriodsPerSemitone;
  } else {
    ch.periodDelta = amigaPeriod(ch.realNote + x, ch.finetune) - amigaPeriod(ch.realNote, ch.finetune);
  }
  ch.updateFlags |= kUpdateFrequency;
}

// Hxy: up by x, or else down by y.
void globalVolumeSlide(XmPosition& pos) {
  const int32_t up = pos.globalVolumeSlide >> 4;
  const int32_t down = pos.globalVolumeSlide & 15;
  if (up != 0) {
    pos.globalVolume = std::min(pos.globalVolume + up, kMaxVolume);
  } else {
    pos.globalVolume = std::max(pos.globalVolume - down, 0);
  }
}

// Pxy: right by x, or else left by y, within 0..255.
void panningSlide(XmChannel& ch) {
  const int32_t right = ch.panningSlideMemory >> 4;
  const int32_t left = ch.panningSlideMemory & 15;
  if (right != 0) {
    ch.panning = std::min(ch.panning + right, kMaxPanning);
  } else {
    ch.panning = std::max(ch.panning - left, 0);
  }
  ch.updateFlags |= kUpdatePanning;
}

// E9x, ECx and EDx act on later ticks; the others are done on the first.
void extendedLaterTick(const XmPosition& pos, XmChannel& ch, const XmCell& cell, Selection sel) {
  const int32_t x = cell.parameter & 15;
  switch (cell.parameter >> 4) {
    case kExtRetrigger:
      if (x != 0 && pos.tick % x == 0) ch.updateFlags |= kUpdateFrequency | kUpdateVolume | kUpdateTrigger;
      break;
    case kExtNoteCut:
      if (pos.tick == x) {
        ch.volume = 0;
        ch.updateFlags |= kUpdateVolume;
      }
      break;
    case kExtNoteDelay:
      if (pos.tick != x) {
        ch.updateFlags &= static_cast<uint8_t>(~kUpdateNoteFlags);
      } else {
        instrumentDefaults(ch, *sel.sample);
        ch.period = ch.notePeriod;
        if (cell.volume != 0) volumeColumnFirstTick(ch, cell.volume);
        ch.updateFlags |= kUpdateFrequency | kUpdateTrigger;
      }
      break;
    default: break;
  }
}

void effectLaterTick(XmPlayback& pb, XmChannel& ch, const XmCell& cell, Selection sel) {
  const XmSong& song = *pb.song;
  XmPosition& pos = pb.position;
  switch (cell.effect) {
    case kEffectArpeggio: arpeggio(song, pos, ch, cell.parameter); break;
    case kEffectPortaUp:
      ch.period -= ch.portaUpMemory * kPeriodsPerSlideUnit;
      if (ch.period < kMinPortaPeriod) ch.period = kMinPortaPeriod;
      ch.updateFlags |= kUpdateFrequency;
      break;
    case kEffectPortaDown:
      ch.period = std::min(ch.period + ch.portaDownMemory * kPeriodsPerSlideUnit, kMaxPortaPeriod);
      ch.updateFlags |= kUpdateFrequency;
      break;
    case kEffectTonePorta: tonePortamento(ch); break;
    case kEffectVibrato:
      vibrato(ch);
      advanceVibrato(ch);
      break;
    case kEffectTonePortaVolSlide:
      tonePortamento(ch);
      volumeSlide(ch);
      break;
    case kEffectVibratoVolSlide:
      vibrato(ch);
      advanceVibrato(ch);
      volumeSlide(ch);
      break;
    case kEffectTremolo: tremolo(ch); break;
    case kEffectVolumeSlide: volumeSlide(ch); break;
    case kEffectGlobalVolSlide: globalVolumeSlide(pos); break;
    case kEffectPanningSlide: panningSlide(ch); break;
    case kEffectMultiRetrig: multiRetrig(pos, ch); break;
    case kEffectTremor: tremor(ch); break;
    case kEffectExtended: extendedLaterTick(pos, ch, cell, sel); break;
    default: break;
  }
}

// The pattern row being played; a jump target at or beyond the row count of
// the pattern it lands in (a break to row 40 of a 32-row pattern, a loop row
// left over from a longer pattern) starts that pattern from its top.
const XmPattern& currentPattern(const XmSong& song, const XmPosition& pos) {
  return song.patterns[song.orderTable[static_cast<size_t>(pos.order)]];
}

void processRow(XmPlayback& pb) {
  const XmSong& song = *pb.song;
  XmPosition& pos = pb.position;
  pos.nextRow = -1;
  pos.nextOrder = -1;
  bool jumped = false;
  const XmPattern& pattern = currentPattern(song, pos);
  for (int32_t c = 0; c < song.channelCount; ++c) {
    XmChannel& ch = pb.channels[static_cast<size_t>(c)];
    const XmCell& cell = pattern.cells[static_cast<size_t>(pos.row) * song.channelCount + c];
    const uint8_t n = cell.note;
    const bool noteOn = n >= 1 && n <= kNoteCount;
    const bool porta = cell.effect == kEffectTonePorta || cell.effect == kEffectTonePortaVolSlide;
    if (cell.instrument != 0 && !porta) ch.instrument = static_cast<uint8_t>(cell.instrument - 1);
    if (noteOn && !porta) ch.note = static_cast<uint8_t>(n - 1);
    const Selection sel = select(song, ch);
    if (!porta) ch.sample = sel.sample;
    const RowMemo memo{ch.period, ch.volume, ch.panning};
    if (ch.previousEffect == kEffectTremolo && cell.effect != kEffectTremolo) ch.volume += ch.volumeDelta;
    ch.volumeDelta = 0;
    ch.updateFlags = 0;
    ch.previousEffect = cell.effect;
    if (noteOn) {
      // A note plays with its sample's finetune, or with the one an E5x in
      // the same cell sets for this channel.
      const bool setsFinetune = cell.effect == kEffectExtended && (cell.parameter >> 4) == kExtFinetune;
      ch.finetune = setsFinetune ? finetuneFromNibble(cell.parameter & 15) : sel.sample->finetune;
      ch.realNote = static_cast<uint8_t>(n + sel.sample->relativeNote - 1);
      ch.notePeriod = notePeriod(song, ch.realNote, ch.finetune);
      if (!porta) ch.period = ch.notePeriod;
      ch.updateFlags = kUpdateTrigger;
    }
    ch.periodDelta = 0;
    ch.updateFlags |= kUpdateFrequency | kUpdateVolume;
    if (cell.instrument != 0) instrumentDefaults(ch, *sel.sample);
    if (cell.volume != 0) volumeColumnFirstTick(ch, cell.volume);
    // Key off: the note 97 at once, the effect K at the tick its parameter
    // names (K00 at once; a tick the row never reaches, never).
    if (n == kNoteKeyOff || (cell.effect == kEffectKeyOff && cell.parameter == 0)) ch.keyOff = 1;
    runEnvelopes(*sel.instrument, ch, true);
    effectFirstTick(pb, ch, cell, sel, memo, jumped);
    autoVibrato(*sel.instrument, ch);
    updateVoice(pb, ch, sel.sample);
  }
}

void processTick(XmPlayback& pb) {
  const XmSong& song = *pb.song;
  XmPosition& pos = pb.position;
  const XmPattern& pattern = currentPattern(song, pos);
  for (int32_t c = 0; c < song.channelCount; ++c) {
    XmChannel& ch = pb.channels[static_cast<size_t>(c)];
    const XmCell& cell = pattern.cells[static_cast<size_t>(pos.row) * song.channelCount + c];
    const Selection sel = select(song, ch);
    ch.volumeDelta = 0;
    ch.periodDelta = 0;
    ch.updateFlags = 0;
    // Kxx keys off on tick xx of its row, cutting the note as a key off on
    // the row's first tick does.
    const bool keyOffNow = cell.effect == kEffectKeyOff && cell.parameter == pos.tick;
    if (keyOffNow) ch.keyOff = 1;
    runEnvelopes(*sel.instrument, ch, keyOffNow);
    if (cell.volume != 0) volumeColumnLaterTick(ch, cell.volume);
    effectLaterTick(pb, ch, cell, sel);
    autoVibrato(*sel.instrument, ch);
    updateVoice(pb, ch, sel.sample);
  }
}

}  // namespace

int32_t samplesPerTickFor(int32_t bpm) {
  if (bpm <= 0) bpm = 125;
  return static_cast<int32_t>(1000.0 / (bpm * kTempoFactor) * 44100.0 * kMilli);
}

int32_t amigaPeriod(int32_t n, int32_t f) {
  auto at = [](int32_t k) { return static_cast<int32_t>(std::trunc(std::pow(2.0, k * kTwelfth) * 13.375)); };
  const int32_t p0 = at(132 - n);
  int32_t k = 0;
  if (f < 0 && n != 0) {
    const int32_t p1 = at(133 - n);
    k = std::abs(f) * (p0 - p1);
  } else {
    const int32_t p1 = at(131 - n);
    k = (p0 - p1) * f;
  }
  return p0 + k / -128;
}

int32_t notePeriod(const XmSong& song, int32_t n, int32_t f) {
  if (song.linearTable()) return kLinearTopPeriod - n * kLinearPeriodsPerSemitone - f / 2;
  return amigaPeriod(n, f);
}

namespace {

int32_t linearFrequency(int32_t period) {
  const double f = kLinearBase * std::pow(2.0, (4608 - period) * kOver768);
  // Periods far outside the table (endless slides) would overflow.
  if (!(f < 2147483647.0)) return 2147483647;
  return static_cast<int32_t>(std::trunc(f));
}

}  // namespace

int32_t periodFrequency(const XmSong& song, int32_t period) {
  // Notes, finetunes and slides keep linear periods between 0 and 7680 but
  // for far slides.
  if (song.linearTable()) return tabulated<0, 7936, &linearFrequency>(period);
  if (period == 0) return 0;
  return kAmigaClock / period;
}

void resetPlayback(XmPlayback& pb) {
  const XmSong& song = *pb.song;
  XmPosition& pos = pb.position;
  pos.globalVolume = song.defaultGlobalVolume;
  pos.globalVolumeSlide = 0;
  pos.nextRow = -1;
  pos.nextOrder = -1;
  pos.speed = song.defaultSpeed;
  pos.row = 0;
  pos.order = 0;
  pos.tick = 0;
  pos.patternDelay = 0;
  pos.bpm = song.defaultBpm;
  pos.samplesPerTick = samplesPerTickFor(pos.bpm);
  pos.samplesToNextTick = 0;
  for (int32_t i = 0; i < kMaxChannels; ++i) {
    pb.channels[static_cast<size_t>(i)] = XmChannel{};
    pb.channels[static_cast<size_t>(i)].voice = i;
    pb.channels[static_cast<size_t>(i)].sample = &song.emptySample;
  }
  for (int32_t i = 0; i < kVoiceCount; ++i) {
    pb.voices[static_cast<size_t>(i)] = MixVoice{};
    pb.voices[static_cast<size_t>(i)].index = i;
  }
}

void sequencerTick(XmPlayback& pb) {
  const XmSong& song = *pb.song;
  XmPosition& pos = pb.position;
  if (pos.tick != 0) {
    processTick(pb);
  } else {
    if (pos.nextOrder >= 0) pos.order = pos.nextOrder;
    if (pos.nextRow >= 0) pos.row = pos.nextRow;
    if (static_cast<uint32_t>(pos.row) >= currentPattern(song, pos).rowCount) pos.row = 0;
    processRow(pb);
    if (pos.nextRow == -1) {
      pos.nextRow = pos.row + 1;
      if (static_cast<uint32_t>(pos.nextRow) >= currentPattern(song, pos).rowCount) {
        pos.nextOrder = pos.order + 1;
        if (pos.nextOrder >= song.songLength) pos.nextOrder = song.restartPosition;
        pos.nextRow = 0;
      }
    }
  }
  pos.tick += 1;
  if (pos.tick >= pos.speed + pos.patternDelay) {
    pos.tick = 0;
    pos.patternDelay = 0;
  }
}

void updateVoice(XmPlayback& pb, XmChannel& ch, const XmSample* sample) {
  const XmSong& song = *pb.song;
  XmPosition& pos = pb.position;
  const int32_t period = ch.period + ch.periodDelta;
  if (period == 0) ch.updateFlags &= static_cast<uint8_t>(~kUpdateFrequency);
  if (ch.updateFlags & kUpdateTrigger) triggerVoice(pb, ch, sample);
  MixVoice& voice = pb.voices[static_cast<size_t>(ch.voice)];
  if (ch.updateFlags & kUpdateVolume) {
    const double product = static_cast<double>(ch.volume + ch.volumeDelta) * ch.volumeEnv.envCurrent *
                           ch.fadeoutVolume * pos.globalVolume * kVolumeScale;
    voice.volume = static_cast<int32_t>(std::trunc(product));
    setVoiceGains(voice);
  }
  if (ch.updateFlags & kUpdatePanning) {
    const int32_t pan = ch.panning;
    // The envelope swings the panning by up to the distance to the nearer
    // edge, in steps of that distance's 32nd.
    const int32_t room = (kPanningCentre - std::abs(pan - kPanningCentre)) / kEnvelopeCentre;
    voice.panning = clampInt(pan + room * (ch.panningEnv.envCurrent - kEnvelopeCentre), 0, kMaxPanning);
    setVoiceGains(voice);
  }
  if (ch.updateFlags & kUpdateFrequency) {
    // Linear table: a positive periodDelta raises the pitch; Amiga: lowers it.
    const int32_t p = song.linearTable() ? ch.period - ch.periodDelta : period;
    setVoiceFrequency(voice, periodFrequency(song, p));
  }
  if (ch.updateFlags & kUpdateStop) {
    voice.position = 0;
    voice.fraction = 0;
    voice.pendingOffset = 0;
  }
}

}  // namespace xm
