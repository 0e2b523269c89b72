// The fast mixer against the plain one: every kernel set, and the silent
// voices that move a whole span at once, must give exactly the plain
// mixer's floats and leave every voice exactly where the plain mixer leaves
// it. On real modules (the test data and our four), on random stretches
// that reach the ends of their samples, and on silent voices over every
// kind of loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "xm/mix_kernels.h"
#include "xm/mixer.h"
#include "xm/offline_renderer.h"

namespace {

const xm::MixKernelSet kSets[] = {xm::MixKernelSet::kPlain, xm::MixKernelSet::kSse2, xm::MixKernelSet::kAvx2};

// Restores the default kernels when a test ends.
struct KernelChoice {
  explicit KernelChoice(xm::MixKernelSet which) : available(xm::selectMixKernels(which)) {}
  ~KernelChoice() { xm::selectMixKernels(xm::bestMixKernelSet()); }
  bool available;
};

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Everything of a voice that the mixer changes.
void expectSameVoice(const xm::MixVoice& a, const xm::MixVoice& b, const std::string& where) {
  ASSERT_EQ(a.sample == nullptr, b.sample == nullptr) << where;
  EXPECT_EQ(a.position, b.position) << where;
  EXPECT_EQ(a.fraction, b.fraction) << where;
  EXPECT_EQ(a.direction, b.direction) << where;
  EXPECT_EQ(a.rampLeft, b.rampLeft) << where;
  EXPECT_EQ(a.rampRight, b.rampRight) << where;
  EXPECT_EQ(a.rampFrames, b.rampFrames) << where;
  EXPECT_EQ(a.lastLeftGain, b.lastLeftGain) << where;
  EXPECT_EQ(a.lastRightGain, b.lastRightGain) << where;
  EXPECT_EQ(std::memcmp(&a.rampLeftStep, &b.rampLeftStep, sizeof(float)), 0) << where;
  EXPECT_EQ(std::memcmp(&a.rampRightStep, &b.rampRightStep, sizeof(float)), 0) << where;
}

TEST(XmMixerPaths, EveryKernelSetMixesRealModulesExactlyAsThePlainMixer) {
  const std::string dir = QV_TESTDATA_DIR "/xm/";
  const std::string ours = QV_SOURCE_DIR "/assets/modules/";
  const std::vector<std::string> files = {
      dir + "cerror-bomberclone_numero_2.xm", dir + "heroes07.xm", dir + "mph.xm", dir + "pk2_intro.xm",
      dir + "satisfy.xm", dir + "slice_me_nice.xm", ours + "module1.xm", ours + "module2.xm",
      ours + "module3.xm", ours + "module4.xm"};
  constexpr int kBlocks = 30 * xm::kMixRate / xm::kBlockFrames;  // 30 s
  for (const xm::MixKernelSet set : kSets) {
    KernelChoice choice(set);
    if (!choice.available) continue;  // no AVX2 here
    for (const std::string& file : files) {
      const std::vector<uint8_t> bytes = readFile(file);
      ASSERT_FALSE(bytes.empty()) << file;
      xm::OfflineRenderer fast, plain;
      ASSERT_TRUE(fast.load(bytes.data(), static_cast<int64_t>(bytes.size())));
      ASSERT_TRUE(plain.load(bytes.data(), static_cast<int64_t>(bytes.size())));
      std::vector<float> a(2 * xm::kBlockFrames), b(2 * xm::kBlockFrames);
      for (int block = 0; block < kBlocks; ++block) {
        fast.renderBlockFloat(a.data());
        xm::mixBlockReference(plain.playback(), b.data());
        const std::string where = file + " (" + xm::mixKernelName() + ") block " + std::to_string(block);
        ASSERT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0) << where;
        for (int v = 0; v < xm::kVoiceCount; ++v) {
          expectSameVoice(fast.playback().voices[v], plain.playback().voices[v], where + " voice " + std::to_string(v));
        }
        if (HasFailure()) return;
      }
    }
  }
}

