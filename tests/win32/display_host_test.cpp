// The Win32 display host on a real window system and DirectDraw (under Wine
// on a virtual X server in CI): the presentation modes and their pixel
// formats, what reaches the screen, and the input the host polls. Input is
// injected with SendInput, which goes through the same system queue as a
// real keyboard and mouse.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/frame_scaler.h"
#include "host/pixel_converters.h"
#include "host/win32/win32_display_host.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

// A frame in which every pixel differs from its neighbours in all channels,
// so a wrong row, column, channel order or truncation shows.
std::vector<uint32_t> testFrame() {
  std::vector<uint32_t> frame(static_cast<size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint32_t r = static_cast<uint32_t>(x * 7 + y) & 0xFF;
      const uint32_t g = static_cast<uint32_t>(y * 5 + x * 3) & 0xFF;
      const uint32_t b = static_cast<uint32_t>(x ^ y) & 0xFF;
      frame[static_cast<size_t>(y) * kWidth + x] = (r << 16) | (g << 8) | b;
    }
  }
  return frame;
}

// The frame as the host's converter writes it, rows without padding.
std::vector<uint8_t> expectedBytes(const std::vector<uint32_t>& frame, const host::PixelFormatKey& format) {
  const host::PixelConverter convert = host::findPixelConverter(format);
  const size_t rowBytes = static_cast<size_t>(kWidth) * static_cast<size_t>(format.bitCount / 8);
  std::vector<uint8_t> bytes(rowBytes * kHeight);
  if (convert == nullptr) return {};
  for (int y = 0; y < kHeight; ++y) convert(frame.data() + static_cast<size_t>(y) * kWidth, bytes.data() + y * rowBytes, kWidth);
  return bytes;
}

// The first of 32, 24 and 16 bits per pixel at which the display offers
// 800 x 600, asked of the window system rather than of DirectDraw.
int32_t firstOfferedDepth() {
  for (int32_t depth : {32, 24, 16}) {
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof mode);
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = kWidth;
    mode.dmPelsHeight = kHeight;
    mode.dmBitsPerPel = static_cast<DWORD>(depth);
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    if (ChangeDisplaySettingsExA(nullptr, &mode, nullptr, CDS_TEST, nullptr) == DISP_CHANGE_SUCCESSFUL) return depth;
  }
  return 0;
}

bool screenIs(int width, int height) {
  return GetSystemMetrics(SM_CXSCREEN) == width && GetSystemMetrics(SM_CYSCREEN) == height;
}

void sendKey(WORD key, bool down) {
  INPUT input;
  std::memset(&input, 0, sizeof input);
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  SendInput(1, &input, sizeof input);
}

void sendMouse(DWORD flags, LONG wheelDelta = 0) {
  INPUT input;
  std::memset(&input, 0, sizeof input);
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.mouseData = static_cast<DWORD>(wheelDelta);
  SendInput(1, &input, sizeof input);
}

// The program's use: no question, full screen, Escape read by the program.
class OpenHost : public ::testing::Test {
 protected:
  void openFullScreen() {
    host_.setExitOnClose(0);
    host_.configureStartup(0, "QUESTION", 0, 1);
    ASSERT_EQ(host_.open("CODED BY TARVOSKELD :-)", kWidth, kHeight), 1) << host_.failedStep();
  }
  // Presents until the injected input has arrived (SendInput is
  // asynchronous towards the window's queue).
  void presentFrames(int count) {
    for (int i = 0; i < count; ++i) {
      host_.present(frame_.data());
      Sleep(5);
    }
  }
  void presentOnce() { host_.present(frame_.data()); }

  std::vector<uint32_t> frame_ = testFrame();
  host::Win32DisplayHost host_;
};

// Tests made for one kind of screen (tests/wine runs each suite on its own):
// on another they fail instead of passing without a look.
class On800x600 : public OpenHost {
 protected:
  void SetUp() override { ASSERT_TRUE(screenIs(kWidth, kHeight)) << "made for an 800 x 600 screen"; }
};
class OnALargerScreen : public OpenHost {
 protected:
  void SetUp() override { ASSERT_FALSE(screenIs(kWidth, kHeight)) << "made for a screen that offers no 800 x 600 mode"; }
};

