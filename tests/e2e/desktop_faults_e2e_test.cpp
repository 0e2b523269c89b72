// The real program against what a desktop does to it: display modes added
// with RandR and resolutions changed under it, with and without a window
// manager; SIGTERM, SIGINT and SIGHUP in the 800 x 600 mode; a button held at
// launch; a click while a page turns; and a PulseAudio server (started here,
// in its own runtime directory, with a null sink recorded through its
// monitor) that is frozen with SIGSTOP or killed and started again.
//
// Every wait is on a state (a window's geometry, a picture, the recorded
// sound, an exit status), bounded so that a broken program fails instead of
// hanging. X servers on display numbers 30..39.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/child_process.h"
#include "tools/dev/imageio/png.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using e2e::capture;
using e2e::ChildProcess;
using e2e::waitFor;

constexpr int kFrameW = 800, kFrameH = 600;

bool onPath(const std::string& tool) { return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0; }

fs::path workDir(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("qv_" + name + "_" + std::to_string(getpid()));
  fs::create_directories(dir);
  return dir;
}

struct Rect {
  int x = -1, y = -1, w = -1, h = -1;
  bool operator==(const Rect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

std::ostream& operator<<(std::ostream& os, const Rect& r) {
  return os << r.w << "x" << r.h << "+" << r.x << "+" << r.y;
}

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB
  uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
  bool blackColumn(int x, int top, int bottom) const {
    for (int y = top; y <= bottom; ++y) {
      if (at(x, y) != 0) return false;
    }
    return true;
  }
  bool allBlack() const { return std::all_of(pixels.begin(), pixels.end(), [](uint32_t p) { return p == 0; }); }
};

// An Xvfb screen with extra RandR modes, openbox on demand.
class Desktop {
 public:
  Desktop(int width, int height, const std::vector<std::array<int, 2>>& modes, const fs::path& dir) : dir_(dir) {
    for (int n = 30; n <= 39 && !server_; ++n) {
      if (fs::exists("/tmp/.X" + std::to_string(n) + "-lock")) continue;
      display_ = ":";
      display_ += std::to_string(n);
      server_ = std::make_unique<ChildProcess>(
          std::vector<std::string>{"Xvfb", display_, "-screen", "0",
                                   std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp",
                                   "-noreset"},
          (dir_ / ("xvfb" + display_.substr(1) + ".log")).string());
      if (!waitFor([&] { return !server_->running() || x("getmouselocation >/dev/null 2>&1") == 0; }, 10s) ||
          !server_->running()) {
        server_.reset();
      }
    }
    for (const auto& m : modes) {
      // A mode line with plausible timings; Xvfb takes any.
      const std::string name = std::to_string(m[0]) + "x" + std::to_string(m[1]) + "_qv";
      const std::string line = name + " 60 " + std::to_string(m[0]) + " " + std::to_string(m[0] + 40) + " " +
                               std::to_string(m[0] + 80) + " " + std::to_string(m[0] + 120) + " " +
                               std::to_string(m[1]) + " " + std::to_string(m[1] + 3) + " " + std::to_string(m[1] + 6) +
                               " " + std::to_string(m[1] + 9);
      modesAdded_ = modesAdded_ && shell("xrandr --newmode " + line) == 0 && shell("xrandr --addmode screen " + name) == 0;
    }
  }
  bool up() const { return server_ != nullptr && modesAdded_; }
  const std::string& display() const { return display_; }

  int shell(const std::string& command) const {
    return std::system(("DISPLAY=" + display_ + " " + command + " >/dev/null 2>&1").c_str());
  }
  int x(const std::string& args) const { return std::system(("DISPLAY=" + display_ + " xdotool " + args).c_str()); }

  bool startWindowManager() {
    wm_ = std::make_unique<ChildProcess>(std::vector<std::string>{"openbox", "--sm-disable"},
                                         (dir_ / "openbox.log").string(), std::vector<std::string>{"DISPLAY=" + display_});
    return waitFor([&] { return capture("DISPLAY=" + display_ + " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null")
                                    .find("window id") != std::string::npos; },
                   10s);
  }

  // The screen's current size as RandR reports it.
  std::array<int, 2> screenSize() const {
    const std::string out = capture("DISPLAY=" + display_ + " xrandr 2>/dev/null");
    std::array<int, 2> size{-1, -1};
    const std::size_t at = out.find("current ");
    if (at != std::string::npos) std::sscanf(out.c_str() + at, "current %d x %d", &size[0], &size[1]);
    return size;
  }
  bool screenIs(int w, int h) const { return screenSize() == std::array<int, 2>{w, h}; }

