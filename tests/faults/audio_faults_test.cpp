// Audio faults: no device at all (fake outputs that refuse to open, and the
// real SDL outputs with an audio driver that does not exist), and devices
// that fail or stall in the middle of a run. In every case the intro and the
// reader go on silently, switching, muting and exiting never wait forever,
// and the program ends with status 0. Runs are bounded by the headless
// host's present limit: a loop that never ends aborts the test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/sdl/sdl_looping_audio_output.h"
#include "host/sdl/sdl_wave_output.h"
#include "render/graphics.h"
#include "tests/soak/soak_support.h"

namespace {

using host::InputEvent;

constexpr int64_t kPresentLimit = 20'000;

// A scripted visit by virtual time: two tune keys in the intro, leave it by a
// click, then in the reader MUSIC 2, MUTE twice, a menu entry, MUSIC 4, and
// Escape. Button centres are those of skin 1.
// (The script is written before start-up: the rectangles come from the layout.)
void scriptVisit(host::HeadlessDisplayHost& display) {
  auto centre = [](int32_t button) {
    const render::Rect& r = render::buttonRect(button, 1);
    return InputEvent::move(r.x + r.lastDX / 2, r.y + r.lastDY / 2);
  };
  double t = 3.0;  // after the opening stripes
  auto at = [&display, &t](double dt, const InputEvent& e) {
    t += dt;
    display.atTime(t, e);
  };
  at(0.5, InputEvent::keyDown(host::kKeyF1 + 4));
  at(0.1, InputEvent::keyUp(host::kKeyF1 + 4));
  at(0.5, InputEvent::keyDown(host::kKeyF12));
  at(0.1, InputEvent::keyUp(host::kKeyF12));
  at(0.5, InputEvent::buttonDown());  // leaves the intro
  at(0.1, InputEvent::buttonUp());
  at(4.0, centre(render::kButtonMusic1 + 1));  // after the hand-over's 3 s of stripes
  at(0.1, InputEvent::buttonDown());
  at(0.1, InputEvent::buttonUp());
  for (int k = 0; k < 2; ++k) {
    at(0.5, centre(render::kButtonMute));
    at(0.1, InputEvent::buttonDown());
    at(0.1, InputEvent::buttonUp());
  }
  at(0.5, InputEvent::move(200, 78));  // menu slot 2
  at(0.1, InputEvent::buttonDown());
  at(0.1, InputEvent::buttonUp());
  at(4.0, centre(render::kButtonMusic4));
  at(0.1, InputEvent::buttonDown());
  at(0.1, InputEvent::buttonUp());
  at(1.0, InputEvent::keyDown(host::kKeyEscape));
}

TEST(NoAudioDevice, FakeOutputsRefusingToOpenLeaveARunSilentAndExitZero) {
  soak::Session s;
  s.display.setPresentLimit(kPresentLimit);
  s.wave.setOpenResult(host::kWaveErrorBadDevice);
  s.looping.setDeviceAvailable(false);
  scriptVisit(s.display);

  EXPECT_EQ(app::runProgram(s.p()), app::kExitNormal);
  EXPECT_FALSE(s.display.isOpen());
  // Tunes were started (the first, F5, F12) but none could queue a buffer,
  // and no error box holds up the intro.
  EXPECT_GE(s.wave.callCount("open"), 3);
  EXPECT_EQ(s.wave.callCount("write"), 0);
  EXPECT_TRUE(s.wave.shownErrors().empty());
  EXPECT_EQ(s.p().view.currentTune, 12u);
  // The modules were loaded and switched, never played.
  EXPECT_EQ(s.looping.playCount(), 0);
  EXPECT_FALSE(s.looping.isOpen());
  EXPECT_EQ(s.p().view.currentModule, 4);
  EXPECT_EQ(s.p().view.entryOpen[13], 1);  // the menu still worked
  for (int i = 0; i < render::kMeterBars; ++i) {
    const double bar = s.p().graphics->meter.bars[static_cast<std::size_t>(i)];
    EXPECT_TRUE(bar >= 131.0 && bar <= 149.0) << "bar " << i << " at " << bar;
  }
}

TEST(NoAudioDevice, SdlOutputsWithAnUnknownDriverLeaveARunSilentAndExitZero) {
  setenv("SDL_AUDIODRIVER", "no-such-audio-driver", 1);
  host::VirtualClock clock;
  host::HeadlessDisplayHost display(&clock, soak::kSecondsPerPresent);
  display.setPresentLimit(kPresentLimit);
  host::SdlWaveOutput wave;
  host::SdlLoopingAudioOutput looping;
  auto program = std::make_unique<app::Program>(display, clock, wave, looping);
  scriptVisit(display);

  EXPECT_EQ(app::runProgram(*program), app::kExitNormal);
  EXPECT_FALSE(program->sidPlayer.hasDevice());
  EXPECT_EQ(program->view.currentModule, 4);
  EXPECT_EQ(program->modulePlayer.audibleRow(), 0);  // never played
  program.reset();
  unsetenv("SDL_AUDIODRIVER");
}

// The tune's device starts failing every write and prepare: each failure is
// reported, the buffers drop out of the cycle, and switching tunes and
// leaving the intro still return.
TEST(FailingAudio, TuneOutputFailingMidIntroStallsTheTuneButNothingHangs) {
  soak::Session s;
  s.display.setPresentLimit(kPresentLimit);
  app::Program& p = s.p();
  ASSERT_TRUE(app::startUp(p));
  app::waitForRelease(p);
  app::startIntro(p);
  for (int f = 0; f < 60; ++f) ASSERT_TRUE(app::introFrame(p));
  const int64_t playedBefore = s.tuneBuffersPlayed;
  EXPECT_GT(playedBefore, 3);
  EXPECT_TRUE(s.wave.shownErrors().empty());

  s.wave.failWrite(host::kWaveErrorGeneric);
  s.wave.failPrepare(host::kWaveErrorStillPlaying);
  for (int f = 0; f < 60; ++f) ASSERT_TRUE(app::introFrame(p));
  // Both buffers were handed back once more and could not be queued again.
  EXPECT_EQ(s.wave.queuedCount(), 0);
  EXPECT_LE(s.tuneBuffersPlayed, playedBefore + 2);
  const std::vector<std::string> errors = s.wave.shownErrors();
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors.front(), s.wave.errorText(host::kWaveErrorStillPlaying));

