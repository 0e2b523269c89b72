// Fuzz target: XM modules that stay well-formed, played through the
// sequencer and the (checked) mixer.
//
// An input is one flags byte followed by an XM module. The custom mutator
// reads the module (through the shared raw reader) into its parts (header, order table, patterns as cells,
// instruments with envelopes, sample headers and data), changes a few of
// them (notes, instruments, volume column, effects and parameters, sample
// lengths, loop points and types, relative notes, finetunes, envelopes,
// automatic vibrato, speed and tempo, the frequency table) and writes a
// valid module again, so nearly every input loads and reaches the mixer.
//
// Flags byte 1 (exactly; any other value means none): the input ends inside
// the last sample's data, and that data runs on as silence (a virtual file
// of up to kSilentTail more bytes). A sample of 2^24 frames then costs the
// fuzzer a few bytes, not 16 MB.
//
// Each module that loads is played for kBlocks blocks (about 10 to 20 ticks)
// from its start; the checked mixer aborts on any read outside a sample.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "tools/assets/xmwriter/xm_reader.h"
#include "tools/assets/xmwriter/xm_writer.h"
#include "xm/loader.h"
#include "xm/mixer.h"
#include "xm/module_file_ops.h"
#include "xm/sequencer.h"
#include "xm/xm_song.h"

// libFuzzer's own byte-level mutation; absent from the regression replayer.
extern "C" __attribute__((weak)) size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

// The mutator and the file operations are tools, not the code under test:
// left out of the coverage instrumentation, they neither slow the fuzzer
// down nor feed it coverage of their own.
#if defined(__clang__)
#define NO_COVERAGE __attribute__((no_sanitize("coverage")))
#else
#define NO_COVERAGE
#endif

constexpr int32_t kBlocks = 10;
constexpr int64_t kSilentTail = int64_t{33} << 20;
constexpr uint8_t kFlagSilentTail = 0x01;

// ---------------------------------------------------------------------------
// Reading the input through a file whose end may run on as zeros.

struct TailFile {
  const uint8_t* data;
  int64_t size;       // real bytes
  int64_t virtualSize;  // real bytes + silent tail
  int64_t position;
};

struct TailContext {
  const uint8_t* data;
  int64_t size;
  int64_t tail;
};

NO_COVERAGE void* tailOpen(const char*, void* context) {
  const auto* c = static_cast<const TailContext*>(context);
  return new TailFile{c->data, c->size, c->size + c->tail, 0};
}
NO_COVERAGE void tailClose(void* handle) { delete static_cast<TailFile*>(handle); }
NO_COVERAGE int64_t tailRead(void* destination, int64_t count, void* handle) {
  auto* f = static_cast<TailFile*>(handle);
  const int64_t n = std::max<int64_t>(0, std::min(count, f->virtualSize - f->position));
  const int64_t real = std::max<int64_t>(0, std::min(n, f->size - f->position));
  if (real > 0) std::memcpy(destination, f->data + f->position, static_cast<size_t>(real));
  if (n > real) std::memset(static_cast<uint8_t*>(destination) + real, 0, static_cast<size_t>(n - real));
  f->position += n;
  return n;
}
NO_COVERAGE void tailSeek(void* handle, int64_t offset, int32_t mode) {
  auto* f = static_cast<TailFile*>(handle);
  int64_t p = mode == xm::kSeekSet ? offset : mode == xm::kSeekCurrent ? f->position + offset : f->virtualSize + offset;
  f->position = std::clamp<int64_t>(p, 0, f->virtualSize);
}
NO_COVERAGE int64_t tailTell(void* handle) { return static_cast<TailFile*>(handle)->position; }

// ---------------------------------------------------------------------------
// The module model the mutator works on.

struct Cell {
  uint8_t note = 0, instrument = 0, volume = 0, effect = 0, parameter = 0;  // note as in the file (97 key off)
};

struct Pattern {
  uint16_t rows = 0;
  std::vector<Cell> cells;  // rows x channels
};

