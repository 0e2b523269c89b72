#include "tools/assets/xmcomposer/xm_file.h"

#include <algorithm>

#include "tools/assets/xmwriter/xm_writer.h"

namespace xmc {
namespace {

xmw::Envelope fileEnvelope(const Envelope& e) {
  xmw::Envelope out;
  for (size_t i = 0; i < e.points.size() && i < out.points.size(); ++i) out.points[i] = {e.points[i].tick, e.points[i].value};
  out.count = static_cast<uint8_t>(e.points.size());
  out.sustain = static_cast<uint8_t>(std::max(e.sustain, 0));
  out.loopStart = static_cast<uint8_t>(std::max(e.loopStart, 0));
  out.loopEnd = static_cast<uint8_t>(std::max(e.loopEnd, 0));
  if (e.enabled()) out.type = static_cast<uint8_t>(1 | (e.sustain >= 0 ? 2 : 0) | (e.loopStart >= 0 ? 4 : 0));
  return out;
}

xmw::Sample fileSample(const Sample& s) {
  xmw::Sample out;
  const uint32_t unit = s.sixteenBit ? 2 : 1;
  const bool loops = s.loop != LoopMode::None;
  out.length = static_cast<uint32_t>(s.data.size()) * unit;
  out.loopStart = loops ? s.loopStart * unit : 0;
  out.loopLength = loops ? s.loopLength * unit : 0;
  out.volume = s.volume;
  out.finetune = s.finetune;
  out.type = s.loop == LoopMode::Forward ? xmw::kLoopForward : s.loop == LoopMode::PingPong ? xmw::kLoopPingPong : 0;
  if (s.sixteenBit) out.type |= xmw::kSixteenBit;
  out.panning = s.panning;
  out.relativeNote = s.relativeNote;
  out.name = s.name;
  if (s.sixteenBit) {
    out.data = xmw::deltaCode16(s.data);
  } else {
    out.data = xmw::deltaCode8(std::vector<int8_t>(s.data.begin(), s.data.end()));
  }
  return out;
}

}  // namespace

std::vector<uint8_t> writeXm(const Module& m) {
  xmw::Song song;
  song.name = m.name;
  song.tracker = "xmcomposer";
  song.songLength = static_cast<uint16_t>(m.order.size());
  song.restart = static_cast<uint16_t>(m.restart);
  song.channels = static_cast<uint16_t>(m.channels);
  song.flags = m.linear ? 1 : 0;
  song.speed = static_cast<uint16_t>(m.speed);
  song.bpm = static_cast<uint16_t>(m.bpm);
  std::copy_n(m.order.begin(), std::min<size_t>(m.order.size(), song.orders.size()), song.orders.begin());
  for (const Pattern& p : m.patterns) {
    xmw::Pattern& out = song.patterns.emplace_back();
    out.rows = static_cast<uint16_t>(p.rows);
    out.cells.reserve(p.cells.size());
    for (const Cell& c : p.cells) out.cells.push_back({c.note, c.instrument, c.volume, c.effect, c.param});
  }
  // The credit lines are sample-less instruments; they keep the full header.
  song.shortEmptyInstruments = false;
  for (const Instrument& ins : m.instruments) {
    xmw::Instrument& out = song.instruments.emplace_back();
    out.name = ins.name;  // every note plays sample 0
    out.volume = fileEnvelope(ins.volume);
    out.panning = fileEnvelope(ins.panning);
    out.vibratoType = ins.vibratoType;
    out.vibratoSweep = ins.vibratoSweep;
    out.vibratoDepth = ins.vibratoDepth;
    out.vibratoRate = ins.vibratoRate;
    out.fadeout = ins.fadeout;
    for (const Sample& s : ins.samples) out.samples.push_back(fileSample(s));
  }
  return xmw::writeXm(song);
}

}  // namespace xmc
