// The extended-module file as the composer builds it, and its byte layout.
//
// `Module` is a plain in-memory picture of one .xm file: patterns of cells,
// instruments with one sample each (or none, for the message lines that
// carry the credits), envelopes and the order list. `writeXm` hands it to the
// shared writer (tools/assets/xmwriter) in the FastTracker 2 layout, the credit
// lines keeping full 263-byte instrument headers; readback.h checks what
// the player's own loader makes of the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace xmc {

inline constexpr uint8_t kKeyOff = 97;  // the file's key-off note

struct Cell {
  uint8_t note = 0;  // 1 = C-0 ... 96 = B-7, 97 = key off
  uint8_t instrument = 0;
  uint8_t volume = 0;  // volume column byte
  uint8_t effect = 0;
  uint8_t param = 0;
  bool operator==(const Cell&) const = default;
};

struct Pattern {
  int rows = 64;
  std::vector<Cell> cells;  // rows x channels, row-major
  bool operator==(const Pattern&) const = default;
};

enum class LoopMode : uint8_t { None = 0, Forward = 1, PingPong = 2 };

struct Sample {
  std::string name;
  std::vector<int16_t> data;  // 8-bit samples hold -128..127
  bool sixteenBit = true;
  LoopMode loop = LoopMode::None;
  uint32_t loopStart = 0;   // in samples
  uint32_t loopLength = 0;  // in samples
  uint8_t volume = 64;
  int8_t finetune = 0;
  uint8_t panning = 128;
  int8_t relativeNote = 0;
  bool operator==(const Sample&) const = default;
};

struct EnvelopePoint {
  uint16_t tick = 0;
  uint16_t value = 0;
  bool operator==(const EnvelopePoint&) const = default;
};

struct Envelope {
  std::vector<EnvelopePoint> points;  // at most 12
  int sustain = -1;                   // point index, -1 = none
  int loopStart = -1, loopEnd = -1;   // point indices, -1 = no loop
  bool enabled() const { return points.size() >= 2; }
  bool operator==(const Envelope&) const = default;
};

struct Instrument {
  std::string name;
  std::vector<Sample> samples;  // 0 or more (the composer uses 0 or 1)
  Envelope volume, panning;
  uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
  uint16_t fadeout = 0;
  bool operator==(const Instrument&) const = default;
};

struct Module {
  std::string name;
  int channels = 4;
  bool linear = true;  // linear frequency table; false = Amiga table
  int speed = 6, bpm = 125, restart = 0;
  std::vector<uint8_t> order;
  std::vector<Pattern> patterns;
  std::vector<Instrument> instruments;
  bool operator==(const Module&) const = default;
};

std::vector<uint8_t> writeXm(const Module& module);

}  // namespace xmc
