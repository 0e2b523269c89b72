// The headless host and virtual clock: scripted input, key-state rules,
// wheel counting, frame capture and the virtual timer.
#include "host/headless/headless_host.h"

#include <gtest/gtest.h>

#include <vector>

namespace host {
namespace {

std::vector<uint32_t> frameOf(uint32_t colour) { return std::vector<uint32_t>(8 * 4, colour); }

TEST(HeadlessOpen, ScriptedFailureLeavesTheHostClosed) {
  HeadlessDisplayHost host;
  host.failOpen(true);
  EXPECT_EQ(host.open("T", 8, 4), 0);
  EXPECT_FALSE(host.isOpen());
  host.failOpen(false);
  EXPECT_EQ(host.open("T", 8, 4), 1);
  EXPECT_TRUE(host.isOpen());
  EXPECT_EQ(host.title(), "T");
  EXPECT_EQ(host.openCalls(), 2);
}

TEST(HeadlessStartup, EmptyQuestionKeepsTheDefaultAndAskZeroTakesTheWindowedValue) {
  HeadlessDisplayHost host;
  host.configureStartup(0, "", 0, 1);
  EXPECT_EQ(host.question(), "Fullscreen Mode ?");
  EXPECT_EQ(host.windowed(), 0);
  EXPECT_EQ(host.popupStyle(), 1);
  host.configureStartup(0, "Q?", 1, 0);
  EXPECT_EQ(host.question(), "Q?");
  EXPECT_EQ(host.windowed(), 1);
}

TEST(HeadlessKeys, PressIsReportedOnceAndHeldKeysKeepTheTopBit) {
  HeadlessDisplayHost host;
  ASSERT_EQ(host.open("T", 8, 4), 1);
  const auto frame = frameOf(0);
  host.atPresent(1, InputEvent::keyDown(kKeyPageDown));
  host.atPresent(3, InputEvent::keyUp(kKeyPageDown));
  // present | query result
  //   1     | 0x8001  down and pressed since the last query
  //   (same)| 0x8000  the press was taken by the first query
  //   2     | 0x8000  still held
  //   3     | 0x0000  released
  EXPECT_EQ(host.asyncKeyState(kKeyPageDown), 0);
  host.present(frame.data());
  EXPECT_EQ(host.asyncKeyState(kKeyPageDown), kKeyPressedNow);
  EXPECT_EQ(static_cast<uint16_t>(host.asyncKeyState(kKeyPageDown)), 0x8000);
  host.present(frame.data());
  EXPECT_EQ(static_cast<uint16_t>(host.asyncKeyState(kKeyPageDown)), 0x8000);
  host.present(frame.data());
  EXPECT_EQ(host.asyncKeyState(kKeyPageDown), 0);
}

TEST(HeadlessKeys, ATapBetweenTwoQueriesCountsAsOnePress) {
  HeadlessDisplayHost host;
  ASSERT_EQ(host.open("T", 8, 4), 1);
  const auto frame = frameOf(0);
  host.atPresent(1, InputEvent::keyDown(kKeyF1));
  host.atPresent(1, InputEvent::keyUp(kKeyF1));
  host.present(frame.data());
  // Down and up again within one frame: one press, then nothing.
  EXPECT_EQ(host.asyncKeyState(kKeyF1), kKeyPressedNow);
  EXPECT_EQ(host.asyncKeyState(kKeyF1), 0);
  // Keys are independent.
  EXPECT_EQ(host.asyncKeyState(kKeyF1 + 1), 0);
}

TEST(HeadlessInput, InputChangesOnlyInsidePresent) {
  HeadlessDisplayHost host;
  ASSERT_EQ(host.open("T", 8, 4), 1);
  const auto frame = frameOf(0);
  host.queue(InputEvent::move(120, 77));
  host.queue(InputEvent::buttonDown());
  EXPECT_EQ(host.mouseX(), 0);
  EXPECT_EQ(host.leftButton(), 0);
  host.present(frame.data());
  EXPECT_EQ(host.mouseX(), 120);
  EXPECT_EQ(host.mouseY(), 77);
  EXPECT_EQ(host.leftButton(), 1);
}

TEST(HeadlessInput, PointerCoordinatesAreUnsigned16Bit) {
  HeadlessDisplayHost host;
  host.apply(InputEvent::move(-3, -1));
  EXPECT_EQ(host.mouseX(), 65533);
  EXPECT_EQ(host.mouseY(), 65535);
}

TEST(HeadlessInput, EachWheelEventIsOneNotchAndZeroCountsForward) {
  HeadlessDisplayHost host;
  // delta | counter after
  //  +120 |  1
  //  -120 |  0
  //  -360 | -1   (one notch whatever the size)
  //     0 |  0   (a zero delta counts as a forward step)
  //    +1 |  1
  const int deltas[] = {120, -120, -360, 0, 1};
  const int expected[] = {1, 0, -1, 0, 1};
  for (int i = 0; i < 5; ++i) {
    host.apply(InputEvent::wheel(deltas[i]));
    EXPECT_EQ(host.wheelPosition(), expected[i]) << "event " << i;
  }
}

TEST(HeadlessClose, CloseRequestsAreIgnoredWhenExitOnCloseIsZero) {
  HeadlessDisplayHost host;
  host.setExitOnClose(0);
  host.apply(InputEvent::closeRequest());
  host.apply(InputEvent::keyDown(kKeyEscape));
  EXPECT_FALSE(host.exitRequested());
  host.setExitOnClose(1);
  host.apply(InputEvent::closeRequest());
  EXPECT_TRUE(host.exitRequested());
}

TEST(HeadlessFrames, KeepsTheLastFrameAndHandsEveryShownFrameToTheCallback) {
  HeadlessDisplayHost host;
  ASSERT_EQ(host.open("T", 8, 4), 1);
  std::vector<std::pair<int64_t, uint32_t>> seen;
  host.setFrameCallback([&](int64_t n, const uint32_t* px) { seen.emplace_back(n, px[5]); });
  auto red = frameOf(0xFF0000), blue = frameOf(0x0000FF);
  red[31] = 0x123456;
  host.present(red.data());
  host.setActive(false);  // an inactive window shows nothing
  host.present(blue.data());
  host.setActive(true);
  host.present(blue.data());
  EXPECT_EQ(host.presentCount(), 3);
  EXPECT_EQ(host.shownFrameCount(), 2);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], (std::pair<int64_t, uint32_t>{1, 0xFF0000}));
  EXPECT_EQ(seen[1], (std::pair<int64_t, uint32_t>{3, 0x0000FF}));
  EXPECT_EQ(host.lastPixel(7, 3), 0x0000FFu);
  host.present(red.data());
  EXPECT_EQ(host.lastPixel(7, 3), 0x123456u);
}

