// The real program on virtual screens of many sizes, with and without a window
// manager (openbox): the whole frame shown (scaled where 800 x 600 is not
// offered, between black bars), equal to magtool shot scaled the same way and
// close to it when scaled back; quick clicks (xdotool click) leaving the intro
// and on CHARTS where it is drawn; a thumb drag past the frame's bottom edge. On 1920 x 1080 with openbox: keypad keys against the
// main block's, a button or Escape held at launch, and the CPU share while
// minimised. Without a usable display: exit status 255 at once, no sound.
//
// One X server per screen size, on display numbers 20..29. Every wait ends
// as soon as what it waits for shows; the limits are for a machine shared
// with builds, where the program may take many seconds to start.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/common/frame_scaler.h"
#include "host/common/pixel_converters.h"
#include "tests/e2e/child_process.h"
#include "tools/dev/imageio/png.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kFrameW = 800, kFrameH = 600;
// Frame regions compared with the reference (inclusive): the text area, and
// the menu's entries with the page switch.
struct Region {
  int left, top, right, bottom;
};
constexpr Region kTextArea{20, 193, 767, 569};
constexpr Region kMenu{146, 60, 645, 120};

using e2e::captureText;
using e2e::ChildProcess;
using e2e::waitFor;

bool onPath(const std::string& tool) { return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0; }

int channelDistance(uint32_t a, uint32_t b) {
  int d = 0;
  for (int s : {0, 8, 16}) d = std::max(d, std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)));
  return d;
}

