// Mixer: resampling steps, panning, gain ramps, voice pairing on retrigger,
// forward and ping-pong loops over long runs, one-shots, interpolation,
// clipping and rounding, the tick/mix interleaving of a block, and voices
// far faster than any note over samples far longer than any real one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/xm/xm_builder.h"
#include "xm/loader.h"
#include "xm/mixer.h"
#include "xm/offline_renderer.h"
#include "xm/sequencer.h"

namespace {

xm::XmSample makeSample(std::vector<int16_t> pcm, uint8_t mode, uint32_t loopStart = 0, uint32_t loopLength = 0) {
  xm::XmSample s;
  s.length = static_cast<uint32_t>(pcm.size());
  s.loopMode = mode;
  s.loopStart = mode == xm::kLoopNone ? 0 : loopStart;
  s.loopLength = mode == xm::kLoopNone ? s.length : loopLength;
  s.bits = 16;
  s.data = pcm;
  s.data.resize(pcm.size() + xm::kSampleGuard, 0);
  const uint32_t end = s.loopStart + s.loopLength;
  if (mode == xm::kLoopForward) s.data[end] = s.data[s.loopStart];
  if (mode == xm::kLoopPingPong) s.data[end] = s.data[end - 1];
  return s;
}

// A voice playing `s` at `frequency` with settled gains (no ramp pending).
xm::MixVoice settledVoice(const xm::XmSample& s, int32_t frequency, int32_t volume, int32_t panning) {
  xm::MixVoice v;
  v.sample = &s;
  v.volume = volume;
  v.panning = panning;
  xm::setVoiceGains(v);
  xm::setVoiceFrequency(v, frequency);
  v.lastLeftGain = v.leftGain;
  v.lastRightGain = v.rightGain;
  v.rampLeft = v.leftGain * 256;
  v.rampRight = v.rightGain * 256;
  return v;
}

std::vector<float> mix(xm::MixVoice* voices, int count, int frames) {
  std::vector<float> out(static_cast<size_t>(2 * frames), 0.0f);
  xm::mixVoices(voices, count, out.data(), frames);
  return out;
}

TEST(XmMixer, StepFromFrequency) {
  struct Case {
    int32_t hz;
    uint32_t integer, fraction;
  };
  const Case cases[] = {
      {44100, 1, 0},                                                   // one sample per frame
      {22050, 0, 0x80000000u},                                         // half
      {88200, 2, 0},                                                   // low word 2: 2 / 44100 -> 0
      {50, 0, static_cast<uint32_t>((100ull << 32) / 44100)},          // raised to 100 Hz
      {8363, 0, static_cast<uint32_t>((8363ull << 32) / 44100)},
      {50000, 1, static_cast<uint32_t>(((5900ull << 32) + 1) / 44100)},
  };
  for (const Case& c : cases) {
    xm::MixVoice v;
    xm::setVoiceFrequency(v, c.hz);
    EXPECT_EQ(v.stepInteger, c.integer) << c.hz;
    EXPECT_EQ(v.stepFraction, c.fraction) << c.hz;
  }
}

TEST(XmMixer, PanningSplitsTheGains) {
  // panning -> left, right gain at volume 127
  const int table[][3] = {{0, 127, 0}, {255, 0, 127}, {128, 63, 63}, {64, 95, 31}};
  const xm::XmSample s = makeSample(std::vector<int16_t>(64, 10000), xm::kLoopForward, 0, 64);
  for (const auto& row : table) {
    xm::MixVoice v = settledVoice(s, 44100, 127, row[0]);
    EXPECT_EQ(v.leftGain, row[1]) << row[0];
    EXPECT_EQ(v.rightGain, row[2]) << row[0];
    const std::vector<float> out = mix(&v, 1, 4);
    EXPECT_FLOAT_EQ(out[2], 10000.0f * static_cast<float>(row[1]) / 255.0f) << row[0];
    EXPECT_FLOAT_EQ(out[3], 10000.0f * static_cast<float>(row[2]) / 255.0f) << row[0];
  }
}

TEST(XmMixer, NewNotesRampInOver128Frames) {
  const xm::XmSample s = makeSample(std::vector<int16_t>(64, 10000), xm::kLoopForward, 0, 64);
  xm::MixVoice v = settledVoice(s, 44100, 255, 0);  // left gain 255
  v.rampLeft = v.rampRight = 0;                     // as triggerVoice leaves it
  v.rampFrames = 0;
  const std::vector<float> out = mix(&v, 1, 200);
  // frame -> left output: 10000 x frame / 128 during the ramp, then 10000
  const std::pair<int, float> table[] = {{0, 0.0f}, {32, 2500.0f}, {64, 5000.0f}, {127, 9921.875f}, {128, 10000.0f},
                                         {199, 10000.0f}};
  for (auto [frame, expected] : table) EXPECT_NEAR(out[static_cast<size_t>(2 * frame)], expected, 0.5f) << frame;
  for (int f = 0; f < 200; ++f) EXPECT_EQ(out[static_cast<size_t>(2 * f + 1)], 0.0f);
  EXPECT_EQ(v.rampFrames, 0);
  EXPECT_EQ(v.rampLeft, 255 * 256);
}

TEST(XmMixer, RetriggerMovesToThePartnerVoiceAndRampsTheOldNoteOut) {
  const xm::XmSample s = makeSample(std::vector<int16_t>(64, 10000), xm::kLoopForward, 0, 64);
  xm::XmPlayback pb;
  for (int i = 0; i < xm::kVoiceCount; ++i) pb.voices[static_cast<size_t>(i)].index = i;
  xm::XmChannel ch;
  ch.voice = 5;
  xm::triggerVoice(pb, ch, &s);
  EXPECT_EQ(ch.voice, 5);  // idle voice: used as it is
  xm::MixVoice& first = pb.voices[5];
  first.volume = 255;
  first.panning = 0;
  xm::setVoiceGains(first);
  xm::setVoiceFrequency(first, 44100);
  mix(&first, 1, 300);  // ramped in and settled
  xm::triggerVoice(pb, ch, &s);
  EXPECT_EQ(ch.voice, 37);  // the partner takes the new note
  const xm::MixVoice& partner = pb.voices[37];
  EXPECT_EQ(partner.index, 37);
  EXPECT_EQ(partner.sample, &s);
  EXPECT_EQ(partner.position, 0u);
  EXPECT_EQ(partner.rampLeft, 0);  // ramps in from silence
  EXPECT_EQ(first.sample, &s);     // the old note still plays ...
  EXPECT_EQ(first.leftGain, 0);    // ... toward silence
  const std::vector<float> out = mix(&first, 1, 200);
  EXPECT_NEAR(out[0], 10000.0f, 1.0f);
  EXPECT_NEAR(out[2 * 64], 5000.0f, 1.0f);
  for (int f = 128; f < 200; ++f) EXPECT_EQ(out[static_cast<size_t>(2 * f)], 0.0f) << f;
  xm::triggerVoice(pb, ch, &s);
  EXPECT_EQ(ch.voice, 5);  // and back again
  // A pending sample offset moves with the channel; one beyond the loop end is ignored.
  pb.voices[5].pendingOffset = 10;
  xm::triggerVoice(pb, ch, &s);
  EXPECT_EQ(pb.voices[37].position, 10u);
  pb.voices[37].pendingOffset = 64;
  xm::triggerVoice(pb, ch, &s);
  EXPECT_EQ(pb.voices[5].position, 0u);
}

// Exact 32.32 position after `frames` frames of a looping voice started at 0.
struct Expected {
  uint64_t p;
  int32_t direction;
};
Expected unfolded(const xm::XmSample& s, uint64_t step, uint64_t frames) {
  const uint64_t t = step * frames;
  const uint64_t ls = static_cast<uint64_t>(s.loopStart) << 32;
  const uint64_t ll = static_cast<uint64_t>(s.loopLength) << 32;
  const uint64_t e = ls + ll;
  if (t < e) return {t, xm::kForward};
  if (s.loopMode == xm::kLoopForward) return {ls + (t - e) % ll, xm::kForward};
  const uint64_t u = (t - e) % (2 * ll);
  if (u < ll) return {e - 1 - u, xm::kBackward};  // mirrored at the end
  return {ls + (u - ll), xm::kForward};           // and again at the start
}

void longRun(uint8_t mode, int32_t frequency) {
  std::vector<int16_t> pcm;
  for (int i = 0; i < 10; ++i) pcm.push_back(static_cast<int16_t>(i * 100));
  const xm::XmSample s = makeSample(pcm, mode, 4, 6);
  xm::MixVoice v = settledVoice(s, frequency, 64, 128);
  const uint64_t step = (static_cast<uint64_t>(v.stepInteger) << 32) | v.stepFraction;
  std::vector<float> out(2 * xm::kBlockFrames);
  uint64_t frames = 0;
  for (int block = 0; block < 1200; ++block) {  // about 24 s
    xm::mixVoices(&v, 1, out.data(), xm::kBlockFrames);
    frames += xm::kBlockFrames;
    for (float sample : out) ASSERT_TRUE(std::isfinite(sample));
    if (block % 100 == 99) {
      const Expected e = unfolded(s, step, frames);
      const uint64_t p = (static_cast<uint64_t>(v.position) << 32) | v.fraction;
      ASSERT_EQ(p, e.p) << "frame " << frames << " at " << frequency << " Hz";
      ASSERT_EQ(v.direction, e.direction) << "frame " << frames;
      ASSERT_GE(v.position, 4u);
      ASSERT_LT(v.position, 10u);
    }
  }
}

TEST(XmMixer, ForwardLoopStaysExactOverLongRuns) {
  for (int32_t hz : {44100, 30011, 8363, 123457, 100}) longRun(xm::kLoopForward, hz);
}

TEST(XmMixer, PingPongLoopStaysExactOverLongRuns) {
  for (int32_t hz : {44100, 30011, 8363, 123457, 100, 1000000}) longRun(xm::kLoopPingPong, hz);
}

TEST(XmMixer, PingPongPlaysBackAndForth) {
  std::vector<int16_t> pcm;
  for (int i = 0; i < 6; ++i) pcm.push_back(static_cast<int16_t>(i * 1000));
  const xm::XmSample s = makeSample(pcm, xm::kLoopPingPong, 2, 4);  // loop over 2000..5000
  xm::MixVoice v = settledVoice(s, 44100, 255, 0);
  const std::vector<float> out = mix(&v, 1, 16);
  // One sample per frame: up to the end, then back down. Mirrored positions
  // lie just below whole samples (5.999.., 4.999..), so the way back reads
  // each value's upper neighbour, the first one being the guard copy of 5000.
  const float expected[] = {0, 1000, 2000, 3000, 4000, 5000, 5000, 5000, 4000, 3000, 2000, 3000, 4000, 5000, 5000, 5000};
  for (int f = 0; f < 16; ++f) EXPECT_NEAR(out[static_cast<size_t>(2 * f)], expected[f], 0.5f) << f;
}

TEST(XmMixer, OneShotFreesItsVoiceAtTheEnd) {
  const xm::XmSample s = makeSample(std::vector<int16_t>(100, 5000), xm::kLoopNone);
  xm::MixVoice v = settledVoice(s, 44100, 255, 255);
  const std::vector<float> out = mix(&v, 1, 150);
  EXPECT_EQ(v.sample, nullptr);
  EXPECT_EQ(v.position, 0u);
  EXPECT_NEAR(out[2 * 99 + 1], 5000.0f, 0.01f);
  for (int f = 100; f < 150; ++f) EXPECT_EQ(out[static_cast<size_t>(2 * f + 1)], 0.0f) << f;
  // The empty sample ends at once.
  xm::XmSample empty;
  xm::MixVoice e = settledVoice(empty, 44100, 255, 255);
  mix(&e, 1, 10);
  EXPECT_EQ(e.sample, nullptr);
}

TEST(XmMixer, LinearInterpolation) {
  const xm::XmSample s = makeSample({0, 1000, 3000, 3000}, xm::kLoopNone);
  xm::MixVoice v = settledVoice(s, 22050, 255, 0);  // half a sample per frame
  const std::vector<float> out = mix(&v, 1, 8);
  const float expected[] = {0, 500, 1000, 2000, 3000, 3000, 3000, 1500};  // last: toward the zero after the data
  for (int f = 0; f < 8; ++f) EXPECT_NEAR(out[static_cast<size_t>(2 * f)], expected[f], 0.01f) << f;
}

TEST(XmMixer, ConversionRoundsHalfToEvenAndClips) {
  // float -> int16
  const std::pair<float, int> table[] = {{0.5f, 0},      {1.5f, 2},         {2.5f, 2},       {-0.5f, 0},
                                         {-1.5f, -2},    {-2.5f, -2},       {0.49f, 0},      {1000.7f, 1001},
                                         {32767.4f, 32767}, {32767.6f, 32767}, {40000, 32767}, {-32768.6f, -32768},
                                         {-90000, -32768}, {NAN, -32768}};
  for (auto [in, out] : table) EXPECT_EQ(xm::convertSample(in), out) << in;
  // Whole blocks convert the same way (in groups of eight and one by one).
  std::vector<float> block;
  for (int repeat = 0; repeat < 3; ++repeat) {
    for (auto [in, out] : table) block.push_back(in);
  }
  std::vector<int16_t> pcm(block.size());
  xm::convertBlock(block.data(), pcm.data(), static_cast<int32_t>(block.size() / 2));
  for (size_t i = 0; i < block.size(); ++i) EXPECT_EQ(pcm[i], xm::convertSample(block[i])) << block[i];
}

TEST(XmMixer, LoudMixesClipPerSample) {
  const xm::XmSample s = makeSample(std::vector<int16_t>(64, 30000), xm::kLoopForward, 0, 64);
  const xm::XmSample n = makeSample(std::vector<int16_t>(64, -30000), xm::kLoopForward, 0, 64);
  xm::MixVoice voices[3] = {settledVoice(s, 44100, 255, 0), settledVoice(s, 44100, 255, 0),
                            settledVoice(n, 44100, 255, 255)};
  std::vector<float> out = mix(voices, 3, 4);
  std::vector<int16_t> pcm(8);
  xm::convertBlock(out.data(), pcm.data(), 4);
  for (int f = 0; f < 4; ++f) {
    EXPECT_EQ(pcm[static_cast<size_t>(2 * f)], 32767);
    EXPECT_EQ(pcm[static_cast<size_t>(2 * f + 1)], -30000);
  }
}

TEST(XmMixer, BlocksInterleaveTicksAndMixing) {
  xmtest::Module m;
  m.speed = 1;
  m.patterns[0].rows = 8;
  m.instruments.push_back(xmtest::simpleInstrument(xmtest::dcSample(8000)));
  m.cell(0, 0, 0) = {49, 1, 0, 0, 0};
  const std::vector<uint8_t> bytes = m.bytes();
  auto song = xm::loadSongFromMemory(bytes.data(), static_cast<int64_t>(bytes.size()));
  ASSERT_TRUE(song);
  xm::XmPlayback pb;
  pb.song = song.get();
  xm::resetPlayback(pb);
  std::vector<float> block(2 * xm::kBlockFrames);
  // 882 frames per tick, 884 per block: ticks at frames 0 and 882 of block 0,
  // then 1764 (block 1, offset 880), 2646 (block 2, offset 878), ...
  xm::mixBlock(pb, block.data());
  EXPECT_EQ(pb.position.row, 1);
  EXPECT_EQ(pb.position.samplesToNextTick, 880);
  xm::mixBlock(pb, block.data());
  EXPECT_EQ(pb.position.row, 2);
  EXPECT_EQ(pb.position.samplesToNextTick, 878);
  // The note sounds: the voice has been mixed for 1768 frames.
  EXPECT_EQ(pb.voices[0].sample, song->instruments[0].samples[0]);
  EXPECT_NE(block[2 * 500], 0.0f);
}

// A silent one-shot sample longer than 2^24 frames whose vector keeps loud
// values in its spare capacity: a read past the data (and its guard) would
// pick them up and sound, where the checked build aborts instead.
xm::XmSample longSilentSample(uint32_t length, size_t spare) {
  xm::XmSample s;
  s.length = length;
  s.loopMode = xm::kLoopNone;
  s.loopStart = 0;
  s.loopLength = length;
  s.bits = 16;
  s.data.assign(length + xm::kSampleGuard + spare, 20000);
  s.data.resize(length + xm::kSampleGuard);
  std::fill(s.data.begin(), s.data.end(), int16_t{0});
  return s;
}

TEST(XmMixer, HugeStepsStopAtTheEndOfLongSamples) {
  // 20000 frames per output frame: a block moves 17.7 million frames, past
  // the end of a sample of 2^24 + 1000 frames. Forward one-shot, then a
  // forward loop and a ping-pong loop over the whole sample, and the same
  // starting near the end.
  constexpr uint32_t kLength = (1u << 24) + 1000;
  xm::XmSample s = longSilentSample(kLength, 2u << 20);
  for (uint8_t mode : {xm::kLoopNone, xm::kLoopForward, xm::kLoopPingPong}) {
    for (uint32_t start : {0u, kLength - 3}) {
      s.loopMode = mode;
      xm::MixVoice v = settledVoice(s, 20000 * 44100, 255, 128);
      v.position = start;
      const std::vector<float> out = mix(&v, 1, xm::kBlockFrames);
      for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], 0.0f) << "mode " << int(mode) << " frame " << i / 2;
      if (mode == xm::kLoopNone) {
        EXPECT_EQ(v.sample, nullptr);
      } else {
        ASSERT_EQ(v.sample, &s);
        EXPECT_LT(v.position, kLength);
      }
    }
  }
}

