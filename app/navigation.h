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

#include "render/render.h"

namespace app {

struct Program;

inline constexpr int32_t kHelpArticle = 10;
inline constexpr int32_t kRulesArticle = 12;

// The buttons, the menu's slots and regions and the wiped band are the
// reader's layout (render/layout.h).
// The menu entry slot s (1..9) stands for on menu page 1 (charts) or 2 (articles).
int32_t menuEntryOf(int32_t page, int32_t slot);
// The menu page (1 or 2) with an entry for the article, or 0 (help, rules).
int32_t menuPageOf(int32_t article);

void pollInput(Program& program);
void handleButtons(Program& program);
void handleMenu(Program& program);
void turnPage(Program& program, int32_t article);
// Decodes the article into the view and shows it from its first line.
void openArticle(Program& program, int32_t article);
// Takes what a reader frame's drawing changed into the ViewState.
void applyUpdate(Program& program, const render::ReaderUpdate& update);
void switchModule(Program& program, int32_t module);

}  // namespace app
