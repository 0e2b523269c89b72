// 16-bit PCM WAV files for the audio subcommands, written as the audio is
// rendered, and levels in dBFS.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace magtool {

// A WAV file written block by block: open writes the header, write appends
// interleaved 16-bit samples, close fills in the sizes. Memory stays at one
// block however long the rendering.
class WavWriter {
 public:
  WavWriter() = default;
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;
  ~WavWriter();

  // channels 1 or 2. false when the file cannot be created.
  bool open(const std::string& path, int channels, uint32_t rate);
  bool write(const int16_t* samples, size_t count);
  // Fills in the RIFF and data sizes and closes; false if anything failed
  // since open (or the data passed 4 GB).
  bool close();
  bool isOpen() const { return file_ != nullptr; }

 private:
  std::FILE* file_ = nullptr;
  uint64_t dataBytes_ = 0;
  bool failed_ = false;
  std::vector<uint8_t> buffer_;
};

// Writes interleaved 16-bit samples (channels 1 or 2) at the given rate.
bool writeWav(const std::string& path, const std::vector<int16_t>& samples, int channels, uint32_t rate);

// Peak, RMS and an FNV-1a digest over the samples' little-endian bytes,
// gathered block by block.
struct SampleStats {
  void add(const int16_t* samples, size_t count);
  double rms() const;

  int32_t peak = 0;
  double sumSquares = 0.0;
  uint64_t count = 0;
  uint64_t digest = 0xCBF29CE484222325ull;
};

// 20 log10(linear / 32768); minus infinity for silence.
double dbfs(double linear);

}  // namespace magtool
