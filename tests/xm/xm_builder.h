// Tiny XM modules built in code for the player's tests: a header, patterns
// (written with the packing bytes a tracker would use), instruments with
// envelopes and delta-coded 8- or 16-bit samples.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "xm/xm_song.h"

namespace xmtest {

struct Sample {
  std::vector<int16_t> pcm;  // the waveform (8-bit samples use the high byte)
  bool sixteenBit = true;
  uint8_t loopType = 0;  // 0 none, 1 forward, 2 ping-pong
  uint32_t loopStart = 0, loopLength = 0;  // in samples
  uint8_t volume = 64;
  int8_t finetune = 0;
  uint8_t panning = 128;
  int8_t relativeNote = 0;
};

struct Envelope {
  std::vector<std::pair<uint16_t, uint16_t>> points;  // (tick, value)
  uint8_t sustain = 0, loopStart = 0, loopEnd = 0, type = 0;
};

struct Instrument {
  std::vector<Sample> samples;
  std::array<uint8_t, 96> sampleForNote{};
  Envelope volume, panning;
  uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
  uint16_t fadeout = 0;  // as in the file
};

struct Pattern {
  int rows = 64;
  std::vector<xm::XmCell> cells;  // rows x channels; empty = all zero
};

struct Module {
  uint16_t channels = 1;
  uint16_t flags = 1;  // linear table
  uint16_t speed = 6, bpm = 125;
  uint16_t restart = 0;
  std::vector<uint8_t> orders{0};
  std::vector<Pattern> patterns{Pattern{}};
  std::vector<Instrument> instruments;

  xm::XmCell& cell(int pattern, int row, int channel) {
    Pattern& p = patterns[static_cast<size_t>(pattern)];
    if (p.cells.empty()) p.cells.assign(static_cast<size_t>(p.rows) * channels, xm::XmCell{});
    return p.cells[static_cast<size_t>(row) * channels + static_cast<size_t>(channel)];
  }

  std::vector<uint8_t> bytes() const;
};

inline void put8(std::vector<uint8_t>& o, uint32_t v) { o.push_back(static_cast<uint8_t>(v)); }
template <typename It>
inline void putRange(std::vector<uint8_t>& o, It first, It last) {
  for (; first != last; ++first) o.push_back(static_cast<uint8_t>(*first));
}
inline void put16(std::vector<uint8_t>& o, uint32_t v) {
  put8(o, v);
  put8(o, v >> 8);
}
inline void put32(std::vector<uint8_t>& o, uint32_t v) {
  put16(o, v & 0xFFFF);
  put16(o, v >> 16);
}

// A cell in the packed form: a mask byte when that is shorter, all five bytes otherwise.
inline void packCell(std::vector<uint8_t>& o, const xm::XmCell& c) {
  const uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.parameter};
  uint8_t mask = 0x80;
  int present = 0;
  for (int i = 0; i < 5; ++i) {
    if (fields[i] != 0) {
      mask = static_cast<uint8_t>(mask | (1 << i));
      ++present;
    }
  }
  if (present == 5) {
    for (uint8_t f : fields) put8(o, f);
    return;
  }
  put8(o, mask);
  for (int i = 0; i < 5; ++i) {
    if (fields[i] != 0) put8(o, fields[i]);
  }
}

inline std::vector<uint8_t> Module::bytes() const {
  std::vector<uint8_t> o;
  const char* sig = "Extended Module: ";
  putRange(o, sig, sig + 17);
  const char* name = "test module         ";
  putRange(o, name, name + 20);
  put8(o, 0x1A);
  const char* tracker = "builder             ";
  putRange(o, tracker, tracker + 20);
  put16(o, 0x0104);
  put32(o, 276);
  put16(o, static_cast<uint32_t>(orders.size()));
  put16(o, restart);
  put16(o, channels);
  put16(o, static_cast<uint32_t>(patterns.size()));
  put16(o, static_cast<uint32_t>(instruments.size()));
  put16(o, flags);
  put16(o, speed);
  put16(o, bpm);
  for (size_t i = 0; i < 256; ++i) put8(o, i < orders.size() ? orders[i] : 0);
  for (const Pattern& p : patterns) {
    std::vector<uint8_t> packed;
    const size_t count = static_cast<size_t>(p.rows) * channels;
    for (size_t i = 0; i < count; ++i) packCell(packed, i < p.cells.size() ? p.cells[i] : xm::XmCell{});
    put32(o, 9);
    put8(o, 0);
    put16(o, static_cast<uint32_t>(p.rows));
    put16(o, static_cast<uint32_t>(packed.size()));
    putRange(o, packed.begin(), packed.end());
  }
  for (const Instrument& in : instruments) {
    const bool any = !in.samples.empty();
    put32(o, any ? 263 : 29);
    for (int i = 0; i < 22; ++i) put8(o, 0);
    put8(o, 0);
    put16(o, static_cast<uint32_t>(in.samples.size()));
    if (!any) continue;
    put32(o, 40);
    putRange(o, in.sampleForNote.begin(), in.sampleForNote.end());
    for (const Envelope* e : {&in.volume, &in.panning}) {
      for (size_t i = 0; i < 12; ++i) {
        put16(o, i < e->points.size() ? e->points[i].first : 0);
        put16(o, i < e->points.size() ? e->points[i].second : 0);
      }
    }
    put8(o, static_cast<uint32_t>(in.volume.points.size()));
    put8(o, static_cast<uint32_t>(in.panning.points.size()));
    put8(o, in.volume.sustain);
    put8(o, in.volume.loopStart);
    put8(o, in.volume.loopEnd);
    put8(o, in.panning.sustain);
    put8(o, in.panning.loopStart);
    put8(o, in.panning.loopEnd);
    put8(o, in.volume.type);
    put8(o, in.panning.type);
    put8(o, in.vibratoType);
    put8(o, in.vibratoSweep);
    put8(o, in.vibratoDepth);
    put8(o, in.vibratoRate);
    put16(o, in.fadeout);
    for (int i = 0; i < 22; ++i) put8(o, 0);
    for (const Sample& s : in.samples) {
      const uint32_t unit = s.sixteenBit ? 2 : 1;
      put32(o, static_cast<uint32_t>(s.pcm.size()) * unit);
      put32(o, s.loopStart * unit);
      put32(o, s.loopLength * unit);
      put8(o, s.volume);
      put8(o, static_cast<uint8_t>(s.finetune));
      put8(o, static_cast<uint32_t>(s.loopType | (s.sixteenBit ? 0x10 : 0)));
      put8(o, s.panning);
      put8(o, static_cast<uint8_t>(s.relativeNote));
      for (int i = 0; i < 23; ++i) put8(o, 0);
    }
    for (const Sample& s : in.samples) {
      int16_t previous = 0;
      for (int16_t v : s.pcm) {
        if (s.sixteenBit) {
          put16(o, static_cast<uint16_t>(v - previous));
        } else {
          put8(o, static_cast<uint8_t>((v >> 8) - (previous >> 8)));
        }
        previous = v;
      }
    }
  }
  return o;
}

// One instrument with one sample mapped to every note.
inline Instrument simpleInstrument(const Sample& s) {
  Instrument in;
  in.samples.push_back(s);
  return in;
}

// A constant (DC) sample of `length` values, forward-looped over all of it.
inline Sample dcSample(int16_t value, uint32_t length = 64) {
  Sample s;
  s.pcm.assign(length, value);
  s.loopType = 1;
  s.loopStart = 0;
  s.loopLength = length;
  return s;
}

}  // namespace xmtest
