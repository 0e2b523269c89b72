// The two audio outputs of the browser edition, over one Web Audio stream at
// 44100 Hz.
//
// The page's audio callback asks for each block of stereo samples
// (qv_web_audio_render); both outputs add what they have to it:
// - WebWaveOutput plays the SID player's queued buffers in order (mono on
//   both sides) and hands each played buffer back from inside that callback,
//   which is this output's notification "thread": the refill runs there;
// - WebLoopingAudioOutput plays the module player's ring over and over and
//   counts the bytes played. There are no threads on the page, so it takes
//   the player's refill (takeRefill) and runs it once per frame from the
//   display host (runRefill).
// The callback only runs while the program is suspended between frames, so
// neither output needs a lock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "host/looping_audio_output.h"
#include "host/wave_output.h"

namespace host {

class WebWaveOutput final : public WaveOutput {
 public:
  WebWaveOutput() = default;
  ~WebWaveOutput() override;
  WebWaveOutput(const WebWaveOutput&) = delete;
  WebWaveOutput& operator=(const WebWaveOutput&) = delete;

  int32_t open(WaveCallback callback, void* instance) override;
  int32_t pause() override;
  int32_t restart() override;
  int32_t prepareHeader(WaveHeader* header) override;
  int32_t unprepareHeader(WaveHeader* header) override;
  int32_t write(WaveHeader* header) override;
  int32_t reset() override;
  int32_t close() override;
  std::string errorText(int32_t code) const override { return waveErrorText(code); }
  void showError(const std::string& text) override;

  // Adds up to `frames` samples to both sides; returns the frames taken from
  // queued buffers. Played buffers are handed back before it returns.
  int32_t mix(float* left, float* right, int32_t frames);

 private:
  static constexpr size_t kQueueCapacity = 8;
  void handBack(WaveHeader* header);
  WaveHeader* popFront();

  bool open_ = false;
  bool paused_ = false;
  WaveCallback callback_ = nullptr;
  void* instance_ = nullptr;
  std::array<WaveHeader*, kQueueCapacity> queue_{};
  size_t head_ = 0;
  size_t count_ = 0;
  uint32_t cursor_ = 0;  // samples of the front buffer already played
};

class WebLoopingAudioOutput final : public LoopingAudioOutput {
 public:
  WebLoopingAudioOutput() = default;
  ~WebLoopingAudioOutput() override;
  WebLoopingAudioOutput(const WebLoopingAudioOutput&) = delete;
  WebLoopingAudioOutput& operator=(const WebLoopingAudioOutput&) = delete;

  bool open() override;
  bool playLooping(const int16_t* frames, size_t bytes) override;
  uint64_t positionBytes() const override { return position_ * kBytesPerFrame; }
  void reset() override;
  void unprepare() override;
  void close() override;
  bool takeRefill(Refill refill, void* context) override;

  // Once per frame: the player's refill, if it gave one.
  void runRefill();
  // Adds `frames` frames of the ring at the play position; returns the
  // frames played (0 when not playing).
  int32_t mix(float* left, float* right, int32_t frames);

 private:
  bool open_ = false;
  const int16_t* ring_ = nullptr;
  uint64_t ringFrames_ = 0;
  uint64_t position_ = 0;  // frames played since playLooping
  Refill refill_ = nullptr;
  void* refillContext_ = nullptr;
};

}  // namespace host
