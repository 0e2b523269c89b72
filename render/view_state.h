// ViewState: what the intro and the reader show right now.
//
// One record per program, plain data: the open article's scroll position, the
// menu page, skin, tune and module, the status scroller's position, the clocks
// and the pointer polled at the end of the previous frame. The program flow
// owns it and is the only writer; the renderers draw from a const view of it
// and return what changes (ReaderUpdate in render/render.h).
#pragma once

#include <array>
#include <cstdint>

#include "render/layout.h"

namespace render {

struct ViewState {
  int32_t topLine = 0;        // first article line drawn (kVisibleRows lines are drawn)
  int32_t pixelOffset = 0;    // added to every text row's y; 0..12 while scrolling
  int32_t lineCount = 1;      // lines of the open article (index of its "<END>" line)
  int32_t article = 0;        // the open article, 1..20 (0 before the first is opened)
  int32_t menuPage = 2;       // 1 = charts page, 2 = articles page
  int32_t skin = 1;           // 1 = 'Grunge', 2 = 'Carbon'
  uint32_t currentTune = 1;   // SID tune of the intro, 1..12
  int32_t currentModule = 1;  // module chosen in the reader, 1..4
  int32_t scrollerPos = 1;    // 1-based first character of the status scroller
  int32_t quitRequested = 0;  // set by QUIT; ends the reader loop

  double animClock = 0.0;       // reader clock, +250 per second of frame time
  double introClock = 0.0;      // intro clock, +50 per second of intro frame time
  double introFrameStep = 0.0;  // 250 x duration of the last intro frame, seconds
  double frameStart = 0.0;      // timer value at the start of the current frame
  double wheelNow = 0.0;        // wheel counter read this frame
  double wheelBefore = 0.0;     // and the previous frame

  int32_t pointerX = 0;    // polled after the previous present, clamped 1..789
  int32_t pointerY = 0;    // clamped 1..589
  int32_t buttonDown = 0;  // left button, 0 or 1
  int32_t clickLatch = 0;  // 1 from the frame a click was consumed until release
  uint32_t buttonPresses = 0;  // the host's press count at the last poll

  std::array<int32_t, kLastMenuEntry + 1> entryOpen{};  // entries 1..21 (index 0 unused)
  std::array<int32_t, kButtonCount + 1> buttonState{};  // ReaderButton 1..10 (index 0 unused)
};

}  // namespace render
