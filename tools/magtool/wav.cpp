#include "tools/magtool/wav.h"

#include <cmath>
#include <fstream>

namespace magtool {
namespace {
void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
}  // namespace

bool writeWav(const std::string& path, const std::vector<int16_t>& samples, int channels, uint32_t rate) {
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  const uint32_t frameBytes = static_cast<uint32_t>(channels) * 2;
  std::vector<uint8_t> bytes;
  bytes.reserve(44 + dataBytes);
  bytes.insert(bytes.end(), {'R', 'I', 'F', 'F'});
  put32(bytes, 36 + dataBytes);
  bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(bytes, 16);
  put16(bytes, 1);  // PCM
  put16(bytes, static_cast<uint32_t>(channels));
  put32(bytes, rate);
  put32(bytes, rate * frameBytes);
  put16(bytes, frameBytes);
  put16(bytes, 16);
  bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
  put32(bytes, dataBytes);
  for (int16_t s : samples) put16(bytes, static_cast<uint16_t>(s));
  std::ofstream out(path, std::ios::binary);
  if (!out) return false;
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

double dbfs(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear / 32768.0) : -INFINITY; }

}  // namespace magtool
