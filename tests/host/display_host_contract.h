// The promises of host/display_host.h that every display host keeps, as one
// typed test suite run over each host that can run on the build machine
// (tests/host/display_host_contract_test.cpp: headless and SDL under Xvfb;
// tests/win32/display_host_contract_test.cpp: Win32 under Wine).
//
// A driver type stands for one host and feeds it input through that host's
// own event path (scripted events, SDL's queue, the Windows input queue):
//   DisplayHost& host();
//   bool open();                      full screen, kWidth x kHeight, Escape left to the program
//   void keyDown(int32_t vk); void keyUp(int32_t vk);
//   void buttonDown(); void buttonUp();
//   void wheel(int32_t delta);        +: away from the user, -: towards
//   void pointTo(int32_t x, int32_t y);   the pointer over frame pixel (x, y)
//   void present();                   one present of a frame, then the platform's turn
//   void settle();                    time for injected input to reach the host without a present
//   static constexpr int kDeliver;    presents after which injected input has surely arrived
// Each instantiating file registers the suite with
//   INSTANTIATE_TYPED_TEST_SUITE_P(Name, DisplayHostContract, ::testing::Types<Driver...>);
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "host/display_host.h"

namespace host::contract {

inline constexpr int32_t kWidth = 800;
inline constexpr int32_t kHeight = 600;

template <typename Driver>
class DisplayHostContract : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(driver_.open()) << "the host did not open"; }

  DisplayHost& host() { return driver_.host(); }
  // Enough presents for injected input to arrive.
  void deliver() {
    for (int i = 0; i < Driver::kDeliver; ++i) driver_.present();
  }
  uint16_t keyState(int32_t key) { return static_cast<uint16_t>(host().asyncKeyState(key)); }

  Driver driver_;
};

TYPED_TEST_SUITE_P(DisplayHostContract);

TYPED_TEST_P(DisplayHostContract, OpenShowsFramesAndCloseTwiceThenOpenAgainWorks) {
  for (int i = 0; i < 3; ++i) this->driver_.present();
  this->host().close();
  this->host().close();  // a second close changes nothing
  ASSERT_TRUE(this->driver_.open());
  this->deliver();
  EXPECT_EQ(this->host().endRequested(), 0);
}

TYPED_TEST_P(DisplayHostContract, AKeyHeldReadsPressedOnceThenDownUntilReleased) {
  this->deliver();
  // input         | query
  // down          | 0x8001, then 0x8000
  // (held)        | 0x8000
  // up            | 0x0000
  EXPECT_EQ(this->keyState(kKeyPageDown), 0x0000);
  this->driver_.keyDown(kKeyPageDown);
  this->deliver();
  EXPECT_EQ(this->keyState(kKeyPageDown), 0x8001);
  EXPECT_EQ(this->keyState(kKeyPageDown), 0x8000);
  this->deliver();
  EXPECT_EQ(this->keyState(kKeyPageDown), 0x8000);
  this->driver_.keyUp(kKeyPageDown);
  this->deliver();
  EXPECT_EQ(this->keyState(kKeyPageDown), 0x0000);
}

TYPED_TEST_P(DisplayHostContract, AKeyTappedBetweenTwoQueriesReadsPressedOnce) {
  this->deliver();
  this->driver_.keyDown(kKeyF1 + 1);
  this->driver_.keyUp(kKeyF1 + 1);
  this->deliver();
  EXPECT_EQ(this->keyState(kKeyF1 + 1), 0x8001);
  EXPECT_EQ(this->keyState(kKeyF1 + 1), 0x0000);
  EXPECT_EQ(this->keyState(kKeyF1), 0x0000);  // only the key that went down
}

TYPED_TEST_P(DisplayHostContract, AClickBetweenTwoPresentsIsOnePressForOnePoll) {
  this->deliver();
  const uint32_t before = this->host().leftButtonPresses();
  this->driver_.buttonDown();
  this->driver_.buttonUp();
  int pollsDown = 0;
  for (int i = 0; i < TypeParam::kDeliver + 2; ++i) {
    this->driver_.present();
    pollsDown += this->host().leftButton();
  }
  EXPECT_EQ(pollsDown, 1);
  EXPECT_EQ(this->host().leftButtonPresses() - before, 1u);
}

