// Real PSID tunes (GoatTracker example songs from Debian, read from the shared
// test data): they load, run within the budget, drive all three voices frame
// by frame, make sound, render deterministically, stream exactly as they
// render offline, keep their audio digests, and clamp when their filter is
// pushed into overload.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "host/headless/fake_wave_output.h"
#include "sid/sid_player.h"
#include "sid/tune_renderer.h"

namespace sid {
namespace {

std::vector<uint8_t> readTune(const std::string& name) {
  std::ifstream in(std::string(QV_TESTDATA_DIR) + "/sid/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TuneFacts {
  const char* file;
  uint16_t load, init, play;
  uint16_t songs;
  uint64_t digest;  // FNV-1a of the first 10 s (magtool sid TUNE --seconds 10)
  int voicesGated;  // voices with a gate-on write in the first 10 s
};

// load/init/play/songs from the tunes' headers and data (see SOURCES.md).
const TuneFacts kTunes[] = {
    {"2xtest.sid", 0x0FF6, 0x0FF6, 0x1003, 1, 0x4dcb1b875369522cull, 2},
    {"consultant.sid", 0xC000, 0xC000, 0xC003, 1, 0xa689819c24127f48ull, 3},
    {"dojo.sid", 0x1000, 0x1000, 0x1003, 4, 0xd1673ab16586f279ull, 3},
    {"everlasting.sid", 0xE000, 0xE000, 0xE003, 1, 0xfda87275379083b5ull, 2},
    {"funktest.sid", 0x0E00, 0x0E00, 0x0E03, 1, 0x2091ae773e175abcull, 3},
    {"sixpack.sid", 0x1000, 0x1000, 0x1003, 1, 0x63299ff9b930b033ull, 3},
};

uint64_t digest(const std::vector<int16_t>& samples) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (int16_t s : samples) {
    for (int b = 0; b < 2; ++b) {
      h ^= (static_cast<uint16_t>(s) >> (8 * b)) & 0xFF;
      h *= 0x100000001B3ull;
    }
  }
  return h;
}

// Per-frame record of what the play routine wrote to the chip.
struct FrameWrites {
  std::vector<std::vector<std::pair<uint16_t, uint8_t>>> frames;
  static void hook(void* self, uint16_t address, uint8_t value) {
    static_cast<FrameWrites*>(self)->frames.back().emplace_back(address, value);
  }
};

FrameWrites traceFrames(const std::vector<uint8_t>& image, int song, int frames) {
  TuneRenderer r;
  r.start(image.data(), static_cast<int32_t>(image.size()), song);
  FrameWrites w;
  r.state().cpu.writeHook = &FrameWrites::hook;
  r.state().cpu.writeHookContext = &w;
  int16_t frame[kFrameSamples];
  for (int i = 0; i < frames; ++i) {
    w.frames.emplace_back();
    r.render(frame, kFrameSamples);
  }
  return w;
}

class RealTune : public ::testing::TestWithParam<TuneFacts> {};

TEST_P(RealTune, LoadsWithTheHeaderAddresses) {
  const TuneFacts& t = GetParam();
  const std::vector<uint8_t> image = readTune(t.file);
  ASSERT_GT(image.size(), 0x7Eu) << t.file;
  auto state = std::make_unique<PlayerState>();
  state->reset();
  EXPECT_EQ(state->loadTune(image.data(), static_cast<int32_t>(image.size())), t.load);
  EXPECT_EQ(state->initAddress, t.init);
  EXPECT_EQ(state->playAddress, t.play);
  EXPECT_EQ(describePsid(image.data(), static_cast<int32_t>(image.size())).songs, t.songs);
  // The code is in place: the first data byte after the load address.
  EXPECT_EQ(state->cpu.memory[t.load], image[0x7E]);
}

TEST_P(RealTune, PlaysTwentySecondsWithinTheBudgetAndMakesSound) {
  const TuneFacts& t = GetParam();
  const std::vector<uint8_t> image = readTune(t.file);
  TuneRenderer r;
  const uint32_t init = r.start(image.data(), static_cast<int32_t>(image.size()), 0);
  EXPECT_FALSE(r.state().cpu.budgetExhausted);
  EXPECT_GT(init, 0u);
  EXPECT_LT(init, 1000u);
  std::vector<int16_t> out(20 * 44100);
  r.render(out.data(), out.size());
  EXPECT_EQ(r.playCalls(), 1000u);
  EXPECT_GT(r.maxPlayInstructions(), 50u);
  EXPECT_LT(r.maxPlayInstructions(), 2000u);  // a play call of a tracker tune is short
  EXPECT_EQ(r.budgetStops(), 0u);
  double sum = 0;
  std::set<int16_t> distinct;
  for (int16_t v : out) {
    sum += double(v) * v;
    distinct.insert(v);
  }
  const double rmsDb = 20 * std::log10(std::sqrt(sum / double(out.size())) / 32768.0);
  EXPECT_GT(rmsDb, -30.0) << t.file;
  EXPECT_GT(distinct.size(), 2000u) << t.file;
}

TEST_P(RealTune, EveryFrameDrivesAllThreeVoices) {
  // The tracker's play routine writes each voice's control register and the
  // mode/volume register in every frame once the song runs, and gates notes
  // on its voices within the first ten seconds.
  const TuneFacts& t = GetParam();
  const FrameWrites w = traceFrames(readTune(t.file), 0, 500);
  int gatedVoices = 0;
  for (uint16_t control : {0xD404, 0xD40B, 0xD412}) {
    bool gated = false;
    for (size_t f = 2; f < w.frames.size(); ++f) {
      bool written = false;
      for (auto [address, value] : w.frames[f]) {
        if (address == control) {
          written = true;
          gated = gated || (value & 0x01);
        }
      }
      ASSERT_TRUE(written) << t.file << " frame " << f << " voice register " << std::hex << control;
    }
    gatedVoices += gated;
  }
  EXPECT_EQ(gatedVoices, t.voicesGated) << t.file;
  for (size_t f = 2; f < w.frames.size(); ++f) {
    bool volume = false;
    for (auto [address, value] : w.frames[f]) volume = volume || (address == 0xD418 && (value & 0x0F) != 0);
    ASSERT_TRUE(volume) << t.file << " frame " << f;
  }
  for (const auto& frame : w.frames) {
    for (auto [address, value] : frame) {
      ASSERT_EQ(address & 0xFFE0, 0xD400) << "only the chip's first 32 registers";
      (void)value;
    }
  }
}

TEST_P(RealTune, TraceAndAudioAreDeterministic) {
  const TuneFacts& t = GetParam();
  const std::vector<uint8_t> image = readTune(t.file);
  EXPECT_EQ(traceFrames(image, 0, 100).frames, traceFrames(image, 0, 100).frames);
  std::vector<int16_t> out(10 * 44100);
  TuneRenderer r;
  r.start(image.data(), static_cast<int32_t>(image.size()), 0);
  r.render(out.data(), out.size());
  EXPECT_EQ(digest(out), t.digest) << std::hex << digest(out);
}

TEST_P(RealTune, StreamedBuffersEqualTheOfflineRendering) {
  const TuneFacts& t = GetParam();
  const std::vector<uint8_t> image = readTune(t.file);
  host::FakeWaveOutput output;
  SidPlayer player(output);
  player.play(image.data(), static_cast<int32_t>(image.size()), 0);
  player.resume();
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(output.playNext());
  const std::vector<int16_t> played = output.played();
  std::vector<int16_t> expected(played.size());
  TuneRenderer r;
  r.start(image.data(), static_cast<int32_t>(image.size()), 0);
  r.render(expected.data(), expected.size());
  EXPECT_EQ(played, expected);
  EXPECT_EQ(player.playCallCount(), 16u + 10 * 8);
}

INSTANTIATE_TEST_SUITE_P(TestData, RealTune, ::testing::ValuesIn(kTunes),
                         [](const ::testing::TestParamInfo<TuneFacts>& tune) {
                           std::string name = tune.param.file;
                           return name.substr(0, name.find('.')) == "2xtest" ? std::string("twoxtest")
                                                                              : name.substr(0, name.find('.'));
                         });

TEST(RealTuneOverload, FullResonanceWithAllThreeFilterOutputsClampsWithoutJumps) {
  // None of these tunes drives the mix past 16 bits as written (their peaks
  // stay below 31000). consultant runs voice 2 through the filter at full
  // resonance (15); switching on all three filter outputs on top of its own
  // cutoff and resonance adds the resonant peaks of low, band and high pass
  // and overloads the mix. Stored as the low 16 bits, this jumped from full
  // positive to full negative 41 times in the first minute.
  const std::vector<uint8_t> image = readTune("consultant.sid");
  auto state = std::make_unique<PlayerState>();
  state->reset();
  state->loadTune(image.data(), static_cast<int32_t>(image.size()));
  state->runInit(0);
  int16_t frame[kFrameSamples];
  int previous = 0, largestJump = 0, atTheLimit = 0, resonance = 0;
  for (int f = 0; f < 60 * 50; ++f) {
    state->runPlay();
    resonance = std::max(resonance, state->chip.resonanceRouting >> 4);
    state->chip.write(0xD418, static_cast<uint8_t>(state->chip.modeVolume | 0x70));
    state->chip.render(frame, kFrameSamples, state->cpu.memory);
    for (int16_t v : frame) {
      largestJump = std::max(largestJump, std::abs(v - previous));
      atTheLimit += (v == 32767 || v == -32768);
      previous = v;
    }
  }
  EXPECT_EQ(resonance, 15);
  EXPECT_GT(atTheLimit, 20);  // it does overload (48 samples at the limit)
  EXPECT_LE(largestJump, 50000);
}

TEST_P(RealTune, DamagedCopiesPlayWithinTheBudgets) {
  // Damage of the kinds met in tune collections: cut short, bytes of the
  // player code overwritten, the play address sent into the song data, and a
  // play routine that falls into a loop. Each renders 5 s with the player's
  // own budgets: no crash, no hang, every play call within its budget.
  const TuneFacts& t = GetParam();
  const std::vector<uint8_t> original = readTune(t.file);
  std::vector<std::vector<uint8_t>> damaged;
  damaged.emplace_back(original.begin(), original.begin() + static_cast<long>(original.size() / 2));
  std::vector<uint8_t> flipped = original;
  uint32_t seed = 12345;
  for (int i = 0; i < 64; ++i) {
    seed = seed * 1103515245u + 12345u;
    flipped[0x7E + (seed >> 8) % (flipped.size() - 0x7E)] ^= static_cast<uint8_t>(seed >> 24);
  }
  damaged.push_back(flipped);
  std::vector<uint8_t> intoData = original;
  const uint16_t dataPlay = static_cast<uint16_t>(t.load + original.size() - 0x7E - 64);
  intoData[12] = static_cast<uint8_t>(dataPlay >> 8);
  intoData[13] = static_cast<uint8_t>(dataPlay);
  damaged.push_back(intoData);
  std::vector<uint8_t> looping = original;  // JMP to itself at the play address
  const size_t playOffset = 0x7E + (t.play - t.load);
  looping[playOffset] = 0x4C;
  looping[playOffset + 1] = static_cast<uint8_t>(t.play);
  looping[playOffset + 2] = static_cast<uint8_t>(t.play >> 8);
  damaged.push_back(looping);
  for (size_t d = 0; d < damaged.size(); ++d) {
    TuneRenderer r;
    r.start(damaged[d].data(), static_cast<int32_t>(damaged[d].size()), 0);
    std::vector<int16_t> out(5 * 44100);
    r.render(out.data(), out.size());
    EXPECT_EQ(r.playCalls(), 250u) << t.file << " damage " << d;
    EXPECT_LE(r.maxPlayInstructions(), kPlayCallBudget) << t.file << " damage " << d;
    if (d == 3) {
      EXPECT_EQ(r.budgetStops(), 250u) << t.file;
    }
  }
}

TEST(RealTuneSongs, SubTunesPlayDifferentMusic) {
  const std::vector<uint8_t> image = readTune("dojo.sid");
  const FrameWrites first = traceFrames(image, 0, 200);
  for (int song = 1; song < 4; ++song) {
    EXPECT_NE(traceFrames(image, song, 200).frames, first.frames) << "song " << song + 1;
  }
}

}  // namespace
}  // namespace sid
