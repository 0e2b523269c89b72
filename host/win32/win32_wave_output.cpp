#include "host/win32/win32_wave_output.h"

#include <atomic>
#include <chrono>
#include <cstring>

#include "host/common/wave_notify.h"

namespace host {
namespace {

std::atomic<int32_t> boxesShown{0};
std::atomic<Win32WaveOutput::ErrorSink> errorSink{nullptr};

// How long close waits for the device to hand back buffers after a reset.
constexpr auto kHandBackWait = std::chrono::milliseconds(1000);

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

}  // namespace

Win32WaveOutput::~Win32WaveOutput() { close(); }

int32_t Win32WaveOutput::open(WaveCallback callback, void* instance) {
  if (device_ != nullptr) return MMSYSERR_ALLOCATED;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    slots_ = {};
    done_.clear();
    quit_ = false;
    closing_ = false;
    callback_ = callback;
    instance_ = instance;
  }
  WAVEFORMATEX format = monoFormat();
  HWAVEOUT device = nullptr;
  const MMRESULT result = waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&deviceCallback),
                                      reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
  if (result != MMSYSERR_NOERROR) return static_cast<int32_t>(result);
  device_ = device;
  notifier_ = std::thread(&Win32WaveOutput::notifyLoop, this);
  return kWaveOk;
}

int32_t Win32WaveOutput::pause() {
  if (device_ == nullptr) return MMSYSERR_INVALHANDLE;
  return static_cast<int32_t>(waveOutPause(device_));
}

int32_t Win32WaveOutput::restart() {
  if (device_ == nullptr) return MMSYSERR_INVALHANDLE;
  return static_cast<int32_t>(waveOutRestart(device_));
}

Win32WaveOutput::Slot* Win32WaveOutput::findSlot(const WaveHeader* header) {
  for (Slot& slot : slots_) {
    if (slot.header == header) return &slot;
  }
  return nullptr;
}

Win32WaveOutput::Slot* Win32WaveOutput::slotFor(WaveHeader* header) {
  if (Slot* slot = findSlot(header)) return slot;
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].header == nullptr) {
      slots_[i] = {};
      slots_[i].header = header;
      slots_[i].native.dwUser = static_cast<DWORD_PTR>(i);
      return &slots_[i];
    }
  }
  return nullptr;
}

int32_t Win32WaveOutput::prepareHeader(WaveHeader* header) {
  if (device_ == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr || header->data == nullptr || header->length == 0 || header->length % kWaveBlockAlign != 0) {
    return MMSYSERR_INVALPARAM;
  }
  WAVEHDR* native = nullptr;
  bool wasPrepared = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot* slot = slotFor(header);
    if (slot == nullptr) return MMSYSERR_NOMEM;
    if (slot->queued) return WAVERR_STILLPLAYING;
    native = &slot->native;
    wasPrepared = slot->prepared;
    slot->prepared = false;
  }
  // The caller may have rewritten its header without unpreparing it; the
  // device's own header is released before it is prepared anew.
  if (wasPrepared) waveOutUnprepareHeader(device_, native, sizeof(WAVEHDR));
  const DWORD_PTR index = native->dwUser;
  std::memset(native, 0, sizeof(WAVEHDR));
  native->lpData = reinterpret_cast<LPSTR>(header->data);
  native->dwBufferLength = header->length;
  native->dwUser = index;
  const MMRESULT result = waveOutPrepareHeader(device_, native, sizeof(WAVEHDR));
  std::lock_guard<std::mutex> lock(mutex_);
  if (result != MMSYSERR_NOERROR) return static_cast<int32_t>(result);
  slots_[index].prepared = true;
  header->flags |= kWaveHeaderPrepared;
  return kWaveOk;
}

int32_t Win32WaveOutput::unprepareHeader(WaveHeader* header) {
  if (device_ == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  WAVEHDR* native = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Slot* slot = findSlot(header);
    if (slot == nullptr || !slot->prepared) {
      header->flags &= ~kWaveHeaderPrepared;
      return kWaveOk;  // nothing of the device's to release
    }
    if (slot->queued) return WAVERR_STILLPLAYING;
    native = &slot->native;
  }
  const MMRESULT result = waveOutUnprepareHeader(device_, native, sizeof(WAVEHDR));
  std::lock_guard<std::mutex> lock(mutex_);
  if (result != MMSYSERR_NOERROR) return static_cast<int32_t>(result);
  slots_[native->dwUser].prepared = false;
  header->flags &= ~kWaveHeaderPrepared;
  return kWaveOk;
}

