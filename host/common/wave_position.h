// WavePosition: a wave device's 32-bit play position, extended to a 64-bit
// byte count.
//
// A device reports its position in bytes, in sample frames or in
// milliseconds, each in 32 bits that wrap (bytes after 6.7 hours at 44100 Hz
// stereo 16-bit, milliseconds after 49.7 days). A wrap is counted in the unit
// the device reported, and the extended count is converted to bytes after,
// so that a millisecond counter that wraps is not taken for a byte counter
// that wrapped (which would move the position by 2^32 bytes). Platform-
// neutral; the Win32 looping output feeds it waveOutGetPosition's answers.
#pragma once

#include <cstdint>

namespace host {

class WavePosition {
 public:
  enum class Unit : uint8_t { Bytes, Frames, Milliseconds };

  // `bytesPerFrame` and `rate` (frames per second) convert frames and
  // milliseconds to bytes.
  WavePosition(uint32_t bytesPerFrame, uint32_t rate) : bytesPerFrame_(bytesPerFrame), rate_(rate) {}

  // The position now, from the device's 32-bit `value` in `unit`: bytes
  // played since the start (whole frames).
  uint64_t bytes(Unit unit, uint32_t value) {
    if (unit != unit_) {  // a device changing its unit starts a new count
      unit_ = unit;
      wraps_ = 0;
      last_ = value;
    } else if (value < last_) {
      ++wraps_;
    }
    last_ = value;
    const uint64_t count = (wraps_ << 32) | value;
    switch (unit) {
      case Unit::Bytes: return count - count % bytesPerFrame_;
      case Unit::Frames: return count * bytesPerFrame_;
      case Unit::Milliseconds: return count * rate_ / 1000 * bytesPerFrame_;
    }
    return 0;
  }
  void reset() {
    wraps_ = 0;
    last_ = 0;
  }

 private:
  uint32_t bytesPerFrame_;
  uint32_t rate_;
  Unit unit_ = Unit::Bytes;
  uint32_t last_ = 0;
  uint64_t wraps_ = 0;  // times the count passed 2^32 in unit_
};

}  // namespace host
