// The display-host contract (tests/host/display_host_contract.h) over the
// headless host and the SDL host on a virtual X server.
#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "host/headless/headless_host.h"
#include "host/sdl/sdl_display_host.h"
#include "tests/host/display_host_contract.h"
#include "tests/host/virtual_screen.h"

namespace host::contract {
namespace {

const std::vector<uint32_t>& grey() {
  static const std::vector<uint32_t> frame(static_cast<std::size_t>(kWidth) * kHeight, 0x00336699);
  return frame;
}

// Scripted events, applied by the next present.
class HeadlessDriver {
 public:
  static constexpr int kDeliver = 1;
  DisplayHost& host() { return host_; }
  bool open() {
    host_.setExitOnClose(0);
    host_.configureStartup(0, "", 0, 0);
    return host_.open("CONTRACT", kWidth, kHeight) == 1;
  }
  void keyDown(int32_t key) { host_.queue(InputEvent::keyDown(key)); }
  void keyUp(int32_t key) { host_.queue(InputEvent::keyUp(key)); }
  void buttonDown() { host_.queue(InputEvent::buttonDown()); }
  void buttonUp() { host_.queue(InputEvent::buttonUp()); }
  void wheel(int32_t delta) { host_.queue(InputEvent::wheel(delta)); }
  void pointTo(int32_t x, int32_t y) { host_.queue(InputEvent::move(x, y)); }
  void present() { host_.present(grey().data()); }
  void settle() {}

 private:
  HeadlessDisplayHost host_;
};

// Events pushed into SDL's queue, as the X server's would arrive.
class SdlDriver {
 public:
  static constexpr int kDeliver = 1;
  DisplayHost& host() { return host_; }
  bool open() {
    EXPECT_TRUE(screen_.up()) << "Xvfb did not start (tools/setup.sh installs it)";
    if (!screen_.up()) return false;
    setenv("SDL_VIDEODRIVER", "x11", 1);
    unsetenv("WAYLAND_DISPLAY");
    host_.setExitOnClose(0);
    host_.configureStartup(0, "", 0, 0);
    if (host_.open("CONTRACT", kWidth, kHeight) != 1) return false;
    // The server's own first events (mapping, focus, the pointer entering)
    // pass before the test's.
    for (int i = 0; i < 5; ++i) {
      present();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    host_.asyncKeyState(kKeyEscape);
    return true;
  }
  void keyDown(int32_t key) { pushKey(key, true); }
  void keyUp(int32_t key) { pushKey(key, false); }
  void buttonDown() { pushButton(true); }
  void buttonUp() { pushButton(false); }
  void wheel(int32_t delta) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = delta / 120;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    push(e);
  }
  // The window pixel whose centre shows frame pixel (x, y) (the window and
  // its surface have one size on the virtual screen).
  void pointTo(int32_t x, int32_t y) {
    const ScreenRect& area = host_.frameArea();
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = area.x + static_cast<int32_t>((2 * int64_t{x} + 1) * area.width / (2 * int64_t{kWidth}));
    e.motion.y = area.y + static_cast<int32_t>((2 * int64_t{y} + 1) * area.height / (2 * int64_t{kHeight}));
    push(e);
  }
  void present() { host_.present(grey().data()); }
  void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

 private:
  static SDL_Keycode keycodeOf(int32_t key) {
    switch (key) {
      case kKeyEscape: return SDLK_ESCAPE;
      case kKeyPageUp: return SDLK_PAGEUP;
      case kKeyPageDown: return SDLK_PAGEDOWN;
      case kKeyEnd: return SDLK_END;
      case kKeyHome: return SDLK_HOME;
      case kKeyUp: return SDLK_UP;
      case kKeyDown: return SDLK_DOWN;
      default: return key >= kKeyF1 && key <= kKeyF12 ? SDLK_F1 + (key - kKeyF1) : SDLK_UNKNOWN;
    }
  }
  void push(SDL_Event e) {
    e.common.timestamp = SDL_GetTicks();
    EXPECT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
  }
  void pushKey(int32_t key, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = keycodeOf(key);
    push(e);
  }
  void pushButton(bool down) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = SDL_BUTTON_LEFT;
    push(e);
  }

  VirtualScreen screen_;  // before the host: it outlives the window
  SdlDisplayHost host_;
};

using Hosts = ::testing::Types<HeadlessDriver, SdlDriver>;
INSTANTIATE_TYPED_TEST_SUITE_P(Native, DisplayHostContract, Hosts);

}  // namespace
}  // namespace host::contract
