// SdlLoopingAudioOutput: the module player's looping buffer on an SDL2 audio
// device (44100 Hz, signed 16-bit, stereo).
//
// The device's callback does nothing but copy bytes from the looping buffer at
// the play cursor (wrapping at its end) and advance a 64-bit byte position;
// all mixing happens on the player's own thread, which polls that position.
// The device is kept by an SdlAudioStream: no call here waits for the audio
// server, and a device lost while playing is opened again by itself, the
// position carrying on from where it stopped.
//
// The buffer is shared with the player's output thread, which rewrites the
// blocks behind the play position: each rewrite is published by `ringWritten`
// (a release store) and the callback reads that counter (acquire) before it
// copies, so what it copies is what the thread wrote.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/looping_audio_output.h"
#include "host/sdl/sdl_audio_stream.h"

namespace host {

class SdlLoopingAudioOutput : public LoopingAudioOutput {
 public:
  // Device buffer in frames: well below one 884-frame block of the player's ring.
  static constexpr int32_t kDeviceFrames = 512;

  SdlLoopingAudioOutput();
  ~SdlLoopingAudioOutput() override;
  SdlLoopingAudioOutput(const SdlLoopingAudioOutput&) = delete;
  SdlLoopingAudioOutput& operator=(const SdlLoopingAudioOutput&) = delete;

  bool open() override;
  bool playLooping(const int16_t* frames, size_t bytes) override;
  uint64_t positionBytes() const override;
  void reset() override;
  void unprepare() override;
  void close() override;
  void ringWritten() override;

  // The device underneath, for tests that watch it come and go.
  const SdlAudioStream& stream() const { return stream_; }

 private:
  static void fill(void* self, uint8_t* stream, int length);

  SdlAudioStream stream_;
  bool open_ = false;
  // Under the stream's lock: what the callback plays.
  const uint8_t* ring_ = nullptr;
  size_t ringBytes_ = 0;
  bool playing_ = false;
  std::atomic<uint64_t> position_{0};
  std::atomic<uint64_t> written_{0};  // rewrites of the ring published so far
};

}  // namespace host
