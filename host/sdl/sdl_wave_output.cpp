#include "host/sdl/sdl_wave_output.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host/common/wave_notify.h"

namespace host {

SdlWaveOutput::SdlWaveOutput()
    : stream_(kWaveSampleRate, kWaveChannels, kDeviceFrames, &SdlWaveOutput::audioCallback, this) {}

SdlWaveOutput::~SdlWaveOutput() { close(); }

int32_t SdlWaveOutput::open(WaveCallback callback, void* instance) {
  if (open_) return kWaveErrorGeneric;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
    done_.clear();
    playOffset_ = 0;
    paused_ = false;
    quit_ = false;
    callback_ = callback;
    instance_ = instance;
  }
  if (!stream_.start()) {
    openError_ = stream_.lastError();
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = nullptr;
    instance_ = nullptr;
    return kWaveErrorBadDevice;
  }
  open_ = true;
  notifier_ = std::thread(&SdlWaveOutput::notifyLoop, this);
  return kWaveOk;
}

int32_t SdlWaveOutput::pause() {
  if (!open_) return kWaveErrorNotOpen;
  std::lock_guard<std::mutex> lock(mutex_);
  paused_ = true;
  return kWaveOk;
}

int32_t SdlWaveOutput::restart() {
  if (!open_) return kWaveErrorNotOpen;
  std::lock_guard<std::mutex> lock(mutex_);
  paused_ = false;
  return kWaveOk;
}

int32_t SdlWaveOutput::prepareHeader(WaveHeader* header) {
  if (!open_) return kWaveErrorNotOpen;
  if (!header || !header->data || header->length == 0 || header->length % kWaveBlockAlign != 0) {
    return kWaveErrorInvalidParam;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  header->flags |= kWaveHeaderPrepared;
  return kWaveOk;
}

int32_t SdlWaveOutput::unprepareHeader(WaveHeader* header) {
  if (!open_) return kWaveErrorNotOpen;
  if (!header) return kWaveErrorInvalidParam;
  std::lock_guard<std::mutex> lock(mutex_);
  if (header->flags & kWaveHeaderInQueue) return kWaveErrorStillPlaying;
  header->flags &= ~kWaveHeaderPrepared;
  return kWaveOk;
}

int32_t SdlWaveOutput::write(WaveHeader* header) {
  if (!open_) return kWaveErrorNotOpen;
  if (!header) return kWaveErrorInvalidParam;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!(header->flags & kWaveHeaderPrepared)) return kWaveErrorUnprepared;
  if (header->flags & kWaveHeaderInQueue) return kWaveErrorStillPlaying;
  header->flags = (header->flags & ~kWaveHeaderDone) | kWaveHeaderInQueue;
  queue_.push_back(header);
  return kWaveOk;
}

void SdlWaveOutput::retireAllQueued() {
  for (WaveHeader* header : queue_) done_.push_back(header);
  queue_.clear();
  playOffset_ = 0;
  wake_.notify_all();
}

int32_t SdlWaveOutput::reset() {
  if (!open_) return kWaveErrorNotOpen;
  std::lock_guard<std::mutex> lock(mutex_);
  paused_ = true;
  retireAllQueued();
  return kWaveOk;
}

int32_t SdlWaveOutput::close() {
  if (!open_) return kWaveErrorNotOpen;
  // Stop the callback first (without waiting for the server): after this
  // nothing touches the queue but us.
  stream_.stop();
  open_ = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    retireAllQueued();
    quit_ = true;  // the notifier delivers what is left, then ends
    wake_.notify_all();
  }
  if (notifier_.joinable()) notifier_.join();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = nullptr;
    instance_ = nullptr;
  }
  return kWaveOk;
}

std::string SdlWaveOutput::errorText(int32_t code) const {
  if (code == kWaveErrorBadDevice && !openError_.empty()) {
    return waveErrorText(code) + " (" + openError_ + ")";
  }
  return waveErrorText(code);
}

void SdlWaveOutput::showError(const std::string& text) {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0 &&
      SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Error", text.c_str(), nullptr) == 0) {
    return;
  }
  std::fprintf(stderr, "Error: %s\n", text.c_str());
}

void SdlWaveOutput::audioCallback(void* self, uint8_t* stream, int length) {
  static_cast<SdlWaveOutput*>(self)->fill(reinterpret_cast<int16_t*>(stream),
                                          length / static_cast<int>(sizeof(int16_t)));
}

void SdlWaveOutput::fill(int16_t* out, int count) {
  std::lock_guard<std::mutex> lock(mutex_);
  while (!paused_ && count > 0 && !queue_.empty()) {
    WaveHeader* header = queue_.front();
    const uint32_t total = header->length / sizeof(int16_t);
    const uint32_t offset = playOffset_ / sizeof(int16_t);
    const uint32_t take = std::min<uint32_t>(total - offset, static_cast<uint32_t>(count));
    std::memcpy(out, header->data + offset, take * sizeof(int16_t));
    out += take;
    count -= static_cast<int>(take);
    playOffset_ += take * sizeof(int16_t);
    if (playOffset_ >= header->length) {
      queue_.pop_front();
      playOffset_ = 0;
      done_.push_back(header);
      wake_.notify_all();
    }
  }
  if (count > 0) std::memset(out, 0, static_cast<size_t>(count) * sizeof(int16_t));
}

void SdlWaveOutput::notifyLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  deliverFinishedHeaders(lock, wake_, done_, quit_, callback_, instance_);
}

}  // namespace host
