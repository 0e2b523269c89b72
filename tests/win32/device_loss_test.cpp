// Both waveform outputs when their device goes away, on the scripted driver
// (tests/win32/fake_wave_out.h) and its hand-moved clock: a failing call or a
// position that stands still too long while playing closes the device and
// opens another, tried again on a fixed pause until it works, and the music
// carries on from where the player was: the buffer stream with the buffers the
// old device had not played, the loop at its next lap.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "host/win32/win32_looping_audio_output.h"
#include "host/win32/win32_wave_output.h"
#include "sid/sid_player.h"
#include "tests/win32/fake_wave_out.h"

namespace {

using fakewave::with;
using D = fakewave::Driver;

void advance(uint64_t ms) { fakewave::driver().nowMs += ms; }

// What the error box would show (it is shown from a thread of its own).
std::mutex shownMutex;
std::vector<std::string> shown;
void recordShown(const std::string& text) {
  std::lock_guard<std::mutex> lock(shownMutex);
  shown.push_back(text);
}
std::vector<std::string> shownSoFar() {
  std::lock_guard<std::mutex> lock(shownMutex);
  return shown;
}
const bool sinkInstalled = (host::Win32WaveOutput::setErrorSinkForTests(&recordShown), true);

// Moves the clock on by `ms`, then waits until the device thread has looked
// at the position since and acted on what it saw (its next look has begun).
void pollAfter(uint64_t ms) {
  advance(ms);
  const int before = with([](D& d) { return d.calls[fakewave::Position]; });
  ASSERT_TRUE(
      fakewave::waitFor([&] { return with([](D& d) { return d.calls[fakewave::Position]; }) >= before + 2; }));
}

// What the SID player does with the buffer output: two buffers, each refilled
// with the next piece of music (its samples all hold the piece's number) and
// queued again when it comes back.
struct Streamer {
  struct Buffer {
    std::vector<int16_t> samples = std::vector<int16_t>(256, 0);
    host::WaveHeader header;
  };
  host::WaveOutput& output;
  std::mutex mutex;
  int16_t next = 1;
  bool stopped = false;
  std::vector<int16_t> delivered;  // pieces handed back, in order
  Buffer buffers[2];

  explicit Streamer(host::WaveOutput& out) : output(out) {}

  void queue(Buffer& buffer) {
    std::fill(buffer.samples.begin(), buffer.samples.end(), next++);
    buffer.header.data = buffer.samples.data();
    buffer.header.length = static_cast<uint32_t>(buffer.samples.size() * sizeof(int16_t));
    buffer.header.flags = 0;
    EXPECT_EQ(output.prepareHeader(&buffer.header), 0);
    EXPECT_EQ(output.write(&buffer.header), 0);
  }
  void start() {
    ASSERT_EQ(output.open(&Streamer::callback, this), 0);
    std::lock_guard<std::mutex> lock(mutex);
    queue(buffers[0]);
    queue(buffers[1]);
  }
  std::vector<int16_t> played() {
    std::lock_guard<std::mutex> lock(mutex);
    return delivered;
  }
  // What the player's stop does: no more refills, then close.
  void stop() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopped = true;
    }
    output.close();
  }
  static void callback(void* self, uint32_t message, host::WaveHeader* header) {
    auto& s = *static_cast<Streamer*>(self);
    if (message != host::kWaveMessageDone) return;
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.stopped) return;
    s.delivered.push_back(header->data[0]);
    s.output.unprepareHeader(header);
    s.queue(header == &s.buffers[0].header ? s.buffers[0] : s.buffers[1]);
  }
};

std::vector<int16_t> written() { return with([](D& d) { return d.written; }); }
bool writtenIs(const std::vector<int16_t>& pieces) {
  return fakewave::waitFor([&] { return written() == pieces; });
}

