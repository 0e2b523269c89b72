// SdlWaveOutput: the WaveOutput on an SDL audio device (mono S16 44100 Hz).
//
// SDL's audio callback only copies samples from the queued buffers (silence
// when none is queued or the output is paused); a finished buffer moves to a
// done list. A notification thread of our own delivers the done messages, so
// the caller's callback never runs inside SDL's audio lock and may queue
// buffers again. The device is kept by an SdlAudioStream: no call here waits
// for the audio server, and a device lost while playing is opened again by
// itself, the queued buffers carrying on where they were. When SDL's audio
// cannot be started at all, `open` fails and the caller runs without sound.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "host/sdl/sdl_audio_stream.h"
#include "host/wave_output.h"

namespace host {

class SdlWaveOutput : public WaveOutput {
 public:
  // Device buffer in frames.
  static constexpr int32_t kDeviceFrames = 1024;

  SdlWaveOutput();
  ~SdlWaveOutput() override;
  SdlWaveOutput(const SdlWaveOutput&) = delete;
  SdlWaveOutput& operator=(const SdlWaveOutput&) = delete;

  int32_t open(WaveCallback callback, void* instance) override;
  int32_t pause() override;
  int32_t restart() override;
  int32_t prepareHeader(WaveHeader* header) override;
  int32_t unprepareHeader(WaveHeader* header) override;
  int32_t write(WaveHeader* header) override;
  int32_t reset() override;
  int32_t close() override;
  std::string errorText(int32_t code) const override;
  // A message box titled "Error" while SDL's video is up, else standard error.
  void showError(const std::string& text) override;

 private:
  static void audioCallback(void* self, uint8_t* stream, int length);
  void fill(int16_t* out, int count);
  void notifyLoop();
  void retireAllQueued();  // with mutex_ held

  SdlAudioStream stream_;
  std::atomic<bool> open_{false};
  std::string openError_;

  std::mutex mutex_;  // guards everything below; SDL's callback takes it too
  bool paused_ = false;
  std::condition_variable wake_;
  std::deque<WaveHeader*> queue_;  // buffers waiting or playing, oldest first
  uint32_t playOffset_ = 0;        // bytes of queue_.front() already played
  std::deque<WaveHeader*> done_;   // played, notification not yet delivered
  bool quit_ = false;
  WaveCallback callback_ = nullptr;
  void* instance_ = nullptr;
  std::thread notifier_;
};

}  // namespace host