TEST(XmMixer, HugeStepVoiceOverASilentSampleIsSilent) {
  // C-0 with relative note -1: the real note wraps to 255, whose frequency
  // on the linear table is above a gigahertz (29559 frames per output
  // frame). The sample is silent and 2^24 + 2^22 frames long, so that after
  // the 128-frame ramp-in the end is still more than 2^24 frames away but
  // within the block's reach; the whole song must render digital silence
  // (and the checked build proves no read leaves the sample).
  xmtest::Sample silent;
  silent.pcm.assign((1u << 24) + (1u << 22), 0);
  silent.sixteenBit = false;
  silent.relativeNote = -1;
  xmtest::Module m;
  m.patterns[0].rows = 4;
  m.instruments.push_back(xmtest::simpleInstrument(silent));
  m.cell(0, 0, 0) = {1, 1, 0, 0, 0};
  m.cell(0, 2, 0) = {1, 1, 0, 0, 0};
  const std::vector<uint8_t> bytes = m.bytes();
  xm::OfflineRenderer renderer;
  ASSERT_TRUE(renderer.load(bytes.data(), static_cast<int64_t>(bytes.size())));
  std::vector<int16_t> block(2 * xm::kBlockFrames);
  for (int b = 0; b < 40; ++b) {
    renderer.renderBlock(block.data());
    for (size_t i = 0; i < block.size(); ++i) ASSERT_EQ(block[i], 0) << "block " << b << " sample " << i;
  }
  EXPECT_EQ(renderer.playback().channels[0].realNote, 255);
}