TEST(XmMixerPaths, KernelsMatchThePlainOnesOnRandomStretches) {
  // A sample with its guard frames; stretches start anywhere in it, move
  // forward or backward at any speed up to twenty frames per frame, and end
  // on its last frame at the latest, so that the vector kernels meet the
  // end of the data (where they must not read a window past it).
  std::mt19937 random(1234);
  std::mt19937_64 wide(5678);
  xm::XmSample s;
  s.length = 3000;
  s.loopLength = s.length;
  s.loopMode = xm::kLoopNone;
  s.data.resize(s.length + xm::kSampleGuard, 0);
  for (uint32_t i = 0; i < s.length; ++i) s.data[i] = static_cast<int16_t>(random());
  const xm::MixKernels& plain = *xm::mixKernels(xm::MixKernelSet::kPlain);
  for (const xm::MixKernelSet set : kSets) {
    const xm::MixKernels* k = xm::mixKernels(set);
    if (k == nullptr) continue;
    for (int trial = 0; trial < 3000; ++trial) {
      // Steps up to 2.5 frames, up to 20, and close to 13/7 frames.
      const uint64_t ranges[] = {5ull << 31, 20ull << 32, 1ull << 28};
      const uint64_t range = ranges[trial % 3];
      const int64_t step = static_cast<int64_t>(wide() % range + (trial % 3 == 2 ? (13ull << 32) / 7 - range / 2 : 0));
      const bool backward = trial % 2 == 1;
      const int32_t frames = static_cast<int32_t>(random() % 100);
      const int64_t span = step * (frames > 0 ? frames - 1 : 0);
      const int64_t last = int64_t{s.length - 1} << 32;
      if (span > last) continue;
      const int64_t room = last - span;
      const int64_t offset = static_cast<int64_t>(wide() % static_cast<uint64_t>(room + 1));
      xm::Stretch st;
      st.sample = &s;
      st.position = backward ? last - offset : offset;
      st.delta = backward ? -step : step;
      st.frames = frames;
      std::vector<float> want(2 * 100 + 2, 0.5f), got(2 * 100 + 2, 0.5f);
      const float gl = static_cast<float>(random() % 256) / 255.0f;
      const float gr = static_cast<float>(random() % 256) / 255.0f;
      if (trial % 4 < 2) {
        st.out = want.data();
        const int64_t p0 = plain.steady(st, gl, gr);
        st.out = got.data();
        const int64_t p1 = k->steady(st, gl, gr);
        EXPECT_EQ(p0, p1) << k->name << " trial " << trial;
      } else {
        const float sl = (static_cast<float>(random() % 2001) - 1000.0f) * 1e-5f;
        const float sr = (static_cast<float>(random() % 2001) - 1000.0f) * 1e-5f;
        float gl0 = gl, gr0 = gr, gl1 = gl, gr1 = gr;
        st.out = want.data();
        const int64_t p0 = plain.ramp(st, &gl0, &gr0, sl, sr);
        st.out = got.data();
        const int64_t p1 = k->ramp(st, &gl1, &gr1, sl, sr);
        EXPECT_EQ(p0, p1) << k->name << " trial " << trial;
        EXPECT_EQ(std::memcmp(&gl0, &gl1, sizeof(float)), 0) << k->name << " trial " << trial;
        EXPECT_EQ(std::memcmp(&gr0, &gr1, sizeof(float)), 0) << k->name << " trial " << trial;
      }
      ASSERT_EQ(std::memcmp(want.data(), got.data(), want.size() * sizeof(float)), 0)
          << k->name << " trial " << trial << " step " << step << " frames " << frames;
    }
  }
}

