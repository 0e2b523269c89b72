#include "tools/xmcomposer/xm_file.h"

#include <algorithm>

namespace xmc {
namespace {

constexpr uint32_t kHeaderSize = 276;
constexpr uint32_t kInstrumentHeaderSize = 263;
constexpr uint32_t kSampleHeaderSize = 40;
constexpr int kMaxEnvelopePoints = 12;

struct Writer {
  std::vector<uint8_t> bytes;
  void u8(uint32_t v) { bytes.push_back(static_cast<uint8_t>(v)); }
  void u16(uint32_t v) { u8(v); u8(v >> 8); }
  void u32(uint32_t v) { u16(v); u16(v >> 16); }
  void text(const std::string& s, size_t width, char pad = '\0') {
    for (size_t i = 0; i < width; ++i) bytes.push_back(i < s.size() ? static_cast<uint8_t>(s[i]) : pad);
  }
  void zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
};

uint8_t sampleType(const Sample& s) {
  uint8_t type = s.loop == LoopMode::Forward ? 1 : s.loop == LoopMode::PingPong ? 2 : 0;
  if (s.sixteenBit) type |= 0x10;
  return type;
}

void writePattern(Writer& w, const Pattern& p, int channels) {
  Writer packed;
  for (int i = 0; i < p.rows * channels; ++i) {
    const Cell& c = p.cells[i];
    const uint8_t mask = (c.note ? 1 : 0) | (c.instrument ? 2 : 0) | (c.volume ? 4 : 0) |
                         (c.effect ? 8 : 0) | (c.param ? 16 : 0);
    if (mask == 31) {  // a full cell is shorter unpacked
      packed.u8(c.note); packed.u8(c.instrument); packed.u8(c.volume); packed.u8(c.effect); packed.u8(c.param);
      continue;
    }
    packed.u8(0x80 | mask);
    if (c.note) packed.u8(c.note);
    if (c.instrument) packed.u8(c.instrument);
    if (c.volume) packed.u8(c.volume);
    if (c.effect) packed.u8(c.effect);
    if (c.param) packed.u8(c.param);
  }
  w.u32(9);
  w.u8(0);
  w.u16(p.rows);
  w.u16(static_cast<uint32_t>(packed.bytes.size()));
  w.bytes.insert(w.bytes.end(), packed.bytes.begin(), packed.bytes.end());
}

void writeEnvelopePoints(Writer& w, const Envelope& e) {
  for (int i = 0; i < kMaxEnvelopePoints; ++i) {
    const EnvelopePoint p = i < static_cast<int>(e.points.size()) ? e.points[i] : EnvelopePoint{};
    w.u16(p.tick);
    w.u16(p.value);
  }
}

uint8_t envelopeType(const Envelope& e) {
  if (!e.enabled()) return 0;
  return 1 | (e.sustain >= 0 ? 2 : 0) | (e.loopStart >= 0 ? 4 : 0);
}

void writeInstrument(Writer& w, const Instrument& ins) {
  const size_t start = w.bytes.size();
  w.u32(kInstrumentHeaderSize);
  w.text(ins.name, 22);
  w.u8(0);
  w.u16(static_cast<uint32_t>(ins.samples.size()));
  w.u32(kSampleHeaderSize);
  w.zeros(96);  // every note plays sample 0
  writeEnvelopePoints(w, ins.volume);
  writeEnvelopePoints(w, ins.panning);
  w.u8(static_cast<uint32_t>(ins.volume.points.size()));
  w.u8(static_cast<uint32_t>(ins.panning.points.size()));
  w.u8(std::max(ins.volume.sustain, 0));
  w.u8(std::max(ins.volume.loopStart, 0));
  w.u8(std::max(ins.volume.loopEnd, 0));
  w.u8(std::max(ins.panning.sustain, 0));
  w.u8(std::max(ins.panning.loopStart, 0));
  w.u8(std::max(ins.panning.loopEnd, 0));
  w.u8(envelopeType(ins.volume));
  w.u8(envelopeType(ins.panning));
  w.u8(ins.vibratoType);
  w.u8(ins.vibratoSweep);
  w.u8(ins.vibratoDepth);
  w.u8(ins.vibratoRate);
  w.u16(ins.fadeout);
  w.zeros(start + kInstrumentHeaderSize - w.bytes.size());  // reserved

  for (const Sample& s : ins.samples) {
    const uint32_t unit = s.sixteenBit ? 2 : 1;
    const bool loops = s.loop != LoopMode::None;
    w.u32(static_cast<uint32_t>(s.data.size()) * unit);
    w.u32(loops ? s.loopStart * unit : 0);
    w.u32(loops ? s.loopLength * unit : 0);
    w.u8(s.volume);
    w.u8(static_cast<uint8_t>(s.finetune));
    w.u8(sampleType(s));
    w.u8(s.panning);
    w.u8(static_cast<uint8_t>(s.relativeNote));
    w.u8(0);
    w.text(s.name, 22);
  }
  for (const Sample& s : ins.samples) {
    int16_t previous = 0;
    for (int16_t v : s.data) {
      const uint16_t delta = static_cast<uint16_t>(v - previous);
      previous = v;
      if (s.sixteenBit) w.u16(delta); else w.u8(delta & 0xFF);
    }
  }
}

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  bool failed = false;
  uint32_t u8() {
    if (pos >= size) { failed = true; return 0; }
    return data[pos++];
  }
  uint32_t u16() { const uint32_t lo = u8(); return lo | (u8() << 8); }
  uint32_t u32() { const uint32_t lo = u16(); return lo | (u16() << 16); }
  std::string text(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>(u8()));
    s.erase(std::find(s.begin(), s.end(), '\0'), s.end());
    return s;
  }
  void seek(size_t p) { if (p > size) failed = true; pos = std::min(p, size); }
};

