// The program's run from start-up to exit on the headless host: start-up
// state, waiting for release, the intro's tune keys and exit, the hand-over,
// the reader's exit and the exit statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app_harness.h"
#include "render/render.h"

namespace app::testing {
namespace {

using host::InputEvent;

TEST(StartUp, OpensTheDisplayFullScreenWithTheTitleAndHidesThePointer) {
  Harness h;
  ASSERT_TRUE(startUp(h.p()));
  EXPECT_EQ(h.display.title(), "CODED BY TARVOSKELD :-)");
  EXPECT_EQ(h.display.width(), 800);
  EXPECT_EQ(h.display.height(), 600);
  EXPECT_EQ(h.display.exitOnClose(), 0);
  EXPECT_EQ(h.display.ask(), 0);
  EXPECT_EQ(h.display.windowed(), 0);
  EXPECT_EQ(h.display.popupStyle(), 1);
  EXPECT_EQ(h.display.question(), "THE QUORVALINE CHARTS PREVIEW\rFULL SCREEN?");
  EXPECT_FALSE(h.display.cursorVisible());
  EXPECT_EQ(h.display.presentCount(), 0);
}

TEST(StartUp, ArticleElevenIsOpenWithArticlesAndMusicOneSelected) {
  Harness h;
  ASSERT_TRUE(startUp(h.p()));
  const ViewState& v = h.view();
  EXPECT_EQ(v.lineCount, 95);
  EXPECT_EQ(v.topLine, 0);
  EXPECT_EQ(v.menuPage, 2);
  EXPECT_EQ(v.skin, 1);
  for (int e = 1; e <= 21; ++e) EXPECT_EQ(v.entryOpen[e], e == 11 ? 1 : 0) << "entry " << e;
  //                 button: 1  2  3  4  5  6  7  8  9  10
  const int32_t states[] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  for (int b = 1; b <= 10; ++b) EXPECT_EQ(v.buttonState[b], states[b - 1]) << "button " << b;
}

// A reader started on another article (the browser edition's #article-N)
// shows the menu and buttons as if it had been opened from them.
TEST(StartUp, OpeningArticleSetsTheMenuAndButtonsItsOpeningWouldHave) {
  //                 button: 1  2  3  4  5  6  7  8  9  10
  const int32_t articles[] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  const int32_t charts[] = {0, 1, 0, 0, 0, 0, 1, 0, 0, 0};
  const int32_t rules[] = {0, 0, 1, 1, 0, 0, 1, 0, 0, 0};
  const int32_t help[] = {0, 0, 1, 0, 1, 0, 1, 0, 0, 0};
  struct Row { int32_t asked, article, lines, menuPage, entry; const int32_t* buttons; };
  const Row rows[] = {{4, 4, 1444, 1, 4, charts},   {9, 9, 84, 1, 9, charts},  {13, 13, 87, 2, 13, articles},
                      {12, 12, 411, 2, 0, rules},    {10, 10, 117, 2, 0, help},  {11, 11, 95, 2, 11, articles},
                      {0, 11, 95, 2, 11, articles},  {21, 11, 95, 2, 11, articles}, {-4, 11, 95, 2, 11, articles}};
  for (const Row& r : rows) {
    Harness h;
    h.p().openingArticle = r.asked;
    ASSERT_TRUE(startUp(h.p()));
    const ViewState& v = h.view();
    EXPECT_EQ(v.article, r.article) << "asked " << r.asked;
    EXPECT_EQ(v.lineCount, r.lines) << "asked " << r.asked;
    EXPECT_EQ(v.topLine, 0);
    EXPECT_EQ(v.menuPage, r.menuPage) << "asked " << r.asked;
    for (int e = 1; e <= 21; ++e) EXPECT_EQ(v.entryOpen[e], e == r.entry ? 1 : 0) << "asked " << r.asked << " entry " << e;
    for (int b = 1; b <= 10; ++b) EXPECT_EQ(v.buttonState[b], r.buttons[b - 1]) << "asked " << r.asked << " button " << b;
  }
}

TEST(StartUp, DisplayThatFailsToOpenEndsWithMinusOneAtOnce) {
  Harness h;
  h.display.failOpen(true);
  EXPECT_EQ(runProgram(h.p()), kExitNoDisplay);
  EXPECT_EQ(h.display.openCalls(), 1);
  EXPECT_EQ(h.display.presentCount(), 0);
  EXPECT_EQ(h.wave.callCount("open"), 0);  // no tune was started
}

TEST(WaitForRelease, ShowsBlackFramesWhileTheButtonIsHeld) {
  Harness h;
  h.display.apply(InputEvent::buttonDown());
  ASSERT_TRUE(startUp(h.p()));
  h.display.atPresent(5, InputEvent::buttonUp());
  std::vector<int64_t> nonBlack;
  h.display.setFrameCallback([&](int64_t n, const uint32_t* px) {
    if (std::any_of(px, px + 800 * 600, [](uint32_t c) { return c != 0; })) nonBlack.push_back(n);
  });
  waitForRelease(h.p());
  // Presents 1..5 while held (released during the 5th), then one more.
  EXPECT_EQ(h.display.presentCount(), 6);
  EXPECT_TRUE(nonBlack.empty());
}

TEST(WaitForRelease, WaitsForEscapeToBeReleased) {
  Harness h;
  h.display.apply(InputEvent::keyDown(host::kKeyEscape));
  ASSERT_TRUE(startUp(h.p()));
  h.display.atPresent(3, InputEvent::keyUp(host::kKeyEscape));
  waitForRelease(h.p());
  EXPECT_EQ(h.display.presentCount(), 4);
}

TEST(WaitForRelease, NothingHeldGivesOneBlackFrame) {
  Harness h;
  ASSERT_TRUE(startUp(h.p()));
  waitForRelease(h.p());
  EXPECT_EQ(h.display.presentCount(), 1);
}

TEST(Intro, StartsAfterA150msPauseWithARandomTune) {
  Harness h;
  ASSERT_TRUE(startUp(h.p()));
  startIntro(h.p());
  EXPECT_EQ(h.clock.sleepsOf(150), 1);
  EXPECT_GE(h.view().currentTune, 1u);
  EXPECT_LE(h.view().currentTune, 12u);
  EXPECT_EQ(h.wave.callCount("open"), 1);  // one tune started
  // Three bursts of stripes, 0.5 s of timer time each.
  EXPECT_GE(h.clock.now(), 1.5);
}

TEST(Intro, StripesAreANewFillEveryFrameForHalfASecondABurst) {
  Harness h;
  ASSERT_TRUE(startUp(h.p()));
  const int64_t presents = h.display.presentCount();
  const int64_t sleeps = h.clock.sleepsOf(1);
  const double start = h.clock.now();
  startIntro(h.p());
  // A frame is a present (10 ms) and a 1 ms sleep; a burst ends with the
  // first frame that finds 0.5 s gone: 46 frames, 0.506 s. Three bursts
  // after the 150 ms pause.
  EXPECT_EQ(h.display.presentCount() - presents, 3 * 46);
  EXPECT_EQ(h.clock.sleepsOf(1) - sleeps, 3 * 46);
  EXPECT_NEAR(h.clock.now() - start, 0.150 + 3 * 46 * 0.011, 1e-9);
  // The last burst's bands are two rows high.
  const std::vector<uint32_t>& f = h.display.lastFrame();
  ASSERT_EQ(f.size(), 800u * 600u);
  int changes = 0;
  for (int y = 0; y < 600; y += 2) {
    EXPECT_EQ(f[static_cast<std::size_t>(y * 800)], f[static_cast<std::size_t>((y + 1) * 800 + 799)]) << y;
    if (y > 0 && f[static_cast<std::size_t>(y * 800)] != f[static_cast<std::size_t>((y - 1) * 800)]) ++changes;
  }
  EXPECT_GT(changes, 250);
}

TEST(Intro, FKeyOfThePlayingTuneDoesNothingAndAnotherSwitches) {
  Harness h;
  ASSERT_TRUE(startUp(h.p()));
  startIntro(h.p());
  startTune(h.p(), 5);
  h.view().currentTune = 5;
  const int32_t opens = h.wave.callCount("open");

  auto pressInIntro = [&](int32_t key) {
    h.display.queue(InputEvent::keyDown(key));
    ASSERT_TRUE(introFrame(h.p()));  // the present applies the press
    ASSERT_TRUE(introFrame(h.p()));  // this frame sees it
    h.display.queue(InputEvent::keyUp(key));
    ASSERT_TRUE(introFrame(h.p()));
  };
  // key | tune after | device opens (a start is stop, play, resume)
  // F5  |  5         | +0   the tune already playing
  // F12 | 12         | +1
  // F12 | 12         | +0
  // F1  |  1         | +1
  pressInIntro(host::kKeyF1 + 4);
  EXPECT_EQ(h.view().currentTune, 5u);
  EXPECT_EQ(h.wave.callCount("open"), opens);
  pressInIntro(host::kKeyF12);
  EXPECT_EQ(h.view().currentTune, 12u);
  EXPECT_EQ(h.wave.callCount("open"), opens + 1);
  pressInIntro(host::kKeyF12);
  EXPECT_EQ(h.view().currentTune, 12u);
  EXPECT_EQ(h.wave.callCount("open"), opens + 1);
  pressInIntro(host::kKeyF1);
  EXPECT_EQ(h.view().currentTune, 1u);
  EXPECT_EQ(h.wave.callCount("open"), opens + 2);
}

TEST(Intro, ClockAdvancesByTheMeasuredFrameTime) {
  Harness h;
  ASSERT_TRUE(startUp(h.p()));
  startIntro(h.p());
  ASSERT_TRUE(introFrame(h.p()));
  // One frame: 10 ms present + 1 ms sleep = 0.011 s.
  EXPECT_NEAR(h.view().introFrameStep, 0.011 * 250, 1e-9);
  EXPECT_NEAR(h.view().introClock, 0.011 * 50, 1e-9);
}

TEST(Intro, EscapeOrTheLeftButtonEndsIt) {
  Harness h;
  ASSERT_TRUE(startUp(h.p()));
  startIntro(h.p());
  ASSERT_TRUE(introFrame(h.p()));
  h.display.queue(InputEvent::buttonDown());
  ASSERT_TRUE(introFrame(h.p()));  // the frame in progress completes
  EXPECT_FALSE(introFrame(h.p()));
}

TEST(Intro, AQuickClickDuringItsStripesEndsIt) {
  Harness h;
  ASSERT_TRUE(startUp(h.p()));
  waitForRelease(h.p());
  const int64_t start = h.display.presentCount();
  h.display.atPresent(start + 5, InputEvent::buttonDown());
  h.display.atPresent(start + 6, InputEvent::buttonUp());
  startIntro(h.p());
  ASSERT_GT(h.display.presentCount(), start + 10);  // the click is long gone from the button state
  EXPECT_EQ(h.display.leftButton(), 0);
  EXPECT_FALSE(introFrame(h.p()));
}

TEST(Intro, TheClickThatEndsItDoesNothingInTheReader) {
  Harness h;
  ASSERT_TRUE(startUp(h.p()));
  waitForRelease(h.p());
  startIntro(h.p());
  h.display.queue(InputEvent::move(60, 75));  // over CHARTS
  h.display.queue(InputEvent::buttonDown());
  h.display.queue(InputEvent::buttonUp());
  ASSERT_TRUE(introFrame(h.p()));
  EXPECT_FALSE(introFrame(h.p()));
  handOver(h.p());
  for (int i = 0; i < 3; ++i) h.frame();
  EXPECT_EQ(h.view().menuPage, 2);
}

TEST(Intro, TheEscapeThatEndsTheIntroDoesNotEndTheReader) {
  Harness h;
  ASSERT_TRUE(startUp(h.p()));
  startIntro(h.p());
  h.display.queue(InputEvent::keyDown(host::kKeyEscape));
  ASSERT_TRUE(introFrame(h.p()));
  EXPECT_FALSE(introFrame(h.p()));
  handOver(h.p());
  // Escape is still held, but its press was taken by the intro.
  EXPECT_TRUE(h.frame());
  EXPECT_TRUE(h.frame({InputEvent::keyUp(host::kKeyEscape)}));
  EXPECT_TRUE(h.frame({InputEvent::keyDown(host::kKeyEscape)}));
  EXPECT_FALSE(h.frame());
}

TEST(HandOver, StopsTheTuneAndStartsModuleOne) {
  Harness h;
  ASSERT_TRUE(startUp(h.p()));
  startIntro(h.p());
  const int64_t before = h.display.presentCount();
  const double t0 = h.clock.now();
  handOver(h.p());
  EXPECT_FALSE(h.wave.isOpen());
  EXPECT_EQ(h.looping.openCount(), 1);
  EXPECT_EQ(h.clock.sleepsOf(10), 1);
  EXPECT_GE(h.clock.now() - t0, 3.0);  // six bursts of stripes
  EXPECT_GT(h.display.presentCount(), before);
}

TEST(Reader, QuitButtonEndsTheProgramWithStatusZero) {
  Harness h;
  h.enterReader();
  h.clickButton(render::kButtonQuit);
  EXPECT_EQ(h.view().quitRequested, 1);
  EXPECT_FALSE(h.frame());
  shutDown(h.p());
  EXPECT_EQ(h.display.closeCalls(), 1);
  EXPECT_FALSE(h.looping.isPlaying());
}

TEST(Reader, CloseRequestFromTheSystemIsIgnored) {
  Harness h;
  h.enterReader();
  EXPECT_TRUE(h.frame({InputEvent::closeRequest()}));
  EXPECT_TRUE(h.frame());
  EXPECT_FALSE(h.display.exitRequested());
  EXPECT_TRUE(h.display.isOpen());
}

// An end asked for by the session (a signal) in any stage: the rest is
// skipped, both players stop, the display is closed (its mode restored) and
// the status is 0. Virtual seconds: held button until 0.5, stripes until
// ~2.2, the intro until a click at 3.0, stripes for 3 s, then the reader.
struct EndCase {
  const char* stage;
  double at;
  bool introRan;
  bool readerRan;
};

class EndRequested : public ::testing::TestWithParam<EndCase> {};

TEST_P(EndRequested, EndsEveryStageWithTheDisplayClosedAndStatusZero) {
  const EndCase c = GetParam();
  Harness h;
  h.display.apply(InputEvent::buttonDown());  // held at launch
  h.display.atTime(0.5, InputEvent::buttonUp());
  h.display.atTime(3.0, InputEvent::buttonDown());
  h.display.atTime(3.1, InputEvent::buttonUp());
  h.display.atTime(c.at, InputEvent::endRequest());
  EXPECT_EQ(runProgram(h.p()), kExitNormal);
  EXPECT_EQ(h.display.closeCalls(), 1);
  EXPECT_FALSE(h.wave.isOpen());
  EXPECT_FALSE(h.looping.isOpen());
  EXPECT_EQ(h.wave.callCount("open") > 0, c.introRan);
  EXPECT_EQ(h.looping.openCount() > 0, c.readerRan);
  EXPECT_LT(h.clock.now(), c.at + (c.readerRan ? 3.3 : 0.2));  // a hand-over begun is finished
}

INSTANTIATE_TEST_SUITE_P(Stages, EndRequested,
                         ::testing::Values(EndCase{"WaitingForRelease", 0.2, false, false},
                                           EndCase{"Intro", 2.6, true, false},
                                           EndCase{"HandOver", 3.5, true, true},
                                           EndCase{"Reader", 7.5, true, true}),
                         [](const ::testing::TestParamInfo<EndCase>& param) { return std::string(param.param.stage); });

TEST(WholeRun, IntroReaderAndEscapeGiveStatusZero) {
  Harness h;
  // Timeline in virtual seconds: stripes until ~1.7, intro until Escape at
  // 2.5, stripes for 3 s, then the reader until the second Escape at 8.0.
  h.display.atTime(2.5, InputEvent::keyDown(host::kKeyEscape));
  h.display.atTime(2.6, InputEvent::keyUp(host::kKeyEscape));
  h.display.atTime(8.0, InputEvent::keyDown(host::kKeyEscape));
  int64_t readerFrames = 0;
  h.display.setFrameCallback([&](int64_t, const uint32_t*) {
    if (h.clock.now() > 6.2 && h.clock.now() < 8.0) ++readerFrames;
  });
  EXPECT_EQ(runProgram(h.p()), kExitNormal);
  EXPECT_GT(readerFrames, 100);
  EXPECT_EQ(h.display.closeCalls(), 1);
  EXPECT_EQ(h.wave.callCount("open"), 1);
  EXPECT_FALSE(h.looping.isPlaying());
  EXPECT_LT(h.clock.now(), 8.1);
}

}  // namespace
}  // namespace app::testing
