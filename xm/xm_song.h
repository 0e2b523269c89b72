// The module player's in-memory song model and per-channel / per-voice state.
//
// Plain records: the loader (xm/loader.h) builds an XmSong from a module file
// and nothing changes it afterwards; the sequencer (xm/sequencer.h) walks it
// and keeps its state in an XmPosition and in the 32 XmChannels, and the mixer
// (xm/mixer.h) plays the 64 MixVoices the sequencer drives. One XmPlayback
// holds the playback records and points at the song it plays.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace xm {

inline constexpr int32_t kMixRate = 44100;
inline constexpr int32_t kBlockFrames = 884;                    // about 20 ms
inline constexpr int32_t kBlockCount = 100;                     // blocks in the ring
inline constexpr int32_t kRingFrames = kBlockFrames * kBlockCount;  // 88400, about 2 s
inline constexpr int32_t kRampFrames = 128;
inline constexpr int32_t kMaxChannels = 32;
inline constexpr int32_t kVoiceCount = 64;  // voice i and i + 32 form a pair
inline constexpr int32_t kMaxSamplesPerInstrument = 16;
inline constexpr int32_t kEnvelopePoints = 12;
inline constexpr int32_t kNoteCount = 96;
inline constexpr int32_t kSampleGuard = 8;  // zeroed elements after the data
inline constexpr int32_t kLoopCopyFrames = 2048;  // a forward loop shorter than this gets copies

// Cell note values.
inline constexpr uint8_t kNoteNone = 0;
inline constexpr uint8_t kNoteKeyOff = 255;  // the file's 97
inline constexpr uint8_t kFileKeyOff = 97;

// Song flags.
inline constexpr uint16_t kFlagLinearTable = 0x0001;

// Sample loop modes.
inline constexpr uint8_t kLoopNone = 1;
inline constexpr uint8_t kLoopForward = 2;
inline constexpr uint8_t kLoopPingPong = 4;

// Envelope type bits.
inline constexpr uint8_t kEnvelopeOn = 1;
inline constexpr uint8_t kEnvelopeSustain = 2;
inline constexpr uint8_t kEnvelopeLoop = 4;

// XmChannel::updateFlags, what updateVoice hands to the mixer this tick.
inline constexpr uint8_t kUpdateFrequency = 0x01;
inline constexpr uint8_t kUpdateVolume = 0x02;
inline constexpr uint8_t kUpdatePanning = 0x04;
inline constexpr uint8_t kUpdateTrigger = 0x08;
inline constexpr uint8_t kUpdateStop = 0x20;
// The four flags a note delay holds back (the stop flag stays).
inline constexpr uint8_t kUpdateNoteFlags = kUpdateFrequency | kUpdateVolume | kUpdatePanning | kUpdateTrigger;

// Effect types of the effect column.
enum Effect : uint8_t {
  kEffectArpeggio = 0,
  kEffectPortaUp = 1,
  kEffectPortaDown = 2,
  kEffectTonePorta = 3,
  kEffectVibrato = 4,
  kEffectTonePortaVolSlide = 5,
  kEffectVibratoVolSlide = 6,
  kEffectTremolo = 7,
  kEffectSetPanning = 8,
  kEffectSampleOffset = 9,
  kEffectVolumeSlide = 10,     // A
  kEffectPositionJump = 11,    // B
  kEffectSetVolume = 12,       // C
  kEffectPatternBreak = 13,    // D
  kEffectExtended = 14,        // E
  kEffectSpeedTempo = 15,      // F
  kEffectGlobalVolume = 16,    // G
  kEffectGlobalVolSlide = 17,  // H
  kEffectKeyOff = 20,          // K
  kEffectEnvelopePos = 21,     // L
  kEffectPanningSlide = 25,    // P
  kEffectMultiRetrig = 27,     // R
  kEffectTremor = 29,          // T
  kEffectExtraFinePorta = 33,  // X
};

