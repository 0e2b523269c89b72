// Display faults: a display that cannot be opened ends the program at once
// with status -1 (nothing shown, no sound started, no time spent), and a
// display that offers no 32-bit mode is still used, at 24 or 16 bits, while
// one whose only format has no converter (8-bit palettised) counts as a
// display that cannot be opened. The depths are real X servers (Xvfb) started
// by the test at the depth under test.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "host/headless/fake_looping_audio_output.h"
#include "host/headless/fake_wave_output.h"
#include "host/headless/headless_host.h"
#include "host/common/pixel_converters.h"
#include "host/sdl/sdl_display_host.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;

TEST(UnopenableDisplay, HeadlessHostRefusingToOpenEndsWithMinusOneAtOnce) {
  host::VirtualClock clock;
  host::HeadlessDisplayHost display(&clock, 0.015);
  display.failOpen(true);
  display.setPresentLimit(10);
  host::FakeWaveOutput wave;
  host::FakeLoopingAudioOutput looping;

  EXPECT_EQ(app::runProgram(display, clock, wave, looping), app::kExitNoDisplay);
  EXPECT_EQ(display.openCalls(), 1);
  EXPECT_EQ(display.presentCount(), 0);
  EXPECT_EQ(clock.sleepCalls(), 0);
  EXPECT_EQ(clock.now(), 0.0);
  EXPECT_EQ(wave.callCount("open"), 0);  // no tune was started
  EXPECT_EQ(looping.openCount(), 0);
  EXPECT_TRUE(display.cursorVisible());  // the pointer is hidden only on a display that opened
}

TEST(UnopenableDisplay, SdlHostWithoutAVideoDriverEndsWithMinusOne) {
  setenv("SDL_VIDEODRIVER", "no-such-video-driver", 1);
  host::VirtualClock clock;
  host::SdlDisplayHost display;
  host::FakeWaveOutput wave;
  host::FakeLoopingAudioOutput looping;
  EXPECT_EQ(app::runProgram(display, clock, wave, looping), app::kExitNoDisplay);
  EXPECT_EQ(clock.sleepCalls(), 0);
  EXPECT_EQ(wave.callCount("open"), 0);
  EXPECT_EQ(looping.openCount(), 0);
  unsetenv("SDL_VIDEODRIVER");
}

// An Xvfb of 800 x 600 at one depth, on a display number of its own; ends with
// the test.
class XServer {
 public:
  explicit XServer(int depth) {
    if (!std::filesystem::exists("/usr/bin/Xvfb")) return;
    // A display number nobody uses: no socket and no lock file.
    number_ = 300 + static_cast<int>(getpid() % 400) + depth;
    while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number_)) ||
           std::filesystem::exists("/tmp/.X" + std::to_string(number_) + "-lock")) {
      ++number_;
    }
    std::string display = ":";
    display += std::to_string(number_);
    const std::string screen = "800x600x" + std::to_string(depth);
    std::vector<std::string> argv = {"/usr/bin/Xvfb", display, "-screen", "0", screen, "-nolisten", "tcp", "-noreset"};
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number_);
    for (int i = 0; i < 200 && pid_ > 0 && !std::filesystem::exists(socket); ++i) std::this_thread::sleep_for(25ms);
    // The socket must be our server's: it is still running.
    int status = 0;
    ready_ = pid_ > 0 && std::filesystem::exists(socket) && waitpid(pid_, &status, WNOHANG) == 0;
    if (ready_) {
      setenv("DISPLAY", display.c_str(), 1);
      setenv("SDL_VIDEODRIVER", "x11", 1);
    }
  }
  ~XServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i) std::this_thread::sleep_for(20ms);
      if (waitpid(pid_, &status, WNOHANG) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
      }
    }
    unsetenv("SDL_VIDEODRIVER");
  }
  bool ready() const { return ready_; }

 private:
  pid_t pid_ = -1;
  int number_ = 0;
  bool ready_ = false;
};

// The format the SDL host chooses on a display of each depth, and that a frame
// is then presented.
struct DepthCase {
  int depth;                        // the X server's depth
  int32_t bitCount;                 // bits per pixel in surface memory
  uint32_t redMask, greenMask, blueMask;
};

void PrintTo(const DepthCase& c, std::ostream* os) { *os << "depth " << c.depth; }

class DisplayDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(DisplayDepth, HostFallsBackToAFormatItCanFill) {
  const DepthCase c = GetParam();
  XServer server(c.depth);
  ASSERT_TRUE(server.ready()) << "Xvfb did not start (tools/setup.sh installs it)";
  host::SdlDisplayHost display;
  display.setExitOnClose(0);
  display.configureStartup(0, "", 0, 1);
  ASSERT_EQ(display.open("CODED BY TARVOSKELD :-)", 800, 600), 1);
  const host::PixelFormatKey& key = display.pixelFormat();
  EXPECT_EQ(key.bitCount, c.bitCount);
  EXPECT_EQ(key.redMask, c.redMask);
  EXPECT_EQ(key.greenMask, c.greenMask);
  EXPECT_EQ(key.blueMask, c.blueMask);
  EXPECT_NE(host::findPixelConverter(key), nullptr);
  const std::vector<uint32_t> frame(800 * 600, 0x00C08040);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(display.present(frame.data()), 1);
  display.close();
}

INSTANTIATE_TEST_SUITE_P(
    Depths, DisplayDepth,
    ::testing::Values(
        // depth  bits  red       green   blue      what the display offers
        DepthCase{24, 32, 0xFF0000, 0xFF00, 0xFF},  // 24-bit colour in 32-bit pixels
        DepthCase{16, 16, 0xF800, 0x7E0, 0x1F},    // no 32 or 24 bits: 5-6-5
        DepthCase{15, 16, 0x7C00, 0x3E0, 0x1F}),   // 5-5-5
    [](const ::testing::TestParamInfo<DepthCase>& p) { return "Depth" + std::to_string(p.param.depth); });

TEST(UnopenableDisplay, PalettisedDisplayEndsTheProgramWithMinusOne) {
  XServer server(8);
  ASSERT_TRUE(server.ready()) << "Xvfb did not start (tools/setup.sh installs it)";
  host::VirtualClock clock;
  host::SdlDisplayHost display;
  host::FakeWaveOutput wave;
  host::FakeLoopingAudioOutput looping;
  EXPECT_EQ(app::runProgram(display, clock, wave, looping), app::kExitNoDisplay);
  EXPECT_EQ(wave.callCount("open"), 0);
}

}  // namespace