class WaveDeviceLoss : public ::testing::Test {
 protected:
  void SetUp() override { fakewave::resetDriver(); }
  void TearDown() override {
    streamer->stop();
    streamer.reset();
    output.reset();
    // The device thread closes the device after the output is gone.
    EXPECT_TRUE(fakewave::waitFor([] { return with([](D& d) { return !d.open; }); }));
  }
  void start() {
    streamer->start();
    ASSERT_TRUE(writtenIs({1, 2}));
  }
  std::unique_ptr<host::Win32WaveOutput> output = std::make_unique<host::Win32WaveOutput>(fakewave::api());
  std::unique_ptr<Streamer> streamer = std::make_unique<Streamer>(*output);
};

TEST_F(WaveDeviceLoss, AFailingPositionReopensTheDeviceAndTheUnplayedBuffersPlayThere) {
  start();
  ASSERT_TRUE(fakewave::playOne());
  ASSERT_TRUE(writtenIs({1, 2, 3}));
  with([](D& d) { return d.result[fakewave::Position] = MMSYSERR_NODRIVER; });
  advance(100);
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.calls[fakewave::Close] == 1; }); }));
  with([](D& d) { return d.result[fakewave::Position] = MMSYSERR_NOERROR; });
  // The device had played for less than the retry pause: the next one comes
  // a retry pause after it.
  advance(host::Win32WaveOutput::kRetryMs - 101);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // ticks of the device thread
  EXPECT_EQ(with([](D& d) { return d.opens; }), 1);
  advance(1);
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.opens == 2; }); }));
  // Pieces 2 and 3, queued on the old device, go to the new one in order; the
  // old device's hand-back while it was closed was no play.
  ASSERT_TRUE(writtenIs({1, 2, 3, 2, 3}));
  EXPECT_EQ(streamer->played(), (std::vector<int16_t>{1}));
  ASSERT_TRUE(fakewave::playOne());
  ASSERT_TRUE(fakewave::playOne());
  ASSERT_TRUE(writtenIs({1, 2, 3, 2, 3, 4, 5}));
  EXPECT_EQ(streamer->played(), (std::vector<int16_t>{1, 2, 3}));
  EXPECT_EQ(output->deviceOpens(), 2u);
}

TEST_F(WaveDeviceLoss, AFailingWriteIsQueuedAgainForTheNextDevice) {
  with([](D& d) { return d.result[fakewave::Write] = MMSYSERR_BADDEVICEID; });
  streamer->start();
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.calls[fakewave::Close] == 1; }); }));
  EXPECT_TRUE(written().empty());
  with([](D& d) { return d.result[fakewave::Write] = MMSYSERR_NOERROR; });
  advance(host::Win32WaveOutput::kRetryMs);
  ASSERT_TRUE(writtenIs({1, 2}));
  EXPECT_EQ(with([](D& d) { return d.opens; }), 2);
  EXPECT_TRUE(streamer->played().empty());
}

TEST_F(WaveDeviceLoss, TheUserHearsOfAFailingDeviceOncePerRunWhileItIsTriedAgain) {
  {
    std::lock_guard<std::mutex> lock(shownMutex);
    shown.clear();
  }
  host::Win32WaveOutput::setErrorSinkForTests(&recordShown);
  with([](D& d) { return d.result[fakewave::Write] = MMSYSERR_NODRIVER; });
  streamer->start();
  ASSERT_TRUE(fakewave::waitFor([] { return !shownSoFar().empty(); }));
  EXPECT_EQ(shownSoFar(), std::vector<std::string>{output->errorText(MMSYSERR_NODRIVER)});
  // The next failures are tried again without another box.
  advance(host::Win32WaveOutput::kRetryMs);
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.calls[fakewave::Close] >= 2; }); }));
  with([](D& d) { return d.result[fakewave::Write] = MMSYSERR_NOERROR; });
  advance(host::Win32WaveOutput::kRetryMs);
  ASSERT_TRUE(writtenIs({1, 2}));
  EXPECT_EQ(shownSoFar().size(), 1u);
  EXPECT_EQ(host::Win32WaveOutput::errorBoxesShown(), 1);
}

