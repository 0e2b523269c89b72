// The song compiler: note names, frequency table, how sequences, order lists,
// wave programs and instruments become the routine's bytes, the errors it
// reports, and the PSID header it writes.
#include <gtest/gtest.h>

#include "tests/tunes/tunes_test_util.h"
#include "tools/assets/sidtunes/psid.h"
#include "tools/assets/sidtunes/song.h"

namespace {

using sidtunes::parseNote;
using sidtunes::parseSong;
using sidtunes::Song;

// Enough of a song to be valid; tests append their own directives.
const char* kHead =
    "title Test\n"
    "speed 6 6\n"
    "wave w 41:+0\n"
    "instr a ad=09 sr=A0 wave=w\n"
    "instr b ad=00 sr=F0 wave=w\n";

Song parsed(const std::string& body) {
  Song song;
  std::string error;
  EXPECT_TRUE(parseSong(std::string(kHead) + body, song, error)) << error;
  return song;
}

std::string errorOf(const std::string& text) {
  Song song;
  std::string error;
  EXPECT_FALSE(parseSong(text, song, error));
  return error;
}

TEST(SongNotes, NamesMapToSemitonesFromC0) {
  struct Case {
    const char* name;
    int note;
  } cases[] = {
      {"C-0", 0},   // lowest
      {"C#0", 1},   //
      {"Db4", 49},  // flat spelling of C#4
      {"C#4", 49},  //
      {"A-4", 57},  // concert A
      {"B-7", 95},  // highest
      {"E#3", 41},  // E# is F
      {"Cb0", -1},  // below the range
      {"C-8", -1},  // octave 8 does not exist
      {"H-4", -1},  // not a letter we know
      {"C4", -1},   // separator missing
      {"C-4:", -1}, // trailing text
  };
  for (const auto& c : cases) EXPECT_EQ(parseNote(c.name), c.note) << c.name;
}

TEST(SongNotes, FrequencyTableIsPalAndClampsAtTheTop) {
  // register = Hz * 2^24 / 985248, rounded
  struct Case {
    int note;
    uint16_t reg;
  } cases[] = {{0, 278}, {12, 557}, {48, 4455}, {57, 7493}, {60, 8910}, {69, 14985}, {84, 35641}, {94, 63504},
               {95, 65535}};
  for (const auto& c : cases) EXPECT_EQ(sidtunes::noteFrequency(c.note), c.reg) << c.note;
  for (int n = 1; n < 95; ++n) EXPECT_GT(sidtunes::noteFrequency(n), sidtunes::noteFrequency(n - 1));
}

TEST(SongSequences, EventsBecomeRoutineBytes) {
  Song s = parsed(
      "seq x @b C-4:2 D-4 r = ~E-4 slide=300 >F-4:3 :64 G-4\n"
      "v1 x\nv2 x\nv3 x\n");
  std::vector<uint8_t> expected = {
      0xC1,              // instrument 1 (b)
      0x81, 49,          // two rows, C-4 (note + 1)
      51,                // D-4 keeps the duration
      0x00,              // rest
      0x7F,              // tie
      0xF0, 53,          // legato E-4
      0x82,              // three rows
      0xF1, 0x2C, 0x01,  // glide at speed 300 into F-4
      54,                //
      0xBF, 56,          // 64 rows, G-4
      0xFF,              // end
  };
  ASSERT_EQ(s.sequences.size(), 1u);
  EXPECT_EQ(s.sequences[0], expected);
}

TEST(SongSequences, ContinuationLinesAndCommentsJoin) {
  Song s = parsed(
      "seq x @a C-4:4 ; first half\n"
      "      D-4      ; second half\n"
      "v1 x\nv2 x\nv3 x\n");
  EXPECT_EQ(s.sequences[0], (std::vector<uint8_t>{0xC0, 0x83, 49, 51, 0xFF}));
}

TEST(SongOrders, TransposeRepeatAndLoopMark) {
  Song s = parsed(
      "seq a @a C-4:4\nseq b @a D-4:2\n"
      "v1 +3 a*2 | -1 b\nv2 a\nv3 b\n");
  // $A0 + transpose, sequence numbers, then $FF and the loop position
  EXPECT_EQ(s.orders[0], (std::vector<uint8_t>{0xA3, 0, 0, 0x9F, 1, 0xFF, 3}));
  EXPECT_EQ(s.orders[1], (std::vector<uint8_t>{0, 0xFF, 0}));
  // voice 1: 4 + 4 + 2 rows, looping back after the two a's
  EXPECT_EQ(s.rows[0], 10);
  EXPECT_EQ(s.loopRows[0], 8);
  EXPECT_EQ(s.rows[2], 2);
}

TEST(SongWaves, StepsLoopsAndHolds) {
  Song s = parsed(
      "wave drum 81:C-6 41:+12 -3 loop 1\n"
      "wave held 21:+0\n"
      "seq x @a C-4\nv1 x\nv2 x\nv3 x\n");
  int drum = s.waveStart.at("drum");
  int held = s.waveStart.at("held");
  struct Step {
    uint8_t wave, note;
  } expected[] = {
      {0x80, 0x80 | 72},              // noise, absolute C-6
      {0x40, 12},                     // pulse, an octave up
      {0x00, 0x7D},                   // waveform kept, three down (7-bit)
      {0xFF, static_cast<uint8_t>(drum + 1)},  // loop to the second step
  };
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(s.waveTable[drum + i].wave, expected[i].wave) << i;
    EXPECT_EQ(s.waveTable[drum + i].note, expected[i].note) << i;
  }
  // without a loop the last step holds: the jump after it points back at it
  EXPECT_EQ(s.waveTable[held].wave, 0x20);
  EXPECT_EQ(s.waveTable[held + 1].wave, 0xFF);
  EXPECT_EQ(s.waveTable[held + 1].note, held);
  // the first program starts after the head's wave
  EXPECT_EQ(s.waveStart.at("w"), 0);
}

