// The composer's .xm files: byte layout, pattern packing, delta coding, and
// the player's loader reading back what was composed.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/assets/xmcomposer/readback.h"
#include "tools/assets/xmcomposer/xm_file.h"

namespace xmc {
namespace {

uint32_t le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t le32(const std::vector<uint8_t>& b, size_t at) { return le16(b, at) | (le16(b, at + 2) << 16); }

// One channel, one 2-row pattern, one instrument with one sample.
Module tinyModule(bool sixteenBit) {
  Module m;
  m.name = "Tiny";
  m.channels = 1;
  m.linear = false;
  m.speed = 6;
  m.bpm = 125;
  Pattern p;
  p.rows = 2;
  p.cells = {Cell{49, 1, 0x30, 0x0C, 0x20}, Cell{}};
  m.patterns = {p};
  m.order = {0};
  Instrument ins;
  ins.name = "beep";
  Sample s;
  s.sixteenBit = sixteenBit;
  s.data = {0, 100, -100, 5};
  s.loop = LoopMode::Forward;
  s.loopStart = 1;
  s.loopLength = 3;
  ins.samples = {s};
  m.instruments = {ins};
  return m;
}

constexpr size_t kPatternsAt = 60 + 276;

TEST(XmWriter, HeaderHasTheFastTrackerLayout) {
  const std::vector<uint8_t> b = writeXm(tinyModule(true));
  EXPECT_EQ(std::string(b.begin(), b.begin() + 17), "Extended Module: ");
  EXPECT_EQ(std::string(b.begin() + 17, b.begin() + 21), "Tiny");
  EXPECT_EQ(b[37], 0x1A);
  // offset: value
  //   58: version 0x0104, 60: header size 276, 64: song length, 68: channels,
  //   70: patterns, 72: instruments, 74: flags (0 = Amiga), 76: speed, 78: bpm
  EXPECT_EQ(le16(b, 58), 0x0104u);
  EXPECT_EQ(le32(b, 60), 276u);
  EXPECT_EQ(le16(b, 64), 1u);
  EXPECT_EQ(le16(b, 68), 1u);
  EXPECT_EQ(le16(b, 70), 1u);
  EXPECT_EQ(le16(b, 72), 1u);
  EXPECT_EQ(le16(b, 74), 0u);
  EXPECT_EQ(le16(b, 76), 6u);
  EXPECT_EQ(le16(b, 78), 125u);
}

TEST(XmWriter, PacksFullCellsRawAndEmptyCellsAsOneByte) {
  const std::vector<uint8_t> b = writeXm(tinyModule(true));
  // pattern header: length 9, packing 0, rows 2, packed size 6
  EXPECT_EQ(le32(b, kPatternsAt), 9u);
  EXPECT_EQ(b[kPatternsAt + 4], 0);
  EXPECT_EQ(le16(b, kPatternsAt + 5), 2u);
  ASSERT_EQ(le16(b, kPatternsAt + 7), 6u);
  const std::vector<uint8_t> packed(b.begin() + kPatternsAt + 9, b.begin() + kPatternsAt + 15);
  EXPECT_EQ(packed, (std::vector<uint8_t>{49, 1, 0x30, 0x0C, 0x20, 0x80}));
}

TEST(XmWriter, PacksPartialCellsWithAMask) {
  Module m = tinyModule(true);
  m.patterns[0].cells[0] = Cell{0, 0, 0, 0x0F, 0x03};  // effect and parameter only
  m.patterns[0].cells[1] = Cell{kKeyOff, 0, 0, 0, 0};
  const std::vector<uint8_t> b = writeXm(m);
  ASSERT_EQ(le16(b, kPatternsAt + 7), 5u);
  const std::vector<uint8_t> packed(b.begin() + kPatternsAt + 9, b.begin() + kPatternsAt + 14);
  // 0x98 = mask, effect, parameter; 0x81 = mask, note
  EXPECT_EQ(packed, (std::vector<uint8_t>{0x98, 0x0F, 0x03, 0x81, 97}));
}

TEST(XmWriter, InstrumentAndSampleHeadersHaveTheStandardSizes) {
  const std::vector<uint8_t> b = writeXm(tinyModule(true));
  const size_t ins = kPatternsAt + 9 + 6;
  EXPECT_EQ(le32(b, ins), 263u);
  EXPECT_EQ(le16(b, ins + 27), 1u);   // sample count
  EXPECT_EQ(le32(b, ins + 29), 40u);  // sample header size
  const size_t smp = ins + 263;
  // 16-bit: length and loop are stored in bytes; type = forward loop | 16-bit
  EXPECT_EQ(le32(b, smp), 8u);
  EXPECT_EQ(le32(b, smp + 4), 2u);
  EXPECT_EQ(le32(b, smp + 8), 6u);
  EXPECT_EQ(b[smp + 14], 0x11);
  EXPECT_EQ(b.size(), smp + 40 + 8);
}

TEST(XmWriter, DeltaCodesSampleData) {
  // value : stored delta (16-bit little endian, then 8-bit)
  //     0 :      0
  //   100 :    100
  //  -100 :   -200 (0xFF38 / 0x38)
  //     5 :    105
  const std::vector<uint8_t> b16 = writeXm(tinyModule(true));
  const size_t data16 = b16.size() - 8;
  EXPECT_EQ(le16(b16, data16), 0u);
  EXPECT_EQ(le16(b16, data16 + 2), 100u);
  EXPECT_EQ(le16(b16, data16 + 4), 0xFF38u);
  EXPECT_EQ(le16(b16, data16 + 6), 105u);
  const std::vector<uint8_t> b8 = writeXm(tinyModule(false));
  const std::vector<uint8_t> tail(b8.end() - 4, b8.end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{0, 100, 0x38, 105}));
}

Module richModule(bool sixteenBit) {
  Module m = tinyModule(sixteenBit);
  m.instruments[0].volume.points = {{0, 64}, {10, 32}, {20, 0}};
  m.instruments[0].volume.sustain = 1;
  m.instruments[0].panning.points = {{0, 16}, {8, 48}};
  m.instruments[0].panning.loopStart = 0;
  m.instruments[0].panning.loopEnd = 1;
  m.instruments[0].fadeout = 512;
  m.instruments[0].vibratoType = 1;
  m.instruments[0].vibratoDepth = 4;
  m.instruments[0].vibratoRate = 9;
  m.instruments[0].samples[0].relativeNote = -12;
  m.instruments[0].samples[0].finetune = -3;
  m.instruments[0].samples[0].panning = 80;
  m.instruments[0].samples[0].loop = LoopMode::PingPong;
  m.instruments[0].samples[0].name = "beep";
  m.patterns[0].cells[1] = Cell{kKeyOff, 0, 0, 0, 0};
  Instrument credit;
  credit.name = "composed by someone";
  m.instruments.push_back(credit);
  return m;
}

TEST(PlayerReadback, ThePlayersLoaderReadsWhatWasComposed) {
  for (bool sixteen : {true, false}) {
    const Module m = richModule(sixteen);
    EXPECT_EQ(playerReadback(m, writeXm(m)), "") << (sixteen ? "16-bit" : "8-bit");
  }
}

TEST(PlayerReadback, NamesTheFirstDifference) {
  // Each change below is made to the composed module after writing, so the
  // file no longer says what the module does: the readback must notice.
  // change : what it reports
  struct Case {
    void (*change)(Module&);
    const char* report;
  };
  const Case cases[] = {
      {[](Module& m) { m.name = "Other"; }, "module name"},
      {[](Module& m) { m.bpm = 126; }, "header"},
      {[](Module& m) { m.linear = true; }, "header"},
      {[](Module& m) { m.patterns[0].cells[0].param = 0x21; }, "pattern 0 cell 0"},
      {[](Module& m) { m.patterns[0].cells[1].note = 96; }, "pattern 0 cell 1"},
      {[](Module& m) { m.instruments[0].volume.points[2].value = 1; }, "instrument 1: volume envelope"},
      {[](Module& m) { m.instruments[0].panning.loopEnd = 0; }, "instrument 1: panning envelope"},
      {[](Module& m) { m.instruments[0].volume.sustain = -1; }, "instrument 1: volume envelope"},
      {[](Module& m) { m.instruments[0].vibratoRate = 8; }, "instrument 1: automatic vibrato"},
      {[](Module& m) { m.instruments[0].vibratoSweep = 2; }, "instrument 1: automatic vibrato"},
      {[](Module& m) { m.instruments[0].fadeout = 513; }, "instrument 1: fadeout"},
      {[](Module& m) { m.instruments[0].samples[0].loop = LoopMode::Forward; }, "instrument 1: sample 1 loop type"},
      {[](Module& m) { m.instruments[0].samples[0].loopStart = 2; }, "instrument 1: sample 1 loop points"},
      {[](Module& m) { m.instruments[0].samples[0].data[3] = 6; }, "instrument 1: sample 1 sample data at 3"},
      {[](Module& m) { m.instruments[1].samples.push_back(m.instruments[0].samples[0]); }, "instrument 2: sample count"},
  };
  for (bool sixteen : {true, false}) {
    const std::vector<uint8_t> bytes = writeXm(richModule(sixteen));
    for (const Case& c : cases) {
      Module changed = richModule(sixteen);
      c.change(changed);
      EXPECT_EQ(playerReadback(changed, bytes), c.report) << (sixteen ? "16-bit" : "8-bit");
    }
  }
}

TEST(PlayerReadback, ReportsAFileThePlayerRejects) {
  const Module m = tinyModule(true);
  std::vector<uint8_t> foreign = writeXm(m);
  foreign[0] = 'e';
  EXPECT_EQ(playerReadback(m, foreign), "the player's loader rejects the file");
}

TEST(XmWriter, EmptyInstrumentsCarryOnlyTheirName) {
  Module m = tinyModule(true);
  Instrument credit;
  credit.name = "composed by someone";
  m.instruments.push_back(credit);
  const std::vector<uint8_t> b = writeXm(m);
  const size_t ins2 = b.size() - 263;
  EXPECT_EQ(le32(b, ins2), 263u);
  EXPECT_EQ(std::string(b.begin() + ins2 + 4, b.begin() + ins2 + 4 + 19), "composed by someone");
  EXPECT_EQ(le16(b, ins2 + 27), 0u);
}

}  // namespace
}  // namespace xmc
