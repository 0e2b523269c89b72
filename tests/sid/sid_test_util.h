// Helpers for the SID player tests: a zeroed PlayerState on the heap, code
// poked into memory, and PSID images built in code.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "sid/player_state.h"

namespace sid::test {

inline std::unique_ptr<PlayerState> freshState() {
  auto state = std::make_unique<PlayerState>();
  state->reset();
  return state;
}

inline void poke(PlayerState& s, uint16_t address, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) s.cpu.memory[address++] = b;
}

// Records every write that reaches the sound chip.
struct WriteLog {
  std::vector<std::pair<uint16_t, uint8_t>> writes;
  static void hook(void* self, uint16_t address, uint8_t value) {
    static_cast<WriteLog*>(self)->writes.emplace_back(address, value);
  }
  void attach(PlayerState& s) {
    s.cpu.writeHook = &WriteLog::hook;
    s.cpu.writeHookContext = this;
  }
};

// A PSID v2 image: header with data offset $7C, the given init and play
// addresses, then the load address (little-endian) and the code bytes.
inline std::vector<uint8_t> makePsid(uint16_t load, uint16_t init, uint16_t play,
                                     const std::vector<uint8_t>& code, uint16_t songs = 1) {
  std::vector<uint8_t> image(0x7C, 0);
  image[0] = 'P'; image[1] = 'S'; image[2] = 'I'; image[3] = 'D';
  image[5] = 2;
  image[7] = 0x7C;
  image[10] = static_cast<uint8_t>(init >> 8); image[11] = static_cast<uint8_t>(init);
  image[12] = static_cast<uint8_t>(play >> 8); image[13] = static_cast<uint8_t>(play);
  image[14] = static_cast<uint8_t>(songs >> 8); image[15] = static_cast<uint8_t>(songs);
  image[17] = 1;
  image[0x77] = 0x14;
  image.push_back(static_cast<uint8_t>(load));
  image.push_back(static_cast<uint8_t>(load >> 8));
  image.insert(image.end(), code.begin(), code.end());
  return image;
}

}  // namespace sid::test
