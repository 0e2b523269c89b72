#include "sid/tune_renderer.h"

#include <algorithm>
#include <cstring>

namespace sid {

TuneRenderer::TuneRenderer() : state_(std::make_unique<PlayerState>()) { state_->reset(); }

uint32_t TuneRenderer::start(const uint8_t* image, int32_t size, int32_t subtune, uint32_t initBudget,
                             uint32_t playBudget) {
  state_->reset(initBudget, playBudget);
  state_->loadTune(image, size);
  initInstructions_ = state_->runInit(subtune);
  frameUsed_ = kFrameSamples;
  maxPlayInstructions_ = 0;
  playCalls_ = 0;
  return initInstructions_;
}

void TuneRenderer::render(int16_t* out, size_t count) {
  while (count > 0) {
    if (frameUsed_ == kFrameSamples) {
      state_->renderFrame(frame_);
      maxPlayInstructions_ = std::max(maxPlayInstructions_, state_->lastCallInstructions);
      ++playCalls_;
      frameUsed_ = 0;
    }
    const size_t take = std::min(count, static_cast<size_t>(kFrameSamples - frameUsed_));
    std::memcpy(out, frame_ + frameUsed_, take * sizeof(int16_t));
    out += take;
    count -= take;
    frameUsed_ += static_cast<int>(take);
  }
}

}  // namespace sid