struct Sample {
  uint32_t length = 0, loopStart = 0, loopLength = 0;  // in bytes, as in the file
  uint8_t volume = 64;
  int8_t finetune = 0;
  uint8_t type = 0;
  uint8_t panning = 128;
  int8_t relativeNote = 0;
  std::vector<uint8_t> data;  // delta-coded bytes as stored (may be shorter than length for the last sample)
};

struct Instrument {
  std::array<uint8_t, 96> sampleForNote{};
  std::array<uint8_t, 48> volumeEnvelope{}, panningEnvelope{};
  std::array<uint8_t, 14> params{};  // counts, sustain / loop points, types, automatic vibrato
  uint16_t fadeout = 0;
  std::vector<Sample> samples;
};

struct Module {
  uint8_t flags = 0;  // the input's flags byte
  uint16_t songLength = 1, restart = 0, channels = 1, xmFlags = 1, speed = 6, bpm = 125;
  std::array<uint8_t, 256> orders{};
  std::vector<Pattern> patterns;
  std::vector<Instrument> instruments;
};

// The input (its flags byte, then a module) through the shared raw reader,
// within the mutator's bounds, into the model the mutations work on.
NO_COVERAGE bool parse(const uint8_t* data, size_t size, Module& m) {
  if (size < 1) return false;
  xmw::ReadLimits limits;
  limits.patterns = 64;
  limits.instruments = 32;
  limits.headerSize = 4096;
  xmw::Song song;
  if (!xmw::readXm(data + 1, size - 1, song, limits) || song.channels == 0) return false;
  m.flags = data[0];
  m.songLength = song.songLength;
  m.restart = song.restart;
  m.channels = song.channels;
  m.xmFlags = song.flags;
  m.speed = song.speed;
  m.bpm = song.bpm;
  m.orders = song.orders;
  for (const xmw::Pattern& p : song.patterns) {
    Pattern& pat = m.patterns.emplace_back();
    pat.rows = p.rows;
    for (const xmw::Cell& c : p.cells) pat.cells.push_back({c.note, c.instrument, c.volume, c.effect, c.parameter});
  }
  for (const xmw::Instrument& in : song.instruments) {
    Instrument& inst = m.instruments.emplace_back();
    inst.sampleForNote = in.sampleForNote;
    for (int k = 0; k < xmw::kEnvelopePoints; ++k) {
      for (const auto& [from, to] : {std::pair{&in.volume, &inst.volumeEnvelope}, std::pair{&in.panning, &inst.panningEnvelope}}) {
        const xmw::EnvelopePoint& point = from->points[static_cast<size_t>(k)];
        (*to)[4 * k] = static_cast<uint8_t>(point.tick);
        (*to)[4 * k + 1] = static_cast<uint8_t>(point.tick >> 8);
        (*to)[4 * k + 2] = static_cast<uint8_t>(point.value);
        (*to)[4 * k + 3] = static_cast<uint8_t>(point.value >> 8);
      }
    }
    inst.params = {in.volume.count,     in.panning.count,  in.volume.sustain, in.volume.loopStart, in.volume.loopEnd,
                   in.panning.sustain,  in.panning.loopStart, in.panning.loopEnd, in.volume.type,  in.panning.type,
                   in.vibratoType,      in.vibratoSweep,   in.vibratoDepth,   in.vibratoRate};
    inst.fadeout = in.fadeout;
    for (const xmw::Sample& smp : in.samples) {
      inst.samples.push_back({smp.length, smp.loopStart, smp.loopLength, smp.volume, smp.finetune, smp.type,
                              smp.panning, smp.relativeNote, smp.data});
    }
  }
  return true;
}

