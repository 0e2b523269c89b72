#include "host/sdl/sdl_audio_stream.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <thread>
#include <vector>

namespace host {

using SteadyClock = std::chrono::steady_clock;

struct SdlAudioStream::Slot {
  // Set once by the stream's constructor.
  int32_t rate = 0;
  int32_t channels = 0;
  int32_t samples = 0;
  Fill fill = nullptr;
  void* context = nullptr;

  std::mutex fillLock;  // held by SDL's audio thread around each fill
  bool active = false;  // under fillLock: the fill may be called

  std::atomic<uint64_t> fills{0};
  std::atomic<uint32_t> opens{0};

  // Under the worker's mutex.
  bool wanted = false;
  bool orphaned = false;           // the stream is gone; close and forget
  uint32_t device = 0;             // SDL_AudioDeviceID while open
  SteadyClock::time_point retryAt{};
  uint64_t fillsSeen = 0;          // fills at fillsSeenAt
  SteadyClock::time_point fillsSeenAt{};
  std::string error;

  static void callback(void* userdata, Uint8* stream, int length) {
    auto* slot = static_cast<Slot*>(userdata);
    {
      std::lock_guard<std::mutex> guard(slot->fillLock);
      if (slot->active) {
        slot->fill(slot->context, stream, length);
      } else if (length > 0) {
        std::memset(stream, 0, static_cast<size_t>(length));
      }
    }
    slot->fills.fetch_add(1, std::memory_order_relaxed);
  }
};

namespace {

std::chrono::nanoseconds seconds(double s) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(s));
}

// The one thread that calls SDL's audio functions. Made on first use and
// never destroyed: at exit it may still sit in a frozen server's library.
class AudioWorker {
 public:
  static AudioWorker& instance() {
    static AudioWorker* worker = new AudioWorker();
    return *worker;
  }