TEST_F(WaveDeviceLoss, APositionStandingStillWhilePlayingIsALostDeviceAPausedOneIsNot) {
  start();
  pollAfter(host::Win32WaveOutput::kStallMs - 1);
  EXPECT_EQ(with([](D& d) { return d.opens; }), 1) << "a short hold-up is no lost device";
  ASSERT_TRUE(fakewave::playOne());  // moving again restarts the watch
  ASSERT_TRUE(writtenIs({1, 2, 3}));
  pollAfter(0);  // the move is seen
  pollAfter(host::Win32WaveOutput::kStallMs - 1);
  EXPECT_EQ(with([](D& d) { return d.opens; }), 1);
  // Paused: the position may stand still for as long as it likes.
  ASSERT_EQ(output->pause(), 0);
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.paused; }); }));
  pollAfter(10 * host::Win32WaveOutput::kStallMs);
  pollAfter(10 * host::Win32WaveOutput::kStallMs);
  EXPECT_EQ(with([](D& d) { return d.opens; }), 1);
  ASSERT_EQ(output->restart(), 0);
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return !d.paused; }); }));
  pollAfter(0);
  advance(host::Win32WaveOutput::kStallMs);
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.opens == 2; }); }));
  ASSERT_TRUE(writtenIs({1, 2, 3, 2, 3}));
}

TEST_F(WaveDeviceLoss, NoDeviceIsTriedAgainEveryRetryPauseUntilOneComesBack) {
  with([](D& d) { return d.result[fakewave::Open] = MMSYSERR_NODRIVER; });
  streamer->start();  // no device: open still succeeds, the buffers wait
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.calls[fakewave::Open] == 1; }); }));
  advance(host::Win32WaveOutput::kRetryMs - 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // ticks of the device thread
  EXPECT_EQ(with([](D& d) { return d.calls[fakewave::Open]; }), 1) << "tried again before the pause";
  advance(1);
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.calls[fakewave::Open] == 2; }); }));
  with([](D& d) { return d.result[fakewave::Open] = MMSYSERR_NOERROR; });
  advance(host::Win32WaveOutput::kRetryMs);
  ASSERT_TRUE(writtenIs({1, 2}));
  EXPECT_TRUE(output->hasDevice());
}

TEST(SidPlayerDeviceLoss, TheTuneGoesOnOnTheNextDeviceFromWhereThePlayerWas) {
  fakewave::resetDriver();
  {
    host::Win32WaveOutput output(fakewave::api());
    sid::SidPlayer player(output);
    const auto tune = assets::tune(1);
    player.play(tune.data(), static_cast<int32_t>(tune.size()), 0);
    player.resume();
    ASSERT_TRUE(fakewave::waitFor([] { return written().size() == 2; }));
    ASSERT_TRUE(fakewave::playOne());
    ASSERT_TRUE(fakewave::waitFor([] { return written().size() == 3; }));
    const std::vector<uint64_t> rendered = with([](D& d) { return d.writtenHashes; });
    EXPECT_EQ(player.playCallCount(), 24u);  // three buffers of eight frames
    with([](D& d) { return d.result[fakewave::Position] = MMSYSERR_NODRIVER; });
    advance(100);
    ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.calls[fakewave::Close] == 1; }); }));
    with([](D& d) { return d.result[fakewave::Position] = MMSYSERR_NOERROR; });
    advance(host::Win32WaveOutput::kRetryMs);
    ASSERT_TRUE(fakewave::waitFor([] { return written().size() == 5; }));
    // The two buffers the old device had not played, as rendered, in order.
    const std::vector<uint64_t> again = with([](D& d) { return d.writtenHashes; });
    EXPECT_EQ(again[3], rendered[1]);
    EXPECT_EQ(again[4], rendered[2]);
    EXPECT_NE(rendered[1], rendered[2]);
    EXPECT_EQ(player.playCallCount(), 24u) << "music rendered for the lost device's buffers";
    ASSERT_TRUE(fakewave::playOne());
    ASSERT_TRUE(fakewave::waitFor([&] { return player.playCallCount() == 32u; }));
    player.stop();
    EXPECT_FALSE(player.hasDevice());
  }
  EXPECT_TRUE(fakewave::waitFor([] { return with([](D& d) { return !d.open; }); }));
}

