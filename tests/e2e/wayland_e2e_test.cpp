// The real program on a Wayland compositor: weston with its X11 back end,
// shown in an Xvfb screen of its own (weston's headless back end gives SDL
// an output it cannot start on). The program draws its frame there as on X
// (an 800 x 600 output: pixel for pixel as magtool shows it), takes clicks,
// and ends with status 3 and its one line when the compositor goes away.
// X servers on display numbers 40..49.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/child_process.h"
#include "tools/dev/imageio/png.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using e2e::capture;
using e2e::ChildProcess;
using e2e::waitFor;

std::string fileText(const fs::path& file) {
  std::ifstream in(file);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The text area of the reader, where nothing animates at rest.
constexpr int kLeft = 20, kTop = 193, kRight = 767, kBottom = 569;

class ProgramUnderXvfbOnWayland : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "weston", "xdotool", "xwd", "convert"}) {
      ASSERT_EQ(std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()), 0) << tool << " is needed";
    }
    dir_ = fs::temp_directory_path() / ("qv_wayland_" + std::to_string(getpid()));
    runtime_ = dir_ / "runtime";
    fs::create_directories(runtime_);
    chmod(runtime_.c_str(), 0700);
    for (int n = 40; n <= 49 && !xvfb_; ++n) {
      if (fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
      display_ = ":";
      display_ += std::to_string(n);  // (not ":" + ...: GCC 12 warns of a false overlap there)
      xvfb_ = std::make_unique<ChildProcess>(
          std::vector<std::string>{"Xvfb", display_, "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
          (dir_ / "xvfb.log").string());
      if (!waitFor([&] { return !xvfb_->running() || x("getmouselocation >/dev/null 2>&1") == 0; }, 10s) ||
          !xvfb_->running()) {
        xvfb_.reset();
      }
    }
    ASSERT_TRUE(xvfb_) << "no X server for weston";
    startCompositor();
  }
  void TearDown() override {
    program_.reset();
    weston_.reset();
    xvfb_.reset();
    if (!HasFailure()) fs::remove_all(dir_);
  }

  // weston's window sits at the X screen's origin (no window manager), its
  // output 800 x 600.
  void startCompositor() {
    weston_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"weston", "--backend=x11-backend.so", "--socket=qv-wayland", "--width=800",
                                 "--height=600", "--idle-time=0", "--no-config"},
        (dir_ / "weston.log").string(), std::vector<std::string>{"DISPLAY=" + display_, "XDG_RUNTIME_DIR=" + runtime_.string()},
        std::vector<std::string>{"WAYLAND_DISPLAY"});
    ASSERT_TRUE(waitFor([&] { return !weston_->running() || fs::exists(runtime_ / "qv-wayland"); }, 60s) &&
                weston_->running())
        << "weston did not start: " << fileText(dir_ / "weston.log");
  }

  std::unique_ptr<ChildProcess> startProgram(const std::string& tag, const std::string& socket = "qv-wayland") {
    return std::make_unique<ChildProcess>(
        std::vector<std::string>{QV_PROGRAM}, (dir_ / (tag + ".log")).string(),
        std::vector<std::string>{"WAYLAND_DISPLAY=" + socket, "SDL_VIDEODRIVER=wayland", "SDL_AUDIODRIVER=dummy",
                                 "XDG_RUNTIME_DIR=" + runtime_.string()},
        std::vector<std::string>{"DISPLAY"});
  }

  int x(const std::string& args) const { return std::system(("DISPLAY=" + display_ + " xdotool " + args).c_str()); }

  // The X screen's top-left 800 x 600: weston's output.
  std::vector<uint32_t> shot() const {
    const std::string rgb =
        capture("xwd -root -silent -display " + display_ + " | convert xwd:- -crop 800x600+0+0 -depth 8 rgb:-");
    std::vector<uint32_t> pixels;
    if (rgb.size() != 800u * 600u * 3u) return pixels;
    pixels.resize(800u * 600u);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      pixels[i] = static_cast<uint32_t>(static_cast<uint8_t>(rgb[3 * i])) << 16 |
                  static_cast<uint32_t>(static_cast<uint8_t>(rgb[3 * i + 1])) << 8 |
                  static_cast<uint32_t>(static_cast<uint8_t>(rgb[3 * i + 2]));
    }
    return pixels;
  }

  std::vector<uint32_t> reference(const std::string& options) const {
    const fs::path file = dir_ / "reference.png";
    imageio::Image image;
    std::vector<uint32_t> pixels;
    if (std::system((std::string(QV_MAGTOOL) + " shot " + file.string() + " " + options).c_str()) == 0 &&
        imageio::readPng(file.string(), image) && image.width == 800 && image.height == 600) {
      for (uint32_t v : image.pixels) pixels.push_back(v & 0xFFFFFF);
    }
    return pixels;
  }

  static int textAreaDifferences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != 800u * 600u || b.size() != 800u * 600u) return -1;
    int n = 0;
    for (int y = kTop; y <= kBottom; ++y) {
      for (int px = kLeft; px <= kRight; ++px) n += a[static_cast<std::size_t>(y) * 800 + px] != b[static_cast<std::size_t>(y) * 800 + px];
    }
    return n;
  }

  fs::path dir_, runtime_;
  std::string display_;
  std::unique_ptr<ChildProcess> xvfb_;
  std::unique_ptr<ChildProcess> weston_;  // after the X server: stopped first
  std::unique_ptr<ChildProcess> program_;
};

