// Song length: the composer's own walk through the order list, checked on
// tiny modules against a table and against the player's sequencer.
#include <gtest/gtest.h>

#include <vector>

#include "tools/assets/xmcomposer/analysis.h"
#include "tools/assets/xmcomposer/compose.h"
#include "xm/offline_renderer.h"

namespace xmc {
namespace {

struct Effect { int pattern, row, effect, param; };

// One channel, speed 6, 125 BPM (a row lasts 0.12 s), patterns of 4 rows.
Module timingModule(std::vector<uint8_t> order, int patterns, const std::vector<Effect>& effects, int restart = 0) {
  Module m;
  m.channels = 1;
  m.speed = 6;
  m.bpm = 125;
  m.restart = restart;
  m.order = std::move(order);
  for (int i = 0; i < patterns; ++i) {
    Pattern p;
    p.rows = 4;
    p.cells.assign(4, Cell{});
    m.patterns.push_back(p);
  }
  for (const Effect& e : effects) {
    Cell& c = m.patterns[e.pattern].cells[e.row];
    c.effect = static_cast<uint8_t>(e.effect);
    c.param = static_cast<uint8_t>(e.param);
  }
  return m;
}

struct TimingCase {
  const char* what;
  Module module;
  double seconds;
  int rows;
  bool loopsToStart;
};

std::vector<TimingCase> timingCases() {
  return {
      {"four plain rows", timingModule({0}, 1, {}), 0.48, 4, true},
      {"speed 3 from row 0", timingModule({0}, 1, {{0, 0, kSpeed, 3}}), 0.24, 4, true},
      {"250 BPM from row 2", timingModule({0}, 1, {{0, 2, kSpeed, 250}}), 0.36, 4, true},
      {"row 1 delayed by two rows", timingModule({0}, 1, {{0, 1, kExtended, kPatternDelay | 2}}), 0.72, 4, true},
      {"rows 1-2 looped twice more",
       timingModule({0}, 1, {{0, 1, kExtended, kPatternLoop | 0}, {0, 2, kExtended, kPatternLoop | 2}}), 0.96, 8,
       true},
      {"break after row 1", timingModule({0, 1}, 2, {{0, 1, kBreak, 0}}), 0.72, 6, true},
      {"jump back from row 1 of the second pattern", timingModule({0, 1}, 2, {{1, 1, kJump, 0}}), 0.72, 6, true},
      {"restart at position 1", timingModule({0, 1}, 2, {}, 1), 0.96, 8, false},
      {"speed 0 plays one tick a row", timingModule({0}, 1, {{0, 0, kSpeed, 0}}), 0.08, 4, true},
  };
}

TEST(SongTiming, WalksSpeedTempoDelaysLoopsBreaksAndJumps) {
  for (const TimingCase& c : timingCases()) {
    const PlayFacts f = playFacts(c.module);
    EXPECT_NEAR(f.seconds, c.seconds, 1e-9) << c.what;
    EXPECT_EQ(f.rowsPlayed, c.rows) << c.what;
    EXPECT_EQ(f.loopsToStart, c.loopsToStart) << c.what;
  }
}

TEST(SongTiming, AgreesWithThePlayersSequencer) {
  for (const TimingCase& c : timingCases()) {
    const std::vector<uint8_t> bytes = writeXm(c.module);
    xm::OfflineRenderer renderer;
    ASSERT_TRUE(renderer.load(bytes.data(), static_cast<int64_t>(bytes.size()))) << c.what;
    const xm::SongTiming t = xm::traceSong(*renderer.song(), 44100LL * 60, false);
    EXPECT_TRUE(t.looped) << c.what;
    // The player counts whole ticks of 882 frames (441 at 250 BPM).
    EXPECT_NEAR(t.frames / 44100.0, playFacts(c.module).seconds, 0.011) << c.what;
  }
}

TEST(NoteFacts, CountsTheNotesTheMeterShows) {
  Module m = timingModule({0}, 2, {});
  m.channels = 1;
  m.patterns[0].cells = {Cell{45}, Cell{46}, Cell{83}, Cell{kKeyOff}};
  m.patterns[1].cells = {Cell{84}, Cell{}, Cell{}, Cell{}};  // not in the order list
  const NoteFacts f = noteFacts(m);
  EXPECT_EQ(f.notes, 3);       // key offs are not notes
  EXPECT_EQ(f.meterNotes, 2);  // 46 and 83 are the meter's ends
  EXPECT_EQ(f.lowest, 45);
  EXPECT_EQ(f.highest, 83);
}

}  // namespace
}  // namespace xmc

namespace xmc {
namespace {

TEST(MeterFacts, OneNotePushesItsBarAndNeighboursThenTheyFall) {
  // Four rows of 0.12 s at 60 frames a second: 29 frames, the note sounds in
  // the first 8.
  //   bar 1:    145, 143 ... 135, then 129 clamps to 131 and +2 gives 133;
  //             falls back 135 ... 147 in 7 frames: 15 lit frames
  //   bars 0,2: 146, 145 ... 139; falls back 141 ... 147 in 4: 12 each
  // 15 + 12 + 12 = 39 lit bar-frames.
  Module m = timingModule({0}, 1, {});
  m.patterns[0].cells[0].note = 46;
  const MeterFacts f = meterFacts(m, 60.0);
  EXPECT_EQ(f.barsEverLit, 3);
  EXPECT_NEAR(f.meanLitBars, 39.0 / 29.0, 1e-9);
}

TEST(MeterFacts, NotesOutsideTheDisplayMoveNothing) {
  // note : bars lit
  const int cases[][2] = {{45, 0}, {84, 0}, {83, 3}, {kKeyOff, 0}};
  for (const auto& c : cases) {
    Module m = timingModule({0}, 1, {});
    m.patterns[0].cells[0].note = static_cast<uint8_t>(c[0]);
    EXPECT_EQ(meterFacts(m, 60.0).barsEverLit, c[1]) << "note " << c[0];
  }
}

}  // namespace
}  // namespace xmc
