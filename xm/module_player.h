// ModulePlayer: plays one XM module at a time from memory.
//
// Pipeline: loader (xm/loader) -> XmSong in memory -> sequencer (rows, ticks,
// effects, envelopes) -> 64 mixer voices -> float mix -> 16-bit stereo ring
// that the audio output plays in an endless loop. The output thread keeps the
// ring filled ahead of the play position; the application only starts, stops
// and switches, and reads the notes being heard for the level meter.
//
// Driving it: load(data, size), play(); stop() / play() to pause and restart
// from the beginning; stop(), unload() before loading another module.
#pragma once

#include <cstdint>
#include <memory>

namespace host {
class LoopingAudioOutput;  // host/looping_audio_output.h
}

namespace xm {

class ModulePlayer {
 public:
  explicit ModulePlayer(host::LoopingAudioOutput& output);
  ~ModulePlayer();  // stops and unloads
  ModulePlayer(const ModulePlayer&) = delete;
  ModulePlayer& operator=(const ModulePlayer&) = delete;

  bool load(const uint8_t* data, int32_t size);
  bool play();
  bool stop();
  bool unload();

  int32_t channelCount() const;
  int32_t audibleOrder() const;
  int32_t audibleRow() const;
  // Cell of the row being heard: note in the low byte, instrument in the high byte.
  uint16_t cellAt(int32_t channel) const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace xm