TEST(HeadlessTime, EventsKeyedByVirtualTimeArriveAtTheFirstLaterPresent) {
  VirtualClock clock;
  HeadlessDisplayHost host(&clock, 0.010);  // 10 ms per present
  ASSERT_EQ(host.open("T", 8, 4), 1);
  const auto frame = frameOf(0);
  host.atTime(0.025, InputEvent::buttonDown());
  // present starts at | 0.000 0.010 0.020 0.030
  // button            |   0     0     0     1
  const int expected[] = {0, 0, 0, 1};
  for (int i = 0; i < 4; ++i) {
    host.present(frame.data());
    EXPECT_EQ(host.leftButton(), expected[i]) << "present " << i + 1;
  }
  EXPECT_DOUBLE_EQ(clock.now(), 0.040);
}

TEST(HeadlessTime, HookRunsBeforeThePresentsOwnEvents) {
  HeadlessDisplayHost host;
  ASSERT_EQ(host.open("T", 8, 4), 1);
  const auto frame = frameOf(0);
  host.setPresentHook([&](int64_t n) {
    if (n == 2) host.queue(InputEvent::keyDown(kKeyEscape));
  });
  host.present(frame.data());
  EXPECT_EQ(host.asyncKeyState(kKeyEscape), 0);
  host.present(frame.data());
  EXPECT_EQ(host.asyncKeyState(kKeyEscape), kKeyPressedNow);
}

TEST(VirtualClockTest, AdvancesOnlyBySleepsAndExplicitSteps) {
  VirtualClock clock(5.0);
  EXPECT_EQ(clock.now(), 5.0);
  EXPECT_EQ(clock.now(), 5.0);
  clock.sleepMs(150);
  clock.sleepMs(1);
  clock.sleepMs(1);
  clock.advance(0.5);
  EXPECT_NEAR(clock.now(), 5.652, 1e-12);
  EXPECT_EQ(clock.sleepCalls(), 3);
  EXPECT_EQ(clock.sleepsOf(1), 2);
  EXPECT_EQ(clock.sleepsOf(150), 1);
  EXPECT_EQ(clock.sleepsOf(10), 0);
}

}  // namespace
}  // namespace host
