// LoopingAudioOutput: the audio device the module player streams through.
//
// The player opens the default output (44100 Hz, 16-bit signed stereo, left
// sample first), hands it one buffer that the device plays over and over
// without further calls, and polls how many bytes have been played so far to
// know which part of the buffer it may rewrite. Shutting down is reset (stop
// playing), unprepare (forget the buffer) and close.
//
// Implementations: SdlLoopingAudioOutput (host/sdl/), Win32LoopingAudioOutput
// (host/win32/), the browser's (host/web/web_audio.h) and
// FakeLoopingAudioOutput (host/headless/, tests and tools).
#pragma once

#include <cstddef>
#include <cstdint>

namespace host {

class LoopingAudioOutput {
 public:
  static constexpr int32_t kSampleRate = 44100;
  static constexpr int32_t kChannels = 2;
  static constexpr int32_t kBytesPerFrame = 4;  // two int16 samples

  virtual ~LoopingAudioOutput() = default;

  // Opens the default output device in the fixed format. false when there is
  // no device (nothing stays open then).
  virtual bool open() = 0;
  // Starts playing `bytes` bytes at `frames` in an endless loop from byte 0.
  // The buffer stays owned by the caller and must live until unprepare(); the
  // caller rewrites parts of it that are not being played. false when the
  // device is not open or the buffer is empty.
  virtual bool playLooping(const int16_t* frames, size_t bytes) = 0;
  // Bytes played since playLooping, counted on 64 bits so it never wraps in
  // practice. Safe to call from any thread.
  virtual uint64_t positionBytes() const = 0;
  // Stops playing; the position goes back to 0.
  virtual void reset() = 0;
  // Forgets the buffer given to playLooping (the caller may then free it).
  virtual void unprepare() = 0;
  // Closes the device. Safe to call when it is not open.
  virtual void close() = 0;
  // The caller has rewritten part of the buffer (called after each rewrite,
  // from the thread that wrote it). An output whose own thread reads the
  // buffer publishes the rewrite to it here.
  virtual void ringWritten() {}

  // Who runs the player's refill of the ring. By default (false) the player
  // runs it on an output thread of its own. An output on a platform without
  // threads takes `refill` instead and calls it with `context` once per frame
  // of the application (true); a null `refill` withdraws it, after which it
  // is never called again.
  using Refill = void (*)(void* context);
  virtual bool takeRefill(Refill refill, void* context) { return false; }
};

}  // namespace host