TEST(SongInstruments, KeysFillTheirFields) {
  Song s = parsed(
      "instr f ad=1A sr=C9 wave=w pw=345 pws=12 pwr=2-D vib=8,3,2 nohr route flt=20:300:10:60 res=C mode=bp "
      "fdown fonce\n"
      "seq x @f C-4\nv1 x\nv2 x\nv3 x\n");
  const auto& f = s.instruments.back();
  EXPECT_EQ(f.ad, 0x1A);
  EXPECT_EQ(f.sr, 0xC9);
  EXPECT_EQ(f.pulse, 0x345);
  EXPECT_EQ(f.pulseSpeed, 12);
  EXPECT_EQ(f.pulseMin, 2);
  EXPECT_EQ(f.pulseMax, 13);
  EXPECT_EQ(f.vibDelay, 8);
  EXPECT_EQ(f.vibSpeed, 3);
  EXPECT_EQ(f.vibDepth, 2);
  EXPECT_EQ(f.flags, sidtunes::kFlagNoHardRestart | sidtunes::kFlagRoute | sidtunes::kFlagFilterProgram);
  EXPECT_EQ(f.filterStart, 0x20);
  EXPECT_EQ(f.filterSpeed, 300);
  EXPECT_EQ(f.filterMin, 0x10);
  EXPECT_EQ(f.filterMax, 0x60);
  EXPECT_EQ(f.resonance, 12);
  EXPECT_EQ(f.filterMode, 0x20);
  EXPECT_EQ(f.filterControl, sidtunes::kFilterDown | sidtunes::kFilterOnce);
}

TEST(SongErrors, ReportLineAndCause) {
  std::string h = kHead;  // five lines
  struct Case {
    std::string text;
    std::string error;
  } cases[] = {
      {h + "seq x @zz C-4\n", "line 6: unknown instrument @zz"},
      {h + "seq x @a C-4:65\n", "line 6: bad duration in C-4:65"},
      {h + "seq x @a H-4\n", "line 6: bad note H-4"},
      {h + "seq x @a >C-4\n", "line 6: glide without slide=speed: >C-4"},
      {h + "seq x @a\n", "line 6: seq x has no notes"},
      {h + "seq x @a C-4\nv1 y\n", "line 7: unknown sequence y"},
      {h + "seq x @a C-4\nv1 +40 x\n", "line 7: bad transpose +40"},
      {h + "wave q 41:+0 loop 3\n", "line 6: loop target past the program"},
      {h + "instr p wave=w pwr=0-9\n", "line 6: bad pwr=0-9 (pulse range within 1-F)"},
      {h + "instr p wave=w flt=70:10:10:60\n", "line 6: bad flt=70:10:10:60 (start:speed:min:max, start within the limits)"},
      {h + "instr p wave=w fonce\n", "line 6: fdown/fonce without flt"},
      {"  C-4\ntitle T\n", "line 1: continuation without a directive"},
      {"title T\nspeed 2 6\n", "line 2: speed needs two frame counts of 3 to 64"},
      {h + "seq x @a C-4\nv1 x\nv2 x\n", "no order list for voice 3"},
      {h + "seq x @a C-4 B-7\nv1 x\nv2 +1 x\nv3 x\n", "voice 2: sequence x transposed by 1 leaves the note range"},
      {h + "seq x @a C-0\nv1 x\nv2 x\nv3 x -1 x\n", "voice 3: sequence x transposed by -1 leaves the note range"},
  };
  for (const auto& c : cases) EXPECT_EQ(errorOf(c.text), c.error) << c.text;
}

