// SdlDisplayHost: the real window over SDL2, full screen at the frame's size.
//
// `open` picks a display mode of the frame's size at 32, then 24, then 16 bits
// per pixel whose format has a PixelConverter, creates a full-screen window
// and a renderer (with VSync where offered) and a streaming texture in exactly
// that format. `present` pumps every pending SDL event into the polled input
// state, then (while the window is active) locks the texture, converts the
// frame row by row with the locked pitch, unlocks, copies and presents.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "host/display_host.h"
#include "host/pixel_converters.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
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

  // The format chosen by `open` (bits 0 before a successful open).
  const PixelFormatKey& pixelFormat() const { return format_; }

 private:
  void pumpEvents();
  void handleEvent(const SDL_Event& event);
  void requestClose();
  void setKey(int32_t virtualKey, bool down);

  uint8_t ask_ = 0;
  std::string question_ = "Fullscreen Mode ?";
  int32_t windowed_ = 1;
  uint8_t popup_ = 0;
  uint8_t exitOnClose_ = 1;

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  bool videoStarted_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
  PixelFormatKey format_{0, 0, 0, 0};
  PixelConverter converter_ = nullptr;
  int32_t active_ = 0;

  int32_t mouseX_ = 0;
  int32_t mouseY_ = 0;
  int32_t left_ = 0;
  int32_t wheel_ = 0;
  std::array<uint8_t, 256> keyDown_{};
  std::array<uint8_t, 256> keyPressed_{};
};

}  // namespace host
