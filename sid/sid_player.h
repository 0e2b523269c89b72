// SidPlayer: plays one PSID tune through the 6502 emulation and SID synthesis.
//
// play(image, size, subtune) zeroes the player state, loads the tune, runs its
// init routine, opens the audio output paused and queues two rendered buffers
// of 7056 samples (16 play-routine calls); resume() starts the output; every
// played buffer is refilled with 8 more play calls and queued again; stop()
// ends the refills, resets and closes the output.
//
// Refills run on the output's notification thread. One mutex keeps them apart
// from play/stop/resume: when stop() returns no refill is running and none
// will queue a buffer again, and play() never zeroes the state under a refill.
// Without an output device the tune is still loaded and rendered, silently.
#pragma once

#include <cstdint>
#include <memory>

namespace host {
class WaveOutput;  // host/wave_output.h
}

namespace sid {

class SidPlayer {
 public:
  explicit SidPlayer(host::WaveOutput& output);
  ~SidPlayer();  // stops
  SidPlayer(const SidPlayer&) = delete;
  SidPlayer& operator=(const SidPlayer&) = delete;

  void play(const uint8_t* image, int32_t size, int32_t subtune);
  void stop();
  void resume();

  // Diagnostics: play-routine calls since the last play, and whether an output
  // device is open.
  uint64_t playCallCount() const;
  bool hasDevice() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace sid
