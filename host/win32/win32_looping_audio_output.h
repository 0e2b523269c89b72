// Win32LoopingAudioOutput: the LoopingAudioOutput on the waveform audio
// interface. The default device (WAVE_MAPPER) is opened for 16-bit stereo PCM
// at 44100 Hz without a callback; the caller's buffer is prepared once with
// WHDR_BEGINLOOP | WHDR_ENDLOOP and a loop count of 0xFFFFFFFF and written
// once, so the device plays it over and over. The play position comes from
// waveOutGetPosition in bytes; its 32-bit counter is widened to 64 bits here
// (it would wrap after about 6.7 hours).
//
// A device that goes away while the loop plays (an unplugged headset, a
// restarted audio service: waveOutGetPosition fails, or its position stands
// still for kStallMs) is closed and opened again from positionBytes, the
// player's output thread, never the UI thread; a failed attempt is tried again
// every kRetryMs. The new device starts the loop at the buffer's first byte,
// so the position carries on from the next whole lap of the buffer: the
// player then refills from there and the music goes on where it was. Until
// the device is back the position stands still.
//
// The waveOut calls go through a WaveOutApi, the real functions unless a test
// hands in its own (with its own clock).
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "host/looping_audio_output.h"
#include "host/common/wave_position.h"

namespace host {

struct WaveOutApi {
  MMRESULT(WINAPI* open)(LPHWAVEOUT, UINT, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR, DWORD);
  MMRESULT(WINAPI* prepareHeader)(HWAVEOUT, LPWAVEHDR, UINT);
  MMRESULT(WINAPI* unprepareHeader)(HWAVEOUT, LPWAVEHDR, UINT);
  MMRESULT(WINAPI* write)(HWAVEOUT, LPWAVEHDR, UINT);
  MMRESULT(WINAPI* getPosition)(HWAVEOUT, LPMMTIME, UINT);
  MMRESULT(WINAPI* reset)(HWAVEOUT);
  MMRESULT(WINAPI* close)(HWAVEOUT);
  uint64_t (*nowMs)();  // a monotonic clock in milliseconds

  static const WaveOutApi& system();
};

class Win32LoopingAudioOutput final : public LoopingAudioOutput {
 public:
  static constexpr uint64_t kStallMs = 1500;
  static constexpr uint64_t kRetryMs = 500;

  explicit Win32LoopingAudioOutput(const WaveOutApi& api = WaveOutApi::system()) : api_(api) {}
  ~Win32LoopingAudioOutput() override;
  Win32LoopingAudioOutput(const Win32LoopingAudioOutput&) = delete;
  Win32LoopingAudioOutput& operator=(const Win32LoopingAudioOutput&) = delete;

  bool open() override;
  bool playLooping(const int16_t* frames, size_t bytes) override;
  uint64_t positionBytes() const override;
  void reset() override;
  void unprepare() override;
  void close() override;

  // Times the device was closed and opened again after going away.
  uint32_t reopenCount() const;

 private:
  bool openDevice();                      // with mutex_ held
  bool startLoop();                       // with mutex_ held, device open
  void unprepareDevice();                 // with mutex_ held
  void closeDevice();                     // with mutex_ held
  void markLost(uint64_t now) const;      // with mutex_ held
  bool tryReopen() const;                 // with mutex_ held

  const WaveOutApi& api_;
  mutable std::mutex mutex_;  // guards everything below
  mutable HWAVEOUT device_ = nullptr;
  mutable WAVEHDR header_{};
  mutable bool prepared_ = false;
  mutable WavePosition position_{kBytesPerFrame, kSampleRate};
  // The loop being played, kept to start it again on a new device.
  const int16_t* loopFrames_ = nullptr;
  mutable DWORD loopBytes_ = 0;
  mutable bool playing_ = false;
  // Device-loss watch: the last raw position and when it last moved; while
  // lost, when to try again; what the position was when the device went.
  mutable uint32_t lastRaw_ = 0;
  mutable uint64_t lastMoveMs_ = 0;
  mutable bool lost_ = false;
  mutable uint64_t nextTryMs_ = 0;
  mutable uint64_t base_ = 0;
  mutable uint64_t lastReported_ = 0;
  mutable uint32_t reopens_ = 0;
};

}  // namespace host
