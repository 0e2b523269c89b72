// Loader: cell packing, key off and instrument limits, missing patterns,
// sample decoding and loop guards, repairs and rejection of malformed input.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/xm/xm_builder.h"
#include "xm/loader.h"
#include "xm/module_file_ops.h"

namespace {

using xm::XmCell;
using xmtest::Module;

std::unique_ptr<xm::XmSong> load(const std::vector<uint8_t>& bytes) {
  return xm::loadSongFromMemory(bytes.data(), static_cast<int64_t>(bytes.size()));
}

// Offset of the first pattern's header in a builder module (60 + 276).
constexpr size_t kFirstPattern = 336;

TEST(XmLoader, DecodesMaskedAndFullCells) {
  Module m;
  m.channels = 2;
  m.patterns[0].rows = 1;
  std::vector<uint8_t> bytes = m.bytes();
  // Replace the pattern's packed data by hand-written bytes:
  //   channel 0: full cell  note 49, instrument 1, volume 0x40, effect C, parameter 0x20
  //   channel 1: mask 0x89: note 13 and effect 4 only
  const std::vector<uint8_t> packed = {49, 1, 0x40, 0x0C, 0x20, 0x89, 13, 0x04};
  bytes.resize(kFirstPattern + 9);
  bytes[kFirstPattern + 7] = static_cast<uint8_t>(packed.size());
  bytes.insert(bytes.end(), packed.begin(), packed.end());
  auto song = load(bytes);
  ASSERT_TRUE(song);
  const XmCell* a = song->cell(0, 0, 0);
  const XmCell* b = song->cell(0, 0, 1);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->note, 49);
  EXPECT_EQ(a->instrument, 1);
  EXPECT_EQ(a->volume, 0x40);
  EXPECT_EQ(a->effect, 0x0C);
  EXPECT_EQ(a->parameter, 0x20);
  EXPECT_EQ(b->note, 13);
  EXPECT_EQ(b->instrument, 0);
  EXPECT_EQ(b->volume, 0);
  EXPECT_EQ(b->effect, 4);
  EXPECT_EQ(b->parameter, 0);
}

TEST(XmLoader, KeyOffAndInstrumentLimits) {
  Module m;
  m.channels = 4;
  m.patterns[0].rows = 1;
  // note, instrument as written  ->  as stored
  m.cell(0, 0, 0) = {97, 1, 0, 0, 0};    // key off            -> 255, 1
  m.cell(0, 0, 1) = {10, 129, 0, 0, 0};  // instrument > 128   -> 10, 0
  m.cell(0, 0, 2) = {98, 128, 0, 0, 0};  // note beyond 97     -> 0, 128
  m.cell(0, 0, 3) = {96, 255, 0, 0, 0};  // highest note       -> 96, 0
  auto song = load(m.bytes());
  ASSERT_TRUE(song);
  const int expected[4][2] = {{255, 1}, {10, 0}, {0, 128}, {96, 0}};
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(song->cell(0, 0, c)->note, expected[c][0]) << "channel " << c;
    EXPECT_EQ(song->cell(0, 0, c)->instrument, expected[c][1]) << "channel " << c;
  }
}

TEST(XmLoader, MissingPatternsPlayAs64EmptyRows) {
  Module m;
  m.channels = 3;
  m.patterns[0].rows = 16;
  m.orders = {0, 4, 2};  // patterns 2 and 4 are named but not in the file
  auto song = load(m.bytes());
  ASSERT_TRUE(song);
  EXPECT_EQ(song->usedPatternCount, 5);
  EXPECT_EQ(song->patternSlots, 5);
  EXPECT_EQ(song->patterns[0].rowCount, 16u);
  for (int p = 1; p < 5; ++p) {
    EXPECT_EQ(song->patterns[static_cast<size_t>(p)].rowCount, 64u) << p;
    EXPECT_EQ(song->patterns[static_cast<size_t>(p)].cells.size(), 64u * 3u) << p;
  }
  EXPECT_EQ(song->cell(4, 63, 2)->note, 0);
}

