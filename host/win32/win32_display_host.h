// Win32DisplayHost: the real window on Windows, over the window system and
// DirectDraw (loaded at run time from "ddraw.dll" through "DirectDrawCreate",
// never linked).
//
// `open` registers a window class named by the title and creates the window,
// then presents in one of three ways:
//   exclusive   DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN, display mode of the frame's
//               size at 32, then 24, then 16 bits per pixel, a page-flipping
//               primary (2 back buffers, then 1); `present` fills the back
//               buffer through the PixelConverter and flips.
//   windowed    (configureStartup windowed 1) a centred desktop window, an
//               off-screen surface of the frame's size filled through the
//               converter and blitted to the client area through a clipper.
//   scaled      where exclusive mode of the frame's size cannot be had: a
//               borderless window over the whole screen, an off-screen surface
//               of the screen's size into which the FrameScaler draws the frame
//               as large as it fits (crisp, centred, black bars), blitted 1:1
//               through a clipper; pointer positions are mapped back to frame
//               pixels.
// The converter comes from the primary surface's pixel format (host/common/pixel_converters.h).
//
// `present` pumps the thread's messages (the window procedure runs there:
// activation, keys, close, pointer, buttons, wheel), then draws while the
// application is active. Input state changes only inside message dispatch.
// The polled input is the hosts' shared record (host/common/polled_input.h):
// a press and release of the left button between two presents still reads as
// one press; keys pressed and released between two queries still read 0x8001
// once (GetAsyncKeyState alone would say 0x0001).
//
// The screen saver is switched off while the host is open and put back as it
// was by `close`.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/display_host.h"
#include "host/common/frame_scaler.h"
#include "host/common/pixel_converters.h"
#include "host/common/polled_input.h"

struct IDirectDraw;
struct IDirectDrawSurface;
struct IDirectDrawClipper;

namespace host {

class Win32DisplayHost final : public DisplayHost {
 public:
  enum class Mode { Closed, Exclusive, Windowed, Scaled };

  Win32DisplayHost() = default;
  ~Win32DisplayHost() override;
  Win32DisplayHost(const Win32DisplayHost&) = delete;
  Win32DisplayHost& operator=(const Win32DisplayHost&) = delete;

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
  int16_t asyncKeyState(int32_t virtualKey) override;
  void showCursor(bool visible) override;
  // Set when Windows ends the session (log-off, shut-down).
  int32_t endRequested() override { return endRequested_; }

  // --- for tests and diagnostics ---
  // The display depths exclusive mode tries, in order (default 32, 24, 16).
  void setExclusiveDepths(std::vector<int32_t> depths) { depths_ = std::move(depths); }
  // Skip exclusive mode and go straight to the scaled full-screen window.
  void setForceScaled(bool force) { forceScaled_ = force; }
  Mode mode() const { return mode_; }
  // The step at which the last `open` failed ("" when it did not), and the
  // step at which its exclusive attempt gave way to the scaled window.
  const char* failedStep() const { return failedStep_; }
  const char* exclusiveFailedStep() const { return exclusiveFailedStep_; }
  const PixelFormatKey& pixelFormat() const { return format_; }
  HWND window() const { return window_; }
  int32_t active() const { return active_; }
  // The frame's rectangle on the screen in the scaled mode.
  const ScreenRect& scaledArea() const { return scaler_.area(); }
  // Copies what is being shown (the primary surface in exclusive mode, the
  // off-screen surface that is blitted otherwise) into `bytes`, rowBytes per
  // row without padding; false when it cannot be locked.
  bool readShownPixels(std::vector<uint8_t>& bytes, int32_t& surfaceWidth, int32_t& surfaceHeight, int32_t& rowBytes);

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void pumpMessages();
  void requestClose();
  void keyMessage(WPARAM wParam, LPARAM lParam, bool down);
  void pointerMessage(LPARAM lParam);

  bool fail(const char* step);
  bool loadDirectDraw();
  bool registerClass(const std::string& title, bool withCursor);
  bool openExclusive(const std::string& title);
  bool openWindowed(const std::string& title);
  bool openScaled(const std::string& title);
  bool attachClipperAndOffscreen(int32_t offscreenWidth, int32_t offscreenHeight);
  bool chooseConverter();
  void releaseSurfaces();
  void blitToWindow();
  void paceToRefresh();
  bool clearOffscreen();

  // configuration
  uint8_t ask_ = 0;
  std::string question_ = "Fullscreen Mode ?";
  int32_t windowed_ = 1;
  uint8_t popupStyle_ = 0;
  uint8_t exitOnClose_ = 1;
  std::vector<int32_t> depths_{32, 24, 16};
  bool forceScaled_ = false;

  // platform objects
  HMODULE library_ = nullptr;
  IDirectDraw* directDraw_ = nullptr;
  IDirectDrawSurface* primary_ = nullptr;
  IDirectDrawSurface* lockSurface_ = nullptr;  // back buffer or offscreen_
  IDirectDrawSurface* offscreen_ = nullptr;
  IDirectDrawClipper* clipper_ = nullptr;
  HWND window_ = nullptr;
  std::string className_;
  bool classRegistered_ = false;
  bool displayModeSet_ = false;
  BOOL screenSaverWasActive_ = FALSE;
  bool screenSaverSwitched_ = false;

  Mode mode_ = Mode::Closed;
  const char* failedStep_ = "";
  const char* exclusiveFailedStep_ = "";
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t offscreenWidth_ = 0;
  int32_t offscreenHeight_ = 0;
  PixelFormatKey format_{0, 0, 0, 0};
  PixelConverter converter_ = nullptr;
  FrameScaler scaler_;
  LONGLONG refreshPeriod_ = 0;  // performance-counter ticks per display refresh
  LONGLONG lastFrame_ = 0;      // counter value of the previous frame, 0 = none yet

  // polled input
  int32_t active_ = 0;
  int32_t endRequested_ = 0;
  PolledInput input_;  // keys: the presses only; the system keeps their down state
};

}  // namespace host