// The module as bytes, through the shared writer: every sample's data is
// written in full (zeros after the stored bytes), except that of the very
// last sample, which stops where its stored bytes stop (the silent tail or a
// short file supplies the rest).
NO_COVERAGE std::vector<uint8_t> serialize(const Module& m) {
  xmw::Song song;
  song.name = "fuzzed module";
  song.tracker = "fuzz mutator";
  song.songLength = m.songLength;
  song.restart = m.restart;
  song.channels = m.channels;
  song.flags = m.xmFlags;
  song.speed = m.speed;
  song.bpm = m.bpm;
  song.orders = m.orders;
  for (const Pattern& p : m.patterns) {
    xmw::Pattern& out = song.patterns.emplace_back();
    out.rows = p.rows;
    for (const Cell& c : p.cells) out.cells.push_back({c.note, c.instrument, c.volume, c.effect, c.parameter});
  }
  for (size_t i = 0; i < m.instruments.size(); ++i) {
    const Instrument& in = m.instruments[i];
    xmw::Instrument& out = song.instruments.emplace_back();
    out.sampleForNote = in.sampleForNote;
    const auto le16 = [](const uint8_t* b) { return static_cast<uint16_t>(b[0] | (b[1] << 8)); };
    for (int k = 0; k < xmw::kEnvelopePoints; ++k) {
      out.volume.points[k] = {le16(&in.volumeEnvelope[4 * k]), le16(&in.volumeEnvelope[4 * k + 2])};
      out.panning.points[k] = {le16(&in.panningEnvelope[4 * k]), le16(&in.panningEnvelope[4 * k + 2])};
    }
    // params: point counts, volume sustain / loop, panning sustain / loop,
    // envelope types, automatic vibrato
    const std::array<uint8_t, 14>& p = in.params;
    out.volume.count = p[0];
    out.panning.count = p[1];
    out.volume.sustain = p[2];
    out.volume.loopStart = p[3];
    out.volume.loopEnd = p[4];
    out.panning.sustain = p[5];
    out.panning.loopStart = p[6];
    out.panning.loopEnd = p[7];
    out.volume.type = p[8];
    out.panning.type = p[9];
    out.vibratoType = p[10];
    out.vibratoSweep = p[11];
    out.vibratoDepth = p[12];
    out.vibratoRate = p[13];
    out.fadeout = in.fadeout;
    for (size_t k = 0; k < in.samples.size(); ++k) {
      const Sample& s = in.samples[k];
      xmw::Sample& smp = out.samples.emplace_back();
      smp.length = s.length;
      smp.loopStart = s.loopStart;
      smp.loopLength = s.loopLength;
      smp.volume = s.volume;
      smp.finetune = s.finetune;
      smp.type = s.type;
      smp.panning = s.panning;
      smp.relativeNote = s.relativeNote;
      const bool last = i + 1 == m.instruments.size() && k + 1 == in.samples.size();
      const size_t stored = std::min<size_t>(s.data.size(), s.length);
      smp.data.assign(s.data.begin(), s.data.begin() + static_cast<std::ptrdiff_t>(stored));
      if (!last) smp.data.resize(s.length, 0);
    }
  }
  std::vector<uint8_t> o{m.flags};
  const std::vector<uint8_t> file = xmw::writeXm(song);
  o.insert(o.end(), file.begin(), file.end());
  return o;
}

// A small module to start from when the input is not one: two channels,
// a 16-row pattern with a few notes, one instrument with a looped 8-bit
// saw and a volume envelope.
NO_COVERAGE Module starter(uint8_t flags) {
  Module m;
  m.flags = flags;
  m.channels = 2;
  m.speed = 2;
  Pattern p;
  p.rows = 16;
  p.cells.resize(32);
  p.cells[0] = {49, 1, 0, 0, 0};
  p.cells[3] = {25, 1, 0x40, 0, 0};
  p.cells[8] = {61, 1, 0, 4, 0x37};
  p.cells[13] = {1, 1, 0, 0, 0};
  p.cells[20] = {97, 0, 0, 0, 0};
  m.patterns.push_back(p);
  Instrument in;
  const uint8_t env[] = {0, 0, 64, 0, 4, 0, 32, 0, 16, 0, 48, 0};
  std::copy(std::begin(env), std::end(env), in.volumeEnvelope.begin());
  in.params = {3, 0, 1, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0, 0};
  in.fadeout = 256;
  Sample s;
  s.length = 64;
  s.loopStart = 16;
  s.loopLength = 48;
  s.type = 1;
  s.data.assign(64, 4);
  in.samples.push_back(s);
  m.instruments.push_back(in);
  return m;
}

