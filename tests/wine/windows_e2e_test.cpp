// The Windows edition end to end: quorvaline.exe under Wine on a virtual X
// server (run through tests/wine/under_wine.sh, which provides DISPLAY, the
// Wine prefix and the ALSA capture file). Checks the window title, the lit
// intro and its tune reaching the audio device, Escape into the reader, the
// reader's text area against magtool shot, quick clicks on CHARTS and the
// first menu slot opening article 1, F2's skin, the module's music, and
// Escape's exit status 0.
//
// On a 16-bit X screen the pixels reach the screen through a 16-bit visual:
// the comparison is then made on the bits that survive (5-6-5).
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/child_process.h"
#include "tools/dev/imageio/png.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The text area compared with the reference frames.
constexpr int kAreaLeft = 20, kAreaRight = 767, kAreaTop = 193, kAreaBottom = 569;

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}

using Child = e2e::ChildProcess;

std::string capture(const std::string& command) {
  std::string out;
  if (FILE* f = popen(command.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, f) != nullptr) out += buf;
    pclose(f);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

template <typename F>
bool waitFor(F ready, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (ready()) return true;
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

// The largest sample magnitude in the capture file as 16-bit words (Wine's
// mixer may write 16-bit or float samples; either way music is far from 0).
int peakOf(const fs::path& file, uintmax_t& bytes) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  bytes = data.size();
  int peak = 0;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    const int16_t v = static_cast<int16_t>(static_cast<uint8_t>(data[i]) | (static_cast<uint8_t>(data[i + 1]) << 8));
    peak = std::max(peak, v < 0 ? -static_cast<int>(v) : static_cast<int>(v));
  }
  return peak;
}

class WindowsEditionUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(env("WINEPREFIX").empty() || env("DISPLAY").empty() || env("QV_AUDIO_CAPTURE").empty())
        << "run through tests/wine/under_wine.sh";
    dir_ = env("QV_WINE_WORK");
    const std::string screen = env("QV_SCREEN");
    depth_ = screen.size() > 3 && screen.compare(screen.size() - 3, 3, "x16") == 0 ? 16 : 24;
  }

  void startProgram() {
    // QV_EXE: another copy of the program, such as the one in the release zip.
    const std::string exe = env("QV_EXE").empty() ? std::string(QV_WINDOWS_EXE) : env("QV_EXE");
    program_ = std::make_unique<Child>(std::vector<std::string>{"wine", exe}, (dir_ / "program.log").string());
    ASSERT_TRUE(program_->started());
  }

  int x(const std::string& args) { return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }
  std::string xOut(const std::string& args) { return capture("xdotool " + args + " 2>/dev/null"); }

  imageio::Image screenshot(const std::string& name) {
    const fs::path file = dir_ / name;
    EXPECT_EQ(std::system(("import -window root " + file.string()).c_str()), 0);
    imageio::Image image;
    EXPECT_TRUE(imageio::readPng(file.string(), image)) << file;
    keep(file);
    return image;
  }

  imageio::Image reference(const std::string& name, const std::string& options) {
    const fs::path file = dir_ / name;
    EXPECT_EQ(std::system((std::string(QV_MAGTOOL) + " shot " + file.string() + " " + options).c_str()), 0);
    imageio::Image image;
    EXPECT_TRUE(imageio::readPng(file.string(), image)) << file;
    return image;
  }

  // With QV_SHOT_DIR set, the screenshots are kept there for a look.
  static void keep(const fs::path& file) {
    const std::string shots = env("QV_SHOT_DIR");
    if (shots.empty()) return;
    fs::create_directories(shots);
    std::error_code ignored;
    fs::copy_file(file, fs::path(shots) / (env("QV_SCREEN") + "_" + file.filename().string()),
                  fs::copy_options::overwrite_existing, ignored);
  }

  // A pixel as the screen can hold it: all of it at 24 bits, the high 5, 6
  // and 5 bits of red, green and blue at 16.
  uint32_t visible(uint32_t p) const {
    return depth_ == 16 ? (p & 0xF8FCF8u) : (p & 0xFFFFFFu);
  }

  int textAreaDifferences(const imageio::Image& shot, const imageio::Image& ref) const {
    if (shot.width != 800 || shot.height != 600 || ref.width != 800 || ref.height != 600) return -1;
    int differences = 0;
    for (int y = kAreaTop; y <= kAreaBottom; ++y) {
      for (int px = kAreaLeft; px <= kAreaRight; ++px) {
        const size_t i = static_cast<size_t>(y) * 800 + static_cast<size_t>(px);
        differences += visible(shot.pixels[i]) != visible(ref.pixels[i]);
      }
    }
    return differences;
  }

  // Screenshots until the text area matches or time runs out (stripes and
  // page transitions keep changing it); the last one's differences.
  int settledDifferences(const std::string& name, const std::string& options, std::chrono::seconds timeout) {
    const imageio::Image ref = reference(name + "_ref.png", options);
    int differences = -1;
    waitFor([&] { return (differences = textAreaDifferences(screenshot(name + ".png"), ref)) == 0; }, timeout);
    return differences;
  }

  // The intro scene itself rather than the stripe bursts before it: lit
  // pixels, and rows that are not one colour from edge to edge (a stripe
  // burst fills every row with one colour; the scene has letters, stars and
  // the scroller).
  static bool introScene(const imageio::Image& image, std::string& why) {
    if (image.width != 800 || image.height != 600) return false;
    size_t lit = 0;
    int mixedRows = 0;
    for (int y = 0; y < 600; ++y) {
      const uint32_t* row = image.pixels.data() + static_cast<size_t>(y) * 800;
      bool mixed = false;
      for (int px = 0; px < 800; ++px) {
        lit += (row[px] & 0xFFFFFF) != 0;
        mixed |= (row[px] & 0xFFFFFF) != (row[0] & 0xFFFFFF);
      }
      mixedRows += mixed;
    }
    why = std::to_string(lit) + " lit pixels, " + std::to_string(mixedRows) + " rows of several colours";
    return lit > 20000 && mixedRows > 200;
  }

  fs::path dir_;
  int depth_ = 24;
  std::unique_ptr<Child> program_;
};

