// The SDL wave output on SDL's dummy audio driver (no sound card needed):
// buffers queued through it come back through the notification thread, a
// refill may queue again from there, reset hands everything back, close
// delivers what is left and ends the thread; with no usable driver, open fails
// and the player carries on silently.
#include <gtest/gtest.h>

#include <SDL.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "host/sdl/sdl_wave_output.h"
#include "sid/sid_player.h"
#include "tests/sid/sid_test_util.h"

namespace {

struct DoneLog {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<host::WaveHeader*> done;
  std::thread::id thread;
  static void callback(void* self, uint32_t message, host::WaveHeader* header) {
    auto* log = static_cast<DoneLog*>(self);
    if (message != host::kWaveMessageDone) return;
    std::lock_guard<std::mutex> lock(log->mutex);
    log->done.push_back(header);
    log->thread = std::this_thread::get_id();
    log->changed.notify_all();
  }
  // Waits (bounded, so a broken output fails instead of hanging) for n notifications.
  bool waitFor(size_t n) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(20), [&] { return done.size() >= n; });
  }
};

struct SdlOutput : ::testing::Test {
  void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }
};

TEST_F(SdlOutput, QueuedBuffersComeBackOnTheNotificationThread) {
  host::SdlWaveOutput output;
  DoneLog log;
  ASSERT_EQ(output.open(&DoneLog::callback, &log), host::kWaveOk) << output.errorText(host::kWaveErrorBadDevice);
  std::vector<int16_t> a(2048, 100), b(2048, -100);
  host::WaveHeader ha{a.data(), 4096}, hb{b.data(), 4096};
  EXPECT_EQ(output.write(&ha), host::kWaveErrorUnprepared);
  ASSERT_EQ(output.prepareHeader(&ha), host::kWaveOk);
  ASSERT_EQ(output.prepareHeader(&hb), host::kWaveOk);
  ASSERT_EQ(output.write(&ha), host::kWaveOk);
  ASSERT_EQ(output.write(&hb), host::kWaveOk);
  EXPECT_EQ(output.write(&ha), host::kWaveErrorStillPlaying);
  EXPECT_EQ(output.unprepareHeader(&ha), host::kWaveErrorStillPlaying);
  ASSERT_TRUE(log.waitFor(2));
  {
    std::lock_guard<std::mutex> lock(log.mutex);
    EXPECT_EQ(log.done[0], &ha);  // in queueing order
    EXPECT_EQ(log.done[1], &hb);
    EXPECT_NE(log.thread, std::this_thread::get_id());
  }
  EXPECT_TRUE(ha.flags & host::kWaveHeaderDone);
  EXPECT_FALSE(ha.flags & host::kWaveHeaderInQueue);
  EXPECT_EQ(output.unprepareHeader(&ha), host::kWaveOk);
  EXPECT_EQ(output.close(), host::kWaveOk);
  EXPECT_EQ(output.close(), host::kWaveErrorNotOpen);
}

TEST_F(SdlOutput, ResetAndCloseHandEveryBufferBack) {
  host::SdlWaveOutput output;
  DoneLog log;
  ASSERT_EQ(output.open(&DoneLog::callback, &log), host::kWaveOk);
  ASSERT_EQ(output.pause(), host::kWaveOk);  // nothing plays: only reset returns them
  std::vector<int16_t> samples(44100, 0);
  host::WaveHeader h1{samples.data(), 88200}, h2{samples.data(), 88200};
  output.prepareHeader(&h1);
  output.prepareHeader(&h2);
  output.write(&h1);
  output.write(&h2);
  ASSERT_EQ(output.reset(), host::kWaveOk);
  ASSERT_TRUE(log.waitFor(2));
  output.write(&h1);  // queued again, still paused
  EXPECT_EQ(output.close(), host::kWaveOk);
  std::lock_guard<std::mutex> lock(log.mutex);
  EXPECT_EQ(log.done.size(), 3u);  // close delivered the last one before returning
}

TEST_F(SdlOutput, PlayerStreamsThroughTheDummyDevice) {
  host::SdlWaveOutput output;
  sid::SidPlayer player(output);
  const std::vector<uint8_t> tune = sid::test::makePsid(0x1000, 0x1000, 0x1000, {0xE6, 0x30, 0x60});
  player.play(tune.data(), static_cast<int32_t>(tune.size()), 0);
  ASSERT_TRUE(player.hasDevice());
  player.resume();
  // The dummy device consumes buffers at about real time; wait for refills.
  for (int i = 0; i < 400 && player.playCallCount() < 32; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_GE(player.playCallCount(), 32u);
  player.stop();
  const uint64_t calls = player.playCallCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(player.playCallCount(), calls);
}

TEST_F(SdlOutput, HundredTuneSwitchesWhileStreaming) {
  host::SdlWaveOutput output;
  sid::SidPlayer player(output);
  const std::vector<uint8_t> tunes[] = {
      sid::test::makePsid(0x1000, 0x1000, 0x1003, {0xA9, 0x0F, 0x8D, 0x18, 0xD4, 0xE6, 0x30, 0x60}),
      sid::test::makePsid(0x2000, 0x2000, 0x2000, {0xE6, 0x31, 0xA5, 0x31, 0x8D, 0x01, 0xD4, 0x60})};
  for (int i = 0; i < 100; ++i) {
    const std::vector<uint8_t>& t = tunes[i % 2];
    player.stop();
    player.play(t.data(), static_cast<int32_t>(t.size()), 0);
    player.resume();
    if (i % 25 == 0) {
      // Let refills run so that some switches meet one in progress.
      for (int k = 0; k < 100 && player.playCallCount() < 24; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
  }
  player.stop();
  EXPECT_FALSE(player.hasDevice());
  const uint64_t calls = player.playCallCount();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(player.playCallCount(), calls);
}

TEST_F(SdlOutput, NoUsableDriverMeansNoDevice) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  host::SdlWaveOutput output;
  sid::SidPlayer player(output);
  const std::vector<uint8_t> tune = sid::test::makePsid(0x1000, 0x1000, 0x1000, {0x60});
  player.play(tune.data(), static_cast<int32_t>(tune.size()), 0);
  EXPECT_FALSE(player.hasDevice());
  EXPECT_EQ(player.playCallCount(), 16u);
  player.resume();
  player.stop();
  EXPECT_EQ(output.open(nullptr, nullptr), host::kWaveErrorBadDevice);
  EXPECT_NE(output.errorText(host::kWaveErrorBadDevice).find("No audio output device"), std::string::npos);
}

}  // namespace
