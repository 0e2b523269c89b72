#include "host/win32/win32_looping_audio_output.h"

#include <mmsystem.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "host/wave_position.h"

namespace host {

// Everything below `mutex` but `position` is guarded by it. The device thread
// releases the mutex around every driver call, so a stuck driver never holds
// up the caller; `header` and `prepared` are the device thread's alone.
struct Win32LoopingAudioOutput::State {
  explicit State(const WaveOutApi& a) : api(a) {}

  const WaveOutApi& api;
  std::mutex mutex;
  std::condition_variable wake;

  // What the caller wants.
  bool open = false;
  uint64_t openings = 0;  // opens so far: a device of an earlier one is closed
  bool quit = false;      // the output is gone: close the device and end
  bool playing = false;
  uint64_t loops = 0;  // playLooping calls so far
  std::shared_ptr<std::vector<uint8_t>> loop;  // our copy of the ring, what the device plays
  const uint8_t* source = nullptr;             // the caller's ring, copied by ringWritten

  // The position the player reads, published without the lock: a plain value
  // with nothing else hanging on it, stored under the mutex by whoever changes
  // it (release, paired with the acquire in positionBytes).
  std::atomic<uint64_t> position{0};
  uint64_t base = 0;          // bytes played before the present device's loop began
  uint64_t lastReported = 0;  // the value published last

  // The device, as the device thread has it.
  HWAVEOUT device = nullptr;
  uint64_t deviceOpening = 0;
  uint64_t deviceLoop = 0;  // the `loops` value of the loop on the device; 0 none
  std::shared_ptr<std::vector<uint8_t>> deviceCopy;  // held while the driver may read it
  WAVEHDR header{};
  bool prepared = false;
  WavePosition wavePosition{kBytesPerFrame, kSampleRate};
  bool lost = false;       // the device went away: close it and open another
  bool reopening = false;  // the next open replaces a lost device
  uint64_t retryAtMs = 0;  // when to try opening again
  uint64_t openedAtMs = 0;
  uint32_t lastRaw = 0;  // the last position read, and when it last moved
  uint64_t lastMoveMs = 0;
  uint32_t reopens = 0;

  void publish(uint64_t bytes) {
    lastReported = bytes;
    position.store(bytes, std::memory_order_release);
  }

  // The next open comes at once after a device that played for a while, and
  // never sooner than kRetryMs after the last one (a device that fails as soon
  // as it is open is not opened in a busy loop).
  void markLost() {
    lost = true;
    retryAtMs = openedAtMs + kRetryMs;
  }

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
          wake.wait_for(lock, std::chrono::milliseconds(kPollMs));
        } else {
          wake.wait(lock);
        }
        continue;
      }
      if (deviceLoop != 0 && (!playing || deviceLoop != loops)) {
        stopLoop(lock);
        continue;
      }
      if (playing && deviceLoop == 0) {
        startLoop(lock);
        continue;
      }
      if (deviceLoop != 0) poll(lock);
      wake.wait_for(lock, std::chrono::milliseconds(kPollMs));
    }
  }

  void openDevice(std::unique_lock<std::mutex>& lock) {
    const uint64_t opening = openings;
    WAVEFORMATEX format;
    std::memset(&format, 0, sizeof format);
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = kChannels;
    format.nSamplesPerSec = kSampleRate;
    format.nAvgBytesPerSec = kSampleRate * kBytesPerFrame;  // 176400
    format.nBlockAlign = kBytesPerFrame;
    format.wBitsPerSample = 16;
    HWAVEOUT opened = nullptr;
    lock.unlock();
    const MMRESULT result = api.open(&opened, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    lock.lock();
    if (result != MMSYSERR_NOERROR) {
      retryAtMs = api.nowMs() + kRetryMs;
      return;
    }
    device = opened;
    deviceOpening = opening;
    openedAtMs = api.nowMs();
    if (reopening) ++reopens;
    reopening = false;
  }

  void closeDevice(std::unique_lock<std::mutex>& lock) {
    const HWAVEOUT closing = device;
    lock.unlock();
    api.reset(closing);  // an unprepare of a header still playing would fail
    if (prepared) api.unprepareHeader(closing, &header, sizeof header);
    api.close(closing);
    lock.lock();
    prepared = false;  // a lost device may refuse the unprepare; it is gone all the same
    deviceCopy.reset();
    deviceLoop = 0;
    device = nullptr;
    reopening = lost;
    lost = false;
  }

  void startLoop(std::unique_lock<std::mutex>& lock) {
    const HWAVEOUT dev = device;
    const uint64_t loopNumber = loops;
    deviceCopy = loop;
    std::memset(&header, 0, sizeof header);
    header.lpData = reinterpret_cast<LPSTR>(deviceCopy->data());
    header.dwBufferLength = static_cast<DWORD>(deviceCopy->size());
    lock.unlock();
    MMRESULT result = api.prepareHeader(dev, &header, sizeof header);
    prepared = result == MMSYSERR_NOERROR;
    if (prepared) {
      header.dwFlags |= WHDR_BEGINLOOP | WHDR_ENDLOOP;
      header.dwLoops = 0xFFFFFFFFu;
      result = api.write(dev, &header, sizeof header);
    }
    lock.lock();
    if (result != MMSYSERR_NOERROR) {
      markLost();
      return;
    }
    deviceLoop = loopNumber;
    wavePosition.reset();
    lastRaw = 0;
    lastMoveMs = api.nowMs();
    if (playing && loops == loopNumber) {
      // A new device plays from the buffer's start: carry on at the next lap
      // (for a loop just begun, lastReported is 0 and so is the lap).
      const uint64_t lap = deviceCopy->size();
      base = (lastReported + lap - 1) / lap * lap;
      publish(base);
    }
  }

  void stopLoop(std::unique_lock<std::mutex>& lock) {
    const HWAVEOUT dev = device;
    lock.unlock();
    api.reset(dev);
    if (prepared) api.unprepareHeader(dev, &header, sizeof header);
    lock.lock();
    prepared = false;
    deviceCopy.reset();
    deviceLoop = 0;
  }

  void poll(std::unique_lock<std::mutex>& lock) {
    const HWAVEOUT dev = device;
    const uint64_t loopNumber = deviceLoop;
    MMTIME time;
    std::memset(&time, 0, sizeof time);
    time.wType = TIME_BYTES;
    lock.unlock();
    const MMRESULT result = api.getPosition(dev, &time, sizeof time);
    lock.lock();
    const uint64_t now = api.nowMs();
    if (result != MMSYSERR_NOERROR) {
      markLost();
      return;
    }
    // A reset or another playLooping meanwhile: this position is not theirs.
    if (!playing || loops != loopNumber) return;
    WavePosition::Unit unit = WavePosition::Unit::Bytes;
    uint32_t value = 0;
    switch (time.wType) {
      case TIME_BYTES: value = time.u.cb; break;
      case TIME_SAMPLES: unit = WavePosition::Unit::Frames; value = time.u.sample; break;
      case TIME_MS: unit = WavePosition::Unit::Milliseconds; value = time.u.ms; break;
      default: return;
    }
    if (value != lastRaw) {
      lastRaw = value;
      lastMoveMs = now;
    } else if (now - lastMoveMs >= kStallMs) {
      markLost();
      return;
    }
    publish(base + wavePosition.bytes(unit, value));
  }
};

