#include "host/win32/win32_wave_output.h"

#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "host/wave_notify.h"

namespace host {
namespace {

std::atomic<int32_t> boxesShown{0};
std::atomic<Win32WaveOutput::ErrorSink> errorSink{nullptr};

// The device thread's pause between looks at the position (and at the clock
// while it waits to try a lost device again) when there is nothing to do.
constexpr auto kTick = std::chrono::milliseconds(20);

std::string deviceErrorText(int32_t code) {
  char text[256];
  std::memset(text, 0, sizeof text);
  if (waveOutGetErrorTextA(static_cast<MMRESULT>(code), text, sizeof text) != MMSYSERR_NOERROR || text[0] == 0) {
    return waveErrorText(code);
  }
  return text;
}

// The user hears of a failing device once per run, as of any device error: a
// task-modal box on a thread of its own, so that neither the music nor the
// device thread's next open waits until it is dismissed.
void tellUserOfDeviceError(int32_t code) {
  if (boxesShown.load() != 0) return;
  std::thread([text = deviceErrorText(code)] { Win32WaveOutput::showErrorOnce(text); }).detach();
}

WAVEFORMATEX monoFormat() {
  WAVEFORMATEX format;
  std::memset(&format, 0, sizeof format);
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = kWaveChannels;
  format.nSamplesPerSec = kWaveSampleRate;
  format.nAvgBytesPerSec = kWaveSampleRate * kWaveBlockAlign;  // 88200
  format.nBlockAlign = kWaveBlockAlign;
  format.wBitsPerSample = kWaveBitsPerSample;
  format.cbSize = 0;
  return format;
}

// One buffer as the driver sees it: our copy of a caller's samples and the
// WAVEHDR that points at it (dwUser points back at the block). A block is free
// for a new write when it has no caller header, is not with the driver and is
// not prepared.
struct Block {
  std::vector<int16_t> samples;
  WAVEHDR native{};
  WaveHeader* header = nullptr;  // the caller's, while queued
  bool withDriver = false;       // written (or being written), not yet handed back
  bool prepared = false;         // native is prepared (or being prepared) with the device
  uint64_t session = 0;          // the device it was written to
  HWAVEOUT device = nullptr;     // and that device's handle
};

}  // namespace

// Everything below `mutex` is guarded by it. The device thread releases the
// mutex around every driver call (the driver may call deviceCallback from
// inside one, and a stuck call must not hold up the caller); before it lets go
// it marks the block or device it works on (withDriver, prepared, closing), so
// that nothing the caller does meanwhile can reuse them.
struct Win32WaveOutput::State {
  explicit State(const WaveOutApi& a) : api(a) {}

  const WaveOutApi& api;
  std::mutex mutex;
  std::condition_variable wakeDevice;    // the device thread
  std::condition_variable wakeNotifier;  // the notification thread

  // What the caller wants.
  bool open = false;       // between open and close
  uint64_t openings = 0;   // opens so far: a device of an earlier one is closed
  bool paused = false;
  uint64_t resets = 0;     // reset requests so far
  bool quit = false;       // the output is gone: close the device and end
  WaveCallback callback = nullptr;
  void* instance = nullptr;

  // Blocks, never freed while the device thread runs (a stuck driver may hold
  // any of them); queue lists those with a caller header, in write order.
  std::deque<std::unique_ptr<Block>> blocks;
  std::deque<Block*> queue;
  std::deque<WaveHeader*> done;  // handed back, not yet delivered
  bool notifierQuit = false;

  // The device, as the device thread has it.
  HWAVEOUT device = nullptr;
  uint64_t deviceOpening = 0;  // the `openings` it was opened for
  uint64_t session = 0;        // of the open device; 0 while none (hand-backs are then no plays)
  uint64_t sessions = 0;
  bool devicePaused = false;
  uint64_t resetsDone = 0;
  bool lost = false;       // the device went away: close it and open another
  uint64_t retryAtMs = 0;  // when to try opening again
  uint64_t openedAtMs = 0;
  uint32_t lastRaw = 0;    // the last position read, and when it last moved
  uint64_t lastMoveMs = 0;
  uint32_t opens = 0;

