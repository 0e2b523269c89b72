// The SDL display host on SDL's x11 video driver and a virtual X server of
// 800 x 600 (the host refuses SDL's dummy and offscreen drivers): opening,
// presenting into the window's own surface, a surface of another size showing
// the whole frame scaled, pacing to the refresh rate, and the mapping of SDL
// events to the polled input state (SDL key codes, wheel directions, keypad
// keys; the rules every host keeps are display_host_contract_test.cpp's).
#include "host/sdl/sdl_display_host.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/host/virtual_screen.h"

namespace host {
namespace {

class SdlHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(screen_.up()) << "Xvfb did not start (tools/setup.sh installs it)";
    setenv("SDL_VIDEODRIVER", "x11", 1);
    unsetenv("WAYLAND_DISPLAY");
    ASSERT_EQ(host_.open("CODED BY TARVOSKELD :-)", 800, 600), 1) << SDL_GetError();
    settle();
  }
  void TearDown() override { host_.close(); }

  // Lets the server's own first events (mapping, focus, the pointer entering)
  // pass before a test pushes its own.
  void settle() {
    for (int i = 0; i < 5; ++i) {
      host_.present(frame_.data());
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    host_.asyncKeyState(kKeyEscape);
  }

  void push(SDL_Event e) {
    e.common.timestamp = SDL_GetTicks();
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
  }
  void pushKey(SDL_Keycode key, bool down, bool repeat = false, SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN,
               uint16_t mod = 0) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.sym = key;
    e.key.keysym.scancode = scancode;
    e.key.keysym.mod = mod;
    push(e);
  }
  void pushButton(bool down) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = SDL_BUTTON_LEFT;
    push(e);
  }
  void pushWheel(int32_t x, int32_t y, uint32_t direction = SDL_MOUSEWHEEL_NORMAL) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.x = x;
    e.wheel.y = y;
    e.wheel.direction = direction;
    push(e);
  }
  void present() { EXPECT_EQ(host_.present(frame_.data()), 1); }

  VirtualScreen screen_;  // before the host: it outlives the window
  SdlDisplayHost host_;
  std::vector<uint32_t> frame_ = std::vector<uint32_t>(800 * 600, 0x00336699);
};

TEST_F(SdlHostTest, OpensWithAConvertibleFormatAndPresents) {
  EXPECT_NE(findPixelConverter(host_.pixelFormat()), nullptr);
  present();
  present();
}

// A frame whose every pixel tells its position apart: x in the low bits, y
// in the middle ones, and a top byte that only the plain copy keeps.
std::vector<uint32_t> positionFrame(int32_t width, int32_t height) {
  std::vector<uint32_t> frame(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      frame[static_cast<std::size_t>(y) * width + x] =
          (static_cast<uint32_t>(y & 0xF) << 28) | (static_cast<uint32_t>(y) << 12) | static_cast<uint32_t>(x);
    }
  }
  return frame;
}

// The 32-bit word at (x, y) of a surface, read with the surface's pitch.
uint32_t surfaceWord(const SDL_Surface* surface, int32_t x, int32_t y) {
  uint32_t word = 0;
  std::memcpy(&word, static_cast<const uint8_t*>(surface->pixels) + static_cast<std::size_t>(y) * surface->pitch + 4 * x, 4);
  return word;
}

