// TuneRenderer: plays a PSID tune without an audio device, as fast as the CPU
// allows. It runs exactly the steps of the streaming player (reset, load,
// init, then one play call per 882 samples), so its samples are the ones the
// device would get. Used by magtool, the tests and the benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "sid/player_state.h"

namespace sid {

class TuneRenderer {
 public:
  TuneRenderer();

  // Starts a tune from a zeroed state; returns the init routine's instructions.
  uint32_t start(const uint8_t* image, int32_t size, int32_t subtune,
                 uint32_t initBudget = kInitCallBudget, uint32_t playBudget = kPlayCallBudget);
  // Renders count samples, calling the play routine at every 882-sample frame.
  void render(int16_t* out, size_t count);

  uint32_t initInstructions() const { return initInstructions_; }
  uint32_t maxPlayInstructions() const { return maxPlayInstructions_; }
  uint64_t playCalls() const { return playCalls_; }
  // Init and play calls since start that their instruction budget cut off.
  uint32_t budgetStops() const { return state_->budgetStops; }
  PlayerState& state() { return *state_; }

 private:
  std::unique_ptr<PlayerState> state_;
  int16_t frame_[kFrameSamples] = {};
  int frameUsed_ = kFrameSamples;  // samples of frame_ already handed out
  uint32_t initInstructions_ = 0;
  uint32_t maxPlayInstructions_ = 0;
  uint64_t playCalls_ = 0;
};

}  // namespace sid
