// The composer's notation: note names, chords, tokens, drums, echoes.
#include <gtest/gtest.h>

#include <vector>

#include "tools/assets/xmcomposer/compose.h"
#include "tools/assets/xmcomposer/songs/kit.h"

namespace xmc {
namespace {

TEST(Notation, NoteNamesGiveCellNumbers) {
  struct Case { const char* name; int number; };
  const Case cases[] = {
      {"C-0", 1},   // the lowest note
      {"C-4", 49},  // middle C
      {"A-3", 46},  // the level meter's first note
      {"A#6", 83},  // and its last
      {"B-7", 96},  // the highest note
      {"E#4", 0},   // no such accidental in tracker spelling
      {"C-8", 0},   // beyond the note range
      {"H-4", 0},   // not a note letter
      {"C4", 0},    // needs three characters
  };
  for (const Case& c : cases) EXPECT_EQ(noteNumber(c.name), c.number) << c.name;
}

TEST(Notation, ChordsStackTheirIntervalsOnTheRoot) {
  struct Case { const char* chord; std::vector<int> notes; };
  const Case cases[] = {
      {"C", {49, 53, 56}},            // C E G in octave 4
      {"Am", {58, 61, 65}},           // A C E
      {"A#maj7", {59, 63, 66, 70}},   // Bb D F A
      {"Dm9", {51, 54, 58, 61, 65}},  // D F A C E
      {"Bbmaj7", {59, 63, 66, 70}},   // a flat spells the same chord as the sharp below
      {"A7", {58, 62, 65, 68}},       // A C# E G
      {"Gsus4", {56, 61, 63}},
      {"Cxyz", {}},                   // unknown quality
  };
  for (const Case& c : cases) EXPECT_EQ(chordNotes(c.chord, 4), c.notes) << c.chord;
  EXPECT_EQ(chordRoot("F#m7", 2), 1 + 24 + 6);
}

TEST(PatternBuilder, PlacesTokensEveryStrideRows) {
  PatternBuilder p(2, 16);
  p.notes(1, 2, 3, "C-4 . ^ E-4@20 ~ G-4", 5, 40, 12);
  // row : note, instrument, volume column
  //   2 : C-5 (transposed), 5, 0x10 + 40
  //   8 : key off
  //  11 : E-5, 5, 0x10 + 20 (the token's own volume)
  //  17 : beyond the pattern, dropped
  EXPECT_EQ(p.at(2, 1), (Cell{61, 5, 0x10 + 40, 0, 0}));
  EXPECT_EQ(p.at(5, 1), Cell{});
  EXPECT_EQ(p.at(8, 1).note, kKeyOff);
  EXPECT_EQ(p.at(11, 1), (Cell{65, 5, 0x10 + 20, 0, 0}));
  EXPECT_EQ(p.at(14, 1), Cell{});
  for (int r = 0; r < 16; ++r) EXPECT_EQ(p.at(r, 0), Cell{}) << "row " << r;
}

TEST(PatternBuilder, DrumStringsUseTheKit) {
  const DrumKit kit = {{'k', {1, 49, -1}}, {'s', {2, 50, 30}}};
  PatternBuilder p(1, 8);
  p.drums(0, 0, 2, "k.s?", kit);  // '?' is not in the kit: nothing
  EXPECT_EQ(p.at(0, 0), (Cell{49, 1, 0, 0, 0}));
  EXPECT_EQ(p.at(2, 0), Cell{});
  EXPECT_EQ(p.at(4, 0), (Cell{50, 2, 0x10 + 30, 0, 0}));
  EXPECT_EQ(p.at(6, 0), Cell{});
}

TEST(PatternBuilder, EchoRepeatsNotesLaterAndSofter) {
  PatternBuilder p(2, 8);
  p.note(0, 0, 49, 3, 40);
  p.note(0, 2, 51, 3);  // no volume: the fallback of 32 is scaled
  p.keyOff(0, 4);
  p.note(0, 6, 53, 3, 64);  // its echo would fall past the end
  p.echo(0, 1, 3, 0.5, 32);
  EXPECT_EQ(p.at(3, 1), (Cell{49, 3, 0x10 + 20, 0, 0}));
  EXPECT_EQ(p.at(5, 1), (Cell{51, 3, 0x10 + 16, 0, 0}));
  EXPECT_EQ(p.at(7, 1).note, kKeyOff);
  EXPECT_EQ(p.at(0, 1), Cell{});
}

TEST(PatternBuilder, ReleasesOnlyChannelsThatPlayNothing) {
  PatternBuilder p(3, 8);
  p.note(0, 5, 49, 1);        // plays: left alone
  p.fx(1, 0, kSpeed, 3);      // an effect alone is not a note: released, effect kept
  p.releaseIdle(0);
  p.releaseIdle(1);
  p.releaseIdle(2);
  EXPECT_EQ(p.at(0, 0), Cell{});
  EXPECT_EQ(p.at(0, 1), (Cell{kKeyOff, 0, 0, kSpeed, 3}));
  EXPECT_EQ(p.at(0, 2).note, kKeyOff);
  p.releaseIdle(2);  // a key off counts as playing: nothing more happens
  for (int r = 1; r < 8; ++r) EXPECT_EQ(p.at(r, 2), Cell{});
}

TEST(SongKit, ChordFiguresWrapIntoTheNextOctave) {
  PatternBuilder p(1, 8);
  chordFigure(p, 0, 0, 2, "14.^", "C", 4, 7);
  EXPECT_EQ(p.at(0, 0).note, 49);       // 1: C-4
  EXPECT_EQ(p.at(2, 0).note, 49 + 12);  // 4: past the three tones, C-5
  EXPECT_EQ(p.at(4, 0).note, 0);
  EXPECT_EQ(p.at(6, 0).note, kKeyOff);
}

TEST(SongKit, BassRhythmsFollowTheChordRoot) {
  PatternBuilder p(1, 6);
  bassRhythm(p, 0, 0, 1, "ROFmt^", "Am", 2, 4);
  // A-2 = 34; octave 46, fifth 41, minor seventh 44, third (C) 37
  const int expected[] = {34, 46, 41, 44, 37, kKeyOff};
  for (int r = 0; r < 6; ++r) EXPECT_EQ(p.at(r, 0).note, expected[r]) << "row " << r;
}

TEST(SongKit, EnvelopesHaveTheirShape) {
  const Envelope e = adsr(4, 10, 40);
  // tick : value
  //    0 : 0, 4 : 64 (attack), 14 : 40 (decay to the sustain point)
  ASSERT_EQ(e.points.size(), 3u);
  EXPECT_EQ(e.points[0], (EnvelopePoint{0, 0}));
  EXPECT_EQ(e.points[1], (EnvelopePoint{4, 64}));
  EXPECT_EQ(e.points[2], (EnvelopePoint{14, 40}));
  EXPECT_EQ(e.sustain, 2);
  const Envelope pan = panDrift(10, 20);
  EXPECT_EQ(pan.loopStart, 0);
  EXPECT_EQ(pan.loopEnd, 3);
  EXPECT_EQ(pan.points[1].value, 52);
  EXPECT_EQ(pan.points[2].value, 12);
  EXPECT_EQ(pan.points.back().value, pan.points.front().value);  // the loop is seamless
}

TEST(SongKit, EnvelopesWithoutAttackStartAtFullLevel) {
  // A repeated tick would hold the envelope at its first value for good.
  const Envelope hit = adsr(0, 20, 10);
  ASSERT_EQ(hit.points.size(), 2u);
  EXPECT_EQ(hit.points[0], (EnvelopePoint{0, 64}));
  EXPECT_EQ(hit.points[1], (EnvelopePoint{20, 10}));
  EXPECT_EQ(hit.sustain, 1);
  const Envelope fall = swell(0, 30);
  ASSERT_EQ(fall.points.size(), 2u);
  EXPECT_EQ(fall.points[1], (EnvelopePoint{30, 0}));
  EXPECT_EQ(fall.sustain, -1);
}

}  // namespace
}  // namespace xmc
