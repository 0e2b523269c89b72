// The display-host contract (tests/host/display_host_contract.h) over the
// Win32 host, its input sent through the system's input queue (SendInput,
// SetCursorPos) as a keyboard and mouse would.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/win32/win32_display_host.h"
#include "tests/host/display_host_contract.h"

namespace host::contract {
namespace {

class Win32Driver {
 public:
  // SendInput reaches the window's queue asynchronously.
  static constexpr int kDeliver = 6;
  DisplayHost& host() { return host_; }
  bool open() {
    host_.setExitOnClose(0);
    host_.configureStartup(0, "QUESTION", 0, 1);
    return host_.open("CONTRACT", kWidth, kHeight) == 1;
  }
  void keyDown(int32_t key) { sendKey(key, true); }
  void keyUp(int32_t key) { sendKey(key, false); }
  void buttonDown() { sendMouse(MOUSEEVENTF_LEFTDOWN); }
  void buttonUp() { sendMouse(MOUSEEVENTF_LEFTUP); }
  void wheel(int32_t delta) { sendMouse(MOUSEEVENTF_WHEEL, delta); }
  // The screen pixel whose centre shows frame pixel (x, y): the frame's
  // rectangle in the scaled window, the whole screen in exclusive mode.
  void pointTo(int32_t x, int32_t y) {
    const ScreenRect area =
        host_.mode() == Win32DisplayHost::Mode::Scaled ? host_.scaledArea() : ScreenRect{0, 0, kWidth, kHeight};
    SetCursorPos(area.x + static_cast<int>((2 * int64_t{x} + 1) * area.width / (2 * int64_t{kWidth})),
                 area.y + static_cast<int>((2 * int64_t{y} + 1) * area.height / (2 * int64_t{kHeight})));
  }
  void present() {
    host_.present(frame_.data());
    Sleep(5);
  }
  void settle() { Sleep(60); }

 private:
  static void sendKey(int32_t key, bool down) {
    INPUT input;
    std::memset(&input, 0, sizeof input);
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(key);
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
  }
  static void sendMouse(DWORD flags, LONG wheelDelta = 0) {
    INPUT input;
    std::memset(&input, 0, sizeof input);
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.mouseData = static_cast<DWORD>(wheelDelta);
    SendInput(1, &input, sizeof input);
  }

  std::vector<uint32_t> frame_ = std::vector<uint32_t>(static_cast<std::size_t>(kWidth) * kHeight, 0x00336699);
  Win32DisplayHost host_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, DisplayHostContract, ::testing::Types<Win32Driver>);

}  // namespace
}  // namespace host::contract
