#include "sid/player_state.h"

#include <algorithm>
#include <cstring>

namespace sid {
namespace {

// Header bytes past the end of a short image read as zero.
uint8_t imageByte(const uint8_t* image, int32_t size, int32_t offset) {
  return (image && offset >= 0 && offset < size) ? image[offset] : 0;
}

uint16_t bigEndian(const uint8_t* image, int32_t size, int32_t offset) {
  return static_cast<uint16_t>((imageByte(image, size, offset) << 8) | imageByte(image, size, offset + 1));
}

// The tune data's own load address is little-endian.
uint16_t littleEndian(const uint8_t* image, int32_t size, int32_t offset) {
  return static_cast<uint16_t>(imageByte(image, size, offset) | (imageByte(image, size, offset + 1) << 8));
}

}  // namespace

void PlayerState::reset(uint32_t initCallBudget, uint32_t playCallBudget) {
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  chip.setup(kMixRate);
  cpu.S = 0xFF;
  cpu.chip = &chip;
  initBudget = initCallBudget;
  playBudget = playCallBudget;
}

uint32_t PlayerState::call(uint16_t address, uint8_t a, uint32_t budget) {
  cpu.budget = budget;
  lastCallInstructions = cpu.callSubroutine(address, a);
  // A cancelled call also reports budgetExhausted, but ends before its budget.
  if (budget != 0 && lastCallInstructions >= budget) ++budgetStops;
  return lastCallInstructions;
}

uint16_t PlayerState::loadTune(const uint8_t* image, int32_t size) {
  if (!image || size < 0) size = 0;
  const int32_t dataOffset = imageByte(image, size, kPsidDataOffsetLow);
  initAddress = bigEndian(image, size, kPsidInitAddress);
  playAddress = bigEndian(image, size, kPsidPlayAddress);
  loadAddress = littleEndian(image, size, dataOffset);
  std::memset(cpu.memory, 0, sizeof cpu.memory);
  const int32_t available = size - dataOffset - 2;
  const int32_t room = 0x10000 - loadAddress;
  const int32_t count = std::clamp(available, 0, room);
  if (count > 0) std::memcpy(cpu.memory + loadAddress, image + dataOffset + 2, static_cast<size_t>(count));
  if (playAddress == 0) {
    call(initAddress, 0, initBudget);
    playAddress = cpu.readWord(kIrqVectorLow, kIrqVectorHigh);
  }
  return loadAddress;
}

uint32_t PlayerState::runInit(int32_t subtune) {
  return call(initAddress, static_cast<uint8_t>(subtune), initBudget);
}

uint32_t PlayerState::runPlay() { return call(playAddress, 0, playBudget); }

void PlayerState::renderFrame(int16_t* slice) {
  runPlay();
  chip.render(slice, kFrameSamples, cpu.memory);
}

PsidInfo describePsid(const uint8_t* image, int32_t size) {
  PsidInfo info{};
  if (!image || size < 0) size = 0;
  info.valid = size >= kPsidMinimumHeader &&
               (std::memcmp(image, "PSID", 4) == 0 || std::memcmp(image, "RSID", 4) == 0);
  info.version = static_cast<uint8_t>(bigEndian(image, size, 4));
  info.dataOffset = imageByte(image, size, kPsidDataOffsetLow);
  info.loadAddress = littleEndian(image, size, info.dataOffset);
  info.initAddress = bigEndian(image, size, kPsidInitAddress);
  info.playAddress = bigEndian(image, size, kPsidPlayAddress);
  info.songs = bigEndian(image, size, kPsidSongs);
  info.startSong = bigEndian(image, size, kPsidStartSong);
  info.dataSize = std::max(0, size - info.dataOffset - 2);
  if (size < info.dataOffset + 2) info.valid = false;
  char* texts[3] = {info.name, info.author, info.released};
  for (int t = 0; t < 3; ++t) {
    for (int i = 0; i < 32; ++i) texts[t][i] = static_cast<char>(imageByte(image, size, kPsidName + 32 * t + i));
    texts[t][32] = 0;
  }
  return info;
}

}  // namespace sid
