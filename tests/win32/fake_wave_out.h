// A scripted waveOut driver for the outputs' tests: one device at a time,
// a clock the test moves by hand, buffers that play only when the test says
// so (their done messages go to the output's callback on the test's thread,
// as a driver's own thread would send them), answers the test chooses, and
// calls that can be made to hang until the test lets them go.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "host/win32/win32_wave_out_api.h"

namespace fakewave {

enum Call : int { Open, Prepare, Unprepare, Write, Position, Pause, Restart, Reset, Close, kCalls };

struct Driver {
  std::mutex mutex;  // guards everything but nowMs
  std::condition_variable changed;
  std::atomic<uint64_t> nowMs{1000};

  // What the test chose.
  std::array<MMRESULT, kCalls> result{};  // answered by each call (the calls happen all the same but open)
  std::array<bool, kCalls> hang{};        // the call waits until the test clears it
  // What happened.
  std::array<int, kCalls> calls{};   // calls made so far
  std::array<int, kCalls> inside{};  // calls hanging now
  int opens = 0;                     // devices opened
  bool open = false;
  bool paused = false;
  uintptr_t handle = 0;  // of the open device (a new value for each)
  DWORD_PTR callback = 0, instance = 0;
  uint32_t position = 0;         // played by the open device, in timeFormat's unit
  UINT timeFormat = TIME_BYTES;  // what getPosition answers in, whatever is asked
  std::deque<WAVEHDR*> queue;    // written, not yet handed back
  std::vector<int16_t> written;  // first sample of every buffer written, in order
  std::vector<uint64_t> writtenHashes;  // and a hash of all its bytes
  const WAVEHDR* lastWritten = nullptr;
  DWORD lastWrittenFlags = 0;
};

Driver& driver();
// A fresh device: nothing open, every call answering MMSYSERR_NOERROR.
void resetDriver();
const host::WaveOutApi& api();

// The open device plays its oldest queued buffer and hands it back. false
// when it has none or is paused.
bool playOne();
// Ends a hang of `call` (and lets every later call through).
void release(Call call);

template <typename F>
bool waitFor(F ready, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return ready();
}

// Reads the driver under its lock.
template <typename F>
auto with(F read) {
  std::lock_guard<std::mutex> lock(driver().mutex);
  return read(driver());
}

}  // namespace fakewave
