// Win32WaveOutput: the WaveOutput on the waveform audio interface
// (waveOutOpen and its companions), mono 16-bit PCM at 44100 Hz.
//
// Every WaveHeader the caller hands in is paired with a WAVEHDR of our own
// (up to kSlots headers). The device's callback (CALLBACK_FUNCTION) runs on a
// thread of the audio system, where almost no system call is allowed: it only
// moves the played header onto a done list. A notification thread of ours then
// delivers the done messages, so the caller's callback may prepare and queue
// buffers again. No waveOut call is made while our lock is held, since the
// device may hold its own lock while it runs our callback.
//
// Error codes are the waveform interface's own (MMSYSERR_*, WAVERR_*), and
// `errorText` is waveOutGetErrorTextA's text. `showError` shows a task-modal
// message box titled "Error", at most once per run: a device that keeps
// failing does not stack boxes.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "host/wave_output.h"

namespace host {

class Win32WaveOutput final : public WaveOutput {
 public:
  static constexpr int kSlots = 8;

  Win32WaveOutput() = default;
  ~Win32WaveOutput() override;
  Win32WaveOutput(const Win32WaveOutput&) = delete;
  Win32WaveOutput& operator=(const Win32WaveOutput&) = delete;

  int32_t open(WaveCallback callback, void* instance) override;
  int32_t pause() override;
  int32_t restart() override;
  int32_t prepareHeader(WaveHeader* header) override;
  int32_t unprepareHeader(WaveHeader* header) override;
  int32_t write(WaveHeader* header) override;
  int32_t reset() override;
  int32_t close() override;
  std::string errorText(int32_t code) const override;
  void showError(const std::string& text) override;

  // Message boxes shown by any output in this process so far (0 or 1).
  static int32_t errorBoxesShown();
  // Tests: what showError would show goes to `sink` instead of a box (null:
  // boxes again), and the run counts as having shown none so far.
  using ErrorSink = void (*)(const std::string& text);
  static void setErrorSinkForTests(ErrorSink sink);

 private:
  struct Slot {
    WaveHeader* header = nullptr;  // the caller's header, null = free
    WAVEHDR native{};              // ours, dwUser = the slot's index
    bool prepared = false;         // native is prepared with the device
    bool queued = false;           // written, not yet handed back
  };

  static void CALLBACK deviceCallback(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                      DWORD_PTR param2);
  void handBack(WAVEHDR* native);
  void notifyLoop();
  Slot* findSlot(const WaveHeader* header);  // with mutex_ held
  Slot* slotFor(WaveHeader* header);         // finds or takes a free one, with mutex_ held

  HWAVEOUT device_ = nullptr;
  std::mutex mutex_;  // guards everything below
  std::condition_variable wake_;
  std::array<Slot, kSlots> slots_{};
  std::deque<WaveHeader*> done_;  // handed back by the device, not yet delivered
  bool quit_ = false;
  bool closing_ = false;
  WaveCallback callback_ = nullptr;
  void* instance_ = nullptr;
  std::thread notifier_;
};

}  // namespace host