// ---------------------------------------------------------------------------
// Mutations.

class Mutator {
 public:
  NO_COVERAGE explicit Mutator(unsigned seed) : rng_(seed) {}

  NO_COVERAGE uint32_t below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>(rng_() % n); }
  NO_COVERAGE bool chance(uint32_t n) { return below(n) == 0; }
  NO_COVERAGE uint8_t byte() { return static_cast<uint8_t>(rng_()); }
  template <typename T, size_t N>
  NO_COVERAGE T pick(const T (&values)[N]) {
    return values[below(N)];
  }

  NO_COVERAGE void mutate(Module& m) {
    const uint32_t rounds = 1 + below(4);
    for (uint32_t r = 0; r < rounds; ++r) once(m);
  }

 private:
  NO_COVERAGE Cell* anyCell(Module& m) {
    if (m.patterns.empty()) return nullptr;
    Pattern& p = m.patterns[below(static_cast<uint32_t>(m.patterns.size()))];
    if (p.cells.empty()) return nullptr;
    // Early rows more often: those are the ones a bounded play reaches.
    const uint32_t rows = std::min<uint32_t>(p.rows, chance(2) ? 8u : 256u);
    const uint32_t row = below(rows);
    return &p.cells[static_cast<size_t>(row) * m.channels + below(m.channels)];
  }
  NO_COVERAGE Instrument* anyInstrument(Module& m) {
    if (m.instruments.empty()) return nullptr;
    return &m.instruments[below(static_cast<uint32_t>(m.instruments.size()))];
  }
  NO_COVERAGE Sample* anySample(Module& m) {
    Instrument* in = anyInstrument(m);
    if (in == nullptr || in->samples.empty()) return nullptr;
    return &in->samples[below(static_cast<uint32_t>(in->samples.size()))];
  }
  NO_COVERAGE uint32_t interestingLength(uint32_t current) {
    static const uint32_t values[] = {0, 1, 2, 3, 4, 7, 8, 15, 16, 63, 64, 255, 256, 1000, 4096, 65535};
    // Up to 64 KB: longer samples only slow the fuzzer down; the one case
    // that needs them (more than 2^24 frames) has its own mutation.
    int64_t v = 0;
    switch (below(4)) {
      case 0: v = pick(values); break;
      case 1: v = static_cast<int64_t>(current) + below(16) - 8; break;
      case 2: v = static_cast<int64_t>(current) * 2; break;
      default: v = below(4096); break;
    }
    return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, 1 << 16));
  }
  NO_COVERAGE void resizeChannels(Module& m, uint16_t channels) {
    for (Pattern& p : m.patterns) {
      std::vector<Cell> cells(static_cast<size_t>(p.rows) * channels);
      for (uint32_t r = 0; r < p.rows; ++r) {
        for (uint32_t c = 0; c < std::min(channels, m.channels); ++c) {
          cells[r * channels + c] = p.cells[r * m.channels + c];
        }
      }
      p.cells = std::move(cells);
    }
    m.channels = channels;
  }

  NO_COVERAGE void once(Module& m) {
    static const int8_t relatives[] = {-128, -127, -97, -96, -95, -49, -48, -12, -2, -1, 0, 1, 12, 48, 95, 96, 127};
    static const int8_t finetunes[] = {-128, -127, -64, -16, -1, 0, 1, 15, 16, 64, 127};
    static const uint8_t notes[] = {0, 1, 2, 12, 13, 48, 49, 95, 96, 97, 98, 255};
    static const uint8_t effects[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 20, 21, 25, 27, 29, 33, 35, 36, 255};
    static const uint8_t params[] = {0, 1, 0x0F, 0x10, 0x1F, 0x20, 0x40, 0x50, 0x5F, 0x80, 0xD0, 0xE0, 0xED, 0xEF, 0xF0, 0xFF};
    switch (below(24)) {
      case 0:
      case 1: {  // note
        if (Cell* c = anyCell(m)) c->note = chance(2) ? pick(notes) : static_cast<uint8_t>(below(99));
        break;
      }
      case 2: {  // instrument
        if (Cell* c = anyCell(m)) c->instrument = chance(4) ? byte() : static_cast<uint8_t>(below(m.instruments.size() + 2));
        break;
      }
      case 3: {  // volume column
        if (Cell* c = anyCell(m)) c->volume = byte();
        break;
      }
      case 4:
      case 5: {  // effect and parameter
        if (Cell* c = anyCell(m)) {
          c->effect = pick(effects);
          c->parameter = chance(2) ? pick(params) : byte();
        }
        break;
      }
      case 6: {  // parameter only
        if (Cell* c = anyCell(m)) c->parameter = chance(2) ? pick(params) : static_cast<uint8_t>(c->parameter ^ (1u << below(8)));
        break;
      }
      case 7: {  // a whole cell that plays a note with an instrument
        if (Cell* c = anyCell(m)) {
          *c = {static_cast<uint8_t>(chance(3) ? pick(notes) : 1 + below(96)), static_cast<uint8_t>(1 + below(std::max<size_t>(m.instruments.size(), 1))),
                static_cast<uint8_t>(chance(2) ? 0 : byte()), static_cast<uint8_t>(chance(2) ? 0 : pick(effects)), byte()};
        }
        break;
      }
      case 8: {  // sample length
        if (Sample* s = anySample(m)) {
          s->length = interestingLength(s->length);
          if (s->data.size() > s->length) s->data.resize(s->length);
        }
        break;
      }
      case 9: {  // now and then a sample longer than 2^24 frames: the last one, over the silent tail
        if (m.instruments.empty() || m.instruments.back().samples.empty() || !chance(16)) break;
        // With an extreme pitch half of the time: steps of thousands of
        // frames per output frame are what long samples must survive.
        Sample& s = m.instruments.back().samples.back();
        s.length = ((1u << 24) + below(1u << 23)) * ((s.type & 0x10) ? 2u : 1u);
        if (chance(2)) s.relativeNote = pick(relatives);
        switch (below(3)) {  // a loop near the start would hide the length; often none or all of it
          case 0: s.type = static_cast<uint8_t>(s.type & ~3u); break;
          case 1: s.type = static_cast<uint8_t>((s.type & ~3u) | 1u); s.loopStart = 0; s.loopLength = s.length; break;
          default: break;
        }
        m.flags = kFlagSilentTail;
        break;
      }
      case 10: {  // loop points
        if (Sample* s = anySample(m)) {
          const uint32_t len = s->length;
          switch (below(5)) {
            case 0: s->loopStart = below(len + 2); break;
            case 1: s->loopLength = below(len + 2); break;
            case 2: s->loopStart = len - below(3); s->loopLength = below(4); break;
            case 3: s->loopStart = 0; s->loopLength = len; break;
            default: s->loopStart = static_cast<uint32_t>(rng_()); s->loopLength = static_cast<uint32_t>(rng_()); break;
          }
        }
        break;
      }
      case 11: {  // loop type and bits
        if (Sample* s = anySample(m)) s->type = static_cast<uint8_t>(below(4) | (chance(2) ? 0x10 : 0));
        break;
      }
      case 12: {  // relative note
        if (Sample* s = anySample(m)) s->relativeNote = chance(2) ? pick(relatives) : static_cast<int8_t>(byte());
        break;
      }
      case 13: {  // finetune, volume, panning
        if (Sample* s = anySample(m)) {
          switch (below(3)) {
            case 0: s->finetune = chance(2) ? pick(finetunes) : static_cast<int8_t>(byte()); break;
            case 1: s->volume = chance(2) ? 64 : byte(); break;
            default: s->panning = byte(); break;
          }
        }
        break;
      }
      case 14: {  // sample data
        if (Sample* s = anySample(m)) {
          if (s->data.size() < std::min<uint32_t>(s->length, 1u << 16)) s->data.resize(std::min<uint32_t>(s->length, 1u << 16));
          if (!s->data.empty()) {
            for (int k = 0; k < 4; ++k) s->data[below(static_cast<uint32_t>(s->data.size()))] = byte();
          }
        }
        break;
      }
      case 15: {  // envelope points
        if (Instrument* in = anyInstrument(m)) {
          auto& env = chance(2) ? in->volumeEnvelope : in->panningEnvelope;
          const uint32_t point = below(12);
          if (chance(2)) {
            env[point * 4] = chance(2) ? static_cast<uint8_t>(point * 4) : byte();
            env[point * 4 + 1] = chance(4) ? byte() : 0;
          } else {
            env[point * 4 + 2] = chance(2) ? static_cast<uint8_t>(below(65)) : byte();
            env[point * 4 + 3] = chance(8) ? byte() : 0;
          }
        }
        break;
      }
      case 16: {  // envelope counts, sustain and loop points, types
        if (Instrument* in = anyInstrument(m)) {
          const uint32_t k = below(10);
          in->params[k] = chance(2) ? static_cast<uint8_t>(below(14)) : byte();
        }
        break;
      }
      case 17: {  // automatic vibrato and fadeout
        if (Instrument* in = anyInstrument(m)) {
          const uint32_t k = 10 + below(5);
          if (k == 14) {
            in->fadeout = static_cast<uint16_t>(chance(2) ? below(4096) : rng_());
          } else {
            in->params[k] = chance(2) ? static_cast<uint8_t>(below(8)) : byte();
          }
        }
        break;
      }
      case 18: {  // note-to-sample table
        if (Instrument* in = anyInstrument(m)) {
          const uint8_t v = chance(4) ? byte() : static_cast<uint8_t>(below(static_cast<uint32_t>(in->samples.size()) + 1));
          if (chance(2)) {
            in->sampleForNote.fill(v);
          } else {
            in->sampleForNote[below(96)] = v;
          }
        }
        break;
      }
      case 19: {  // song header
        switch (below(6)) {
          case 0: m.xmFlags ^= 1; break;
          case 1: m.speed = static_cast<uint16_t>(chance(2) ? below(32) : rng_()); break;
          case 2: m.bpm = static_cast<uint16_t>(chance(2) ? 32 + below(224) : rng_()); break;
          case 3: m.songLength = static_cast<uint16_t>(chance(4) ? rng_() % 300 : 1 + below(4)); break;
          case 4: m.restart = static_cast<uint16_t>(below(8)); break;
          default: m.orders[below(8)] = static_cast<uint8_t>(chance(4) ? byte() : below(static_cast<uint32_t>(m.patterns.size()) + 1)); break;
        }
        break;
      }
      case 20: {  // channels
        resizeChannels(m, static_cast<uint16_t>(chance(8) ? 1 + below(32) : 1 + below(8)));
        break;
      }
      case 21: {  // patterns: rows, add, remove
        if (m.patterns.empty() || chance(4)) {
          if (m.patterns.size() < 8) {
            Pattern p;
            p.rows = static_cast<uint16_t>(1 + below(32));
            p.cells.resize(static_cast<size_t>(p.rows) * m.channels);
            m.patterns.push_back(std::move(p));
          }
        } else {
          Pattern& p = m.patterns[below(static_cast<uint32_t>(m.patterns.size()))];
          if (chance(8)) {
            p = m.patterns.back();
            m.patterns.pop_back();
            break;
          }
          p.rows = static_cast<uint16_t>(chance(8) ? below(258) : 1 + below(64));
          if (p.rows > 256) p.rows = 256;
          p.cells.resize(static_cast<size_t>(p.rows) * m.channels);
        }
        break;
      }
      case 22: {  // instruments and samples: add, copy, remove
        if (m.instruments.size() < 8 && chance(2)) {
          m.instruments.push_back(m.instruments.empty() ? starter(0).instruments[0] : *anyInstrument(m));
        } else if (Instrument* in = anyInstrument(m)) {
          if (chance(3) && in->samples.size() < 16) {
            in->samples.push_back(in->samples.empty() ? starter(0).instruments[0].samples[0] : in->samples[below(static_cast<uint32_t>(in->samples.size()))]);
          } else if (!in->samples.empty()) {
            in->samples.pop_back();
          } else {
            m.instruments.pop_back();
          }
        }
        break;
      }
      default: {  // the silent tail off again, and back to a short last sample
        m.flags = 0;
        if (!m.instruments.empty() && !m.instruments.back().samples.empty()) {
          Sample& s = m.instruments.back().samples.back();
          if (s.length > (1u << 16)) s.length = static_cast<uint32_t>(s.data.size());
        }
        break;
      }
    }
  }

  std::minstd_rand rng_;
};

}  // namespace