TEST(XmMixerPaths, SilentVoicesEndWhereThePlainMixerLeavesThem) {
  // Voices ramped out to silence on one-shot, forward and ping-pong samples
  // with short and long loops, from before the loop, inside it and moving
  // back, at steps from nothing to far more than a loop per frame: the
  // whole-span move must give the plain mixer's position, fraction,
  // direction and end of the voice, span after span.
  std::mt19937 random(99);
  for (int trial = 0; trial < 400; ++trial) {
    xm::XmSample s;
    s.length = 1 + random() % 5000;
    const uint8_t modes[] = {xm::kLoopNone, xm::kLoopForward, xm::kLoopPingPong};
    s.loopMode = modes[trial % 3];
    if (s.loopMode == xm::kLoopNone) {
      s.loopStart = 0;
      s.loopLength = s.length;
    } else {
      s.loopStart = random() % s.length;
      const uint32_t room = s.length - s.loopStart;  // loops lie inside their samples, as the loader keeps them
      s.loopLength = 1 + random() % (trial % 2 == 0 && room > 16 ? 16 : room);
    }
    s.data.assign(s.length + xm::kSampleGuard, 0);
    xm::MixVoice fast;
    fast.sample = &s;
    const uint32_t end = s.loopStart + s.loopLength;
    fast.position = random() % end;
    fast.fraction = random();
    fast.direction = s.loopMode == xm::kLoopPingPong && fast.position >= s.loopStart && trial % 4 == 1
                         ? xm::kBackward
                         : xm::kForward;
    const uint32_t hz[] = {0, 100, 8363, 44100, 200000, 5000000};
    xm::setVoiceFrequency(fast, static_cast<int32_t>(hz[random() % 6]));
    if (trial % 5 == 0) fast.stepInteger = fast.stepFraction = 0;  // never given a pitch
    fast.rampLeft = static_cast<int32_t>(random() % 256) - 128;  // below one gain step: no ramp
    xm::MixVoice plain = fast;
    std::vector<float> a(2 * xm::kBlockFrames, 0.0f), b(2 * xm::kBlockFrames, 0.0f);
    for (int span = 0; span < 20 && plain.sample != nullptr; ++span) {
      const int32_t frames = 1 + static_cast<int32_t>(random() % xm::kBlockFrames);
      xm::mixVoices(&fast, 1, a.data(), frames);
      xm::mixVoicesReference(&plain, 1, b.data(), frames);
      expectSameVoice(fast, plain, "trial " + std::to_string(trial) + " span " + std::to_string(span));
      if (HasFailure()) return;
    }
    for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(a[i], 0.0f);
  }
}

TEST(XmMixerPaths, LoopCopiesChangeNoFrame) {
  // Short forward loops with and without their copies: the same voices
  // (any step from a crawl to several copies' length per frame, gains that
  // change between spans so that ramps meet loop ends, spans of any length)
  // must give the same floats and the same voice state, with every kernel
  // set.
  std::mt19937 random(4242);
  for (const xm::MixKernelSet set : kSets) {
    KernelChoice choice(set);
    if (!choice.available) continue;
    for (int trial = 0; trial < 300; ++trial) {
      xm::XmSample bare;
      bare.loopMode = xm::kLoopForward;
      bare.loopLength = 1 + random() % (trial % 3 == 0 ? 8 : xm::kLoopCopyFrames - 1);
      bare.loopStart = random() % 300;
      bare.length = bare.loopStart + bare.loopLength + (trial % 2 == 0 ? random() % 300 : 0);
      bare.data.assign(bare.length + xm::kSampleGuard, 0);
      for (uint32_t i = 0; i < bare.length; ++i) bare.data[i] = static_cast<int16_t>(random());
      bare.data[bare.loopStart + bare.loopLength] = bare.data[bare.loopStart];  // the loader's guard
      xm::XmSample copied = bare;
      xm::addLoopCopies(copied);
      ASSERT_GT(copied.copiesEnd, bare.loopStart + bare.loopLength);

      xm::MixVoice a;
      a.sample = &copied;
      a.position = random() % (bare.loopStart + bare.loopLength);
      a.fraction = random();
      const int32_t hz[] = {100, 8363, 33000, 44100, 150000, 1000000, 200000000};
      xm::setVoiceFrequency(a, hz[random() % 7]);
      xm::MixVoice b = a;
      b.sample = &bare;
      std::vector<float> outA(2 * xm::kBlockFrames), outB(2 * xm::kBlockFrames);
      for (int span = 0; span < 24; ++span) {
        if (span % 3 == 0) {
          a.volume = b.volume = static_cast<int32_t>(random() % 65);
          a.panning = b.panning = static_cast<int32_t>(random() % 256);
          xm::setVoiceGains(a);
          xm::setVoiceGains(b);
        }
        const int32_t frames = 1 + static_cast<int32_t>(random() % xm::kBlockFrames);
        std::fill(outA.begin(), outA.end(), 0.0f);
        std::fill(outB.begin(), outB.end(), 0.0f);
        xm::mixVoices(&a, 1, outA.data(), frames);
        if (trial % 2 == 0) {
          xm::mixVoices(&b, 1, outB.data(), frames);
        } else {
          xm::mixVoicesReference(&b, 1, outB.data(), frames);
        }
        const std::string where = std::string(xm::mixKernelName()) + " trial " + std::to_string(trial) + " span " +
                                  std::to_string(span);
        ASSERT_EQ(std::memcmp(outA.data(), outB.data(), outA.size() * sizeof(float)), 0) << where;
        expectSameVoice(a, b, where);
        if (HasFailure()) return;
      }
    }
  }
}

}  // namespace