TEST(XmLoader, EightAndSixteenBitSamplesDecodeToTheSameScale) {
  // Waveform values (8-bit ones are the high byte of these).
  const std::vector<int16_t> wave = {0, 10 << 8, -20 << 8, 127 << 8, -128 << 8, 1 << 8, 0};
  xmtest::Sample s8, s16;
  s8.pcm = s16.pcm = wave;
  s8.sixteenBit = false;
  Module m;
  xmtest::Instrument in;
  in.samples = {s8, s16};
  m.instruments.push_back(in);
  auto song = load(m.bytes());
  ASSERT_TRUE(song);
  const xm::XmInstrument& inst = song->instruments[0];
  ASSERT_EQ(inst.sampleCount, 2u);
  for (const xm::XmSample* s : {inst.samples[0], inst.samples[1]}) {
    EXPECT_EQ(s->bits, 16);
    ASSERT_EQ(s->length, wave.size());
    EXPECT_EQ(s->data.size(), wave.size() + xm::kSampleGuard);
    for (size_t i = 0; i < wave.size(); ++i) EXPECT_EQ(s->data[i], wave[i]) << i;
  }
  // 16-bit deltas wrap: 32767 followed by -32768 is a delta of +1.
  xmtest::Sample wrap;
  wrap.pcm = {32767, -32768, 32767};
  Module w;
  w.instruments.push_back(xmtest::simpleInstrument(wrap));
  auto wrapped = load(w.bytes());
  ASSERT_TRUE(wrapped);
  EXPECT_EQ(wrapped->instruments[0].samples[0]->data[1], -32768);
  EXPECT_EQ(wrapped->instruments[0].samples[0]->data[2], 32767);
}

TEST(XmLoader, LoopGuardsAndOneShots) {
  // pcm 100, 200, ..., 800; loop over samples 2..5.
  xmtest::Sample base;
  for (int i = 1; i <= 8; ++i) base.pcm.push_back(static_cast<int16_t>(i * 100));
  base.loopStart = 2;
  base.loopLength = 4;
  xmtest::Sample forward = base, pingPong = base, zeroLoop = base, eightBit = base;
  forward.loopType = 1;
  pingPong.loopType = 3;  // both bits: ping-pong
  zeroLoop.loopType = 1;
  zeroLoop.loopLength = 0;
  eightBit.loopType = 1;
  eightBit.sixteenBit = false;
  for (int16_t& v : eightBit.pcm) v = static_cast<int16_t>(v / 100 << 8);
  Module m;
  xmtest::Instrument in;
  in.samples = {forward, pingPong, zeroLoop, eightBit};
  m.instruments.push_back(in);
  auto song = load(m.bytes());
  ASSERT_TRUE(song);
  const auto& s = song->instruments[0].samples;
  // sample      mode  start length  guard at [6]
  // forward       2     2     4      data[2] = 300
  // ping-pong     4     2     4      data[5] = 600
  // loop len 0    1     0     8      (no guard: 700 stays)
  // 8-bit fwd     2     2     4      data[2] = 3 << 8
  EXPECT_EQ(s[0]->loopMode, xm::kLoopForward);
  EXPECT_EQ(s[0]->loopStart, 2u);
  EXPECT_EQ(s[0]->loopLength, 4u);
  EXPECT_EQ(s[0]->data[6], 300);
  EXPECT_EQ(s[1]->loopMode, xm::kLoopPingPong);
  EXPECT_EQ(s[1]->data[6], 600);
  EXPECT_EQ(s[2]->loopMode, xm::kLoopNone);
  EXPECT_EQ(s[2]->loopStart, 0u);
  EXPECT_EQ(s[2]->loopLength, 8u);
  EXPECT_EQ(s[2]->data[6], 700);
  EXPECT_EQ(s[3]->loopStart, 2u);
  EXPECT_EQ(s[3]->loopLength, 4u);
  EXPECT_EQ(s[3]->data[6], 3 << 8);
  // After the ping-pong loop's guard the elements are zero.
  EXPECT_EQ(s[1]->copiesEnd, 0u);
  EXPECT_EQ(s[1]->data.size(), 16u);
  EXPECT_EQ(s[1]->data[8], 0);
  EXPECT_EQ(s[1]->data[15], 0);
  // The short forward loops run on as copies of the loop (300 400 500 600
  // again and again), the guard after them included.
  for (int k : {0, 3}) {
    const xm::XmSample& f = *s[static_cast<size_t>(k)];
    EXPECT_EQ(f.copiesEnd, 6u + 4u * 512u) << k;
    ASSERT_EQ(f.data.size(), f.copiesEnd + 8u) << k;
    for (size_t i = 6; i < f.data.size(); ++i) ASSERT_EQ(f.data[i], f.data[2 + (i - 2) % 4]) << k << " " << i;
  }
  EXPECT_EQ(s[2]->copiesEnd, 0u);  // no loop
}

