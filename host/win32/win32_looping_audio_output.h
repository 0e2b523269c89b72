// Win32LoopingAudioOutput: the LoopingAudioOutput on the waveform audio
// interface. The default device (WAVE_MAPPER) is opened for 16-bit stereo PCM
// at 44100 Hz without a callback; a buffer is prepared once with
// WHDR_BEGINLOOP | WHDR_ENDLOOP and a loop count of 0xFFFFFFFF and written
// once, so the device plays it over and over.
//
// No waveOut call is made on the caller's threads (the UI thread opens, stops
// and closes; the player's output thread polls the position and rewrites the
// ring): a driver can block in any of them. One device thread per output owns
// the device. It opens and closes it, starts and stops the loop, and reads
// waveOutGetPosition every kPollMs, publishing the position in an atomic that
// `positionBytes` reads without waiting. A position that lags by a poll is
// safe: the player rewrites only blocks behind it.
//
// The device loops a copy of the caller's ring, owned by the output: made by
// `playLooping`, brought up to date by `ringWritten` after each rewrite, and
// kept alive until the device thread has released it from the driver. So the
// caller may free its ring after `unprepare` returns even while a stuck driver
// still holds the copy.
//
// The position, in whatever unit the device reports (bytes, samples or
// milliseconds), is widened to 64 bits by WavePosition. A device that goes
// away while the loop plays (an unplugged headset, a restarted audio service:
// waveOutGetPosition fails, or its position stands still for kStallMs) is
// closed and opened again, at once and then every kRetryMs until it works. The
// new device starts the loop at the buffer's first byte, so the position
// carries on from the next whole lap of the buffer: the player then refills
// from there and the music goes on where it was. Until the device is back the
// position stands still.
//
// The waveOut calls go through a WaveOutApi, the real functions unless a test
// hands in its own (with its own clock).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "host/looping_audio_output.h"
#include "host/win32/win32_wave_out_api.h"

namespace host {

class Win32LoopingAudioOutput final : public LoopingAudioOutput {
 public:
  static constexpr uint64_t kStallMs = 1500;
  static constexpr uint64_t kRetryMs = 500;
  static constexpr uint64_t kPollMs = 4;

  explicit Win32LoopingAudioOutput(const WaveOutApi& api = WaveOutApi::system());
  ~Win32LoopingAudioOutput() override;
  Win32LoopingAudioOutput(const Win32LoopingAudioOutput&) = delete;
  Win32LoopingAudioOutput& operator=(const Win32LoopingAudioOutput&) = delete;

  // true when a device is wanted: the device thread opens it (and keeps
  // trying while there is none). false only when already open.
  bool open() override;
  bool playLooping(const int16_t* frames, size_t bytes) override;
  uint64_t positionBytes() const override;
  void reset() override;
  void unprepare() override;
  void close() override;
  void ringWritten() override;

  // Times the device was closed and opened again after going away, and
  // whether the loop is playing on a device now.
  uint32_t reopenCount() const;
  bool looping() const;

  struct State;  // shared by the caller and the device thread

 private:
  std::shared_ptr<State> state_;
};

}  // namespace host