TEST_F(SdlHostTest, FrameReachesTheWindowSurfaceConverted) {
  // The exclusive 800 x 600 mode's surface is 32-bit with red in the high
  // byte: the plain-copy format, so every surface word is the frame's pixel,
  // top byte included.
  //   frame pixel   surface word
  //   0x00336699    0x00336699
  //   0xA0123456    0xA0123456
  SDL_Surface* surface = SDL_GetWindowSurface(host_.window());
  ASSERT_NE(surface, nullptr) << SDL_GetError();
  const PixelFormatKey expectedKey{32, 0xFF0000, 0xFF00, 0xFF};
  if (surface->format->BytesPerPixel != 4 || surface->format->Rmask != expectedKey.redMask ||
      surface->format->Gmask != expectedKey.greenMask || surface->format->Bmask != expectedKey.blueMask) {
    GTEST_SKIP() << "this server's window surface is not 32-bit with red high";
  }
  EXPECT_EQ(host_.pixelFormat().bitCount, expectedKey.bitCount);
  EXPECT_EQ(host_.pixelFormat().redMask, expectedKey.redMask);
  EXPECT_EQ(host_.pixelFormat().blueMask, expectedKey.blueMask);
  ASSERT_EQ(surface->w, 800);
  ASSERT_EQ(surface->h, 600);

  frame_[0] = 0x00336699;
  frame_[1] = 0xA0123456;
  EXPECT_EQ(host_.present(frame_.data()), 1);
  EXPECT_EQ(surfaceWord(surface, 0, 0), 0x00336699u);
  EXPECT_EQ(surfaceWord(surface, 1, 0), 0xA0123456u);

  frame_ = positionFrame(800, 600);
  EXPECT_EQ(host_.present(frame_.data()), 1);
  int mismatches = 0;
  for (int32_t y = 0; y < 600; ++y) {
    for (int32_t x = 0; x < 800; ++x) {
      if (surfaceWord(surface, x, y) != frame_[static_cast<std::size_t>(y) * 800 + x] && ++mismatches <= 5) {
        ADD_FAILURE() << "pixel " << x << "," << y;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST_F(SdlHostTest, ASurfaceOfAnotherSizeShowsTheWholeFrameScaled) {
  // A window of 1000 x 700 (windowed, resized): the frame fills 933 x 700
  // from x = 33, its corner pixels exactly at the area's corners, black bars
  // either side (the scaled path drops the top byte).
  //   surface pixel | shows
  //   (33, 0)       | frame (0, 0)
  //   (965, 699)    | frame (799, 599)
  //   (32, 350)     | black bar
  //   (966, 350)    | black bar
  host_.close();
  host_.configureStartup(0, "", 1, 0);
  ASSERT_EQ(host_.open("CODED BY TARVOSKELD :-)", 800, 600), 1) << SDL_GetError();
  frame_ = positionFrame(800, 600);
  const auto at = [&](int32_t x, int32_t y) { return frame_[static_cast<std::size_t>(y) * 800 + x] & 0xFFFFFF; };
  SDL_SetWindowSize(host_.window(), 1000, 700);
  SDL_Surface* large = nullptr;
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(host_.present(frame_.data()), 1);
    large = SDL_GetWindowSurface(host_.window());
    if (large != nullptr && large->w == 1000 && large->h == 700) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_NE(large, nullptr) << SDL_GetError();
  ASSERT_EQ(large->w, 1000);
  ASSERT_EQ(large->h, 700);
  ASSERT_EQ(large->format->BytesPerPixel, 4);
  EXPECT_EQ(host_.frameArea().x, 33);
  EXPECT_EQ(host_.frameArea().width, 933);
  EXPECT_EQ(host_.frameArea().height, 700);
  EXPECT_EQ(surfaceWord(large, 33, 0) & 0xFFFFFF, at(0, 0));
  EXPECT_EQ(surfaceWord(large, 965, 699) & 0xFFFFFF, at(799, 599));
  EXPECT_EQ(surfaceWord(large, 32, 350), 0u);
  EXPECT_EQ(surfaceWord(large, 966, 350), 0u);
  EXPECT_EQ(surfaceWord(large, 0, 0), 0u);

  // The pointer maps back through the same area and clamps in the bars.
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.x = 965;
  motion.motion.y = 699;
  push(motion);
  host_.present(frame_.data());
  EXPECT_EQ(host_.mouseX(), 799);
  EXPECT_EQ(host_.mouseY(), 599);
  motion.motion.x = 10;
  motion.motion.y = 350;
  push(motion);
  host_.present(frame_.data());
  EXPECT_EQ(host_.mouseX(), 0);
  EXPECT_EQ(host_.mouseY(), 300);
}

TEST_F(SdlHostTest, PresentPacesToTheRefreshRate) {
  // Without vertical sync the host waits for the next refresh boundary, so
  // back-to-back presents come one refresh period apart. Only a lower bound
  // is checked: a loaded machine may make them slower, never faster.
  ASSERT_GT(host_.refreshRate(), 0);
  const double period = 1.0 / host_.refreshRate();
  present();  // the frame the next ones are counted from
  const Uint64 start = SDL_GetPerformanceCounter();
  present();
  present();
  present();
  const double elapsed =
      static_cast<double>(SDL_GetPerformanceCounter() - start) / static_cast<double>(SDL_GetPerformanceFrequency());
  EXPECT_GE(elapsed, 2.5 * period) << "refresh rate " << host_.refreshRate();
}

TEST_F(SdlHostTest, PointerAndLeftButtonFollowTheEvents) {
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.x = 321;
  motion.motion.y = 123;
  push(motion);
  SDL_Event down{};
  down.type = SDL_MOUSEBUTTONDOWN;
  down.button.button = SDL_BUTTON_LEFT;
  down.button.x = 5;  // button events do not move the pointer
  push(down);
  present();
  EXPECT_EQ(host_.mouseX(), 321);
  EXPECT_EQ(host_.mouseY(), 123);
  EXPECT_EQ(host_.leftButton(), 1);
  SDL_Event right{};
  right.type = SDL_MOUSEBUTTONUP;
  right.button.button = SDL_BUTTON_RIGHT;
  push(right);
  present();
  EXPECT_EQ(host_.leftButton(), 1);  // the right button changes nothing
  SDL_Event up{};
  up.type = SDL_MOUSEBUTTONUP;
  up.button.button = SDL_BUTTON_LEFT;
  push(up);
  present();
  EXPECT_EQ(host_.leftButton(), 0);
}

TEST_F(SdlHostTest, WheelCountsOneStepPerEvent) {
  // event (x, y, direction)      | counter
  // (0, +3, normal)  away        |  1
  // (0, -1, normal)  towards     |  0
  // (0, -2, normal)  towards     | -1
  // (0,  0, normal)  zero: away  |  0
  // (0, +1, flipped) towards     | -1
  // (2,  0, normal)  sideways    | -1 (not a notch)
  pushWheel(0, 3);
  present();
  EXPECT_EQ(host_.wheelPosition(), 1);
  pushWheel(0, -1);
  pushWheel(0, -2);
  present();
  EXPECT_EQ(host_.wheelPosition(), -1);
  pushWheel(0, 0);
  present();
  EXPECT_EQ(host_.wheelPosition(), 0);
  pushWheel(0, 1, SDL_MOUSEWHEEL_FLIPPED);
  pushWheel(2, 0);
  present();
  EXPECT_EQ(host_.wheelPosition(), -1);
}

TEST_F(SdlHostTest, KeysMapToVirtualKeyCodesWithPressAndHeldBits) {
  // SDL key -> virtual key
  const std::pair<SDL_Keycode, int32_t> keys[] = {
      {SDLK_ESCAPE, 27}, {SDLK_PAGEUP, 33}, {SDLK_PAGEDOWN, 34}, {SDLK_END, 35}, {SDLK_HOME, 36},
      {SDLK_UP, 38},     {SDLK_DOWN, 40},   {SDLK_F1, 112},      {SDLK_F5, 116}, {SDLK_F12, 123},
  };
  host_.setExitOnClose(0);
  for (const auto& [sdlKey, vk] : keys) {
    pushKey(sdlKey, true);
    present();
    EXPECT_EQ(host_.asyncKeyState(vk), kKeyPressedNow) << vk;
    pushKey(sdlKey, true, /*repeat=*/true);  // auto-repeat is not a new press
    present();
    EXPECT_EQ(static_cast<uint16_t>(host_.asyncKeyState(vk)), 0x8000) << vk;
    pushKey(sdlKey, false);
    present();
    EXPECT_EQ(host_.asyncKeyState(vk), 0) << vk;
  }
  pushKey(SDLK_a, true);
  present();
  for (int vk = 0; vk < 256; ++vk) EXPECT_EQ(host_.asyncKeyState(vk), 0) << vk;
}

TEST_F(SdlHostTest, KeypadNavigationKeysAreTheMainBlocksWhileNumLockIsOff) {
  // keypad key (scancode) | NumLock off | NumLock on
  //   9                   | PgUp 33     | nothing
  //   3                   | PgDn 34     | nothing
  //   1, 7                | End, Home   | nothing
  //   8, 2                | Up, Down    | nothing
  const std::pair<SDL_Scancode, int32_t> keys[] = {
      {SDL_SCANCODE_KP_9, 33}, {SDL_SCANCODE_KP_3, 34}, {SDL_SCANCODE_KP_1, 35},
      {SDL_SCANCODE_KP_7, 36}, {SDL_SCANCODE_KP_8, 38}, {SDL_SCANCODE_KP_2, 40},
  };
  for (const auto& [scancode, vk] : keys) {
    pushKey(SDLK_UNKNOWN, true, false, scancode);
    present();
    EXPECT_EQ(host_.asyncKeyState(vk), kKeyPressedNow) << vk;
    pushKey(SDLK_UNKNOWN, false, false, scancode, KMOD_NUM);  // goes up as the key it went down as
    present();
    EXPECT_EQ(host_.asyncKeyState(vk), 0) << vk;
    pushKey(SDLK_UNKNOWN, true, false, scancode, KMOD_NUM);
    present();
    EXPECT_EQ(host_.asyncKeyState(vk), 0) << "NumLock on: " << vk;
    pushKey(SDLK_UNKNOWN, false, false, scancode, KMOD_NUM);
    present();
  }
}

TEST_F(SdlHostTest, CloseRequestAndEscapeAreIgnoredWhileExitOnCloseIsZero) {
  host_.setExitOnClose(0);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  push(quit);
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  push(close);
  pushKey(SDLK_ESCAPE, true);
  present();
  present();
  EXPECT_EQ(host_.asyncKeyState(kKeyEscape), kKeyPressedNow);  // still up, and the app sees Escape
}

TEST_F(SdlHostTest, CloseRequestEndsTheProcessWhenExitOnCloseIsSet) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        host_.setExitOnClose(1);
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
        host_.present(frame_.data());
        std::exit(3);  // not reached
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(SdlHostTest, InactiveWindowOnlyPumpsEvents) {
  SDL_Event lost{};
  lost.type = SDL_WINDOWEVENT;
  lost.window.event = SDL_WINDOWEVENT_MINIMIZED;
  push(lost);
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.x = 9;
  motion.motion.y = 8;
  push(motion);
  present();  // returns 1 without drawing
  EXPECT_EQ(host_.mouseX(), 9);
  SDL_Event back{};
  back.type = SDL_WINDOWEVENT;
  back.window.event = SDL_WINDOWEVENT_RESTORED;
  push(back);
  present();
}

TEST(SdlHostOpen, FailsWithoutAUsableVideoDriver) {
  // A named display, but a driver that does not exist or shows nobody
  // anything: open fails. No display named at all fails too.
  setenv("DISPLAY", ":9985", 1);
  for (const char* driver : {"no-such-driver", "dummy", "offscreen"}) {
    setenv("SDL_VIDEODRIVER", driver, 1);
    SdlDisplayHost host;
    EXPECT_EQ(host.open("T", 800, 600), 0) << driver;
    host.present(nullptr);  // harmless on a closed host
  }
  unsetenv("SDL_VIDEODRIVER");
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  SdlDisplayHost host;
  EXPECT_EQ(host.open("T", 800, 600), 0);
}

}  // namespace
}  // namespace host
