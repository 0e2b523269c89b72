#include "xm/loader.h"

#include <algorithm>
#include <cstring>

#include "xm/mixer.h"

namespace xm {
namespace {

constexpr char kSignature[] = "Extended Module: ";
constexpr int32_t kSignatureLength = 17;
constexpr int64_t kHeaderSizeOffset = 60;
constexpr int32_t kSampleHeaderBytes = 40;

// Bounds-checked little-endian reading over the file operations: past the end
// of the data every read yields zeros, which the XM layout tolerates (the
// unread parts of cells and samples stay zero).
class Reader {
 public:
  Reader(const ModuleFileOps& ops, void* handle) : ops_(ops), handle_(handle) {
    ops_.seek(handle_, 0, kSeekEnd);
    size_ = ops_.tell(handle_);
    ops_.seek(handle_, 0, kSeekSet);
  }

  void bytes(void* destination, int64_t count) {
    std::memset(destination, 0, static_cast<size_t>(count));
    ops_.read(destination, count, handle_);
  }
  uint8_t u8() {
    uint8_t b = 0;
    bytes(&b, 1);
    return b;
  }
  uint16_t u16() {
    uint8_t b[2];
    bytes(b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
  }
  uint32_t u32() {
    uint8_t b[4];
    bytes(b, 4);
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
           (static_cast<uint32_t>(b[3]) << 24);
  }
  void seek(int64_t position) { ops_.seek(handle_, position, kSeekSet); }
  void skip(int64_t count) { ops_.seek(handle_, count, kSeekCurrent); }
  int64_t tell() const { return ops_.tell(handle_); }
  int64_t remaining() const { return std::max<int64_t>(0, size_ - tell()); }

 private:
  const ModuleFileOps& ops_;
  void* handle_;
  int64_t size_ = 0;
};

struct FileHandle {
  FileHandle(const ModuleFileOps& o) : ops(o), handle(o.open("", o.context)) {}
  ~FileHandle() {
    if (handle != nullptr) ops.close(handle);
  }
  const ModuleFileOps& ops;
  void* handle;
};

bool readPatterns(Reader& in, XmSong& song, int32_t filePatternCount) {
  const int32_t channels = song.channelCount;
  for (int32_t p = 0; p < filePatternCount; ++p) {
    in.u32();  // header length: the header is taken to be 9 bytes
    in.u8();   // packing type
    uint32_t rowCount = in.u16();
    const uint16_t packedSize = in.u16();
    if (rowCount > static_cast<uint32_t>(kMaxRows)) return false;
    XmPattern& pattern = song.patterns[static_cast<size_t>(p)];
    // A pattern without rows would leave the sequencer no row to play; it
    // plays as an empty 64-row pattern, like a pattern missing from the file.
    const bool empty = rowCount == 0;
    pattern.rowCount = empty ? 64 : rowCount;
    pattern.cells.assign(static_cast<size_t>(pattern.rowCount) * static_cast<size_t>(channels), XmCell{});
    if (packedSize == 0 || empty) continue;
    for (XmCell& cell : pattern.cells) {
      const uint8_t b = in.u8();
      if (b & 0x80) {
        if (b & 0x01) cell.note = in.u8();
        if (b & 0x02) cell.instrument = in.u8();
        if (b & 0x04) cell.volume = in.u8();
        if (b & 0x08) cell.effect = in.u8();
        if (b & 0x10) cell.parameter = in.u8();
      } else {
        cell.note = b;
        cell.instrument = in.u8();
        cell.volume = in.u8();
        cell.effect = in.u8();
        cell.parameter = in.u8();
      }
      if (cell.note == kFileKeyOff) {
        cell.note = kNoteKeyOff;
      } else if (cell.note > kFileKeyOff) {
        // Notes above key off have no meaning; they would index past the
        // 96-entry note-to-sample table. Treated as no note.
        cell.note = kNoteNone;
      }
      if (cell.instrument > 128) cell.instrument = 0;
    }
  }
  return true;
}

void readEnvelope(Reader& in, std::array<EnvelopePoint, kEnvelopePoints>& points) {
  for (EnvelopePoint& point : points) {
    point.tick = in.u16();
    // Values are 0..64 in every tracker's files; larger ones (damaged files)
    // would push the 16.16 envelope arithmetic out of its range.
    point.value = std::min<uint16_t>(in.u16(), 64);
  }
}

// Makes one envelope safe for stepEnvelope: at most 12 points, sustain and
// loop points that exist, and a loop that does not run backwards.
void repairEnvelope(uint8_t& count, uint8_t& type, uint8_t& sustain, uint8_t& loopStart, uint8_t& loopEnd) {
  if (count > kEnvelopePoints) count = kEnvelopePoints;
  if (count < 2) type = 0;
  if (sustain >= count) type &= static_cast<uint8_t>(~kEnvelopeSustain);
  if (loopStart >= count || loopEnd >= count || loopStart > loopEnd) type &= static_cast<uint8_t>(~kEnvelopeLoop);
}

// Loop bounds that reach past the sample's end are cut back to it (files
// written by some trackers carry a loop a few samples too long); a loop that
// starts beyond the end is dropped.
void clampLoop(XmSample& s) {
  if (s.loopMode == kLoopNone) {
    s.loopStart = 0;
    s.loopLength = s.length;
    return;
  }
  if (s.loopStart >= s.length) {
    s.loopMode = kLoopNone;
    s.loopStart = 0;
    s.loopLength = s.length;
    return;
  }
  if (s.loopLength > s.length - s.loopStart) s.loopLength = s.length - s.loopStart;
}

// The decoding loop runs once per sample frame, always down the same path;
// fuzzing builds leave it out of their coverage instrumentation, which would
// otherwise make a sample of millions of frames take seconds to load.
#if defined(__clang__)
#define QV_NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define QV_NO_COVERAGE
#endif

// Widening (8-bit values into the high byte) and delta decoding with a
// wrapping 16-bit running sum, in one pass over the raw bytes.
QV_NO_COVERAGE void decodeDeltas(const uint8_t* raw, int16_t* out, size_t count, bool sixteenBit) {
  uint16_t sum = 0;
  if (!sixteenBit) {
    for (size_t i = 0; i < count; ++i) {
      sum = static_cast<uint16_t>(sum + (raw[i] << 8));
      out[i] = static_cast<int16_t>(sum);
    }
  } else {
    for (size_t i = 0; i < count; ++i) {
      sum = static_cast<uint16_t>(sum + (raw[2 * i] | (raw[2 * i + 1] << 8)));
      out[i] = static_cast<int16_t>(sum);
    }
  }
}

void readSampleData(Reader& in, XmSample& s) {
  const int64_t bytesPerSample = s.bits == 16 ? 2 : 1;
  // A truncated file holds fewer samples than its header says; the rest would
  // read as zeros, so the sample is shortened to the data that is there
  // instead of allocating for data that does not exist.
  const int64_t available = in.remaining() / bytesPerSample;
  if (static_cast<int64_t>(s.length) > available) {
    s.length = static_cast<uint32_t>(available);
    if (s.loopMode == kLoopNone) s.loopLength = s.length;
  }
  clampLoop(s);
  if (s.loopLength == 0) {
    s.loopStart = 0;
    s.loopLength = s.length;
    s.loopMode = kLoopNone;
  }
  s.data.assign(static_cast<size_t>(s.length) + kSampleGuard, 0);
  if (s.length == 0) {
    s.bits = 16;
    return;
  }
  std::vector<uint8_t> raw(static_cast<size_t>(s.length) * static_cast<size_t>(bytesPerSample));
  in.bytes(raw.data(), static_cast<int64_t>(raw.size()));
  decodeDeltas(raw.data(), s.data.data(), s.length, bytesPerSample == 2);
  s.bits = 16;
  const uint32_t end = s.loopStart + s.loopLength;
  if (s.loopMode == kLoopForward) s.data[end] = s.data[s.loopStart];
  if (s.loopMode == kLoopPingPong) s.data[end] = s.data[end - 1];
  addLoopCopies(s);
}

bool readInstrument(Reader& in, XmSong& song, XmInstrument& inst) {
  const int64_t start = in.tell();
  const uint32_t headerSize = in.u32();
  in.skip(23);  // name and type
  const uint16_t sampleCount = in.u16();
  if (sampleCount > kMaxSamplesPerInstrument) return false;
  inst.sampleCount = sampleCount;
  inst.samples.fill(&song.emptySample);
  if (sampleCount == 0) {
    in.seek(start + headerSize);
    return true;
  }
  in.u32();  // sample header size: every sample header is taken to be 40 bytes
  in.bytes(inst.sampleForNote.data(), kNoteCount);
  readEnvelope(in, inst.volumeEnvelope);
  readEnvelope(in, inst.panningEnvelope);
  inst.volumePointCount = in.u8();
  inst.panningPointCount = in.u8();
  inst.volumeSustain = in.u8();
  inst.volumeLoopStart = in.u8();
  inst.volumeLoopEnd = in.u8();
  inst.panningSustain = in.u8();
  inst.panningLoopStart = in.u8();
  inst.panningLoopEnd = in.u8();
  inst.volumeType = in.u8();
  inst.panningType = in.u8();
  inst.vibratoType = in.u8();
  inst.vibratoSweep = in.u8();
  inst.vibratoDepth = in.u8();
  inst.vibratoRate = in.u8();
  inst.fadeout = static_cast<uint16_t>(in.u16() * 2);
  repairEnvelope(inst.volumePointCount, inst.volumeType, inst.volumeSustain, inst.volumeLoopStart,
                 inst.volumeLoopEnd);
  repairEnvelope(inst.panningPointCount, inst.panningType, inst.panningSustain, inst.panningLoopStart,
                 inst.panningLoopEnd);
  in.seek(start + headerSize);

  inst.ownedSamples.reserve(sampleCount);
  for (uint32_t i = 0; i < sampleCount; ++i) {
    auto s = std::make_unique<XmSample>();
    s->length = in.u32();
    s->loopStart = in.u32();
    s->loopLength = in.u32();
    s->volume = std::min<uint8_t>(in.u8(), 64);  // 0..64; larger values only in damaged files
    s->finetune = static_cast<int8_t>(in.u8());
    const uint8_t type = in.u8();
    s->panning = in.u8();
    s->relativeNote = static_cast<int8_t>(in.u8());
    in.skip(kSampleHeaderBytes - 17);  // reserved byte and name
    if (type & 0x02) {
      s->loopMode = kLoopPingPong;
    } else if (type & 0x01) {
      s->loopMode = kLoopForward;
    } else {
      s->loopMode = kLoopNone;
    }
    s->bits = (type & 0x10) ? 16 : 8;
    if (s->loopMode == kLoopNone) {
      s->loopStart = 0;
      s->loopLength = s->length;
    }
    if (s->bits == 16) {
      s->length /= 2;
      s->loopStart /= 2;
      s->loopLength /= 2;
    }
    if (s->loopLength == 0) {
      s->loopStart = 0;
      s->loopLength = s->length;
      s->loopMode = kLoopNone;
    }
    // Beyond this no real sample goes; the positions stay well inside 32.32.
    if (s->length > kMaxSampleLength) return false;
    inst.samples[i] = s.get();
    inst.ownedSamples.push_back(std::move(s));
  }
  for (uint32_t i = 0; i < sampleCount; ++i) readSampleData(in, *inst.ownedSamples[i]);
  return true;
}

}  // namespace

const XmCell* XmSong::cell(int32_t pattern, int32_t rowIndex, int32_t channel) const {
  if (pattern < 0 || pattern >= static_cast<int32_t>(patterns.size())) return nullptr;
  const XmPattern& p = patterns[static_cast<size_t>(pattern)];
  if (rowIndex < 0 || static_cast<uint32_t>(rowIndex) >= p.rowCount || channel < 0 || channel >= channelCount) return nullptr;
  return &p.cells[static_cast<size_t>(rowIndex) * static_cast<size_t>(channelCount) + static_cast<size_t>(channel)];
}

std::unique_ptr<XmSong> loadSong(const ModuleFileOps& ops) {
  if (!ops.installed()) return nullptr;
  FileHandle file(ops);
  if (file.handle == nullptr) return nullptr;
  Reader in(ops, file.handle);

  char signature[kSignatureLength];
  in.bytes(signature, kSignatureLength);
  if (std::memcmp(signature, kSignature, kSignatureLength) != 0) return nullptr;

  auto song = std::make_unique<XmSong>();
  song->defaultGlobalVolume = 64;
  song->emptyInstrument.samples.fill(&song->emptySample);

  in.seek(kHeaderSizeOffset);
  const uint32_t headerSize = in.u32();
  const uint16_t songLength = in.u16();
  uint16_t restartPosition = in.u16();
  const uint16_t channelCount = in.u16();
  const uint16_t filePatternCount = in.u16();
  const uint16_t instrumentCount = in.u16();
  song->flags = in.u16();
  song->defaultSpeed = static_cast<int16_t>(in.u16());
  song->defaultBpm = static_cast<int16_t>(in.u16());
  in.bytes(song->orderTable.data(), 256);

  // The sequencer has 32 channels and a 256-entry order table; modules asking
  // for more, or for nothing to play, are not ours to play.
  if (channelCount == 0 || channelCount > kMaxChannels) return nullptr;
  if (songLength == 0 || songLength > 256) return nullptr;
  if (filePatternCount > kMaxPatterns || instrumentCount > kMaxInstruments) return nullptr;
  // Some trackers leave garbage in the restart position; playback then
  // starts over from the beginning.
  if (restartPosition >= songLength) restartPosition = 0;
  // A tempo of 0 would give an endless tick, and values above 32767 a
  // negative one; F can only set 32..255, so that is the range kept.
  if (song->defaultBpm <= 0) song->defaultBpm = song->defaultBpm == 0 ? 125 : 255;
  if (song->defaultBpm > 255) song->defaultBpm = 255;

  song->songLength = static_cast<int16_t>(songLength);
  song->restartPosition = static_cast<int16_t>(restartPosition);
  song->channelCount = static_cast<int16_t>(channelCount);
  song->instrumentCount = static_cast<int16_t>(instrumentCount);
  song->filePatternCount = filePatternCount;

  in.seek(kHeaderSizeOffset + headerSize);
  int32_t largest = 0;
  for (int32_t i = 0; i < songLength; ++i) largest = std::max<int32_t>(largest, song->orderTable[static_cast<size_t>(i)]);
  song->usedPatternCount = largest + 1;
  song->patternSlots = std::max<int32_t>(filePatternCount, song->usedPatternCount);
  song->patterns.resize(static_cast<size_t>(song->patternSlots));
  if (!readPatterns(in, *song, filePatternCount)) return nullptr;
  for (int32_t p = filePatternCount; p < song->patternSlots; ++p) {
    XmPattern& pattern = song->patterns[static_cast<size_t>(p)];
    pattern.rowCount = 64;
    pattern.cells.assign(static_cast<size_t>(64) * channelCount, XmCell{});
  }

  song->instruments.resize(instrumentCount);
  for (XmInstrument& inst : song->instruments) {
    if (!readInstrument(in, *song, inst)) return nullptr;
  }
  return song;
}

std::unique_ptr<XmSong> loadSongFromMemory(const uint8_t* data, int64_t size) {
  MemoryBlock block{data, size};
  ModuleFileOps ops;
  installFileOps(ops, memoryFileOps(&block));
  return loadSong(ops);
}

std::string moduleName(const uint8_t* data, int64_t size) {
  if (data == nullptr || size < 37) return "";
  std::string name(reinterpret_cast<const char*>(data) + 17, 20);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
  for (char& c : name) {
    if (c == '\0') c = ' ';
  }
  return name;
}

}  // namespace xm
