// Tiny XM modules built in code for the player's tests: a header, patterns,
// instruments with envelopes and 8- or 16-bit samples, in terms of the
// player's cells and raw envelope fields (so a test can write what a loader
// must repair), laid out by the shared writer.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "tools/assets/xmwriter/xm_writer.h"
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

// The module laid out by the shared writer, with the header a tracker
// would give it.
inline std::vector<uint8_t> Module::bytes() const {
  xmw::Song song;
  song.name = "test module         ";
  song.tracker = "builder             ";
  song.songLength = static_cast<uint16_t>(orders.size());
  song.restart = restart;
  song.channels = channels;
  song.flags = flags;
  song.speed = speed;
  song.bpm = bpm;
  std::copy_n(orders.begin(), std::min(orders.size(), song.orders.size()), song.orders.begin());
  for (const Pattern& p : patterns) {
    xmw::Pattern& out = song.patterns.emplace_back();
    out.rows = static_cast<uint16_t>(p.rows);
    for (const xm::XmCell& c : p.cells) out.cells.push_back({c.note, c.instrument, c.volume, c.effect, c.parameter});
  }
  for (const Instrument& in : instruments) {
    xmw::Instrument& out = song.instruments.emplace_back();
    out.sampleForNote = in.sampleForNote;
    for (auto [from, to] : {std::pair{&in.volume, &out.volume}, std::pair{&in.panning, &out.panning}}) {
      for (size_t i = 0; i < from->points.size() && i < to->points.size(); ++i) {
        to->points[i] = {from->points[i].first, from->points[i].second};
      }
      to->count = static_cast<uint8_t>(from->points.size());
      to->sustain = from->sustain;
      to->loopStart = from->loopStart;
      to->loopEnd = from->loopEnd;
      to->type = from->type;
    }
    out.vibratoType = in.vibratoType;
    out.vibratoSweep = in.vibratoSweep;
    out.vibratoDepth = in.vibratoDepth;
    out.vibratoRate = in.vibratoRate;
    out.fadeout = in.fadeout;
    for (const Sample& s : in.samples) {
      xmw::Sample& smp = out.samples.emplace_back();
      const uint32_t unit = s.sixteenBit ? 2 : 1;
      smp.length = static_cast<uint32_t>(s.pcm.size()) * unit;
      smp.loopStart = s.loopStart * unit;
      smp.loopLength = s.loopLength * unit;
      smp.volume = s.volume;
      smp.finetune = s.finetune;
      smp.type = static_cast<uint8_t>(s.loopType | (s.sixteenBit ? xmw::kSixteenBit : 0));
      smp.panning = s.panning;
      smp.relativeNote = s.relativeNote;
      if (s.sixteenBit) {
        smp.data = xmw::deltaCode16(s.pcm);
      } else {
        std::vector<int8_t> high;
        for (int16_t v : s.pcm) high.push_back(static_cast<int8_t>(v >> 8));
        smp.data = xmw::deltaCode8(high);
      }
    }
  }
  return xmw::writeXm(song);
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