Win32LoopingAudioOutput::Win32LoopingAudioOutput(const WaveOutApi& api) : state_(std::make_shared<State>(api)) {
  // The device thread keeps the state (and the copy the driver may hold)
  // alive for as long as it may still be inside a driver call.
  std::thread([state = state_] { state->run(); }).detach();
}

Win32LoopingAudioOutput::~Win32LoopingAudioOutput() {
  close();
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->quit = true;
  state_->wake.notify_all();
}

bool Win32LoopingAudioOutput::open() {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.open) return false;
  s.open = true;
  ++s.openings;
  s.retryAtMs = 0;  // a device for a new opening is tried at once
  s.playing = false;
  s.publish(0);
  s.wake.notify_all();
  return true;
}

bool Win32LoopingAudioOutput::playLooping(const int16_t* frames, size_t bytes) {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.open || frames == nullptr || bytes < static_cast<size_t>(kBytesPerFrame)) return false;
  const auto* source = reinterpret_cast<const uint8_t*>(frames);
  s.loop = std::make_shared<std::vector<uint8_t>>(source, source + (bytes - bytes % kBytesPerFrame));
  s.source = source;
  ++s.loops;
  s.playing = true;
  s.base = 0;
  s.publish(0);
  s.wake.notify_all();
  return true;
}

uint64_t Win32LoopingAudioOutput::positionBytes() const { return state_->position.load(std::memory_order_acquire); }

void Win32LoopingAudioOutput::reset() {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.mutex);
  s.playing = false;
  s.base = 0;
  s.publish(0);
  s.wake.notify_all();
}

void Win32LoopingAudioOutput::unprepare() {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.mutex);
  s.playing = false;
  s.source = nullptr;  // not read again: the caller may free it
  s.loop.reset();
  s.wake.notify_all();
}

void Win32LoopingAudioOutput::close() {
  State& s = *state_;
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.open) return;
  s.open = false;
  s.playing = false;
  s.source = nullptr;
  s.loop.reset();
  s.base = 0;
  s.publish(0);
  s.wake.notify_all();
}

void Win32LoopingAudioOutput::ringWritten() {
  std::shared_ptr<std::vector<uint8_t>> copy;
  const uint8_t* source = nullptr;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    copy = state_->loop;
    source = state_->source;
  }
  // The whole ring (353600 bytes for the module player, 50 times a second):
  // cheaper than tracking which block changed, and the bytes the device is
  // playing are copied over with the same values. The caller calls this from
  // the thread that rewrote its ring, between playLooping and unprepare.
  if (copy && source) std::memcpy(copy->data(), source, copy->size());
}

uint32_t Win32LoopingAudioOutput::reopenCount() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->reopens;
}

bool Win32LoopingAudioOutput::looping() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->deviceLoop != 0;
}

}  // namespace host
