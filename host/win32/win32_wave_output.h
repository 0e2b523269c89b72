// Win32WaveOutput: the WaveOutput on the waveform audio interface
// (waveOutOpen and its companions), mono 16-bit PCM at 44100 Hz.
//
// No waveOut call is made on the caller's thread. A driver can block in any
// of them (waveOutOpen, waveOutReset and waveOutClose on a hung audio service
// or a device being removed), and the callers are the UI thread and the done
// notifications. So one device thread per output owns the device: it opens
// and closes it, prepares and writes buffers, applies pause and restart, and
// watches the play position. The calls of the interface only record what is
// wanted under a lock and wake that thread; they never wait for it.
//
// `write` copies the caller's samples into a block of our own, and only our
// blocks are handed to the driver: the caller may reuse or free its buffer as
// soon as it has it back, even while a stuck driver still holds the copy. The
// blocks live as long as the device thread (which keeps the shared state alive
// after the output is destroyed, until its last driver call has returned).
//
// The driver's callback (CALLBACK_FUNCTION) runs on a thread of the audio
// system, where almost no system call is allowed: it only moves the played
// block's header onto a done list. A notification thread, started by `open`
// and joined by `close`, delivers the done messages, so the caller's callback
// may queue buffers again; it never calls the driver either. `reset` and
// `close` hand every queued header back at once, and the device thread then
// stops the device.
//
// A device that goes away (an unplugged headset, a restarted audio service:
// waveOutWrite or waveOutGetPosition fails, or the position stands still for
// kStallMs while buffers are playing) is closed and opened again, at once and
// then every kRetryMs until it works. The buffers it had not played are
// written to the new device in their order, so the music carries on where the
// player is, with nothing for the user to do. A run with no device at all
// stays silent: the buffers wait for one.
//
// Errors returned are the waveform interface's own (MMSYSERR_*, WAVERR_*) and
// concern the use of the interface only; a failing driver is the device
// thread's business, and the first error code a driver gives is shown to the
// user from a thread of its own while the device thread carries on. `errorText`
// is waveOutGetErrorTextA's text. `showError` shows a task-modal message box
// titled "Error", at most once per run: a device that keeps failing does not
// stack boxes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "host/wave_output.h"
#include "host/win32/win32_wave_out_api.h"

namespace host {

class Win32WaveOutput final : public WaveOutput {
 public:
  static constexpr uint64_t kStallMs = 1500;
  static constexpr uint64_t kRetryMs = 500;

  explicit Win32WaveOutput(const WaveOutApi& api = WaveOutApi::system());
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

  // Devices the device thread has opened so far (the first one and each
  // reopen after a loss), and whether one is open now.
  uint32_t deviceOpens() const;
  bool hasDevice() const;

  // Message boxes shown by any output in this process so far (0 or 1).
  static void showErrorOnce(const std::string& text);
  static int32_t errorBoxesShown();
  // Tests: what showError would show goes to `sink` instead of a box (null:
  // boxes again), and the run counts as having shown none so far.
  using ErrorSink = void (*)(const std::string& text);
  static void setErrorSinkForTests(ErrorSink sink);

  struct State;  // shared by the caller, the device thread and the notifier

 private:
  std::shared_ptr<State> state_;
  std::thread notifier_;  // between open and close
};

}  // namespace host
