// PolledInput: the input state a display host keeps for the program between
// two pumps of its events, shared by every host (SDL, Win32, browser,
// headless) so that the key-state and click rules are written once.
//
// A host calls `beginPoll` before it applies the events of one pump, then
// feeds each event in order: pointer moves (already in frame pixels), the left
// button, wheel notches and keys by virtual-key code. The program reads the
// result through the DisplayHost accessors, which forward here:
// - keys follow the asynchronous key-state rules of host/display_host.h: a key
//   that went down since the previous query of that key reads 0x8001 once,
//   even when it was released again before the query (a tap shorter than a
//   frame is not lost); a key held reads 0x8000; a repeated down (auto-repeat)
//   is no new press;
// - the left button goes through a ButtonLatch: one click between two polls
//   reads as down for one poll, and every press is counted;
// - the wheel moves by one per notch, whatever the size of the delta;
// - pointer coordinates are kept as unsigned 16-bit values, like a window's
//   client coordinates.
// Codes outside 0..255 are ignored by the key calls and read 0.
//
// A system that keeps the keys' down state itself (Windows) reports only the
// presses (`notePress`) and passes its own state to the query.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "host/common/button_latch.h"

namespace host {

class PolledInput {
 public:
  static constexpr int32_t kKeyCount = 256;

  // Before the events of each pump are applied.
  void beginPoll() { left_.beginPoll(); }

  void movePointer(int32_t x, int32_t y) {
    mouseX_ = x & 0xFFFF;
    mouseY_ = y & 0xFFFF;
  }
  void pressButton() { left_.press(); }
  void releaseButton() { left_.release(); }
  // One notch: a negative delta (towards the user) counts -1, anything else +1.
  void wheelNotch(int32_t delta) { wheel_ += delta < 0 ? -1 : 1; }
  // A key went down or up.
  void key(int32_t virtualKey, bool down);
  // A key went down where the system tracks the down state (see above).
  void notePress(int32_t virtualKey);
  // Every key and the button taken as released: the input went elsewhere and
  // their releases will not arrive. Presses not yet queried are kept.
  void releaseAll();

  int32_t mouseX() const { return mouseX_; }
  int32_t mouseY() const { return mouseY_; }
  int32_t leftButton() const { return left_.state(); }
  bool buttonDown() const { return left_.down; }
  uint32_t leftButtonPresses() const { return left_.presses; }
  int32_t wheelPosition() const { return wheel_; }
  bool keyDown(int32_t virtualKey) const { return inRange(virtualKey) && keyDown_[index(virtualKey)] != 0; }

  // The key-state query; it clears the key's press.
  int16_t asyncKeyState(int32_t virtualKey);
  // The same with the down state given by the system.
  int16_t asyncKeyState(int32_t virtualKey, bool downNow);

 private:
  static bool inRange(int32_t virtualKey) { return virtualKey >= 0 && virtualKey < kKeyCount; }
  static std::size_t index(int32_t virtualKey) { return static_cast<std::size_t>(virtualKey); }

  int32_t mouseX_ = 0;
  int32_t mouseY_ = 0;
  ButtonLatch left_;
  int32_t wheel_ = 0;
  std::array<uint8_t, kKeyCount> keyDown_{};
  std::array<uint8_t, kKeyCount> keyPressed_{};
};

}  // namespace host
