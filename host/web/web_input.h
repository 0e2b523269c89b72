// Browser input for the web host, kept free of browser code so that it builds
// and is tested on every platform: key codes, CSS pixels to frame
// coordinates, wheel deltas to notches, and the polled input state fed with
// the events queued between two frames.
#pragma once

#include <cstdint>
#include <vector>

#include "host/common/polled_input.h"

namespace host {

// One browser input event as queued between frames.
struct WebInputEvent {
  enum Kind : int32_t { kKeyWentDown, kKeyWentUp, kMove, kButtonDown, kButtonUp, kWheel, kBlur };
  Kind kind;
  int32_t a = 0;  // key: virtual-key code; move: frame x; wheel: +1 away from the user, -1 towards
  int32_t b = 0;  // move: frame y
};

// The virtual-key code of a browser keyCode the magazine reads, or -1.
int32_t webVirtualKey(uint32_t keyCode);

// Frame coordinates of a point on the canvas, given in CSS pixels from the
// canvas box's top-left corner; the picture is shown at `scale` CSS pixels per
// frame pixel, offset by (offsetX, offsetY) inside the box. Coordinates are
// kept as unsigned 16-bit values, like a window's client coordinates.
void webFramePoint(double cssX, double cssY, double scale, double offsetX, double offsetY, int32_t& x, int32_t& y);

// Wheel deltas to notches: a mouse wheel gives one event per notch of 100
// pixels or 3 lines, a touchpad many small ones that add up to a notch.
class WheelNotches {
 public:
  // deltaMode: 0 pixels, 1 lines, 2 pages. Returns -1 (towards the user),
  // +1 (away) or 0.
  int32_t add(double deltaY, uint32_t deltaMode);

 private:
  double pending_ = 0.0;
};

// The polled input state, fed with queued events. Kept apart from the canvas
// so that it can be tested natively.
class WebInput {
 public:
  // Applies the events queued since the previous frame, in order (one poll).
  void apply(const std::vector<WebInputEvent>& events);

  int32_t mouseX() const { return state_.mouseX(); }
  int32_t mouseY() const { return state_.mouseY(); }
  // A press released again before this frame's events were applied still
  // reads as down until the next frame: a quick click is seen once.
  int32_t leftButton() const { return state_.leftButton(); }
  uint32_t leftButtonPresses() const { return state_.leftButtonPresses(); }
  int32_t wheelPosition() const { return state_.wheelPosition(); }
  int16_t asyncKeyState(int32_t virtualKey) { return state_.asyncKeyState(virtualKey); }

 private:
  PolledInput state_;
};

}  // namespace host