extern "C" NO_COVERAGE size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
  Mutator mutator(seed);
  Module m;
  if (!parse(data, size, m)) {
    // Not a module this mutator understands: now and then a byte-level
    // change (which may make it one), otherwise a fresh starting module.
    if (size > 0 && LLVMFuzzerMutate != nullptr && mutator.chance(4)) return LLVMFuzzerMutate(data, size, maxSize);
    m = starter(0);
  }
  // A module with a sample of 2^24 frames or more costs a few hundred
  // milliseconds to load (instrumented); most of its children go back to a
  // short sample, so that such inputs stay a small share of the executions.
  if (m.flags == kFlagSilentTail && !m.instruments.empty() && !m.instruments.back().samples.empty() &&
      m.instruments.back().samples.back().length > (1u << 16) && !mutator.chance(16)) {
    Sample& s = m.instruments.back().samples.back();
    s.length = static_cast<uint32_t>(std::min<size_t>(s.data.size(), 1u << 16));
  }
  for (int attempt = 0; attempt < 4; ++attempt) {
    Module changed = m;
    mutator.mutate(changed);
    const std::vector<uint8_t> out = serialize(changed);
    if (out.size() <= maxSize) {
      std::memcpy(data, out.data(), out.size());
      return out.size();
    }
  }
  return size <= maxSize ? size : maxSize;
}