TEST(XmLoader, InstrumentFieldsAndEnvelopeRepairs) {
  xmtest::Instrument in = xmtest::simpleInstrument(xmtest::dcSample(1000, 8));
  in.fadeout = 0x300;
  in.volume.points = {{0, 64}};  // one point: the envelope cannot run
  in.volume.type = 1;
  in.panning.points = {{0, 32}, {10, 90}, {20, 0}};  // 90 is above the 0..64 range
  in.panning.type = 7;
  in.panning.sustain = 5;  // no such point
  in.panning.loopStart = 1;
  in.panning.loopEnd = 2;
  in.sampleForNote[40] = 3;
  Module m;
  m.instruments.push_back(in);
  m.instruments.push_back(xmtest::Instrument{});  // no samples
  auto song = load(m.bytes());
  ASSERT_TRUE(song);
  const xm::XmInstrument& a = song->instruments[0];
  EXPECT_EQ(a.fadeout, 0x600);
  EXPECT_EQ(a.volumeType, 0);
  EXPECT_EQ(a.panningType, xm::kEnvelopeOn | xm::kEnvelopeLoop);  // sustain bit dropped
  EXPECT_EQ(a.panningEnvelope[1].value, 64);
  EXPECT_EQ(a.panningEnvelope[1].tick, 10);
  EXPECT_EQ(a.sampleForNote[40], 3);
  EXPECT_EQ(a.samples[3], &song->emptySample);  // beyond the sample count
  const xm::XmInstrument& b = song->instruments[1];
  EXPECT_EQ(b.sampleCount, 0u);
  for (const xm::XmSample* s : b.samples) EXPECT_EQ(s, &song->emptySample);
}

TEST(XmLoader, LoopsPastTheSampleEndAreCut) {
  xmtest::Sample s;
  s.pcm.assign(10, 500);
  s.loopType = 1;
  s.loopStart = 6;
  s.loopLength = 100;  // reaches far past the 10 samples
  xmtest::Sample late = s;
  late.loopStart = 40;  // starts past the end
  Module m;
  xmtest::Instrument in;
  in.samples = {s, late};
  m.instruments.push_back(in);
  auto song = load(m.bytes());
  ASSERT_TRUE(song);
  const auto& a = *song->instruments[0].samples[0];
  const auto& b = *song->instruments[0].samples[1];
  EXPECT_EQ(a.loopStart, 6u);
  EXPECT_EQ(a.loopLength, 4u);
  EXPECT_EQ(a.loopMode, xm::kLoopForward);
  EXPECT_EQ(b.loopMode, xm::kLoopNone);
  EXPECT_EQ(b.loopLength, 10u);
}

TEST(XmLoader, HeaderFieldsAndRepairs) {
  Module m;
  m.channels = 5;
  m.flags = 0;
  m.speed = 3;
  m.bpm = 0;  // no tempo: would make an endless tick
  m.orders = {0, 0, 0};
  m.restart = 7;  // past the song's end
  auto song = load(m.bytes());
  ASSERT_TRUE(song);
  EXPECT_EQ(song->channelCount, 5);
  EXPECT_FALSE(song->linearTable());
  EXPECT_EQ(song->defaultSpeed, 3);
  EXPECT_EQ(song->defaultBpm, 125);
  EXPECT_EQ(song->songLength, 3);
  EXPECT_EQ(song->restartPosition, 0);
  EXPECT_EQ(song->defaultGlobalVolume, 64);
}