// The looping output.

constexpr uint32_t kRingBytes = 4096 * 4;

class LoopingDeviceLoss : public ::testing::Test {
 protected:
  void SetUp() override {
    fakewave::resetDriver();
    ASSERT_TRUE(output->open());
    ASSERT_TRUE(output->playLooping(ring.data(), ring.size() * sizeof(int16_t)));
    ASSERT_TRUE(fakewave::waitFor([&] { return output->looping(); }));
  }
  void TearDown() override {
    output.reset();
    EXPECT_TRUE(fakewave::waitFor([] { return with([](D& d) { return !d.open; }); }));
  }
  // The device plays `bytes` more over `ms` milliseconds; true once the
  // output reports `expected`.
  bool play(uint32_t bytes, uint64_t ms, uint64_t expected) {
    with([&](D& d) { return d.position += bytes; });
    advance(ms);
    return fakewave::waitFor([&] { return output->positionBytes() == expected; });
  }
  uint64_t position() const { return output->positionBytes(); }
  std::vector<int16_t> ring = std::vector<int16_t>(kRingBytes / 2, 7);
  std::unique_ptr<host::Win32LoopingAudioOutput> output =
      std::make_unique<host::Win32LoopingAudioOutput>(fakewave::api());
};

TEST_F(LoopingDeviceLoss, AFailingPositionReopensTheDeviceAndTheLoopGoesOnAtTheNextLap) {
  ASSERT_TRUE(play(10000, 100, 10000)) << position();
  with([](D& d) { return d.result[fakewave::Position] = MMSYSERR_NODRIVER; });
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.calls[fakewave::Close] == 1; }); }));
  EXPECT_EQ(position(), 10000u) << "the position stands still while the device is gone";
  with([](D& d) { return d.result[fakewave::Position] = MMSYSERR_NOERROR; });
  advance(host::Win32LoopingAudioOutput::kRetryMs - 100);
  ASSERT_TRUE(fakewave::waitFor([&] { return position() == kRingBytes; }))
      << "reopened: the new device starts at the next lap, not at " << position();
  EXPECT_EQ(with([](D& d) { return d.opens; }), 2);
  EXPECT_EQ(output->reopenCount(), 1u);
  // The loop on the new device: a copy of the ring, looping, of its length.
  with([&](D& d) {
    EXPECT_EQ(d.calls[fakewave::Write], 2);
    EXPECT_NE(d.lastWritten->lpData, reinterpret_cast<LPSTR>(ring.data())) << "the driver holds the caller's ring";
    EXPECT_EQ(d.lastWritten->dwBufferLength, kRingBytes);
    EXPECT_EQ(*reinterpret_cast<const int16_t*>(d.lastWritten->lpData), 7);
    EXPECT_EQ(d.lastWrittenFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP), DWORD{WHDR_BEGINLOOP | WHDR_ENDLOOP});
    return 0;
  });
  EXPECT_TRUE(play(400, 10, kRingBytes + 400u));
  EXPECT_TRUE(play(kRingBytes, 100, 2 * kRingBytes + 400u));
}

