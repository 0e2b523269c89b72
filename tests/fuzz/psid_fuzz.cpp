// Fuzz target: arbitrary bytes as a PSID image. Loads it, runs the init
// routine and some play calls under a small instruction budget, and renders
// their audio, as the player does.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "sid/player_state.h"

namespace {
// Small enough that a runaway routine costs little per input.
constexpr uint32_t kFuzzCallBudget = 30000;
constexpr int kFuzzFrames = 12;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto state = std::make_unique<sid::PlayerState>();
  const int32_t length = size > 0x20000 ? 0x20000 : static_cast<int32_t>(size);
  state->reset(kFuzzCallBudget, kFuzzCallBudget);
  state->loadTune(data, length);
  // The sub-tune index from the song-count field, as a player menu might pick it.
  state->runInit(length > 15 ? data[15] : 0);
  int16_t frame[sid::kFrameSamples];
  for (int i = 0; i < kFuzzFrames; ++i) state->renderFrame(frame);
  return 0;
}