  std::string window() const {
    std::string w;
    waitFor([&] {
      w = capture("DISPLAY=" + display_ + " xdotool search --name 'CODED BY TARVOSKELD' 2>/dev/null");
      return !w.empty();
    }, 15s);
    return w.substr(0, w.find('\n'));
  }
  // The window's place on the screen and its size.
  Rect geometry(const std::string& window) const {
    const std::string out = capture("DISPLAY=" + display_ + " xdotool getwindowgeometry --shell " + window + " 2>/dev/null");
    Rect r;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      std::sscanf(line.c_str(), "X=%d", &r.x);
      std::sscanf(line.c_str(), "Y=%d", &r.y);
      std::sscanf(line.c_str(), "WIDTH=%d", &r.w);
      std::sscanf(line.c_str(), "HEIGHT=%d", &r.h);
    }
    return r;
  }

  Picture shot() const {
    Picture p;
    const std::array<int, 2> size = screenSize();
    const std::string rgb = capture("xwd -root -silent -display " + display_ + " | convert xwd:- -depth 8 rgb:-");
    if (size[0] <= 0 || rgb.size() < static_cast<std::size_t>(size[0]) * size[1] * 3) {
      // The root window may be larger than the mode shown (a RandR mode
      // smaller than the screen): xwd gives the root window.
      return p;
    }
    p.width = size[0];
    p.height = static_cast<int>(rgb.size() / 3 / static_cast<std::size_t>(size[0]));
    p.pixels.resize(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height));
    for (std::size_t i = 0; i < p.pixels.size(); ++i) {
      p.pixels[i] = (static_cast<uint32_t>(static_cast<uint8_t>(rgb[3 * i])) << 16) |
                    (static_cast<uint32_t>(static_cast<uint8_t>(rgb[3 * i + 1])) << 8) |
                    static_cast<uint32_t>(static_cast<uint8_t>(rgb[3 * i + 2]));
    }
    return p;
  }

  std::unique_ptr<ChildProcess> startProgram(const std::string& tag, std::vector<std::string> set = {}) const {
    set.push_back("DISPLAY=" + display_);
    if (std::none_of(set.begin(), set.end(), [](const std::string& s) { return s.rfind("SDL_AUDIODRIVER=", 0) == 0; })) {
      set.push_back("SDL_AUDIODRIVER=dummy");
    }
    return std::make_unique<ChildProcess>(std::vector<std::string>{QV_PROGRAM}, (dir_ / (tag + ".log")).string(), set,
                                          std::vector<std::string>{"WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "PULSE_SERVER"});
  }

 private:
  fs::path dir_;
  std::string display_;
  bool modesAdded_ = true;
  std::unique_ptr<ChildProcess> server_;
  std::unique_ptr<ChildProcess> wm_;  // declared after the server: stopped first
};

// A PulseAudio server of the test's own (runtime directory and home in the
// test's directory) with one null sink, and a recording of its monitor.
class SoundServer {
 public:
  explicit SoundServer(const fs::path& dir) : dir_(dir), runtime_(dir / "runtime") {
    fs::create_directories(runtime_);
    chmod(runtime_.c_str(), 0700);
  }
  ~SoundServer() {
    recorder_.reset();
    if (server_ && server_->running()) ::kill(server_->pid(), SIGCONT);
  }

  std::vector<std::string> env() const {
    return {"XDG_RUNTIME_DIR=" + runtime_.string(), "HOME=" + dir_.string(), "SDL_AUDIODRIVER=pulseaudio"};
  }
  bool start() {
    ++starts_;
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes",
                                 "-L", "module-null-sink sink_name=qv", "-L", "module-native-protocol-unix"},
        (dir_ / ("pulseaudio" + std::to_string(starts_) + ".log")).string(), env());
    if (!waitFor([&] { return !server_->running() || pactl("info") == 0; }, 15s) || !server_->running()) return false;
    recording_ = dir_ / ("monitor" + std::to_string(starts_) + ".raw");
    recorder_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"parec", "-d", "qv.monitor", "--raw", "--format=s16le", "--channels=2", "--rate=44100",
                                 recording_.string()},
        (dir_ / ("parec" + std::to_string(starts_) + ".log")).string(), env());
    return waitFor([&] { return fs::exists(recording_); }, 10s);
  }
  void freeze() { ::kill(server_->pid(), SIGSTOP); }
  void thaw() { ::kill(server_->pid(), SIGCONT); }
  void killHard() {
    recorder_.reset();
    ::kill(server_->pid(), SIGKILL);
    server_->waitExit(5000ms);
  }

  // Mean absolute sample value of the last half second recorded.
  double loudness() const {
    std::ifstream in(recording_, std::ios::binary | std::ios::ate);
    const std::streamoff size = in.tellg();
    const std::streamoff span = 44100 * 4 / 2;
    if (size < span) return 0.0;
    in.seekg((size - span) / 4 * 4);
    std::vector<int16_t> samples(static_cast<std::size_t>(span / 2));
    in.read(reinterpret_cast<char*>(samples.data()), span);
    double sum = 0.0;
    for (int16_t s : samples) sum += std::abs(static_cast<int>(s));
    return sum / static_cast<double>(samples.size());
  }
  bool musicHeard(std::chrono::milliseconds within) const {
    return waitFor([&] { return loudness() > 50.0; }, within);
  }

 private:
  int pactl(const std::string& args) const {
    return std::system(("XDG_RUNTIME_DIR=" + runtime_.string() + " HOME=" + dir_.string() + " pactl " + args +
                        " >/dev/null 2>&1")
                           .c_str());
  }

  fs::path dir_, runtime_, recording_;
  int starts_ = 0;
  std::unique_ptr<ChildProcess> server_;
  std::unique_ptr<ChildProcess> recorder_;
};

