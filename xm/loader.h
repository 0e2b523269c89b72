// The XM loader: reads a module through ModuleFileOps into an XmSong.
//
// Only the fields the player uses are read, in file order; 8- and 16-bit
// delta-coded samples both end up as 16-bit data on the same scale, with a
// guard copy after a loop's end for the interpolation. Untrusted input is
// read through a reader that returns zeros past the end of the data, and
// everything the sequencer and mixer later index with is checked here once:
// such modules are repaired where real files need it, rejected otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "xm/module_file_ops.h"
#include "xm/xm_song.h"

namespace xm {

// Limits above which a module is rejected (no real module comes near them).
inline constexpr int32_t kMaxPatterns = 256;
inline constexpr int32_t kMaxRows = 256;
inline constexpr int32_t kMaxInstruments = 128;
inline constexpr uint32_t kMaxSampleLength = 1u << 28;  // samples

// Loads a module through `ops` (which must be installed); null when the data
// is not a module this player can play.
std::unique_ptr<XmSong> loadSong(const ModuleFileOps& ops);

// The same, straight from memory.
std::unique_ptr<XmSong> loadSongFromMemory(const uint8_t* data, int64_t size);

// The module name (bytes 17..36 of the header, trailing spaces and NULs
// dropped), or "" when the data is too short.
std::string moduleName(const uint8_t* data, int64_t size);

}  // namespace xm