TEST_F(WindowsEditionUnderWine, TitleIntroMusicReaderQuickClicksSkinAndEscape) {
  startProgram();
  std::string window;
  ASSERT_TRUE(waitFor([&] { return !(window = xOut("search --name 'CODED BY TARVOSKELD'")).empty(); }, 60s))
      << "no window";
  window = window.substr(0, window.find('\n'));
  EXPECT_EQ(xOut("getwindowname " + window), "CODED BY TARVOSKELD :-)");

  // Stripes, then the intro: most of the screen lit, moving, and the tune on
  // the audio device.
  imageio::Image intro;
  std::string why;
  EXPECT_TRUE(waitFor([&] { return introScene(intro = screenshot("intro.png"), why); }, 20s))
      << "no intro scene: " << why;
  const imageio::Image later = screenshot("intro_later.png");
  EXPECT_NE(intro.pixels, later.pixels) << "the intro does not move";
  const fs::path audio = env("QV_AUDIO_CAPTURE");
  uintmax_t bytes = 0;
  EXPECT_TRUE(waitFor([&] { return peakOf(audio, bytes) > 1000; }, 10s))
      << "the tune did not reach the audio device (" << bytes << " bytes captured)";

  // Escape leaves the intro (and only the intro); the hand-over takes 3 s.
  x("mousemove 5 5");
  x("key Escape");
  EXPECT_EQ(settledDifferences("editorial", "--article 11", 40s), 0);
  EXPECT_EQ(program_->waitExit(0ms), -1000) << "the intro's Escape ended the program";

  // Quick clicks (press and release at once) on CHARTS, then on the first
  // slot: the monthly chart.
  x("mousemove 79 74 click 1");
  std::this_thread::sleep_for(500ms);
  x("mousemove 250 66 click 1");
  std::this_thread::sleep_for(300ms);
  x("mousemove 5 5");
  EXPECT_EQ(settledDifferences("chart", "--article 1 --page 1", 30s), 0);

  x("key F2");
  EXPECT_EQ(settledDifferences("chart_carbon", "--article 1 --page 1 --skin 2", 30s), 0);

  // The module plays on the same device (the capture file starts again when
  // the module player opens it).
  EXPECT_TRUE(waitFor([&] { return peakOf(audio, bytes) > 1000; }, 10s))
      << "the module did not reach the audio device (" << bytes << " bytes captured)";

  x("key Escape");
  EXPECT_EQ(program_->waitExit(15000ms), 0);
}

}  // namespace