TEST_F(ProgramUnderXvfbOnWayland, DrawsTheReaderAndEndsWithStatus3WhenTheCompositorGoes) {
  program_ = startProgram("program");
  const std::vector<uint32_t> editorial = reference("--article 11");
  ASSERT_FALSE(editorial.empty());
  // The stripes or the intro first: the program's surface is up and covers
  // the output (weston's own desktop is black but for its panel along the
  // top, about 26000 pixels). Then a click on it opens the reader, made low
  // on the output: a click that came before the surface would otherwise hit
  // the panel's terminal launcher in the top-left corner. A click may still
  // come before the surface has the pointer: a few tries, each from a new
  // place, so that the compositor sees the pointer move onto the surface.
  std::vector<uint32_t> last;
  const auto lit = [&] {
    last = shot();
    return std::count_if(last.begin(), last.end(), [](uint32_t p) { return (p & 0xFFFFFF) != 0; }) > 100000;
  };
  ASSERT_TRUE(waitFor(lit, 60s)) << "the program showed nothing; it said: " << fileText(dir_ / "program.log");
  bool reader = false;
  for (int attempt = 0; attempt < 5 && !reader && program_->running(); ++attempt) {
    x("mousemove " + std::to_string(400 + 4 * attempt) + " 590 click 1");
    reader = waitFor([&] { return textAreaDifferences(last = shot(), editorial) == 0; }, 20s);
  }
  if (!reader && last.size() == 800u * 600u) imageio::writePng((dir_ / "last_shot.png").string(), last.data(), 800, 600);
  ASSERT_TRUE(reader) << "the reader was not shown pixel for pixel (the last picture: " << (dir_ / "last_shot.png").string()
                      << "); the program said: " << fileText(dir_ / "program.log");

  ::kill(weston_->pid(), SIGTERM);
  EXPECT_EQ(program_->waitExit(15000ms), 3) << fileText(dir_ / "program.log");
  EXPECT_NE(fileText(dir_ / "program.log").find("quorvaline: the connection to the display was lost"), std::string::npos)
      << fileText(dir_ / "program.log");
}

TEST_F(ProgramUnderXvfbOnWayland, ACompositorThatIsNotThereIsNoDisplay) {
  program_ = startProgram("absent", "qv-no-such-compositor");
  EXPECT_EQ(program_->waitExit(15000ms), 255);
  const std::string said = fileText(dir_ / "absent.log");
  EXPECT_NE(said.find("quorvaline: no display: "), std::string::npos) << said;
  EXPECT_NE(said.find("WAYLAND_DISPLAY=qv-no-such-compositor"), std::string::npos) << said;
}

}  // namespace
