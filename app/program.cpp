#include "app/program.h"

#include <algorithm>
#include <cmath>

#include "app/navigation.h"
#include "assets/assets.h"
#include "render/graphics.h"

namespace app {
namespace {

constexpr int32_t kFrameWidth = render::kFrameWidth;
constexpr int32_t kFrameHeight = render::kFrameHeight;
constexpr int32_t kFirstModule = 1;
constexpr double kStripesSeconds = 0.5;

bool pressed(host::DisplayHost& display, int32_t key) { return display.asyncKeyState(key) == host::kKeyPressedNow; }

render::ImageAssets imageAssets() {
  return render::ImageAssets{assets::grungeSkin(), assets::carbonSkin(), assets::textFont(), assets::bigFont()};
}

void clearAndPresent(Program& p) {
  render::clearFrame(*p.graphics);
  p.display.present(render::framePixels(*p.graphics));
}

// Bands of random colours for half a second of timer time, a new fill every frame.
void showStripes(Program& p, int32_t bandHeight) {
  const double start = p.clock.now();
  while (p.clock.now() - start < kStripesSeconds) {
    render::drawStripes(*p.graphics, bandHeight, p.random);
    p.display.present(render::framePixels(*p.graphics));
    p.clock.sleepMs(1);
  }
}

}  // namespace

Program::Program(host::DisplayHost& displayHost, host::Clock& timer, host::WaveOutput& waveOutput,
                 host::LoopingAudioOutput& loopingOutput)
    : display(displayHost),
      clock(timer),
      graphics(render::createGraphics()),
      sidPlayer(waveOutput),
      modulePlayer(loopingOutput) {}

Program::~Program() = default;

bool startUp(Program& p) {
  ViewState& v = p.view;
  const int32_t first =
      p.openingArticle >= 1 && p.openingArticle <= content::kLastArticle ? p.openingArticle : kOpeningArticle;
  content::buildContent(p.content);
  content::sizeArticleView(p.article);
  openArticle(p, first);
  std::fill(v.entryOpen.begin(), v.entryOpen.end(), 0);

  render::setUpRenderer(*p.graphics, imageAssets());
  v.wheelNow = 0.0;
  v.wheelBefore = 0.0;
  // Initial button states from the button table: ARTICLES (the menu page
  // shown) and MUSIC 1 selected.
  v.buttonState[0] = 0;
  v.buttonState = render::kButtonInitialState;
  // The menu and the buttons as if the reader had opened the first article:
  // its entry marked (on the charts page for a chart), or RULES or HELP lit.
  if (first == kRulesArticle || first == kHelpArticle) {
    v.buttonState[first == kRulesArticle ? render::kButtonRules : render::kButtonHelp] = 1;
  } else {
    v.entryOpen[first] = 1;
    if (menuPageOf(first) == 1) {
      v.menuPage = 1;
      v.buttonState[render::kButtonArticles] = 0;
      v.buttonState[render::kButtonCharts] = 1;
    }
  }

  p.display.setExitOnClose(0);  // Escape is read by the loops themselves
  p.display.configureStartup(0, kStartupQuestion, 0, 1);
  if (p.display.open(kWindowTitle, kFrameWidth, kFrameHeight) == 0) return false;
  p.display.showCursor(false);  // the reader draws its own pointer
  return true;
}

void waitForRelease(Program& p) {
  for (;;) {
    const bool escapeUp = p.display.asyncKeyState(host::kKeyEscape) == 0;
    const bool buttonUp = p.display.leftButton() != 1;
    if ((escapeUp && buttonUp) || p.display.endRequested() != 0) break;
    clearAndPresent(p);
  }
  clearAndPresent(p);
  // Clicks from here on end the intro, also one made during its stripes.
  p.view.buttonPresses = p.display.leftButtonPresses();
}

void startTune(Program& p, int32_t tune) {
  const std::span<const uint8_t> image = assets::tune(tune);
  p.sidPlayer.stop();
  p.sidPlayer.play(image.data(), static_cast<int32_t>(image.size()), 0);
  p.sidPlayer.resume();
}

void startIntro(Program& p) {
  render::initStarfield(*p.graphics, p.random);
  p.clock.sleepMs(150);
  for (int32_t band : {10, 10, 2}) showStripes(p, band);
  const double now = p.clock.now();
  p.random.seed(now);
  render::setIntroPauseDeadline(*p.graphics, now);
  const int32_t tune = std::clamp(static_cast<int32_t>(std::floor(p.random.uniform() * 12.0)) + 1, 1, 12);
  p.view.currentTune = static_cast<uint32_t>(tune);
  startTune(p, tune);
}

bool introFrame(Program& p) {
  ViewState& v = p.view;
  if (pressed(p.display, host::kKeyEscape) || p.display.leftButton() != 0 ||
      p.display.leftButtonPresses() != v.buttonPresses || p.display.endRequested() != 0) {
    return false;
  }

  const double frameStart = p.clock.now();
  for (int32_t k = 1; k <= 12; ++k) {
    // Every F key is queried each frame, so a press of the playing tune's key
    // is taken and forgotten.
    const bool keyPressed = pressed(p.display, host::kKeyF1 + k - 1);
    if (keyPressed && v.currentTune != static_cast<uint32_t>(k)) {
      startTune(p, k);
      v.currentTune = static_cast<uint32_t>(k);
    }
  }
  render::drawIntroFrame(*p.graphics, v.introClock, v.introFrameStep, p.content.texts, p.clock.now());
  p.display.present(render::framePixels(*p.graphics));
  render::clearIntroFrame(*p.graphics);
  p.clock.sleepMs(1);
  v.introFrameStep = (p.clock.now() - frameStart) * 250.0;
  v.introClock += (p.clock.now() - frameStart) * 50.0;
  return true;
}

void runIntro(Program& p) {
  startIntro(p);
  while (introFrame(p)) {
  }
}

void handOver(Program& p) {
  // The click that ended the intro is not one for the reader.
  p.view.buttonPresses = p.display.leftButtonPresses();
  p.sidPlayer.stop();
  for (int32_t band : {10, 10, 2, 10, 2, 2}) showStripes(p, band);
  p.clock.sleepMs(10);
  switchModule(p, kFirstModule);
  render::clearFrame(*p.graphics);
  render::buildSkinBackgrounds(*p.graphics);
}

bool readerFrame(Program& p) {
  ViewState& v = p.view;
  if (pressed(p.display, host::kKeyEscape) || v.quitRequested != 0 || p.display.endRequested() != 0) return false;
  v.frameStart = p.clock.now();
  const int32_t lastTop = v.lineCount - render::kVisibleRows;

  // Smooth scrolling while Up or Down is held: 6 pixels a frame, a line per 12.
  const bool downHeld = p.display.asyncKeyState(host::kKeyDown) != 0;
  if (downHeld && v.topLine < lastTop) {
    v.pixelOffset -= 6;
    if (v.pixelOffset <= 0) {
      v.topLine = std::min(v.topLine + 1, lastTop);
      v.pixelOffset += 12;
    }
  }
  const bool upHeld = p.display.asyncKeyState(host::kKeyUp) != 0;
  if (upHeld && v.topLine > 0) {
    v.pixelOffset += 6;
    if (v.pixelOffset >= 11) {
      v.topLine = std::max(v.topLine - 1, 0);
      v.pixelOffset -= 12;
    }
  }

  // The wheel: 4 whole lines per notch (towards the user: down the article).
  v.wheelBefore = v.wheelNow;
  v.wheelNow = p.display.wheelPosition();
  if (v.wheelNow < v.wheelBefore && v.topLine < lastTop) {
    v.topLine = std::min(v.topLine + static_cast<int32_t>(std::floor((v.wheelBefore - v.wheelNow) * 4.0)), lastTop);
  }
  if (v.wheelNow > v.wheelBefore && v.topLine > 0) {
    v.topLine = std::max(v.topLine - static_cast<int32_t>(std::floor((v.wheelNow - v.wheelBefore) * 4.0)), 0);
  }

  handleButtons(p);
  handleMenu(p);

  // Draws the page, the thumb and its drag (which may move topLine) or, for
  // an article shorter than a page, settles pixelOffset; then the pointer.
  applyUpdate(p, render::drawReaderFrame(*p.graphics, p.scene()));
  p.display.present(render::framePixels(*p.graphics));
  pollInput(p);
  p.clock.sleepMs(1);
  v.animClock += (p.clock.now() - v.frameStart) * 250.0;
  return true;
}

void shutDown(Program& p) {
  p.sidPlayer.stop();  // an end asked for during the intro
  p.modulePlayer.stop();
  p.modulePlayer.unload();
  p.display.close();
}

int32_t runReader(Program& p) {
  while (readerFrame(p)) {
  }
  shutDown(p);
  return kExitNormal;
}

int32_t runProgram(Program& p) {
  if (!startUp(p)) return kExitNoDisplay;
  // An end asked for by the session (a signal) skips what is left, like
  // Escape, and the display is closed as at any other end.
  waitForRelease(p);
  if (p.display.endRequested() == 0) runIntro(p);
  if (p.display.endRequested() == 0) handOver(p);
  return runReader(p);
}

int32_t runProgram(host::DisplayHost& display, host::Clock& clock, host::WaveOutput& waveOutput,
                   host::LoopingAudioOutput& loopingOutput) {
  Program program(display, clock, waveOutput, loopingOutput);
  return runProgram(program);
}

}  // namespace app
