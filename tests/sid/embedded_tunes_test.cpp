// The twelve tunes compiled into the program: PSID v2 images of the expected
// shape that run within the budget, make sound through the player, and are
// within the instruction counts the intro relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "assets/assets.h"
#include "host/fake_wave_output.h"
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

INSTANTIATE_TEST_SUITE_P(Assets, EmbeddedTune, ::testing::Range(1, assets::kTuneCount + 1));

}  // namespace
}  // namespace sid
