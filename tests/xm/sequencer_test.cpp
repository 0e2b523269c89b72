// Sequencer: tempo, row order (breaks, jumps, loops, delays), note delay and
// cut, effect memories, envelopes, key off and fadeout, period tables,
// automatic vibrato and the volume formula.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/xm/xm_builder.h"
#include "xm/loader.h"
#include "xm/sequencer.h"

namespace {

using xm::XmCell;
using xmtest::Module;

struct Seq {
  explicit Seq(const Module& m) {
    bytes = m.bytes();
    song = xm::loadSongFromMemory(bytes.data(), static_cast<int64_t>(bytes.size()));
    if (song) {
      pb.song = song.get();
      xm::resetPlayback(pb);
    }
  }
  // Runs one tick; returns the (order, row) processed when the tick started a row.
  std::pair<int, int> tick() {
    const bool first = pb.position.tick == 0;
    xm::sequencerTick(pb);
    return first ? std::pair<int, int>{pb.position.order, pb.position.row} : std::pair<int, int>{-1, -1};
  }
  std::vector<std::pair<int, int>> rows(int count) {
    std::vector<std::pair<int, int>> out;
    while (static_cast<int>(out.size()) < count) {
      auto r = tick();
      if (r.first >= 0) out.push_back(r);
    }
    return out;
  }
  xm::XmChannel& ch(int c = 0) { return pb.channels[static_cast<size_t>(c)]; }
  xm::MixVoice& voice(int c = 0) { return pb.voices[static_cast<size_t>(ch(c).voice)]; }