// magtool's picture of the reader in a given state, as the reference for a
// region of an 800 x 600 screen.
Picture reference(const fs::path& dir, const std::string& options) {
  const fs::path file = dir / ("ref" + std::to_string(std::hash<std::string>{}(options)) + ".png");
  imageio::Image image;
  Picture p;
  if (std::system((std::string(QV_MAGTOOL) + " shot " + file.string() + " " + options).c_str()) == 0 &&
      imageio::readPng(file.string(), image)) {
    p.width = image.width;
    p.height = image.height;
    for (uint32_t v : image.pixels) p.pixels.push_back(v & 0xFFFFFF);
  }
  return p;
}

struct Region {
  int left, top, right, bottom;  // inclusive
};
constexpr Region kTextArea{20, 193, 767, 569};
constexpr Region kMenu{146, 60, 645, 120};

int differences(const Picture& a, const Picture& b, const Region& r) {
  if (a.width != kFrameW || b.width != kFrameW || a.height < kFrameH || b.height < kFrameH) return -1;
  int n = 0;
  for (int y = r.top; y <= r.bottom; ++y) {
    for (int xx = r.left; xx <= r.right; ++xx) n += a.at(xx, y) != b.at(xx, y);
  }
  return n;
}

// On an 800 x 600 screen: the intro shown, left with a click, the reader
// showing article 11.
void enterReader(const Desktop& desktop, const fs::path& dir) {
  ASSERT_TRUE(waitFor([&] {
    const Picture p = desktop.shot();
    return !p.pixels.empty() && !p.allBlack();
  }, 20s)) << "no intro";
  // The first picture may still be the stripes before the intro proper;
  // a click there is the intro's too, but a few tries keep this helper
  // about the reader, not about that.
  const Picture article11 = reference(dir, "--article 11");
  bool reader = false;
  for (int attempt = 0; attempt < 3 && !reader; ++attempt) {
    desktop.x("mousemove 2 2 click 1");
    reader = waitFor([&] { return differences(desktop.shot(), article11, kTextArea) == 0; }, 8s);
  }
  ASSERT_TRUE(reader) << "no reader";
}

void requireTools(std::initializer_list<const char*> tools) {
  for (const char* tool : tools) ASSERT_TRUE(onPath(tool)) << tool << " is needed";
}

// The 800 x 600 mode with no window manager: the window at the screen's
// origin, covering it; every signal that ends the program restores the
// desktop's mode and is a requested end (status 0). With openbox the same.
TEST(ProgramUnderXvfbModes, ExclusiveModeAtTheOriginAndRestoredOnEverySignal) {
  requireTools({"Xvfb", "xdotool", "xrandr", "openbox", "xprop"});
  const fs::path dir = workDir("modes");
  Desktop desktop(1920, 1080, {{800, 600}}, dir);
  ASSERT_TRUE(desktop.up());
  struct Case {
    const char* name;
    int signal;
    bool windowManager;
  };
  for (const Case c : {Case{"SIGTERM", SIGTERM, false}, Case{"SIGINT", SIGINT, false}, Case{"SIGHUP", SIGHUP, false},
                       Case{"SIGTERM with openbox", SIGTERM, true}}) {
    SCOPED_TRACE(c.name);
    if (c.windowManager) {
      ASSERT_TRUE(desktop.startWindowManager());
    }
    std::unique_ptr<ChildProcess> program = desktop.startProgram(std::string("mode_") + std::to_string(c.signal));
    const std::string window = desktop.window();
    ASSERT_FALSE(window.empty());
    Rect where;
    EXPECT_TRUE(waitFor([&] { return desktop.screenIs(800, 600) && (where = desktop.geometry(window)) == Rect{0, 0, 800, 600}; }, 15s))
        << "window " << where;
    // The whole frame on the screen: the intro's bands reach both edges.
    EXPECT_TRUE(waitFor([&] {
      const Picture p = desktop.shot();
      return p.width == 800 && !p.blackColumn(0, 0, 599) && !p.blackColumn(799, 0, 599);
    }, 10s)) << "the frame is not on the screen";
    ::kill(program->pid(), c.signal);
    EXPECT_EQ(program->waitExit(5000ms), 0);
    EXPECT_TRUE(desktop.screenIs(1920, 1080)) << "the mode was not restored";
    if (!desktop.screenIs(1920, 1080)) desktop.shell("xrandr -s 1920x1080");
  }
  if (!::testing::Test::HasFailure()) fs::remove_all(dir);
}

