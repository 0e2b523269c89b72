// Streaming: the order of device calls, the buffers queued by play, eight play
// calls per refill, stop and its guarantees, device failures, and a stress
// test of fast tune switches while the stream runs (for the tsan preset).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "host/headless/fake_wave_output.h"
#include "sid/sid_player.h"
#include "sid/tune_renderer.h"
#include "tests/sid/sid_test_util.h"

namespace sid {
namespace {

using test::makePsid;

constexpr int kBufferSamples = 7056;
constexpr uint32_t kBufferBytes = 14112;

// init ($1000): volume 15, voice 1 sawtooth gated, attack 0 / sustain 15.
// play ($1020): INC $30; LDA $30; STA $D401 (pitch rises each call); RTS.
std::vector<uint8_t> risingTune(uint8_t startPitch = 0x10) {
  std::vector<uint8_t> code(0x40, 0xEA);
  const uint8_t init[] = {0xA9, 0x0F, 0x8D, 0x18, 0xD4, 0xA9, 0xF0, 0x8D, 0x06, 0xD4,
                          0xA9, 0x21, 0x8D, 0x04, 0xD4, 0xA9, startPitch, 0x85, 0x30, 0x60};
  const uint8_t play[] = {0xE6, 0x30, 0xA5, 0x30, 0x8D, 0x01, 0xD4, 0x60};
  std::copy(std::begin(init), std::end(init), code.begin());
  std::copy(std::begin(play), std::end(play), code.begin() + 0x20);
  return makePsid(0x1000, 0x1000, 0x1020, code);
}

std::vector<int16_t> offline(const std::vector<uint8_t>& image, size_t samples) {
  TuneRenderer renderer;
  renderer.start(image.data(), static_cast<int32_t>(image.size()), 0);
  std::vector<int16_t> out(samples);
  renderer.render(out.data(), samples);
  return out;
}

struct Streaming : ::testing::Test {
  host::FakeWaveOutput output;
  SidPlayer player{output};
  std::vector<uint8_t> tune = risingTune();
  void play() { player.play(tune.data(), static_cast<int32_t>(tune.size()), 0); }
};

TEST_F(Streaming, PlayQueuesTwoRenderedBuffersPaused) {
  play();
  const std::vector<std::string> expected = {"open", "pause", "prepare", "prepare", "write", "write"};
  EXPECT_EQ(output.calls(), expected);
  EXPECT_TRUE(output.isPaused());
  EXPECT_EQ(output.queuedCount(), 2);
  EXPECT_EQ(output.queuedBytes(), 2 * kBufferBytes);
  EXPECT_EQ(player.playCallCount(), 16u);
  EXPECT_TRUE(player.hasDevice());
  EXPECT_FALSE(output.playNext());  // paused: nothing plays before resume
  EXPECT_TRUE(output.shownErrors().empty());
}

TEST_F(Streaming, EachPlayedBufferIsRefilledWithEightPlayCalls) {
  play();
  player.resume();
  EXPECT_FALSE(output.isPaused());
  output.clearCalls();
  ASSERT_TRUE(output.playNext());
  EXPECT_EQ(player.playCallCount(), 24u);
  const std::vector<std::string> refill = {"unprepare", "prepare", "write"};
  EXPECT_EQ(output.calls(), refill);
  EXPECT_EQ(output.queuedCount(), 2);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(output.playNext());
  EXPECT_EQ(player.playCallCount(), 16u + 6 * 8);
  EXPECT_EQ(output.queuedBytes(), 2 * kBufferBytes);
}

TEST_F(Streaming, StreamEqualsTheOfflineRendering) {
  play();
  player.resume();
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(output.playNext());
  const std::vector<int16_t> played = output.played();
  ASSERT_EQ(played.size(), 6u * kBufferSamples);
  EXPECT_EQ(played, offline(tune, played.size()));
  // The tune makes sound: the pitch rises and the sawtooth is loud.
  int16_t peak = 0;
  for (int16_t v : played) peak = std::max<int16_t>(peak, static_cast<int16_t>(std::abs(v)));
  EXPECT_GT(peak, 5000);
}

TEST_F(Streaming, StopEndsTheRefills) {
  play();
  player.resume();
  ASSERT_TRUE(output.playNext());
  output.clearCalls();
  const uint64_t calls = player.playCallCount();
  player.stop();
  // The reset hands both buffers back; they find no refill.
  const std::vector<std::string> expected = {"reset", "unprepare", "unprepare", "close"};
  EXPECT_EQ(output.calls(), expected);
  EXPECT_EQ(player.playCallCount(), calls);
  EXPECT_EQ(output.queuedCount(), 0);
  EXPECT_FALSE(output.isOpen());
  EXPECT_FALSE(player.hasDevice());
  EXPECT_FALSE(output.playNext());
}

TEST_F(Streaming, StopTwiceAndResumeAfterStopDoNothing) {
  play();
  player.stop();
  output.clearCalls();
  player.stop();
  player.resume();
  EXPECT_TRUE(output.calls().empty());
}

TEST_F(Streaming, PlayAfterStopStartsFromAZeroedState) {
  play();
  player.resume();
  for (int i = 0; i < 3; ++i) output.playNext();
  player.stop();
  output.clearPlayed();
  play();
  player.resume();
  ASSERT_TRUE(output.playNext());
  std::vector<int16_t> first = output.played();
  EXPECT_EQ(first, offline(tune, kBufferSamples));
  EXPECT_EQ(player.playCallCount(), 24u);
}

TEST_F(Streaming, PlayWhilePlayingClosesTheOldDeviceFirst) {
  play();
  player.resume();
  output.clearCalls();
  play();
  const std::vector<std::string> calls = output.calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls[0], "reset");
  EXPECT_EQ(calls[3], "close");
  EXPECT_EQ(calls[4], "open");
  EXPECT_EQ(output.queuedCount(), 2);
}

TEST_F(Streaming, PrepareFailureIsReportedOncePerFailingCall) {
  output.failPrepare(host::kWaveErrorGeneric, 1);  // only A's prepare fails
  play();
  // A's prepare fails, so its write fails as unprepared: two messages.
  const std::vector<std::string> expected = {host::waveErrorText(host::kWaveErrorGeneric),
                                             host::waveErrorText(host::kWaveErrorUnprepared)};
  EXPECT_EQ(output.shownErrors(), expected);
  EXPECT_EQ(output.queuedCount(), 1);  // A dropped out; B cycles alone
  player.resume();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(output.playNext());
  EXPECT_EQ(output.queuedCount(), 1);
  EXPECT_EQ(output.shownErrors().size(), 2u);
}

TEST_F(Streaming, FailuresDuringARefillAreReportedAndPlaybackGoesOn) {
  play();
  player.resume();
  output.failUnprepare(host::kWaveErrorStillPlaying, 1);
  ASSERT_TRUE(output.playNext());
  ASSERT_EQ(output.shownErrors().size(), 1u);
  EXPECT_EQ(output.shownErrors()[0], host::waveErrorText(host::kWaveErrorStillPlaying));
  EXPECT_EQ(output.queuedCount(), 2);  // the refill still queued its buffer
  output.failWrite(host::kWaveErrorGeneric, 1);
  ASSERT_TRUE(output.playNext());
  EXPECT_EQ(output.shownErrors().size(), 2u);
  EXPECT_EQ(output.queuedCount(), 1);  // that buffer dropped out
  ASSERT_TRUE(output.playNext());  // the other buffer cycles on
  EXPECT_EQ(output.queuedCount(), 1);
  output.failWrite(host::kWaveErrorGeneric, 1);
  ASSERT_TRUE(output.playNext());
  EXPECT_EQ(output.queuedCount(), 0);  // both dropped out: the tune stops
  EXPECT_FALSE(output.playNext());
  EXPECT_EQ(output.shownErrors().size(), 3u);
}

TEST_F(Streaming, NoDeviceRendersSilentlyWithoutMessages) {
  output.setOpenResult(host::kWaveErrorBadDevice);
  play();
  EXPECT_FALSE(player.hasDevice());
  EXPECT_EQ(player.playCallCount(), 16u);
  const std::vector<std::string> expected = {"open"};
  EXPECT_EQ(output.calls(), expected);
  EXPECT_TRUE(output.shownErrors().empty());
  player.resume();
  player.stop();
  EXPECT_EQ(output.calls(), expected);
}

TEST_F(Streaming, DestructorStops) {
  {
    SidPlayer local(output);
    local.play(tune.data(), static_cast<int32_t>(tune.size()), 0);
    local.resume();
  }
  EXPECT_FALSE(output.isOpen());
  EXPECT_EQ(output.queuedCount(), 0);
}

TEST(StreamingStress, FastTuneSwitchesWhileTheStreamRuns) {
  host::FakeWaveOutput output;
  SidPlayer player(output);
  const std::vector<uint8_t> tunes[] = {risingTune(0x10), risingTune(0x40), risingTune(0x80)};
  std::atomic<bool> done{false};
  std::atomic<int> played{0};
  std::thread device([&] {
    while (!done.load()) {
      if (output.playNext()) {
        played.fetch_add(1);
      } else {
        std::this_thread::yield();
      }
    }
  });
  for (int i = 0; i < 100; ++i) {
    const std::vector<uint8_t>& t = tunes[i % 3];
    player.stop();
    player.play(t.data(), static_cast<int32_t>(t.size()), 0);
    player.resume();
    if (i % 10 == 0) {
      // Let the stream run a little so refills overlap the next switch.
      const int target = played.load() + 2;
      while (played.load() < target) std::this_thread::yield();
    }
  }
  player.stop();
  const uint64_t after = player.playCallCount();
  done.store(true);
  device.join();
  EXPECT_EQ(output.queuedCount(), 0);
  EXPECT_FALSE(output.isOpen());
  EXPECT_EQ(player.playCallCount(), after);  // nothing rendered after stop
  EXPECT_GT(played.load(), 10);
  EXPECT_TRUE(output.shownErrors().empty());
}

}  // namespace
}  // namespace sid