// A virtual screen of one size, the program on it, and openbox on demand.
class Screen {
 public:
  Screen(int width, int height, int depth, const fs::path& dir) : width_(width), height_(height), dir_(dir) {
    for (int n = 20; n <= 29 && !server_; ++n) {
      if (fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
      display_ = ":" + std::to_string(n);
      const std::string geometry = std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
      server_ = std::make_unique<ChildProcess>(
          // -noreset: no server reset when the program leaves as the last client,
          // which a window manager starting just then would not survive.
          std::vector<std::string>{"Xvfb", display_, "-screen", "0", geometry, "-nolisten", "tcp", "-noreset"},
          (dir_ / ("xvfb" + display_.substr(1) + ".log")).string());
      // Another server may have taken the number meanwhile: it then exits.
      if (!waitFor([&] { return !server_->running() || x("getmouselocation >/dev/null 2>&1") == 0; }, 10s) ||
          !server_->running()) {
        server_.reset();
      }
    }
  }
  bool up() const { return server_ != nullptr; }
  int width() const { return width_; }
  int height() const { return height_; }
  const std::string& display() const { return display_; }
  host::ScreenRect area() const { return host::fitFrame(width_, height_, kFrameW, kFrameH); }

  bool startWindowManager() {
    wm_ = std::make_unique<ChildProcess>(std::vector<std::string>{"openbox", "--sm-disable"},
                                         (dir_ / "openbox.log").string(), std::vector<std::string>{"DISPLAY=" + display_});
    // openbox announces itself on the root window once it manages the screen.
    return waitFor([&] { return captureText("DISPLAY=" + display_ + " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null")
                                    .find("window id") != std::string::npos; },
                   10s);
  }

  int x(const std::string& args) const {
    return std::system(("DISPLAY=" + display_ + " xdotool " + args).c_str());
  }
  std::string xOut(const std::string& args) const {
    return captureText("DISPLAY=" + display_ + " xdotool " + args + " 2>/dev/null");
  }

  std::unique_ptr<ChildProcess> startProgram(const std::string& tag) const {
    return std::make_unique<ChildProcess>(
        std::vector<std::string>{QV_PROGRAM}, (dir_ / (tag + ".log")).string(),
        std::vector<std::string>{"DISPLAY=" + display_, "SDL_AUDIODRIVER=disk",
                                 "SDL_DISKAUDIOFILE=" + (dir_ / (tag + ".raw")).string()},
        std::vector<std::string>{"WAYLAND_DISPLAY", "SDL_VIDEODRIVER"});
  }
  // The program started as `tag` has begun its intro: the intro's tune, which
  // starts right after the opening stripes, reaches the audio device.
  bool introPlaying(const std::string& tag) const {
    const fs::path audio = dir_ / (tag + ".raw");
    return waitFor([&] {
      std::error_code e;
      return fs::file_size(audio, e) > 0 && !e;
    }, 60s);
  }
  std::string window() const {
    std::string w;
    waitFor([&] { return !(w = xOut("search --name 'CODED BY TARVOSKELD'")).empty(); }, 60s);
    return w.substr(0, w.find('\n'));
  }

  // The whole screen as xwd dumps it (much quicker than a PNG on large
  // screens); kept as a file only when `name` is given and the test fails.
  imageio::Image shot(const std::string& name) const {
    imageio::Image image;
    std::string data;
    if (FILE* f = popen(("xwd -root -silent -display " + display_).c_str(), "r")) {
      char buf[65536];
      std::size_t n = 0;
      while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
      pclose(f);
    }
    lastShot_ = dir_ / (name + ".xwd");
    std::ofstream(lastShot_, std::ios::binary) << data;
    readXwd(data, image);
    return image;
  }

  // Frame pixel (fx, fy) to the screen pixel that shows its centre.
  std::pair<int, int> toScreen(int fx, int fy) const {
    const host::ScreenRect a = area();
    return {a.x + static_cast<int>((2LL * fx + 1) * a.width / (2 * kFrameW)),
            a.y + static_cast<int>((2LL * fy + 1) * a.height / (2 * kFrameH))};
  }
  // Until the program has presented two frames after the call: the screen
  // changed twice (the intro and the reader's status scroller move every
  // frame). Presenting waits for the X server, so the input poll between the
  // two came after the call, and the second frame acted on what was sent
  // before it. False when the picture stood still for `timeout`.
  bool framesPass(std::chrono::milliseconds timeout = 10s) const {
    imageio::Image last = shot("frames");
    for (int change = 0; change < 2; ++change) {
      const bool changed = waitFor([&] {
        imageio::Image now = shot("frames");
        if (now.pixels == last.pixels) return false;
        last = std::move(now);
        return true;
      }, timeout);
      if (!changed) return false;
    }
    return true;
  }
  // A quick click (press and release at once) at a frame position, once the
  // program has seen the pointer there.
  void clickFrame(int fx, int fy) const {
    const auto [sx, sy] = toScreen(fx, fy);
    x("mousemove " + std::to_string(sx) + " " + std::to_string(sy));
    framesPass();
    x("click 1");
    framesPass();
    parkPointer();
  }
  // The pointer into the screen's corner, away from the text area (in a bar
  // where there is one).
  void parkPointer() const { x("mousemove 2 2"); }

 private:
  int width_, height_;
  fs::path dir_;
  std::string display_;
  std::unique_ptr<ChildProcess> server_;
  std::unique_ptr<ChildProcess> wm_;  // declared after the server: stopped first
  mutable fs::path lastShot_;

  // An xwd dump in ZPixmap format, 16 or 32 bits per pixel, to 0x00RRGGBB.
  static bool readXwd(const std::string& d, imageio::Image& out) {
    auto be32 = [&](std::size_t at) {
      return at + 4 > d.size() ? 0u
                               : (static_cast<uint32_t>(static_cast<uint8_t>(d[at])) << 24) |
                                     (static_cast<uint32_t>(static_cast<uint8_t>(d[at + 1])) << 16) |
                                     (static_cast<uint32_t>(static_cast<uint8_t>(d[at + 2])) << 8) |
                                     static_cast<uint32_t>(static_cast<uint8_t>(d[at + 3]));
    };
    const uint32_t headerSize = be32(0), width = be32(16), height = be32(20), byteOrder = be32(28);
    const uint32_t bitsPerPixel = be32(44), bytesPerLine = be32(48), ncolors = be32(76);
    const uint32_t masks[3] = {be32(56), be32(60), be32(64)};
    const std::size_t start = headerSize + static_cast<std::size_t>(ncolors) * 12;
    if (headerSize < 100 || (bitsPerPixel != 16 && bitsPerPixel != 32) ||
        start + static_cast<std::size_t>(bytesPerLine) * height > d.size()) {
      return false;
    }
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.pixels.assign(static_cast<std::size_t>(width) * height, 0);
    const std::size_t bytes = bitsPerPixel / 8;
    for (uint32_t y = 0; y < height; ++y) {
      for (uint32_t x = 0; x < width; ++x) {
        const std::size_t at = start + static_cast<std::size_t>(y) * bytesPerLine + x * bytes;
        uint32_t v = 0;
        for (std::size_t k = 0; k < bytes; ++k) {
          const uint32_t b = static_cast<uint8_t>(d[at + k]);
          v |= byteOrder == 0 ? b << (8 * k) : b << (8 * (bytes - 1 - k));
        }
        uint32_t rgb = 0;
        for (int c = 0; c < 3; ++c) {
          const uint32_t m = masks[c];
          if (m == 0) continue;
          const int shift = __builtin_ctz(m), bits = __builtin_popcount(m);
          uint32_t ch = (v & m) >> shift;
          ch = bits >= 8 ? ch >> (bits - 8) : (ch << (8 - bits)) | (ch >> std::max(0, 2 * bits - 8));
          rgb |= (ch & 0xFF) << (16 - 8 * c);
        }
        out.pixels[static_cast<std::size_t>(y) * width + x] = rgb;
      }
    }
    return true;
  }
};

imageio::Image reference(const fs::path& dir, const std::string& name, const std::string& options) {
  const fs::path file = dir / name;
  imageio::Image image;
  if (std::system((std::string(QV_MAGTOOL) + " shot " + file.string() + " " + options).c_str()) == 0) {
    imageio::readPng(file.string(), image);
  }
  return image;
}

struct Comparison {
  int scaledDifferences = -1;  // screen pixels of the text area unlike the reference scaled the same way
  double meanBack = 1e9;       // mean channel distance, scaled back to frame pixels
  int barPixels = -1;          // non-black pixels outside the frame's area
};

// The screenshot against the reference frame: a region scaled by the
// host's scaler (exact on 24-bit screens; `tolerance` covers 16-bit
// truncation), the same area sampled back at every frame pixel's centre, and
// the bars.
Comparison compare(const Screen& screen, const imageio::Image& shot, const imageio::Image& ref, int tolerance,
                   const Region& r = kTextArea) {
  Comparison c;
  if (shot.width != screen.width() || shot.height != screen.height() || ref.width != kFrameW || ref.height != kFrameH) {
    return c;
  }
  const host::ScreenRect a = screen.area();
  std::vector<uint32_t> scaled(static_cast<std::size_t>(a.width) * static_cast<std::size_t>(a.height));
  host::FrameScaler scaler;
  if (!scaler.configure(kFrameW, kFrameH, {0, 0, a.width, a.height}, &host::convertCopy32, 4)) return c;
  scaler.scale(ref.pixels.data(), reinterpret_cast<uint8_t*>(scaled.data()), static_cast<std::size_t>(a.width) * 4);
  const std::vector<host::ScaleTap> cols = host::scaleTaps(kFrameW, a.width), rows = host::scaleTaps(kFrameH, a.height);
  auto within = [](const host::ScaleTap& t, int lo, int hi) { return t.first > lo && t.first + 1 < hi; };
  auto at = [&](int sx, int sy) { return shot.pixels[static_cast<std::size_t>(sy) * static_cast<std::size_t>(shot.width) + static_cast<std::size_t>(sx)] & 0xFFFFFF; };

  c.scaledDifferences = 0;
  for (int y = 0; y < a.height; ++y) {
    if (!within(rows[static_cast<std::size_t>(y)], r.top, r.bottom)) continue;
    for (int xx = 0; xx < a.width; ++xx) {
      if (!within(cols[static_cast<std::size_t>(xx)], r.left, r.right)) continue;
      const uint32_t want = scaled[static_cast<std::size_t>(y) * static_cast<std::size_t>(a.width) + static_cast<std::size_t>(xx)];
      c.scaledDifferences += channelDistance(at(a.x + xx, a.y + y), want) > tolerance;
    }
  }
  double sum = 0.0;
  int count = 0;
  for (int fy = r.top + 1; fy < r.bottom; ++fy) {
    for (int fx = r.left + 1; fx < r.right; ++fx) {
      const auto [sx, sy] = screen.toScreen(fx, fy);
      sum += channelDistance(at(sx, sy), ref.pixels[static_cast<std::size_t>(fy) * kFrameW + static_cast<std::size_t>(fx)]);
      ++count;
    }
  }
  c.meanBack = sum / count;
  c.barPixels = 0;
  for (int y = 0; y < shot.height; ++y) {
    for (int xx = 0; xx < shot.width; ++xx) {
      const bool inside = xx >= a.x && xx < a.x + a.width && y >= a.y && y < a.y + a.height;
      if (!inside) c.barPixels += at(xx, y) != 0;
    }
  }
  return c;
}

struct ScreenCase {
  int width, height, depth;
};

std::string caseName(const ::testing::TestParamInfo<ScreenCase>& info) {
  return std::to_string(info.param.width) + "x" + std::to_string(info.param.height) + "x" +
         std::to_string(info.param.depth);
}

class ProgramUnderXvfbScreens : public ::testing::TestWithParam<ScreenCase> {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool", "import", "openbox", "xprop"}) {
      ASSERT_TRUE(onPath(tool)) << tool << " is missing (tools/setup.sh installs it)";
    }
    dir_ = fs::temp_directory_path() / ("qv_screens_" + caseName({GetParam(), 0}) + "_" + std::to_string(getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }

  // Start, a quick click out of the intro, the editorial against the
  // reference, a quick click on CHARTS, a drag of the scroll thumb beyond the
  // frame's bottom edge, Escape.
  void runReader(Screen& screen, const std::string& tag) {
    SCOPED_TRACE(tag);
    const int tolerance = GetParam().depth == 16 ? 8 : 0;
    // Sampled back at frame pixel centres, mixed edge pixels count: more at
    // small factors, most when shrunk; 16-bit truncation adds some.
    const double meanLimit = (screen.area().width < kFrameW ? 20.0 : 8.0) + (GetParam().depth == 16 ? 4.0 : 0.0);
    std::unique_ptr<ChildProcess> program = screen.startProgram(tag);
    ASSERT_FALSE(screen.window().empty()) << "no window";
    screen.parkPointer();
    ASSERT_TRUE(screen.introPlaying(tag)) << "no intro tune";
    ASSERT_EQ(program->waitExit(0ms), -1000) << "the program ended";
    EXPECT_EQ(screen.x("click 1"), 0);  // press and release at once

    auto settled = [&](const std::string& name, const std::string& options, const Region& region) {
      const imageio::Image ref = reference(dir_, name + "_ref.png", options);
      Comparison c;
      waitFor([&] {
        c = compare(screen, screen.shot(tag + "_" + name), ref, tolerance, region);
        return c.scaledDifferences == 0 && c.barPixels == 0;
      }, 30s);
      EXPECT_EQ(c.scaledDifferences, 0) << name;
      EXPECT_EQ(c.barPixels, 0) << name;
      EXPECT_LE(c.meanBack, meanLimit) << name;
    };
    settled("editorial", "--article 11", kTextArea);

    screen.clickFrame(79, 74);  // CHARTS: the menu shows the charts page
    settled("charts_menu", "--article 11 --page 1", kMenu);

    // The thumb of the 95-line editorial: pressed in the track, dragged below
    // the frame (the pointer clamps to its edge), released: the last page.
    // Each step is seen by a frame of its own before the next.
    const auto [tx, ty] = screen.toScreen(783, 210);
    screen.x("mousemove " + std::to_string(tx) + " " + std::to_string(ty));
    EXPECT_TRUE(screen.framesPass()) << "the reader stood still";
    screen.x("mousedown 1");
    EXPECT_TRUE(screen.framesPass());
    for (int step = 1; step <= 4; ++step) {
      screen.x("mousemove " + std::to_string(tx) + " " + std::to_string(ty + (screen.height() - ty) * step / 4 - 1));
      EXPECT_TRUE(screen.framesPass());
    }
    screen.x("mouseup 1");
    EXPECT_TRUE(screen.framesPass());
    screen.parkPointer();
    settled("thumb_end", "--article 11 --page 1 --top 62", kTextArea);

    screen.x("key Escape");
    EXPECT_EQ(program->waitExit(5000ms), 0);
  }

  fs::path dir_;
};

TEST_P(ProgramUnderXvfbScreens, WholeFrameMappedPointerWithAndWithoutWindowManager) {
  Screen screen(GetParam().width, GetParam().height, GetParam().depth, dir_);
  ASSERT_TRUE(screen.up()) << "no X server on :20..:29";
  runReader(screen, "plain");
  if (HasFatalFailure()) return;
  ASSERT_TRUE(screen.startWindowManager()) << "openbox did not start";
  runReader(screen, "openbox");
}

INSTANTIATE_TEST_SUITE_P(Sizes, ProgramUnderXvfbScreens,
                         ::testing::Values(ScreenCase{800, 600, 24}, ScreenCase{800, 600, 16},
                                           ScreenCase{1920, 1080, 24}, ScreenCase{1280, 1024, 24},
                                           ScreenCase{1024, 768, 24}, ScreenCase{640, 480, 24}),
                         caseName);

// Keypad, held input at launch and the minimised reader, on 1920 x 1080 with
// openbox.
TEST(ProgramUnderXvfbDesktop, KeypadHeldStartAndMinimised) {
  for (const char* tool : {"Xvfb", "xdotool", "import", "openbox", "xprop"}) ASSERT_TRUE(onPath(tool)) << tool;
  const fs::path dir = fs::temp_directory_path() / ("qv_desktop_" + std::to_string(getpid()));
  fs::create_directories(dir);
  Screen screen(1920, 1080, 24, dir);
  ASSERT_TRUE(screen.up()) << "no X server on :20..:29";
  ASSERT_TRUE(screen.startWindowManager());

  auto blackFrame = [&](const std::string& name) {
    const imageio::Image s = screen.shot(name);
    return !s.pixels.empty() && std::all_of(s.pixels.begin(), s.pixels.end(), [](uint32_t p) { return (p & 0xFFFFFF) == 0; });
  };

  // Held at launch: the left button, then Escape. Black until released.
  for (const std::string held : {"button", "escape"}) {
    SCOPED_TRACE(held);
    screen.parkPointer();
    screen.x(held == "button" ? "mousedown 1" : "keydown Escape");
    const std::string tag = "held_" + held;
    std::unique_ptr<ChildProcess> program = screen.startProgram(tag);
    ASSERT_FALSE(screen.window().empty());
    // Something that does not happen is watched for a while: looks from the
    // window's creation until one made 2.5 s later, long past the stripes'
    // start (150 ms after the first black frame) and the intro's tune had
    // the hold been missed.
    const auto watchEnd = std::chrono::steady_clock::now() + 2500ms;
    int looks = 0;
    bool black = true, silent = true;
    for (bool last = false; black && silent && !last;) {
      last = std::chrono::steady_clock::now() >= watchEnd;
      black = blackFrame(tag);
      std::error_code e;
      silent = !(fs::file_size(dir / (tag + ".raw"), e) > 0 && !e);
      ++looks;
    }
    EXPECT_TRUE(black) << "not black while held (look " << looks << ")";
    EXPECT_TRUE(silent) << "a tune started while held (look " << looks << ")";
    screen.x(held == "button" ? "mouseup 1" : "keyup Escape");
    EXPECT_TRUE(waitFor([&] { return !blackFrame("held_" + held + "_released"); }, 5s)) << "still black";
    EXPECT_EQ(program->waitExit(0ms), -1000) << "the release ended the program";
    program->stop();
  }

  // Keypad navigation against the main block on the 95-line editorial.
  std::unique_ptr<ChildProcess> program = screen.startProgram("keys");
  const std::string window = screen.window();
  ASSERT_FALSE(window.empty());
  screen.parkPointer();
  ASSERT_TRUE(screen.introPlaying("keys")) << "no intro tune";
  screen.x("click 1");
  auto expectTop = [&](const std::string& name, int top) {
    const imageio::Image ref = reference(dir, name + "_ref.png", "--article 11 --top " + std::to_string(top));
    Comparison c;
    waitFor([&] { return (c = compare(screen, screen.shot(name), ref, 0)).scaledDifferences == 0; }, 30s);
    EXPECT_EQ(c.scaledDifferences, 0) << name << " (top " << top << ")";
  };
  expectTop("start", 0);
  screen.x("key KP_Next");
  expectTop("kp_next", 33);
  screen.x("key Next");
  expectTop("next", 62);  // the last page of 95 lines
  screen.x("key KP_Prior");
  expectTop("kp_prior", 29);
  screen.x("key KP_Home");
  expectTop("kp_home", 0);
  screen.x("key KP_End");
  expectTop("kp_end", 62);
  screen.x("key Home");
  expectTop("home", 0);
  // Up and Down scroll while held; one tap each way from the top comes back
  // to it, and the keypad's tap down shows what the main block's showed.
  const auto [fx0, fy0] = screen.toScreen(kTextArea.left + 1, kTextArea.top + 1);
  const auto [fx1, fy1] = screen.toScreen(kTextArea.right - 1, kTextArea.bottom - 1);
  auto textAreaDifferences = [&](const imageio::Image& a, const imageio::Image& b) {
    if (a.pixels.size() != b.pixels.size() || a.width != screen.width()) return -1;
    int differences = 0;
    for (int py = fy0; py <= fy1; ++py) {
      for (int px = fx0; px <= fx1; ++px) {
        const std::size_t i = static_cast<std::size_t>(py) * static_cast<std::size_t>(a.width) + static_cast<std::size_t>(px);
        differences += a.pixels[i] != b.pixels[i];
      }
    }
    return differences;
  };
  // After a tap the text stops where the tap left it: the first of two
  // shots in a row with the same text area, once it has left the top.
  const imageio::Image top = screen.shot("top");
  auto afterTap = [&](const std::string& name) {
    imageio::Image last = screen.shot(name), now;
    waitFor([&] {
      now = screen.shot(name);
      const bool still = textAreaDifferences(now, last) == 0 && textAreaDifferences(now, top) > 0;
      last = now;
      return still;
    }, 10s);
    return now;
  };
  screen.x("key Down");
  const imageio::Image down = afterTap("down");
  screen.x("key Up");
  expectTop("up", 0);
  screen.x("key KP_Down");
  const imageio::Image kpDown = afterTap("kp_down");
  EXPECT_GT(compare(screen, kpDown, reference(dir, "top0_ref.png", "--article 11"), 0).scaledDifferences, 0)
      << "KP_Down did not scroll";
  EXPECT_EQ(textAreaDifferences(down, kpDown), 0) << "KP_Down and Down differ";
  screen.x("key KP_Up");
  expectTop("kp_up", 0);
  screen.x("key KP_End");
  expectTop("kp_end_again", 62);

  // At rest in the reader, then minimised (openbox marks the window iconic):
  // the music goes on, the CPU rests. Over a 5 s window the program uses at
  // most 5 % of a core (its own CPU time, which other load does not add to)
  // and the device takes at least 3 s of sound (the disk driver paces itself
  // by the wall clock; a loaded machine delays it, seldom by 2 s).
  const fs::path audio = dir / "keys.raw";
  ASSERT_EQ(screen.x("windowminimize " + window), 0);
  ASSERT_TRUE(waitFor([&] {
    return captureText("DISPLAY=" + screen.display() + " xprop -id " + window + " WM_STATE 2>/dev/null").find("Iconic") !=
           std::string::npos;
  }, 10s)) << "the window was not minimised";
  const auto windowStart = std::chrono::steady_clock::now();
  const double cpuBefore = program->cpuSeconds();
  const auto audioBefore = fs::file_size(audio);
  std::this_thread::sleep_for(5000ms);  // the measurement window
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - windowStart).count();
  const double share = (program->cpuSeconds() - cpuBefore) / seconds;
  EXPECT_LE(share, 0.05) << "CPU share of a core while minimised";
  EXPECT_GT(fs::file_size(audio), audioBefore + 44100 * 4 * 3) << "the music stopped while minimised";
  RecordProperty("minimised_cpu_share", std::to_string(share));
  std::printf("minimised CPU share of a core: %.4f\n", share);