  // Registers the slot as wanted. Returns false when SDL's audio could not be
  // started (the slot is then not wanted).
  bool want(const std::shared_ptr<SdlAudioStream::Slot>& slot) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (std::find(slots_.begin(), slots_.end(), slot) == slots_.end()) slots_.push_back(slot);
    slot->wanted = true;
    slot->retryAt = SteadyClock::time_point{};
    if (!audioUp_ && !starting_) {
      // Wait (briefly) for this attempt at starting SDL's audio: a missing
      // driver is reported at once; a server that does not answer is not
      // waited for beyond the bound.
      const uint64_t attempt = startAttempts_;
      startWanted_ = true;
      wake_.notify_all();
      wake_.wait_for(lock, std::chrono::milliseconds(SdlAudioStream::kStartWaitMs),
                     [&] { return startAttempts_ != attempt; });
      if (startAttempts_ != attempt && !audioUp_) {
        slot->wanted = false;
        slot->error = startError_;
        return false;
      }
    }
    wake_.notify_all();
    return true;
  }

  void unwant(const std::shared_ptr<SdlAudioStream::Slot>& slot, bool orphan) {
    std::lock_guard<std::mutex> lock(mutex_);
    slot->wanted = false;
    if (orphan) slot->orphaned = true;
    if (orphan && slot->device == 0) slots_.erase(std::remove(slots_.begin(), slots_.end(), slot), slots_.end());
    wake_.notify_all();
  }

  bool wanted(const SdlAudioStream::Slot& slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    return slot.wanted;
  }

  bool hasDevice(const SdlAudioStream::Slot& slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    return slot.device != 0;
  }

  std::string error(const SdlAudioStream::Slot& slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    return slot.error;
  }

 private:
  AudioWorker() { std::thread([this] { run(); }).detach(); }

  static constexpr auto kTick = std::chrono::milliseconds(100);

  // One step of work with the mutex held; the SDL call itself runs unlocked.
  // Returns false when there was nothing to do.
  bool step(std::unique_lock<std::mutex>& lock) {
    const SteadyClock::time_point now = SteadyClock::now();
    if (startWanted_ && !audioUp_) {
      starting_ = true;
      lock.unlock();
      const bool up = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
      const std::string error = up ? std::string() : std::string(SDL_GetError());
      lock.lock();
      starting_ = false;
      startWanted_ = false;
      audioUp_ = up;
      startError_ = error;
      ++startAttempts_;
      if (!up) {
        for (auto& slot : slots_) {
          slot->wanted = false;
          slot->error = error;
        }
      }
      wake_.notify_all();
      return true;
    }
    for (size_t i = 0; i < slots_.size(); ++i) {
      const std::shared_ptr<SdlAudioStream::Slot> slot = slots_[i];
      if (slot->device != 0 && (!slot->wanted || lost(*slot, now))) {
        const uint32_t device = slot->device;
        lock.unlock();
        // This may wait for as long as the server is frozen; the callers
        // never wait for this thread.
        SDL_CloseAudioDevice(device);
        lock.lock();
        slot->device = 0;
        slot->retryAt = SteadyClock::now() + seconds(SdlAudioStream::kRetrySeconds);
        return true;
      }
      if (slot->device == 0 && slot->orphaned) {
        slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(i));
        return true;
      }
      if (slot->device == 0 && slot->wanted && audioUp_ && now >= slot->retryAt) {
        SDL_AudioSpec want;
        SDL_zero(want);
        want.freq = slot->rate;
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(slot->channels);
        want.samples = static_cast<Uint16>(slot->samples);
        want.callback = &SdlAudioStream::Slot::callback;
        want.userdata = slot.get();
        lock.unlock();
        SDL_AudioSpec have;
        // No changes allowed: the clients write exactly this format.
        const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        const std::string error = device == 0 ? std::string(SDL_GetError()) : std::string();
        if (device != 0) SDL_PauseAudioDevice(device, 0);
        lock.lock();
        const SteadyClock::time_point opened = SteadyClock::now();
        if (device == 0) {
          slot->error = error;
          slot->retryAt = opened + seconds(SdlAudioStream::kRetrySeconds);
        } else {
          slot->device = device;
          slot->error.clear();
          slot->fillsSeen = slot->fills.load(std::memory_order_relaxed);
          slot->fillsSeenAt = opened;
          slot->opens.fetch_add(1, std::memory_order_relaxed);
        }
        return true;
      }
    }
    return false;
  }

  // A device SDL has given up on (removed, its server gone), or whose
  // callback has stopped coming.
  static bool lost(SdlAudioStream::Slot& slot, SteadyClock::time_point now) {
    if (SDL_GetAudioDeviceStatus(slot.device) == SDL_AUDIO_STOPPED) return true;
    const uint64_t fills = slot.fills.load(std::memory_order_relaxed);
    if (fills != slot.fillsSeen) {
      slot.fillsSeen = fills;
      slot.fillsSeenAt = now;
      return false;
    }
    return now - slot.fillsSeenAt > seconds(SdlAudioStream::kStallSeconds);
  }

  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (!step(lock)) wake_.wait_for(lock, kTick);
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<std::shared_ptr<SdlAudioStream::Slot>> slots_;
  bool audioUp_ = false;
  bool starting_ = false;
  bool startWanted_ = false;
  uint64_t startAttempts_ = 0;
  std::string startError_;
};

}  // namespace

SdlAudioStream::SdlAudioStream(int32_t rate, int32_t channels, int32_t samples, Fill fill, void* context)
    : slot_(std::make_shared<Slot>()) {
  slot_->rate = rate;
  slot_->channels = channels;
  slot_->samples = samples;
  slot_->fill = fill;
  slot_->context = context;
}

SdlAudioStream::~SdlAudioStream() {
  {
    std::lock_guard<std::mutex> guard(slot_->fillLock);
    slot_->active = false;
  }
  AudioWorker::instance().unwant(slot_, true);
}

bool SdlAudioStream::start() {
  {
    std::lock_guard<std::mutex> guard(slot_->fillLock);
    slot_->active = true;
  }
  if (AudioWorker::instance().want(slot_)) return true;
  std::lock_guard<std::mutex> guard(slot_->fillLock);
  slot_->active = false;
  return false;
}

void SdlAudioStream::stop() {
  {
    std::lock_guard<std::mutex> guard(slot_->fillLock);
    slot_->active = false;
  }
  AudioWorker::instance().unwant(slot_, false);
}

bool SdlAudioStream::wanted() const { return AudioWorker::instance().wanted(*slot_); }

bool SdlAudioStream::hasDevice() const { return AudioWorker::instance().hasDevice(*slot_); }

std::mutex& SdlAudioStream::lock() { return slot_->fillLock; }

uint64_t SdlAudioStream::fills() const { return slot_->fills.load(std::memory_order_relaxed); }

uint32_t SdlAudioStream::opens() const { return slot_->opens.load(std::memory_order_relaxed); }

std::string SdlAudioStream::lastError() const { return AudioWorker::instance().error(*slot_); }

}  // namespace host