Envelope readEnvelope(const uint16_t* raw, int count, int sustain, int loopStart, int loopEnd, int type) {
  Envelope e;
  for (int i = 0; i < std::min(count, kMaxEnvelopePoints); ++i) e.points.push_back({raw[2 * i], raw[2 * i + 1]});
  if (!(type & 1)) e.points.clear();
  e.sustain = (type & 2) ? sustain : -1;
  e.loopStart = (type & 4) ? loopStart : -1;
  e.loopEnd = (type & 4) ? loopEnd : -1;
  return e;
}

}  // namespace

std::vector<uint8_t> writeXm(const Module& m) {
  Writer w;
  w.text("Extended Module: ", 17);
  w.text(m.name, 20);
  w.u8(0x1A);
  w.text("xmcomposer", 20);
  w.u16(0x0104);
  w.u32(kHeaderSize);
  w.u16(static_cast<uint32_t>(m.order.size()));
  w.u16(m.restart);
  w.u16(m.channels);
  w.u16(static_cast<uint32_t>(m.patterns.size()));
  w.u16(static_cast<uint32_t>(m.instruments.size()));
  w.u16(m.linear ? 1 : 0);
  w.u16(m.speed);
  w.u16(m.bpm);
  for (size_t i = 0; i < 256; ++i) w.u8(i < m.order.size() ? m.order[i] : 0);
  for (const Pattern& p : m.patterns) writePattern(w, p, m.channels);
  for (const Instrument& ins : m.instruments) writeInstrument(w, ins);
  return w.bytes;
}