int32_t Win32WaveOutput::write(WaveHeader* header) {
  if (device_ == nullptr) return MMSYSERR_INVALHANDLE;
  if (header == nullptr) return MMSYSERR_INVALPARAM;
  WAVEHDR* native = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closing_) return MMSYSERR_INVALHANDLE;
    Slot* slot = findSlot(header);
    if (slot == nullptr || !slot->prepared || !(header->flags & kWaveHeaderPrepared)) return WAVERR_UNPREPARED;
    if (slot->queued) return WAVERR_STILLPLAYING;
    slot->queued = true;  // before the device can hand it back
    header->flags = (header->flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
    native = &slot->native;
  }
  const MMRESULT result = waveOutWrite(device_, native, sizeof(WAVEHDR));
  if (result != MMSYSERR_NOERROR) {
    std::lock_guard<std::mutex> lock(mutex_);
    slots_[native->dwUser].queued = false;
    header->flags &= ~kWaveHeaderInQueue;
    return static_cast<int32_t>(result);
  }
  return kWaveOk;
}

int32_t Win32WaveOutput::reset() {
  if (device_ == nullptr) return MMSYSERR_INVALHANDLE;
  return static_cast<int32_t>(waveOutReset(device_));
}

int32_t Win32WaveOutput::close() {
  if (device_ == nullptr) return MMSYSERR_INVALHANDLE;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;  // from here on nothing is queued any more
  }
  waveOutReset(device_);
  {
    // The reset hands every queued buffer back through the callback; wait for
    // the stragglers, then count whatever is still out as handed back.
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, kHandBackWait, [this] {
      for (const Slot& slot : slots_) {
        if (slot.queued) return false;
      }
      return true;
    });
    for (Slot& slot : slots_) {
      if (slot.queued) {
        slot.queued = false;
        done_.push_back(slot.header);
      }
    }
    quit_ = true;  // the notifier delivers what is left, then ends
    wake_.notify_all();
  }
  if (notifier_.joinable()) notifier_.join();
  for (Slot& slot : slots_) {
    if (slot.prepared) waveOutUnprepareHeader(device_, &slot.native, sizeof(WAVEHDR));
    if (slot.header != nullptr) slot.header->flags &= ~kWaveHeaderPrepared;
  }
  const MMRESULT result = waveOutClose(device_);
  device_ = nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  slots_ = {};
  callback_ = nullptr;
  instance_ = nullptr;
  return static_cast<int32_t>(result);
}

void CALLBACK Win32WaveOutput::deviceCallback(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                              DWORD_PTR) {
  // The audio system's thread: take note and leave (no waveOut calls here).
  if (message != WOM_DONE || instance == 0 || param1 == 0) return;
  reinterpret_cast<Win32WaveOutput*>(instance)->handBack(reinterpret_cast<WAVEHDR*>(param1));
}

void Win32WaveOutput::handBack(WAVEHDR* native) {
  std::lock_guard<std::mutex> lock(mutex_);
  const DWORD_PTR index = native->dwUser;
  if (index >= slots_.size() || &slots_[index].native != native || !slots_[index].queued) return;
  slots_[index].queued = false;
  done_.push_back(slots_[index].header);
  wake_.notify_all();
}

void Win32WaveOutput::notifyLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  deliverFinishedHeaders(lock, wake_, done_, quit_, callback_, instance_);
}

std::string Win32WaveOutput::errorText(int32_t code) const {
  char text[256];
  std::memset(text, 0, sizeof text);
  if (waveOutGetErrorTextA(static_cast<MMRESULT>(code), text, sizeof text) != MMSYSERR_NOERROR || text[0] == 0) {
    return waveErrorText(code);
  }
  return text;
}

void Win32WaveOutput::showError(const std::string& text) {
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
