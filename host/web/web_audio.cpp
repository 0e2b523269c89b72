#include "host/web/web_audio.h"

#include <emscripten/emscripten.h>

#include <algorithm>

#include "host/web/web_page.h"

namespace host {
namespace {

// The page asks for at most this many frames at a time (its processor's
// block is 2048).
constexpr int32_t kMaxRenderFrames = 16384;
constexpr float kSampleScale = 1.0f / 32768.0f;

// Planar output of one render: its left samples, then its right ones.
float gSamples[2 * kMaxRenderFrames];
WebWaveOutput* gWave = nullptr;
WebLoopingAudioOutput* gLooping = nullptr;

}  // namespace

// ---- WebWaveOutput ----

WebWaveOutput::~WebWaveOutput() { close(); }

int32_t WebWaveOutput::open(WaveCallback callback, void* instance) {
  if (open_) return kWaveErrorGeneric;
  if (qv_web_audio_ready() == 0 || (gWave != nullptr && gWave != this)) return kWaveErrorBadDevice;
  open_ = true;
  paused_ = false;
  callback_ = callback;
  instance_ = instance;
  head_ = count_ = 0;
  cursor_ = 0;
  gWave = this;
  return kWaveOk;
}

int32_t WebWaveOutput::pause() {
  if (!open_) return kWaveErrorNotOpen;
  paused_ = true;
  return kWaveOk;
}

int32_t WebWaveOutput::restart() {
  if (!open_) return kWaveErrorNotOpen;
  paused_ = false;
  return kWaveOk;
}

int32_t WebWaveOutput::prepareHeader(WaveHeader* header) {
  if (!open_) return kWaveErrorNotOpen;
  if (!header || !header->data || header->length == 0 || header->length % kWaveBlockAlign != 0) {
    return kWaveErrorInvalidParam;
  }
  header->flags |= kWaveHeaderPrepared;
  return kWaveOk;
}

int32_t WebWaveOutput::unprepareHeader(WaveHeader* header) {
  if (!open_) return kWaveErrorNotOpen;
  if (!header) return kWaveErrorInvalidParam;
  if (header->flags & kWaveHeaderInQueue) return kWaveErrorStillPlaying;
  header->flags &= ~kWaveHeaderPrepared;
  return kWaveOk;
}

int32_t WebWaveOutput::write(WaveHeader* header) {
  if (!open_) return kWaveErrorNotOpen;
  if (!header) return kWaveErrorInvalidParam;
  if (!(header->flags & kWaveHeaderPrepared)) return kWaveErrorUnprepared;
  if (header->flags & kWaveHeaderInQueue) return kWaveErrorStillPlaying;
  if (count_ == kQueueCapacity) return kWaveErrorGeneric;
  header->flags = (header->flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
  queue_[(head_ + count_) % kQueueCapacity] = header;
  ++count_;
  return kWaveOk;
}

WaveHeader* WebWaveOutput::popFront() {
  WaveHeader* header = queue_[head_];
  queue_[head_] = nullptr;
  head_ = (head_ + 1) % kQueueCapacity;
  --count_;
  cursor_ = 0;
  return header;
}

void WebWaveOutput::handBack(WaveHeader* header) {
  header->flags = (header->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
  if (callback_) callback_(instance_, kWaveMessageDone, header);
}

int32_t WebWaveOutput::reset() {
  if (!open_) return kWaveErrorNotOpen;
  while (count_ > 0) handBack(popFront());
  return kWaveOk;
}

int32_t WebWaveOutput::close() {
  if (!open_) return kWaveErrorNotOpen;
  while (count_ > 0) handBack(popFront());
  open_ = false;
  callback_ = nullptr;
  instance_ = nullptr;
  if (gWave == this) gWave = nullptr;
  return kWaveOk;
}

void WebWaveOutput::showError(const std::string& text) { qv_web_show_error(text.c_str()); }

int32_t WebWaveOutput::mix(float* left, float* right, int32_t frames) {
  if (!open_ || paused_) return 0;
  // The buffers that finish here are handed back after the loop: their
  // refill queues them again behind the one that plays on.
  std::array<WaveHeader*, kQueueCapacity> played{};
  size_t playedCount = 0;
  int32_t taken = 0;
  while (taken < frames && count_ > 0) {
    WaveHeader* header = queue_[head_];
    const uint32_t total = header->length / sizeof(int16_t);
    const int32_t n = static_cast<int32_t>(std::min<uint32_t>(total - cursor_, static_cast<uint32_t>(frames - taken)));
    const int16_t* samples = header->data + cursor_;
    for (int32_t i = 0; i < n; ++i) {
      const float s = static_cast<float>(samples[i]) * kSampleScale;
      left[taken + i] += s;
      right[taken + i] += s;
    }
    cursor_ += static_cast<uint32_t>(n);
    taken += n;
    if (cursor_ >= total) played[playedCount++] = popFront();
  }
  for (size_t i = 0; i < playedCount; ++i) {
    // A reset or close from inside an earlier notification already handed
    // the rest back.
    if (!open_) break;
    handBack(played[i]);
  }
  return taken;
}

// ---- WebLoopingAudioOutput ----

WebLoopingAudioOutput::~WebLoopingAudioOutput() { close(); }

bool WebLoopingAudioOutput::open() {
  if (open_) return false;
  if (qv_web_audio_ready() == 0 || (gLooping != nullptr && gLooping != this)) return false;
  open_ = true;
  gLooping = this;
  return true;
}

bool WebLoopingAudioOutput::playLooping(const int16_t* frames, size_t bytes) {
  if (!open_ || frames == nullptr || bytes < kBytesPerFrame) return false;
  ring_ = frames;
  ringFrames_ = bytes / kBytesPerFrame;
  position_ = 0;
  return true;
}

void WebLoopingAudioOutput::reset() {
  ringFrames_ = 0;
  position_ = 0;
}

void WebLoopingAudioOutput::unprepare() {
  ring_ = nullptr;
  ringFrames_ = 0;
}

void WebLoopingAudioOutput::close() {
  ring_ = nullptr;
  ringFrames_ = 0;
  position_ = 0;
  refill_ = nullptr;
  refillContext_ = nullptr;
  open_ = false;
  if (gLooping == this) gLooping = nullptr;
}

bool WebLoopingAudioOutput::takeRefill(Refill refill, void* context) {
  refill_ = refill;
  refillContext_ = refill ? context : nullptr;
  return true;
}

void WebLoopingAudioOutput::runRefill() {
  if (refill_) refill_(refillContext_);
}

int32_t WebLoopingAudioOutput::mix(float* left, float* right, int32_t frames) {
  if (!open_ || ring_ == nullptr || ringFrames_ == 0) return 0;
  uint64_t index = position_ % ringFrames_;
  for (int32_t i = 0; i < frames; ++i) {
    left[i] += static_cast<float>(ring_[2 * index]) * kSampleScale;
    right[i] += static_cast<float>(ring_[2 * index + 1]) * kSampleScale;
    if (++index == ringFrames_) index = 0;
  }
  position_ += static_cast<uint64_t>(frames);
  return frames;
}

}  // namespace host

// Called by the page's audio callback: fills the planar sample buffer with
// `frames` frames and returns how many came from the players.
extern "C" EMSCRIPTEN_KEEPALIVE int32_t qv_web_audio_render(int32_t frames) {
  using namespace host;
  frames = std::clamp(frames, 0, kMaxRenderFrames);
  float* left = gSamples;
  float* right = gSamples + frames;
  std::fill(left, left + frames, 0.0f);
  std::fill(right, right + frames, 0.0f);
  int32_t handed = 0;
  if (gWave) handed = std::max(handed, gWave->mix(left, right, frames));
  if (gLooping) handed = std::max(handed, gLooping->mix(left, right, frames));
  for (int32_t i = 0; i < frames; ++i) {
    left[i] = std::clamp(left[i], -1.0f, 1.0f);
    right[i] = std::clamp(right[i], -1.0f, 1.0f);
  }
  return handed;
}

extern "C" EMSCRIPTEN_KEEPALIVE float* qv_web_audio_samples() { return host::gSamples; }
