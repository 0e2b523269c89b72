// Both waveform outputs on a driver that hangs (tests/win32/fake_wave_out.h):
// while waveOutOpen, waveOutReset, waveOutClose or waveOutGetPosition does not
// return, every call of the outputs' interfaces (and the players' stop, which
// the UI thread runs at each switch) still returns, the done notifications
// still come, and an output can be closed and destroyed. Once the driver comes
// back, the device thread finishes its work and closes the device.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "assets/assets.h"
#include "host/win32/win32_looping_audio_output.h"
#include "host/win32/win32_wave_output.h"
#include "sid/sid_player.h"
#include "tests/win32/fake_wave_out.h"
#include "xm/module_player.h"

namespace {

using fakewave::with;
using D = fakewave::Driver;

void hang(fakewave::Call call) {
  with([&](D& d) { return d.hang[call] = true; });
}
bool hangingIn(fakewave::Call call) {
  return fakewave::waitFor([&] { return with([&](D& d) { return d.inside[call] > 0; }); });
}
void releaseAll() {
  for (int call = 0; call < fakewave::kCalls; ++call) fakewave::release(static_cast<fakewave::Call>(call));
}

// Runs `work` on a thread of its own and says whether it finished while the
// driver still hangs. If it did not, the driver is let go so that it can.
bool returnsWhileHung(const std::function<void()>& work) {
  std::atomic<bool> finished{false};
  std::thread runner([&] {
    work();
    finished = true;
  });
  const bool inTime = fakewave::waitFor([&] { return finished.load(); }, std::chrono::milliseconds(3000));
  if (!inTime) releaseAll();
  runner.join();
  return inTime;
}

struct DoneCount {
  std::atomic<int> count{0};
  static void callback(void* self, uint32_t message, host::WaveHeader*) {
    if (message == host::kWaveMessageDone) ++static_cast<DoneCount*>(self)->count;
  }
};

class HungDriver : public ::testing::Test {
 protected:
  void SetUp() override { fakewave::resetDriver(); }
  void TearDown() override {
    releaseAll();
    // Each device thread closes its device once its output is gone.
    EXPECT_TRUE(fakewave::waitFor([] { return with([](D& d) { return !d.open; }); }));
  }
};

TEST_F(HungDriver, TheBufferOutputAnswersAndHandsBackWhileOpenHangs) {
  hang(fakewave::Open);
  auto output = std::make_unique<host::Win32WaveOutput>(fakewave::api());
  DoneCount done;
  std::vector<int16_t> samples(64, 3);
  host::WaveHeader a, b;
  for (host::WaveHeader* h : {&a, &b}) {
    h->data = samples.data();
    h->length = static_cast<uint32_t>(samples.size() * sizeof(int16_t));
  }
  EXPECT_TRUE(returnsWhileHung([&] {
    EXPECT_EQ(output->open(&DoneCount::callback, &done), 0);
    EXPECT_EQ(output->pause(), 0);
    EXPECT_EQ(output->prepareHeader(&a), 0);
    EXPECT_EQ(output->prepareHeader(&b), 0);
    EXPECT_EQ(output->write(&a), 0);
    EXPECT_EQ(output->write(&b), 0);
    EXPECT_EQ(output->restart(), 0);
  }));
  ASSERT_TRUE(hangingIn(fakewave::Open));
  EXPECT_TRUE(returnsWhileHung([&] { EXPECT_EQ(output->reset(), 0); }));
  EXPECT_TRUE(fakewave::waitFor([&] { return done.count.load() == 2; })) << "reset handed back " << done.count.load();
  EXPECT_TRUE(returnsWhileHung([&] {
    EXPECT_EQ(output->write(&a), 0);
    EXPECT_EQ(output->close(), 0);
  }));
  EXPECT_EQ(done.count.load(), 3) << "close hands back before it returns";
  EXPECT_TRUE(returnsWhileHung([&] {
    EXPECT_EQ(output->open(&DoneCount::callback, &done), 0);  // the next tune
    EXPECT_EQ(output->close(), 0);
    output.reset();
  }));
  // The driver wakes up: the device it opened for nobody is closed again, and
  // none of the buffers ever reached it.
  releaseAll();
  EXPECT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.calls[fakewave::Close] == d.opens; }); }));
  EXPECT_EQ(with([](D& d) { return d.calls[fakewave::Write]; }), 0);
}

