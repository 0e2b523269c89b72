// Moving through an article: PgUp, PgDn, Home, End, Up and Down held, the
// wheel and the scroll thumb.
#include <gtest/gtest.h>

#include "app_harness.h"

namespace app::testing {
namespace {

using host::InputEvent;

TEST(PageKeys, PgDnAndPgUpOnA36LineArticle) {
  Harness h;
  h.enterReader();
  h.useSyntheticArticle(1, 36);
  // key  | topLine
  // PgDn | 3   (0 + 33, at most 36 - 33)
  // PgDn | 3
  // PgUp | 0
  // End  | 3
  // Home | 0
  const std::pair<int32_t, int32_t> steps[] = {{host::kKeyPageDown, 3}, {host::kKeyPageDown, 3},
                                               {host::kKeyPageUp, 0},   {host::kKeyEnd, 3},
                                               {host::kKeyHome, 0}};
  for (const auto& [key, top] : steps) {
    h.pressKey(key);
    EXPECT_EQ(h.view().topLine, top) << "key " << key;
  }
}

TEST(PageKeys, LongArticleMovesByWholePages) {
  Harness h;
  h.enterReader();
  h.useSyntheticArticle(1, 100);
  h.view().pixelOffset = 7;
  h.pressKey(host::kKeyPageDown);
  EXPECT_EQ(h.view().topLine, 33);
  h.pressKey(host::kKeyPageDown);
  EXPECT_EQ(h.view().topLine, 66);
  h.pressKey(host::kKeyPageDown);
  EXPECT_EQ(h.view().topLine, 67);
  h.pressKey(host::kKeyPageUp);
  EXPECT_EQ(h.view().topLine, 34);
  EXPECT_EQ(h.view().pixelOffset, 7);  // whole lines only
}

TEST(PageKeys, EndOnAShortArticleGivesZeroAndTextSitsAtOffsetFive) {
  Harness h;
  h.enterReader();
  h.useSyntheticArticle(1, 20);
  h.pressKey(host::kKeyEnd);
  EXPECT_EQ(h.view().topLine, 0);
  EXPECT_EQ(h.view().pixelOffset, 5);
  h.pressKey(host::kKeyPageDown);
  h.frame({InputEvent::keyDown(host::kKeyDown)});
  h.frame();
  h.frame({InputEvent::wheel(-120)});
  h.frame();
  EXPECT_EQ(h.view().topLine, 0);
  EXPECT_EQ(h.view().pixelOffset, 5);
}

TEST(PageKeys, HeldKeyActsOnceOnly) {
  Harness h;
  h.enterReader();
  h.useSyntheticArticle(1, 200);
  h.frame({InputEvent::keyDown(host::kKeyPageDown)});
  for (int i = 0; i < 5; ++i) h.frame();
  EXPECT_EQ(h.view().topLine, 33);
}

TEST(SmoothScroll, HoldingDownStopsAtTheLastPageAndUpAtTheTop) {
  Harness h;
  h.enterReader();
  h.useSyntheticArticle(1, 36);
  h.frame({InputEvent::keyDown(host::kKeyDown)});
  // frame | pixelOffset | topLine   (6 pixels a frame, a line every 12)
  //   2   |  6          | 1
  //   3   | 12          | 2
  //   4   |  6          | 2
  //   5   | 12          | 3
  //   6+  | 12          | 3   the last page: Down no longer moves
  const int32_t offsets[] = {6, 12, 6, 12, 12, 12};
  const int32_t tops[] = {1, 2, 2, 3, 3, 3};
  for (int i = 0; i < 6; ++i) {
    h.frame();
    EXPECT_EQ(h.view().pixelOffset, offsets[i]) << "frame " << i + 2;
    EXPECT_EQ(h.view().topLine, tops[i]) << "frame " << i + 2;
  }
  h.frame({InputEvent::keyUp(host::kKeyDown), InputEvent::keyDown(host::kKeyUp)});
  for (int i = 0; i < 20; ++i) h.frame();
  EXPECT_EQ(h.view().topLine, 0);
  EXPECT_GE(h.view().pixelOffset, 0);
  EXPECT_LE(h.view().pixelOffset, 12);
}

TEST(SmoothScroll, UpFromTheMiddleMovesOneLinePerTwoFrames) {
  Harness h;
  h.enterReader();
  h.useSyntheticArticle(1, 100);
  h.view().topLine = 10;
  h.view().pixelOffset = 0;
  h.frame({InputEvent::keyDown(host::kKeyUp)});
  // frame | pixelOffset | topLine
  //   2   |  6          | 10
  //   3   |  0          |  9   (12 >= 11: one line up, 12 - 12)
  //   4   |  6          |  9
  //   5   |  0          |  8
  const int32_t offsets[] = {6, 0, 6, 0};
  const int32_t tops[] = {10, 9, 9, 8};
  for (int i = 0; i < 4; ++i) {
    h.frame();
    EXPECT_EQ(h.view().pixelOffset, offsets[i]) << "frame " << i + 2;
    EXPECT_EQ(h.view().topLine, tops[i]) << "frame " << i + 2;
  }
}

TEST(Wheel, FourLinesPerNotchClampedAtBothEnds) {
  Harness h;
  h.enterReader();
  h.useSyntheticArticle(1, 42);  // last page starts at line 9
  // notches (negative: towards the user) | topLine
  //  -1 | 4
  //  -1 | 8
  //  -1 | 9    clamped at 42 - 33
  //  +1 | 5
  //  +1 | 1
  //  +1 | 0    clamped at 0
  const int32_t deltas[] = {-120, -120, -120, 120, 120, 120};
  const int32_t tops[] = {4, 8, 9, 5, 1, 0};
  for (int i = 0; i < 6; ++i) {
    h.frame({InputEvent::wheel(deltas[i])});
    h.frame();
    EXPECT_EQ(h.view().topLine, tops[i]) << "notch " << i;
  }
}

TEST(Wheel, SeveralNotchesInOneFrameMoveTogether) {
  Harness h;
  h.enterReader();
  h.useSyntheticArticle(1, 200);
  h.view().pixelOffset = 3;
  h.frame({InputEvent::wheel(-120), InputEvent::wheel(-120), InputEvent::wheel(-120)});
  h.frame();
  EXPECT_EQ(h.view().topLine, 12);
  EXPECT_EQ(h.view().pixelOffset, 3);
  h.frame({InputEvent::wheel(0), InputEvent::wheel(120)});  // zero counts as away
  h.frame();
  EXPECT_EQ(h.view().topLine, 4);
}

TEST(Thumb, DragMapsPointerRowsOntoTheWholeArticle) {
  Harness h;
  h.enterReader();
  h.useSyntheticArticle(1, 100);
  // pointer y | topLine = round((y - 200) * (100 - 32) / 352), limited to 0..67
  //   200     |  0
  //   376     | 34
  //   552     | 67   (68 limited)
  //   150     |  0   (dragging continues off the bar)
  h.pressAt(783, 376);
  h.frame();
  EXPECT_EQ(h.view().topLine, 34);
  h.moveTo(783, 552);
  h.frame();
  EXPECT_EQ(h.view().topLine, 67);
  h.moveTo(783, 200);
  h.frame();
  EXPECT_EQ(h.view().topLine, 0);
  h.moveTo(783, 552);
  h.moveTo(500, 150);
  h.frame();
  EXPECT_EQ(h.view().topLine, 0);
  h.release();
  h.moveTo(783, 552);
  h.frame();
  EXPECT_EQ(h.view().topLine, 0);  // not dragging any more
}

TEST(OpeningAnArticle, StartsAtItsFirstLine) {
  Harness h;
  h.enterReader();
  h.useSyntheticArticle(1, 100);
  h.pressKey(host::kKeyEnd);
  h.view().pixelOffset = 7;
  ASSERT_EQ(h.view().topLine, 67);
  // HELP turns the page to article 10: line count from the article, scroll at its top.
  h.clickButton(render::kButtonHelp);
  EXPECT_EQ(h.view().article, kHelpArticle);
  EXPECT_EQ(h.view().lineCount, 117);
  EXPECT_EQ(h.view().topLine, 0);
  EXPECT_EQ(h.view().pixelOffset, 0);
}

TEST(PointerPolling, PositionIsClampedToTheFrame) {
  Harness h;
  h.enterReader();
  // host x, y     | pointerX, pointerY
  // (0, 0)        | 1, 1
  // (799, 599)    | 789, 589
  // (-5, -5)      | 789, 589   (unsigned 16-bit coordinates)
  h.moveTo(0, 0);
  EXPECT_EQ(h.view().pointerX, 1);
  EXPECT_EQ(h.view().pointerY, 1);
  h.moveTo(799, 599);
  EXPECT_EQ(h.view().pointerX, 789);
  EXPECT_EQ(h.view().pointerY, 589);
  h.moveTo(-5, -5);
  EXPECT_EQ(h.view().pointerX, 789);
  EXPECT_EQ(h.view().pointerY, 589);
}

}  // namespace
}  // namespace app::testing