// The scaled full screen with no window manager follows a resolution change:
// the window takes the new size and the frame is fitted to it (4:3 between
// bars, whole).
TEST(ProgramUnderXvfbModes, ScaledFullScreenFollowsAResolutionChangeWithoutWindowManager) {
  requireTools({"Xvfb", "xdotool", "xrandr", "xwd", "convert"});
  const fs::path dir = workDir("resize");
  Desktop desktop(1920, 1080, {{1280, 720}}, dir);
  ASSERT_TRUE(desktop.up());
  std::unique_ptr<ChildProcess> program = desktop.startProgram("resize");
  const std::string window = desktop.window();
  ASSERT_FALSE(window.empty());
  Rect where;
  ASSERT_TRUE(waitFor([&] { return (where = desktop.geometry(window)) == Rect{0, 0, 1920, 1080}; }, 15s)) << where;
  ASSERT_EQ(desktop.shell("xrandr -s 1280x720"), 0);
  EXPECT_TRUE(waitFor([&] { return (where = desktop.geometry(window)) == Rect{0, 0, 1280, 720}; }, 10s)) << where;
  // 960 x 720 at x = 160: the bars black, the frame's edge columns drawn
  // (the intro's blue bands and stars reach both edges).
  EXPECT_TRUE(waitFor([&] {
    const Picture p = desktop.shot();
    if (p.width != 1280 || p.height < 720) return false;
    const bool bars = p.blackColumn(159, 0, 719) && p.blackColumn(1120, 0, 719);
    return bars && !p.blackColumn(160, 0, 719) && !p.blackColumn(1119, 0, 719);
  }, 10s)) << "the frame is not fitted to 1280 x 720";
  ::kill(program->pid(), SIGTERM);
  EXPECT_EQ(program->waitExit(5000ms), 0);
  if (!::testing::Test::HasFailure()) fs::remove_all(dir);
}

// A button held since before the window existed holds the black screen with
// no window manager too; its release starts the intro.
TEST(ProgramUnderXvfbInput, ButtonHeldAtLaunchWithoutWindowManager) {
  requireTools({"Xvfb", "xdotool", "xwd", "convert"});
  const fs::path dir = workDir("held");
  Desktop desktop(1024, 768, {}, dir);
  ASSERT_TRUE(desktop.up());
  desktop.x("mousemove 500 400 mousedown 1");
  std::unique_ptr<ChildProcess> program = desktop.startProgram("held");
  ASSERT_FALSE(desktop.window().empty());
  // The intro's stripes start within half a second of the window when
  // nothing is held; watch for two seconds that nothing but black is shown.
  const auto until = std::chrono::steady_clock::now() + 2s;
  bool black = true;
  while (black && std::chrono::steady_clock::now() < until) black = desktop.shot().allBlack();
  EXPECT_TRUE(black) << "the intro started while the button was held";
  desktop.x("mouseup 1");
  EXPECT_TRUE(waitFor([&] { return !desktop.shot().allBlack(); }, 10s)) << "no intro after the release";
  EXPECT_TRUE(program->running());
  ::kill(program->pid(), SIGINT);
  EXPECT_EQ(program->waitExit(5000ms), 0);
  if (!::testing::Test::HasFailure()) fs::remove_all(dir);
}

