#include "tools/assets/xmcomposer/readback.h"

#include <memory>

#include "xm/loader.h"
#include "xm/xm_song.h"

namespace xmc {
namespace {

std::string where(size_t instrument, const std::string& what) {
  return "instrument " + std::to_string(instrument + 1) + ": " + what;
}

// The loader keeps an envelope's points, count and flags as stored; an
// envelope of fewer than two points is off.
bool sameEnvelope(const Envelope& e, const std::array<xm::EnvelopePoint, xm::kEnvelopePoints>& points, uint8_t count,
                  uint8_t type, uint8_t sustain, uint8_t loopStart, uint8_t loopEnd) {
  if (!e.enabled()) return type == 0;
  if (count != e.points.size()) return false;
  for (size_t i = 0; i < e.points.size(); ++i) {
    if (points[i].tick != e.points[i].tick || points[i].value != e.points[i].value) return false;
  }
  const uint8_t expected = static_cast<uint8_t>(xm::kEnvelopeOn | (e.sustain >= 0 ? xm::kEnvelopeSustain : 0) |
                                                (e.loopStart >= 0 ? xm::kEnvelopeLoop : 0));
  if (type != expected) return false;
  if (e.sustain >= 0 && sustain != e.sustain) return false;
  return e.loopStart < 0 || (loopStart == e.loopStart && loopEnd == e.loopEnd);
}

std::string compareSample(const Sample& s, const xm::XmSample& got) {
  if (got.length != s.data.size()) return "length " + std::to_string(got.length);
  const uint8_t mode = s.loop == LoopMode::Forward    ? xm::kLoopForward
                       : s.loop == LoopMode::PingPong ? xm::kLoopPingPong
                                                      : xm::kLoopNone;
  if (got.loopMode != mode) return "loop type";
  if (mode != xm::kLoopNone && (got.loopStart != s.loopStart || got.loopLength != s.loopLength)) return "loop points";
  if (got.volume != s.volume || got.finetune != s.finetune || got.panning != s.panning ||
      got.relativeNote != s.relativeNote) {
    return "volume, finetune, panning or relative note";
  }
  // 8-bit data plays on the 16-bit scale, in the high byte.
  const int scale = s.sixteenBit ? 1 : 256;
  for (size_t i = 0; i < s.data.size(); ++i) {
    if (got.data[i] != s.data[i] * scale) return "sample data at " + std::to_string(i);
  }
  return "";
}

}  // namespace

std::string playerReadback(const Module& m, const std::vector<uint8_t>& bytes) {
  const auto size = static_cast<int64_t>(bytes.size());
  const std::unique_ptr<xm::XmSong> song = xm::loadSongFromMemory(bytes.data(), size);
  if (!song) return "the player's loader rejects the file";
  if (xm::moduleName(bytes.data(), size) != m.name) return "module name";
  if (song->channelCount != m.channels || song->restartPosition != m.restart || song->defaultSpeed != m.speed ||
      song->defaultBpm != m.bpm || ((song->flags & xm::kFlagLinearTable) != 0) != m.linear) {
    return "header";
  }
  if (song->songLength != static_cast<int>(m.order.size())) return "song length";
  for (size_t i = 0; i < m.order.size(); ++i) {
    if (song->orderTable[i] != m.order[i]) return "order " + std::to_string(i);
  }
  if (song->filePatternCount != static_cast<int>(m.patterns.size())) return "pattern count";
  for (size_t p = 0; p < m.patterns.size(); ++p) {
    const Pattern& pattern = m.patterns[p];
    const xm::XmPattern& got = song->patterns[p];
    if (got.rowCount != static_cast<uint32_t>(pattern.rows)) return "pattern " + std::to_string(p) + " rows";
    for (size_t i = 0; i < pattern.cells.size(); ++i) {
      const Cell& c = pattern.cells[i];
      const xm::XmCell& g = got.cells[i];
      const uint8_t note = c.note == kKeyOff ? xm::kNoteKeyOff : c.note;
      if (g.note != note || g.instrument != c.instrument || g.volume != c.volume || g.effect != c.effect ||
          g.parameter != c.param) {
        return "pattern " + std::to_string(p) + " cell " + std::to_string(i);
      }
    }
  }
  if (song->instrumentCount != static_cast<int>(m.instruments.size())) return "instrument count";
  for (size_t i = 0; i < m.instruments.size(); ++i) {
    const Instrument& ins = m.instruments[i];
    const xm::XmInstrument& got = song->instruments[i];
    if (got.sampleCount != ins.samples.size()) return where(i, "sample count");
    if (ins.samples.empty()) continue;
    for (uint8_t sample : got.sampleForNote) {
      if (sample != 0) return where(i, "note-to-sample table");  // every note plays the first sample
    }
    if (!sameEnvelope(ins.volume, got.volumeEnvelope, got.volumePointCount, got.volumeType, got.volumeSustain,
                      got.volumeLoopStart, got.volumeLoopEnd)) {
      return where(i, "volume envelope");
    }
    if (!sameEnvelope(ins.panning, got.panningEnvelope, got.panningPointCount, got.panningType, got.panningSustain,
                      got.panningLoopStart, got.panningLoopEnd)) {
      return where(i, "panning envelope");
    }
    if (got.vibratoType != ins.vibratoType || got.vibratoSweep != ins.vibratoSweep ||
        got.vibratoDepth != ins.vibratoDepth || got.vibratoRate != ins.vibratoRate) {
      return where(i, "automatic vibrato");
    }
    if (got.fadeout != ins.fadeout * 2) return where(i, "fadeout");  // the player keeps it doubled
    for (size_t s = 0; s < ins.samples.size(); ++s) {
      const std::string difference = compareSample(ins.samples[s], *got.samples[s]);
      if (!difference.empty()) return where(i, "sample " + std::to_string(s + 1) + " " + difference);
    }
  }
  return "";
}

}  // namespace xmc