// Renders `blocks` blocks of a module from its start.
std::vector<float> render(xm::OfflineRenderer& r, int blocks) {
  std::vector<float> out;
  std::vector<float> block(2 * xm::kBlockFrames);
  for (int b = 0; b < blocks; ++b) {
    r.renderBlockFloat(block.data());
    out.insert(out.end(), block.begin(), block.end());
  }
  return out;
}

TEST(XmRendered, KeyOffOnTickFourSoundsFourTicksThenStops) {
  // Speed 6, 882 frames per tick, an instrument without volume envelope:
  // K04 lets the note sound through ticks 0..3 and ramps it out over the
  // 128 frames from tick 4; after that the output is digital silence.
  xmtest::Module m;
  m.speed = 6;
  m.patterns[0].rows = 2;
  m.instruments.push_back(xmtest::simpleInstrument(xmtest::dcSample(8000)));
  m.cell(0, 0, 0) = {49, 1, 0, xm::kEffectKeyOff, 4};
  const std::vector<uint8_t> bytes = m.bytes();
  xm::OfflineRenderer r;
  ASSERT_TRUE(r.load(bytes.data(), static_cast<int64_t>(bytes.size())));
  std::vector<int16_t> out;
  std::vector<int16_t> block(2 * xm::kBlockFrames);
  for (int b = 0; b < 12; ++b) {
    r.renderBlock(block.data());
    out.insert(out.end(), block.begin(), block.end());
  }
  const size_t cut = 4 * 882;
  for (size_t f = 128; f < cut; ++f) ASSERT_GT(out[2 * f], 1000) << f;
  for (size_t f = cut + 128; f < 12 * 882; ++f) ASSERT_EQ(out[2 * f], 0) << f;
}

