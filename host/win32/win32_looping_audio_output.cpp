#include "host/win32/win32_looping_audio_output.h"

#include <chrono>
#include <cstring>

namespace host {
namespace {

uint64_t steadyMs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

}  // namespace

const WaveOutApi& WaveOutApi::system() {
  static const WaveOutApi api{&waveOutOpen,        &waveOutPrepareHeader, &waveOutUnprepareHeader,
                              &waveOutWrite,       &waveOutGetPosition,   &waveOutReset,
                              &waveOutClose,       &steadyMs};
  return api;
}

Win32LoopingAudioOutput::~Win32LoopingAudioOutput() { close(); }

bool Win32LoopingAudioOutput::openDevice() {
  WAVEFORMATEX format;
  std::memset(&format, 0, sizeof format);
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = kChannels;
  format.nSamplesPerSec = kSampleRate;
  format.nAvgBytesPerSec = kSampleRate * kBytesPerFrame;  // 176400
  format.nBlockAlign = kBytesPerFrame;
  format.wBitsPerSample = 16;
  HWAVEOUT device = nullptr;
  if (api_.open(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
  device_ = device;
  position_.reset();
  return true;
}

bool Win32LoopingAudioOutput::open() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (device_ != nullptr) return false;
  return openDevice();
}

bool Win32LoopingAudioOutput::startLoop() {
  std::memset(&header_, 0, sizeof header_);
  header_.lpData = reinterpret_cast<LPSTR>(const_cast<int16_t*>(loopFrames_));
  header_.dwBufferLength = loopBytes_;
  if (api_.prepareHeader(device_, &header_, sizeof header_) != MMSYSERR_NOERROR) return false;
  prepared_ = true;
  header_.dwFlags |= WHDR_BEGINLOOP | WHDR_ENDLOOP;
  header_.dwLoops = 0xFFFFFFFFu;
  position_.reset();
  lastRaw_ = 0;
  lastMoveMs_ = api_.nowMs();
  return api_.write(device_, &header_, sizeof header_) == MMSYSERR_NOERROR;
}

bool Win32LoopingAudioOutput::playLooping(const int16_t* frames, size_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (device_ == nullptr || frames == nullptr || bytes < static_cast<size_t>(kBytesPerFrame)) return false;
  if (prepared_) unprepareDevice();
  loopFrames_ = frames;
  loopBytes_ = static_cast<DWORD>(bytes - bytes % kBytesPerFrame);
  base_ = 0;
  lastReported_ = 0;
  lost_ = false;
  playing_ = startLoop();
  return playing_;
}

void Win32LoopingAudioOutput::markLost(uint64_t now) const {
  lost_ = true;
  nextTryMs_ = now;  // the first attempt at once, then every kRetryMs
}

bool Win32LoopingAudioOutput::tryReopen() const {
  auto* self = const_cast<Win32LoopingAudioOutput*>(this);
  self->closeDevice();
  if (!self->openDevice()) return false;
  if (!self->startLoop()) {
    self->closeDevice();
    return false;
  }
  // The new device plays from the buffer's start: carry on at the next lap.
  base_ = (lastReported_ + loopBytes_ - 1) / loopBytes_ * loopBytes_;
  lastReported_ = base_;
  ++reopens_;
  return true;
}

uint64_t Win32LoopingAudioOutput::positionBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!playing_) {
    if (device_ == nullptr) return 0;
    MMTIME time;
    std::memset(&time, 0, sizeof time);
    time.wType = TIME_BYTES;
    if (api_.getPosition(device_, &time, sizeof time) != MMSYSERR_NOERROR || time.wType != TIME_BYTES) return 0;
    return time.u.cb;  // not looping: whatever the device says, nothing to watch
  }
  const uint64_t now = api_.nowMs();
  if (lost_) {
    if (now < nextTryMs_) return lastReported_;
    if (tryReopen()) {
      lost_ = false;
    } else {
      nextTryMs_ = now + kRetryMs;
    }
    return lastReported_;
  }
  MMTIME time;
  std::memset(&time, 0, sizeof time);
  time.wType = TIME_BYTES;
  if (device_ == nullptr || api_.getPosition(device_, &time, sizeof time) != MMSYSERR_NOERROR) {
    markLost(now);
    return lastReported_;
  }
  WavePosition::Unit unit = WavePosition::Unit::Bytes;
  uint32_t value = 0;
  switch (time.wType) {
    case TIME_BYTES: value = time.u.cb; break;
    case TIME_SAMPLES: unit = WavePosition::Unit::Frames; value = time.u.sample; break;  // a device without byte positions
    case TIME_MS: unit = WavePosition::Unit::Milliseconds; value = time.u.ms; break;
    default: return lastReported_;
  }
  if (value != lastRaw_) {
    lastRaw_ = value;
    lastMoveMs_ = now;
  } else if (now - lastMoveMs_ >= kStallMs) {
    markLost(now);
    return lastReported_;
  }
  lastReported_ = base_ + position_.bytes(unit, value);
  return lastReported_;
}

void Win32LoopingAudioOutput::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (device_ != nullptr) api_.reset(device_);
  playing_ = false;
  lost_ = false;
  base_ = 0;
  lastReported_ = 0;
  position_.reset();
}

void Win32LoopingAudioOutput::unprepareDevice() {
  if (device_ == nullptr || !prepared_) return;
  api_.reset(device_);  // an unprepare of a header still playing would fail
  api_.unprepareHeader(device_, &header_, sizeof header_);
  prepared_ = false;
}

void Win32LoopingAudioOutput::unprepare() {
  std::lock_guard<std::mutex> lock(mutex_);
  unprepareDevice();
  playing_ = false;
  lost_ = false;
  loopFrames_ = nullptr;
}

void Win32LoopingAudioOutput::closeDevice() {
  if (device_ == nullptr) return;
  unprepareDevice();
  prepared_ = false;  // a lost device may refuse the unprepare
  api_.close(device_);
  device_ = nullptr;
}

void Win32LoopingAudioOutput::close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closeDevice();
  playing_ = false;
  lost_ = false;
}

uint32_t Win32LoopingAudioOutput::reopenCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reopens_;
}

}  // namespace host
