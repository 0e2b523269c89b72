// Effects tick by tick: each case plays one cell at speed 4 and compares the
// channel after every tick with a commented table. Volume column commands,
// panning slide (P), multi retrig (R), extra fine portamento (X), tremolo's
// position, and pattern breaks in patterns longer than 64 rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/xm/xm_builder.h"
#include "xm/loader.h"
#include "xm/sequencer.h"

namespace {

using xm::XmCell;
using xmtest::Module;

struct Player {
  explicit Player(const Module& m) : bytes(m.bytes()) {
    song = xm::loadSongFromMemory(bytes.data(), static_cast<int64_t>(bytes.size()));
    pb.song = song.get();
    xm::resetPlayback(pb);
  }
  void tick() { xm::sequencerTick(pb); }
  xm::XmChannel& ch(int c = 0) { return pb.channels[static_cast<size_t>(c)]; }

  std::vector<uint8_t> bytes;
  std::unique_ptr<xm::XmSong> song;
  xm::XmPlayback pb;
};

// One channel, speed 4, a sample at volume 32 and panning 128. Row 0 plays
// `first`; row 1 plays `second` (no note unless it has one).
Module fourTicks(XmCell first, XmCell second = {}) {
  Module m;
  m.speed = 4;
  xmtest::Sample s = xmtest::dcSample(8000, 256);
  s.volume = 32;
  s.panning = 128;
  m.instruments.push_back(xmtest::simpleInstrument(s));
  m.cell(0, 0, 0) = first;
  m.cell(0, 1, 0) = second;
  return m;
}

enum class Field { Volume, Panning, Period, VibratoDepth, VibratoSpeed, PortaSpeed };

int32_t read(Player& p, Field f) {
  switch (f) {
    case Field::Volume: return p.ch().volume;
    case Field::Panning: return p.ch().panning;
    case Field::Period: return p.ch().period;
    case Field::VibratoDepth: return p.ch().vibratoDepth;
    case Field::VibratoSpeed: return p.ch().vibratoSpeed;
    case Field::PortaSpeed: return p.ch().portaSpeed;
  }
  return 0;
}

struct TickCase {
  const char* name;
  XmCell cell;
  Field field;
  std::vector<int32_t> afterTick;  // the field after ticks 0, 1, 2, 3
};

std::vector<int32_t> run(const TickCase& c) {
  Player p(fourTicks(c.cell));
  std::vector<int32_t> out;
  for (size_t t = 0; t < c.afterTick.size(); ++t) {
    p.tick();
    out.push_back(read(p, c.field));
  }
  return out;
}

TEST(XmEffectTables, VolumeColumn) {
  constexpr uint8_t kNote = 49;  // C-4
  const TickCase cases[] = {
      // 0x10..0x50 sets the volume on tick 0 only.
      {"set volume 0x30", {kNote, 1, 0x30, 0, 0}, Field::Volume, {32, 32, 32, 32}},
      {"set volume 0x50", {kNote, 1, 0x50, 0, 0}, Field::Volume, {64, 64, 64, 64}},
      // 0x6x and 0x7x slide on every tick, tick 0 included, and stop at 0 and 64.
      {"slide down 6", {kNote, 1, 0x66, 0, 0}, Field::Volume, {26, 20, 14, 8}},
      {"slide down F from 32", {kNote, 1, 0x6F, 0, 0}, Field::Volume, {17, 2, 0, 0}},
      {"slide up 5", {kNote, 1, 0x75, 0, 0}, Field::Volume, {37, 42, 47, 52}},
      {"slide up F to 64", {kNote, 1, 0x7F, 0, 0}, Field::Volume, {47, 62, 64, 64}},
      // 0x8x and 0x9x act once, on tick 0.
      {"fine down 3", {kNote, 1, 0x83, 0, 0}, Field::Volume, {29, 29, 29, 29}},
      {"fine up 3", {kNote, 1, 0x93, 0, 0}, Field::Volume, {35, 35, 35, 35}},
      // 0xAx sets the vibrato speed; 0xBx the depth (and vibrates on later ticks).
      {"vibrato speed 7", {kNote, 1, 0xA7, 0, 0}, Field::VibratoSpeed, {7, 7, 7, 7}},
      {"vibrato depth 5", {kNote, 1, 0xB5, 0, 0}, Field::VibratoDepth, {5, 5, 5, 5}},
      // 0xCx sets panning x x 16.
      {"set panning 3", {kNote, 1, 0xC3, 0, 0}, Field::Panning, {48, 48, 48, 48}},
      {"set panning F", {kNote, 1, 0xCF, 0, 0}, Field::Panning, {240, 240, 240, 240}},
      // 0xDx slides left, 0xEx right, on every tick; not clamped on the channel.
      {"pan left 5", {kNote, 1, 0xD5, 0, 0}, Field::Panning, {123, 118, 113, 108}},
      {"pan right 9", {kNote, 1, 0xE9, 0, 0}, Field::Panning, {137, 146, 155, 164}},
      // 0xFx: portaSpeed x x 16.
      {"porta speed 3", {kNote, 1, 0xF3, 0, 0}, Field::PortaSpeed, {48, 48, 48, 48}},
  };
  for (const TickCase& c : cases) EXPECT_EQ(run(c), c.afterTick) << c.name;
}

TEST(XmEffectTables, VolumeColumnPanningIsClampedOnlyAtTheVoice) {
  // Panning 0xF0 then a right slide of 15 a tick: the channel passes 255, the
  // voice stays at 255.
  Module m = fourTicks({49, 1, 0xCF, 0, 0}, {0, 0, 0xEF, 0, 0});
  Player p(m);
  for (int t = 0; t < 8; ++t) p.tick();
  EXPECT_EQ(p.ch().panning, 240 + 4 * 15);
  EXPECT_EQ(p.pb.voices[static_cast<size_t>(p.ch().voice)].panning, 255);
}

TEST(XmEffectTables, PanningSlide) {
  // P: nothing on tick 0; hi slides right, else lo slides left, clamped to 0..255.
  const TickCase cases[] = {
      {"P 0x40 right", {49, 1, 0, xm::kEffectPanningSlide, 0x40}, Field::Panning, {128, 132, 136, 140}},
      {"P 0x07 left", {49, 1, 0, xm::kEffectPanningSlide, 0x07}, Field::Panning, {128, 121, 114, 107}},
      {"P 0x47 hi wins", {49, 1, 0, xm::kEffectPanningSlide, 0x47}, Field::Panning, {128, 132, 136, 140}},
  };
  for (const TickCase& c : cases) EXPECT_EQ(run(c), c.afterTick) << c.name;

  // Clamped at both ends: from 0xF0 right by 15, from 0x10 left by 15.
  Module right = fourTicks({49, 1, 0xCF, xm::kEffectPanningSlide, 0xF0});
  Player r(right);
  std::vector<int32_t> got;
  for (int t = 0; t < 4; ++t) r.tick(), got.push_back(r.ch().panning);
  EXPECT_EQ(got, (std::vector<int32_t>{240, 255, 255, 255}));
  Module left = fourTicks({49, 1, 0xC1, xm::kEffectPanningSlide, 0x0F});
  Player l(left);
  got.clear();
  for (int t = 0; t < 4; ++t) l.tick(), got.push_back(l.ch().panning);
  EXPECT_EQ(got, (std::vector<int32_t>{16, 1, 0, 0}));
}

TEST(XmEffectTables, MultiRetrigVolumeTypes) {
  // R with interval 1: every later tick retriggers and changes the volume by
  // its type, from 32 (then clamped to 0..64).
  struct Case {
    uint8_t type;
    std::vector<int32_t> afterTick;
  };
  const Case cases[] = {
      {0x0, {32, 32, 32, 32}},    // retrigger only
      {0x1, {32, 31, 30, 29}},    // -1
      {0x3, {32, 28, 24, 20}},    // -4
      {0x5, {32, 16, 0, 0}},      // -16
      {0x6, {32, 21, 14, 9}},     // x 2/3, truncated: 21.33, 14, 9.33
      {0x7, {32, 16, 8, 4}},      // halved
      {0x8, {32, 32, 32, 32}},    // unchanged
      {0x9, {32, 33, 34, 35}},    // +1
      {0xD, {32, 48, 64, 64}},    // +16
      {0xE, {32, 48, 64, 64}},    // x 3/2
      {0xF, {32, 64, 64, 64}},    // doubled
  };
  for (const Case& c : cases) {
    Player p(fourTicks({49, 1, 0, xm::kEffectMultiRetrig, static_cast<uint8_t>(c.type << 4 | 1)}));
    std::vector<int32_t> got;
    for (int t = 0; t < 4; ++t) {
      p.tick();
      got.push_back(p.ch().volume);
      if (t > 0) {
        EXPECT_TRUE(p.ch().updateFlags & xm::kUpdateTrigger) << "type " << int(c.type) << " tick " << t;
      }
    }
    EXPECT_EQ(got, c.afterTick) << "type " << int(c.type);
  }
  // Interval 2: ticks 2 only (tick mod 2 = 0), not 1 or 3.
  Player p(fourTicks({49, 1, 0, xm::kEffectMultiRetrig, 0x12}));
  std::vector<int32_t> got;
  for (int t = 0; t < 4; ++t) p.tick(), got.push_back(p.ch().volume);
  EXPECT_EQ(got, (std::vector<int32_t>{32, 32, 31, 31}));
}

TEST(XmEffectTables, ExtraFinePortamento) {
  // X1x lowers, X2x raises the period once on tick 0, by x (not x 4);
  // other high nibbles do nothing.
  const int32_t c4 = 4608;  // linear period of C-4
  const TickCase cases[] = {
      {"X15", {49, 1, 0, xm::kEffectExtraFinePorta, 0x15}, Field::Period, {c4 - 5, c4 - 5, c4 - 5, c4 - 5}},
      {"X2A", {49, 1, 0, xm::kEffectExtraFinePorta, 0x2A}, Field::Period, {c4 + 10, c4 + 10, c4 + 10, c4 + 10}},
      {"X35", {49, 1, 0, xm::kEffectExtraFinePorta, 0x35}, Field::Period, {c4, c4, c4, c4}},
  };
  for (const TickCase& c : cases) EXPECT_EQ(run(c), c.afterTick) << c.name;
}

TEST(XmEffectTables, TremoloPositionWraps) {
  // Speed 15 from position 0: 15, 30, then 45 - 64 = -19, then -4. The volume
  // offset follows the position's sign (negative positions lower the volume).
  Player p(fourTicks({49, 1, 0, xm::kEffectTremolo, 0xF8}));
  std::vector<int32_t> position;
  std::vector<bool> lowered;
  for (int t = 0; t < 4; ++t) {
    p.tick();
    position.push_back(p.ch().tremoloPosition);
    lowered.push_back(p.ch().volumeDelta < 0);
  }
  EXPECT_EQ(position, (std::vector<int32_t>{0, 15, 30, -19}));
  EXPECT_EQ(lowered, (std::vector<bool>{false, false, false, false}));
  p.tick();  // row 1, tick 0: no tremolo, the offset is folded back
  p.tick();  // tick 1: no tremolo on row 1
  EXPECT_EQ(p.ch().tremoloPosition, -19);
  // A second row of tremolo at position -19 lowers the volume.
  Player q(fourTicks({49, 1, 0, xm::kEffectTremolo, 0xF8}, {0, 0, 0, xm::kEffectTremolo, 0}));
  for (int t = 0; t < 6; ++t) q.tick();  // row 1, tick 1: tremolo at -19
  EXPECT_LT(q.ch().volumeDelta, 0);
  EXPECT_EQ(q.ch().tremoloPosition, -4);
}

TEST(XmEffectTables, WaveformsFourToSevenKeepTheirPositionOnANewNote) {
  // Row 0 sets the waveform (E4w for vibrato, E7w for tremolo), row 1 moves
  // the position by 15 on each of its three later ticks (0, 15, 30, -19),
  // row 2 plays a new note. Waveforms 0..3 start the wave again there;
  // 4..7 (the same shapes) leave it at -19.
  for (int32_t w = 0; w < 8; ++w) {
    const int32_t kept = w >= 4 ? -19 : 0;
    Module vib = fourTicks({49, 1, 0, xm::kEffectExtended, static_cast<uint8_t>(0x40 | w)},
                           {0, 0, 0, xm::kEffectVibrato, 0xF1});
    vib.cell(0, 2, 0) = {49, 1, 0, 0, 0};
    Module trem = fourTicks({49, 1, 0, xm::kEffectExtended, static_cast<uint8_t>(0x70 | w)},
                            {0, 0, 0, xm::kEffectTremolo, 0xF1});
    trem.cell(0, 2, 0) = {49, 1, 0, 0, 0};
    Player v(vib), t(trem);
    for (int tick = 0; tick < 8; ++tick) v.tick(), t.tick();
    EXPECT_EQ(v.ch().vibratoPosition, -19) << "E4" << w << ", end of row 1";
    EXPECT_EQ(t.ch().tremoloPosition, -19) << "E7" << w << ", end of row 1";
    v.tick(), t.tick();  // row 2, tick 0: the new note
    EXPECT_EQ(v.ch().vibratoPosition, kept) << "E4" << w;
    EXPECT_EQ(t.ch().tremoloPosition, kept) << "E7" << w;
  }
}

// Rows visited by a song of two 128-row patterns whose row 1 breaks with Dxx.
std::vector<int> breakTarget(uint8_t parameter) {
  Module m;
  m.speed = 1;
  m.orders = {0, 1};
  m.patterns = {xmtest::Pattern{128, {}}, xmtest::Pattern{128, {}}};
  m.cell(0, 1, 0) = {0, 0, 0, xm::kEffectPatternBreak, parameter};
  Player p(m);
  std::vector<int> rows;
  for (int t = 0; t < 3; ++t) {
    p.tick();
    rows.push_back(p.pb.position.order * 1000 + p.pb.position.row);
  }
  return rows;
}

TEST(XmEffectTables, PatternBreakInLongPatterns) {
  // The break's parameter is decimal (hi x 10 + lo); above 63 it goes to row
  // 0 even when the next pattern is longer than 64 rows.
  EXPECT_EQ(breakTarget(0x63), (std::vector<int>{0, 1, 1063}));
  EXPECT_EQ(breakTarget(0x64), (std::vector<int>{0, 1, 1000}));
  EXPECT_EQ(breakTarget(0x99), (std::vector<int>{0, 1, 1000}));
  EXPECT_EQ(breakTarget(0x1A), (std::vector<int>{0, 1, 1020}));  // 1 x 10 + 10
}

}  // namespace
