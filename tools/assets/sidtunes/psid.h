// PSID version 2 header writing and reading for the intro tunes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sidtunes {

constexpr int kPsidDataOffset = 0x7C;
constexpr uint16_t kPsidFlags = 0x0014;  // PAL, MOS 6581

struct PsidInfo {
  std::string magic;
  uint16_t version = 0, dataOffset = 0, loadField = 0, init = 0, play = 0, songs = 0, startSong = 0;
  uint32_t speed = 0;
  std::string name, author, released;
  uint16_t flags = 0;
  uint16_t loadAddress = 0;  // from the first two data bytes
  uint32_t dataEnd = 0;      // one past the last loaded address
};

// Wraps a program (load address first) as a PSID v2 image with one song.
std::vector<uint8_t> makePsid(const std::vector<uint8_t>& program, uint16_t init, uint16_t play,
                              const std::string& name, const std::string& author, const std::string& released);

// Reads the header fields; false if the image is shorter than its header.
bool readPsid(const std::vector<uint8_t>& image, PsidInfo& info);

}  // namespace sidtunes
