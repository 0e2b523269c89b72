// SdlDisplayHost: the real window over SDL2, full screen at the frame's size.
//
// `open` picks a display mode of the frame's size at 32, then 24, then 16 bits
// per pixel whose format has a PixelConverter, creates a full-screen window and
// takes the window's own surface (plain memory in the display's format: no
// renderer, no texture, no GL), choosing the converter from that surface's
// format. `present` pumps every pending SDL event into the polled input state,
// then (while the window is active) locks the surface where SDL asks for it,
// converts the frame row by row with the surface's pitch, unlocks and updates
// the window. A window surface has no vertical sync, so `present` then paces
// itself to the display's refresh: a frame shown less than one refresh period
// after the previous one waits for the next refresh boundary.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "host/display_host.h"
#include "host/pixel_converters.h"

struct SDL_Window;
struct SDL_Surface;
union SDL_Event;

namespace host {

class SdlDisplayHost final : public DisplayHost {
 public:
  SdlDisplayHost() = default;
  ~SdlDisplayHost() override;
  SdlDisplayHost(const SdlDisplayHost&) = delete;
  SdlDisplayHost& operator=(const SdlDisplayHost&) = delete;

  void configureStartup(uint8_t ask, const std::string& question, int32_t windowed, uint8_t popup) override;
  void setExitOnClose(uint8_t flag) override { exitOnClose_ = flag; }
  int32_t open(const std::string& title, int32_t width, int32_t height) override;
  int32_t present(const uint32_t* pixels) override;
  void close() override;
  int32_t mouseX() override { return mouseX_; }
  int32_t mouseY() override { return mouseY_; }
  int32_t leftButton() override { return left_; }
  int32_t wheelPosition() override { return wheel_; }
  int16_t asyncKeyState(int32_t virtualKey) override;
  void showCursor(bool visible) override;

  // The format of the surface being filled (bits 0 before a successful open).
  const PixelFormatKey& pixelFormat() const { return format_; }
  // The display's refresh rate that `present` paces to, in Hz (60 when the
  // display does not say; 0 before a successful open).
  int32_t refreshRate() const { return refreshRate_; }
  // The host's window, for tests that look at what reached it (null when closed).
  SDL_Window* window() const { return window_; }

 private:
  void pumpEvents();
  void handleEvent(const SDL_Event& event);
  void requestClose();
  void setKey(int32_t virtualKey, bool down);
  bool takeSurface();
  void paceToRefresh();

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
  int32_t active_ = 0;

  int32_t refreshRate_ = 0;
  uint64_t refreshPeriod_ = 0;  // performance-counter ticks per refresh
  uint64_t lastFrame_ = 0;      // counter value of the previous frame, 0 = none yet

  int32_t mouseX_ = 0;
  int32_t mouseY_ = 0;
  int32_t left_ = 0;
  int32_t wheel_ = 0;
  std::array<uint8_t, 256> keyDown_{};
  std::array<uint8_t, 256> keyPressed_{};
};

}  // namespace host
