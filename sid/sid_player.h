// SidPlayer: plays one PSID tune through the 6502 emulation and SID synthesis.
//
// play(image, size, subtune) zeroes the player state, loads the tune, runs its
// init routine, opens the audio output paused and queues two rendered buffers
// of 7056 samples (16 play-routine calls); resume() starts the output; every
// played buffer is refilled with 8 more play calls and queued again; stop()
// ends the refills, resets and closes the output.
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

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace sid
