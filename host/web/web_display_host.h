// WebDisplayHost: the DisplayHost of the browser edition, a canvas on a page.
//
// `open` gives the canvas a backing store of the frame's size and shows the
// start screen; it returns once the reader has clicked it (that click also
// starts Web Audio and is not seen as input). From then on the browser's key,
// pointer, button and wheel events are queued as they come and applied inside
// `present`, like a window's messages. `present` writes the rows of the frame that
// changed since the previous one into the canvas as RGBA (none: the canvas
// is left alone, and the browser has nothing to redraw), then suspends the program until the browser's next
// animation frame (Asyncify), then applies the queued input and runs the
// per-frame task (the module player's refill). `close` shows the end screen.
//
// Pointer positions are frame coordinates: the page scales the canvas with
// its 4:3 shape kept, and the host maps the CSS pixels back. The keys the
// magazine reads (F1..F12, arrows, PgUp, PgDn, Home, End, Escape) are kept
// from the browser.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/display_host.h"
#include "host/web/web_input.h"

namespace host {

class WebDisplayHost final : public DisplayHost {
 public:
  WebDisplayHost() = default;
  ~WebDisplayHost() override;
  WebDisplayHost(const WebDisplayHost&) = delete;
  WebDisplayHost& operator=(const WebDisplayHost&) = delete;

  // On the page the canvas is the window: there is no question to ask and no
  // mode to choose.
  void configureStartup(uint8_t ask, const std::string& question, int32_t windowed, uint8_t popup) override {}
  void setExitOnClose(uint8_t flag) override { exitOnClose_ = flag; }
  int32_t open(const std::string& title, int32_t width, int32_t height) override;
  int32_t present(const uint32_t* pixels) override;
  void close() override;
  int32_t mouseX() override { return input_.mouseX(); }
  int32_t mouseY() override { return input_.mouseY(); }
  int32_t leftButton() override { return input_.leftButton(); }
  uint32_t leftButtonPresses() override { return input_.leftButtonPresses(); }
  int32_t wheelPosition() override { return input_.wheelPosition(); }
  int16_t asyncKeyState(int32_t virtualKey) override { return input_.asyncKeyState(virtualKey); }
  void showCursor(bool visible) override;
  // A page is not asked to end: closing its tab ends it at once.
  int32_t endRequested() override { return 0; }

  // Runs once per presented frame, after the input is applied.
  void setFrameTask(std::function<void()> task) { frameTask_ = std::move(task); }

  // Called by the browser's event handlers (between frames).
  void queue(const WebInputEvent& event) { pending_.push_back(event); }
  void queueWheel(double deltaY, uint32_t deltaMode);

 private:
  void listen(bool on);

  bool open_ = false;
  uint8_t exitOnClose_ = 1;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<uint32_t> rgba_;
  std::vector<uint32_t> shown_;  // the frame as last copied to the canvas
  bool shownValid_ = false;
  std::vector<WebInputEvent> pending_;
  std::vector<WebInputEvent> applying_;
  WebInput input_;
  WheelNotches wheel_;
  std::function<void()> frameTask_;
};

}  // namespace host
