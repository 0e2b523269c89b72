#include "host/sdl/sdl_looping_audio_output.h"

#include <SDL.h>

#include <cstring>

namespace host {

SdlLoopingAudioOutput::~SdlLoopingAudioOutput() { close(); }

bool SdlLoopingAudioOutput::open() {
  if (device_ != 0) return false;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  subsystemUp_ = true;
  SDL_AudioSpec want;
  SDL_zero(want);
  want.freq = kSampleRate;
  want.format = AUDIO_S16SYS;
  want.channels = kChannels;
  want.samples = 512;  // well below one 884-frame block of the player's ring
  want.callback = &SdlLoopingAudioOutput::callback;
  want.userdata = this;
  SDL_AudioSpec have;
  // No changes allowed: the player writes exactly this format.
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystemUp_ = false;
    return false;
  }
  return true;
}

bool SdlLoopingAudioOutput::playLooping(const int16_t* frames, size_t bytes) {
  if (device_ == 0 || frames == nullptr || bytes < static_cast<size_t>(kBytesPerFrame)) return false;
  SDL_PauseAudioDevice(device_, 1);
  ring_.store(reinterpret_cast<const uint8_t*>(frames), std::memory_order_release);
  ringBytes_.store(bytes - bytes % kBytesPerFrame, std::memory_order_release);
  position_.store(0, std::memory_order_release);
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

uint64_t SdlLoopingAudioOutput::positionBytes() const { return position_.load(std::memory_order_acquire); }

void SdlLoopingAudioOutput::reset() {
  // Pausing takes the device lock, so the callback is not running afterwards.
  if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
  position_.store(0, std::memory_order_release);
}

void SdlLoopingAudioOutput::unprepare() {
  if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
  ring_.store(nullptr, std::memory_order_release);
  ringBytes_.store(0, std::memory_order_release);
}

void SdlLoopingAudioOutput::close() {
  if (device_ != 0) {
    SDL_CloseAudioDevice(device_);
    device_ = 0;
  }
  ring_.store(nullptr, std::memory_order_release);
  ringBytes_.store(0, std::memory_order_release);
  if (subsystemUp_) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystemUp_ = false;
  }
}

// Runs on SDL's audio thread: copy and wrap, nothing else.
void SdlLoopingAudioOutput::callback(void* self, uint8_t* stream, int length) {
  auto* out = static_cast<SdlLoopingAudioOutput*>(self);
  const uint8_t* ring = out->ring_.load(std::memory_order_acquire);
  const size_t ringBytes = out->ringBytes_.load(std::memory_order_acquire);
  if (ring == nullptr || ringBytes == 0 || length <= 0) {
    if (length > 0) std::memset(stream, 0, static_cast<size_t>(length));
    return;
  }
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
  out->position_.store(position + static_cast<uint64_t>(length), std::memory_order_release);
}

}  // namespace host