// Sub-effects of E (the parameter's high nibble).
enum ExtendedEffect : uint8_t {
  kExtFinePortaUp = 0x1,
  kExtFinePortaDown = 0x2,
  kExtVibratoWave = 0x4,
  kExtFinetune = 0x5,
  kExtPatternLoop = 0x6,
  kExtTremoloWave = 0x7,
  kExtSetPanning = 0x8,
  kExtRetrigger = 0x9,
  kExtFineVolUp = 0xA,
  kExtFineVolDown = 0xB,
  kExtNoteCut = 0xC,
  kExtNoteDelay = 0xD,
  kExtPatternDelay = 0xE,
};

struct XmCell {
  uint8_t note = 0;        // 0 none, 1..96, 255 key off
  uint8_t instrument = 0;  // 0 none, 1..128
  uint8_t volume = 0;      // volume-column byte
  uint8_t effect = 0;      // 0..35
  uint8_t parameter = 0;
};

struct XmPattern {
  uint32_t rowCount = 0;
  std::vector<XmCell> cells;  // rowCount x channelCount, row-major
};

struct XmSample {
  std::vector<int16_t> data;  // length + kSampleGuard elements, or copiesEnd + kSampleGuard
  uint32_t length = 0;        // in samples
  uint32_t loopStart = 0;
  uint32_t loopLength = 0;
  // A short forward loop is written out again and again after its end, up to
  // copiesEnd (0: no copies), so that a voice crosses many loop lengths in
  // one stretch of the mixer; see addLoopCopies.
  uint32_t copiesEnd = 0;
  uint8_t volume = 0;  // 0..64
  int8_t finetune = 0;
  int32_t panning = 0;  // 0..255
  uint8_t bits = 0;     // 8 or 16 as stored; 16 after loading
  uint8_t loopMode = 0;  // kLoopNone / kLoopForward / kLoopPingPong, 0 for the empty sample
  int8_t relativeNote = 0;
};

struct EnvelopePoint {
  uint16_t tick = 0;
  uint16_t value = 0;  // 0..64
};

struct XmInstrument {
  uint32_t sampleCount = 0;
  std::array<XmSample*, kMaxSamplesPerInstrument> samples{};  // never null once loaded
  std::array<uint8_t, kNoteCount> sampleForNote{};
  std::array<EnvelopePoint, kEnvelopePoints> volumeEnvelope{};
  std::array<EnvelopePoint, kEnvelopePoints> panningEnvelope{};
  uint8_t volumePointCount = 0, panningPointCount = 0;
  uint8_t volumeSustain = 0, volumeLoopStart = 0, volumeLoopEnd = 0;
  uint8_t panningSustain = 0, panningLoopStart = 0, panningLoopEnd = 0;
  uint8_t volumeType = 0, panningType = 0;
  uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
  uint16_t fadeout = 0;  // twice the file's value
  std::vector<std::unique_ptr<XmSample>> ownedSamples;
};

struct XmSong {
  std::vector<XmPattern> patterns;  // patternSlots entries
  std::vector<XmInstrument> instruments;
  int16_t songLength = 0;
  int16_t restartPosition = 0;
  int16_t channelCount = 0;
  int32_t usedPatternCount = 0;
  int32_t patternSlots = 0;
  int32_t filePatternCount = 0;  // patterns stored in the file
  int16_t instrumentCount = 0;
  uint16_t flags = 0;
  int16_t defaultSpeed = 0;
  int16_t defaultBpm = 0;
  std::array<uint8_t, 256> orderTable{};
  uint8_t defaultGlobalVolume = 64;

  // Shared silent sample and instrument for references to nothing, one set
  // per song.
  XmSample emptySample;
  XmInstrument emptyInstrument;

  bool linearTable() const { return (flags & kFlagLinearTable) != 0; }
  // The cell at (pattern, row, channel), or null when any of them is out of range.
  const XmCell* cell(int32_t pattern, int32_t rowIndex, int32_t channel) const;
};

