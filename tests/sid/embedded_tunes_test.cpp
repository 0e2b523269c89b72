// The twelve tunes compiled into the program: PSID v2 images of the expected
// shape that run within the budgets, make sound through the player, are
// within the instruction counts the intro relies on, and keep their audio.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "assets/assets.h"
#include "host/headless/fake_wave_output.h"
#include "sid/sid_player.h"
#include "sid/tune_renderer.h"

namespace sid {
namespace {

class EmbeddedTune : public ::testing::TestWithParam<int> {};

TEST_P(EmbeddedTune, HasTheImageShapeThePlayerExpects) {
  const auto bytes = assets::tune(GetParam());
  ASSERT_GE(bytes.size(), 0x7Eu);
  const PsidInfo info = describePsid(bytes.data(), static_cast<int32_t>(bytes.size()));
  EXPECT_TRUE(info.valid);
  EXPECT_EQ(info.version, 2);
  EXPECT_EQ(info.dataOffset, 0x7C);
  EXPECT_EQ(bytes[8], 0);  // header load address 0: the data carries it
  EXPECT_EQ(bytes[9], 0);
  EXPECT_NE(info.playAddress, 0);
  EXPECT_GE(info.songs, 1);
  EXPECT_LE(info.songs, 9);
  EXPECT_GE(info.loadAddress, 0x0846);
  EXPECT_LE(info.loadAddress + info.dataSize - 1, 0xFFFE);
}

TEST_P(EmbeddedTune, PlaysWithinTheBudgetAndMakesSound) {
  const auto bytes = assets::tune(GetParam());
  TuneRenderer r;
  const uint32_t init = r.start(bytes.data(), static_cast<int32_t>(bytes.size()), 0);
  EXPECT_FALSE(r.state().cpu.budgetExhausted);
  EXPECT_LE(init, 28000u);
  std::vector<int16_t> out(20 * 44100);
  r.render(out.data(), out.size());
  EXPECT_LE(r.maxPlayInstructions(), 1200u);
  EXPECT_EQ(r.budgetStops(), 0u);
  double sum = 0;
  for (int16_t v : out) sum += double(v) * v;
  EXPECT_GT(20 * std::log10(std::sqrt(sum / double(out.size())) / 32768.0), -30.0);
}

TEST_P(EmbeddedTune, StreamsAsItRendersOffline) {
  const auto bytes = assets::tune(GetParam());
  host::FakeWaveOutput output;
  SidPlayer player(output);
  player.play(bytes.data(), static_cast<int32_t>(bytes.size()), 0);
  player.resume();
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(output.playNext());
  const std::vector<int16_t> played = output.played();
  std::vector<int16_t> expected(played.size());
  TuneRenderer r;
  r.start(bytes.data(), static_cast<int32_t>(bytes.size()), 0);
  r.render(expected.data(), expected.size());
  EXPECT_EQ(played, expected);
}

// FNV-1a of each tune's first 60 s (magtool sid N --seconds 60). None of the
// tunes drives the mix to the 16-bit limit, so these hold whether an
// overload wraps or clamps.
const uint64_t kDigests60s[12] = {
    0xa092bd51784573b1ull,
    0x82e9e2b2dc5bc138ull,
    0x63d89ff8c16539a8ull,
    0x7f46e15f2d543a58ull,
    0x35b506499bb291c9ull,
    0xcdd22915d2a71e49ull,
    0xaeb1b300a651ea3dull,
    0x0893b401e7b22d40ull,
    0x3bcad8aa135db83bull,
    0x22f4315b6374a593ull,
    0x037a7e424b6774c6ull,
    0x90660def38006e70ull,
};

TEST_P(EmbeddedTune, KeepsItsSixtySecondDigest) {
  const auto bytes = assets::tune(GetParam());
  TuneRenderer r;
  r.start(bytes.data(), static_cast<int32_t>(bytes.size()), 0);
  std::vector<int16_t> out(60 * 44100);
  r.render(out.data(), out.size());
  EXPECT_EQ(r.budgetStops(), 0u);
  uint64_t h = 0xCBF29CE484222325ull;
  int peak = 0;
  for (int16_t s : out) {
    peak = std::max(peak, std::abs(static_cast<int>(s)));
    for (int b = 0; b < 2; ++b) {
      h ^= (static_cast<uint16_t>(s) >> (8 * b)) & 0xFF;
      h *= 0x100000001B3ull;
    }
  }
  EXPECT_EQ(h, kDigests60s[GetParam() - 1]) << std::hex << h;
  EXPECT_LT(peak, 32767);
}

INSTANTIATE_TEST_SUITE_P(Assets, EmbeddedTune, ::testing::Range(1, assets::kTuneCount + 1));

}  // namespace
}  // namespace sid
