// SdlAudioStream: one SDL audio device that the program never waits for.
//
// An audio server may freeze (a stopped PulseAudio, a stalled Bluetooth or
// network sink) or go away and come back (a restart, a headset unplugged).
// SDL's device calls then block: opening connects to the server and waits for
// its answer, and closing waits for SDL's audio thread, which sits in the
// frozen server's client library. So no SDL audio call is made on the caller's
// thread. One worker thread of the process starts SDL's audio, opens and
// closes every stream's device and watches it; `start` and `stop` only say
// what is wanted and return at once.
//
// While a stream is wanted the worker keeps a device open for it: a device
// that SDL reports removed, or whose callback has not run for kStallSeconds,
// is closed and opened again (every kRetrySeconds while none can be had), and
// the stream's fill carries on from where its source is. A frozen server at
// worst holds up the worker, never the caller; its device comes back when the
// server wakes.
//
// The fill runs on SDL's audio thread with the stream's lock held (`lock`),
// so a client that changes what its fill reads under that lock knows the fill
// is not running meanwhile. After `stop` returns the fill is not called again.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace host {

class SdlAudioStream {
 public:
  // Fills `length` bytes of the device's buffer (silence when it has nothing).
  using Fill = void (*)(void* context, uint8_t* stream, int length);

  static constexpr double kStallSeconds = 1.5;
  static constexpr double kRetrySeconds = 0.5;
  // Longest wait of `start` for SDL's audio to come up the first time.
  static constexpr int32_t kStartWaitMs = 500;

  // Signed 16-bit samples at `rate` Hz, `channels` interleaved, `samples`
  // frames per callback.
  SdlAudioStream(int32_t rate, int32_t channels, int32_t samples, Fill fill, void* context);
  ~SdlAudioStream();
  SdlAudioStream(const SdlAudioStream&) = delete;
  SdlAudioStream& operator=(const SdlAudioStream&) = delete;

  // Wants a device. false only when SDL's audio could not be started at all
  // (no usable driver); a server that does not answer yet is not a failure,
  // its device comes when it does.
  bool start();
  // Wants none; the fill is not called again once this returns.
  void stop();
  bool wanted() const;
  // Whether a device is open for this stream now.
  bool hasDevice() const;

  // The lock the fill runs under.
  std::mutex& lock();
  // Times the fill has been called since the stream was made (any thread).
  uint64_t fills() const;
  // Devices opened for this stream so far (a reopen after a loss counts too).
  uint32_t opens() const;
  // The last SDL error of the worker for this stream (empty when none).
  std::string lastError() const;

  struct Slot;

 private:
  std::shared_ptr<Slot> slot_;
};

}  // namespace host
