// The raw reader beside the writer: an extended-module file's bytes back into
// the writer's `Song`, field by field, without judging the music (that is the
// player's loader's business). It follows the sizes the file states (header,
// pattern and instrument headers, sample headers), so files from any tracker
// read; a song written by `writeXm` reads back to the same `Song`, and written
// again to the same bytes.
//
// Reading past the end gives zeros, as a short file's tail would be silence; a
// sample whose data the file cuts short keeps only the bytes that are there.
// `ReadLimits` bound what is taken on (the fuzzer keeps its modules small);
// the defaults are the format's own limits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/assets/xmwriter/xm_writer.h"

namespace xmw {

struct ReadLimits {
  uint16_t channels = 32;
  uint16_t patterns = 256;
  uint16_t instruments = 128;
  uint16_t samplesPerInstrument = 16;
  uint16_t rows = 256;
  uint32_t headerSize = 1u << 16;  // any stated header size above this is refused
};

// false when the data is not an extended module (no "Extended Module: " tag,
// shorter than its fixed header) or exceeds a limit.
bool readXm(const uint8_t* data, size_t size, Song& song, const ReadLimits& limits = {});

}  // namespace xmw
