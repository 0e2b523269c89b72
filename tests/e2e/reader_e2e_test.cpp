// The real program on a virtual X server: the window title, leaving the intro
// with Escape, the reader's text area against magtool shot, a menu click, the
// skin key, Escape's exit status, and the exit status without a display.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/child_process.h"
#include "tools/dev/imageio/png.h"

namespace {

using e2e::captureText;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Frame regions compared with the reference frames (inclusive): the text
// area, and the menu's entries with the page switch.
struct Region {
  int left, top, right, bottom;
};
constexpr Region kTextArea{20, 193, 767, 569};
constexpr Region kMenu{146, 60, 645, 120};

using Child = e2e::ChildProcess;

bool onPath(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

class ProgramUnderXvfb : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(onPath("Xvfb")) << "Xvfb is not installed (tools/setup.sh installs it)";
    for (const char* tool : {"xdotool", "import"}) ASSERT_TRUE(onPath(tool)) << tool << " is missing";
    dir_ = fs::temp_directory_path() / ("qv_e2e_" + std::to_string(getpid()));
    fs::create_directories(dir_);
    // A random display number that no server holds.
    std::mt19937 rng(static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 20 && !xvfb_; ++attempt) {
      const int n = 200 + static_cast<int>(rng() % 700);
      if (fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
      display_ = ":";
      display_ += std::to_string(n);  // (":" + a temporary trips a false -Wrestrict in GCC 12)
      xvfb_ = std::make_unique<Child>(
          std::vector<std::string>{"Xvfb", display_, "-screen", "0", "800x600x24", "-nolisten", "tcp", "-noreset"},
          (dir_ / "xvfb.log").string());
      if (!waitFor([&] { return std::system(("DISPLAY=" + display_ + " xdotool getmouselocation >/dev/null 2>&1").c_str()) == 0; },
                   10s)) {
        xvfb_.reset();
      }
    }
    ASSERT_TRUE(xvfb_) << "no Xvfb server came up";
  }

  void TearDown() override {
    program_.reset();
    xvfb_.reset();  // always stops the server
    if (!HasFailure() && !dir_.empty()) fs::remove_all(dir_);
  }

  template <typename F>
  static bool waitFor(F ready, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      if (ready()) return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }

  void startProgram() {
    program_ = std::make_unique<Child>(
        std::vector<std::string>{QV_PROGRAM}, (dir_ / "program.log").string(),
        std::vector<std::string>{"DISPLAY=" + display_, "SDL_AUDIODRIVER=disk",
                                 "SDL_DISKAUDIOFILE=" + (dir_ / "audio.raw").string()});
    ASSERT_TRUE(program_->started());
  }

  static std::string fileText(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  int x(const std::string& args) { return std::system(("DISPLAY=" + display_ + " xdotool " + args).c_str()); }
  std::string xOut(const std::string& args) { return captureText("DISPLAY=" + display_ + " xdotool " + args + " 2>/dev/null"); }

  // Until the program has presented two frames after the call, or has
  // ended: the screen changed twice (the intro, the stripes and the reader's
  // status scroller move every frame). Presenting waits for the X server, so
  // the input poll between the two came after the call, and the second frame
  // acted on what was sent before it.
  bool framesPass() {
    imageio::Image last = screenshot("frames.png");
    for (int change = 0; change < 2; ++change) {
      const bool changed = waitFor([&] {
        if (!program_->running()) return true;
        imageio::Image now = screenshot("frames.png");
        if (now.pixels == last.pixels) return false;
        last = std::move(now);
        return true;
      }, 10s);
      if (!changed) return false;
    }
    return true;
  }

  // A key held, and a left click held, each across frames of the program.
  void key(const std::string& name) {
    x("keydown " + name);
    EXPECT_TRUE(framesPass()) << "the screen stood still with " << name << " down";
    x("keyup " + name);
  }
  void click(int px, int py) {
    x("mousemove " + std::to_string(px) + " " + std::to_string(py));
    EXPECT_TRUE(framesPass()) << "the screen stood still";
    x("mousedown 1");
    EXPECT_TRUE(framesPass()) << "the screen stood still with the button down";
    x("mouseup 1");
    EXPECT_TRUE(framesPass()) << "the screen stood still";
    x("mousemove 5 5");  // the pointer leaves the text area
  }

  imageio::Image screenshot(const std::string& name) {
    const fs::path file = dir_ / name;
    EXPECT_EQ(std::system(("import -display " + display_ + " -window root " + file.string()).c_str()), 0);
    imageio::Image image;
    EXPECT_TRUE(imageio::readPng(file.string(), image)) << file;
    return image;
  }

  imageio::Image reference(const std::string& name, const std::string& options) {
    const fs::path file = dir_ / name;
    EXPECT_EQ(std::system((std::string(QV_MAGTOOL) + " shot " + file.string() + " " + options).c_str()), 0);
    imageio::Image image;
    EXPECT_TRUE(imageio::readPng(file.string(), image)) << file;
    return image;
  }

  // Pixels of a region that differ; the pictures stay in the test's
  // directory for inspection when they do.
  static int regionDifferences(const imageio::Image& shot, const imageio::Image& ref, const Region& r) {
    if (shot.width != 800 || shot.height != 600 || ref.width != 800 || ref.height != 600) return -1;
    int differences = 0;
    for (int y = r.top; y <= r.bottom; ++y) {
      for (int px = r.left; px <= r.right; ++px) {
        const std::size_t i = static_cast<std::size_t>(y) * 800 + static_cast<std::size_t>(px);
        differences += (shot.pixels[i] & 0xFFFFFF) != (ref.pixels[i] & 0xFFFFFF);
      }
    }
    return differences;
  }

  // The frame keeps changing while stripes or a page transition run: take
  // screenshots until the region matches the reference or time runs out,
  // and return the differences of the last one.
  int settledDifferences(const std::string& name, const std::string& options, std::chrono::seconds timeout,
                         const Region& region = kTextArea) {
    const imageio::Image ref = reference(name + "_ref.png", options);
    int differences = -1;
    waitFor([&] { return (differences = regionDifferences(screenshot(name + ".png"), ref, region)) == 0; }, timeout);
    return differences;
  }

  fs::path dir_;
  std::string display_;
  std::unique_ptr<Child> xvfb_;
  std::unique_ptr<Child> program_;
};

TEST_F(ProgramUnderXvfb, TitleIntroReaderMenuSkinAndEscape) {
  startProgram();
  std::string window;
  ASSERT_TRUE(waitFor([&] { return !(window = xOut("search --name 'CODED BY TARVOSKELD'")).empty(); }, 60s))
      << "no window; the program said: " << fileText(dir_ / "program.log");
  EXPECT_EQ(xOut("getwindowname " + window), "CODED BY TARVOSKELD :-)");

  // Stripes, then the intro with its tune; Escape leaves it, the hand-over
  // takes 3 s.
  ASSERT_TRUE(waitFor([&] {
    std::error_code e;
    return fs::file_size(dir_ / "audio.raw", e) > 0 && !e;
  }, 60s)) << "no intro tune; the program said: " << fileText(dir_ / "program.log");
  x("mousemove 5 5");
  key("Escape");
  EXPECT_EQ(settledDifferences("editorial", "--article 11", 30s), 0);
  EXPECT_EQ(program_->waitExit(0ms), -1000) << "the intro's Escape ended the program";

  // CHARTS, then the first slot: the monthly chart (its rules are solid, so
  // the animation clock does not show in the text area).
  click(79, 74);
  EXPECT_EQ(settledDifferences("charts_menu", "--article 11 --page 1", 30s, kMenu), 0);
  click(250, 66);
  EXPECT_EQ(settledDifferences("chart", "--article 1 --page 1", 30s), 0);

  key("F2");
  EXPECT_EQ(settledDifferences("chart_carbon", "--article 1 --page 1 --skin 2", 30s), 0);

  key("Escape");
  EXPECT_EQ(program_->waitExit(5000ms), 0);
  EXPECT_GT(fs::file_size(dir_ / "audio.raw"), 0u) << "no audio reached the device";
}

TEST(ProgramWithoutDisplay, EndsWith255Quickly) {
  const fs::path log = fs::temp_directory_path() / ("qv_e2e_nodisplay_" + std::to_string(getpid()) + ".log");
  Child program({QV_PROGRAM}, log.string(), {"DISPLAY=:9987", "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"});
  ASSERT_TRUE(program.started());
  EXPECT_EQ(program.waitExit(5000ms), 255);
  fs::remove(log);
}

}  // namespace
