#include "host/web/web_input.h"

#include <cmath>

#include "host/display_host.h"

namespace host {

int32_t webVirtualKey(uint32_t keyCode) {
  // The browser's legacy key codes for these keys are the virtual-key codes.
  switch (keyCode) {
    case kKeyEscape:
    case kKeyPageUp:
    case kKeyPageDown:
    case kKeyEnd:
    case kKeyHome:
    case 37:  // Left and Right: not read, but kept from scrolling the page
    case kKeyUp:
    case 39:
    case kKeyDown:
      return static_cast<int32_t>(keyCode);
    default:
      break;
  }
  if (keyCode >= kKeyF1 && keyCode <= kKeyF12) return static_cast<int32_t>(keyCode);
  return -1;
}

void webFramePoint(double cssX, double cssY, double scale, double offsetX, double offsetY, int32_t& x, int32_t& y) {
  if (!(scale > 0.0)) scale = 1.0;
  const double fx = std::floor((cssX - offsetX) / scale);
  const double fy = std::floor((cssY - offsetY) / scale);
  // Far outside the 16-bit range only when the page is huge; clamp before
  // converting so the cast stays defined.
  const auto wrap = [](double v) {
    const double clamped = v < -32768.0 ? -32768.0 : (v > 32767.0 ? 32767.0 : v);
    return static_cast<int32_t>(clamped) & 0xFFFF;
  };
  x = wrap(fx);
  y = wrap(fy);
}

int32_t WheelNotches::add(double deltaY, uint32_t deltaMode) {
  constexpr double kPixelsPerNotch = 100.0;
  constexpr double kLinesPerNotch = 3.0;
  if (deltaY == 0.0) return 0;
  double notches = 0.0;
  switch (deltaMode) {
    case 0: notches = deltaY / kPixelsPerNotch; break;
    case 1: notches = deltaY / kLinesPerNotch; break;
    default: notches = deltaY; break;
  }
  // A whole notch or more in one event is one notch (as a wheel message);
  // smaller steps add up until they make one.
  if (std::fabs(notches) >= 1.0) {
    pending_ = 0.0;
    return deltaY > 0.0 ? -1 : 1;
  }
  if ((pending_ > 0.0) != (notches > 0.0)) pending_ = 0.0;
  pending_ += notches;
  // (ten steps of a tenth make a notch, whatever the rounding)
  if (std::fabs(pending_) < 1.0 - 1e-9) return 0;
  const int32_t notch = pending_ > 0.0 ? -1 : 1;
  pending_ += notch;
  return notch;
}

void WebInput::apply(const std::vector<WebInputEvent>& events) {
  state_.beginPoll();
  for (const WebInputEvent& e : events) {
    switch (e.kind) {
      case WebInputEvent::kKeyWentDown:
        state_.key(e.a, true);
        break;
      case WebInputEvent::kKeyWentUp:
        state_.key(e.a, false);
        break;
      case WebInputEvent::kMove:
        state_.movePointer(e.a, e.b);
        break;
      case WebInputEvent::kButtonDown:
        state_.pressButton();
        break;
      case WebInputEvent::kButtonUp:
        state_.releaseButton();
        break;
      case WebInputEvent::kWheel:
        state_.wheelNotch(e.a);
        break;
      case WebInputEvent::kBlur:
        // Keys and the button released while the page had no focus never
        // report their release: take everything as released.
        state_.releaseAll();
        break;
    }
  }
}

}  // namespace host