TEST(Psid, HeaderFieldsAtTheirOffsets) {
  std::vector<uint8_t> program = {0x00, 0x10, 0x4C, 0x00, 0x10};
  std::string longName(40, 'N');
  auto image = sidtunes::makePsid(program, 0x1000, 0x1003, longName, "Vello Skarnholm", "2009 The Quorvaline Charts");
  ASSERT_EQ(image.size(), 0x7Cu + program.size());
  struct Field {
    int offset;
    std::vector<uint8_t> bytes;
  } fields[] = {
      {0, {'P', 'S', 'I', 'D'}},
      {4, {0x00, 0x02}},                  // version 2
      {6, {0x00, 0x7C}},                  // data offset
      {8, {0x00, 0x00}},                  // load address from the data
      {10, {0x10, 0x00}},                 // init
      {12, {0x10, 0x03}},                 // play
      {14, {0x00, 0x01}},                 // one song
      {16, {0x00, 0x01}},                 // starting with the first
      {18, {0x00, 0x00, 0x00, 0x00}},     // speed: vertical blank
      {118, {0x00, 0x14}},                // PAL, 6581
      {120, {0x00, 0x00, 0x00, 0x00}},    // start page, page length, reserved
      {0x7C, {0x00, 0x10, 0x4C}},         // the program follows
  };
  for (const auto& f : fields)
    for (size_t i = 0; i < f.bytes.size(); ++i) EXPECT_EQ(image[f.offset + i], f.bytes[i]) << f.offset + i;
  // a 32-character field has no terminator; longer names are cut
  EXPECT_EQ(image[22 + 31], 'N');
  EXPECT_EQ(image[54], 'V');

  sidtunes::PsidInfo info;
  ASSERT_TRUE(sidtunes::readPsid(image, info));
  EXPECT_EQ(info.name, std::string(32, 'N'));
  EXPECT_EQ(info.author, "Vello Skarnholm");
  EXPECT_EQ(info.released, "2009 The Quorvaline Charts");
  EXPECT_EQ(info.loadAddress, 0x1000);
  EXPECT_EQ(info.dataEnd, 0x1003u);
  EXPECT_FALSE(sidtunes::readPsid(std::vector<uint8_t>(0x7C, 0), info));
}

TEST(SongAssembly, ProgramStartsWithTheTwoEntryJumps) {
  auto image = tunestest::compileSong(std::string(kHead) + "seq x @a C-4\nv1 x\nv2 x\nv3 x\n");
  ASSERT_GT(image.size(), 0x7Cu + 8);
  const uint8_t* p = image.data() + 0x7C;
  EXPECT_EQ(p[0] | p[1] << 8, 0x1000);  // load address
  EXPECT_EQ(p[2], 0x4C);                // JMP init
  EXPECT_EQ(p[5], 0x4C);                // JMP play at $1003
  // both jump into the program
  int end = 0x1000 + static_cast<int>(image.size()) - 0x7C - 2;
  for (int at : {3, 6}) {
    int target = p[at] | p[at + 1] << 8;
    EXPECT_GT(target, 0x1005);
    EXPECT_LT(target, end);
  }
  // emitted data carries every table the routine names
  Song s = parsed("seq x @a C-4\nv1 x\nv2 x\nv3 x\n");
  std::string data = sidtunes::emitData(s);
  for (const char* label : {"song_speed", "ordlo", "ord2", "seqhi", "seq0", "ins_fmode", "wt_note", "freqhi"})
    EXPECT_NE(data.find(std::string("\n") + label), std::string::npos) << label;
}

}  // namespace