TEST_F(HungDriver, TheSidPlayerSwitchesAndStopsWhileResetAndCloseHang) {
  auto output = std::make_unique<host::Win32WaveOutput>(fakewave::api());
  sid::SidPlayer player(*output);
  const auto tune = assets::tune(1);
  player.play(tune.data(), static_cast<int32_t>(tune.size()), 0);
  player.resume();
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.queue.size() == 2; }); }));
  ASSERT_TRUE(fakewave::playOne());
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.calls[fakewave::Write] == 3; }); }))
      << "the player refilled the buffer that came back";
  hang(fakewave::Reset);
  hang(fakewave::Close);
  EXPECT_TRUE(returnsWhileHung([&] {
    for (int n = 2; n <= 5; ++n) {  // F2..F5 in a row
      const auto next = assets::tune(n);
      player.play(next.data(), static_cast<int32_t>(next.size()), 0);
      player.resume();
    }
    player.stop();
  }));
  ASSERT_TRUE(hangingIn(fakewave::Reset));
  EXPECT_FALSE(player.hasDevice());
  EXPECT_TRUE(returnsWhileHung([&] { output.reset(); }));
}

TEST_F(HungDriver, TheLoopingOutputAnswersWhileResetHangsAndTheDriverNeverHoldsTheCallersRing) {
  auto output = std::make_unique<host::Win32LoopingAudioOutput>(fakewave::api());
  auto ring = std::make_unique<std::vector<int16_t>>(8192, 11);
  ASSERT_TRUE(output->open());
  ASSERT_TRUE(output->playLooping(ring->data(), ring->size() * sizeof(int16_t)));
  ASSERT_TRUE(fakewave::waitFor([&] { return output->looping(); }));
  hang(fakewave::Reset);
  EXPECT_TRUE(returnsWhileHung([&] {
    output->reset();
    output->unprepare();
    output->close();
    EXPECT_EQ(output->positionBytes(), 0u);
  }));
  ASSERT_TRUE(hangingIn(fakewave::Reset));
  // The caller frees its ring; what the driver still holds (the loop is not
  // unprepared yet) is the output's, intact.
  const auto* callers = reinterpret_cast<const char*>(ring->data());
  ring.reset();
  with([&](D& d) {
    EXPECT_NE(d.lastWritten->lpData, callers);
    EXPECT_EQ(*reinterpret_cast<const int16_t*>(d.lastWritten->lpData), 11);
    return 0;
  });
  EXPECT_TRUE(returnsWhileHung([&] {
    EXPECT_TRUE(output->open()) << "the next module";
    output.reset();
  }));
}

TEST_F(HungDriver, TheModulePlayerStopsWhileThePositionHangs) {
  auto output = std::make_unique<host::Win32LoopingAudioOutput>(fakewave::api());
  xm::ModulePlayer player(*output);
  const auto module = assets::module(1);
  ASSERT_TRUE(player.load(module.data(), static_cast<int32_t>(module.size())));
  ASSERT_TRUE(player.play());
  ASSERT_TRUE(fakewave::waitFor([&] { return output->looping(); }));
  hang(fakewave::Position);
  ASSERT_TRUE(hangingIn(fakewave::Position));
  EXPECT_TRUE(returnsWhileHung([&] {
    EXPECT_TRUE(player.stop());
    EXPECT_TRUE(player.play()) << "the next module";
    EXPECT_TRUE(player.stop());
    EXPECT_TRUE(player.unload());
    output.reset();
  }));
}

}  // namespace
