// DisplayHost: the one window of the program, full screen at 800 x 600.
//
// The application draws into its own 0x00RRGGBB frame and hands it to
// `present` once per frame; the host converts it row by row into the display
// surface's pixel format, pumps the window's events (pointer, button, wheel,
// keys) and keeps the polled input that the accessors return. Input state only
// changes inside `present` (and `open`).
//
// Implementations: SdlDisplayHost (host/sdl/, the desktop's screen),
// Win32DisplayHost (host/win32/, the Windows build), WebDisplayHost
// (host/web/, the browser's canvas) and HeadlessDisplayHost (host/headless/,
// scripted input and captured frames for tests and tools). They keep their
// polled input in one shared record (host/common/polled_input.h), so the
// rules below hold alike for all four; tests/host/display_host_contract.h
// checks them on each host that can run on the build machine. Nothing outside
// host/ includes SDL.
#pragma once

#include <cstdint>
#include <string>

namespace host {

// Virtual-key codes the program polls.
enum VirtualKey : int32_t {
  kKeyEscape = 27,
  kKeyPageUp = 33,
  kKeyPageDown = 34,
  kKeyEnd = 35,
  kKeyHome = 36,
  kKeyUp = 38,
  kKeyDown = 40,
  kKeyF1 = 112,  // F1..F12 are 112..123
  kKeyF12 = 123,
};

// Exit status of a program whose display went away under it (the X server
// ended or its connection broke): nothing can be shown or restored then.
inline constexpr int32_t kExitDisplayLost = 3;

// Asynchronous key state: bit 15 set while the key is down, bit 0 set when the
// key went down since the previous query of that key. Input arrives as events
// between frames, so a key pressed and released again since the previous
// query reads 0x8001 once (down and pressed) rather than being lost.
inline constexpr int16_t kKeyPressedNow = static_cast<int16_t>(0x8001);

class DisplayHost {
 public:
  virtual ~DisplayHost() = default;

  virtual void configureStartup(uint8_t ask, const std::string& question, int32_t windowed, uint8_t popup) = 0;
  virtual void setExitOnClose(uint8_t flag) = 0;
  // 1 = ready, 0 = failed (nothing was left open).
  virtual int32_t open(const std::string& title, int32_t width, int32_t height) = 0;
  // Pumps pending events, then shows width x height pixels (row-major, top row
  // first). 1, or 0 when the surface could not be locked.
  virtual int32_t present(const uint32_t* pixels) = 0;
  virtual void close() = 0;

  virtual int32_t mouseX() = 0;
  virtual int32_t mouseY() = 0;
  virtual int32_t leftButton() = 0;
  // How many times the left button has gone down since `open` (a running
  // count that wraps). A change between two reads is a new click, also when
  // it was pressed and released in frames the caller did not poll.
  virtual uint32_t leftButtonPresses() = 0;
  virtual int32_t wheelPosition() = 0;

  // The key-state query with the semantics above (down now, or pressed and
  // not yet queried: 0x8000; pressed since the previous query of this key:
  // 0x0001).
  virtual int16_t asyncKeyState(int32_t virtualKey) = 0;
  // Shows or hides the system pointer over the window.
  virtual void showCursor(bool visible) = 0;
  // 1 once the session has asked the program to end (on the desktop: SIGINT,
  // SIGTERM or SIGHUP; for Windows: the session ending). Changes only inside
  // `present`. The program's loops read it and end as for Escape, so that the
  // display is closed and its mode restored.
  virtual int32_t endRequested() = 0;
};

// Time in seconds from a high-resolution timer, and a millisecond sleep.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double now() = 0;
  virtual void sleepMs(int32_t milliseconds) = 0;
};

}  // namespace host
