#include "xm/module_player.h"

#include <array>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "host/looping_audio_output.h"
#include "host/thread_priority.h"
#include "xm/loader.h"
#include "xm/mixer.h"
#include "xm/module_file_ops.h"
#include "xm/sequencer.h"
#include "xm/xm_song.h"

namespace xm {
namespace {

constexpr auto kRefillPause = std::chrono::milliseconds(5);
constexpr auto kStopPoll = std::chrono::milliseconds(10);

uint16_t packStamp(int32_t order, int32_t row) {
  return static_cast<uint16_t>((static_cast<uint8_t>(order) << 8) | static_cast<uint8_t>(row));
}

}  // namespace

struct ModulePlayer::Impl {
  explicit Impl(host::LoopingAudioOutput& out) : output(out) {}

  host::LoopingAudioOutput& output;
  ModuleFileOps fileOps;
  MemoryBlock block;
  std::unique_ptr<const XmSong> song;  // as loaded; playback.position advances
  XmPlayback playback;

  // Ring state. The stamps and the audible index are read by the queries on
  // the application thread while the output thread writes them.
  bool playing = false;
  bool deviceOpen = false;
  std::vector<int16_t> deviceBuffer;
  std::vector<float> mixBuffer;
  int32_t fillIndex = 0;  // output thread only (and play before it starts)
  std::atomic<int32_t> audibleIndex{0};
  std::array<std::atomic<uint16_t>, kBlockCount> stamps{};

  std::atomic<bool> stopRequest{false};
  std::atomic<bool> busy{false};
  std::atomic<bool> threadFinished{false};
  std::thread thread;

  void fillBlock() {
    const int32_t b = fillIndex;
    mixBlock(playback, mixBuffer.data());
    const XmPosition& pos = playback.position;
    stamps[static_cast<size_t>(b)].store(packStamp(pos.order, pos.row), std::memory_order_release);
    convertBlock(mixBuffer.data(), deviceBuffer.data() + static_cast<size_t>(b) * kBlockFrames * 2, kBlockFrames);
    output.ringWritten();
    fillIndex = (b + 1) % kBlockCount;
  }

  // The refill rule: every block from the fill index up to the one being
  // played is mixed again, so the ring stays full but for that block.
  void refillRing() {
    const uint64_t frames = output.positionBytes() / host::LoopingAudioOutput::kBytesPerFrame;
    const int32_t playingBlock = static_cast<int32_t>(frames % kRingFrames) / kBlockFrames;
    while (fillIndex != playingBlock && !stopRequest.load(std::memory_order_acquire)) {
      busy.store(true, std::memory_order_release);
      fillBlock();
      audibleIndex.store((audibleIndex.load(std::memory_order_relaxed) + 1) % kBlockCount, std::memory_order_release);
      busy.store(false, std::memory_order_release);
    }
  }

  void outputThread() {
    host::raiseCurrentThreadPriority();
    while (!stopRequest.load(std::memory_order_acquire)) {
      refillRing();
      std::this_thread::sleep_for(kRefillPause);
    }
    threadFinished.store(true, std::memory_order_release);
  }

  // Where the output runs the refill itself (a platform without threads),
  // there is no output thread.
  void startRefills() {
    const auto refill = [](void* self) { static_cast<Impl*>(self)->refillRing(); };
    if (!output.takeRefill(refill, this)) thread = std::thread([this] { outputThread(); });
  }

  bool stop() {
    if (!song) return false;
    stopRequest.store(true, std::memory_order_release);
    if (playing) output.takeRefill(nullptr, nullptr);
    while (busy.load(std::memory_order_acquire)) std::this_thread::yield();
    if (thread.joinable()) {
      while (!threadFinished.load(std::memory_order_acquire)) std::this_thread::sleep_for(kStopPoll);
      thread.join();
    }
    mixBuffer.clear();
    mixBuffer.shrink_to_fit();
    if (deviceOpen) {
      output.reset();
      output.unprepare();
      output.close();
      deviceOpen = false;
    }
    deviceBuffer.clear();
    deviceBuffer.shrink_to_fit();
    playing = false;
    for (auto& s : stamps) s.store(0, std::memory_order_relaxed);
    fillIndex = 0;
    audibleIndex.store(0, std::memory_order_release);
    return true;
  }

  bool play() {
    if (!song) return false;
    stop();
    if (!fileOps.installed()) return false;
    playback.song = song.get();
    resetPlayback(playback);
    for (auto& s : stamps) s.store(0, std::memory_order_relaxed);
    if (!output.open()) return false;
    deviceOpen = true;
    deviceBuffer.assign(static_cast<size_t>(kRingFrames) * 2, 0);
    mixBuffer.assign(static_cast<size_t>(kBlockFrames) * 2, 0.0f);
    fillIndex = 0;
    audibleIndex.store(0, std::memory_order_release);
    do {
      fillBlock();
    } while (fillIndex != 0);
    if (!output.playLooping(deviceBuffer.data(), deviceBuffer.size() * sizeof(int16_t))) {
      stop();
      return false;
    }
    stopRequest.store(false, std::memory_order_release);
    threadFinished.store(false, std::memory_order_release);
    busy.store(false, std::memory_order_release);
    playing = true;
    startRefills();
    return true;
  }

  BlockStamp audibleStamp() const {
    if (!song || !playing) return {};
    const int32_t index = audibleIndex.load(std::memory_order_acquire);
    const uint16_t packed = stamps[static_cast<size_t>(index)].load(std::memory_order_acquire);
    return BlockStamp{static_cast<uint8_t>(packed >> 8), static_cast<uint8_t>(packed & 0xFF)};
  }
};

ModulePlayer::ModulePlayer(host::LoopingAudioOutput& output) : impl_(std::make_unique<Impl>(output)) {}

ModulePlayer::~ModulePlayer() {
  stop();
  unload();
}

bool ModulePlayer::load(const uint8_t* data, int32_t size) {
  Impl& m = *impl_;
  // The caller unloads first; a song still loaded is released here rather
  // than leaked under a running output thread.
  if (m.song) unload();
  m.block = MemoryBlock{data, size};
  installFileOps(m.fileOps, memoryFileOps(&m.block));
  m.song = loadSong(m.fileOps);
  return m.song != nullptr;
}

bool ModulePlayer::play() { return impl_->play(); }

bool ModulePlayer::stop() { return impl_->stop(); }

bool ModulePlayer::unload() {
  Impl& m = *impl_;
  if (!m.song) return false;
  while (m.busy.load(std::memory_order_acquire)) std::this_thread::yield();
  m.stop();
  m.playback = XmPlayback{};
  m.song.reset();
  return true;
}

int32_t ModulePlayer::channelCount() const { return impl_->song ? impl_->song->channelCount : 0; }

int32_t ModulePlayer::audibleOrder() const { return impl_->audibleStamp().order; }

int32_t ModulePlayer::audibleRow() const { return impl_->audibleStamp().row; }

uint16_t ModulePlayer::cellAt(int32_t channel) const {
  const Impl& m = *impl_;
  if (!m.song) return 0;
  // Stopped: row 0 of the first pattern in the order table.
  const BlockStamp stamp = m.audibleStamp();
  const XmCell* cell = m.song->cell(m.song->orderTable[stamp.order], stamp.row, channel);
  if (cell == nullptr) return 0;
  return static_cast<uint16_t>(cell->note | (cell->instrument << 8));
}

}  // namespace xm
