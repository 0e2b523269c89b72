#include "sid/sid_player.h"

#include <atomic>
#include <mutex>

#include "host/wave_output.h"
#include "sid/player_state.h"

namespace sid {
namespace {

inline constexpr int kFramesPerBuffer = 8;
inline constexpr int kBufferSamples = kFramesPerBuffer * kFrameSamples;  // 7056, 160 ms
inline constexpr uint32_t kBufferBytes = kBufferSamples * sizeof(int16_t);  // 14112

// Device error codes met during one step, shown after the player's lock is
// released so a message box never holds up stop().
struct ErrorList {
  int32_t codes[8] = {};
  int count = 0;
  void add(int32_t code) {
    if (code != host::kWaveOk && count < 8) codes[count++] = code;
  }
};

}  // namespace

using RefillFunction = void (*)(SidPlayer::Impl& player, host::WaveHeader* header, uintptr_t value,
                                ErrorList& errors);

// What a buffer's header carries in its user value: the refill to run when the
// device hands the buffer back, or none.
struct RefillRegistration {
  RefillFunction function;
  uintptr_t value;
};

struct StreamBuffer {
  int16_t samples[kBufferSamples];
  host::WaveHeader header;
  RefillRegistration registration;
};

struct SidPlayer::Impl {
  explicit Impl(host::WaveOutput& out) : output(out) { resetState(); }

  host::WaveOutput& output;
  std::atomic<bool> cancelCalls{false};  // stop() cuts a running play call short
  mutable std::mutex mutex;  // guards everything below
  PlayerState state;
  bool deviceOpen = false;
  StreamBuffer buffers[2] = {};
  uint64_t playCalls = 0;

  void resetState() {
    state.reset();
    state.cpu.cancel = &cancelCalls;
  }

  void fill(StreamBuffer& buffer) {
    for (int k = 0; k < kFramesPerBuffer; ++k) {
      state.renderFrame(buffer.samples + k * kFrameSamples);
      ++playCalls;
    }
  }

  void queue(StreamBuffer& buffer, RefillFunction function, uintptr_t value, ErrorList& errors) {
    buffer.registration = {function, value};
    buffer.header.user = &buffer.registration;
    errors.add(output.write(&buffer.header));
  }

  void refillBuffer(int index, host::WaveHeader* header, uintptr_t value, RefillFunction self, ErrorList& errors) {
    StreamBuffer& buffer = buffers[index];
    if (header->flags & host::kWaveHeaderPrepared) errors.add(output.unprepareHeader(header));
    fill(buffer);
    header->data = buffer.samples;
    header->length = kBufferBytes;
    header->bytesRecorded = 0;
    header->flags = 0;
    header->loops = 0;
    errors.add(output.prepareHeader(header));
    if (deviceOpen) queue(buffer, self, value, errors);
  }

  static void refillA(Impl& player, host::WaveHeader* header, uintptr_t value, ErrorList& errors) {
    player.refillBuffer(0, header, value, &refillA, errors);
  }
  static void refillB(Impl& player, host::WaveHeader* header, uintptr_t value, ErrorList& errors) {
    player.refillBuffer(1, header, value, &refillB, errors);
  }

  void reportDeviceError(int32_t code) { output.showError(output.errorText(code)); }
  void report(const ErrorList& errors) {
    for (int i = 0; i < errors.count; ++i) reportDeviceError(errors.codes[i]);
  }

  static void onDeviceMessage(void* instance, uint32_t message, host::WaveHeader* header) {
    if (message != host::kWaveMessageDone || !instance || !header) return;
    Impl& player = *static_cast<Impl*>(instance);
    ErrorList errors;
    {
      std::lock_guard<std::mutex> lock(player.mutex);
      const auto* registration = static_cast<const RefillRegistration*>(header->user);
      if (!registration || !registration->function) return;  // stopped: no refill
      registration->function(player, header, registration->value, errors);
    }
    player.report(errors);
  }
};

SidPlayer::SidPlayer(host::WaveOutput& output) : impl_(std::make_unique<Impl>(output)) {}

SidPlayer::~SidPlayer() { stop(); }

void SidPlayer::play(const uint8_t* image, int32_t size, int32_t subtune) {
  stop();  // a play while playing would otherwise leave the old device open
  Impl& p = *impl_;
  ErrorList errors;
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    p.resetState();
    p.playCalls = 0;
    p.state.loadTune(image, size);
    p.state.runInit(subtune);
    p.deviceOpen = p.output.open(&Impl::onDeviceMessage, &p) == host::kWaveOk;
    if (p.deviceOpen) p.output.pause();
    for (StreamBuffer& buffer : p.buffers) {
      buffer.header = {};
      buffer.registration = {};
      buffer.header.user = &buffer.registration;
    }
    p.fill(p.buffers[0]);
    p.fill(p.buffers[1]);
    // Without a device there is nothing to prepare or queue: the tune stays
    // silent and no error is shown for each of its buffers.
    if (p.deviceOpen) {
      for (StreamBuffer& buffer : p.buffers) {
        buffer.header.data = buffer.samples;
        buffer.header.length = kBufferBytes;
        errors.add(p.output.prepareHeader(&buffer.header));
      }
      p.queue(p.buffers[0], &Impl::refillA, 0, errors);
      p.queue(p.buffers[1], &Impl::refillB, 0, errors);
    }
  }
  p.report(errors);
}

void SidPlayer::stop() {
  Impl& p = *impl_;
  // A refill stuck in a runaway play routine ends within a few instructions
  // instead of running out its budget while we wait for the lock.
  p.cancelCalls.store(true);
  {
    std::lock_guard<std::mutex> lock(p.mutex);
    p.cancelCalls.store(false);
    if (!p.deviceOpen) return;
    // From here on a buffer handed back finds no refill to run.
    for (StreamBuffer& buffer : p.buffers) buffer.registration = {};
    p.deviceOpen = false;
  }
  p.output.reset();
  // Release the headers. The output checks their flags under its own lock (a
  // buffer whose done notification is still on its way reports that it is
  // queued, and close hands it back); the results do not matter any more.
  for (StreamBuffer& buffer : p.buffers) p.output.unprepareHeader(&buffer.header);
  p.output.close();
}

void SidPlayer::resume() {
  Impl& p = *impl_;
  std::lock_guard<std::mutex> lock(p.mutex);
  if (p.deviceOpen) p.output.restart();
}

uint64_t SidPlayer::playCallCount() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->playCalls;
}

bool SidPlayer::hasDevice() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->deviceOpen;
}

}  // namespace sid
