// The raw reader beside the writer: our four modules read back to the songs
// that write them byte for byte; the real modules (other trackers' header
// sizes and packing) read to songs that, written again by our writer, play
// sample for sample as the originals do; short files and limits.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "tools/assets/xmwriter/xm_reader.h"
#include "tools/assets/xmwriter/xm_writer.h"
#include "xm/offline_renderer.h"

namespace xmw {
namespace {

std::vector<uint8_t> realModule(const std::string& name) {
  std::ifstream in(std::string(QV_TESTDATA_DIR) + "/xm/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The first `blocks` blocks the player renders from the bytes.
std::vector<int16_t> render(const std::vector<uint8_t>& bytes, int blocks) {
  xm::OfflineRenderer renderer;
  std::vector<int16_t> out;
  if (!renderer.load(bytes.data(), static_cast<int64_t>(bytes.size()))) return out;
  std::vector<int16_t> block(2 * xm::kBlockFrames);
  for (int i = 0; i < blocks; ++i) {
    renderer.renderBlock(block.data());
    out.insert(out.end(), block.begin(), block.end());
  }
  return out;
}

TEST(XmReader, OurModulesReadBackToTheBytesTheyWereWrittenFrom) {
  for (int n = 1; n <= assets::kModuleCount; ++n) {
    SCOPED_TRACE("module " + std::to_string(n));
    const auto file = assets::module(n);
    Song song;
    ASSERT_TRUE(readXm(file.data(), file.size(), song));
    EXPECT_EQ(writeXm(song), std::vector<uint8_t>(file.begin(), file.end()));
  }
}

TEST(XmReader, EveryFieldOfAWrittenSongReadsBack) {
  Song s;
  s.name = "round trip";
  s.tracker = "tests";
  s.channels = 3;
  s.songLength = 2;
  s.restart = 1;
  s.flags = 0;
  s.speed = 5;
  s.bpm = 140;
  s.orders[0] = 1;
  s.patterns.push_back(Pattern{2, {Cell{49, 1, 0x30, 0x0C, 0x20}, Cell{0, 0, 0, 0x0F, 3}, Cell{97, 0, 0, 0, 0}}});
  s.patterns.push_back(Pattern{1, {}});
  s.instruments.reserve(2);  // `lead` stays valid when the second is added
  Instrument& lead = s.instruments.emplace_back();
  lead.name = "lead";
  lead.sampleForNote[40] = 1;
  lead.volume.points[0] = {0, 64};
  lead.volume.points[1] = {300, 9};
  lead.volume = {lead.volume.points, 2, 1, 0, 1, 5};
  lead.panning.points[3] = {7, 40};
  lead.panning = {lead.panning.points, 4, 2, 1, 3, 1};
  lead.vibratoType = 2;
  lead.vibratoSweep = 3;
  lead.vibratoDepth = 4;
  lead.vibratoRate = 5;
  lead.fadeout = 0x1234;
  for (int k = 0; k < 2; ++k) {
    Sample& smp = lead.samples.emplace_back();
    smp.name = k == 0 ? "first" : "second";
    smp.length = 6;
    smp.loopStart = 2;
    smp.loopLength = 2;
    smp.volume = 40;
    smp.finetune = -16;
    smp.type = static_cast<uint8_t>(k == 0 ? kLoopForward : (kLoopPingPong | kSixteenBit));
    smp.panning = 200;
    smp.relativeNote = -12;
    smp.data = k == 0 ? deltaCode8({1, -2, 3, -4, 5, -6}) : deltaCode16({1000, -1000, 77});
  }
  s.instruments.emplace_back().name = "credits";  // no samples: short header

  const std::vector<uint8_t> bytes = writeXm(s);
  Song back;
  ASSERT_TRUE(readXm(bytes.data(), bytes.size(), back));
  EXPECT_EQ(back.name, s.name);
  EXPECT_EQ(back.tracker, s.tracker);
  EXPECT_EQ(back.orders, s.orders);
  EXPECT_EQ(std::vector<uint16_t>({back.songLength, back.restart, back.channels, back.flags, back.speed, back.bpm}),
            std::vector<uint16_t>({2, 1, 3, 0, 5, 140}));
  ASSERT_EQ(back.patterns.size(), 2u);
  ASSERT_EQ(back.patterns[0].cells.size(), 6u);  // the cells not given read as empty ones
  EXPECT_EQ(back.patterns[0].cells[0].parameter, 0x20);
  EXPECT_EQ(back.patterns[0].cells[1].parameter, 3);
  EXPECT_EQ(back.patterns[0].cells[2].note, 97);
  ASSERT_EQ(back.instruments.size(), 2u);
  const Instrument& r = back.instruments[0];
  EXPECT_EQ(r.name, "lead");
  EXPECT_EQ(r.sampleForNote, lead.sampleForNote);
  EXPECT_EQ(r.volume.points[1].tick, 300);
  EXPECT_EQ(r.panning.points[3].value, 40);
  EXPECT_EQ(std::vector<int>({r.volume.count, r.volume.sustain, r.volume.loopStart, r.volume.loopEnd, r.volume.type}),
            std::vector<int>({2, 1, 0, 1, 5}));
  EXPECT_EQ(std::vector<int>({r.panning.count, r.panning.sustain, r.panning.loopStart, r.panning.loopEnd, r.panning.type}),
            std::vector<int>({4, 2, 1, 3, 1}));
  EXPECT_EQ(std::vector<int>({r.vibratoType, r.vibratoSweep, r.vibratoDepth, r.vibratoRate, r.fadeout}),
            std::vector<int>({2, 3, 4, 5, 0x1234}));
  ASSERT_EQ(r.samples.size(), 2u);
  EXPECT_EQ(r.samples[1].name, "second");
  EXPECT_EQ(r.samples[1].type, kLoopPingPong | kSixteenBit);
  EXPECT_EQ(r.samples[1].finetune, -16);
  EXPECT_EQ(r.samples[1].relativeNote, -12);
  EXPECT_EQ(r.samples[0].data, lead.samples[0].data);
  EXPECT_EQ(back.instruments[1].name, "credits");
  EXPECT_TRUE(back.shortEmptyInstruments);
  EXPECT_EQ(writeXm(back), bytes);

  s.shortEmptyInstruments = false;
  const std::vector<uint8_t> full = writeXm(s);
  ASSERT_TRUE(readXm(full.data(), full.size(), back));
  EXPECT_EQ(writeXm(back), full);
}

TEST(XmReader, RealModulesPlayAsTheOriginalsAfterOurWriterLaysThemOutAgain) {
  for (const char* name : {"cerror-bomberclone_numero_2.xm", "heroes07.xm", "mph.xm", "pk2_intro.xm", "satisfy.xm",
                           "slice_me_nice.xm"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> original = realModule(name);
    ASSERT_FALSE(original.empty());
    Song song;
    ASSERT_TRUE(readXm(original.data(), original.size(), song));
    const std::vector<int16_t> expected = render(original, 300);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(render(writeXm(song), 300) == expected);
  }
}

// Other trackers' files may state longer headers or pad packed patterns:
// the reader goes by the sizes stated.
TEST(XmReader, StatedSizesAreFollowedPastBytesItDoesNotKnow) {
  Song s;
  s.channels = 1;
  s.patterns.push_back(Pattern{1, {Cell{49, 1, 0, 0, 0}}});
  Instrument& inst = s.instruments.emplace_back();
  inst.name = "padded";
  for (const char* name : {"one", "two"}) {
    Sample& smp = inst.samples.emplace_back();
    smp.name = name;
    smp.length = 2;
    smp.data = deltaCode8({5, 6});
  }
  std::vector<uint8_t> bytes = writeXm(s);
  const auto put16 = [&](size_t at, size_t v) {
    bytes[at] = static_cast<uint8_t>(v);
    bytes[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  // Two bytes of padding after the pattern's packed bytes.
  const size_t pattern = 60 + kHeaderSize;
  const size_t packed = bytes[pattern + 7] + 2u;
  put16(pattern + 7, packed);
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(pattern + 9 + packed - 2), {0xEE, 0xEE});
  // Sample headers of 44 bytes.
  const size_t instrument = pattern + 9 + packed;
  put16(instrument + 29, 44);
  const size_t samples = instrument + kInstrumentHeaderSize;
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(samples + 40 + 40), 4, 0xEE);
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(samples + 40), 4, 0xEE);

  Song back;
  ASSERT_TRUE(readXm(bytes.data(), bytes.size(), back));
  ASSERT_EQ(back.instruments.size(), 1u);
  EXPECT_EQ(back.instruments[0].name, "padded");
  ASSERT_EQ(back.instruments[0].samples.size(), 2u);
  EXPECT_EQ(back.instruments[0].samples[1].name, "two");
  EXPECT_EQ(back.instruments[0].samples[1].data, inst.samples[1].data);
}

TEST(XmReader, AShortFileKeepsTheBytesThatAreThereAndLimitsAreKept) {
  Song s;
  s.channels = 2;
  s.patterns.push_back(Pattern{4, {}});
  Sample& smp = s.instruments.emplace_back().samples.emplace_back();
  smp.length = 10;
  smp.data = deltaCode8({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  const std::vector<uint8_t> whole = writeXm(s);
  ASSERT_GT(whole.size(), 4u);
  std::vector<uint8_t> bytes(whole.begin(), whole.end() - 4);  // the file cut inside the sample's data
  Song back;
  ASSERT_TRUE(readXm(bytes.data(), bytes.size(), back));
  ASSERT_EQ(back.instruments.size(), 1u);
  EXPECT_EQ(back.instruments[0].samples[0].length, 10u);
  EXPECT_EQ(back.instruments[0].samples[0].data, std::vector<uint8_t>(smp.data.begin(), smp.data.begin() + 6));

  ReadLimits limits;
  limits.channels = 1;
  EXPECT_FALSE(readXm(bytes.data(), bytes.size(), back, limits));
  limits = ReadLimits{};
  limits.rows = 3;
  EXPECT_FALSE(readXm(bytes.data(), bytes.size(), back, limits));
  limits = ReadLimits{};
  limits.instruments = 0;
  EXPECT_FALSE(readXm(bytes.data(), bytes.size(), back, limits));

  bytes[0] = 'e';  // not the tag
  EXPECT_FALSE(readXm(bytes.data(), bytes.size(), back));
  EXPECT_FALSE(readXm(bytes.data(), 100, back));
}

}  // namespace
}  // namespace xmw