TEST_F(LoopingDeviceLoss, APositionThatStandsStillTooLongCountsAsALostDevice) {
  ASSERT_TRUE(play(8000, 100, 8000));
  pollAfter(host::Win32LoopingAudioOutput::kStallMs - 1);
  EXPECT_EQ(with([](D& d) { return d.opens; }), 1) << "a short pause is not a lost device";
  ASSERT_TRUE(play(4, 1, 8004)) << "moving again restarts the watch";
  pollAfter(host::Win32LoopingAudioOutput::kStallMs - 1);
  EXPECT_EQ(with([](D& d) { return d.opens; }), 1);
  advance(1);  // stalled: lost, and reopened at once
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.opens == 2; }); }));
  EXPECT_TRUE(play(100, 10, kRingBytes + 100u));
}

TEST_F(LoopingDeviceLoss, AMissingDeviceIsTriedAgainEveryRetryPauseUntilItComesBack) {
  ASSERT_TRUE(play(20000, host::Win32LoopingAudioOutput::kRetryMs, 20000));
  with([](D& d) {
    d.result[fakewave::Position] = MMSYSERR_BADDEVICEID;
    return d.result[fakewave::Open] = MMSYSERR_NODRIVER;
  });
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.calls[fakewave::Open] == 2; }); }));
  EXPECT_FALSE(with([](D& d) { return d.open; })) << "the dead device is closed";
  advance(host::Win32LoopingAudioOutput::kRetryMs - 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // ticks of the device thread
  EXPECT_EQ(with([](D& d) { return d.calls[fakewave::Open]; }), 2) << "retried before the pause";
  advance(1);
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.calls[fakewave::Open] == 3; }); }));
  EXPECT_EQ(position(), 20000u);
  with([](D& d) {
    d.result[fakewave::Position] = MMSYSERR_NOERROR;
    return d.result[fakewave::Open] = MMSYSERR_NOERROR;
  });
  advance(host::Win32LoopingAudioOutput::kRetryMs);
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return d.open; }); }));
  EXPECT_TRUE(play(40, 10, 2 * kRingBytes + 40u)) << position();
}

TEST_F(LoopingDeviceLoss, ADeviceCountingMillisecondsWrapsInMilliseconds) {
  // 49.7 days in: one second before the 32-bit millisecond count wraps.
  with([](D& d) {
    d.timeFormat = TIME_MS;
    return d.position = 0xFFFFFFFFu - 999;
  });
  ASSERT_TRUE(fakewave::waitFor([&] { return position() > 0; }));
  const uint64_t before = position();
  with([](D& d) { return d.position = 1000; });  // two seconds later, wrapped
  ASSERT_TRUE(fakewave::waitFor([&] { return position() != before; }));
  EXPECT_EQ(position() - before, 2u * 44100 * 4) << "two seconds of stereo frames";
}

TEST_F(LoopingDeviceLoss, TheDevicePlaysEachRewriteAndNothingIsWatchedOnceTheLoopIsStopped) {
  const int16_t* copy = with([](D& d) { return reinterpret_cast<const int16_t*>(d.lastWritten->lpData); });
  ring[100] = -5;
  output->ringWritten();
  EXPECT_EQ(copy[100], -5) << "a rewrite of the ring is not on the device";
  ASSERT_TRUE(play(1000, 10, 1000));
  output->reset();
  EXPECT_EQ(position(), 0u);
  ASSERT_TRUE(fakewave::waitFor([&] { return !output->looping(); }));
  with([](D& d) { return d.result[fakewave::Position] = MMSYSERR_NODRIVER; });
  advance(10 * host::Win32LoopingAudioOutput::kStallMs);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // ticks of the device thread
  EXPECT_EQ(with([](D& d) { return d.opens; }), 1);
  output->unprepare();
  output->close();
  ASSERT_TRUE(fakewave::waitFor([] { return with([](D& d) { return !d.open; }); }));
  EXPECT_EQ(with([](D& d) { return d.calls[fakewave::Close]; }), 1);
  EXPECT_EQ(output->reopenCount(), 0u);
}

}  // namespace