// A quick click on CHARTS while an article's page turn is being shown acts
// once the turn is over: the new article with the charts page in the menu.
TEST(ProgramUnderXvfbInput, ClickDuringAPageTurnIsNotLost) {
  requireTools({"Xvfb", "xdotool", "xwd", "convert"});
  const fs::path dir = workDir("turn");
  Desktop desktop(800, 600, {}, dir);
  ASSERT_TRUE(desktop.up());
  std::unique_ptr<ChildProcess> program = desktop.startProgram("turn");
  ASSERT_FALSE(desktop.window().empty());
  enterReader(desktop, dir);
  if (::testing::Test::HasFatalFailure()) return;
  desktop.x("mousemove 250 78 click 1");  // the articles page's second entry: article 13
  // The wipe's first black columns at the text area's left edge.
  ASSERT_TRUE(waitFor([&] {
    const Picture p = desktop.shot();
    return p.width == 800 && p.blackColumn(24, 200, 560) && p.blackColumn(763, 200, 560);
  }, 5s)) << "no page turn seen";
  desktop.x("mousemove 79 74 click 1");  // CHARTS, during the turn
  const Picture wanted = reference(dir, "--article 13 --page 1");
  int textDiffs = -1, menuDiffs = -1;
  EXPECT_TRUE(waitFor([&] {
    const Picture p = desktop.shot();
    textDiffs = differences(p, wanted, kTextArea);
    menuDiffs = differences(p, wanted, kMenu);
    return textDiffs == 0 && menuDiffs == 0;
  }, 10s)) << "text area " << textDiffs << " and menu " << menuDiffs << " pixels unlike article 13 with the charts page";
  desktop.x("key Escape");
  EXPECT_EQ(program->waitExit(5000ms), 0);
  if (!::testing::Test::HasFailure()) fs::remove_all(dir);
}

// A frozen audio server (SIGSTOP) while a MUSIC button switches the module:
// the reader goes on drawing and Escape ends it with 0, the server still
// frozen.
TEST(ProgramUnderXvfbAudio, FrozenServerNeverHoldsUpTheReader) {
  requireTools({"Xvfb", "xdotool", "xwd", "convert", "pulseaudio", "pactl", "parec"});
  const fs::path dir = workDir("frozen");
  Desktop desktop(800, 600, {}, dir);
  ASSERT_TRUE(desktop.up());
  SoundServer sound(dir);
  ASSERT_TRUE(sound.start());
  std::unique_ptr<ChildProcess> program = desktop.startProgram("frozen", sound.env());
  ASSERT_FALSE(desktop.window().empty());
  enterReader(desktop, dir);
  if (::testing::Test::HasFatalFailure()) return;
  ASSERT_TRUE(sound.musicHeard(10s)) << "no music before the freeze";
  sound.freeze();
  desktop.x("mousemove 100 141 click 1");  // MUSIC 2
  // The reader animates (scroller, meter): new pictures keep coming.
  std::vector<uint32_t> seen;
  EXPECT_TRUE(waitFor([&] {
    const Picture p = desktop.shot();
    uint32_t h = 2166136261u;
    for (uint32_t v : p.pixels) h = (h ^ v) * 16777619u;
    if (std::find(seen.begin(), seen.end(), h) == seen.end()) seen.push_back(h);
    return seen.size() >= 4;
  }, 10s)) << "the frames stopped: " << seen.size() << " different pictures";
  desktop.x("mousemove 36 141 click 1");  // and MUSIC 1, still frozen
  desktop.x("key Escape");
  EXPECT_EQ(program->waitExit(5000ms), 0) << "Escape did not end the program while the server was frozen";
  sound.thaw();
  if (!::testing::Test::HasFailure()) fs::remove_all(dir);
}

// The audio server killed and started again: the music comes back by itself
// within a few seconds, with no input.
TEST(ProgramUnderXvfbAudio, RestartedServerBringsTheMusicBack) {
  requireTools({"Xvfb", "xdotool", "xwd", "convert", "pulseaudio", "pactl", "parec"});
  const fs::path dir = workDir("restart");
  Desktop desktop(800, 600, {}, dir);
  ASSERT_TRUE(desktop.up());
  SoundServer sound(dir);
  ASSERT_TRUE(sound.start());
  std::unique_ptr<ChildProcess> program = desktop.startProgram("restart", sound.env());
  ASSERT_FALSE(desktop.window().empty());
  enterReader(desktop, dir);
  if (::testing::Test::HasFatalFailure()) return;
  ASSERT_TRUE(sound.musicHeard(10s)) << "no music before the restart";
  sound.killHard();
  ASSERT_TRUE(sound.start());
  EXPECT_TRUE(sound.musicHeard(8s)) << "the music did not come back";
  EXPECT_TRUE(program->running());
  desktop.x("key Escape");
  EXPECT_EQ(program->waitExit(5000ms), 0);
  if (!::testing::Test::HasFailure()) fs::remove_all(dir);
}

}  // namespace