TEST_F(On800x600, ExclusiveModeShowsTheFrameThroughTheSurfaceFormat) {
  openFullScreen();
  EXPECT_EQ(host_.mode(), host::Win32DisplayHost::Mode::Exclusive) << host_.exclusiveFailedStep();
  EXPECT_EQ(host_.pixelFormat().bitCount, firstOfferedDepth());
  EXPECT_EQ(host_.active(), 1);
  char title[64] = {};
  GetWindowTextA(host_.window(), title, sizeof title);
  EXPECT_STREQ(title, "CODED BY TARVOSKELD :-)");

  ASSERT_EQ(host_.present(frame_.data()), 1);
  std::vector<uint8_t> shown;
  int32_t w = 0, h = 0, rowBytes = 0;
  ASSERT_TRUE(host_.readShownPixels(shown, w, h, rowBytes));
  EXPECT_EQ(w, kWidth);
  EXPECT_EQ(h, kHeight);
  EXPECT_TRUE(shown == expectedBytes(frame_, host_.pixelFormat())) << "the shown frame differs from the converted one";
}

// Each depth the exclusive mode may fall back to: the surface's own format
// picks the converter, and what is shown is that converter's output. A depth
// the display does not offer gives way to the scaled window.
class ExclusiveDepth : public On800x600, public ::testing::WithParamInterface<int32_t> {};

TEST_P(ExclusiveDepth, ShowsTheFrameConverted) {
  host_.setExclusiveDepths({GetParam()});
  openFullScreen();
  if (host_.mode() != host::Win32DisplayHost::Mode::Exclusive && std::string(host_.exclusiveFailedStep()) == "SetDisplayMode") {
    // This display offers no such mode of 800 x 600.
    EXPECT_EQ(host_.mode(), host::Win32DisplayHost::Mode::Scaled);
    EXPECT_NE(host::findPixelConverter(host_.pixelFormat()), nullptr);
    EXPECT_EQ(host_.present(frame_.data()), 1);
    return;
  }
  ASSERT_EQ(host_.mode(), host::Win32DisplayHost::Mode::Exclusive) << host_.exclusiveFailedStep();
  EXPECT_EQ(host_.pixelFormat().bitCount, GetParam());
  ASSERT_NE(host::findPixelConverter(host_.pixelFormat()), nullptr);
  ASSERT_EQ(host_.present(frame_.data()), 1);
  std::vector<uint8_t> shown;
  int32_t w = 0, h = 0, rowBytes = 0;
  ASSERT_TRUE(host_.readShownPixels(shown, w, h, rowBytes));
  EXPECT_TRUE(shown == expectedBytes(frame_, host_.pixelFormat()))
      << "depth " << GetParam() << " red mask " << std::hex << host_.pixelFormat().redMask;
}

INSTANTIATE_TEST_SUITE_P(On800x600Depths, ExclusiveDepth, ::testing::Values(32, 24, 16),
                         [](const ::testing::TestParamInfo<int32_t>& depth) {
                           return "Bits" + std::to_string(depth.param);
                         });

TEST_F(On800x600, APalettisedExclusiveModeGivesWayToTheScaledWindow) {
  host_.setExclusiveDepths({8});
  openFullScreen();
  EXPECT_EQ(host_.mode(), host::Win32DisplayHost::Mode::Scaled);
  const std::string step = host_.exclusiveFailedStep();
  EXPECT_TRUE(step == "pixel format without DDPF_RGB" || step == "pixel format without converter") << step;
  EXPECT_NE(host::findPixelConverter(host_.pixelFormat()), nullptr);
  EXPECT_EQ(host_.present(frame_.data()), 1);
}

TEST_F(OpenHost, WindowedModeBlitsTheFrameIntoAClientAreaOfItsSize) {
  for (const uint8_t popup : {0, 1}) {
    host::Win32DisplayHost host;
    host.setExitOnClose(0);
    host.configureStartup(0, "", 1, popup);
    ASSERT_EQ(host.open("windowed", kWidth, kHeight), 1) << host.failedStep();
    EXPECT_EQ(host.mode(), host::Win32DisplayHost::Mode::Windowed);
    const LONG style = GetWindowLongA(host.window(), GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, popup ? 0 : WS_CAPTION) << "popup " << int(popup);
    // Where the screen has room for it, the client area is exactly the frame.
    if (GetSystemMetrics(SM_CXSCREEN) > kWidth + 50 && GetSystemMetrics(SM_CYSCREEN) > kHeight + 50) {
      RECT client;
      GetClientRect(host.window(), &client);
      EXPECT_EQ(client.right - client.left, kWidth) << "popup " << int(popup);
      EXPECT_EQ(client.bottom - client.top, kHeight) << "popup " << int(popup);
    }
    ASSERT_EQ(host.present(frame_.data()), 1);
    std::vector<uint8_t> shown;
    int32_t w = 0, h = 0, rowBytes = 0;
    ASSERT_TRUE(host.readShownPixels(shown, w, h, rowBytes));
    EXPECT_TRUE(shown == expectedBytes(frame_, host.pixelFormat()));
  }
}

