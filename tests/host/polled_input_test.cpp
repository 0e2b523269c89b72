// The polled input record every display host keeps: the key-state rules
// (pressed once, held, a tap between queries, auto-repeat, the system-held
// variant), the button latch through a poll, wheel notches, pointer
// coordinates and the release of everything when the input goes elsewhere.
#include "host/common/polled_input.h"

#include <gtest/gtest.h>

#include "host/display_host.h"

namespace host {
namespace {

uint16_t query(PolledInput& input, int32_t key) { return static_cast<uint16_t>(input.asyncKeyState(key)); }

TEST(PolledInputKeys, APressReadsOnceThenTheHeldStateUntilTheRelease) {
  PolledInput input;
  // event            | query after
  // (none)           | 0x0000
  // down             | 0x8001, then 0x8000 (the press was taken)
  // down (repeat)    | 0x8000  (no new press)
  // up               | 0x0000
  EXPECT_EQ(query(input, kKeyPageDown), 0x0000);
  input.key(kKeyPageDown, true);
  EXPECT_EQ(query(input, kKeyPageDown), 0x8001);
  EXPECT_EQ(query(input, kKeyPageDown), 0x8000);
  input.key(kKeyPageDown, true);
  EXPECT_EQ(query(input, kKeyPageDown), 0x8000);
  input.key(kKeyPageDown, false);
  EXPECT_EQ(query(input, kKeyPageDown), 0x0000);
  EXPECT_FALSE(input.keyDown(kKeyPageDown));
}

TEST(PolledInputKeys, ATapBetweenTwoQueriesIsOnePressAndKeysAreIndependent) {
  PolledInput input;
  input.key(kKeyF1, true);
  input.key(kKeyF1, false);
  input.key(kKeyF1 + 1, true);
  EXPECT_EQ(query(input, kKeyF1), 0x8001);  // down once, though already up
  EXPECT_EQ(query(input, kKeyF1), 0x0000);
  EXPECT_EQ(query(input, kKeyF1 + 1), 0x8001);
  EXPECT_TRUE(input.keyDown(kKeyF1 + 1));
  EXPECT_EQ(query(input, kKeyEscape), 0x0000);
}

TEST(PolledInputKeys, CodesOutsideTheTableAreIgnored) {
  PolledInput input;
  for (int32_t code : {-1, 256, 1000}) {
    input.key(code, true);
    input.notePress(code);
    EXPECT_EQ(query(input, code), 0x0000) << code;
    EXPECT_FALSE(input.keyDown(code)) << code;
  }
  input.key(255, true);
  EXPECT_EQ(query(input, 255), 0x8001);
  EXPECT_EQ(query(input, 0), 0x0000);
}

TEST(PolledInputKeys, ASystemHeldStateCombinesWithTheNotedPresses) {
  PolledInput input;
  // system down | noted press | query
  //     no      |     no      | 0x0000
  //     yes     |     no      | 0x8000
  //     no      |     yes     | 0x8001  (pressed and released between queries)
  //     yes     |     yes     | 0x8001
  EXPECT_EQ(static_cast<uint16_t>(input.asyncKeyState(kKeyUp, false)), 0x0000);
  EXPECT_EQ(static_cast<uint16_t>(input.asyncKeyState(kKeyUp, true)), 0x8000);
  input.notePress(kKeyUp);
  EXPECT_EQ(static_cast<uint16_t>(input.asyncKeyState(kKeyUp, false)), 0x8001);
  input.notePress(kKeyUp);
  EXPECT_EQ(static_cast<uint16_t>(input.asyncKeyState(kKeyUp, true)), 0x8001);
  EXPECT_EQ(static_cast<uint16_t>(input.asyncKeyState(kKeyUp, true)), 0x8000);
  EXPECT_EQ(static_cast<uint16_t>(input.asyncKeyState(kKeyUp + 100, true)), 0x8000);  // the system's word only
  EXPECT_EQ(static_cast<uint16_t>(input.asyncKeyState(300, true)), 0x0000);
}

TEST(PolledInputButton, AQuickClickReadsDownForOnePollAndEveryPressIsCounted) {
  PolledInput input;
  // poll | events      | leftButton | presses
  //  1   | down, up    |     1      |   1
  //  2   | -           |     0      |   1
  //  3   | down        |     1      |   2
  //  4   | -           |     1      |   2   (held)
  //  5   | up          |     0      |   2
  struct Poll {
    bool down, up;
    int32_t button;
    uint32_t presses;
  };
  const Poll polls[] = {{true, true, 1, 1}, {false, false, 0, 1}, {true, false, 1, 2}, {false, false, 1, 2},
                        {false, true, 0, 2}};
  for (const Poll& p : polls) {
    input.beginPoll();
    if (p.down) input.pressButton();
    if (p.up) input.releaseButton();
    EXPECT_EQ(input.leftButton(), p.button) << "poll " << (&p - polls) + 1;
    EXPECT_EQ(input.leftButtonPresses(), p.presses) << "poll " << (&p - polls) + 1;
  }
}

TEST(PolledInputWheelAndPointer, OneNotchPerEventAndSixteenBitCoordinates) {
  PolledInput input;
  // delta  +120 -120 -360  0  +1
  // after    1    0   -1   0   1
  const int32_t deltas[] = {120, -120, -360, 0, 1};
  const int32_t after[] = {1, 0, -1, 0, 1};
  for (int i = 0; i < 5; ++i) {
    input.wheelNotch(deltas[i]);
    EXPECT_EQ(input.wheelPosition(), after[i]) << "event " << i;
  }
  input.movePointer(799, 599);
  EXPECT_EQ(input.mouseX(), 799);
  EXPECT_EQ(input.mouseY(), 599);
  input.movePointer(-3, 65536 + 7);
  EXPECT_EQ(input.mouseX(), 65533);
  EXPECT_EQ(input.mouseY(), 7);
}

TEST(PolledInputRelease, ReleasingEverythingKeepsPressesNotYetRead) {
  PolledInput input;
  input.key(kKeyDown, true);
  input.key(kKeyHome, true);
  EXPECT_EQ(query(input, kKeyHome), 0x8001);
  input.beginPoll();
  input.pressButton();
  input.releaseAll();
  EXPECT_FALSE(input.keyDown(kKeyDown));
  EXPECT_FALSE(input.buttonDown());
  EXPECT_EQ(query(input, kKeyDown), 0x8001);  // its press was not read yet
  EXPECT_EQ(query(input, kKeyHome), 0x0000);
  EXPECT_EQ(input.leftButton(), 1);  // the click of this poll still counts once
  input.beginPoll();
  EXPECT_EQ(input.leftButton(), 0);
}

}  // namespace
}  // namespace host
