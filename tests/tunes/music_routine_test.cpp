// The music routine, assembled by 64tass from tiny songs and run on the
// project's Cpu6502: note timing and hard restart, rests, ties, legato and
// glides, order lists with transposition and loop, wave-table steps,
// vibrato, pulse and filter sweeps, alternating row speeds, and its
// instruction budget.
#include <gtest/gtest.h>

#include <string>

#include "tests/tunes/tunes_test_util.h"
#include "tools/assets/sidtunes/song.h"

namespace {

using sidtunes::noteFrequency;
using tunestest::TuneRun;

constexpr int kC4 = 48, kD4 = 50, kE4 = 52, kF4 = 53, kG4 = 55;

// Voices 2 and 3 rest unless a test gives them something to do.
std::string song(const std::string& body, const std::string& v1, const std::string& speed = "6 6") {
  return "title T\nspeed " + speed +
         "\nwave w 41:+0\ninstr a ad=09 sr=A0 wave=w pw=800\ninstr n ad=09 sr=A0 wave=w nohr\nseq q r:16\n" + body +
         "\nv1 " + v1 + "\nv2 q\nv3 q\n";
}

TuneRun run(const std::string& text, int frames) {
  TuneRun r(tunestest::compileSong(text));
  r.play(frames);
  return r;
}

TEST(RoutineInit, ClearsEverySoundRegister) {
  TuneRun r(tunestest::compileSong(song("seq s @a C-4:4", "s")));
  std::vector<bool> cleared(25, false);
  for (const auto& w : r.initWrites)
    if (w.value == 0) cleared[w.reg] = true;
  for (int reg = 0; reg < 25; ++reg) EXPECT_TRUE(cleared[reg]) << reg;
  EXPECT_GE(r.initInstructions, 200u);
  EXPECT_LE(r.initInstructions, 28000u);
}

TEST(RoutineNotes, HardRestartTwoFramesBeforeTheNextNote) {
  TuneRun r = run(song("seq s @a C-4:4 D-4:2", "s"), 40);
  // speed 6: C-4 for four rows (frames 0-23), D-4 for two (24-35), then C-4 again
  struct Row {
    int frame;
    uint8_t control, ad, sr;
    int note;
  } rows[] = {
      {0, 0x41, 0x09, 0xA0, kC4},   // gate on with the instrument's envelope
      {21, 0x41, 0x09, 0xA0, kC4},  //
      {22, 0x40, 0x00, 0x00, kC4},  // hard restart: gate off, ADSR cleared
      {23, 0x40, 0x00, 0x00, kC4},  //
      {24, 0x41, 0x09, 0xA0, kD4},  // next note
      {33, 0x41, 0x09, 0xA0, kD4},  //
      {34, 0x40, 0x00, 0x00, kD4},  // before the sequence starts again
      {36, 0x41, 0x09, 0xA0, kC4},  //
  };
  for (const auto& row : rows) {
    EXPECT_EQ(r.control(row.frame, 0), row.control) << row.frame;
    EXPECT_EQ(r.ad(row.frame, 0), row.ad) << row.frame;
    EXPECT_EQ(r.sr(row.frame, 0), row.sr) << row.frame;
    EXPECT_EQ(r.freq(row.frame, 0), noteFrequency(row.note)) << row.frame;
  }
  // the resting voices stay gated off
  EXPECT_EQ(r.control(10, 1) & 1, 0);
  EXPECT_EQ(r.control(10, 2) & 1, 0);
}

TEST(RoutineNotes, NoHardRestartForInstrumentsWithoutIt) {
  TuneRun r = run(song("seq s @n C-4:4 D-4:2", "s"), 30);
  for (int f = 0; f < 30; ++f) EXPECT_EQ(r.control(f, 0), 0x41) << f;
  EXPECT_EQ(r.freq(23, 0), noteFrequency(kC4));
  EXPECT_EQ(r.freq(24, 0), noteFrequency(kD4));
}

TEST(RoutineNotes, RestReleasesWithoutTouchingTheEnvelope) {
  TuneRun r = run(song("seq s @a C-4:2 r:2", "s"), 24);
  EXPECT_EQ(r.control(11, 0), 0x41);  // a rest needs no hard restart
  EXPECT_EQ(r.control(12, 0), 0x40);  // gate off at the rest's row
  EXPECT_EQ(r.ad(12, 0), 0x09);
  EXPECT_EQ(r.sr(12, 0), 0xA0);
  EXPECT_EQ(r.control(23, 0), 0x40);  // and the hard restart of the next C-4 keeps it off
}

TEST(RoutineNotes, TieAndLegatoKeepTheGate) {
  TuneRun tie = run(song("seq s @a C-4:2 =:2", "s"), 22);
  for (int f = 0; f < 22; ++f) EXPECT_EQ(tie.control(f, 0), 0x41) << f;
  EXPECT_EQ(tie.freq(21, 0), noteFrequency(kC4));

  TuneRun legato = run(song("seq s @a C-4:2 ~E-4:2", "s"), 22);
  for (int f = 0; f < 22; ++f) EXPECT_EQ(legato.control(f, 0), 0x41) << f;
  EXPECT_EQ(legato.freq(11, 0), noteFrequency(kC4));
  EXPECT_EQ(legato.freq(12, 0), noteFrequency(kE4));  // pitch jumps at once
  EXPECT_EQ(legato.ad(12, 0), 0x09);
}

TEST(RoutineNotes, GlideMovesBySlideSpeedUntilTheTarget) {
  TuneRun r = run(song("seq s @a C-4:2 slide=100 >D-4:4", "s"), 37);
  const int c4 = noteFrequency(kC4), d4 = noteFrequency(kD4);
  ASSERT_LT(c4 + 500, d4);
  ASSERT_GT(c4 + 600, d4);
  // frame: register value (C-4 plus 100 per frame from the glide's row on)
  struct Step {
    int frame, freq;
  } steps[] = {{11, c4}, {12, c4 + 100}, {13, c4 + 200}, {16, c4 + 500}, {17, d4}, {23, d4}};
  for (const auto& s : steps) EXPECT_EQ(r.freq(s.frame, 0), s.freq) << s.frame;
  for (int f = 0; f < 34; ++f) EXPECT_EQ(r.control(f, 0), 0x41) << f;  // no restart before a glide
  EXPECT_EQ(r.freq(36, 0), c4);  // a fresh note ends the glide
}

TEST(RoutineOrders, TransposeAndLoopPoint) {
  TuneRun r = run(song("seq s @n C-4:1", "+2 s | +5 s +7 s"), 31);
  // one row (6 frames) per sequence; the voice loops back to the "|" mark
  struct Row {
    int frame, note;
  } rows[] = {{0, kD4}, {6, kF4}, {12, kG4}, {18, kF4}, {24, kG4}, {30, kF4}};
  for (const auto& row : rows) EXPECT_EQ(r.freq(row.frame, 0), noteFrequency(row.note)) << row.frame;
}

TEST(RoutineOrders, DurationsAreStickyAcrossSequences) {
  TuneRun r = run(song("seq s @n C-4:2\nseq t D-4", "s t"), 25);
  EXPECT_EQ(r.freq(11, 0), noteFrequency(kC4));
  EXPECT_EQ(r.freq(12, 0), noteFrequency(kD4));
  EXPECT_EQ(r.freq(23, 0), noteFrequency(kD4));  // D-4 inherits two rows
  EXPECT_EQ(r.freq(24, 0), noteFrequency(kC4));
}

TEST(RoutineSpeed, EvenAndOddRowsAlternate) {
  TuneRun r = run(song("seq s @n C-4:1 D-4 E-4 F-4", "s", "7 5"), 25);
  // rows start at frames 0, 7, 12, 19, 24
  struct Row {
    int frame, note;
  } rows[] = {{6, kC4}, {7, kD4}, {11, kD4}, {12, kE4}, {18, kE4}, {19, kF4}, {24, kC4}};
  for (const auto& row : rows) EXPECT_EQ(r.freq(row.frame, 0), noteFrequency(row.note)) << row.frame;
}

TEST(RoutineWaveTable, ArpeggioStepsEveryFrame) {
  TuneRun r = run(song("wave arp 41:+0 +4 +7 loop\ninstr c ad=00 sr=F0 wave=arp\nseq s @c C-4:4", "s"), 6);
  int notes[] = {kC4, kE4, kG4, kC4, kE4, kG4};
  for (int f = 0; f < 6; ++f) {
    EXPECT_EQ(r.freq(f, 0), noteFrequency(notes[f])) << f;
    EXPECT_EQ(r.control(f, 0), 0x41) << f;  // the kept waveform stays pulse
  }
}

TEST(RoutineWaveTable, DrumStepsUseAbsolutePitchAndWaveform) {
  TuneRun r = run(song("wave dr 81:C-6 41:C-3\ninstr d ad=08 sr=00 wave=dr\nseq s @d E-4:4", "+3 s"), 4);
  struct Step {
    int frame;
    uint8_t control;
    int note;
  } steps[] = {{0, 0x81, 72}, {1, 0x41, 36}, {2, 0x41, 36}, {3, 0x41, 36}};  // transposition does not apply
  for (const auto& s : steps) {
    EXPECT_EQ(r.control(s.frame, 0), s.control) << s.frame;
    EXPECT_EQ(r.freq(s.frame, 0), noteFrequency(s.note)) << s.frame;
  }
}

TEST(RoutineVibrato, TriangleAfterTheDelay) {
  TuneRun r = run(song("instr v ad=09 sr=A0 wave=w vib=2,2,1\nseq s @v C-4:4", "s"), 9);
  // step = (freq(C#4) - freq(C-4)) >> depth; the offset climbs and falls by it
  const int base = noteFrequency(kC4);
  const int d = (noteFrequency(kC4 + 1) - base) >> 1;
  int offsets[] = {0, 0, +d, 0, -d, 0, +d, 0, -d};
  for (int f = 0; f < 9; ++f) EXPECT_EQ(r.freq(f, 0), base + offsets[f]) << f;
}

TEST(RoutinePulse, SweepTurnsAtTheRangeLimits) {
  TuneRun r = run(song("instr p ad=09 sr=A0 wave=w pw=800 pws=128 pwr=7-9\nseq s @p C-4:4", "s"), 13);
  // up by $80 per frame to the high byte 9, down below 7, up again
  int pulses[] = {0x880, 0x900, 0x880, 0x800, 0x780, 0x700, 0x680, 0x700, 0x780, 0x800, 0x880, 0x900, 0x880};
  for (int f = 0; f < 13; ++f) EXPECT_EQ(r.pulse(f, 0), pulses[f]) << f;
}

TEST(RoutineFilter, OneShotSweepStopsAtItsLimit) {
  TuneRun r = run(song("instr f ad=09 sr=A0 wave=w route flt=20:256:10:30 res=A mode=lp fonce\nseq s @f C-4:8", "s"),
                  20);
  for (int f = 0; f < 20; ++f) {
    int expected = f < 15 ? 0x21 + f : 0x30;
    EXPECT_EQ(r.frames[f][0x16], expected) << f;
    EXPECT_EQ(r.frames[f][0x15], 0) << f;
    EXPECT_EQ(r.frames[f][0x17], 0xA1) << f;  // resonance 10, voice 1 routed
    EXPECT_EQ(r.frames[f][0x18], 0x1F) << f;  // low-pass, full volume
  }
}

TEST(RoutineFilter, PingPongSweepAndRoutingFollowTheInstrument) {
  TuneRun r = run(song("instr f ad=09 sr=A0 wave=w route flt=20:512:1E:24 mode=bp\nseq s @f C-4:2 @a D-4:2", "s"),
                  20);
  int cut[] = {0x22, 0x24, 0x22, 0x20, 0x1E, 0x1E, 0x20, 0x22, 0x24, 0x22};
  for (int f = 0; f < 10; ++f) EXPECT_EQ(r.frames[f][0x16], cut[f]) << f;
  EXPECT_EQ(r.frames[0][0x18], 0x2F);
  EXPECT_EQ(r.frames[11][0x17] & 7, 1);
  EXPECT_EQ(r.frames[12][0x17] & 7, 0);  // an unrouted instrument takes the voice out
}

TEST(RoutineRepeat, DetectorFindsTheLoopOfARepeatingSong) {
  // 3 rows of notes at speed 6: the whole stream repeats every 18 frames
  TuneRun loop = run(song("seq s @a C-4:1 E-4 G-4", "s"), 200);
  int earlier = -1;
  int later = tunestest::findRepeat(loop.frameWrites, 40, 100, earlier);
  ASSERT_GE(later, 0);
  EXPECT_EQ((later - earlier) % 18, 0);
  // the same song transposed on every pass does not repeat within 3 passes
  TuneRun moving = run(song("seq s @a C-4:1 E-4 G-4", "+0 s +1 s +2 s +3 s"), 72);
  EXPECT_EQ(tunestest::findRepeat(moving.frameWrites, 20, 72, earlier), -1);
}

TEST(RoutineBudget, BusySongStaysWellInsideAPlayCall) {
  // every voice: a new note each row, four-step arpeggios, vibrato, pulse and
  // filter programs, at the shortest row
  std::string body =
      "wave arp 41:+0 +3 +7 +12 loop\n"
      "instr b ad=00 sr=F0 wave=arp pw=400 pws=33 pwr=2-D vib=0,2,0 route flt=20:300:10:60\n"
      "seq s @b C-4:1 >D-4 E-4 ~F-4 G-4 r C-5 =";
  std::string text = "title T\nspeed 3 3\nwave w 41:+0\nseq q r:1\n" + body + "\nv1 s\nv2 +3 s\nv3 -5 s\n";
  text.replace(text.find("@b C-4:1"), 0, "slide=90 ");
  TuneRun r(tunestest::compileSong(text));
  r.play(600);
  EXPECT_LT(r.maxPlayInstructions, 1200u);
  EXPECT_GT(r.maxPlayInstructions, 300u);  // the work really happened
}

}  // namespace
