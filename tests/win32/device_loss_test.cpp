// The looping output when its device goes away, on a scripted waveOut layer
// and a clock the test moves by hand: a failing position or one that stands
// still too long closes the device and opens it again, retried on a fixed
// pause until it works, and the position carries on past where it was.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "host/win32/win32_looping_audio_output.h"

namespace {

// One fake device at a time, steered by the test.
struct FakeDriver {
  uint64_t nowMs = 1000;
  uint32_t position = 0;                   // bytes played by the open device
  MMRESULT positionResult = MMSYSERR_NOERROR;
  MMRESULT openResult = MMSYSERR_NOERROR;
  int opens = 0, closes = 0, writes = 0, openAttempts = 0;
  bool open = false;
  const WAVEHDR* written = nullptr;
  DWORD writtenFlags = 0;
};
FakeDriver fake;
const HWAVEOUT kHandle = reinterpret_cast<HWAVEOUT>(static_cast<uintptr_t>(0x5a));

MMRESULT WINAPI fakeOpen(LPHWAVEOUT device, UINT, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR, DWORD) {
  ++fake.openAttempts;
  if (fake.openResult != MMSYSERR_NOERROR) return fake.openResult;
  EXPECT_FALSE(fake.open) << "opened over an open device";
  fake.open = true;
  ++fake.opens;
  fake.position = 0;
  *device = kHandle;
  return MMSYSERR_NOERROR;
}
MMRESULT WINAPI fakePrepare(HWAVEOUT, LPWAVEHDR header, UINT) {
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}
MMRESULT WINAPI fakeUnprepare(HWAVEOUT, LPWAVEHDR header, UINT) {
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}
MMRESULT WINAPI fakeWrite(HWAVEOUT, LPWAVEHDR header, UINT) {
  ++fake.writes;
  fake.written = header;
  fake.writtenFlags = header->dwFlags;
  return MMSYSERR_NOERROR;
}
MMRESULT WINAPI fakeGetPosition(HWAVEOUT device, LPMMTIME time, UINT) {
  EXPECT_EQ(device, kHandle);
  if (fake.positionResult != MMSYSERR_NOERROR) return fake.positionResult;
  time->wType = TIME_BYTES;
  time->u.cb = fake.position;
  return MMSYSERR_NOERROR;
}
MMRESULT WINAPI fakeReset(HWAVEOUT) { return MMSYSERR_NOERROR; }
MMRESULT WINAPI fakeClose(HWAVEOUT) {
  EXPECT_TRUE(fake.open) << "closed twice";
  fake.open = false;
  ++fake.closes;
  return MMSYSERR_NOERROR;
}
uint64_t fakeNow() { return fake.nowMs; }

const host::WaveOutApi kFakeApi{&fakeOpen,        &fakePrepare, &fakeUnprepare, &fakeWrite,
                                &fakeGetPosition, &fakeReset,   &fakeClose,     &fakeNow};

constexpr uint32_t kRingBytes = 4096 * 4;

class LoopingDeviceLoss : public ::testing::Test {
 protected:
  void SetUp() override {
    fake = FakeDriver{};
    ASSERT_TRUE(output.open());
    ASSERT_TRUE(output.playLooping(ring.data(), ring.size() * sizeof(int16_t)));
  }
  // The device plays `bytes` more over `ms` milliseconds, then is polled.
  uint64_t play(uint32_t bytes, uint64_t ms) {
    fake.position += bytes;
    fake.nowMs += ms;
    return output.positionBytes();
  }
  std::vector<int16_t> ring = std::vector<int16_t>(kRingBytes / 2, 0);
  host::Win32LoopingAudioOutput output{kFakeApi};
};

TEST_F(LoopingDeviceLoss, AFailingPositionReopensTheDeviceAndTheLoopGoesOnAtTheNextLap) {
  EXPECT_EQ(play(10000, 100), 10000u);
  fake.positionResult = MMSYSERR_NODRIVER;
  EXPECT_EQ(output.positionBytes(), 10000u) << "the position stands still while the device is gone";
  fake.positionResult = MMSYSERR_NOERROR;
  EXPECT_EQ(output.positionBytes(), kRingBytes) << "reopened: the new device starts at the next lap";
  EXPECT_EQ(fake.opens, 2);
  EXPECT_EQ(fake.closes, 1);
  EXPECT_EQ(output.reopenCount(), 1u);
  // The same buffer loops on the new device.
  EXPECT_EQ(fake.writes, 2);
  ASSERT_NE(fake.written, nullptr);
  EXPECT_EQ(fake.written->lpData, reinterpret_cast<LPSTR>(ring.data()));
  EXPECT_EQ(fake.written->dwBufferLength, kRingBytes);
  EXPECT_EQ(fake.writtenFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP), DWORD{WHDR_BEGINLOOP | WHDR_ENDLOOP});
  // The new device's byte 0 is the ring's first byte: a whole lap further on.
  EXPECT_EQ(play(400, 10), kRingBytes + 400u);
  EXPECT_EQ(play(kRingBytes, 100), 2 * kRingBytes + 400u);
}

TEST_F(LoopingDeviceLoss, APositionThatStandsStillTooLongCountsAsALostDevice) {
  play(8000, 100);
  play(0, host::Win32LoopingAudioOutput::kStallMs - 1);
  EXPECT_EQ(fake.opens, 1) << "a short pause is not a lost device";
  EXPECT_EQ(play(4, 1), 8004u) << "moving again restarts the watch";
  play(0, host::Win32LoopingAudioOutput::kStallMs - 1);
  EXPECT_EQ(fake.opens, 1);
  play(0, 1);  // stalled: lost
  play(0, 0);  // reopened
  EXPECT_EQ(fake.opens, 2);
  EXPECT_EQ(play(100, 10), kRingBytes + 100u);
}

TEST_F(LoopingDeviceLoss, AMissingDeviceIsTriedAgainEveryRetryPauseUntilItComesBack) {
  play(20000, 100);
  fake.positionResult = MMSYSERR_BADDEVICEID;
  fake.openResult = MMSYSERR_NODRIVER;
  output.positionBytes();  // lost
  output.positionBytes();  // first attempt, at once
  EXPECT_EQ(fake.openAttempts, 2);
  EXPECT_FALSE(fake.open) << "the dead device is closed";
  play(0, host::Win32LoopingAudioOutput::kRetryMs - 1);
  EXPECT_EQ(fake.openAttempts, 2) << "retried before the pause";
  EXPECT_EQ(play(0, 1), 20000u);
  EXPECT_EQ(fake.openAttempts, 3);
  fake.openResult = MMSYSERR_NOERROR;
  fake.positionResult = MMSYSERR_NOERROR;
  play(0, host::Win32LoopingAudioOutput::kRetryMs);
  EXPECT_EQ(fake.opens, 2);
  EXPECT_TRUE(fake.open);
  EXPECT_EQ(play(40, 10), 2 * kRingBytes + 40u);
}

TEST_F(LoopingDeviceLoss, NothingIsWatchedOnceTheLoopIsStopped) {
  play(1000, 10);
  output.reset();
  play(0, 10 * host::Win32LoopingAudioOutput::kStallMs);
  fake.positionResult = MMSYSERR_NODRIVER;
  output.positionBytes();
  output.positionBytes();
  EXPECT_EQ(fake.opens, 1);
  output.unprepare();
  output.close();
  EXPECT_FALSE(fake.open);
  EXPECT_EQ(fake.closes, 1);
}

}  // namespace
