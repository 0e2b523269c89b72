// The extended-module file, field by field as FastTracker 2 lays it out, and
// the one function that writes it.
//
// `Song` mirrors the file rather than the music: lengths and loop points in
// bytes, sample data already delta-coded, envelope counts and flags as
// stored. Callers with a musical model (the composer, the player's test
// modules) convert to it; a caller that wants a file no tracker would write
// (the fuzzer's short last sample, an envelope count past 12) can say so.
//
// Layout written: the 60-byte preamble and a 276-byte header (version
// 0x0104); each pattern with a 9-byte header and packed cells (a full cell
// as its five bytes, any other after a mask byte); each instrument with a
// 263-byte header (29 bytes when it has no samples and the song asks for
// short empty headers), its 40-byte sample headers, then their data.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace xmw {

inline constexpr uint32_t kHeaderSize = 276;
inline constexpr uint32_t kInstrumentHeaderSize = 263;
inline constexpr uint32_t kEmptyInstrumentHeaderSize = 29;
inline constexpr uint32_t kSampleHeaderSize = 40;
inline constexpr int kEnvelopePoints = 12;
inline constexpr int kNotes = 96;

// Sample type bits.
inline constexpr uint8_t kLoopForward = 0x01;
inline constexpr uint8_t kLoopPingPong = 0x02;
inline constexpr uint8_t kSixteenBit = 0x10;

struct Cell {
  uint8_t note = 0;  // 1 = C-0 ... 96 = B-7, 97 = key off
  uint8_t instrument = 0;
  uint8_t volume = 0;
  uint8_t effect = 0;
  uint8_t parameter = 0;
};

struct Pattern {
  uint16_t rows = 64;
  std::vector<Cell> cells;  // rows x channels, row-major; cells past the end are empty
};

struct EnvelopePoint {
  uint16_t tick = 0;
  uint16_t value = 0;
};

struct Envelope {
  std::array<EnvelopePoint, kEnvelopePoints> points{};
  uint8_t count = 0, sustain = 0, loopStart = 0, loopEnd = 0;
  uint8_t type = 0;  // 1 on, 2 sustain, 4 loop
};

struct Sample {
  uint32_t length = 0, loopStart = 0, loopLength = 0;  // in bytes, as stored
  uint8_t volume = 64;
  int8_t finetune = 0;
  uint8_t type = 0;  // kLoopForward / kLoopPingPong, | kSixteenBit
  uint8_t panning = 128;
  int8_t relativeNote = 0;
  std::string name;
  std::vector<uint8_t> data;  // delta-coded, written exactly as held (normally `length` bytes)
};

struct Instrument {
  std::string name;
  std::array<uint8_t, kNotes> sampleForNote{};
  Envelope volume, panning;
  uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
  uint16_t fadeout = 0;
  std::vector<Sample> samples;
};

struct Song {
  std::string name;     // 20 bytes, NUL-padded
  std::string tracker;  // 20 bytes, NUL-padded
  uint16_t songLength = 1, restart = 0, channels = 1;
  uint16_t flags = 1;  // bit 0: linear frequency table
  uint16_t speed = 6, bpm = 125;
  std::array<uint8_t, 256> orders{};
  std::vector<Pattern> patterns;
  std::vector<Instrument> instruments;
  // A sample-less instrument's header ends after its sample count, as
  // trackers save it; false writes the full header with its zeros.
  bool shortEmptyInstruments = true;
};

std::vector<uint8_t> writeXm(const Song& song);

// Delta coding as the file stores sample data: each value minus the one
// before it, 16-bit values little-endian.
std::vector<uint8_t> deltaCode16(const std::vector<int16_t>& values);
std::vector<uint8_t> deltaCode8(const std::vector<int8_t>& values);

}  // namespace xmw
