// Navigation: pointer and key input turned into reader actions.
//
// Once per reader frame `handleButtons` and `handleMenu` act on the pointer
// and button polled at the end of the previous frame, and `pollInput` polls
// anew after `present`. A click is the left button seen down while the click
// latch is clear; the first handler that takes it sets the latch, so a held
// button triggers one action only. Articles open behind `turnPage`'s column
// wipe; `switchModule` changes the module that plays.
#pragma once

#include <cstdint>

namespace app {

struct Program;

// Menu geometry: rectangles are (x, y, lastDX, lastDY) and a hit is strictly
// inside (x < px < x + lastDX, y < py < y + lastDY). The buttons' rectangles
// come from the renderer's button table (render::buttonRect).
struct HitRect {
  int32_t x, y, lastDX, lastDY;
  bool contains(int32_t px, int32_t py) const { return x < px && px < x + lastDX && y < py && py < y + lastDY; }
};

enum ReaderButton : int32_t {
  kButtonQuit = 1,
  kButtonCharts = 2,
  kButtonArticles = 3,
  kButtonRules = 4,
  kButtonHelp = 5,
  kButtonMute = 6,
  kButtonMusic1 = 7,  // MUSIC 1..4 are 7..10
  kButtonMusic4 = 10,
};

inline constexpr int32_t kHelpArticle = 10;
inline constexpr int32_t kRulesArticle = 12;
inline constexpr int32_t kLastMenuEntry = 21;

// The hit region of menu slot s (1..9), and of the page switch.
HitRect menuSlotRegion(int32_t slot);
HitRect pageSwitchRegion();
// The menu entry slot s (1..9) stands for on menu page 1 (charts) or 2 (articles).
int32_t menuEntryOf(int32_t page, int32_t slot);
// The menu page (1 or 2) with an entry for the article, or 0 (help, rules).
int32_t menuPageOf(int32_t article);

// The text area the page transition wipes: columns 20..767 from row 192,
// 378 rows in skin 1 and 379 in skin 2.
inline constexpr int32_t kWipeLeft = 20;
inline constexpr int32_t kWipeRight = 767;
inline constexpr int32_t kWipeTop = 192;
inline int32_t wipeRows(int32_t skin) { return skin == 1 ? 378 : 379; }
inline constexpr int32_t kWipeSteps = 75;  // per half of a transition

void pollInput(Program& program);
void handleButtons(Program& program);
void handleMenu(Program& program);
void turnPage(Program& program, int32_t article);
void switchModule(Program& program, int32_t module);

}  // namespace app