  static void CALLBACK deviceCallback(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                      DWORD_PTR) {
    // The audio system's thread: take note and leave (no waveOut calls here).
    if (message != WOM_DONE || instance == 0 || param1 == 0) return;
    reinterpret_cast<State*>(instance)->handBack(device, reinterpret_cast<WAVEHDR*>(param1));
  }

  void handBack(HWAVEOUT from, WAVEHDR* native) {
    std::lock_guard<std::mutex> lock(mutex);
    auto* block = reinterpret_cast<Block*>(native->dwUser);
    // A late word from a device given up on is not about the block's present
    // trip (it may be on another device by now).
    if (block == nullptr || &block->native != native || !block->withDriver || block->device != from) return;
    block->withDriver = false;
    // A block handed back by the device it was written to has been played. One
    // handed back while a lost device is closed has not: it stays queued and
    // goes to the next device.
    if (block->header != nullptr && session != 0 && block->session == session) {
      queue.erase(std::remove(queue.begin(), queue.end(), block), queue.end());
      done.push_back(block->header);
      block->header = nullptr;
      wakeNotifier.notify_all();
    }
    wakeDevice.notify_all();  // to unprepare it
  }

  // The caller's side (mutex held).
  void handBackAllQueued() {
    for (Block* block : queue) {
      done.push_back(block->header);
      block->header = nullptr;
    }
    queue.clear();
    wakeNotifier.notify_all();
  }

  Block* freeBlock() {
    for (auto& block : blocks) {
      if (block->header == nullptr && !block->withDriver && !block->prepared) return block.get();
    }
    blocks.push_back(std::make_unique<Block>());
    return blocks.back().get();
  }

