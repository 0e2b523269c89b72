// 16-bit PCM WAV files for the audio subcommands, and levels in dBFS.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace magtool {

// Writes interleaved 16-bit samples (channels 1 or 2) at the given rate.
bool writeWav(const std::string& path, const std::vector<int16_t>& samples, int channels, uint32_t rate);
// 20 log10(linear / 32768); minus infinity for silence.
double dbfs(double linear);

}  // namespace magtool
