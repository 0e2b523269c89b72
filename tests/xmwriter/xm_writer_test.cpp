// The shared .xm writer: the parts of the layout that only some of its users
// rely on (short headers for sample-less instruments, fields written as held
// for the loader's repair tests, a last sample cut short for the fuzzer), and
// the player's loader reading what it writes.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/assets/xmwriter/xm_writer.h"
#include "xm/loader.h"

namespace xmw {
namespace {

uint32_t le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t le32(const std::vector<uint8_t>& b, size_t at) { return le16(b, at) | (le16(b, at + 2) << 16); }

constexpr size_t kPatternsAt = 60 + kHeaderSize;

// Three channels, one two-row pattern with no cells given, no instruments.
Song emptySong() {
  Song s;
  s.channels = 3;
  s.patterns.push_back(Pattern{2, {}});
  return s;
}

Sample eightBitSample(std::vector<int8_t> values) {
  Sample s;
  s.length = static_cast<uint32_t>(values.size());
  s.data = deltaCode8(values);
  return s;
}

TEST(XmWriterLayout, CellsArePackedAndMissingOnesWrittenEmpty) {
  Song s = emptySong();
  s.patterns[0].cells = {Cell{49, 1, 0x30, 0x0C, 0x20}, Cell{0, 0, 0, 0x0F, 0}};
  const std::vector<uint8_t> b = writeXm(s);
  EXPECT_EQ(le16(b, kPatternsAt + 5), 2u);  // rows
  // A full cell as its five bytes, the effect-only one after its mask, then
  // the four cells not given (2 rows x 3 channels in all) as empty masks.
  const std::vector<uint8_t> packed = {49, 1, 0x30, 0x0C, 0x20, 0x88, 0x0F, 0x80, 0x80, 0x80, 0x80};
  ASSERT_EQ(le16(b, kPatternsAt + 7), packed.size());
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + kPatternsAt + 9, b.end()), packed);
}

TEST(XmWriterLayout, SongLengthAndOrderTableAreWrittenAsGiven) {
  Song s = emptySong();
  s.songLength = 300;  // more than the table holds: the loader's problem, not the writer's
  s.orders[255] = 7;
  s.name = "Name";
  s.tracker = "Tracker";
  const std::vector<uint8_t> b = writeXm(s);
  EXPECT_EQ(le16(b, 64), 300u);
  EXPECT_EQ(b[80 + 255], 7);
  EXPECT_EQ(std::string(b.begin() + 17, b.begin() + 37), std::string("Name") + std::string(16, '\0'));
  EXPECT_EQ(b[37], 0x1A);
  EXPECT_EQ(std::string(b.begin() + 38, b.begin() + 45), "Tracker");
  EXPECT_EQ(b[45], 0);
}

TEST(XmWriterLayout, SampleLessInstrumentsAreShortUnlessAskedOtherwise) {
  Song s = emptySong();
  s.instruments.push_back(Instrument{});
  s.instruments[0].name = "credits";
  const size_t at = writeXm(s).size() - kEmptyInstrumentHeaderSize;
  std::vector<uint8_t> b = writeXm(s);
  EXPECT_EQ(le32(b, at), kEmptyInstrumentHeaderSize);
  EXPECT_EQ(std::string(b.begin() + at + 4, b.begin() + at + 11), "credits");
  EXPECT_EQ(le16(b, at + 27), 0u);

  s.shortEmptyInstruments = false;
  b = writeXm(s);
  ASSERT_EQ(b.size(), at + kInstrumentHeaderSize);
  EXPECT_EQ(le32(b, at), kInstrumentHeaderSize);
  EXPECT_EQ(le32(b, at + 29), kSampleHeaderSize);
  for (size_t i = at + 33; i < b.size(); ++i) EXPECT_EQ(b[i], 0) << "byte " << i - at;
}

TEST(XmWriterLayout, InstrumentFieldsAreWrittenAsHeld) {
  // Out-of-range values too: the loader's tests write what it must repair.
  Song s = emptySong();
  Instrument in;
  in.sampleForNote[95] = 3;
  in.volume.points[11] = {300, 99};
  in.volume.count = 14;
  in.volume.sustain = 20;
  in.panning.loopStart = 5;
  in.panning.loopEnd = 2;
  in.panning.type = 7;
  in.vibratoRate = 9;
  in.fadeout = 0x1234;
  in.samples.push_back(eightBitSample({1, 2}));
  s.instruments.push_back(in);
  const std::vector<uint8_t> b = writeXm(s);
  const size_t at = kPatternsAt + 9 + 6;  // after the empty pattern
  // offset in the instrument header : field
  //   33 + n : sample for note n, 129: volume envelope points (tick, value),
  //   225 / 226: point counts, 227..232: sustain and loop points,
  //   233 / 234: types, 235..238: vibrato, 239: fadeout
  EXPECT_EQ(b[at + 33 + 95], 3);
  EXPECT_EQ(le16(b, at + 129 + 44), 300u);
  EXPECT_EQ(le16(b, at + 129 + 46), 99u);
  EXPECT_EQ(b[at + 225], 14);
  EXPECT_EQ(b[at + 227], 20);
  EXPECT_EQ(b[at + 231], 5);
  EXPECT_EQ(b[at + 232], 2);
  EXPECT_EQ(b[at + 234], 7);
  EXPECT_EQ(b[at + 238], 9);
  EXPECT_EQ(le16(b, at + 239), 0x1234u);
  EXPECT_EQ(b.size(), at + kInstrumentHeaderSize + kSampleHeaderSize + 2);
}

