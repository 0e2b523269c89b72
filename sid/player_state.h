// PlayerState: everything one playing tune needs, in one zeroable record: the
// SidChip, the Cpu6502 with its 64 KB memory, and the tune's addresses.
//
// Usage: reset(), loadTune(image, size), runInit(subtune), then renderFrame()
// for each block of 882 samples (one play-routine call and its synthesis,
// 50 per second of audio). The SidPlayer streams these frames to the audio
// device; TuneRenderer (sid/tune_renderer.h) runs the same steps offline.
#pragma once

#include <cstdint>
#include <type_traits>

#include "sid/cpu6502.h"
#include "sid/sid_chip.h"

namespace sid {

inline constexpr uint32_t kMixRate = 44100;
inline constexpr int kFrameSamples = 882;  // samples per play-routine call
inline constexpr uint16_t kIrqVectorLow = 0x0314;
inline constexpr uint16_t kIrqVectorHigh = 0x0315;

// PSID header offsets (two-byte fields are big-endian).
inline constexpr int kPsidDataOffsetLow = 7;
inline constexpr int kPsidLoadAddress = 8;
inline constexpr int kPsidInitAddress = 10;
inline constexpr int kPsidPlayAddress = 12;
inline constexpr int kPsidSongs = 14;
inline constexpr int kPsidStartSong = 16;
inline constexpr int kPsidName = 22;  // 32 bytes each: name, author, released
inline constexpr int kPsidMinimumHeader = 0x76;

struct PlayerState {
  SidChip chip;
  Cpu6502 cpu;
  uint16_t loadAddress, initAddress, playAddress;
  uint32_t lastCallInstructions;
  uint32_t initBudget, playBudget;  // instructions per init call and per play call
  uint32_t budgetStops;             // calls since reset that their budget cut off

  // Zeroes the record, sets the chip up for 44100 Hz, resets the CPU
  // (A = X = Y = P = 0, S = $FF, PC = 0) and wires it to the chip.
  void reset(uint32_t initCallBudget = kInitCallBudget, uint32_t playCallBudget = kPlayCallBudget);
  // Places a PSID image into memory and sets the three addresses; a play
  // address of 0 is taken from $0314/$0315 after one init call with A = 0.
  // Data that would run past $FFFF is cut off there; a truncated image reads
  // as zeros past its end. Returns the load address.
  uint16_t loadTune(const uint8_t* image, int32_t size);
  uint32_t runInit(int32_t subtune);
  uint32_t runPlay();
  // runPlay, then 882 samples of synthesis into slice.
  void renderFrame(int16_t* slice);

 private:
  uint32_t call(uint16_t address, uint8_t a, uint32_t budget);
};
static_assert(std::is_trivially_copyable_v<PlayerState>);

// Header facts of a PSID image, read the way loadTune reads them.
struct PsidInfo {
  bool valid;  // magic "PSID" or "RSID" and a complete header
  uint8_t version;
  uint8_t dataOffset;
  uint16_t loadAddress;  // from the first two data bytes
  uint16_t initAddress, playAddress;
  uint16_t songs, startSong;
  int32_t dataSize;  // bytes loaded (after the two address bytes, before cutting)
  char name[33], author[33], released[33];
};
PsidInfo describePsid(const uint8_t* image, int32_t size);

}  // namespace sid
