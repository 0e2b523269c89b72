// Soak: the real intro and reader loops, page transitions and both music
// players driven for a long time by a seeded random user, with the reader's
// invariants checked after every frame.
//
// QV_SOAK_HOURS=h runs the reader soak for h hours of virtual time (a reader
// frame or a page-transition step takes about 16 ms of it) instead of the few
// thousand frames of the default run; QV_SOAK_SEED picks another random stream.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>

#include "render/graphics.h"
#include "tests/soak/soak_support.h"
#include "xm/module_player.h"

namespace soak {
namespace {

constexpr int64_t kDefaultFrames = 3000;

uint32_t seedFromEnvironment(uint32_t fallback) {
  const char* text = std::getenv("QV_SOAK_SEED");
  return text != nullptr && *text != '\0' ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : fallback;
}

// Virtual seconds of use asked for by QV_SOAK_HOURS, 0 for the short run.
double soakSecondsFromEnvironment() {
  const char* text = std::getenv("QV_SOAK_HOURS");
  const double hours = text != nullptr && *text != '\0' ? std::strtod(text, nullptr) : 0.0;
  return hours > 0.0 ? hours * 3600.0 : 0.0;
}

class ReaderSoak : public ::testing::Test {
 protected:
  void SetUp() override {
    channels_ = moduleChannelCounts();
    for (int32_t m = 1; m <= 4; ++m) ASSERT_GT(channels_[static_cast<std::size_t>(m)], 0) << "module " << m;
  }
  std::vector<int32_t> channels_;
};

TEST_F(ReaderSoak, SeededRandomUseKeepsEveryInvariant) {
  const double soakSeconds = soakSecondsFromEnvironment();
  const uint32_t seed = seedFromEnvironment(36);
  Session session;
  ASSERT_TRUE(app::startUp(session.p()));
  app::handOver(session.p());
  ASSERT_TRUE(app::readerFrame(session.p()));
  ASSERT_EQ(checkReader(session.p(), session.display, session.looping, channels_, false), "");

  // What the module player is heard playing, sampled once per present: the
  // output thread must keep mixing through everything the user does.
  std::set<std::pair<int32_t, int32_t>> heard;
  session.onPresent = [&](int64_t) {
    if (session.looping.isPlaying()) {
      heard.emplace(session.p().modulePlayer.audibleOrder(), session.p().modulePlayer.audibleRow());
    }
  };

  RandomUser user(session, seed);
  const auto wallStart = std::chrono::steady_clock::now();
  const double virtualStart = session.clock.now();
  auto elapsed = [&] { return session.clock.now() - virtualStart; };
  std::string broken;
  int64_t frames = 0;
  if (soakSeconds == 0.0) {
    frames = kDefaultFrames;
    broken = runReaderFrames(session, user, frames, channels_);
  } else {
    // Long runs go on until the virtual time is used up (page transitions
    // take their own presents) and report every six virtual minutes, so a
    // run in the background can be followed.
    double nextReport = 360.0;
    while (elapsed() < soakSeconds && broken.empty()) {
      broken = runReaderFrames(session, user, 2'000, channels_);
      frames += 2'000;
      if (elapsed() >= nextReport) {
        nextReport += 360.0;
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        std::printf("soak: %lld frames, %.2f virtual hours, %.0f s wall, %lld presents\n",
                    static_cast<long long>(frames), elapsed() / 3600.0, wall,
                    static_cast<long long>(session.display.presentCount()));
        std::fflush(stdout);
      }
    }
  }
  EXPECT_EQ(broken, "") << "seed " << seed;

  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  const double virtualHours = elapsed() / 3600.0;
  const RandomUser::Counts& c = user.counts();
  std::printf(
      "soak: seed %u, %lld reader frames, %lld presents, %.3f virtual hours, %.1f s wall; actions: %lld buttons, "
      "%lld menu slots, %lld page switches, %lld stray clicks, %lld drags, %lld wheel turns, %lld up/down holds, "
      "%lld paging keys, %lld skin keys; %zu order/row positions heard\n",
      seed, static_cast<long long>(frames), static_cast<long long>(session.display.presentCount()), virtualHours,
      wall, static_cast<long long>(c.buttonClicks), static_cast<long long>(c.menuClicks),
      static_cast<long long>(c.pageSwitchClicks), static_cast<long long>(c.strayClicks),
      static_cast<long long>(c.thumbDrags), static_cast<long long>(c.wheelTurns),
      static_cast<long long>(c.upDownHolds), static_cast<long long>(c.pagingKeys),
      static_cast<long long>(c.skinKeys), heard.size());
  RecordProperty("frames", std::to_string(frames));
  RecordProperty("virtual_hours", std::to_string(virtualHours));
  RecordProperty("wall_seconds", std::to_string(wall));

  // Every kind of input was exercised, and music was heard moving on.
  EXPECT_GT(c.buttonClicks, 0);
  EXPECT_GT(c.menuClicks, 0);
  EXPECT_GT(c.pageSwitchClicks, 0);
  EXPECT_GT(c.thumbDrags, 0);
  EXPECT_GT(c.wheelTurns, 0);
  EXPECT_GT(c.upDownHolds, 0);
  EXPECT_GT(c.pagingKeys, 0);
  EXPECT_GT(c.skinKeys, 0);
  EXPECT_GT(heard.size(), 20u);
  EXPECT_GT(session.moduleFramesPlayed, 0u);

  // Escape still ends the reader, and shutting down releases the device.
  session.display.queue(host::InputEvent::keyDown(host::kKeyEscape));
  session.display.queue(host::InputEvent::buttonUp());
  ASSERT_TRUE(app::readerFrame(session.p()));
  EXPECT_FALSE(app::readerFrame(session.p()));
  app::shutDown(session.p());
  EXPECT_FALSE(session.looping.isOpen());
  EXPECT_FALSE(session.display.isOpen());
  EXPECT_EQ(session.looping.openCount(), session.looping.closeCount());
}

// The checker is what makes the soak able to fail: every corruption in this
// table must be reported after an otherwise healthy frame.
TEST_F(ReaderSoak, CheckerReportsEveryBrokenInvariant) {
  Session session;
  ASSERT_TRUE(app::startUp(session.p()));
  app::handOver(session.p());
  ASSERT_TRUE(app::readerFrame(session.p()));
  ASSERT_EQ(checkReader(session.p(), session.display, session.looping, channels_, false), "");

  struct Corruption {
    const char* name;
    void (*apply)(app::Program&);
    const char* expected;  // part of the report
  };
  const Corruption table[] = {
      // name                      corruption                                                      report mentions
      {"top below 0", [](app::Program& p) { p.view.topLine = -1; }, "topLine"},
      {"top past the last page", [](app::Program& p) { p.view.topLine = p.view.lineCount - 32; }, "topLine"},
      {"offset 13", [](app::Program& p) { p.view.pixelOffset = 13; }, "pixelOffset"},
      {"offset -1", [](app::Program& p) { p.view.pixelOffset = -1; }, "pixelOffset"},
      {"short article offset", [](app::Program& p) { p.view.lineCount = 20; p.view.pixelOffset = 0; }, "short article"},
      {"latch left set", [](app::Program& p) { p.view.clickLatch = 1; }, "clickLatch"},
      {"charts on articles page", [](app::Program& p) { p.view.buttonState[2] = 1; }, "page buttons"},
      {"articles cleared", [](app::Program& p) { p.view.buttonState[3] = 0; }, "page buttons"},
      {"two music buttons", [](app::Program& p) { p.view.buttonState[9] = 1; }, "music buttons"},
      {"wrong music button", [](app::Program& p) { p.view.currentModule = 2; }, "music buttons"},
      {"module 5", [](app::Program& p) { p.view.currentModule = 5; }, "currentModule"},
      {"mute shown while playing", [](app::Program& p) { p.view.buttonState[6] = 1; }, "muted"},
      {"silent without mute", [](app::Program& p) { p.modulePlayer.stop(); }, "silent"},
      {"meter bar above 131", [](app::Program& p) { p.graphics->meter.bars[7] = 130.0; }, "meter bar 7"},
      {"meter bar below 149", [](app::Program& p) { p.graphics->meter.bars[39] = 150.0; }, "meter bar 39"},
      {"meter channels", [](app::Program& p) { p.graphics->meter.channelCount += 1; }, "meter channel"},
      {"two entries open", [](app::Program& p) { p.view.entryOpen[3] = 1; }, "entries open"},
      {"quit", [](app::Program& p) { p.view.quitRequested = 1; }, "QUIT"},
  };
  for (const Corruption& c : table) {
    Session broken;
    ASSERT_TRUE(app::startUp(broken.p()));
    app::handOver(broken.p());
    ASSERT_TRUE(app::readerFrame(broken.p()));
    c.apply(broken.p());
    const std::string report = checkReader(broken.p(), broken.display, broken.looping, channels_, false);
    EXPECT_NE(report.find(c.expected), std::string::npos) << c.name << ": " << report;
  }
  // A page switch in the frame allows both page buttons to be clear, nothing else.
  session.p().view.buttonState[2] = 0;
  session.p().view.buttonState[3] = 0;
  EXPECT_EQ(checkReader(session.p(), session.display, session.looping, channels_, true), "");
  EXPECT_NE(checkReader(session.p(), session.display, session.looping, channels_, false), "");
}

// Whole runs, start to exit, each with its own seed: held button at start,
// intro with random tune keys, leaving by click or Escape, the reader under
// random use, exit by Escape or QUIT.
TEST(WholeRunSoak, SeededRunsFromStartToExit) {
  const std::vector<int32_t> channels = moduleChannelCounts();
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto uniform = [&rng](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
    Session session;
    app::Program& p = session.p();

    // The button is still held from the click that started the program.
    session.display.apply(host::InputEvent::buttonDown());
    const int64_t release = uniform(1, 30);
    session.display.atPresent(release, host::InputEvent::buttonUp());
    ASSERT_TRUE(app::startUp(p));
    app::waitForRelease(p);
    EXPECT_EQ(session.display.presentCount(), release + 1);

    app::startIntro(p);
    EXPECT_TRUE(p.sidPlayer.hasDevice());
    std::set<uint32_t> tunes{p.view.currentTune};
    const int32_t introFrames = uniform(150, 400);
    for (int32_t f = 0; f < introFrames; ++f) {
      if (uniform(0, 19) == 0) {
        const int32_t key = host::kKeyF1 + uniform(0, 11);
        session.display.queue(host::InputEvent::keyDown(key));
        session.display.queue(host::InputEvent::keyUp(key));
      }
      ASSERT_TRUE(app::introFrame(p)) << "intro frame " << f;
      ASSERT_GE(p.view.currentTune, 1u);
      ASSERT_LE(p.view.currentTune, 12u);
      tunes.insert(p.view.currentTune);
      ASSERT_TRUE(session.wave.isOpen());
    }
    EXPECT_GT(tunes.size(), 1u);
    EXPECT_GT(session.tuneBuffersPlayed, 5);
    EXPECT_GT(p.sidPlayer.playCallCount(), 0u);

    // Leave the intro with a click or with Escape.
    const bool byClick = uniform(0, 1) == 0;
    session.display.queue(byClick ? host::InputEvent::buttonDown() : host::InputEvent::keyDown(host::kKeyEscape));
    ASSERT_TRUE(app::introFrame(p));
    EXPECT_FALSE(app::introFrame(p));
    session.display.queue(byClick ? host::InputEvent::buttonUp() : host::InputEvent::keyUp(host::kKeyEscape));
    app::handOver(p);
    EXPECT_FALSE(session.wave.isOpen());
    EXPECT_TRUE(session.looping.isPlaying());

    RandomUser user(session, seed * 7919u);
    EXPECT_EQ(runReaderFrames(session, user, uniform(300, 900), channels), "");

    // Finish what the user was doing, then leave by Escape or by QUIT.
    session.display.queue(host::InputEvent::buttonUp());
    ASSERT_TRUE(app::readerFrame(p));
    ASSERT_TRUE(app::readerFrame(p));
    if (uniform(0, 1) == 0) {
      session.display.queue(host::InputEvent::keyDown(host::kKeyEscape));
    } else {
      const render::Rect& quit = render::buttonRect(render::kButtonQuit, p.view.skin);
      session.display.queue(host::InputEvent::move(quit.x + quit.lastDX / 2, quit.y + quit.lastDY / 2));
      session.display.queue(host::InputEvent::buttonDown());
      ASSERT_TRUE(app::readerFrame(p));
    }
    int32_t frames = 0;
    while (app::readerFrame(p)) ASSERT_LT(++frames, 3) << "the reader does not end";
    app::shutDown(p);
    EXPECT_FALSE(session.display.isOpen());
    EXPECT_FALSE(session.looping.isOpen());
    EXPECT_EQ(session.looping.openCount(), session.looping.closeCount());
    EXPECT_EQ(session.wave.callCount("open"), session.wave.callCount("close"));
  }
}

}  // namespace
}  // namespace soak