TEST(XmRendered, FinetuneOnOneChannelLeavesTheOtherAndTheNextPlay) {
  // Channel 0 plays C-4 with E5F, channel 1 the same sample a row later.
  // Channel 1 must sound exactly as it does without the E5F, and a second
  // play from the start exactly like the first.
  auto module = [](bool finetune) {
    xmtest::Module m;
    m.channels = 2;
    m.speed = 3;
    m.patterns[0].rows = 4;
    std::vector<int16_t> saw;
    for (int i = 0; i < 64; ++i) saw.push_back(static_cast<int16_t>(i * 500 - 16000));
    xmtest::Sample s;
    s.pcm = saw;
    s.loopType = 1;
    s.loopLength = 64;
    m.instruments.push_back(xmtest::simpleInstrument(s));
    m.cell(0, 0, 0) = {49, 1, 0, static_cast<uint8_t>(finetune ? xm::kEffectExtended : 0), static_cast<uint8_t>(finetune ? 0x5F : 0)};
    m.cell(0, 1, 1) = {49, 1, 0, 0, 0};
    return m.bytes();
  };
  const std::vector<uint8_t> with = module(true), without = module(false);
  xm::OfflineRenderer a, b;
  ASSERT_TRUE(a.load(with.data(), static_cast<int64_t>(with.size())));
  ASSERT_TRUE(b.load(without.data(), static_cast<int64_t>(without.size())));
  const std::vector<float> first = render(a, 12);
  EXPECT_NE(a.playback().voices[0].stepFraction, b.playback().voices[0].stepFraction);
  render(b, 12);
  EXPECT_EQ(a.playback().voices[1].stepFraction, b.playback().voices[1].stepFraction);
  EXPECT_EQ(a.playback().voices[1].stepInteger, b.playback().voices[1].stepInteger);
  a.restart();
  EXPECT_EQ(render(a, 12), first);
}

#if defined(QV_CHECKED_MIXER)
TEST(XmMixerDeathTest, CheckedBuildAbortsOnAReadOutsideTheSample) {
  // A sample whose data lacks the guard frames: the last interpolation
  // reads one element past the vector, which the checked build refuses.
  xm::XmSample s;
  s.length = 16;
  s.loopMode = xm::kLoopNone;
  s.loopLength = 16;
  s.bits = 16;
  s.data.assign(16, 100);
  xm::MixVoice v = settledVoice(s, 44100, 255, 128);
  EXPECT_DEATH(mix(&v, 1, 32), "mixer: read at frame 15 of a sample of 16 frames");
}
#endif

}  // namespace
