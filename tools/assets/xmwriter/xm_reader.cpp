#include "tools/assets/xmwriter/xm_reader.h"

#include <algorithm>
#include <cstring>

namespace xmw {
namespace {

class In {
 public:
  In(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t u8() { return at_ < size_ ? data_[at_++] : (++at_, 0); }
  uint16_t u16() {
    const uint16_t low = u8();
    return static_cast<uint16_t>(low | (u8() << 8));
  }
  uint32_t u32() {
    const uint32_t low = u16();
    return low | (static_cast<uint32_t>(u16()) << 16);
  }
  std::string text(size_t width) {
    std::string s;
    for (size_t i = 0; i < width; ++i) s.push_back(static_cast<char>(u8()));
    return s.substr(0, s.find('\0'));
  }
  void seek(size_t at) { at_ = at; }
  size_t tell() const { return at_; }
  size_t left() const { return at_ < size_ ? size_ - at_ : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// A packed cell: five bytes, or a mask byte (bit 7) and the fields it names.
Cell unpackCell(In& in) {
  const uint8_t first = in.u8();
  if ((first & 0x80) == 0) return {first, in.u8(), in.u8(), in.u8(), in.u8()};
  Cell c;
  if (first & 0x01) c.note = in.u8();
  if (first & 0x02) c.instrument = in.u8();
  if (first & 0x04) c.volume = in.u8();
  if (first & 0x08) c.effect = in.u8();
  if (first & 0x10) c.parameter = in.u8();
  return c;
}

bool readPattern(In& in, uint16_t channels, const ReadLimits& limits, Pattern& p) {
  const size_t start = in.tell();
  const uint32_t headerSize = in.u32();
  in.u8();  // packing type
  p.rows = in.u16();
  const uint16_t packedSize = in.u16();
  if (headerSize > limits.headerSize || p.rows > limits.rows) return false;
  in.seek(start + headerSize);
  const size_t end = in.tell() + packedSize;
  p.cells.assign(static_cast<size_t>(p.rows) * channels, Cell{});
  // No packed data is an empty pattern; cells the data does not reach stay empty.
  for (size_t i = 0; i < p.cells.size() && in.tell() < end; ++i) p.cells[i] = unpackCell(in);
  in.seek(end);
  return true;
}

void readEnvelopePoints(In& in, Envelope& e) {
  for (EnvelopePoint& point : e.points) {
    point.tick = in.u16();
    point.value = in.u16();
  }
}

bool readInstrument(In& in, const ReadLimits& limits, Instrument& inst, bool& shortHeader) {
  const size_t start = in.tell();
  const uint32_t headerSize = in.u32();
  inst.name = in.text(22);
  in.u8();  // instrument type
  const uint16_t count = in.u16();
  if (headerSize > limits.headerSize || count > limits.samplesPerInstrument) return false;
  shortHeader = count == 0 && headerSize < kInstrumentHeaderSize;
  uint32_t sampleHeaderSize = kSampleHeaderSize;
  if (count > 0 || headerSize >= kInstrumentHeaderSize) {
    sampleHeaderSize = in.u32();
    for (uint8_t& s : inst.sampleForNote) s = in.u8();
    readEnvelopePoints(in, inst.volume);
    readEnvelopePoints(in, inst.panning);
    inst.volume.count = in.u8();
    inst.panning.count = in.u8();
    inst.volume.sustain = in.u8();
    inst.volume.loopStart = in.u8();
    inst.volume.loopEnd = in.u8();
    inst.panning.sustain = in.u8();
    inst.panning.loopStart = in.u8();
    inst.panning.loopEnd = in.u8();
    inst.volume.type = in.u8();
    inst.panning.type = in.u8();
    inst.vibratoType = in.u8();
    inst.vibratoSweep = in.u8();
    inst.vibratoDepth = in.u8();
    inst.vibratoRate = in.u8();
    inst.fadeout = in.u16();
  }
  if (sampleHeaderSize > limits.headerSize) return false;
  in.seek(start + headerSize);
  inst.samples.resize(count);
  for (Sample& s : inst.samples) {
    const size_t at = in.tell();
    s.length = in.u32();
    s.loopStart = in.u32();
    s.loopLength = in.u32();
    s.volume = in.u8();
    s.finetune = static_cast<int8_t>(in.u8());
    s.type = in.u8();
    s.panning = in.u8();
    s.relativeNote = static_cast<int8_t>(in.u8());
    in.u8();  // reserved
    s.name = in.text(22);
    in.seek(at + sampleHeaderSize);
  }
  for (Sample& s : inst.samples) {
    const size_t stored = std::min<size_t>(s.length, in.left());
    s.data.resize(stored);
    for (uint8_t& b : s.data) b = in.u8();
    in.seek(in.tell() + (s.length - stored));
  }
  return true;
}

}  // namespace

bool readXm(const uint8_t* data, size_t size, Song& song, const ReadLimits& limits) {
  static constexpr char kTag[] = "Extended Module: ";
  if (size < 60 + 20 + 256 || std::memcmp(data, kTag, sizeof kTag - 1) != 0) return false;
  In in(data, size);
  in.seek(sizeof kTag - 1);
  song = Song{};
  song.name = in.text(20);
  in.u8();  // 0x1A
  song.tracker = in.text(20);
  in.u16();  // version
  const uint32_t headerSize = in.u32();
  song.songLength = in.u16();
  song.restart = in.u16();
  song.channels = in.u16();
  const uint16_t patterns = in.u16();
  const uint16_t instruments = in.u16();
  song.flags = in.u16();
  song.speed = in.u16();
  song.bpm = in.u16();
  for (uint8_t& order : song.orders) order = in.u8();
  if (song.channels > limits.channels || patterns > limits.patterns || instruments > limits.instruments ||
      headerSize > limits.headerSize) {
    return false;
  }
  in.seek(60 + headerSize);
  song.patterns.resize(patterns);
  for (Pattern& p : song.patterns) {
    if (!readPattern(in, song.channels, limits, p)) return false;
  }
  song.instruments.resize(instruments);
  bool anyShort = false, anyLong = false;
  for (Instrument& inst : song.instruments) {
    bool shortHeader = false;
    if (!readInstrument(in, limits, inst, shortHeader)) return false;
    if (inst.samples.empty()) (shortHeader ? anyShort : anyLong) = true;
  }
  song.shortEmptyInstruments = anyShort || !anyLong;
  return true;
}

}  // namespace xmw
