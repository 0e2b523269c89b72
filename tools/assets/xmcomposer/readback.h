// Reading a written module back through the player's own loader: what the
// reader will play must be exactly what was composed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/assets/xmcomposer/xm_file.h"

namespace xmc {

// Loads `bytes` with the player's loader and compares what it holds with
// `composed`: header, order list, every cell, every instrument's envelopes,
// vibrato and fadeout, every sample's header fields and data. Returns the
// first difference in words, or "" when there is none.
std::string playerReadback(const Module& composed, const std::vector<uint8_t>& bytes);

}  // namespace xmc