bool readXm(const uint8_t* data, size_t size, Module& m, std::string& error) {
  Reader r{data, size};
  m = Module{};
  if (r.text(17) != "Extended Module: ") { error = "no XM signature"; return false; }
  m.name = r.text(20);
  r.seek(58);
  if (r.u16() != 0x0104) { error = "not version 0x0104"; return false; }
  const uint32_t headerSize = r.u32();
  const uint32_t songLength = r.u16();
  m.restart = static_cast<int>(r.u16());
  m.channels = static_cast<int>(r.u16());
  const uint32_t patternCount = r.u16();
  const uint32_t instrumentCount = r.u16();
  m.linear = (r.u16() & 1) != 0;
  m.speed = static_cast<int>(r.u16());
  m.bpm = static_cast<int>(r.u16());
  if (songLength < 1 || songLength > 256 || m.channels < 1 || m.channels > 32 || patternCount > 256 ||
      instrumentCount > 128) {
    error = "header counts out of range";
    return false;
  }
  for (uint32_t i = 0; i < 256; ++i) {
    const uint8_t o = static_cast<uint8_t>(r.u8());
    if (i < songLength) m.order.push_back(o);
  }
  r.seek(60 + headerSize);
  for (uint32_t p = 0; p < patternCount; ++p) {
    const size_t start = r.pos;
    const uint32_t patternHeader = r.u32();
    r.u8();
    Pattern pat;
    pat.rows = static_cast<int>(r.u16());
    const uint32_t packedSize = r.u16();
    r.seek(start + patternHeader);
    const size_t end = r.pos + packedSize;
    pat.cells.assign(static_cast<size_t>(pat.rows) * m.channels, Cell{});
    if (packedSize) {
      for (Cell& c : pat.cells) {
        const uint32_t b = r.u8();
        const uint32_t mask = (b & 0x80) ? b : 31;
        if (!(b & 0x80)) c.note = static_cast<uint8_t>(b);
        else if (mask & 1) c.note = static_cast<uint8_t>(r.u8());
        if (mask & 2) c.instrument = static_cast<uint8_t>(r.u8());
        if (mask & 4) c.volume = static_cast<uint8_t>(r.u8());
        if (mask & 8) c.effect = static_cast<uint8_t>(r.u8());
        if (mask & 16) c.param = static_cast<uint8_t>(r.u8());
      }
      if (r.pos != end) { error = "pattern data size mismatch"; return false; }
    }
    m.patterns.push_back(std::move(pat));
  }
  for (uint32_t i = 0; i < instrumentCount; ++i) {
    const size_t start = r.pos;
    const uint32_t insSize = r.u32();
    Instrument ins;
    ins.name = r.text(22);
    r.u8();
    const uint32_t sampleCount = r.u16();
    if (sampleCount > 16) { error = "too many samples"; return false; }
    if (sampleCount > 0) {
      r.u32();
      r.seek(r.pos + 96);
      uint16_t vol[24], pan[24];
      for (auto& v : vol) v = static_cast<uint16_t>(r.u16());
      for (auto& v : pan) v = static_cast<uint16_t>(r.u16());
      int b[14];
      for (int& v : b) v = static_cast<int>(r.u8());
      ins.volume = readEnvelope(vol, b[0], b[2], b[3], b[4], b[8]);
      ins.panning = readEnvelope(pan, b[1], b[5], b[6], b[7], b[9]);
      ins.vibratoType = static_cast<uint8_t>(b[10]);
      ins.vibratoSweep = static_cast<uint8_t>(b[11]);
      ins.vibratoDepth = static_cast<uint8_t>(b[12]);
      ins.vibratoRate = static_cast<uint8_t>(b[13]);
      ins.fadeout = static_cast<uint16_t>(r.u16());
    }
    r.seek(start + insSize);
    std::vector<uint32_t> lengths;
    for (uint32_t s = 0; s < sampleCount; ++s) {
      Sample smp;
      const uint32_t length = r.u32(), loopStart = r.u32(), loopLength = r.u32();
      smp.volume = static_cast<uint8_t>(r.u8());
      smp.finetune = static_cast<int8_t>(r.u8());
      const uint32_t type = r.u8();
      smp.panning = static_cast<uint8_t>(r.u8());
      smp.relativeNote = static_cast<int8_t>(r.u8());
      r.u8();
      smp.name = r.text(22);
      smp.sixteenBit = (type & 0x10) != 0;
      smp.loop = (type & 2) ? LoopMode::PingPong : (type & 1) ? LoopMode::Forward : LoopMode::None;
      const uint32_t unit = smp.sixteenBit ? 2 : 1;
      smp.loopStart = smp.loop == LoopMode::None ? 0 : loopStart / unit;
      smp.loopLength = smp.loop == LoopMode::None ? 0 : loopLength / unit;
      lengths.push_back(length / unit);
      ins.samples.push_back(std::move(smp));
    }
    for (uint32_t s = 0; s < sampleCount; ++s) {
      Sample& smp = ins.samples[s];
      int16_t value = 0;
      for (uint32_t k = 0; k < lengths[s]; ++k) {
        if (smp.sixteenBit) {
          value = static_cast<int16_t>(value + static_cast<int16_t>(r.u16()));
        } else {
          value = static_cast<int8_t>(value + static_cast<int8_t>(r.u8()));
        }
        smp.data.push_back(value);
      }
    }
    m.instruments.push_back(std::move(ins));
  }
  if (r.failed) { error = "file is truncated"; return false; }
  if (r.pos != size) { error = "trailing bytes after the last instrument"; return false; }
  return true;
}

}  // namespace xmc