TEST(XmLoader, RejectsMalformedModules) {
  Module good;
  good.instruments.push_back(xmtest::simpleInstrument(xmtest::dcSample(100)));
  const std::vector<uint8_t> base = good.bytes();
  ASSERT_TRUE(load(base));
  auto with = [&](size_t at, uint16_t value) {
    std::vector<uint8_t> b = base;
    b[at] = static_cast<uint8_t>(value);
    b[at + 1] = static_cast<uint8_t>(value >> 8);
    return b;
  };
  // Header fields: 64 song length, 68 channels, 70 patterns, 72 instruments;
  // 341 the first pattern's row count; 336 + 9 + 64 + 27 the instrument's sample count.
  const size_t sampleCountAt = kFirstPattern + 9 + 64 + 27;
  struct Case {
    const char* what;
    size_t at;
    uint16_t value;
  };
  const Case cases[] = {
      {"no channels", 68, 0},          {"33 channels", 68, 33},
      {"empty song", 64, 0},           {"257 orders", 64, 257},
      {"300 patterns", 70, 300},       {"200 instruments", 72, 200},
      {"257 rows", kFirstPattern + 5, 257}, {"17 samples", sampleCountAt, 17},
  };
  for (const Case& c : cases) EXPECT_FALSE(load(with(c.at, c.value))) << c.what;
  std::vector<uint8_t> signature = base;
  signature[16] = '_';  // "Extended Module:_"
  EXPECT_FALSE(load(signature));
  EXPECT_FALSE(xm::loadSongFromMemory(nullptr, 0));
  EXPECT_FALSE(xm::loadSongFromMemory(base.data(), 16));
}

TEST(XmLoader, TruncatedModulesLoadSafely) {
  // Short data reads as zeros: every prefix past the signature either loads
  // or is rejected, and what loads has consistent sizes.
  Module m;
  m.channels = 2;
  m.cell(0, 3, 1) = {49, 1, 0, 0, 0};
  xmtest::Sample s = xmtest::dcSample(1200, 300);
  s.loopStart = 100;
  s.loopLength = 150;
  m.instruments.push_back(xmtest::simpleInstrument(s));
  const std::vector<uint8_t> bytes = m.bytes();
  for (size_t n = 17; n <= bytes.size(); n += 7) {
    auto song = xm::loadSongFromMemory(bytes.data(), static_cast<int64_t>(n));
    if (!song) continue;
    for (const xm::XmPattern& p : song->patterns) {
      EXPECT_EQ(p.cells.size(), p.rowCount * static_cast<size_t>(song->channelCount));
    }
    for (const xm::XmInstrument& in : song->instruments) {
      for (const xm::XmSample* smp : in.samples) {
        ASSERT_NE(smp, nullptr);
        EXPECT_LE(static_cast<uint64_t>(smp->loopStart) + smp->loopLength, smp->length) << n;
        const size_t end = std::max<size_t>(smp->length, smp->copiesEnd);
        EXPECT_EQ(smp->data.size(), smp->length == 0 && smp == &song->emptySample ? 0u : end + 8u) << n;
        if (smp->copiesEnd != 0) {
          EXPECT_EQ(smp->loopMode, xm::kLoopForward) << n;
        }
      }
    }
  }
}

TEST(XmLoader, MemoryFileOps) {
  const uint8_t data[] = {1, 2, 3, 4, 5};
  xm::MemoryBlock block{data, 5};
  xm::ModuleFileOps ops;
  xm::installFileOps(ops, xm::memoryFileOps(&block));
  ASSERT_TRUE(ops.installed());
  void* h = ops.open("ignored", ops.context);
  uint8_t out[8] = {};
  EXPECT_EQ(ops.read(out, 3, h), 3);
  EXPECT_EQ(out[2], 3);
  EXPECT_EQ(ops.read(out, 8, h), 2);  // only what is left
  EXPECT_EQ(ops.tell(h), 5);
  ops.seek(h, 100, xm::kSeekSet);  // beyond the end: lowered to the size
  EXPECT_EQ(ops.tell(h), 5);
  ops.seek(h, -2, xm::kSeekEnd);
  EXPECT_EQ(ops.tell(h), 3);
  ops.seek(h, -1, xm::kSeekCurrent);
  EXPECT_EQ(ops.tell(h), 2);
  ops.close(h);
  // A table with an operation missing clears all five.
  xm::ModuleFileOps partial = xm::memoryFileOps(&block);
  partial.tell = nullptr;
  xm::installFileOps(ops, partial);
  EXPECT_FALSE(ops.installed());
  EXPECT_EQ(ops.open, nullptr);
}

}  // namespace