// Crossing over two modules: one's header and patterns with the other's
// instruments (byte-level crossing would mostly break the layout).
extern "C" NO_COVERAGE size_t LLVMFuzzerCustomCrossOver(const uint8_t* data1, size_t size1, const uint8_t* data2, size_t size2,
                                            uint8_t* out, size_t maxOutSize, unsigned int seed) {
  Module a, b;
  if (!parse(data1, size1, a) || !parse(data2, size2, b)) return 0;
  Mutator mutator(seed);
  if (mutator.chance(2)) std::swap(a, b);
  a.instruments = std::move(b.instruments);
  a.flags = 0;
  const std::vector<uint8_t> bytes = serialize(a);
  if (bytes.size() > maxOutSize) return 0;
  std::memcpy(out, bytes.data(), bytes.size());
  return bytes.size();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const uint8_t flags = data[0];
  TailContext context{data + 1, static_cast<int64_t>(size - 1), flags == kFlagSilentTail ? kSilentTail : 0};
  xm::ModuleFileOps ops;
  xm::ModuleFileOps tail;
  tail.open = &tailOpen;
  tail.close = &tailClose;
  tail.read = &tailRead;
  tail.seek = &tailSeek;
  tail.tell = &tailTell;
  tail.context = &context;
  xm::installFileOps(ops, tail);
  std::unique_ptr<xm::XmSong> song = xm::loadSong(ops);
  if (!song) return 0;
  auto pb = std::make_unique<xm::XmPlayback>();
  pb->song = song.get();
  xm::resetPlayback(*pb);
  std::vector<float> block(2 * xm::kBlockFrames);
  for (int32_t b = 0; b < kBlocks; ++b) xm::mixBlock(*pb, block.data());
  return 0;
}
