// SdlDisplayHost: the real window over SDL2, full screen on any display.
//
// `open` accepts only a real display: SDL's x11 or wayland video driver (with
// no DISPLAY and no WAYLAND_DISPLAY, an unreachable server, or only the
// offscreen or dummy drivers it returns 0 before anything is shown). It picks a
// display mode of the frame's size at 32, then 24, then 16 bits per pixel whose
// format has a PixelConverter and switches to it exclusively. Where no such
// mode exists or the switch is refused, the window covers the whole desktop
// (placed and sized by the host itself, so that a screen without a window
// manager is covered too) and the frame is scaled to it, 4:3 and centred
// between black bars (host/common/frame_scaler.h). Either way `present` writes into
// the window's own surface (plain memory in the display's format: no renderer,
// no texture, no GL), the converter chosen from that surface's format, and
// the pointer is mapped from the screen back to frame pixels, clamped to the
// frame's edge in the bars.
//
// `present` pumps every pending SDL event into the polled input state. While
// the window is active it then converts the frame, updates the window and
// paces itself to the display's refresh (a window surface has no vertical
// sync). While inactive or minimised it waits for the next display event
// (at most kInactiveWaitMs) instead of drawing, so a hidden program stays
// nearly idle; the event that activates the window ends the wait and the same
// `present` shows the frame.
//
// The exclusive mode's window is put at the screen's origin, and the scaled
// full screen's window is kept on the whole screen when its resolution
// changes (a window manager does both itself; without one the host does).
// SIGINT, SIGTERM and SIGHUP only raise `endRequested` while the display is
// open, so the program ends through `close`, which restores the desktop's
// mode; a broken X connection ends the process at once with
// kExitDisplayLost and a line on standard error, as does a failed `open`
// (exit status chosen by the program) with the reason and the variables
// that choose the display.
//
// Input (host/common/polled_input.h): a quick click between two presents reads
// as one press;
// a button or Escape already held when the window appears is read from SDL's
// global mouse state and keyboard state; the keypad's navigation keys (NumLock
// off) are their main-block twins.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "host/display_host.h"
#include "host/common/frame_scaler.h"
#include "host/common/pixel_converters.h"
#include "host/common/polled_input.h"

struct SDL_Window;
struct SDL_Surface;
union SDL_Event;

namespace host {

class SdlDisplayHost final : public DisplayHost {
 public:
  // Longest wait for a display event in a `present` while inactive.
  static constexpr int32_t kInactiveWaitMs = 100;

  SdlDisplayHost() = default;
  ~SdlDisplayHost() override;
  SdlDisplayHost(const SdlDisplayHost&) = delete;
  SdlDisplayHost& operator=(const SdlDisplayHost&) = delete;

  void configureStartup(uint8_t ask, const std::string& question, int32_t windowed, uint8_t popup) override;
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
  // 1 once SIGINT, SIGTERM or SIGHUP arrived while the display was open (the
  // host takes them over in `open` and gives them back in `close`).
  int32_t endRequested() override { return endRequested_; }

  // The format of the surface being filled (bits 0 before a successful open).
  const PixelFormatKey& pixelFormat() const { return format_; }
  // The display's refresh rate that `present` paces to, in Hz (60 when the
  // display does not say; 0 before a successful open).
  int32_t refreshRate() const { return refreshRate_; }
  // The host's window, for tests that look at what reached it (null when closed).
  SDL_Window* window() const { return window_; }
  // Where the frame is shown on the window's surface (the whole surface in
  // the exclusive mode of the frame's size).
  const ScreenRect& frameArea() const { return scaler_.area(); }
  // True when the frame is shown in an exclusive display mode of its own size.
  bool exclusiveMode() const { return exclusive_; }
  int32_t active() const { return active_; }

 private:
  // The steps of `open`: start SDL's video on a real display; choose the
  // exclusive mode (its index on display 0, or -1); create the window for one
  // of the three ways of showing the frame (window_ stays null where SDL
  // refuses it, and openExclusive leaves none when the mode switch is
  // refused; false: the mode or the screen's bounds could not be had); read
  // the refresh rate.
  bool startVideo();
  int chooseExclusiveMode();
  bool openExclusive(const std::string& title, int modeIndex);
  bool openScaled(const std::string& title);
  void openPlainWindow(const std::string& title);
  void readRefreshRate();
  void pumpEvents();
  void drainEvents();
  void readHeldInput();
  void setPointer(int32_t windowX, int32_t windowY);
  void handleEvent(const SDL_Event& event);
  void requestClose();
  bool takeSurface();
  void paceToRefresh();
  void fitWindowToScreen(bool atOnce);

  uint8_t ask_ = 0;
  std::string question_ = "Fullscreen Mode ?";
  int32_t windowed_ = 1;
  uint8_t popup_ = 0;
  uint8_t exitOnClose_ = 1;

  SDL_Window* window_ = nullptr;
  SDL_Surface* surface_ = nullptr;  // the window's surface; SDL owns it
  uint32_t surfaceFormat_ = 0;       // SDL format and size of surface_, to notice a new one
  int32_t surfaceWidth_ = 0;
  int32_t surfaceHeight_ = 0;
  bool videoStarted_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
  PixelFormatKey format_{0, 0, 0, 0};
  PixelConverter converter_ = nullptr;
  FrameScaler scaler_;
  bool exclusive_ = false;
  int32_t active_ = 0;
  bool exposed_ = false;  // the window needs its surface shown again
  int32_t endRequested_ = 0;
  bool followScreen_ = false;     // full screen: the window follows the screen's size
  uint32_t screenCheckedAt_ = 0;  // SDL ticks of the last comparison
  int32_t screenMismatches_ = 0;  // checks in a row that found the window off the screen
  void* previousIoHandler_ = nullptr;  // Xlib's handler before ours
  bool ioHandlerSet_ = false;

  int32_t refreshRate_ = 0;
  uint64_t refreshPeriod_ = 0;  // performance-counter ticks per refresh
  uint64_t lastFrame_ = 0;      // counter value of the previous frame, 0 = none yet

  PolledInput input_;
  bool buttonHeldAtStart_ = false;  // follow the global state until released
  bool escapeHeldAtStart_ = false;
  std::array<int16_t, 512> keyOfScancode_{};  // the virtual key each held scancode pressed (0 = none)
};

}  // namespace host
