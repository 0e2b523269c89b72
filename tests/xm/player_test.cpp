// ModulePlayer with the fake looping output: queries with and without a
// song, the device calls of play and stop, the pre-filled ring, stamps that
// name the block being heard, no device, and a switch / mute stress run with
// the output thread working (meant for the tsan build).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "host/headless/fake_looping_audio_output.h"
#include "tests/xm/xm_builder.h"
#include "xm/module_player.h"
#include "xm/offline_renderer.h"

namespace {

using namespace std::chrono_literals;

// Two channels, one tick per row, a note on every row of channel 0 so the
// note of the heard row tells the row apart.
std::vector<uint8_t> countingModule(uint16_t speed = 1) {
  xmtest::Module m;
  m.channels = 2;
  m.speed = speed;
  m.orders = {1, 0};
  m.patterns = {xmtest::Pattern{64, {}}, xmtest::Pattern{64, {}}};
  m.instruments.push_back(xmtest::simpleInstrument(xmtest::dcSample(3000, 32)));
  for (int p = 0; p < 2; ++p) {
    for (int row = 0; row < 64; ++row) {
      m.cell(p, row, 0) = {static_cast<uint8_t>(1 + (row + 32 * p) % 96), 1, 0, 0, 0};
    }
  }
  m.cell(1, 0, 1) = {97, 0, 0, 0, 0};
  return m.bytes();
}

template <typename Ready>
bool waitFor(Ready ready) {
  for (int i = 0; i < 10000 && !ready(); ++i) std::this_thread::sleep_for(1ms);
  return ready();
}

TEST(XmPlayer, EverythingIsFalseWithoutASong) {
  host::FakeLoopingAudioOutput out;
  xm::ModulePlayer player(out);
  EXPECT_FALSE(player.play());
  EXPECT_FALSE(player.stop());
  EXPECT_FALSE(player.unload());
  EXPECT_EQ(player.channelCount(), 0);
  EXPECT_EQ(player.audibleOrder(), 0);
  EXPECT_EQ(player.audibleRow(), 0);
  EXPECT_EQ(player.cellAt(0), 0);
  EXPECT_EQ(out.openCount(), 0);
  const uint8_t junk[] = {'E', 'x', 't'};
  EXPECT_FALSE(player.load(junk, 3));
  EXPECT_EQ(player.channelCount(), 0);
}

TEST(XmPlayer, QueriesWhileStoppedNameRowZeroOfTheFirstOrder) {
  host::FakeLoopingAudioOutput out;
  xm::ModulePlayer player(out);
  const std::vector<uint8_t> bytes = countingModule();
  ASSERT_TRUE(player.load(bytes.data(), static_cast<int32_t>(bytes.size())));
  EXPECT_EQ(player.channelCount(), 2);
  // order 0 is pattern 1, whose row 0 holds note 33, instrument 1 / key off
  EXPECT_EQ(player.cellAt(0), 0x0100 | 33);
  EXPECT_EQ(player.cellAt(1), 255);
  EXPECT_EQ(player.cellAt(2), 0);
  EXPECT_EQ(player.cellAt(-1), 0);
  EXPECT_EQ(player.audibleOrder(), 0);
  EXPECT_EQ(player.audibleRow(), 0);
  EXPECT_TRUE(player.unload());
  EXPECT_EQ(player.cellAt(0), 0);
  EXPECT_FALSE(player.unload());
}

TEST(XmPlayer, NoDeviceMeansNoPlayback) {
  host::FakeLoopingAudioOutput out;
  out.setDeviceAvailable(false);
  xm::ModulePlayer player(out);
  const std::vector<uint8_t> bytes = countingModule();
  ASSERT_TRUE(player.load(bytes.data(), static_cast<int32_t>(bytes.size())));
  EXPECT_FALSE(player.play());
  EXPECT_EQ(player.audibleRow(), 0);
  EXPECT_EQ(player.cellAt(0), 0x0100 | 33);
  EXPECT_TRUE(player.stop());
  EXPECT_TRUE(player.unload());
  EXPECT_EQ(out.playCount(), 0);
}

TEST(XmPlayer, PlayPrefillsTheRingWithTheOfflineRendering) {
  host::FakeLoopingAudioOutput out;
  xm::ModulePlayer player(out);
  const std::vector<uint8_t> bytes = countingModule(3);
  ASSERT_TRUE(player.load(bytes.data(), static_cast<int32_t>(bytes.size())));
  ASSERT_TRUE(player.play());
  EXPECT_TRUE(out.isOpen());
  EXPECT_EQ(out.bufferBytes(), 353600u);
  xm::OfflineRenderer offline;
  ASSERT_TRUE(offline.load(bytes.data(), static_cast<int64_t>(bytes.size())));
  std::vector<int16_t> expected;
  std::vector<int16_t> block(2 * xm::kBlockFrames);
  for (int b = 0; b < xm::kBlockCount; ++b) {
    offline.renderBlock(block.data());
    expected.insert(expected.end(), block.begin(), block.end());
  }
  ASSERT_EQ(out.firstRing().size(), expected.size());
  EXPECT_TRUE(out.firstRing() == expected);
  int16_t peak = 0;
  for (int16_t s : expected) peak = std::max<int16_t>(peak, s);
  EXPECT_GT(peak, 500);  // the notes are heard
  EXPECT_TRUE(player.stop());
}

TEST(XmPlayer, PlayWhilePlayingRestartsAndStopReleasesTheDevice) {
  host::FakeLoopingAudioOutput out;
  xm::ModulePlayer player(out);
  const std::vector<uint8_t> bytes = countingModule();
  ASSERT_TRUE(player.load(bytes.data(), static_cast<int32_t>(bytes.size())));
  ASSERT_TRUE(player.play());
  const std::vector<int16_t> first = out.firstRing();
  out.advanceFrames(30 * xm::kBlockFrames);
  ASSERT_TRUE(waitFor([&] { return player.audibleRow() == 31; }));
  ASSERT_TRUE(player.play());
  // The device was reset, unprepared, closed and opened again; the song
  // starts over from its beginning.
  EXPECT_EQ(out.openCount(), 2);
  EXPECT_EQ(out.resetCount(), 1);
  EXPECT_EQ(out.unprepareCount(), 1);
  EXPECT_EQ(out.closeCount(), 1);
  EXPECT_TRUE(out.firstRing() == first);
  EXPECT_EQ(player.audibleRow(), 1);
  EXPECT_TRUE(player.stop());
  EXPECT_FALSE(out.isOpen());
  EXPECT_EQ(out.closeCount(), 2);
  EXPECT_EQ(player.audibleRow(), 0);
  EXPECT_EQ(player.cellAt(0), 0x0100 | 33);
  EXPECT_TRUE(player.stop());  // stopping again is harmless
  EXPECT_EQ(out.closeCount(), 2);
}

TEST(XmPlayer, StampsNameTheBlockBeingHeard) {
  host::FakeLoopingAudioOutput out;
  xm::ModulePlayer player(out);
  const std::vector<uint8_t> bytes = countingModule();
  ASSERT_TRUE(player.load(bytes.data(), static_cast<int32_t>(bytes.size())));
  ASSERT_TRUE(player.play());
  // One row per 882 frames; block k ends at frame 884 (k + 1), when the row
  // reached is (884 (k + 1) - 1) / 882.
  // heard block -> row
  EXPECT_EQ(player.audibleRow(), 1);  // block 0
  EXPECT_EQ(player.cellAt(0), 0x0100 | 34);
  out.advanceFrames(10 * xm::kBlockFrames);
  // The output thread refills blocks 0..9 one by one, then waits at block 10.
  EXPECT_TRUE(waitFor([&] { return player.audibleRow() == 11; }));  // block 10, while the mixer is 2 s ahead
  EXPECT_EQ(player.audibleOrder(), 0);
  EXPECT_EQ(player.cellAt(0), 0x0100 | 44);
  out.advanceFrames(60 * xm::kBlockFrames);
  // block 70 ends at frame 62764: row 71 = order 1, row 7
  EXPECT_TRUE(waitFor([&] { return player.audibleOrder() == 1 && player.audibleRow() == 7; }));
  EXPECT_EQ(player.cellAt(0), 0x0100 | 8);
  EXPECT_TRUE(player.stop());
}

#if defined(__SANITIZE_THREAD__)
constexpr int kStressCycles = 1000;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr int kStressCycles = 1000;
#else
constexpr int kStressCycles = 60;
#endif
#else
constexpr int kStressCycles = 60;
#endif

TEST(XmPlayer, RapidSwitchMutePlayAndUnloadCycles) {
  host::FakeLoopingAudioOutput out;
  out.setRealTimeClock(true);  // the output thread refills as the "device" plays
  xm::ModulePlayer player(out);
  const std::vector<uint8_t> a = countingModule(1);
  const std::vector<uint8_t> b = countingModule(2);
  std::atomic<bool> done{false};
  // A second thread moves the play position in bursts, as a device would.
  std::thread device([&] {
    while (!done.load()) {
      out.advanceFrames(xm::kBlockFrames * 7);
      std::this_thread::sleep_for(1ms);
    }
  });
  int sum = 0;
  for (int i = 0; i < kStressCycles; ++i) {
    const std::vector<uint8_t>& bytes = (i % 2) ? a : b;
    // switch
    player.stop();
    player.unload();
    ASSERT_TRUE(player.load(bytes.data(), static_cast<int32_t>(bytes.size())));
    ASSERT_TRUE(player.play());
    sum += player.cellAt(0) + player.audibleRow();
    // mute and unmute
    ASSERT_TRUE(player.stop());
    ASSERT_TRUE(player.play());
    sum += player.cellAt(1) + player.audibleOrder();
    // play while playing
    ASSERT_TRUE(player.play());
    if (i % 3 == 0) std::this_thread::sleep_for(1ms);
    // unload while playing (unload stops first)
    ASSERT_TRUE(player.unload());
    EXPECT_EQ(player.cellAt(0), 0);
  }
  done.store(true);
  device.join();
  EXPECT_GT(sum, 0);
  EXPECT_FALSE(out.isOpen());
}

}  // namespace
