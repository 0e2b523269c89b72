// A wave device's 32-bit position widened to 64-bit bytes: wraps counted in
// the unit the device reports, so that a millisecond counter's wrap after
// 49.7 days moves the position by one millisecond, not by 2^32 bytes.
#include <gtest/gtest.h>

#include <cstdint>

#include "host/common/wave_position.h"

namespace host {
namespace {

constexpr uint32_t kFrame = 4, kRate = 44100;
constexpr uint64_t k32 = 1ull << 32;

TEST(WavePosition, BytesWrapAfterTwoToTheThirtyTwo) {
  WavePosition p(kFrame, kRate);
  EXPECT_EQ(p.bytes(WavePosition::Unit::Bytes, 0xFFFFFF00u), 0xFFFFFF00u);
  EXPECT_EQ(p.bytes(WavePosition::Unit::Bytes, 0x100u), k32 + 0x100u);
  EXPECT_EQ(p.bytes(WavePosition::Unit::Bytes, 0x200u), k32 + 0x200u);
  EXPECT_EQ(p.bytes(WavePosition::Unit::Bytes, 0x7u), 2 * k32 + 4);  // the second wrap; whole frames
}

TEST(WavePosition, FramesCountInFramesBeforeTheyBecomeBytes) {
  WavePosition p(kFrame, kRate);
  // 2^30 frames is where frames x 4 would overflow 32 bits: no wrap there.
  EXPECT_EQ(p.bytes(WavePosition::Unit::Frames, 0x3FFFFFFFu), 0x3FFFFFFFull * 4);
  EXPECT_EQ(p.bytes(WavePosition::Unit::Frames, 0x40000001u), 0x40000001ull * 4);
  EXPECT_EQ(p.bytes(WavePosition::Unit::Frames, 0xFFFFFFFFu), 0xFFFFFFFFull * 4);
  EXPECT_EQ(p.bytes(WavePosition::Unit::Frames, 1u), (k32 + 1) * 4);
}

TEST(WavePosition, MillisecondWrapMovesOneMillisecond) {
  WavePosition p(kFrame, kRate);
  const uint64_t before = p.bytes(WavePosition::Unit::Milliseconds, 0xFFFFFFFFu);
  EXPECT_EQ(before, 0xFFFFFFFFull * kRate / 1000 * kFrame);
  const uint64_t after = p.bytes(WavePosition::Unit::Milliseconds, 0u);
  EXPECT_EQ(after, k32 * kRate / 1000 * kFrame);
  // 44.1 frames, never the 2^32 bytes (about 1.6 million module rows) a
  // byte wrap would add.
  EXPECT_LE(after - before, 45u * kFrame);
  EXPECT_GE(after - before, 44u * kFrame);
}

TEST(WavePosition, ResetAndAChangeOfUnitStartAgain) {
  WavePosition p(kFrame, kRate);
  p.bytes(WavePosition::Unit::Bytes, 5000);
  p.reset();
  EXPECT_EQ(p.bytes(WavePosition::Unit::Bytes, 40), 40u);  // not a wrap
  EXPECT_EQ(p.bytes(WavePosition::Unit::Milliseconds, 10), 441u * kFrame);
  EXPECT_EQ(p.bytes(WavePosition::Unit::Milliseconds, 20), 882u * kFrame);
}

}  // namespace
}  // namespace host