TEST_F(OpenHost, ScaledWindowCoversTheScreenAndMapsThePointerBack) {
  host_.setForceScaled(true);
  openFullScreen();
  ASSERT_EQ(host_.mode(), host::Win32DisplayHost::Mode::Scaled);
  const int32_t sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  RECT client;
  GetClientRect(host_.window(), &client);
  EXPECT_EQ(client.right, sw);
  EXPECT_EQ(client.bottom, sh);
  const host::ScreenRect area = host_.scaledArea();
  const host::ScreenRect fit = host::fitFrame(sw, sh, kWidth, kHeight);
  EXPECT_EQ(area.x, fit.x);
  EXPECT_EQ(area.y, fit.y);
  EXPECT_EQ(area.width, fit.width);
  EXPECT_EQ(area.height, fit.height);
  ASSERT_EQ(host_.present(frame_.data()), 1);

  // The pointer at the frame rectangle's corners and centre reads back as the
  // frame pixels shown there.
  struct Case { int32_t sx, sy; };
  for (const Case c : {Case{area.x, area.y}, Case{area.x + area.width - 1, area.y + area.height - 1},
                       Case{area.x + area.width / 2, area.y + area.height / 2}, Case{0, 0}}) {
    SetCursorPos(c.sx, c.sy);
    presentFrames(6);
    const host::FramePoint p = host::screenToFrame(area, kWidth, kHeight, c.sx, c.sy);
    EXPECT_EQ(host_.mouseX(), p.x) << "screen " << c.sx << "," << c.sy;
    EXPECT_EQ(host_.mouseY(), p.y) << "screen " << c.sx << "," << c.sy;
  }
  if (screenIs(kWidth, kHeight)) {
    std::vector<uint8_t> shown;
    int32_t w = 0, h = 0, rowBytes = 0;
    ASSERT_TRUE(host_.readShownPixels(shown, w, h, rowBytes));
    EXPECT_TRUE(shown == expectedBytes(frame_, host_.pixelFormat())) << "1:1 scaling changed pixels";
  }
}

TEST_F(OnALargerScreen, TheScaledWindowTakesOver) {
  openFullScreen();
  EXPECT_EQ(host_.mode(), host::Win32DisplayHost::Mode::Scaled);
  EXPECT_STRNE(host_.exclusiveFailedStep(), "");
  const host::ScreenRect area = host_.scaledArea();
  EXPECT_GT(area.width, kWidth);  // the test screens are larger than the frame
  ASSERT_EQ(host_.present(frame_.data()), 1);
  // A frame pixel fills its block of the screen: the pixel at the area's
  // centre is the frame's centre pixel, converted.
  std::vector<uint8_t> shown;
  int32_t w = 0, h = 0, rowBytes = 0;
  ASSERT_TRUE(host_.readShownPixels(shown, w, h, rowBytes));
  EXPECT_EQ(w, GetSystemMetrics(SM_CXSCREEN));
  // Black bars stay black.
  if (area.x > 0) {
    for (int32_t y = 0; y < h; y += 37) EXPECT_EQ(shown[static_cast<size_t>(y) * rowBytes], 0) << "row " << y;
  }
}

TEST_F(OpenHost, KeyTappedBetweenTwoQueriesReadsAsPressedOnce) {
  openFullScreen();
  presentFrames(3);
  EXPECT_EQ(host_.asyncKeyState(VK_F5), 0);
  sendKey(VK_F5, true);
  sendKey(VK_F5, false);
  presentFrames(4);
  EXPECT_EQ(static_cast<uint16_t>(host_.asyncKeyState(VK_F5)), 0x8001u);
  EXPECT_EQ(host_.asyncKeyState(VK_F5), 0);
}

