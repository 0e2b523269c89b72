// An output that takes the refill (the browser edition's, where there are no
// threads): the player starts no output thread, the ring is refilled only when
// the output runs the refill, by the same rule, and stop withdraws it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "host/headless/fake_looping_audio_output.h"
#include "tests/xm/xm_builder.h"
#include "xm/module_player.h"

namespace {

using namespace std::chrono_literals;

class RefillTakingOutput final : public host::FakeLoopingAudioOutput {
 public:
  bool takeRefill(Refill refill, void* context) override {
    refill_ = refill;
    context_ = context;
    ++takeCount;
    return true;
  }
  void runRefill() {
    if (refill_) refill_(context_);
  }
  bool hasRefill() const { return refill_ != nullptr; }
  int takeCount = 0;

 private:
  Refill refill_ = nullptr;
  void* context_ = nullptr;
};

// One tick per row, a note on every row of channel 0, so the heard row shows
// in the cell query.
std::vector<uint8_t> countingModule() {
  xmtest::Module m;
  m.channels = 2;
  m.speed = 1;
  m.orders = {0};
  m.patterns = {xmtest::Pattern{64, {}}};
  m.instruments.push_back(xmtest::simpleInstrument(xmtest::dcSample(3000, 32)));
  for (int row = 0; row < 64; ++row) m.cell(0, row, 0) = {static_cast<uint8_t>(1 + row), 1, 0, 0, 0};
  return m.bytes();
}

TEST(XmPlayerFrameRefill, TheRingMovesOnlyWhenTheOutputRunsTheRefill) {
  RefillTakingOutput out;
  xm::ModulePlayer player(out);
  const std::vector<uint8_t> bytes = countingModule();
  ASSERT_TRUE(player.load(bytes.data(), static_cast<int32_t>(bytes.size())));
  ASSERT_TRUE(player.play());
  ASSERT_TRUE(out.hasRefill());
  EXPECT_EQ(player.audibleRow(), 1);  // block 0 heard

  // The device plays on, but nobody refills: no thread is running the rule.
  out.advanceFrames(10 * xm::kBlockFrames);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(player.audibleRow(), 1);
  const std::vector<int16_t> ring(out.buffer(), out.buffer() + out.bufferBytes() / 2);
  EXPECT_TRUE(ring == out.firstRing());

  // One refill: blocks 0..9 are mixed again, block 10 is heard.
  out.runRefill();
  EXPECT_EQ(player.audibleRow(), 11);
  const std::vector<int16_t> after(out.buffer(), out.buffer() + out.bufferBytes() / 2);
  EXPECT_FALSE(after == out.firstRing());
  // The block being played is left alone.
  const size_t playing = 10 * 2 * static_cast<size_t>(xm::kBlockFrames);
  EXPECT_TRUE(std::equal(after.begin() + static_cast<std::ptrdiff_t>(playing),
                         after.begin() + static_cast<std::ptrdiff_t>(playing + 2 * xm::kBlockFrames),
                         out.firstRing().begin() + static_cast<std::ptrdiff_t>(playing)));
  out.runRefill();  // nothing more to do until the position moves
  EXPECT_EQ(player.audibleRow(), 11);

  EXPECT_TRUE(player.stop());
  EXPECT_FALSE(out.hasRefill());
  EXPECT_FALSE(out.isOpen());
  out.runRefill();  // withdrawn: harmless
  // Playing again hands the refill over again.
  ASSERT_TRUE(player.play());
  EXPECT_TRUE(out.hasRefill());
  EXPECT_TRUE(player.unload());
  EXPECT_FALSE(out.hasRefill());
}

}  // namespace
