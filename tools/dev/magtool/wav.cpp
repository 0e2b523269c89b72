#include "tools/dev/magtool/wav.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

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

constexpr long kRiffSizeOffset = 4;
constexpr long kDataSizeOffset = 40;
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;
}  // namespace

WavWriter::~WavWriter() {
  if (file_ != nullptr) close();
}

bool WavWriter::open(const std::string& path, int channels, uint32_t rate) {
  if (file_ != nullptr) close();
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return false;
  dataBytes_ = 0;
  failed_ = false;
  const uint32_t frameBytes = static_cast<uint32_t>(channels) * 2;
  std::vector<uint8_t> header;
  header.insert(header.end(), {'R', 'I', 'F', 'F'});
  put32(header, 36);  // sizes filled in by close
  header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  put32(header, 16);
  put16(header, 1);  // PCM
  put16(header, static_cast<uint32_t>(channels));
  put32(header, rate);
  put32(header, rate * frameBytes);
  put16(header, frameBytes);
  put16(header, 16);
  header.insert(header.end(), {'d', 'a', 't', 'a'});
  put32(header, 0);
  failed_ = std::fwrite(header.data(), 1, header.size(), file_) != header.size();
  return !failed_;
}

bool WavWriter::write(const int16_t* samples, size_t count) {
  if (file_ == nullptr || failed_) return false;
  buffer_.clear();
  buffer_.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) put16(buffer_, static_cast<uint16_t>(samples[i]));
  failed_ = std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size();
  dataBytes_ += buffer_.size();
  return !failed_;
}

bool WavWriter::close() {
  if (file_ == nullptr) return false;
  bool ok = !failed_ && dataBytes_ <= kMaxDataBytes;
  if (ok) {
    std::vector<uint8_t> size;
    put32(size, static_cast<uint32_t>(36 + dataBytes_));
    ok = std::fseek(file_, kRiffSizeOffset, SEEK_SET) == 0 && std::fwrite(size.data(), 1, 4, file_) == 4;
    size.clear();
    put32(size, static_cast<uint32_t>(dataBytes_));
    ok = ok && std::fseek(file_, kDataSizeOffset, SEEK_SET) == 0 && std::fwrite(size.data(), 1, 4, file_) == 4;
  }
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  return ok;
}

bool writeWav(const std::string& path, const std::vector<int16_t>& samples, int channels, uint32_t rate) {
  WavWriter wav;
  if (!wav.open(path, channels, rate)) return false;
  wav.write(samples.data(), samples.size());
  return wav.close();
}

void SampleStats::add(const int16_t* samples, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    const int32_t s = samples[i];
    peak = std::max(peak, std::abs(s));
    sumSquares += static_cast<double>(s) * s;
    const uint16_t u = static_cast<uint16_t>(s);
    digest = (digest ^ (u & 0xFF)) * 0x100000001B3ull;
    digest = (digest ^ (u >> 8)) * 0x100000001B3ull;
  }
  count += n;
}

double SampleStats::rms() const { return count == 0 ? 0.0 : std::sqrt(sumSquares / static_cast<double>(count)); }

double dbfs(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear / 32768.0) : -INFINITY; }

}  // namespace magtool