  // A tune switch while every call fails: stop and play return.
  const uint32_t next = p.view.currentTune % 12 + 1;
  s.display.queue(InputEvent::keyDown(host::kKeyF1 + static_cast<int32_t>(next) - 1));
  ASSERT_TRUE(app::introFrame(p));
  ASSERT_TRUE(app::introFrame(p));
  EXPECT_EQ(p.view.currentTune, next);
  EXPECT_GT(s.wave.shownErrors().size(), errors.size());

  s.display.queue(InputEvent::keyDown(host::kKeyEscape));
  ASSERT_TRUE(app::introFrame(p));
  ASSERT_FALSE(app::introFrame(p));
  app::handOver(p);
  EXPECT_FALSE(s.wave.isOpen());
  EXPECT_TRUE(s.looping.isPlaying());
}

// The module device's position stops moving (a device that stalls) and later
// the device disappears: muting, switching and leaving all return, and the
// reader's state stays consistent.
TEST(FailingAudio, ModuleOutputStallingThenVanishingNeverHoldsUpTheReader) {
  const std::vector<int32_t> channels = soak::moduleChannelCounts();
  soak::Session s;
  s.display.setPresentLimit(kPresentLimit);
  app::Program& p = s.p();
  ASSERT_TRUE(app::startUp(p));
  app::handOver(p);
  for (int f = 0; f < 100; ++f) ASSERT_TRUE(app::readerFrame(p));
  const int32_t rowBefore = p.modulePlayer.audibleRow() + 64 * p.modulePlayer.audibleOrder();
  EXPECT_GT(rowBefore, 0);

  s.audioRunning = false;  // the play position stands still from here on
  auto clickButton = [&](int32_t button) {
    const render::Rect& r = render::buttonRect(button, p.view.skin);
    s.display.queue(InputEvent::move(r.x + r.lastDX / 2, r.y + r.lastDY / 2));
    s.display.queue(InputEvent::buttonDown());
    ASSERT_TRUE(app::readerFrame(p));
    ASSERT_TRUE(app::readerFrame(p));
    s.display.queue(InputEvent::buttonUp());
    ASSERT_TRUE(app::readerFrame(p));
    EXPECT_EQ(soak::checkReader(p, s.display, s.looping, channels, false), "") << "button " << button;
  };
  clickButton(render::kButtonMute);
  EXPECT_FALSE(s.looping.isPlaying());
  clickButton(render::kButtonMute);
  EXPECT_TRUE(s.looping.isPlaying());
  clickButton(render::kButtonMusic1 + 2);
  EXPECT_EQ(p.view.currentModule, 3);
  // The stalled ring is pre-filled once and then not touched: the heard row stays.
  EXPECT_EQ(p.modulePlayer.audibleRow(), 0);
  EXPECT_EQ(p.modulePlayer.audibleOrder(), 0);

  // Now the device goes away: the next module cannot be played.
  s.looping.setDeviceAvailable(false);
  auto clickWithoutDevice = [&](int32_t button) {
    const render::Rect& r = render::buttonRect(button, p.view.skin);
    s.display.queue(InputEvent::move(r.x + r.lastDX / 2, r.y + r.lastDY / 2));
    s.display.queue(InputEvent::buttonDown());
    ASSERT_TRUE(app::readerFrame(p));
    ASSERT_TRUE(app::readerFrame(p));
    s.display.queue(InputEvent::buttonUp());
    ASSERT_TRUE(app::readerFrame(p));
  };
  clickWithoutDevice(render::kButtonMusic1 + 1);
  EXPECT_EQ(p.view.currentModule, 2);
  EXPECT_EQ(p.view.buttonState[render::kButtonMusic1 + 1], 1);
  EXPECT_FALSE(s.looping.isOpen());
  EXPECT_EQ(p.modulePlayer.channelCount(), channels[2]);  // loaded, only silent
  clickWithoutDevice(render::kButtonMute);
  clickWithoutDevice(render::kButtonMute);
  EXPECT_EQ(p.view.buttonState[render::kButtonMute], 0);

  s.display.queue(InputEvent::keyDown(host::kKeyEscape));
  ASSERT_TRUE(app::readerFrame(p));
  EXPECT_EQ(app::runReader(p), app::kExitNormal);
  EXPECT_FALSE(s.display.isOpen());
}

// Stop while the output thread is mixing as fast as it can: the position
// runs far ahead of the ring between frames, and every switch still returns.
TEST(FailingAudio, PositionRunningFarAheadOfTheRingStillSwitchesAndStops) {
  soak::Session s;
  s.display.setPresentLimit(kPresentLimit);
  app::Program& p = s.p();
  ASSERT_TRUE(app::startUp(p));
  app::handOver(p);
  for (int32_t round = 0; round < 40; ++round) {
    // Ten seconds of position per frame: ten times round the ring.
    s.onPresent = [&](int64_t) { s.looping.advanceFrames(441'000); };
    ASSERT_TRUE(app::readerFrame(p));
    s.onPresent = nullptr;
    app::switchModule(p, round % 4 + 1);
    EXPECT_TRUE(s.looping.isPlaying());
    EXPECT_EQ(s.looping.openCount(), s.looping.closeCount() + 1);
  }
  app::shutDown(p);
  EXPECT_EQ(s.looping.openCount(), s.looping.closeCount());
}

}  // namespace
