// FakeLoopingAudioOutput: a LoopingAudioOutput without sound for tests and
// tools. The play position moves only when the test advances it (advance),
// or, with a virtual clock running, by the elapsed wall time at 44100 frames
// per second. It records every call it was given, and a copy of the buffer as
// it was when playLooping was called (the pre-filled ring).
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "host/looping_audio_output.h"

namespace host {

class FakeLoopingAudioOutput : public LoopingAudioOutput {
 public:
  FakeLoopingAudioOutput() = default;

  // Configuration, set before use.
  void setDeviceAvailable(bool available) { deviceAvailable_ = available; }
  // With a real-time clock the position follows wall time from playLooping on
  // (plus any advance); without, only advance() moves it.
  void setRealTimeClock(bool on) { realTime_ = on; }

  bool open() override;
  bool playLooping(const int16_t* frames, size_t bytes) override;
  uint64_t positionBytes() const override;
  void reset() override;
  void unprepare() override;
  void close() override;

  // Moves the play position forward (any thread).
  void advance(uint64_t bytes) { advanced_.fetch_add(bytes, std::memory_order_acq_rel); }
  void advanceFrames(uint64_t frames) { advance(frames * kBytesPerFrame); }

  // What the device was given. Read these from the thread that drives the
  // output (the application thread), not while it is being called.
  bool isOpen() const { return open_; }
  bool isPlaying() const { return playing_.load(std::memory_order_acquire); }
  int32_t openCount() const { return openCount_; }
  int32_t playCount() const { return playCount_; }
  int32_t resetCount() const { return resetCount_; }
  int32_t unprepareCount() const { return unprepareCount_; }
  int32_t closeCount() const { return closeCount_; }
  size_t bufferBytes() const { return bufferBytes_; }
  const int16_t* buffer() const { return buffer_; }
  // The buffer's contents at the moment playLooping was called.
  const std::vector<int16_t>& firstRing() const { return firstRing_; }

 private:
  uint64_t clockBytes() const;

  bool deviceAvailable_ = true;
  bool realTime_ = false;
  bool open_ = false;
  std::atomic<bool> playing_{false};
  std::atomic<uint64_t> advanced_{0};
  std::atomic<int64_t> startNanos_{0};
  int32_t openCount_ = 0;
  int32_t playCount_ = 0;
  int32_t resetCount_ = 0;
  int32_t unprepareCount_ = 0;
  int32_t closeCount_ = 0;
  const int16_t* buffer_ = nullptr;
  size_t bufferBytes_ = 0;
  std::vector<int16_t> firstRing_;
};

}  // namespace host
