#include "tests/win32/fake_wave_out.h"

#include <gtest/gtest.h>

namespace fakewave {
namespace {

using Callback = void(CALLBACK*)(HWAVEOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);

// Counts the call, waits out a hang; returns with the lock held.
std::unique_lock<std::mutex> enter(Call call) {
  Driver& d = driver();
  std::unique_lock<std::mutex> lock(d.mutex);
  ++d.calls[call];
  ++d.inside[call];
  d.changed.notify_all();
  d.changed.wait(lock, [&] { return !d.hang[call]; });
  --d.inside[call];
  return lock;
}

HWAVEOUT handleOf(const Driver& d) { return reinterpret_cast<HWAVEOUT>(d.handle); }

// Hands `headers` back through the device's callback, without the lock (the
// output takes its own there).
void handBack(std::unique_lock<std::mutex>& lock, std::deque<WAVEHDR*> headers) {
  Driver& d = driver();
  const HWAVEOUT device = handleOf(d);
  const DWORD_PTR callback = d.callback;
  const DWORD_PTR instance = d.instance;
  for (WAVEHDR* header : headers) header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  lock.unlock();
  if (callback != 0) {
    for (WAVEHDR* header : headers) {
      reinterpret_cast<Callback>(callback)(device, WOM_DONE, instance, reinterpret_cast<DWORD_PTR>(header), 0);
    }
  }
  lock.lock();
}

MMRESULT WINAPI fakeOpen(LPHWAVEOUT device, UINT, LPCWAVEFORMATEX, DWORD_PTR callback, DWORD_PTR instance,
                         DWORD flags) {
  auto lock = enter(Open);
  Driver& d = driver();
  if (d.result[Open] != MMSYSERR_NOERROR) return d.result[Open];
  EXPECT_FALSE(d.open) << "opened over an open device";
  d.open = true;
  ++d.opens;
  d.handle = 0x100 + static_cast<uintptr_t>(d.opens);
  d.callback = (flags & CALLBACK_TYPEMASK) == CALLBACK_FUNCTION ? callback : 0;
  d.instance = instance;
  d.position = 0;
  d.paused = false;
  d.queue.clear();
  *device = handleOf(d);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakePrepare(HWAVEOUT, LPWAVEHDR header, UINT) {
  auto lock = enter(Prepare);
  if (driver().result[Prepare] != MMSYSERR_NOERROR) return driver().result[Prepare];
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeUnprepare(HWAVEOUT, LPWAVEHDR header, UINT) {
  auto lock = enter(Unprepare);
  header->dwFlags &= ~WHDR_PREPARED;
  return driver().result[Unprepare];
}

MMRESULT WINAPI fakeWrite(HWAVEOUT device, LPWAVEHDR header, UINT) {
  auto lock = enter(Write);
  Driver& d = driver();
  EXPECT_EQ(device, handleOf(d));
  EXPECT_TRUE(header->dwFlags & WHDR_PREPARED) << "written unprepared";
  if (d.result[Write] != MMSYSERR_NOERROR) return d.result[Write];
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  d.queue.push_back(header);
  d.written.push_back(header->dwBufferLength >= 2 ? *reinterpret_cast<const int16_t*>(header->lpData) : 0);
  uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (DWORD i = 0; i < header->dwBufferLength; ++i) hash = (hash ^ static_cast<uint8_t>(header->lpData[i])) * 1099511628211ull;
  d.writtenHashes.push_back(hash);
  d.lastWritten = header;
  d.lastWrittenFlags = header->dwFlags;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakeGetPosition(HWAVEOUT device, LPMMTIME time, UINT) {
  auto lock = enter(Position);
  Driver& d = driver();
  EXPECT_EQ(device, handleOf(d));
  if (d.result[Position] != MMSYSERR_NOERROR) return d.result[Position];
  time->wType = d.timeFormat;
  if (d.timeFormat == TIME_MS) {
    time->u.ms = d.position;
  } else {
    time->u.cb = d.position;
  }
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI fakePause(HWAVEOUT) {
  auto lock = enter(Pause);
  driver().paused = true;
  return driver().result[Pause];
}

MMRESULT WINAPI fakeRestart(HWAVEOUT) {
  auto lock = enter(Restart);
  driver().paused = false;
  return driver().result[Restart];
}

MMRESULT WINAPI fakeReset(HWAVEOUT) {
  auto lock = enter(Reset);
  Driver& d = driver();
  std::deque<WAVEHDR*> queued;
  queued.swap(d.queue);
  d.position = 0;
  handBack(lock, queued);  // as Windows does: from inside the reset
  return d.result[Reset];
}

MMRESULT WINAPI fakeClose(HWAVEOUT) {
  auto lock = enter(Close);
  Driver& d = driver();
  EXPECT_TRUE(d.open) << "closed twice";
  d.open = false;
  d.queue.clear();
  d.callback = 0;
  return MMSYSERR_NOERROR;
}

uint64_t fakeNow() { return driver().nowMs.load(); }

}  // namespace

Driver& driver() {
  static Driver* d = new Driver();  // device threads of ended tests may still call in
  return *d;
}

void resetDriver() {
  Driver& d = driver();
  std::lock_guard<std::mutex> lock(d.mutex);
  d.result.fill(MMSYSERR_NOERROR);
  d.hang.fill(false);
  d.calls.fill(0);
  d.opens = 0;
  d.open = false;
  d.paused = false;
  d.handle = 0;
  d.callback = d.instance = 0;
  d.position = 0;
  d.timeFormat = TIME_BYTES;
  d.queue.clear();
  d.written.clear();
  d.writtenHashes.clear();
  d.lastWritten = nullptr;
  d.lastWrittenFlags = 0;
  d.nowMs = 1000;
  d.changed.notify_all();
}

const host::WaveOutApi& api() {
  static const host::WaveOutApi table{&fakeOpen,  &fakePrepare, &fakeUnprepare, &fakeWrite, &fakeGetPosition,
                                      &fakePause, &fakeRestart, &fakeReset,     &fakeClose, &fakeNow};
  return table;
}

bool playOne() {
  Driver& d = driver();
  std::unique_lock<std::mutex> lock(d.mutex);
  if (!d.open || d.paused || d.queue.empty()) return false;
  WAVEHDR* header = d.queue.front();
  d.queue.pop_front();
  d.position += header->dwBufferLength;
  handBack(lock, {header});
  return true;
}

void release(Call call) {
  Driver& d = driver();
  std::lock_guard<std::mutex> lock(d.mutex);
  d.hang[call] = false;
  d.changed.notify_all();
}

}  // namespace fakewave
