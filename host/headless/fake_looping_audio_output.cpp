#include "host/headless/fake_looping_audio_output.h"

#include <chrono>

namespace host {
namespace {
int64_t nowNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

bool FakeLoopingAudioOutput::open() {
  if (!deviceAvailable_ || open_) return false;
  open_ = true;
  ++openCount_;
  return true;
}

bool FakeLoopingAudioOutput::playLooping(const int16_t* frames, size_t bytes) {
  if (!open_ || frames == nullptr || bytes == 0) return false;
  buffer_ = frames;
  bufferBytes_ = bytes;
  firstRing_.assign(frames, frames + bytes / sizeof(int16_t));
  ++playCount_;
  advanced_.store(0, std::memory_order_release);
  startNanos_.store(nowNanos(), std::memory_order_release);
  playing_.store(true, std::memory_order_release);
  return true;
}

uint64_t FakeLoopingAudioOutput::clockBytes() const {
  if (!realTime_ || !playing_.load(std::memory_order_acquire)) return 0;
  const int64_t elapsed = nowNanos() - startNanos_.load(std::memory_order_acquire);
  if (elapsed <= 0) return 0;
  // 44100 frames of 4 bytes per second.
  return static_cast<uint64_t>(elapsed) * kSampleRate / 1000000000ull * kBytesPerFrame;
}

uint64_t FakeLoopingAudioOutput::positionBytes() const {
  if (!playing_.load(std::memory_order_acquire)) return 0;
  return advanced_.load(std::memory_order_acquire) + clockBytes();
}

void FakeLoopingAudioOutput::reset() {
  playing_.store(false, std::memory_order_release);
  advanced_.store(0, std::memory_order_release);
  ++resetCount_;
}

void FakeLoopingAudioOutput::unprepare() {
  buffer_ = nullptr;
  bufferBytes_ = 0;
  ++unprepareCount_;
}

void FakeLoopingAudioOutput::close() {
  if (!open_) return;
  playing_.store(false, std::memory_order_release);
  open_ = false;
  ++closeCount_;
}

}  // namespace host
