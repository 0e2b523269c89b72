// The waveform audio outputs on a real device (Wine's, writing to an ALSA
// file in CI): the pair of buffers with done notifications that the SID player
// streams through, the looping buffer with its byte position that the module
// player polls, the device error text and its one message box per run, and
// the output thread's priority.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "assets/assets.h"
#include "host/thread_priority.h"
#include "host/win32/win32_clock.h"
#include "host/win32/win32_looping_audio_output.h"
#include "host/win32/win32_wave_output.h"
#include "sid/sid_player.h"
#include "xm/module_player.h"

namespace {

using namespace std::chrono_literals;

// No test may block on a message box: what would be shown is recorded.
std::vector<std::string> shownErrors;
void recordError(const std::string& text) { shownErrors.push_back(text); }
void recordErrorsFromNowOn() {
  shownErrors.clear();
  host::Win32WaveOutput::setErrorSinkForTests(&recordError);
}
const bool errorSinkInstalled = (recordErrorsFromNowOn(), true);

template <typename F>
bool waitFor(F ready, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (ready()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return ready();
}

// What the done notifications delivered, in order, and on which thread.
struct DoneLog {
  std::mutex mutex;
  std::vector<host::WaveHeader*> headers;
  std::vector<DWORD> threads;
  std::atomic<int> count{0};
  host::WaveOutput* requeueOn = nullptr;  // queue each buffer again from the notification

  static void callback(void* instance, uint32_t message, host::WaveHeader* header) {
    auto& log = *static_cast<DoneLog*>(instance);
    if (message != host::kWaveMessageDone) return;
    {
      std::lock_guard<std::mutex> lock(log.mutex);
      log.headers.push_back(header);
      log.threads.push_back(GetCurrentThreadId());
    }
    if (log.requeueOn != nullptr && log.count.load() < 6) {
      // What the SID player does: unprepare, prepare again, queue.
      log.requeueOn->unprepareHeader(header);
      header->flags = 0;
      log.requeueOn->prepareHeader(header);
      log.requeueOn->write(header);
    }
    ++log.count;
  }
};

struct Buffer {
  std::vector<int16_t> samples = std::vector<int16_t>(4410, 0);  // 100 ms
  host::WaveHeader header;
  Buffer() {
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>((i % 100) * 200 - 10000);
    header.data = samples.data();
    header.length = static_cast<uint32_t>(samples.size() * sizeof(int16_t));
  }
};

TEST(Win32WaveOutput, TwoQueuedBuffersComeBackInOrderOnAThreadOfTheOutput) {
  host::Win32WaveOutput output;
  DoneLog log;
  ASSERT_EQ(output.open(&DoneLog::callback, &log), 0) << "no audio device";
  ASSERT_EQ(output.pause(), 0);
  Buffer a, b;
  ASSERT_EQ(output.prepareHeader(&a.header), 0);
  ASSERT_EQ(output.prepareHeader(&b.header), 0);
  EXPECT_TRUE(a.header.flags & host::kWaveHeaderPrepared);
  ASSERT_EQ(output.write(&a.header), 0);
  ASSERT_EQ(output.write(&b.header), 0);
  EXPECT_TRUE(a.header.flags & host::kWaveHeaderInQueue);
  // Paused: nothing is played.
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(log.count.load(), 0);
  // A queued buffer cannot be unprepared or queued twice.
  EXPECT_EQ(output.unprepareHeader(&a.header), WAVERR_STILLPLAYING);
  EXPECT_EQ(output.write(&a.header), WAVERR_STILLPLAYING);

  ASSERT_EQ(output.restart(), 0);
  ASSERT_TRUE(waitFor([&] { return log.count.load() == 2; }, 3000ms)) << log.count.load() << " of 2 handed back";
  {
    std::lock_guard<std::mutex> lock(log.mutex);
    EXPECT_EQ(log.headers[0], &a.header);
    EXPECT_EQ(log.headers[1], &b.header);
    EXPECT_NE(log.threads[0], GetCurrentThreadId());
  }
  EXPECT_TRUE(a.header.flags & host::kWaveHeaderDone);
  EXPECT_FALSE(a.header.flags & host::kWaveHeaderInQueue);
  EXPECT_EQ(output.unprepareHeader(&a.header), 0);
  EXPECT_EQ(output.close(), 0);
}

TEST(Win32WaveOutput, NotificationsMayQueueAgainAndCloseHandsEverythingBackFirst) {
  host::Win32WaveOutput output;
  DoneLog log;
  log.requeueOn = &output;
  ASSERT_EQ(output.open(&DoneLog::callback, &log), 0);
  Buffer a, b;
  for (Buffer* x : {&a, &b}) {
    ASSERT_EQ(output.prepareHeader(&x->header), 0);
    ASSERT_EQ(output.write(&x->header), 0);
  }
  ASSERT_TRUE(waitFor([&] { return log.count.load() >= 6; }, 5000ms)) << log.count.load() << " refills";
  // The notification that reaches 6 stops queueing; close then hands back
  // whatever is still queued and delivers it before it returns.
  EXPECT_EQ(output.close(), 0);
  const int delivered = log.count.load();
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(log.count.load(), delivered) << "a notification after close";
  EXPECT_FALSE(a.header.flags & host::kWaveHeaderInQueue);
  EXPECT_FALSE(b.header.flags & host::kWaveHeaderInQueue);
  EXPECT_EQ(output.write(&a.header), MMSYSERR_INVALHANDLE);
}

TEST(Win32WaveOutput, ResetHandsQueuedBuffersBackAtOnce) {
  host::Win32WaveOutput output;
  DoneLog log;
  ASSERT_EQ(output.open(&DoneLog::callback, &log), 0);
  output.pause();
  Buffer a, b;
  for (Buffer* x : {&a, &b}) {
    ASSERT_EQ(output.prepareHeader(&x->header), 0);
    ASSERT_EQ(output.write(&x->header), 0);
  }
  EXPECT_EQ(output.reset(), 0);
  EXPECT_TRUE(waitFor([&] { return log.count.load() == 2; }, 1000ms));
  EXPECT_EQ(output.unprepareHeader(&a.header), 0);
  EXPECT_EQ(output.unprepareHeader(&b.header), 0);
  EXPECT_EQ(output.close(), 0);
}

TEST(Win32WaveOutput, InvalidUseGetsTheInterfacesErrorCodesAndTexts) {
  host::Win32WaveOutput output;
  Buffer a;
  EXPECT_EQ(output.prepareHeader(&a.header), MMSYSERR_INVALHANDLE);  // not open
  DoneLog log;
  ASSERT_EQ(output.open(&DoneLog::callback, &log), 0);
  EXPECT_EQ(output.open(&DoneLog::callback, &log), MMSYSERR_ALLOCATED);
  EXPECT_EQ(output.write(&a.header), WAVERR_UNPREPARED);
  host::WaveHeader odd = a.header;
  odd.length = 3;
  EXPECT_EQ(output.prepareHeader(&odd), MMSYSERR_INVALPARAM);
  // The texts are the waveform interface's own.
  char expected[256] = {};
  waveOutGetErrorTextA(WAVERR_STILLPLAYING, expected, sizeof expected);
  EXPECT_STRNE(expected, "");
  EXPECT_EQ(output.errorText(WAVERR_STILLPLAYING), expected);
  EXPECT_NE(output.errorText(MMSYSERR_NODRIVER), output.errorText(WAVERR_UNPREPARED));
  EXPECT_EQ(output.close(), 0);
}

TEST(Win32WaveOutput, DeviceErrorsShowOneBoxPerRun) {
  recordErrorsFromNowOn();
  host::Win32WaveOutput first, second;
  first.showError(first.errorText(WAVERR_UNPREPARED));
  first.showError("again");
  second.showError("from another output");
  ASSERT_EQ(shownErrors.size(), 1u);
  EXPECT_EQ(shownErrors[0], first.errorText(WAVERR_UNPREPARED));
  EXPECT_EQ(host::Win32WaveOutput::errorBoxesShown(), 1);
}

TEST(Win32SidPlayer, PlaysATuneThroughTheDeviceAndStopEndsTheRefills) {
  recordErrorsFromNowOn();
  host::Win32WaveOutput output;
  sid::SidPlayer player(output);
  const auto tune = assets::tune(1);
  player.play(tune.data(), static_cast<int32_t>(tune.size()), 0);
  ASSERT_TRUE(player.hasDevice());
  EXPECT_EQ(player.playCallCount(), 16u);  // two buffers, paused
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(player.playCallCount(), 16u) << "paused output refilled";
  player.resume();
  ASSERT_TRUE(waitFor([&] { return player.playCallCount() >= 40; }, 3000ms)) << player.playCallCount();
  EXPECT_EQ(player.playCallCount() % 8, 0u);  // eight calls per refill
  player.stop();
  const uint64_t calls = player.playCallCount();
  std::this_thread::sleep_for(400ms);
  EXPECT_EQ(player.playCallCount(), calls) << "refills after stop";
  EXPECT_FALSE(player.hasDevice());
  // A switch: stop and play again, as F1..F12 do, many times in a row.
  for (int n = 1; n <= 12; ++n) {
    const auto t = assets::tune(n);
    player.stop();
    player.play(t.data(), static_cast<int32_t>(t.size()), 0);
    player.resume();
    std::this_thread::sleep_for(20ms);
  }
  player.stop();
  EXPECT_TRUE(shownErrors.empty()) << "device error: " << shownErrors.front();
}

TEST(Win32LoopingAudioOutput, PlaysTheBufferInALoopAndReportsBytesPlayed) {
  host::Win32LoopingAudioOutput output;
  ASSERT_TRUE(output.open());
  EXPECT_FALSE(output.open()) << "opened twice";
  std::vector<int16_t> ring(44100 * 2 / 10, 1000);  // 100 ms of stereo
  ASSERT_TRUE(output.playLooping(ring.data(), ring.size() * sizeof(int16_t)));
  const uint64_t ringBytes = ring.size() * sizeof(int16_t);
  // The position passes the ring's end: the buffer loops without more writes.
  ASSERT_TRUE(waitFor([&] { return output.positionBytes() > 3 * ringBytes; }, 3000ms)) << output.positionBytes();
  uint64_t last = output.positionBytes();
  for (int i = 0; i < 20; ++i) {
    std::this_thread::sleep_for(10ms);
    const uint64_t now = output.positionBytes();
    EXPECT_GE(now, last);
    EXPECT_EQ(now % 4, 0u);
    last = now;
  }
  output.reset();
  EXPECT_LT(output.positionBytes(), ringBytes);
  output.unprepare();
  output.close();
  output.close();  // harmless twice
  EXPECT_EQ(output.positionBytes(), 0u);
}

TEST(Win32ModulePlayer, PlaysModuleOneAndStopsCleanly) {
  host::Win32LoopingAudioOutput output;
  xm::ModulePlayer player(output);
  const auto module = assets::module(1);
  ASSERT_TRUE(player.load(module.data(), static_cast<int32_t>(module.size())));
  ASSERT_TRUE(player.play());
  EXPECT_GT(player.channelCount(), 0);
  // The audible row moves on as the device plays the ring.
  ASSERT_TRUE(waitFor([&] { return player.audibleRow() > 0 || player.audibleOrder() > 0; }, 5000ms));
  EXPECT_TRUE(player.stop());
  EXPECT_TRUE(player.unload());
}

TEST(Win32ThreadPriority, TheOutputThreadRunsTimeCritical) {
  int priority = 0;
  std::thread t([&] {
    host::raiseCurrentThreadPriority();
    priority = GetThreadPriority(GetCurrentThread());
  });
  t.join();
  EXPECT_EQ(priority, THREAD_PRIORITY_TIME_CRITICAL);
}

TEST(Win32Clock, CountsSecondsAndSleepsAboutAMillisecond) {
  host::Win32Clock clock;
  const double start = clock.now();
  for (int i = 0; i < 50; ++i) clock.sleepMs(1);
  const double elapsed = clock.now() - start;
  EXPECT_GT(elapsed, 0.045);
  EXPECT_LT(elapsed, 0.5) << "a millisecond sleep took " << elapsed * 20 << " ms";
  EXPECT_GE(clock.now(), clock.now() - 1e-9);
}

}  // namespace
