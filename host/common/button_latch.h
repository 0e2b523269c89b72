// ButtonLatch: a button that is polled once per frame but never loses a
// quick click.
//
// Button events arrive between polls. A press and its release can both fall
// between two polls (a quick click, a touchpad tap, a synthetic click); the
// button's plain state would then read "up" at both polls and the click would
// be lost. The latch remembers that a press happened since the current poll
// began: `state` reads 1 while the button is down and also, once, for the poll
// during which a press arrived, however soon it was released. The next poll
// then reads the real state again, so one click is one press for exactly one
// poll (the click latch of the navigation then makes it one action).
//
// Not every poll is read: a page turn presents many frames in which the
// program does not look at the button, and a click made then would be gone
// by the time it looks. `presses` counts every press ever made, so the
// program can tell that a new click arrived since it last read the button,
// however many polls ago that was.
//
// A poll is one pump of the display's events: call `beginPoll` before the
// events of each pump are applied. Platform-neutral; the SDL, Windows and
// browser hosts and the headless host share it (through PolledInput).
#pragma once

#include <cstdint>

namespace host {

struct ButtonLatch {
  bool down = false;     // the button's state as the last event left it
  bool pressed = false;  // a press arrived since the current poll began
  uint32_t presses = 0;  // presses since the start (wraps after 2^32)

  void beginPoll() { pressed = false; }
  void press() {
    down = true;
    pressed = true;
    ++presses;
  }
  void release() { down = false; }
  // The state as the program reads it: 1 while down or once after a press.
  int32_t state() const { return down || pressed ? 1 : 0; }
};

}  // namespace host