TYPED_TEST_P(DisplayHostContract, InputChangesOnlyInsideAPresent) {
  this->deliver();
  const int32_t wheel = this->host().wheelPosition();
  const uint32_t presses = this->host().leftButtonPresses();
  this->driver_.buttonDown();
  this->driver_.wheel(-120);
  this->driver_.settle();
  EXPECT_EQ(this->host().leftButton(), 0);
  EXPECT_EQ(this->host().leftButtonPresses(), presses);
  EXPECT_EQ(this->host().wheelPosition(), wheel);
  this->deliver();
  EXPECT_EQ(this->host().leftButton(), 1);
  EXPECT_EQ(this->host().wheelPosition(), wheel - 1);
  this->driver_.buttonUp();
  this->deliver();
  EXPECT_EQ(this->host().leftButton(), 0);
}

TYPED_TEST_P(DisplayHostContract, PresentsWithoutInputKeepTheInputState) {
  this->deliver();
  this->driver_.pointTo(321, 123);
  this->driver_.buttonDown();
  this->driver_.wheel(120);
  this->driver_.wheel(120);
  this->deliver();
  const int32_t wheel = this->host().wheelPosition();
  for (int i = 0; i < 3 * TypeParam::kDeliver; ++i) this->driver_.present();
  EXPECT_EQ(this->host().mouseX(), 321);
  EXPECT_EQ(this->host().mouseY(), 123);
  EXPECT_EQ(this->host().leftButton(), 1);
  EXPECT_EQ(this->host().wheelPosition(), wheel);
  this->driver_.buttonUp();
  this->deliver();
  // A held key, alone (a window system may compare its key state with the
  // keyboard's when the pointer moves, and the test's keyboard is synthetic).
  this->driver_.keyDown(kKeyDown);
  this->deliver();
  EXPECT_EQ(this->keyState(kKeyDown), 0x8001);
  for (int i = 0; i < 3 * TypeParam::kDeliver; ++i) this->driver_.present();
  EXPECT_EQ(this->keyState(kKeyDown), 0x8000);
  EXPECT_EQ(this->host().mouseX(), 321);
  EXPECT_EQ(this->host().leftButton(), 0);
  this->driver_.keyUp(kKeyDown);
  this->deliver();
}

TYPED_TEST_P(DisplayHostContract, TheWheelMovesOneStepPerNotchWhateverItsSize) {
  this->deliver();
  const int32_t start = this->host().wheelPosition();
  // delta | counter
  //  +120 | +1
  //  -360 |  0  (one notch)
  //  -120 | -1
  this->driver_.wheel(120);
  this->deliver();
  EXPECT_EQ(this->host().wheelPosition(), start + 1);
  this->driver_.wheel(-360);
  this->driver_.wheel(-120);
  this->deliver();
  EXPECT_EQ(this->host().wheelPosition(), start - 1);
}

TYPED_TEST_P(DisplayHostContract, ThePointerReadsInFramePixels) {
  // Corners and inner points of the frame, whatever the screen's size.
  const int32_t points[][2] = {{0, 0}, {kWidth - 1, kHeight - 1}, {1, kHeight - 2}, {400, 300}, {123, 456}};
  for (const auto& p : points) {
    this->driver_.pointTo(p[0], p[1]);
    this->deliver();
    EXPECT_EQ(this->host().mouseX(), p[0]) << p[0] << "," << p[1];
    EXPECT_EQ(this->host().mouseY(), p[1]) << p[0] << "," << p[1];
  }
}

TYPED_TEST_P(DisplayHostContract, EscapeIsTheProgramsWhileExitOnCloseIsZero) {
  this->deliver();
  this->driver_.keyDown(kKeyEscape);
  this->driver_.keyUp(kKeyEscape);
  this->deliver();
  EXPECT_EQ(this->keyState(kKeyEscape), 0x8001);
  EXPECT_EQ(this->host().endRequested(), 0);
}

REGISTER_TYPED_TEST_SUITE_P(DisplayHostContract, OpenShowsFramesAndCloseTwiceThenOpenAgainWorks,
                            AKeyHeldReadsPressedOnceThenDownUntilReleased, AKeyTappedBetweenTwoQueriesReadsPressedOnce,
                            AClickBetweenTwoPresentsIsOnePressForOnePoll, InputChangesOnlyInsideAPresent,
                            PresentsWithoutInputKeepTheInputState, TheWheelMovesOneStepPerNotchWhateverItsSize,
                            ThePointerReadsInFramePixels, EscapeIsTheProgramsWhileExitOnCloseIsZero);

}  // namespace host::contract
