#include "app/navigation.h"

#include <algorithm>
#include <cmath>

#include "app/program.h"
#include "assets/assets.h"
#include "content/content.h"
#include "render/graphics.h"

namespace app {
namespace {

using render::kButtonArticles;
using render::kButtonCharts;
using render::kButtonHelp;
using render::kButtonMusic1;
using render::kButtonMusic4;
using render::kButtonMute;
using render::kButtonQuit;
using render::kButtonRules;
using render::kMenuEntries;
using render::kMenuSlots;
using render::kVisibleRows;

// Key press: down now and pressed since the previous query.
bool pressed(host::DisplayHost& display, int32_t key) { return display.asyncKeyState(key) == host::kKeyPressedNow; }

bool hit(const Program& p, int32_t button) {
  return render::buttonRect(button, p.view.skin).contains(p.view.pointerX, p.view.pointerY);
}

bool clickAvailable(const ViewState& v) { return v.buttonDown != 0 && v.clickLatch != 1; }

void clearEntries(ViewState& v) { std::fill(v.entryOpen.begin() + 1, v.entryOpen.end(), 0); }

// One frame of the page transition: the page without thumb and pointer, the
// columns at even distances up to d from both edges of the wiped band black.
void wipeStep(Program& p, int32_t d) {
  ViewState& v = p.view;
  v.frameStart = p.clock.now();
  applyUpdate(p, render::drawReaderPage(*p.graphics, p.scene()));
  render::drawWipe(*p.graphics, v.skin, d);
  p.display.present(render::framePixels(*p.graphics));
  p.clock.sleepMs(1);
  v.animClock += (p.clock.now() - v.frameStart) * 250.0;
}

}  // namespace

int32_t menuPageOf(int32_t article) {
  for (int32_t page = 1; page <= 2; ++page) {
    for (int32_t slot = 1; slot <= kMenuSlots; ++slot) {
      if (kMenuEntries[page][slot] == article) return page;
    }
  }
  return 0;
}

int32_t menuEntryOf(int32_t page, int32_t slot) {
  if (page < 1 || page > 2 || slot < 1 || slot > kMenuSlots) return 0;
  return kMenuEntries[page][slot];
}

void pollInput(Program& p) {
  ViewState& v = p.view;
  // A press since the previous poll is a new click even when it was released
  // in frames nobody polled (a page turn): it frees the latch of the click
  // before it and reads as down for this poll.
  const uint32_t presses = p.display.leftButtonPresses();
  const bool newClick = presses != v.buttonPresses;
  v.buttonPresses = presses;
  const int32_t button = p.display.leftButton() != 0 || newClick ? 1 : 0;
  if ((button == 0 || newClick) && v.clickLatch == 1) v.clickLatch = 0;
  v.pointerX = std::clamp(p.display.mouseX(), 1, 789);
  v.pointerY = std::clamp(p.display.mouseY(), 1, 589);
  v.buttonDown = button;

  const int32_t lastTop = v.lineCount - kVisibleRows;
  if (pressed(p.display, host::kKeyPageUp) && v.topLine > 0) v.topLine = std::max(v.topLine - kVisibleRows, 0);
  if (pressed(p.display, host::kKeyPageDown) && v.topLine < lastTop) {
    v.topLine = std::min(v.topLine + kVisibleRows, lastTop);
  }
  if (pressed(p.display, host::kKeyEnd)) v.topLine = std::max(lastTop, 0);
  if (pressed(p.display, host::kKeyHome)) v.topLine = 0;
}

void handleButtons(Program& p) {
  ViewState& v = p.view;
  if (pressed(p.display, host::kKeyF1)) v.skin = 1;
  if (pressed(p.display, host::kKeyF1 + 1)) v.skin = 2;

  // Page buttons.
  if (clickAvailable(v)) {
    for (int32_t i = kButtonQuit; i <= kButtonHelp; ++i) {
      if (v.buttonState[i] != 0 || !hit(p, i)) continue;
      v.clickLatch = 1;
      std::fill(v.buttonState.begin() + 1, v.buttonState.begin() + 6, 0);
      v.buttonState[i] = 1;
      if (i == kButtonQuit) v.quitRequested = 1;
      if (i == kButtonCharts) v.menuPage = 1;
      if (i == kButtonArticles) v.menuPage = 2;
      if (i == kButtonRules || i == kButtonHelp) {
        turnPage(p, i == kButtonRules ? kRulesArticle : kHelpArticle);
        clearEntries(v);  // every menu entry can be opened again
      }
    }
  }

  // MUTE toggles: a click stops the module or restarts it from its beginning.
  if (clickAvailable(v) && v.buttonState[kButtonMute] == 0 && hit(p, kButtonMute)) {
    v.clickLatch = 1;
    p.modulePlayer.stop();
    v.buttonState[kButtonMute] = 1;
  }
  if (clickAvailable(v) && v.buttonState[kButtonMute] == 1 && hit(p, kButtonMute)) {
    v.clickLatch = 1;
    p.modulePlayer.play();
    v.buttonState[kButtonMute] = 0;
  }

  // Music buttons.
  if (clickAvailable(v)) {
    for (int32_t i = kButtonMusic1; i <= kButtonMusic4; ++i) {
      if (v.buttonState[i] != 0 || !hit(p, i)) continue;
      v.clickLatch = 1;
      std::fill(v.buttonState.begin() + kButtonMusic1, v.buttonState.end(), 0);
      v.buttonState[kButtonMute] = 0;  // the mute ends
      v.buttonState[i] = 1;
      v.scrollerPos = 1;
      v.currentModule = i - kButtonMusic1 + 1;
      switchModule(p, v.currentModule);
    }
  }

  if (v.menuPage == 1) v.buttonState[kButtonCharts] = 1;
  if (v.menuPage == 2) v.buttonState[kButtonArticles] = 1;
}

void handleMenu(Program& p) {
  ViewState& v = p.view;
  if (!clickAvailable(v)) return;
  v.clickLatch = 1;  // consumed whether it hits anything or not

  // Every region is tested against the pointer as it was before any transition.
  const int32_t px = v.pointerX;
  const int32_t py = v.pointerY;
  const int32_t page = v.menuPage;
  for (int32_t slot = 1; slot <= kMenuSlots; ++slot) {
    const int32_t e = menuEntryOf(page, slot);
    if (!render::menuSlotRegion(slot).contains(px, py) || p.content.menu[e].enabled == 0 || v.entryOpen[e] != 0) continue;
    clearEntries(v);
    v.entryOpen[e] = 1;
    v.buttonState[kButtonRules] = 0;
    v.buttonState[kButtonHelp] = 0;
    turnPage(p, e);
  }
  if (render::kPageSwitchRegion.contains(px, py)) {
    v.buttonState[kButtonCharts] = 0;
    v.buttonState[kButtonArticles] = 0;
    v.menuPage = v.menuPage + 1 > 2 ? 1 : v.menuPage + 1;
  }
}

void turnPage(Program& p, int32_t articleNumber) {
  // Closing: d = 0, 10, ..., 740; opening: d = 747, 737, ..., 7.
  for (int32_t d = 0; d < render::kWipeReach; d += render::kWipeStride) wipeStep(p, d);
  openArticle(p, articleNumber);
  for (int32_t d = render::kWipeReach; d > 0; d -= render::kWipeStride) wipeStep(p, d);
}

void openArticle(Program& p, int32_t articleNumber) {
  ViewState& v = p.view;
  v.lineCount = content::openArticle(p.content, p.article, articleNumber);
  v.topLine = 0;
  v.pixelOffset = 0;
  v.article = articleNumber;
}

void applyUpdate(Program& p, const render::ReaderUpdate& update) {
  ViewState& v = p.view;
  v.topLine = update.topLine;
  v.pixelOffset = update.pixelOffset;
  v.scrollerPos = update.scrollerPos;
}

void switchModule(Program& p, int32_t module) {
  p.modulePlayer.stop();
  p.modulePlayer.unload();
  const std::span<const uint8_t> data = assets::module(module);
  p.modulePlayer.load(data.data(), static_cast<int32_t>(data.size()));
  p.modulePlayer.play();
  render::setMeterChannelCount(*p.graphics, p.modulePlayer.channelCount());
}

}  // namespace app