  // The device thread.
  void run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      if (device != nullptr && (quit || !open || deviceOpening != openings || lost)) {
        closeDevice(lock);
        continue;
      }
      if (device == nullptr) {
        if (quit) return;
        if (open && api.nowMs() >= retryAtMs) {
          openDevice(lock);
          continue;
        }
        if (open) {
          wakeDevice.wait_for(lock, kTick);
        } else {
          wakeDevice.wait(lock);
        }
        continue;
      }
      if (!serve(lock)) wakeDevice.wait_for(lock, kTick);
    }
  }

  // The next open comes at once after a device that played for a while, and
  // never sooner than kRetryMs after the last one (a device that fails as soon
  // as it is open is not opened in a busy loop).
  void markLost(MMRESULT code = MMSYSERR_NOERROR) {
    if (code != MMSYSERR_NOERROR) tellUserOfDeviceError(static_cast<int32_t>(code));
    lost = true;
    retryAtMs = openedAtMs + kRetryMs;
  }

  void openDevice(std::unique_lock<std::mutex>& lock) {
    const uint64_t opening = openings;
    WAVEFORMATEX format = monoFormat();
    HWAVEOUT opened = nullptr;
    lock.unlock();
    const MMRESULT result = api.open(&opened, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&deviceCallback),
                                     reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
    lock.lock();
    const uint64_t now = api.nowMs();
    if (result != MMSYSERR_NOERROR) {
      tellUserOfDeviceError(static_cast<int32_t>(result));
      retryAtMs = now + kRetryMs;
      return;
    }
    device = opened;
    deviceOpening = opening;
    openedAtMs = now;
    session = ++sessions;
    devicePaused = false;
    resetsDone = resets;  // a reset asked for before this device has nothing to stop
    lost = false;
    lastRaw = 0;
    lastMoveMs = now;
    ++opens;
  }

  // Stops and closes the device. Blocks it held that still have a caller
  // header go to the next device; the others are free again.
  void closeDevice(std::unique_lock<std::mutex>& lock) {
    const HWAVEOUT closing = device;
    session = 0;  // from here on a hand-back is no play
    std::vector<Block*> held;
    for (auto& block : blocks) {
      if (block->prepared) held.push_back(block.get());
    }
    lock.unlock();
    api.reset(closing);  // hands back whatever is queued
    for (Block* block : held) api.unprepareHeader(closing, &block->native, sizeof(WAVEHDR));
    api.close(closing);
    lock.lock();
    // The device is gone, whatever it answered: nothing of ours is with it.
    for (auto& block : blocks) {
      block->withDriver = false;
      block->prepared = false;
    }
    device = nullptr;
    if (!lost) retryAtMs = 0;
  }

  // One piece of work on the open device; false when there was none.
  bool serve(std::unique_lock<std::mutex>& lock) {
    const HWAVEOUT dev = device;
    if (resetsDone != resets) {
      resetsDone = resets;
      lock.unlock();
      api.reset(dev);
      lock.lock();
      devicePaused = !paused;  // apply the wanted state again after the reset
      return true;
    }
    if (devicePaused != paused) {
      const bool pause = paused;
      lock.unlock();
      const MMRESULT result = pause ? api.pause(dev) : api.restart(dev);
      lock.lock();
      if (result != MMSYSERR_NOERROR) {
        markLost(result);
      } else {
        devicePaused = pause;
        lastMoveMs = api.nowMs();  // the stall watch starts afresh
      }
      return true;
    }
    for (auto& owned : blocks) {
      Block* block = owned.get();
      if (!block->prepared || block->withDriver) continue;
      if (block->header != nullptr && block->session == session) continue;  // prepared for this device, not written yet
      // Played, handed back by a reset or orphaned: release it.
      lock.unlock();
      api.unprepareHeader(dev, &block->native, sizeof(WAVEHDR));
      lock.lock();
      block->prepared = false;
      return true;
    }
    for (Block* block : queue) {
      if (block->withDriver) continue;
      // The oldest block not yet on this device.
      const bool prepare = !block->prepared || block->session != session;
      block->session = session;
      block->device = dev;
      block->withDriver = true;  // before the driver can hand it back
      if (prepare) {
        std::memset(&block->native, 0, sizeof(WAVEHDR));
        block->native.lpData = reinterpret_cast<LPSTR>(block->samples.data());
        block->native.dwBufferLength = static_cast<DWORD>(block->samples.size() * sizeof(int16_t));
        block->native.dwUser = reinterpret_cast<DWORD_PTR>(block);
        block->prepared = true;
      }
      lock.unlock();
      MMRESULT result = MMSYSERR_NOERROR;
      if (prepare) result = api.prepareHeader(dev, &block->native, sizeof(WAVEHDR));
      if (result == MMSYSERR_NOERROR) result = api.write(dev, &block->native, sizeof(WAVEHDR));
      lock.lock();
      if (result != MMSYSERR_NOERROR) {
        // Kept in the queue for the next device.
        block->withDriver = false;
        markLost(result);
      }
      return true;
    }
    MMTIME time;
    std::memset(&time, 0, sizeof time);
    time.wType = TIME_BYTES;
    lock.unlock();
    const MMRESULT result = api.getPosition(dev, &time, sizeof time);
    lock.lock();
    const uint64_t now = api.nowMs();
    if (result != MMSYSERR_NOERROR) {
      markLost(result);
      return true;
    }
    // Only whether the position moves matters here, in whatever unit the
    // device counts: any change, a wrap included, is a move.
    const uint32_t raw = time.u.cb;
    const bool playing = !devicePaused && std::any_of(blocks.begin(), blocks.end(), [&](const auto& block) {
      return block->withDriver && block->session == session;
    });
    if (raw != lastRaw || !playing) {
      lastRaw = raw;
      lastMoveMs = now;
    } else if (now - lastMoveMs >= kStallMs) {
      markLost();
      return true;
    }
    return false;
  }

  void notifyLoop() {
    std::unique_lock<std::mutex> lock(mutex);
    deliverFinishedHeaders(lock, wakeNotifier, done, notifierQuit, callback, instance);
  }
};

Win32WaveOutput::Win32WaveOutput(const WaveOutApi& api) : state_(std::make_shared<State>(api)) {
  // The device thread keeps the state alive for as long as it may still be
  // inside a driver call.
  std::thread([state = state_] { state->run(); }).detach();
}

