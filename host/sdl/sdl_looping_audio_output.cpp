#include "host/sdl/sdl_looping_audio_output.h"

#include <cstring>
#include <mutex>

namespace host {

SdlLoopingAudioOutput::SdlLoopingAudioOutput()
    : stream_(kSampleRate, kChannels, kDeviceFrames, &SdlLoopingAudioOutput::fill, this) {}

SdlLoopingAudioOutput::~SdlLoopingAudioOutput() { close(); }

bool SdlLoopingAudioOutput::open() {
  if (open_) return false;
  {
    std::lock_guard<std::mutex> guard(stream_.lock());
    playing_ = false;
    ring_ = nullptr;
    ringBytes_ = 0;
  }
  position_.store(0, std::memory_order_release);
  open_ = stream_.start();
  return open_;
}

bool SdlLoopingAudioOutput::playLooping(const int16_t* frames, size_t bytes) {
  if (!open_ || frames == nullptr || bytes < static_cast<size_t>(kBytesPerFrame)) return false;
  std::lock_guard<std::mutex> guard(stream_.lock());
  ring_ = reinterpret_cast<const uint8_t*>(frames);
  ringBytes_ = bytes - bytes % kBytesPerFrame;
  position_.store(0, std::memory_order_release);
  playing_ = true;
  return true;
}

uint64_t SdlLoopingAudioOutput::positionBytes() const { return position_.load(std::memory_order_acquire); }

void SdlLoopingAudioOutput::reset() {
  std::lock_guard<std::mutex> guard(stream_.lock());
  playing_ = false;
  position_.store(0, std::memory_order_release);
}

void SdlLoopingAudioOutput::unprepare() {
  // After this the callback no longer reads the buffer: the caller may free it.
  std::lock_guard<std::mutex> guard(stream_.lock());
  playing_ = false;
  ring_ = nullptr;
  ringBytes_ = 0;
}

void SdlLoopingAudioOutput::close() {
  if (!open_) return;
  stream_.stop();
  open_ = false;
  std::lock_guard<std::mutex> guard(stream_.lock());
  playing_ = false;
  ring_ = nullptr;
  ringBytes_ = 0;
}

void SdlLoopingAudioOutput::ringWritten() { written_.fetch_add(1, std::memory_order_release); }

// Runs on SDL's audio thread with the stream's lock held: copy and wrap,
// nothing else.
void SdlLoopingAudioOutput::fill(void* self, uint8_t* stream, int length) {
  auto* out = static_cast<SdlLoopingAudioOutput*>(self);
  if (length <= 0) return;
  if (!out->playing_ || out->ring_ == nullptr || out->ringBytes_ == 0) {
    std::memset(stream, 0, static_cast<size_t>(length));
    return;
  }
  // Everything the output thread wrote before its latest publication is
  // visible from here on.
  out->written_.load(std::memory_order_acquire);
  const uint8_t* ring = out->ring_;
  const size_t ringBytes = out->ringBytes_;
  const uint64_t position = out->position_.load(std::memory_order_relaxed);
  size_t cursor = static_cast<size_t>(position % ringBytes);
  size_t left = static_cast<size_t>(length);
  while (left > 0) {
    const size_t chunk = left < ringBytes - cursor ? left : ringBytes - cursor;
    std::memcpy(stream, ring + cursor, chunk);
    stream += chunk;
    left -= chunk;
    cursor = (cursor + chunk) % ringBytes;
  }
  // Published after the copy: the output thread rewrites these bytes only
  // once it has seen the position move past them.
  out->position_.store(position + static_cast<uint64_t>(length), std::memory_order_release);
}

}  // namespace host