  std::vector<uint8_t> bytes;
  std::unique_ptr<xm::XmSong> song;
  xm::XmPlayback pb;
};

using Rows = std::vector<std::pair<int, int>>;

Module withInstrument(Module m, int16_t level = 8000, uint8_t volume = 64) {
  xmtest::Sample s = xmtest::dcSample(level, 256);
  s.volume = volume;
  m.instruments.push_back(xmtest::simpleInstrument(s));
  return m;
}

TEST(XmSequencer, SamplesPerTick) {
  // bpm -> output frames per tick
  const std::pair<int, int> table[] = {{125, 882}, {32, 3445}, {255, 432}, {100, 1102}, {200, 551}};
  for (auto [bpm, frames] : table) EXPECT_EQ(xm::samplesPerTickFor(bpm), frames) << bpm;
}

TEST(XmSequencer, SpeedZeroPlaysOneTickPerRow) {
  Module m;
  m.speed = 6;
  m.cell(0, 0, 0) = {0, 0, 0, xm::kEffectSpeedTempo, 0};  // F00
  Seq r(m);
  // Row 0 starts on tick 0; from then on every tick starts a row.
  std::vector<int> rowPerTick;
  for (int i = 0; i < 5; ++i) {
    r.tick();
    rowPerTick.push_back(r.pb.position.row);
  }
  EXPECT_EQ(rowPerTick, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(r.pb.position.speed, 0);
}

TEST(XmSequencer, TempoChangeSetsSamplesPerTick) {
  Module m;
  m.cell(0, 0, 0) = {0, 0, 0, xm::kEffectSpeedTempo, 200};  // F C8: 200 BPM
  Seq r(m);
  r.tick();
  EXPECT_EQ(r.pb.position.bpm, 200);
  EXPECT_EQ(r.pb.position.samplesPerTick, 551);
}

// Three orders of three 8-row patterns, two channels, one tick per row; the
// cells of row 1 of the first played pattern (or of `pattern`) carry the jumps.
Rows jumpRun(std::vector<XmCell> row1, int pattern = 0, int count = 4) {
  Module m;
  m.channels = 2;
  m.speed = 1;
  m.orders = {0, 1, 2};
  m.patterns = {xmtest::Pattern{8, {}}, xmtest::Pattern{8, {}}, xmtest::Pattern{8, {}}};
  for (size_t c = 0; c < row1.size(); ++c) m.cell(pattern, 1, static_cast<int>(c)) = row1[c];
  Seq r(m);
  if (pattern == 2) r.pb.position.nextOrder = 2, r.pb.position.nextRow = 0;
  return r.rows(count);
}

TEST(XmSequencer, BreaksAndJumps) {
  const XmCell none{};
  auto D = [](int p) { return XmCell{0, 0, 0, xm::kEffectPatternBreak, static_cast<uint8_t>(p)}; };
  auto B = [](int p) { return XmCell{0, 0, 0, xm::kEffectPositionJump, static_cast<uint8_t>(p)}; };
  // rows visited: the first two, then where the jump lands
  EXPECT_EQ(jumpRun({D(0x05), none}), (Rows{{0, 0}, {0, 1}, {1, 5}, {1, 6}}));    // break to row 5
  EXPECT_EQ(jumpRun({D(0x70), none}), (Rows{{0, 0}, {0, 1}, {1, 0}, {1, 1}}));    // row 70 -> 0
  EXPECT_EQ(jumpRun({D(0x06), none}), (Rows{{0, 0}, {0, 1}, {1, 6}, {1, 7}}));
  EXPECT_EQ(jumpRun({B(2), none}), (Rows{{0, 0}, {0, 1}, {2, 0}, {2, 1}}));       // jump to order 2
  EXPECT_EQ(jumpRun({B(9), none}), (Rows{{0, 0}, {0, 1}, {0, 0}, {0, 1}}));       // past the end -> 0
  EXPECT_EQ(jumpRun({D(0x04), B(2)}), (Rows{{0, 0}, {0, 1}, {2, 0}, {2, 1}}));    // B after D: row 0
  EXPECT_EQ(jumpRun({B(2), D(0x04)}), (Rows{{0, 0}, {0, 1}, {2, 4}, {2, 5}}));    // D after B: B's order
  EXPECT_EQ(jumpRun({D(0x40), none}), (Rows{{0, 0}, {0, 1}, {1, 0}, {1, 1}}));    // row 40 of 8 rows -> 0
  // A break in the last order position goes to position 0.
  EXPECT_EQ(jumpRun({D(0x03), none}, 2, 4), (Rows{{2, 0}, {2, 1}, {0, 3}, {0, 4}}));
}

TEST(XmSequencer, RunningOffTheEndGoesToRestartPosition) {
  Module m;
  m.speed = 1;
  m.restart = 1;
  m.orders = {0, 1, 2};
  m.patterns = {xmtest::Pattern{2, {}}, xmtest::Pattern{2, {}}, xmtest::Pattern{2, {}}};
  Seq r(m);
  EXPECT_EQ(r.rows(8), (Rows{{0, 0}, {0, 1}, {1, 0}, {1, 1}, {2, 0}, {2, 1}, {1, 0}, {1, 1}}));
}

TEST(XmSequencer, PatternLoop) {
  Module m;
  m.speed = 1;
  m.cell(0, 1, 0) = {0, 0, 0, xm::kEffectExtended, 0x60};  // loop start
  m.cell(0, 3, 0) = {0, 0, 0, xm::kEffectExtended, 0x62};  // loop twice more
  Seq r(m);
  const Rows rows = r.rows(11);
  std::vector<int> visited;
  for (auto [o, row] : rows) visited.push_back(row);
  EXPECT_EQ(visited, (std::vector<int>{0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 4}));
}

TEST(XmSequencer, PatternDelayLengthensTheRow) {
  Module m;
  m.speed = 3;
  m.cell(0, 0, 0) = {0, 0, 0, xm::kEffectExtended, 0xE2};  // EE2: 2 x 3 extra ticks
  Seq r(m);
  int ticks = 0;
  do {
    r.tick();
    ++ticks;
  } while (r.pb.position.tick != 0);
  EXPECT_EQ(ticks, 9);
  do {
    r.tick();
    ++ticks;
  } while (r.pb.position.tick != 0);
  EXPECT_EQ(ticks, 12);  // the next row is back to 3 ticks
}

// Tick (within row 0, speed 6) at which the note's voice starts, -1 if never.
int triggerTick(uint8_t delayParameter) {
  Module m = withInstrument(Module{});
  m.cell(0, 0, 0) = {49, 1, 0, xm::kEffectExtended, delayParameter};
  Seq r(m);
  for (int t = 0; t < 6; ++t) {
    r.tick();
    if (r.voice().sample != nullptr) return t;
  }
  return -1;
}

TEST(XmSequencer, NoteDelay) {
  EXPECT_EQ(triggerTick(0x00), 0);   // E00: no delay (not an extended effect that acts)
  EXPECT_EQ(triggerTick(0xD3), 3);   // ED3
  EXPECT_EQ(triggerTick(0xD1), 1);
  EXPECT_EQ(triggerTick(0xD0), -1);  // ED0 suppresses the note
  EXPECT_EQ(triggerTick(0xD6), -1);  // not below the row's 6 ticks: never
}

TEST(XmSequencer, NoteCut) {
  Module m = withInstrument(Module{});
  m.cell(0, 0, 0) = {49, 1, 0, xm::kEffectExtended, 0xC2};
  Seq r(m);
  std::vector<int> volumes;
  for (int t = 0; t < 4; ++t) {
    r.tick();
    volumes.push_back(r.voice().volume);
  }
  EXPECT_EQ(volumes, (std::vector<int>{127, 127, 0, 0}));
}

TEST(XmSequencer, VolumeAbove64AndTheVolumeFormula) {
  // C parameter -> voice volume (global 64, envelope 64, no fadeout)
  const std::pair<int, int> table[] = {{64, 127}, {128, 255}, {32, 63}, {0, 0}, {255, 508}};
  for (auto [c, expected] : table) {
    Module m = withInstrument(Module{});
    m.cell(0, 0, 0) = {49, 1, 0, xm::kEffectSetVolume, static_cast<uint8_t>(c)};
    Seq r(m);
    r.tick();
    EXPECT_EQ(r.ch().volume, c);
    EXPECT_EQ(r.voice().volume, expected) << c;
  }
}

// One effect on row 0 with a parameter and on row 1 with 0 (the same
// sub-effect for E and X): the memory must repeat row 0's change.
struct MemoryCase {
  const char* name;
  uint8_t effect, parameter;
  int (*read)(Seq&);
  int start;      // value before the effect (note C-4, sample volume 32, centre panning)
  int perRow;     // change over one row of speed 6
};

int period(Seq& r) { return r.ch().period; }
int volume(Seq& r) { return r.ch().volume; }
int panning(Seq& r) { return r.ch().panning; }
int globalVolume(Seq& r) { return r.pb.position.globalVolume; }

TEST(XmSequencer, EffectMemories) {
  const MemoryCase cases[] = {
      {"1 porta up", xm::kEffectPortaUp, 0x03, period, 4608, -60},        // 5 ticks x 3 x 4
      {"2 porta down", xm::kEffectPortaDown, 0x05, period, 4608, 100},    // 5 x 5 x 4
      {"A slide up", xm::kEffectVolumeSlide, 0x10, volume, 32, 5},
      {"A slide down", xm::kEffectVolumeSlide, 0x02, volume, 32, -10},
      {"E1 fine up", xm::kEffectExtended, 0x13, period, 4608, -12},       // once, 3 x 4
      {"E2 fine down", xm::kEffectExtended, 0x24, period, 4608, 16},
      {"EA fine vol up", xm::kEffectExtended, 0xA2, volume, 32, 2},
      {"EB fine vol down", xm::kEffectExtended, 0xB3, volume, 32, -3},
      {"X1 extra fine up", xm::kEffectExtraFinePorta, 0x15, period, 4608, -5},
      {"X2 extra fine down", xm::kEffectExtraFinePorta, 0x26, period, 4608, 6},
      {"P slide right", xm::kEffectPanningSlide, 0x20, panning, 128, 10},
      {"P slide left", xm::kEffectPanningSlide, 0x03, panning, 128, -15},
      {"H slide down", xm::kEffectGlobalVolSlide, 0x02, globalVolume, 64, -10},
      {"H slide up", xm::kEffectGlobalVolSlide, 0x10, globalVolume, 64, 0},  // already at 64
      {"6 vibrato + slide", xm::kEffectVibratoVolSlide, 0x01, volume, 32, -5},
      {"5 porta + slide", xm::kEffectTonePortaVolSlide, 0x20, volume, 32, 10},
  };
  for (const MemoryCase& c : cases) {
    Module m = withInstrument(Module{}, 8000, 32);
    const bool keepsSubEffect = c.effect == xm::kEffectExtended || c.effect == xm::kEffectExtraFinePorta;
    m.cell(0, 0, 0) = {49, 1, 0, c.effect, c.parameter};
    m.cell(0, 1, 0) = {0, 0, 0, c.effect, static_cast<uint8_t>(keepsSubEffect ? c.parameter & 0xF0 : 0)};
    Seq r(m);
    for (int t = 0; t < 6; ++t) r.tick();
    const int afterRow0 = c.read(r);
    for (int t = 0; t < 6; ++t) r.tick();
    const int afterRow1 = c.read(r);
    EXPECT_EQ(afterRow0 - c.start, c.perRow) << c.name;
    EXPECT_EQ(afterRow1 - afterRow0, c.perRow) << c.name << " (from memory)";
  }
}

TEST(XmSequencer, MoreEffectMemories) {
  xmtest::Sample longSample = xmtest::dcSample(8000, 2048);
  // 9: sample offset x 256; 900 reuses 902.
  {
    Module m;
    m.instruments.push_back(xmtest::simpleInstrument(longSample));
    m.cell(0, 0, 0) = {49, 1, 0, xm::kEffectSampleOffset, 0x02};
    m.cell(0, 1, 0) = {49, 1, 0, xm::kEffectSampleOffset, 0x00};
    m.cell(0, 2, 0) = {49, 1, 0, xm::kEffectSampleOffset, 0x09};  // 2304: past the end: no trigger, back to 0
    Seq r(m);
    r.tick();
    EXPECT_EQ(r.voice().position, 512u);
    for (int t = 0; t < 5; ++t) r.tick();
    r.voice().position = 700;
    r.tick();
    EXPECT_EQ(r.voice().position, 512u);
    for (int t = 0; t < 5; ++t) r.tick();
    r.voice().position = 700;
    r.tick();
    EXPECT_EQ(r.voice().position, 0u);
    EXPECT_EQ(r.ch().updateFlags & xm::kUpdateTrigger, 0);
  }
  // 3: tone portamento speed; 300 reuses 310 (16 x 4 per later tick).
  {
    Module m;
    m.instruments.push_back(xmtest::simpleInstrument(longSample));
    m.cell(0, 0, 0) = {49, 1, 0, 0, 0};
    m.cell(0, 1, 0) = {73, 0, 0, xm::kEffectTonePorta, 0x10};
    m.cell(0, 2, 0) = {0, 0, 0, xm::kEffectTonePorta, 0x00};
    Seq r(m);
    for (int t = 0; t < 12; ++t) r.tick();
    EXPECT_EQ(r.ch().period, 4608 - 320);
    for (int t = 0; t < 6; ++t) r.tick();
    EXPECT_EQ(r.ch().period, 4608 - 640);
  }
  // 4: vibrato speed and depth each keep their last non-zero nibble.
  {
    Module m;
    m.instruments.push_back(xmtest::simpleInstrument(longSample));
    m.cell(0, 0, 0) = {49, 1, 0, xm::kEffectVibrato, 0x48};
    m.cell(0, 1, 0) = {0, 0, 0, xm::kEffectVibrato, 0x00};
    m.cell(0, 2, 0) = {0, 0, 0, xm::kEffectVibrato, 0x02};
    Seq r(m);
    for (int t = 0; t < 12; ++t) r.tick();
    EXPECT_EQ(r.ch().vibratoSpeed, 4);
    EXPECT_EQ(r.ch().vibratoDepth, 8);
    for (int t = 0; t < 6; ++t) r.tick();
    EXPECT_EQ(r.ch().vibratoSpeed, 4);
    EXPECT_EQ(r.ch().vibratoDepth, 2);
    EXPECT_NE(r.ch().periodDelta, 0);
  }
  // R: retrigger every 2 ticks; R00 keeps it. T: tremor 2 on / 3 off; T00 keeps it.
  {
    Module m;
    m.instruments.push_back(xmtest::simpleInstrument(longSample));
    m.cell(0, 0, 0) = {49, 1, 0, xm::kEffectMultiRetrig, 0x82};
    m.cell(0, 1, 0) = {0, 0, 0, xm::kEffectMultiRetrig, 0x00};
    Seq r(m);
    std::vector<int> triggers;
    for (int t = 0; t < 12; ++t) {
      r.tick();
      triggers.push_back((r.ch().updateFlags & xm::kUpdateTrigger) ? 1 : 0);
    }
    // tick:   0  1  2  3  4  5 | 0  1  2  3  4  5
    EXPECT_EQ(triggers, (std::vector<int>{1, 0, 1, 0, 1, 0, 0, 0, 1, 0, 1, 0}));
  }
  {
    Module m;
    m.instruments.push_back(xmtest::simpleInstrument(longSample));
    m.cell(0, 0, 0) = {49, 1, 0, xm::kEffectTremor, 0x12};
    m.cell(0, 1, 0) = {0, 0, 0, xm::kEffectTremor, 0x00};
    Seq r(m);
    std::vector<int> volumes;
    for (int t = 0; t < 12; ++t) {
      r.tick();
      volumes.push_back(r.voice().volume);
    }
    // 2 ticks on, 3 off, counting on across the rows
    EXPECT_EQ(volumes, (std::vector<int>{127, 127, 0, 0, 0, 127, 127, 0, 0, 0, 127, 127}));
  }
}

TEST(XmSequencer, VolumeEnvelopeSustainKeyOffAndFadeout) {
  xmtest::Instrument in = xmtest::simpleInstrument(xmtest::dcSample(8000));
  in.volume.points = {{0, 64}, {4, 32}, {8, 0}};
  in.volume.type = xm::kEnvelopeOn | xm::kEnvelopeSustain;
  in.volume.sustain = 1;
  in.fadeout = 0x100;  // 512 per tick once doubled
  Module m;
  m.instruments.push_back(in);
  m.cell(0, 0, 0) = {49, 1, 0, 0, 0};
  m.cell(0, 1, 0) = {97, 0, 0, 0, 0};  // key off
  Seq r(m);
  std::vector<int> env, fade;
  for (int t = 0; t < 12; ++t) {
    r.tick();
    env.push_back(r.ch().volumeEnv.envCurrent);
    fade.push_back(r.ch().fadeoutVolume);
  }
  // row 0: down to the sustain point and hold; row 1 (key off): on to the end
  EXPECT_EQ(env, (std::vector<int>{64, 56, 48, 40, 32, 32, 32, 24, 16, 8, 0, 0}));
  EXPECT_EQ(fade, (std::vector<int>{65536, 65536, 65536, 65536, 65536, 65536, 65024, 64512, 64000, 63488,
                                    62976, 62464}));
}

TEST(XmSequencer, VolumeEnvelopeLoop) {
  xmtest::Instrument in = xmtest::simpleInstrument(xmtest::dcSample(8000));
  in.volume.points = {{0, 0}, {2, 64}, {4, 0}};
  in.volume.type = xm::kEnvelopeOn | xm::kEnvelopeLoop;
  in.volume.loopStart = 0;
  in.volume.loopEnd = 2;
  Module m;
  m.instruments.push_back(in);
  m.cell(0, 0, 0) = {49, 1, 0, 0, 0};
  Seq r(m);
  std::vector<int> env;
  for (int t = 0; t < 9; ++t) {
    r.tick();
    env.push_back(r.ch().volumeEnv.envCurrent);
  }
  EXPECT_EQ(env, (std::vector<int>{0, 32, 64, 32, 0, 32, 64, 32, 0}));
}

TEST(XmSequencer, KeyOffWithoutEnvelopeSilencesAtOnce) {
  Module m = withInstrument(Module{});
  m.speed = 2;
  m.cell(0, 0, 0) = {49, 1, 0, 0, 0};
  m.cell(0, 1, 0) = {97, 0, 0, 0, 0};
  Seq r(m);
  r.tick();
  r.tick();
  EXPECT_EQ(r.voice().volume, 127);
  r.tick();  // key off row
  EXPECT_EQ(r.ch().keyOff, 1);
  EXPECT_EQ(r.voice().volume, 0);
}

TEST(XmSequencer, KeyOffEffectWithEnvelopeFadesOut) {
  xmtest::Instrument in = xmtest::simpleInstrument(xmtest::dcSample(8000));
  in.volume.points = {{0, 64}, {100, 64}};
  in.volume.type = xm::kEnvelopeOn;
  in.fadeout = 0x2000;  // 16384 per tick: gone after 4 ticks
  Module m;
  m.instruments.push_back(in);
  m.cell(0, 0, 0) = {49, 1, 0, xm::kEffectKeyOff, 0};  // K00 acts at once
  Seq r(m);
  std::vector<int> volumes;
  for (int t = 0; t < 5; ++t) {
    r.tick();
    volumes.push_back(r.voice().volume);
  }
  // 127 x 65536 - k x 16384 over 65536, truncated
  EXPECT_EQ(volumes, (std::vector<int>{95, 63, 31, 0, 0}));
}

TEST(XmSequencer, KeyOffEffectActsOnTheTickItNames) {
  // Speed 6, no volume envelope: the note sounds until the tick K names and
  // is cut there; K00 cuts at once; K06 and above are never reached.
  for (int k : {0, 1, 4, 5, 6, 7, 255}) {
    Module m = withInstrument(Module{});
    m.speed = 6;
    m.cell(0, 0, 0) = {49, 1, 0, xm::kEffectKeyOff, static_cast<uint8_t>(k)};
    Seq r(m);
    for (int t = 0; t < 12; ++t) {
      r.tick();
      const bool off = k < 6 && t >= k;
      EXPECT_EQ(r.voice().volume, off ? 0 : 127) << "K" << k << " tick " << t;
      EXPECT_EQ(r.ch().keyOff, off ? 1 : 0) << "K" << k << " tick " << t;
    }
  }
  // With a volume envelope the fadeout starts on that tick.
  xmtest::Instrument in = xmtest::simpleInstrument(xmtest::dcSample(8000));
  in.volume.points = {{0, 64}, {100, 64}};
  in.volume.type = xm::kEnvelopeOn;
  in.fadeout = 0x2000;
  Module m;
  m.instruments.push_back(in);
  m.cell(0, 0, 0) = {49, 1, 0, xm::kEffectKeyOff, 2};
  Seq r(m);
  std::vector<int> volumes;
  for (int t = 0; t < 6; ++t) {
    r.tick();
    volumes.push_back(r.voice().volume);
  }
  EXPECT_EQ(volumes, (std::vector<int>{127, 127, 95, 63, 31, 0}));
}

TEST(XmSequencer, PeriodTablesAndFrequencies) {
  // Amiga periods: (note, finetune) -> period
  EXPECT_EQ(xm::amigaPeriod(48, 0), 1712);   // C-4
  EXPECT_EQ(xm::amigaPeriod(60, 0), 856);    // C-5
  EXPECT_EQ(xm::amigaPeriod(49, 0), 1615);  // truncated, not the rounded 1616 of printed tables
  EXPECT_EQ(xm::amigaPeriod(48, 64), 1664);  // half way to C#-4 (1712 - 97 x 64 / 128)
  EXPECT_EQ(xm::amigaPeriod(48, -64), 1762);
  Module linear, amiga;
  amiga.flags = 0;
  Seq l(linear), a(amiga);
  // Linear periods: 7680 - 64 n - f / 2.
  EXPECT_EQ(xm::notePeriod(*l.song, 48, 0), 4608);
  EXPECT_EQ(xm::notePeriod(*l.song, 48, -16), 4616);
  EXPECT_EQ(xm::notePeriod(*l.song, 60, 127), 3840 - 63);
  EXPECT_EQ(xm::notePeriod(*a.song, 48, 0), 1712);
  // period -> Hz
  EXPECT_EQ(xm::periodFrequency(*l.song, 4608), 8363);
  EXPECT_EQ(xm::periodFrequency(*l.song, 3840), 16726);
  EXPECT_EQ(xm::periodFrequency(*l.song, 5376), 4181);
  EXPECT_EQ(xm::periodFrequency(*a.song, 1712), 8362);
  EXPECT_EQ(xm::periodFrequency(*a.song, 856), 16725);
  // Slides far past the table stay representable.
  EXPECT_EQ(xm::periodFrequency(*l.song, -2000000), 2147483647);
  EXPECT_EQ(xm::periodFrequency(*l.song, 2000000), 0);
}

TEST(XmSequencer, NoteFrequencyReachesTheVoice) {
  Module m = withInstrument(Module{});
  m.cell(0, 0, 0) = {49, 1, 0, 0, 0};  // C-4 (0-based 48): 8363 Hz
  Seq r(m);
  r.tick();
  const uint64_t step = (static_cast<uint64_t>(r.voice().stepInteger) << 32) | r.voice().stepFraction;
  EXPECT_EQ(step, ((8363ull << 32) + 0) / 44100);
}

TEST(XmSequencer, AutomaticVibrato) {
  xmtest::Instrument in = xmtest::simpleInstrument(xmtest::dcSample(8000));
  in.vibratoType = 1;  // square
  in.vibratoDepth = 8;
  in.vibratoRate = 64;
  Module m;
  m.instruments.push_back(in);
  m.cell(0, 0, 0) = {49, 1, 0, 0, 0};
  Seq r(m);
  std::vector<int> deltas;
  for (int t = 0; t < 6; ++t) {
    r.tick();
    deltas.push_back(r.ch().periodDelta);
  }
  // positions 0, 64, 128, 192, 0, 64: +64 x 8 >> 6 = 8, then -8
  EXPECT_EQ(deltas, (std::vector<int>{8, 8, -8, -8, 8, 8}));

  // Sine with a sweep of 4: the depth grows over four ticks.
  in.vibratoType = 0;
  in.vibratoSweep = 4;
  in.vibratoRate = 32;
  Module s;
  s.instruments.push_back(in);
  s.cell(0, 0, 0) = {49, 1, 0, 0, 0};
  Seq rs(s);
  std::vector<int> swept;
  for (int t = 0; t < 5; ++t) {
    rs.tick();
    swept.push_back(rs.ch().periodDelta);
  }
  // pos 0, 32, 64, 96, 128: trunc(sin x 64) = 0, 45, 63, 45, 0 (the float constant
  // stays just below pi / 2); times 8 x sweep / 4, then >> 6
  EXPECT_EQ(swept, (std::vector<int>{0, 1, 3, 4, 0}));
}

TEST(XmSequencer, VibratoAndTremoloWaveforms) {
  // Vibrato waveform (E4x) -> period delta on the vibrato's first tick (position 0).
  const std::pair<int, int> vibrato[] = {{0, 0}, {1, 0}, {2, -28}, {3, -28}};
  for (auto [wave, expected] : vibrato) {
    Module m = withInstrument(Module{});
    m.channels = 1;
    m.cell(0, 0, 0) = {0, 0, 0, xm::kEffectExtended, static_cast<uint8_t>(0x40 | wave)};
    m.cell(0, 1, 0) = {49, 1, 0, xm::kEffectVibrato, 0x14};
    Seq r(m);
    for (int t = 0; t < 7; ++t) r.tick();
    EXPECT_EQ(r.ch().periodDelta, expected) << "vibrato waveform " << wave;
  }
  // Tremolo waveform (E7x) -> volume delta on the first later tick (position 0).
  const std::pair<int, int> tremolo[] = {{0, 0}, {1, 0}, {2, 31}, {3, 0}};
  for (auto [wave, expected] : tremolo) {
    Module m = withInstrument(Module{}, 8000, 32);
    m.cell(0, 0, 0) = {0, 0, 0, xm::kEffectExtended, static_cast<uint8_t>(0x70 | wave)};
    m.cell(0, 1, 0) = {49, 1, 0, xm::kEffectTremolo, 0x18};
    Seq r(m);
    for (int t = 0; t < 8; ++t) r.tick();
    EXPECT_EQ(r.ch().volumeDelta, expected) << "tremolo waveform " << wave;
  }
}

TEST(XmSequencer, FinetuneEffectIsTheChannelsOwn) {
  // Channel 0 plays C-4 with E53 on row 0; channel 1 plays the same sample
  // on rows 0 and 2 without it. Only channel 0's note is detuned, the shared
  // sample keeps its finetune, and the second pass plays the same periods.
  // E5x counts from 8 (in tune) in steps of 16/128 semitone: E53 is -80,
  // E57 -16, E5F +112, E58 0.
  Module m = withInstrument(Module{});
  m.channels = 2;
  m.speed = 1;
  m.patterns[0].rows = 4;
  m.cell(0, 0, 0) = {49, 1, 0, xm::kEffectExtended, 0x53};  // E53
  m.cell(0, 0, 1) = {49, 1, 0, 0, 0};
  m.cell(0, 1, 0) = {0, 0, 0, xm::kEffectExtended, 0x57};   // no note: the playing note keeps its pitch
  m.cell(0, 2, 1) = {49, 1, 0, 0, 0};
  m.cell(0, 3, 0) = {49, 1, 0, 0, 0};                       // a new note without E5x: the sample's finetune
  Seq r(m);
  for (int pass = 0; pass < 2; ++pass) {
    r.tick();  // row 0
    EXPECT_EQ(r.ch(0).notePeriod, 4608 + 40) << pass;  // 7680 - 48 x 64 - (-80) / 2
    EXPECT_EQ(r.ch(1).notePeriod, 4608) << pass;
    r.tick();  // row 1
    EXPECT_EQ(r.ch(0).period, 4608 + 40) << pass;
    EXPECT_EQ(r.ch(0).finetune, -16) << pass;
    r.tick();  // row 2
    EXPECT_EQ(r.ch(1).notePeriod, 4608) << pass;
    r.tick();  // row 3
    EXPECT_EQ(r.ch(0).notePeriod, 4608) << pass;
    EXPECT_EQ(r.song->instruments[0].samples[0]->finetune, 0) << pass;
  }
  // On the Amiga table the arpeggio follows the note's finetune.
  m.flags = 0;
  m.speed = 3;
  m.patterns[0].cells.clear();
  m.cell(0, 0, 0) = {49, 1, 0, xm::kEffectExtended, 0x5F};
  m.cell(0, 1, 0) = {0, 0, 0, xm::kEffectArpeggio, 0x70};
  Seq a(m);
  a.tick();
  EXPECT_EQ(a.ch(0).notePeriod, xm::amigaPeriod(48, 112));
  for (int t = 0; t < 4; ++t) a.tick();  // row 1, tick 1: the arpeggio's first step
  EXPECT_EQ(a.ch(0).periodDelta, xm::amigaPeriod(55, 112) - xm::amigaPeriod(48, 112));
}

TEST(XmSequencer, TonePortamentoDoesNotRetrigger) {
  Module m = withInstrument(Module{}, 8000, 40);
  m.speed = 3;
  m.cell(0, 0, 0) = {49, 1, 0x20, 0, 0};                      // volume 16 from the volume column
  m.cell(0, 1, 0) = {61, 0, 0, xm::kEffectTonePorta, 0x40};   // slide toward C-5
  m.cell(0, 2, 0) = {61, 1, 0, xm::kEffectTonePorta, 0};      // instrument again: defaults, no restart
  Seq r(m);
  for (int t = 0; t < 3; ++t) r.tick();
  const xm::MixVoice* first = &r.voice();
  r.voice().position = 100;  // as if mixed
  r.tick();
  EXPECT_EQ(&r.voice(), first);
  EXPECT_EQ(r.voice().position, 100u);
  EXPECT_EQ(r.ch().portaTarget, 4608 - 768);
  r.tick();
  EXPECT_EQ(r.ch().period, 4608 - 256);
  r.tick();
  EXPECT_EQ(r.ch().period, 4608 - 512);
  r.tick();  // row 2: new instrument resets the volume to the sample's 40
  EXPECT_EQ(r.ch().volume, 40);
  EXPECT_EQ(r.voice().position, 100u);
  r.tick();
  EXPECT_EQ(r.ch().period, 3840);  // reached and held
}

}  // namespace
