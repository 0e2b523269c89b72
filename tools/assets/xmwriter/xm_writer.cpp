#include "tools/assets/xmwriter/xm_writer.h"

namespace xmw {
namespace {

class Out {
 public:
  void u8(uint32_t v) { bytes.push_back(static_cast<uint8_t>(v)); }
  void u16(uint32_t v) {
    u8(v);
    u8(v >> 8);
  }
  void u32(uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  void text(const std::string& s, size_t width) {
    for (size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
  }
  void zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
  void append(const std::vector<uint8_t>& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }

  std::vector<uint8_t> bytes;
};

// A full cell is shorter as its five bytes; any other gets a mask byte
// (bit 7 set, bits 0..4 for the fields that follow).
void packCell(Out& o, const Cell& c) {
  const uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.parameter};
  uint8_t mask = 0;
  for (int i = 0; i < 5; ++i) {
    if (fields[i] != 0) mask = static_cast<uint8_t>(mask | (1 << i));
  }
  if (mask == 0x1F) {
    for (uint8_t f : fields) o.u8(f);
    return;
  }
  o.u8(0x80 | mask);
  for (uint8_t f : fields) {
    if (f != 0) o.u8(f);
  }
}

void writePattern(Out& o, const Pattern& p, uint16_t channels) {
  Out packed;
  const size_t count = static_cast<size_t>(p.rows) * channels;
  for (size_t i = 0; i < count; ++i) packCell(packed, i < p.cells.size() ? p.cells[i] : Cell{});
  o.u32(9);  // pattern header size
  o.u8(0);   // packing type
  o.u16(p.rows);
  o.u16(static_cast<uint32_t>(packed.bytes.size()));
  o.append(packed.bytes);
}

void writeInstrument(Out& o, const Instrument& in, bool shortWhenEmpty) {
  const bool empty = in.samples.empty();
  o.u32(empty && shortWhenEmpty ? kEmptyInstrumentHeaderSize : kInstrumentHeaderSize);
  o.text(in.name, 22);
  o.u8(0);  // instrument type
  o.u16(static_cast<uint32_t>(in.samples.size()));
  if (empty && shortWhenEmpty) return;
  o.u32(kSampleHeaderSize);
  for (uint8_t s : in.sampleForNote) o.u8(s);
  for (const Envelope* e : {&in.volume, &in.panning}) {
    for (const EnvelopePoint& p : e->points) {
      o.u16(p.tick);
      o.u16(p.value);
    }
  }
  o.u8(in.volume.count);
  o.u8(in.panning.count);
  o.u8(in.volume.sustain);
  o.u8(in.volume.loopStart);
  o.u8(in.volume.loopEnd);
  o.u8(in.panning.sustain);
  o.u8(in.panning.loopStart);
  o.u8(in.panning.loopEnd);
  o.u8(in.volume.type);
  o.u8(in.panning.type);
  o.u8(in.vibratoType);
  o.u8(in.vibratoSweep);
  o.u8(in.vibratoDepth);
  o.u8(in.vibratoRate);
  o.u16(in.fadeout);
  o.zeros(22);  // reserved, up to kInstrumentHeaderSize
  for (const Sample& s : in.samples) {
    o.u32(s.length);
    o.u32(s.loopStart);
    o.u32(s.loopLength);
    o.u8(s.volume);
    o.u8(static_cast<uint8_t>(s.finetune));
    o.u8(s.type);
    o.u8(s.panning);
    o.u8(static_cast<uint8_t>(s.relativeNote));
    o.u8(0);  // reserved
    o.text(s.name, 22);
  }
  for (const Sample& s : in.samples) o.append(s.data);
}

}  // namespace

std::vector<uint8_t> writeXm(const Song& song) {
  Out o;
  o.text("Extended Module: ", 17);
  o.text(song.name, 20);
  o.u8(0x1A);
  o.text(song.tracker, 20);
  o.u16(0x0104);
  o.u32(kHeaderSize);
  o.u16(song.songLength);
  o.u16(song.restart);
  o.u16(song.channels);
  o.u16(static_cast<uint32_t>(song.patterns.size()));
  o.u16(static_cast<uint32_t>(song.instruments.size()));
  o.u16(song.flags);
  o.u16(song.speed);
  o.u16(song.bpm);
  for (uint8_t order : song.orders) o.u8(order);
  for (const Pattern& p : song.patterns) writePattern(o, p, song.channels);
  for (const Instrument& in : song.instruments) writeInstrument(o, in, song.shortEmptyInstruments);
  return std::move(o.bytes);
}

std::vector<uint8_t> deltaCode16(const std::vector<int16_t>& values) {
  std::vector<uint8_t> out;
  out.reserve(values.size() * 2);
  int16_t previous = 0;
  for (int16_t v : values) {
    const auto delta = static_cast<uint16_t>(v - previous);
    out.push_back(static_cast<uint8_t>(delta));
    out.push_back(static_cast<uint8_t>(delta >> 8));
    previous = v;
  }
  return out;
}

std::vector<uint8_t> deltaCode8(const std::vector<int8_t>& values) {
  std::vector<uint8_t> out;
  out.reserve(values.size());
  int8_t previous = 0;
  for (int8_t v : values) {
    out.push_back(static_cast<uint8_t>(v - previous));
    previous = v;
  }
  return out;
}

}  // namespace xmw