Win32WaveOutput::~Win32WaveOutput() {
  close();
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->quit = true;
  state_->wakeDevice.notify_all();
}

int32_t Win32WaveOutput::open(WaveCallback callback, void* instance) {
  State& s = *state_;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.open) return MMSYSERR_ALLOCATED;
    s.open = true;
    ++s.openings;
    s.retryAtMs = 0;  // a device for a new opening is tried at once
    s.paused = false;
    s.callback = callback;
    s.instance = instance;
    s.done.clear();
    s.notifierQuit = false;
    s.wakeDevice.notify_all();
  }
  notifier_ = std::thread([state = state_] { state->notifyLoop(); });
  return kWaveOk;
}

int32_t Win32WaveOutput::pause() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (!state_->open) return MMSYSERR_INVALHANDLE;
  state_->paused = true;
  state_->wakeDevice.notify_all();
  return kWaveOk;
}

int32_t Win32WaveOutput::restart() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (!state_->open) return MMSYSERR_INVALHANDLE;
  state_->paused = false;
  state_->wakeDevice.notify_all();
  return kWaveOk;
}

int32_t Win32WaveOutput::prepareHeader(WaveHeader* header) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (!state_->open) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || header->data == nullptr || header->length == 0 || header->length % kWaveBlockAlign != 0) {
    return MMSYSERR_INVALPARAM;
  }
  if (header->flags & kWaveHeaderInQueue) return WAVERR_STILLPLAYING;
  header->flags |= kWaveHeaderPrepared;
  return kWaveOk;
}

int32_t Win32WaveOutput::unprepareHeader(WaveHeader* header) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (!state_->open) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  // Queued, or handed back with its notification still on the way.
  if (header->flags & kWaveHeaderInQueue) return WAVERR_STILLPLAYING;
  header->flags &= ~kWaveHeaderPrepared;
  return kWaveOk;
}

int32_t Win32WaveOutput::write(WaveHeader* header) {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.open) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  if (!(header->flags & kWaveHeaderPrepared)) return WAVERR_UNPREPARED;
  if (header->flags & kWaveHeaderInQueue) return WAVERR_STILLPLAYING;
  Block* block = s.freeBlock();
  block->samples.assign(header->data, header->data + header->length / sizeof(int16_t));
  block->header = header;
  s.queue.push_back(block);
  header->flags = (header->flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
  s.wakeDevice.notify_all();
  return kWaveOk;
}

int32_t Win32WaveOutput::reset() {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.open) return MMSYSERR_INVALHANDLE;
  s.handBackAllQueued();
  ++s.resets;  // the device thread stops the device
  s.wakeDevice.notify_all();
  return kWaveOk;
}

int32_t Win32WaveOutput::close() {
  State& s = *state_;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.open) return MMSYSERR_INVALHANDLE;
    s.open = false;  // from here on nothing is queued; the device thread closes the device
    s.handBackAllQueued();
    s.notifierQuit = true;  // the notifier delivers what is left, then ends
    s.wakeDevice.notify_all();
  }
  // The notifier runs the caller's callbacks, never a driver call.
  if (notifier_.joinable()) notifier_.join();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.callback = nullptr;
  s.instance = nullptr;
  return kWaveOk;
}

uint32_t Win32WaveOutput::deviceOpens() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->opens;
}

bool Win32WaveOutput::hasDevice() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->device != nullptr;
}

std::string Win32WaveOutput::errorText(int32_t code) const { return deviceErrorText(code); }

void Win32WaveOutput::showError(const std::string& text) { showErrorOnce(text); }

void Win32WaveOutput::showErrorOnce(const std::string& text) {
  if (boxesShown.exchange(1) != 0) return;  // one box per run
  if (const ErrorSink sink = errorSink.load()) {
    sink(text);
    return;
  }
  MessageBoxA(nullptr, text.c_str(), "Error", MB_TASKMODAL);
}

int32_t Win32WaveOutput::errorBoxesShown() { return boxesShown.load(); }

void Win32WaveOutput::setErrorSinkForTests(ErrorSink sink) {
  errorSink.store(sink);
  boxesShown.store(0);
}

}  // namespace host
