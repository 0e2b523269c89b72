// The browser edition's input state: key codes, CSS pixels to frame
// coordinates at any scale, wheel deltas to notches, quick clicks, key presses
// between two queries, and a lost focus.
#include <gtest/gtest.h>

#include <vector>

#include "host/display_host.h"
#include "host/web/web_input.h"

namespace {

using host::WebInputEvent;

TEST(WebInput, KeysTakenFromTheBrowserAreTheMagazinesOnly) {
  for (uint32_t code : {27u, 33u, 34u, 35u, 36u, 38u, 40u, 112u, 117u, 123u}) {
    EXPECT_EQ(host::webVirtualKey(code), static_cast<int32_t>(code)) << code;
  }
  for (uint32_t code : {0u, 13u, 32u, 65u, 70u, 111u, 124u, 255u, 1000u}) EXPECT_EQ(host::webVirtualKey(code), -1) << code;
}

TEST(WebInput, FramePointsFollowTheScaleAndTheLetterbox) {
  int32_t x = 0, y = 0;
  host::webFramePoint(0.0, 0.0, 1.0, 0.0, 0.0, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  // 1.5 CSS pixels per frame pixel: the middle of frame pixel 79 is at 119.25.
  host::webFramePoint(119.0, 111.0, 1.5, 0.0, 0.0, x, y);
  EXPECT_EQ(x, 79);
  EXPECT_EQ(y, 74);
  host::webFramePoint(1199.0, 899.0, 1.5, 0.0, 0.0, x, y);
  EXPECT_EQ(x, 799);
  EXPECT_EQ(y, 599);
  // Full screen on 1920 x 1080: scale 1.8, 240 pixels of border left and right.
  host::webFramePoint(240.0 + 1.8 * 400.5, 1.8 * 300.5, 1.8, 240.0, 0.0, x, y);
  EXPECT_EQ(x, 400);
  EXPECT_EQ(y, 300);
  // Left of the picture: 65536 minus the distance, as client coordinates.
  host::webFramePoint(240.0 - 1.8 * 2.5, 0.0, 1.8, 240.0, 0.0, x, y);
  EXPECT_EQ(x, 65536 - 3);
  // A half-size page.
  host::webFramePoint(200.0, 150.0, 0.5, 0.0, 0.0, x, y);
  EXPECT_EQ(x, 400);
  EXPECT_EQ(y, 300);
}

TEST(WebInput, WheelEventsBecomeNotches) {
  host::WheelNotches wheel;
  EXPECT_EQ(wheel.add(100.0, 0), -1);  // a mouse notch towards the user
  EXPECT_EQ(wheel.add(-100.0, 0), 1);
  EXPECT_EQ(wheel.add(300.0, 0), -1);  // a big delta is still one notch
  EXPECT_EQ(wheel.add(3.0, 1), -1);    // lines (Firefox)
  EXPECT_EQ(wheel.add(-1.0, 2), 1);    // pages
  EXPECT_EQ(wheel.add(0.0, 0), 0);
  // A touchpad: small steps add up to one notch per 100 pixels.
  int32_t notches = 0;
  for (int i = 0; i < 20; ++i) notches += wheel.add(10.0, 0);
  EXPECT_EQ(notches, -2);
  // A change of direction starts over.
  EXPECT_EQ(wheel.add(-60.0, 0), 0);
  EXPECT_EQ(wheel.add(-60.0, 0), 1);
}

TEST(WebInput, AQuickClickIsOnePressForOneFrame) {
  host::WebInput input;
  input.apply({{WebInputEvent::kMove, 79, 74}, {WebInputEvent::kButtonDown}, {WebInputEvent::kButtonUp}});
  EXPECT_EQ(input.mouseX(), 79);
  EXPECT_EQ(input.mouseY(), 74);
  EXPECT_EQ(input.leftButton(), 1);
  EXPECT_EQ(input.leftButton(), 1);  // read twice in the frame, still down
  input.apply({});
  EXPECT_EQ(input.leftButton(), 0);
  // A held button stays down over frames and goes up with its release.
  input.apply({{WebInputEvent::kButtonDown}});
  input.apply({});
  EXPECT_EQ(input.leftButton(), 1);
  input.apply({{WebInputEvent::kButtonUp}});
  EXPECT_EQ(input.leftButton(), 0);
  // Wheel notches count one each.
  input.apply({{WebInputEvent::kWheel, -1}, {WebInputEvent::kWheel, -1}, {WebInputEvent::kWheel, 1}});
  EXPECT_EQ(input.wheelPosition(), -1);
}

TEST(WebInput, KeyStateIsDownNowAndPressedSinceTheLastQuery) {
  host::WebInput input;
  const int32_t f2 = host::kKeyF1 + 1;
  // Pressed and released between two frames: one press, then nothing.
  input.apply({{WebInputEvent::kKeyWentDown, f2}, {WebInputEvent::kKeyWentUp, f2}});
  EXPECT_EQ(input.asyncKeyState(f2), host::kKeyPressedNow);
  EXPECT_EQ(input.asyncKeyState(f2), 0);
  // Held: a press once, then held.
  input.apply({{WebInputEvent::kKeyWentDown, host::kKeyDown}});
  EXPECT_EQ(input.asyncKeyState(host::kKeyDown), host::kKeyPressedNow);
  input.apply({{WebInputEvent::kKeyWentDown, host::kKeyDown}});  // a second down is no new press
  EXPECT_EQ(static_cast<uint16_t>(input.asyncKeyState(host::kKeyDown)), 0x8000u);
  // Focus lost: every key and the button read as released.
  input.apply({{WebInputEvent::kButtonDown}});
  EXPECT_EQ(input.leftButton(), 1);
  input.apply({{WebInputEvent::kBlur}});
  EXPECT_EQ(input.asyncKeyState(host::kKeyDown), 0);
  EXPECT_EQ(input.leftButton(), 0);
  EXPECT_EQ(input.asyncKeyState(-1), 0);
  EXPECT_EQ(input.asyncKeyState(300), 0);
}

}  // namespace
