// Shared helpers of the tune tests: compile a song source through the real
// compiler and 64tass, and run the result on the project's Cpu6502 while
// recording every sound-chip write frame by frame.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include <unistd.h>

#include "sid/player_state.h"
#include "tools/assets/sidtunes/psid.h"
#include "tools/assets/sidtunes/song.h"

namespace tunestest {

inline std::string playerAsm() { return std::string(QV_SOURCE_DIR) + "/tools/assets/sidtunes/player.asm"; }

// A fresh scratch folder per call, removed by the caller's TempDir.
struct TempDir {
  std::filesystem::path path;
  TempDir() {
    static int counter = 0;
    path = std::filesystem::temp_directory_path() /
           ("qv_tunes_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::create_directories(path);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

// Compiles a song text into a PSID image; fails the test on errors.
inline std::vector<uint8_t> compileSong(const std::string& text) {
  sidtunes::Song song;
  std::string error;
  EXPECT_TRUE(sidtunes::parseSong(text, song, error)) << error;
  TempDir dir;
  std::vector<uint8_t> program = sidtunes::assemble(song, playerAsm(), dir.path.string(), error);
  EXPECT_FALSE(program.empty()) << error;
  return sidtunes::makePsid(program, sidtunes::kInitAddress, sidtunes::kPlayAddress, song.title, "a", "b");
}

// The 25 sound-chip registers as the routine left them after a call.
using Registers = std::array<uint8_t, 25>;

struct Write {
  uint8_t reg, value;
  bool operator==(const Write&) const = default;
};

// Runs a tune on a PlayerState and keeps, per play call, the writes and the
// register file afterwards.
struct TuneRun {
  std::unique_ptr<sid::PlayerState> state = std::make_unique<sid::PlayerState>();
  Registers regs{};
  std::vector<Write> pending;
  std::vector<Write> initWrites;
  std::vector<std::vector<Write>> frameWrites;
  std::vector<Registers> frames;
  uint32_t initInstructions = 0;
  uint32_t maxPlayInstructions = 0;

  static void hook(void* context, uint16_t address, uint8_t value) {
    auto* self = static_cast<TuneRun*>(context);
    uint8_t reg = address & 0x1F;
    if (reg < 25) self->regs[reg] = value;
    self->pending.push_back({reg, value});
  }

  explicit TuneRun(const std::vector<uint8_t>& image) {
    state->reset();
    state->cpu.writeHook = &TuneRun::hook;
    state->cpu.writeHookContext = this;
    state->loadTune(image.data(), static_cast<int32_t>(image.size()));
    initInstructions = state->runInit(0);
    initWrites = pending;
    pending.clear();
  }

  // One play call; with a slice, also its 882 samples of synthesis.
  void play(int16_t* slice = nullptr) {
    uint32_t n = 0;
    if (slice) {
      state->renderFrame(slice);
      n = state->lastCallInstructions;
    } else {
      n = state->runPlay();
    }
    if (n > maxPlayInstructions) maxPlayInstructions = n;
    frameWrites.push_back(pending);
    pending.clear();
    frames.push_back(regs);
  }
  void play(int count) {
    for (int i = 0; i < count; ++i) play();
  }

  // Voice register helpers (voice 0..2) of a recorded frame.
  uint16_t freq(int frame, int voice) const {
    return static_cast<uint16_t>(frames[frame][voice * 7] | frames[frame][voice * 7 + 1] << 8);
  }
  uint16_t pulse(int frame, int voice) const {
    return static_cast<uint16_t>(frames[frame][voice * 7 + 2] | frames[frame][voice * 7 + 3] << 8);
  }
  uint8_t control(int frame, int voice) const { return frames[frame][voice * 7 + 4]; }
  uint8_t ad(int frame, int voice) const { return frames[frame][voice * 7 + 5]; }
  uint8_t sr(int frame, int voice) const { return frames[frame][voice * 7 + 6]; }
};

// Looks for a stretch of `span` frames of the write stream that equals an
// earlier stretch starting before frame `within`. Returns the later start
// and sets earlier, or returns -1 when there is none.
inline int findRepeat(const std::vector<std::vector<Write>>& frames, int span, int within, int& earlier) {
  const int count = static_cast<int>(frames.size());
  std::vector<uint64_t> frameHash(frames.size());
  for (int f = 0; f < count; ++f) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a over (register, value)
    for (const auto& w : frames[f]) h = (h ^ static_cast<uint64_t>(w.reg << 8 | w.value)) * 1099511628211ull;
    frameHash[f] = h;
  }
  const uint64_t base = 1000003;
  uint64_t power = 1;
  for (int i = 0; i < span; ++i) power *= base;
  std::unordered_map<uint64_t, int> seen;  // rolling hash of a stretch -> first start
  uint64_t rolling = 0;
  for (int f = 0; f < count; ++f) {
    rolling = rolling * base + frameHash[f];
    if (f >= span) rolling -= power * frameHash[f - span];
    if (f < span - 1) continue;
    int start = f - span + 1;
    auto it = seen.find(rolling);
    if (it != seen.end() && it->second < within) {
      bool same = true;
      for (int i = 0; i < span && same; ++i) same = frames[it->second + i] == frames[start + i];
      if (same) {
        earlier = it->second;
        return start;
      }
    }
    seen.emplace(rolling, start);
  }
  return -1;
}

}  // namespace tunestest
