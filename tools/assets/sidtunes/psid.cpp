#include "tools/assets/sidtunes/psid.h"

namespace sidtunes {
namespace {

void put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
  out[at] = static_cast<uint8_t>(v >> 8);
  out[at + 1] = static_cast<uint8_t>(v & 0xFF);
}

// Text fields are 32 bytes, zero padded; a full-length text has no zero.
void putText(std::vector<uint8_t>& out, size_t at, const std::string& text) {
  for (size_t i = 0; i < 32 && i < text.size(); ++i) out[at + i] = static_cast<uint8_t>(text[i]);
}

uint16_t get16(const std::vector<uint8_t>& in, size_t at) {
  return static_cast<uint16_t>(in[at] << 8 | in[at + 1]);
}

std::string getText(const std::vector<uint8_t>& in, size_t at) {
  std::string s;
  for (size_t i = 0; i < 32 && in[at + i] != 0; ++i) s += static_cast<char>(in[at + i]);
  return s;
}

}  // namespace

std::vector<uint8_t> makePsid(const std::vector<uint8_t>& program, uint16_t init, uint16_t play,
                              const std::string& name, const std::string& author, const std::string& released) {
  std::vector<uint8_t> out(kPsidDataOffset, 0);
  out[0] = 'P';
  out[1] = 'S';
  out[2] = 'I';
  out[3] = 'D';
  put16(out, 4, 2);
  put16(out, 6, kPsidDataOffset);
  put16(out, 8, 0);  // load address taken from the data's first two bytes
  put16(out, 10, init);
  put16(out, 12, play);
  put16(out, 14, 1);  // songs
  put16(out, 16, 1);  // start song
  // speed field (18..21) stays 0: every song is played at the vertical-blank rate
  putText(out, 22, name);
  putText(out, 54, author);
  putText(out, 86, released);
  put16(out, 118, kPsidFlags);
  out.insert(out.end(), program.begin(), program.end());
  return out;
}

bool readPsid(const std::vector<uint8_t>& image, PsidInfo& info) {
  if (image.size() < kPsidDataOffset + 2) return false;
  info.magic.assign(image.begin(), image.begin() + 4);
  info.version = get16(image, 4);
  info.dataOffset = get16(image, 6);
  info.loadField = get16(image, 8);
  info.init = get16(image, 10);
  info.play = get16(image, 12);
  info.songs = get16(image, 14);
  info.startSong = get16(image, 16);
  info.speed = static_cast<uint32_t>(get16(image, 18)) << 16 | get16(image, 20);
  info.name = getText(image, 22);
  info.author = getText(image, 54);
  info.released = getText(image, 86);
  info.flags = get16(image, 118);
  if (image.size() < static_cast<size_t>(info.dataOffset) + 2) return false;
  info.loadAddress = static_cast<uint16_t>(image[info.dataOffset] | image[info.dataOffset + 1] << 8);
  info.dataEnd = info.loadAddress + static_cast<uint32_t>(image.size() - info.dataOffset - 2);
  return true;
}

}  // namespace sidtunes