  // Restored: the reader at once.
  screen.x("windowactivate " + window);
  expectTop("restored", 62);
  screen.x("key Escape");
  EXPECT_EQ(program->waitExit(5000ms), 0);
  if (!::testing::Test::HasFailure()) fs::remove_all(dir);
}

// No usable display: the process ends with 255 within 2 s and plays nothing,
// saying why in one line on standard error, with the variables that choose
// the display.
TEST(ProgramWithoutDisplay, EveryUnusableDisplayEndsAtOnceSilently) {
  const fs::path dir = fs::temp_directory_path() / ("qv_nodisplay_" + std::to_string(getpid()));
  fs::create_directories(dir);
  struct Case {
    const char* name;
    std::vector<std::string> set, unset;
    const char* why;  // in the line on standard error
  };
  const Case cases[] = {
      {"no DISPLAY or WAYLAND_DISPLAY", {}, {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}, "neither DISPLAY nor WAYLAND_DISPLAY is set"},
      {"unreachable server", {"DISPLAY=:9986"}, {"WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}, "cannot be reached (DISPLAY=:9986"},
      {"offscreen driver", {"DISPLAY=:9986", "SDL_VIDEODRIVER=offscreen"}, {"WAYLAND_DISPLAY"}, "SDL_VIDEODRIVER=offscreen gives"},
      {"dummy driver", {"DISPLAY=:9986", "SDL_VIDEODRIVER=dummy"}, {"WAYLAND_DISPLAY"}, "SDL_VIDEODRIVER=dummy gives"},
  };
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path audio = dir / ("audio" + std::to_string(i) + ".raw");
    std::vector<std::string> set = c.set;
    set.push_back("SDL_AUDIODRIVER=disk");
    set.push_back("SDL_DISKAUDIOFILE=" + audio.string());
    const auto start = std::chrono::steady_clock::now();
    const fs::path log = dir / ("run" + std::to_string(i++) + ".log");
    ChildProcess program({QV_PROGRAM}, log.string(), set, c.unset);
    EXPECT_EQ(program.waitExit(2000ms), 255);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
    EXPECT_FALSE(fs::exists(audio)) << "sound was started";
    std::ifstream in(log);
    const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Our one line (system libraries probed on the way may add their own).
    const std::size_t at = said.find("quorvaline: no display: ");
    ASSERT_NE(at, std::string::npos) << said;
    const std::string line = said.substr(at, said.find('\n', at) - at);
    EXPECT_EQ(said.find("quorvaline:", at + 1), std::string::npos) << said;
    EXPECT_NE(line.find(c.why), std::string::npos) << line;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
      EXPECT_NE(line.find(variable), std::string::npos) << variable << " not named: " << line;
    }
  }
  if (!::testing::Test::HasFailure()) fs::remove_all(dir);
}

}  // namespace
