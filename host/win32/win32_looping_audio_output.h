// Win32LoopingAudioOutput: the LoopingAudioOutput on the waveform audio
// interface. The default device (WAVE_MAPPER) is opened for 16-bit stereo PCM
// at 44100 Hz without a callback; the caller's buffer is prepared once with
// WHDR_BEGINLOOP | WHDR_ENDLOOP and a loop count of 0xFFFFFFFF and written
// once, so the device plays it over and over. The play position comes from
// waveOutGetPosition in bytes; its 32-bit counter is widened to 64 bits here
// (it would wrap after about 6.7 hours).
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "host/looping_audio_output.h"
#include "host/wave_position.h"

namespace host {

class Win32LoopingAudioOutput final : public LoopingAudioOutput {
 public:
  Win32LoopingAudioOutput() = default;
  ~Win32LoopingAudioOutput() override;
  Win32LoopingAudioOutput(const Win32LoopingAudioOutput&) = delete;
  Win32LoopingAudioOutput& operator=(const Win32LoopingAudioOutput&) = delete;

  bool open() override;
  bool playLooping(const int16_t* frames, size_t bytes) override;
  uint64_t positionBytes() const override;
  void reset() override;
  void unprepare() override;
  void close() override;

 private:
  HWAVEOUT device_ = nullptr;
  WAVEHDR header_{};
  bool prepared_ = false;
  mutable std::mutex mutex_;  // guards the position widening
  mutable WavePosition position_{kBytesPerFrame, kSampleRate};
};

}  // namespace host
