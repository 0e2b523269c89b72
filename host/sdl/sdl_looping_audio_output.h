// SdlLoopingAudioOutput: the module player's looping buffer on an SDL2 audio
// device (44100 Hz, signed 16-bit, stereo).
//
// The device's callback does nothing but copy bytes from the looping buffer at
// the play cursor (wrapping at its end) and advance a 64-bit byte position;
// all mixing happens on the player's own thread, which polls that position.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/looping_audio_output.h"

namespace host {

class SdlLoopingAudioOutput : public LoopingAudioOutput {
 public:
  SdlLoopingAudioOutput() = default;
  ~SdlLoopingAudioOutput() override;
  SdlLoopingAudioOutput(const SdlLoopingAudioOutput&) = delete;
  SdlLoopingAudioOutput& operator=(const SdlLoopingAudioOutput&) = delete;

  bool open() override;
  bool playLooping(const int16_t* frames, size_t bytes) override;
  uint64_t positionBytes() const override;
  void reset() override;
  void unprepare() override;
  void close() override;

 private:
  static void callback(void* self, uint8_t* stream, int length);

  uint32_t device_ = 0;  // SDL_AudioDeviceID, 0 = closed
  bool subsystemUp_ = false;
  std::atomic<const uint8_t*> ring_{nullptr};
  std::atomic<size_t> ringBytes_{0};
  std::atomic<uint64_t> position_{0};
};

}  // namespace host
