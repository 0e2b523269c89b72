// Instruction budgets: a play routine that never returns is cut off at the
// play budget in every call while the sound its init set up keeps playing,
// through the offline renderer and the streaming player alike; an init
// routine gets far more room than a play call, and a runaway init is cut off
// at the init budget without spoiling the play calls after it.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "host/headless/fake_wave_output.h"
#include "sid/sid_player.h"
#include "sid/tune_renderer.h"
#include "tests/sid/sid_test_util.h"

namespace sid {
namespace {

using test::makePsid;

// init ($1000): volume 15, voice 1 sawtooth at $1000, attack 0 / decay 9 /
// sustain 15, gate on; RTS. play ($1020): JMP $1020, for ever.
std::vector<uint8_t> runawayPlayTune() {
  std::vector<uint8_t> code(0x23, 0xEA);
  const uint8_t init[] = {0xA9, 0x0F, 0x8D, 0x18, 0xD4, 0xA9, 0x10, 0x8D, 0x01, 0xD4, 0xA9, 0x09, 0x8D,
                          0x05, 0xD4, 0xA9, 0xF0, 0x8D, 0x06, 0xD4, 0xA9, 0x21, 0x8D, 0x04, 0xD4, 0x60};
  const uint8_t play[] = {0x4C, 0x20, 0x10};
  std::copy(std::begin(init), std::end(init), code.begin());
  std::copy(std::begin(play), std::end(play), code.begin() + 0x20);
  return makePsid(0x1000, 0x1000, 0x1020, code);
}

// A routine at $1000 that works like a decruncher filling a table: eight
// passes over 256 x 256 iterations of INC $2000,X / DEX / BNE, then RTS.
//   LDA #8; STA $40
//   outer: LDY #0
//   middle: LDX #0
//   inner: INC $2000,X; DEX; BNE inner
//          DEY; BNE middle
//          DEC $40; BNE outer
//   RTS
const std::vector<uint8_t> kLongRoutine = {0xA9, 0x08, 0x85, 0x40, 0xA0, 0x00, 0xA2, 0x00, 0xFE, 0x00, 0x20,
                                           0xCA, 0xD0, 0xFA, 0x88, 0xD0, 0xF5, 0xC6, 0x40, 0xD0, 0xEF, 0x60};
// 2 + 8 x (1 + 256 x (1 + 256 x 3 + 2) + 2) + 1 instructions.
constexpr uint32_t kLongRoutineInstructions = 2 + 8 * (1 + 256 * (1 + 256 * 3 + 2) + 2) + 1;

double rmsDb(const std::vector<int16_t>& samples) {
  double sum = 0;
  for (int16_t v : samples) sum += double(v) * v;
  return 20 * std::log10(std::sqrt(sum / double(samples.size())) / 32768.0);
}

TEST(CallBudget, RunawayPlayRoutineIsCutOffInEveryCallAndTheTuneStillSounds) {
  const std::vector<uint8_t> image = runawayPlayTune();
  TuneRenderer r;
  EXPECT_EQ(r.start(image.data(), static_cast<int32_t>(image.size()), 0), 11u);
  EXPECT_EQ(r.budgetStops(), 0u);
  std::vector<int16_t> out(2 * 44100);
  r.render(out.data(), out.size());
  EXPECT_EQ(r.playCalls(), 100u);
  EXPECT_EQ(r.budgetStops(), 100u);
  EXPECT_EQ(r.maxPlayInstructions(), kPlayCallBudget);
  EXPECT_TRUE(r.state().cpu.budgetExhausted);
  EXPECT_GT(rmsDb(out), -30.0);  // the sawtooth the init routine started
}

TEST(CallBudget, InitGetsFarMoreRoomThanAPlayCall) {
  static_assert(kLongRoutineInstructions > 20 * kPlayCallBudget);
  static_assert(kLongRoutineInstructions < kInitCallBudget);
  // The long routine as init returns normally ...
  const std::vector<uint8_t> image = makePsid(0x1000, 0x1000, 0x1000, kLongRoutine);
  TuneRenderer r;
  EXPECT_EQ(r.start(image.data(), static_cast<int32_t>(image.size()), 0), kLongRoutineInstructions);
  EXPECT_FALSE(r.state().cpu.budgetExhausted);
  EXPECT_EQ(r.state().cpu.PC, 0x0001);
  EXPECT_EQ(r.budgetStops(), 0u);
  // ... and as the play routine it is cut off at the play budget.
  int16_t frame[kFrameSamples];
  r.render(frame, kFrameSamples);
  EXPECT_EQ(r.state().lastCallInstructions, kPlayCallBudget);
  EXPECT_EQ(r.budgetStops(), 1u);
}

TEST(CallBudget, RunawayInitIsCutOffAtTheInitBudgetAndPlayCallsCarryOn) {
  // init ($1000): JMP $1000. play ($1010): INC $30; RTS.
  std::vector<uint8_t> code(0x13, 0xEA);
  code[0] = 0x4C; code[1] = 0x00; code[2] = 0x10;
  code[0x10] = 0xE6; code[0x11] = 0x30; code[0x12] = 0x60;
  const std::vector<uint8_t> image = makePsid(0x1000, 0x1000, 0x1010, code);
  TuneRenderer r;
  EXPECT_EQ(r.start(image.data(), static_cast<int32_t>(image.size()), 0), kInitCallBudget);
  EXPECT_EQ(r.budgetStops(), 1u);
  std::vector<int16_t> out(10 * kFrameSamples);
  r.render(out.data(), out.size());
  EXPECT_EQ(r.state().cpu.memory[0x30], 10);
  EXPECT_EQ(r.maxPlayInstructions(), 2u);
  EXPECT_EQ(r.budgetStops(), 1u);
}

TEST(CallBudget, BudgetsGivenToTheRendererApplyToTheirOwnCalls) {
  // The fuzzer's way: small budgets for both kinds of call.
  const std::vector<uint8_t> image = makePsid(0x1000, 0x1000, 0x1000, kLongRoutine);
  TuneRenderer r;
  EXPECT_EQ(r.start(image.data(), static_cast<int32_t>(image.size()), 0, 1000, 300), 1000u);
  int16_t frame[kFrameSamples];
  r.render(frame, kFrameSamples);
  EXPECT_EQ(r.state().lastCallInstructions, 300u);
  EXPECT_EQ(r.budgetStops(), 2u);
}

TEST(CallBudget, RunawayTuneStreamsThroughThePlayer) {
  const std::vector<uint8_t> image = runawayPlayTune();
  host::FakeWaveOutput output;
  SidPlayer player(output);
  player.play(image.data(), static_cast<int32_t>(image.size()), 0);
  player.resume();
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(output.playNext());
  EXPECT_EQ(player.playCallCount(), 16u + 6 * 8);
  const std::vector<int16_t> played = output.played();
  ASSERT_EQ(played.size(), 6u * 7056);
  EXPECT_GT(rmsDb(played), -30.0);
  player.stop();
  EXPECT_FALSE(player.hasDevice());
}

}  // namespace
}  // namespace sid