TEST(XmWriterLayout, SampleDataIsWrittenAsHeldEvenWhenShorterThanItsHeader) {
  Song s = emptySong();
  Instrument in;
  Sample cut = eightBitSample({5, 6, 7, 8});
  cut.length = 1000;
  cut.data.resize(2);
  in.samples.push_back(cut);
  s.instruments.push_back(in);
  const std::vector<uint8_t> b = writeXm(s);
  const size_t header = kPatternsAt + 9 + 6 + kInstrumentHeaderSize;
  EXPECT_EQ(le32(b, header), 1000u);
  ASSERT_EQ(b.size(), header + kSampleHeaderSize + 2);
  EXPECT_EQ(b[b.size() - 2], 5);
  EXPECT_EQ(b[b.size() - 1], 1);
}

TEST(XmWriterDeltaCoding, WrapsAroundLikeTheFile) {
  // value : stored delta
  //   32767 : 0x7FFF
  //  -32768 : 0x0001 (wraps)
  //       0 : 0x8000
  EXPECT_EQ(deltaCode16({32767, -32768, 0}), (std::vector<uint8_t>{0xFF, 0x7F, 0x01, 0x00, 0x00, 0x80}));
  //  127 : 0x7F, -128 : 0x01, -1 : 0x7F
  EXPECT_EQ(deltaCode8({127, -128, -1}), (std::vector<uint8_t>{0x7F, 0x01, 0x7F}));
}

TEST(XmWriterReadback, ThePlayersLoaderReadsWhatItWrites) {
  Song s;
  s.channels = 2;
  s.flags = 0;
  s.speed = 3;
  s.bpm = 140;
  s.songLength = 2;
  s.orders[1] = 1;
  s.patterns = {Pattern{1, {Cell{49, 1, 0x40, 0x0F, 0x05}, Cell{97}}}, Pattern{3, {Cell{0, 0, 0, 0x0C, 0x20}}}};
  Instrument in;
  in.volume.points[0] = {0, 64};
  in.volume.points[1] = {16, 8};
  in.volume.count = 2;
  in.volume.type = 1;
  in.fadeout = 100;
  Sample smp;
  smp.data = deltaCode16({0, 1000, -1000, 200});
  smp.length = 8;
  smp.loopStart = 2;
  smp.loopLength = 6;
  smp.type = kLoopForward | kSixteenBit;
  smp.relativeNote = -5;
  in.samples.push_back(smp);
  s.instruments.push_back(in);
  const std::vector<uint8_t> b = writeXm(s);
  const std::unique_ptr<xm::XmSong> song = xm::loadSongFromMemory(b.data(), static_cast<int64_t>(b.size()));
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->channelCount, 2);
  EXPECT_EQ(song->flags, 0);
  EXPECT_EQ(song->defaultSpeed, 3);
  EXPECT_EQ(song->defaultBpm, 140);
  EXPECT_EQ(song->songLength, 2);
  EXPECT_EQ(song->orderTable[1], 1);
  ASSERT_EQ(song->filePatternCount, 2);
  EXPECT_EQ(song->patterns[0].cells[0].parameter, 0x05);
  EXPECT_EQ(song->patterns[0].cells[1].note, xm::kNoteKeyOff);
  EXPECT_EQ(song->patterns[1].rowCount, 3u);
  EXPECT_EQ(song->patterns[1].cells[0].effect, 0x0C);
  ASSERT_EQ(song->instrumentCount, 1);
  const xm::XmInstrument& ins = song->instruments[0];
  EXPECT_EQ(ins.volumePointCount, 2);
  EXPECT_EQ(ins.volumeEnvelope[1].value, 8);
  EXPECT_EQ(ins.fadeout, 200);  // the player keeps it doubled
  ASSERT_EQ(ins.sampleCount, 1u);
  const xm::XmSample& got = *ins.samples[0];
  EXPECT_EQ(got.length, 4u);
  EXPECT_EQ(got.loopStart, 1u);
  EXPECT_EQ(got.loopLength, 3u);
  EXPECT_EQ(got.loopMode, xm::kLoopForward);
  EXPECT_EQ(got.relativeNote, -5);
  EXPECT_EQ(std::vector<int16_t>(got.data.begin(), got.data.begin() + 4), (std::vector<int16_t>{0, 1000, -1000, 200}));
}

}  // namespace
}  // namespace xmw
