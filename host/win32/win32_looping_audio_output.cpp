#include "host/win32/win32_looping_audio_output.h"

#include <cstring>

namespace host {

Win32LoopingAudioOutput::~Win32LoopingAudioOutput() { close(); }

bool Win32LoopingAudioOutput::open() {
  if (device_ != nullptr) return false;
  WAVEFORMATEX format;
  std::memset(&format, 0, sizeof format);
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = kChannels;
  format.nSamplesPerSec = kSampleRate;
  format.nAvgBytesPerSec = kSampleRate * kBytesPerFrame;  // 176400
  format.nBlockAlign = kBytesPerFrame;
  format.wBitsPerSample = 16;
  if (waveOutOpen(&device_, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    device_ = nullptr;
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  position_.reset();
  return true;
}

bool Win32LoopingAudioOutput::playLooping(const int16_t* frames, size_t bytes) {
  if (device_ == nullptr || frames == nullptr || bytes < static_cast<size_t>(kBytesPerFrame)) return false;
  if (prepared_) unprepare();
  std::memset(&header_, 0, sizeof header_);
  header_.lpData = reinterpret_cast<LPSTR>(const_cast<int16_t*>(frames));
  header_.dwBufferLength = static_cast<DWORD>(bytes - bytes % kBytesPerFrame);
  if (waveOutPrepareHeader(device_, &header_, sizeof header_) != MMSYSERR_NOERROR) return false;
  prepared_ = true;
  header_.dwFlags |= WHDR_BEGINLOOP | WHDR_ENDLOOP;
  header_.dwLoops = 0xFFFFFFFFu;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    position_.reset();
  }
  return waveOutWrite(device_, &header_, sizeof header_) == MMSYSERR_NOERROR;
}

uint64_t Win32LoopingAudioOutput::positionBytes() const {
  if (device_ == nullptr) return 0;
  MMTIME time;
  std::memset(&time, 0, sizeof time);
  time.wType = TIME_BYTES;
  if (waveOutGetPosition(device_, &time, sizeof time) != MMSYSERR_NOERROR) return 0;
  WavePosition::Unit unit = WavePosition::Unit::Bytes;
  uint32_t value = 0;
  switch (time.wType) {
    case TIME_BYTES: value = time.u.cb; break;
    case TIME_SAMPLES: unit = WavePosition::Unit::Frames; value = time.u.sample; break;  // a device without byte positions
    case TIME_MS: unit = WavePosition::Unit::Milliseconds; value = time.u.ms; break;
    default: return 0;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return position_.bytes(unit, value);
}

void Win32LoopingAudioOutput::reset() {
  if (device_ != nullptr) waveOutReset(device_);
  std::lock_guard<std::mutex> lock(mutex_);
  position_.reset();
}

void Win32LoopingAudioOutput::unprepare() {
  if (device_ == nullptr || !prepared_) return;
  waveOutReset(device_);  // an unprepare of a header still playing would fail
  waveOutUnprepareHeader(device_, &header_, sizeof header_);
  prepared_ = false;
}

void Win32LoopingAudioOutput::close() {
  if (device_ == nullptr) return;
  unprepare();
  waveOutClose(device_);
  device_ = nullptr;
}

}  // namespace host