TEST_F(OpenHost, KeyHeldReadsPressedOnceThenDownUntilReleased) {
  openFullScreen();
  presentFrames(2);
  sendKey(VK_DOWN, true);
  presentFrames(4);
  EXPECT_EQ(static_cast<uint16_t>(host_.asyncKeyState(VK_DOWN)), 0x8001u);
  presentFrames(2);
  EXPECT_EQ(static_cast<uint16_t>(host_.asyncKeyState(VK_DOWN)), 0x8000u);
  sendKey(VK_DOWN, false);
  presentFrames(4);
  EXPECT_EQ(host_.asyncKeyState(VK_DOWN), 0);
}

TEST_F(OpenHost, EscapeAndCloseRequestsLeaveTheWindowAloneWhenTheProgramHandlesThem) {
  openFullScreen();
  sendKey(VK_ESCAPE, true);
  sendKey(VK_ESCAPE, false);
  PostMessageA(host_.window(), WM_CLOSE, 0, 0);
  presentFrames(4);
  EXPECT_TRUE(IsWindow(host_.window()));
  EXPECT_NE(host_.mode(), host::Win32DisplayHost::Mode::Closed);
  EXPECT_EQ(static_cast<uint16_t>(host_.asyncKeyState(VK_ESCAPE)), 0x8001u);
  EXPECT_EQ(host_.present(frame_.data()), 1);
}

TEST_F(OpenHost, QuickClickBetweenTwoPresentsReadsAsOnePress) {
  openFullScreen();
  presentFrames(2);
  EXPECT_EQ(host_.leftButton(), 0);
  sendMouse(MOUSEEVENTF_LEFTDOWN);
  sendMouse(MOUSEEVENTF_LEFTUP);
  // The press shows in the poll during which it arrived, and only there.
  int pollsDown = 0;
  for (int i = 0; i < 8; ++i) {
    presentOnce();
    pollsDown += host_.leftButton();
    Sleep(5);
  }
  EXPECT_EQ(pollsDown, 1);
}

TEST_F(OpenHost, HeldButtonReadsDownUntilReleased) {
  openFullScreen();
  sendMouse(MOUSEEVENTF_LEFTDOWN);
  presentFrames(4);
  EXPECT_EQ(host_.leftButton(), 1);
  presentFrames(2);
  EXPECT_EQ(host_.leftButton(), 1);
  sendMouse(MOUSEEVENTF_LEFTUP);
  presentFrames(4);
  EXPECT_EQ(host_.leftButton(), 0);
}

TEST_F(OpenHost, WheelNotchesMoveTheCounterByOneWhateverTheirSize) {
  openFullScreen();
  presentFrames(2);
  const int32_t start = host_.wheelPosition();
  sendMouse(MOUSEEVENTF_WHEEL, -WHEEL_DELTA);
  presentFrames(4);
  EXPECT_EQ(host_.wheelPosition(), start - 1);
  sendMouse(MOUSEEVENTF_WHEEL, 3 * WHEEL_DELTA);
  presentFrames(4);
  EXPECT_EQ(host_.wheelPosition(), start);
  // A zero delta counts as a step away from the user.
  PostMessageA(host_.window(), WM_MOUSEWHEEL, MAKEWPARAM(0, 0), 0);
  presentFrames(2);
  EXPECT_EQ(host_.wheelPosition(), start + 1);
}

TEST_F(On800x600, PointerCoordinatesAreUnsigned16BitClientValues) {
  openFullScreen();
  ASSERT_EQ(host_.mode(), host::Win32DisplayHost::Mode::Exclusive);
  SetCursorPos(123, 456);
  presentFrames(6);
  EXPECT_EQ(host_.mouseX(), 123);
  EXPECT_EQ(host_.mouseY(), 456);
  // A position left of and above the client area, as a captured pointer
  // would report it.
  PostMessageA(host_.window(), WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(-3), static_cast<WORD>(-1)));
  presentFrames(2);
  EXPECT_EQ(host_.mouseX(), 65533);
  EXPECT_EQ(host_.mouseY(), 65535);
}

TEST_F(OpenHost, CloseRestoresTheScreenSaverSettingAndCanOpenAgain) {
  BOOL before = FALSE;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &before, 0));
  openFullScreen();
  BOOL during = TRUE;
  SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &during, 0);
  EXPECT_FALSE(during);
  host_.close();
  BOOL after = !before;
  SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &after, 0);
  EXPECT_EQ(after != FALSE, before != FALSE);
  EXPECT_EQ(host_.present(frame_.data()), 0);
  openFullScreen();
  EXPECT_EQ(host_.present(frame_.data()), 1);
}

}  // namespace
