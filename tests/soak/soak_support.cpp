#include "tests/soak/soak_support.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>
#include <utility>

#include "assets/assets.h"
#include "render/graphics.h"
#include "xm/module_player.h"

namespace soak {

Session::Session() {
  // A stuck loop aborts rather than hanging the test run.
  display.setPresentLimit(400'000'000);
  display.setPresentHook([this](int64_t n) { presentHook(n); });
  program = std::make_unique<app::Program>(display, clock, wave, looping);
}

Session::~Session() { program.reset(); }

void Session::presentHook(int64_t n) {
  const double now = clock.now();
  const double dt = std::max(0.0, now - lastHookTime_);
  lastHookTime_ = now;
  if (audioRunning) {
    if (looping.isPlaying()) {
      moduleFrameCarry_ += dt * host::LoopingAudioOutput::kSampleRate;
      const auto whole = static_cast<uint64_t>(moduleFrameCarry_);
      moduleFrameCarry_ -= static_cast<double>(whole);
      looping.advanceFrames(whole);
      moduleFramesPlayed += whole;
    } else {
      moduleFrameCarry_ = 0.0;
    }
    if (wave.isOpen() && !wave.isPaused()) {
      tuneCarry_ += dt;
      while (tuneCarry_ >= kTuneBufferSeconds) {
        tuneCarry_ -= kTuneBufferSeconds;
        if (!wave.playNext()) break;
        ++tuneBuffersPlayed;
      }
    } else {
      tuneCarry_ = 0.0;
    }
  }
  if (onPresent) onPresent(n);
}

std::vector<int32_t> moduleChannelCounts() {
  std::vector<int32_t> counts(5, 0);
  host::FakeLoopingAudioOutput output;
  xm::ModulePlayer player(output);
  for (int32_t m = 1; m <= 4; ++m) {
    const std::span<const uint8_t> data = assets::module(m);
    if (player.load(data.data(), static_cast<int32_t>(data.size()))) counts[m] = player.channelCount();
    player.unload();
  }
  return counts;
}

std::string checkReader(app::Program& p, host::HeadlessDisplayHost& display,
                        const host::FakeLoopingAudioOutput& looping, const std::vector<int32_t>& channels,
                        bool pageSwitched) {
  const app::ViewState& v = p.view;
  std::ostringstream broken;
  auto fail = [&broken](const std::string& what) { broken << what << "; "; };

  const int32_t lastTop = std::max(0, v.lineCount - render::kVisibleRows);
  if (v.topLine < 0 || v.topLine > lastTop) {
    fail("topLine " + std::to_string(v.topLine) + " outside 0.." + std::to_string(lastTop));
  }
  if (v.pixelOffset < 0 || v.pixelOffset > 12) fail("pixelOffset " + std::to_string(v.pixelOffset));
  if (v.lineCount <= 32 && v.pixelOffset != 5) {
    fail("short article (" + std::to_string(v.lineCount) + " lines) with pixelOffset " +
         std::to_string(v.pixelOffset));
  }

  // The latch is cleared by the poll that sees the button up.
  if (v.clickLatch != 0 && v.clickLatch != 1) fail("clickLatch " + std::to_string(v.clickLatch));
  if (v.buttonDown != display.leftButton()) fail("buttonDown not polled");
  if (v.buttonDown == 0 && v.clickLatch != 0) fail("clickLatch still set with the button up");
  if (v.pointerX < 1 || v.pointerX > 789 || v.pointerY < 1 || v.pointerY > 589) fail("pointer not clamped");

  for (int32_t b = 1; b <= 10; ++b) {
    if (v.buttonState[b] != 0 && v.buttonState[b] != 1) fail("buttonState " + std::to_string(b) + " not 0/1");
  }
  if (v.menuPage != 1 && v.menuPage != 2) fail("menuPage " + std::to_string(v.menuPage));
  const bool chartsRight = v.buttonState[render::kButtonCharts] == (v.menuPage == 1 ? 1 : 0);
  const bool articlesRight = v.buttonState[render::kButtonArticles] == (v.menuPage == 2 ? 1 : 0);
  const bool bothClear = v.buttonState[render::kButtonCharts] == 0 && v.buttonState[render::kButtonArticles] == 0;
  if (!(chartsRight && articlesRight) && !(pageSwitched && bothClear)) {
    fail("page buttons " + std::to_string(v.buttonState[2]) + "/" + std::to_string(v.buttonState[3]) +
         " on menu page " + std::to_string(v.menuPage));
  }
  if (v.buttonState[render::kButtonRules] + v.buttonState[render::kButtonHelp] > 1) fail("RULES and HELP both selected");
  if (v.buttonState[render::kButtonQuit] != 0 || v.quitRequested != 0) fail("QUIT selected");

  if (v.currentModule < 1 || v.currentModule > 4) {
    fail("currentModule " + std::to_string(v.currentModule));
  } else {
    int32_t selected = 0;
    for (int32_t b = render::kButtonMusic1; b <= render::kButtonMusic4; ++b) selected += v.buttonState[b];
    if (selected != 1 || v.buttonState[render::kButtonMusic1 + v.currentModule - 1] != 1) {
      fail("music buttons do not select module " + std::to_string(v.currentModule));
    }
    const int32_t want = channels[static_cast<std::size_t>(v.currentModule)];
    if (p.modulePlayer.channelCount() != want) {
      fail("player has " + std::to_string(p.modulePlayer.channelCount()) + " channels, module " +
           std::to_string(v.currentModule) + " has " + std::to_string(want));
    }
    if (p.graphics->meter.channelCount != want) fail("meter channel count " + std::to_string(p.graphics->meter.channelCount));
  }
  // MUTE selected exactly while the module output is stopped.
  const bool muted = v.buttonState[render::kButtonMute] == 1;
  if (muted == looping.isPlaying()) fail(muted ? "muted but the output plays" : "not muted but the output is silent");

  for (int32_t i = 0; i < render::kMeterBars; ++i) {
    const double bar = p.graphics->meter.bars[static_cast<std::size_t>(i)];
    if (!(bar >= 131.0 && bar <= 149.0)) fail("meter bar " + std::to_string(i) + " at " + std::to_string(bar));
  }

  int32_t open = 0;
  for (int32_t e = 1; e <= render::kLastMenuEntry; ++e) {
    if (v.entryOpen[static_cast<std::size_t>(e)] != 0 && v.entryOpen[static_cast<std::size_t>(e)] != 1) {
      fail("entryOpen " + std::to_string(e));
    }
    open += v.entryOpen[static_cast<std::size_t>(e)];
  }
  if (open > 1) fail(std::to_string(open) + " menu entries open");
  if (v.skin != 1 && v.skin != 2) fail("skin " + std::to_string(v.skin));
  if (v.scrollerPos < 1) fail("scrollerPos " + std::to_string(v.scrollerPos));
  return broken.str();
}

void RandomUser::at(int32_t frameFromNow, const host::InputEvent& e) {
  while (static_cast<int32_t>(pending_.size()) <= frameFromNow) pending_.emplace_back();
  pending_[static_cast<std::size_t>(frameFromNow)].push_back(e);
}

void RandomUser::click(int32_t x, int32_t y) {
  at(0, host::InputEvent::move(x, y));
  at(1, host::InputEvent::buttonDown());
  const int32_t hold = uniform(1, 4);
  // Wandering while the button is held must not trigger a second action.
  if (uniform(0, 3) == 0) at(1 + hold / 2 + 1, host::InputEvent::move(uniform(1, 799), uniform(1, 599)));
  at(2 + hold, host::InputEvent::buttonUp());
  at(3 + hold, host::InputEvent::move(x + uniform(-3, 3), y + uniform(-3, 3)));
}

void RandomUser::startAction() {
  app::Program& p = s_.p();
  // A skin key pressed by the previous action takes effect in the frame that
  // handles this action's first events, so pointer targets are chosen to be
  // right in both skins.
  const int32_t skin = p.view.skin;
  const int32_t roll = uniform(0, 99);
  if (roll < 24) {  // a reader button other than QUIT: inside its rectangle in both skins
    const int32_t button = uniform(render::kButtonCharts, render::kButtonMusic4);
    const render::Rect& a = render::buttonRect(button, 1);
    const render::Rect& b = render::buttonRect(button, 2);
    const int32_t left = std::max(a.x, b.x) + 1, right = std::min(a.x + a.lastDX, b.x + b.lastDX) - 1;
    const int32_t top = std::max(a.y, b.y) + 1, bottom = std::min(a.y + a.lastDY, b.y + b.lastDY) - 1;
    click(uniform(left, std::max(left, right)), uniform(top, std::max(top, bottom)));
    ++counts_.buttonClicks;
  } else if (roll < 44) {  // a menu slot
    const render::Rect r = render::menuSlotRegion(uniform(1, 9));
    click(uniform(r.x + 1, r.x + r.lastDX - 1), uniform(r.y + 1, r.y + r.lastDY - 1));
    ++counts_.menuClicks;
  } else if (roll < 49) {  // the menu page switch
    const render::Rect r = render::kPageSwitchRegion;
    click(uniform(r.x + 1, r.x + r.lastDX - 1), uniform(r.y + 1, r.y + r.lastDY - 1));
    ++counts_.pageSwitchClicks;
  } else if (roll < 54) {  // anywhere but QUIT in either skin (also beyond the frame's edges)
    auto nearQuit = [&p](int32_t x, int32_t y) {
      for (int32_t sk = 1; sk <= 2; ++sk) {
        const render::Rect& q = render::buttonRect(render::kButtonQuit, sk);
        if (x >= q.x - 2 && x <= q.x + q.lastDX + 2 && y >= q.y - 2 && y <= q.y + q.lastDY + 2) return true;
      }
      return false;
    };
    int32_t x = 0, y = 0;
    do {
      x = uniform(-20, 819);
      y = uniform(-20, 619);
    } while (nearQuit(x, y));
    click(x, y);
    ++counts_.strayClicks;
  } else if (roll < 64) {  // drag the scroll thumb, wandering above, below and beside the bar
    const int32_t s = skin == 1 ? 0 : 5;
    at(0, host::InputEvent::move(uniform(776 + s, 790 + s), uniform(201, 560)));
    at(1, host::InputEvent::buttonDown());
    const int32_t steps = uniform(1, 40);
    for (int32_t k = 0; k < steps; ++k) {
      at(2 + k, host::InputEvent::move(uniform(700, 799), uniform(150, 620)));
    }
    at(2 + steps, host::InputEvent::buttonUp());
    ++counts_.thumbDrags;
  } else if (roll < 74) {  // wheel notches, sometimes several in one frame
    const int32_t notches = uniform(1, 8);
    const int32_t direction = uniform(0, 1) == 0 ? -120 : 120;
    int32_t frame = 0;
    for (int32_t k = 0; k < notches; ++k) {
      at(frame, host::InputEvent::wheel(uniform(0, 9) == 0 ? -direction : direction));
      frame += uniform(0, 2);
    }
    ++counts_.wheelTurns;
  } else if (roll < 84) {  // hold Up or Down
    const int32_t key = uniform(0, 1) == 0 ? host::kKeyUp : host::kKeyDown;
    at(0, host::InputEvent::keyDown(key));
    at(uniform(1, 120), host::InputEvent::keyUp(key));
    ++counts_.upDownHolds;
  } else if (roll < 93) {  // PgUp, PgDn, End, Home: a tap, or a press held a while
    const int32_t key = uniform(host::kKeyPageUp, host::kKeyHome);
    at(0, host::InputEvent::keyDown(key));
    at(uniform(0, 5), host::InputEvent::keyUp(key));
    ++counts_.pagingKeys;
  } else if (roll < 97) {  // F1 or F2
    const int32_t key = uniform(0, 1) == 0 ? host::kKeyF1 : host::kKeyF1 + 1;
    at(0, host::InputEvent::keyDown(key));
    at(uniform(0, 3), host::InputEvent::keyUp(key));
    ++counts_.skinKeys;
  } else {  // reading: the pointer moves about, nothing clicked
    const int32_t frames = uniform(1, 60);
    for (int32_t k = 0; k < frames; k += uniform(1, 10)) {
      at(k, host::InputEvent::move(uniform(1, 799), uniform(1, 599)));
    }
    at(frames, host::InputEvent::move(uniform(1, 799), uniform(1, 599)));
    ++counts_.idles;
  }
}

void RandomUser::beforeFrame() {
  if (pending_.empty()) startAction();
  for (const host::InputEvent& e : pending_.front()) s_.display.queue(e);
  pending_.pop_front();
}

std::string runReaderFrames(Session& session, RandomUser& user, int64_t frames,
                            const std::vector<int32_t>& channels) {
  app::Program& p = session.p();
  for (int64_t f = 1; f <= frames; ++f) {
    user.beforeFrame();
    const int32_t page = p.view.menuPage;
    const int64_t shown = session.display.shownFrameCount();
    if (!app::readerFrame(p)) return "frame " + std::to_string(f) + ": the reader ended";
    if (session.display.shownFrameCount() <= shown) return "frame " + std::to_string(f) + ": nothing shown";
    const std::string broken = checkReader(p, session.display, session.looping, channels, p.view.menuPage != page);
    if (!broken.empty()) return "frame " + std::to_string(f) + ": " + broken;
  }
  return "";
}

}  // namespace soak