// Where the sequencer is in the song, and the tempo and global volume the
// song's effects have set so far: everything that advances while it plays.
struct XmPosition {
  int32_t globalVolume = 64;
  uint8_t globalVolumeSlide = 0;
  int32_t tick = 0;
  int32_t speed = 0;
  int32_t bpm = 0;
  int32_t samplesPerTick = 0;
  int32_t row = 0;
  int32_t order = 0;
  int32_t patternDelay = 0;
  int32_t nextRow = -1, nextOrder = -1;  // -1: the next row in turn

  int32_t samplesToNextTick = 0;  // mixer countdown to the next tick
};

// One envelope's running state in a channel.
struct EnvelopeState {
  int32_t envTick = 0;
  int32_t envPoint = 0;    // next point index
  int32_t envValue = 0;    // 16.16
  int32_t envCurrent = 0;  // integer value
  int32_t envStep = 0;     // 16.16 per tick
  uint8_t envStopped = 0;
};

struct XmChannel {
  uint8_t note = 0;  // 0-based
  uint8_t updateFlags = 0;
  int32_t voice = 0;  // index of the channel's current MixVoice
  const XmSample* sample = nullptr;
  int32_t period = 0;
  int32_t volume = 0;
  int32_t panning = 0;
  int32_t volumeDelta = 0;
  int32_t periodDelta = 0;
  EnvelopeState volumeEnv;
  EnvelopeState panningEnv;
  int32_t fadeoutVolume = 0;  // 65536 = full
  int32_t autoVibratoPosition = 0;
  int32_t autoVibratoSweep = 0;
  uint8_t keyOff = 0;
  uint8_t instrument = 0;  // 0-based
  uint8_t realNote = 0;
  int32_t finetune = 0;  // of the note playing: its sample's, or what E5x set
  int32_t notePeriod = 0;
  uint8_t previousEffect = 0;
  int32_t sampleOffsetMemory = 0;
  uint8_t portaUpMemory = 0, portaDownMemory = 0;
  uint8_t extraFineUpMemory = 0, extraFineDownMemory = 0;
  uint8_t volumeSlideMemory = 0;
  uint8_t panningSlideMemory = 0;
  uint8_t retrigVolumeType = 0, retrigInterval = 0;
  int32_t portaTarget = 0;
  uint8_t portaSpeed = 0;
  int8_t vibratoPosition = 0;  // -32..31
  uint8_t vibratoSpeed = 0, vibratoDepth = 0;
  int8_t tremoloPosition = 0;
  uint8_t tremoloSpeed = 0, tremoloDepth = 0;
  uint8_t tremorCounter = 0, tremorOn = 0, tremorOff = 0;
  int32_t loopRow = 0, loopCount = 0;
  uint8_t waveControl = 0;
  uint8_t fineVolumeMemory = 0;
  uint8_t finePortaUpMemory = 0, finePortaDownMemory = 0;
};

struct MixVoice {
  int32_t index = 0;
  int32_t volume = 0;   // 0..127 in normal use
  int32_t panning = 0;  // 0..255
  uint32_t pendingOffset = 0;
  const XmSample* sample = nullptr;  // null = idle
  int32_t leftGain = 0, rightGain = 0;
  uint32_t position = 0;
  uint32_t fraction = 0;  // 2^-32 units
  uint32_t stepFraction = 0, stepInteger = 0;
  int32_t direction = 1;  // 1 forward, 2 backward
  int32_t lastLeftGain = 0, lastRightGain = 0;
  int32_t rampLeft = 0, rampRight = 0;  // applied gains x 256
  float rampLeftStep = 0.0f, rampRightStep = 0.0f;
  int32_t rampFrames = 0;
};

inline constexpr int32_t kForward = 1;
inline constexpr int32_t kBackward = 2;

// Order position and row reached when a block had been mixed.
struct BlockStamp {
  uint8_t order = 0;
  uint8_t row = 0;
};

// Everything the sequencer and the mixer work on: the song they read and the
// state they advance.
struct XmPlayback {
  const XmSong* song = nullptr;
  XmPosition position;
  std::array<XmChannel, kMaxChannels> channels{};
  std::array<MixVoice, kVoiceCount> voices{};
};

}  // namespace xm
