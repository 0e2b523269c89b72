// Reader navigation: buttons, the menu and its page switch, the click latch,
// skins, music and the page transition.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "app_harness.h"
#include "render/render.h"

namespace app::testing {
namespace {

using host::InputEvent;

// Centre of menu slot s (1..9) and of the page switch.
int32_t slotX(int32_t s) { return s <= 5 ? 250 : 500; }
int32_t slotY(int32_t s) { return 66 + 12 * ((s - 1) % 5); }

TEST(ClickLatch, HeldButtonTriggersOneActionOnly) {
  Harness h;
  h.enterReader();
  h.pressAt(60, 75);  // CHARTS
  EXPECT_EQ(h.view().menuPage, 1);
  EXPECT_EQ(h.view().clickLatch, 1);
  // Still holding: moving onto ARTICLES does nothing.
  h.moveTo(60, 100);
  h.frame();
  EXPECT_EQ(h.view().menuPage, 1);
  h.release();
  EXPECT_EQ(h.view().clickLatch, 0);
  h.clickAt(60, 100);
  EXPECT_EQ(h.view().menuPage, 2);
}

TEST(ClickLatch, ClickOnNothingIsConsumed) {
  Harness h;
  h.enterReader();
  h.pressAt(400, 300);  // the article text
  EXPECT_EQ(h.view().clickLatch, 1);
  h.moveTo(60, 75);  // onto CHARTS, still held
  h.frame();
  EXPECT_EQ(h.view().menuPage, 2);
}

TEST(ClickLatch, HeldButtonOverTheMenuOpensAtMostOneArticle) {
  Harness h;
  h.enterReader();
  h.clickButton(render::kButtonCharts);
  const int64_t before = h.display.presentCount();
  h.pressAt(slotX(1), slotY(1));
  EXPECT_EQ(h.view().entryOpen[1], 1);
  EXPECT_EQ(h.view().lineCount, 36);  // article 1
  for (int32_t s = 2; s <= 9; ++s) {
    h.moveTo(slotX(s), slotY(s));
    h.frame();
  }
  EXPECT_EQ(h.view().entryOpen[1], 1);
  EXPECT_EQ(h.view().lineCount, 36);
  // One transition of 150 presents, plus one present per reader frame.
  const int64_t frames = 2 + 2 * 8;
  EXPECT_EQ(h.display.presentCount() - before, 150 + frames);
}

// A click made while a page turns (its presents pump the input, but nothing
// polls it) is acted on once the turn is over, exactly once.
TEST(ClickLatch, ClickDuringAPageTurnActsOnceAfterIt) {
  Harness h;
  h.enterReader();
  const render::Rect& mute = render::buttonRect(render::kButtonMute, h.view().skin);
  const int64_t start = h.display.presentCount();
  // The menu click is applied by present start + 1; the next frame turns the
  // page with presents start + 2 .. start + 151.
  h.display.atPresent(start + 20, InputEvent::buttonUp());
  h.display.atPresent(start + 40, InputEvent::move(mute.x + mute.lastDX / 2, mute.y + mute.lastDY / 2));
  h.display.atPresent(start + 60, InputEvent::buttonDown());
  h.display.atPresent(start + 61, InputEvent::buttonUp());
  h.pressAt(slotX(2), slotY(2));
  ASSERT_EQ(h.display.presentCount(), start + 152);
  EXPECT_EQ(h.view().entryOpen[13], 1);
  EXPECT_EQ(h.view().buttonDown, 1);  // the click during the turn, polled after it
  h.frame();
  EXPECT_EQ(h.view().buttonState[render::kButtonMute], 1);
  EXPECT_FALSE(h.looping.isPlaying());
  for (int i = 0; i < 3; ++i) h.frame();
  EXPECT_EQ(h.view().buttonState[render::kButtonMute], 1);  // not toggled back
  EXPECT_EQ(h.view().clickLatch, 0);
}

// A second click while the first is still latched (held through a turn and
// released, then clicked again) frees the latch for itself; a click still held
// from before the turn does not act again.
TEST(ClickLatch, ButtonHeldThroughAPageTurnActsOnlyOnce) {
  Harness h;
  h.enterReader();
  const int32_t opened = h.looping.openCount();
  const render::Rect& music2 = render::buttonRect(render::kButtonMusic1 + 1, h.view().skin);
  h.pressAt(slotX(2), slotY(2));  // held through the turn
  h.moveTo(music2.x + music2.lastDX / 2, music2.y + music2.lastDY / 2);
  h.frame();
  EXPECT_EQ(h.looping.openCount(), opened);  // still the same click
  EXPECT_EQ(h.view().clickLatch, 1);
  h.release();
  h.clickButton(render::kButtonMusic1 + 1);
  EXPECT_EQ(h.looping.openCount(), opened + 1);
}

TEST(Menu, OpenEntryCannotBeOpenedAgain) {
  Harness h;
  h.enterReader();
  const int64_t before = h.display.presentCount();
  h.clickAt(slotX(1), slotY(1));  // entry 11, open since start-up
  EXPECT_EQ(h.display.presentCount() - before, 4);
  EXPECT_EQ(h.view().entryOpen[11], 1);
}

TEST(Menu, DisabledEntriesAreNotClickable) {
  Harness h;
  h.enterReader();
  // Articles page slots 6..9 are entries 17..20, all disabled.
  for (int32_t s = 6; s <= 9; ++s) {
    const int64_t before = h.display.presentCount();
    h.clickAt(slotX(s), slotY(s));
    EXPECT_EQ(h.display.presentCount() - before, 4) << "slot " << s;
  }
  EXPECT_EQ(h.view().lineCount, 95);
}

TEST(Menu, SlotsOpenTheirEntriesOnBothPages) {
  Harness h;
  h.enterReader();
  // page | slot | entry | lines of its article
  struct Row { int32_t page, slot, entry, lines; };
  const Row rows[] = {{2, 2, 13, 87}, {2, 5, 16, 7}, {1, 1, 1, 36}, {1, 4, 4, 1444}, {1, 9, 9, 84}};
  for (const Row& r : rows) {
    if (h.view().menuPage != r.page) h.clickButton(r.page == 1 ? render::kButtonCharts : render::kButtonArticles);
    h.clickAt(slotX(r.slot), slotY(r.slot) - 2);  // clear of the page switch
    EXPECT_EQ(h.view().lineCount, r.lines) << "entry " << r.entry;
    EXPECT_EQ(h.view().article, r.entry);
    for (int e = 1; e <= 21; ++e) EXPECT_EQ(h.view().entryOpen[e], e == r.entry ? 1 : 0);
  }
}

TEST(Menu, PageSwitchOverlapOpensSlotNineThenSwitchesPage) {
  Harness h;
  h.enterReader();
  h.clickButton(render::kButtonCharts);
  ASSERT_EQ(h.view().menuPage, 1);
  // y | slot 9 (96 < y < 108) | page switch (104 < y < 120)
  // 104 | hit                 | no
  // 106 | hit                 | hit
  // 108 | no                  | hit
  h.clickAt(500, 106);
  EXPECT_EQ(h.view().entryOpen[9], 1);
  EXPECT_EQ(h.view().lineCount, 84);
  EXPECT_EQ(h.view().menuPage, 2);
  h.clickAt(500, 108);  // page switch only: back to the charts page
  EXPECT_EQ(h.view().menuPage, 1);
  EXPECT_EQ(h.view().buttonState[render::kButtonCharts], 1);
  EXPECT_EQ(h.view().buttonState[render::kButtonArticles], 0);
  h.clickAt(500, 104);  // slot 9 only, and entry 9 is open already
  EXPECT_EQ(h.view().menuPage, 1);
}

TEST(Menu, SwitchOnTheArticlesPageWithSlotNineDisabledOnlySwitches) {
  Harness h;
  h.enterReader();
  h.clickAt(500, 106);  // entry 20 is disabled
  EXPECT_EQ(h.view().menuPage, 1);
  EXPECT_EQ(h.view().lineCount, 95);
}

TEST(Buttons, RulesTwiceDoesNothingTheSecondTime) {
  Harness h;
  h.enterReader();
  int64_t before = h.display.presentCount();
  h.clickButton(render::kButtonRules);
  EXPECT_EQ(h.display.presentCount() - before, 150 + 4);
  EXPECT_EQ(h.view().lineCount, 411);
  EXPECT_EQ(h.view().article, kRulesArticle);
  EXPECT_EQ(h.view().buttonState[render::kButtonRules], 1);
  for (int e = 1; e <= 21; ++e) EXPECT_EQ(h.view().entryOpen[e], 0);
  before = h.display.presentCount();
  h.clickButton(render::kButtonRules);
  EXPECT_EQ(h.display.presentCount() - before, 4);
  // After RULES every entry opens again, the one open before too.
  h.clickAt(slotX(1), slotY(1));
  EXPECT_EQ(h.view().lineCount, 95);
  EXPECT_EQ(h.view().buttonState[render::kButtonRules], 0);
  h.clickButton(render::kButtonHelp);
  EXPECT_EQ(h.view().lineCount, 117);
  EXPECT_EQ(h.view().article, kHelpArticle);
  EXPECT_EQ(h.view().buttonState[render::kButtonHelp], 1);
  EXPECT_EQ(h.view().buttonState[render::kButtonRules], 0);
}

TEST(Buttons, PageButtonOfTheShownPageStaysSelected) {
  Harness h;
  h.enterReader();
  h.clickButton(render::kButtonRules);
  // RULES took the page group, but the articles page is still shown.
  EXPECT_EQ(h.view().buttonState[render::kButtonArticles], 1);
  h.clickButton(render::kButtonCharts);
  EXPECT_EQ(h.view().buttonState[render::kButtonCharts], 1);
  EXPECT_EQ(h.view().buttonState[render::kButtonArticles], 0);
  EXPECT_EQ(h.view().buttonState[render::kButtonRules], 0);
}

TEST(Buttons, HitTestIsStrictAndPerSkin) {
  Harness h;
  h.enterReader();
  // CHARTS: skin 1 (35, 65, 88, 19), skin 2 (25, 73, 76, 19).
  h.clickAt(35, 75);  // on the left edge: no hit
  EXPECT_EQ(h.view().menuPage, 2);
  h.clickAt(36, 66);  // first pixel inside
  EXPECT_EQ(h.view().menuPage, 1);
  h.clickButton(render::kButtonArticles);
  h.pressKey(host::kKeyF1 + 1);
  EXPECT_EQ(h.view().skin, 2);
  h.clickAt(30, 68);  // inside skin 1's rectangle, above skin 2's
  EXPECT_EQ(h.view().menuPage, 2);
  h.clickAt(30, 80);
  EXPECT_EQ(h.view().menuPage, 1);
}

TEST(Buttons, F1AndF2SwitchSkins) {
  Harness h;
  h.enterReader();
  h.pressKey(host::kKeyF1);
  EXPECT_EQ(h.view().skin, 1);
  h.pressKey(host::kKeyF1 + 1);
  EXPECT_EQ(h.view().skin, 2);
  h.pressKey(host::kKeyF1 + 1);
  EXPECT_EQ(h.view().skin, 2);
  h.pressKey(host::kKeyF1);
  EXPECT_EQ(h.view().skin, 1);
}

TEST(Music, MuteStopsAndRestartsTheModule) {
  Harness h;
  h.enterReader();
  ASSERT_TRUE(h.looping.isPlaying());
  h.clickButton(render::kButtonMute);
  EXPECT_EQ(h.view().buttonState[render::kButtonMute], 1);
  EXPECT_FALSE(h.looping.isPlaying());
  h.clickButton(render::kButtonMute);
  EXPECT_EQ(h.view().buttonState[render::kButtonMute], 0);
  EXPECT_TRUE(h.looping.isPlaying());
}

TEST(Music, MusicTwoWhileMutedEndsTheMute) {
  Harness h;
  h.enterReader();
  h.clickButton(render::kButtonMute);
  ASSERT_FALSE(h.looping.isPlaying());
  h.view().scrollerPos = 40;
  const int32_t opens = h.looping.openCount();
  h.clickButton(render::kButtonMusic1 + 1);
  EXPECT_EQ(h.view().buttonState[render::kButtonMute], 0);
  EXPECT_EQ(h.view().currentModule, 2);
  EXPECT_EQ(h.view().scrollerPos, 1);
  //                  button:  7  8  9 10
  const int32_t music[] = {0, 1, 0, 0};
  for (int b = 7; b <= 10; ++b) EXPECT_EQ(h.view().buttonState[b], music[b - 7]) << b;
  EXPECT_TRUE(h.looping.isPlaying());
  EXPECT_EQ(h.looping.openCount(), opens + 1);
  // The selected music button cannot be clicked again.
  h.clickButton(render::kButtonMusic1 + 1);
  EXPECT_EQ(h.looping.openCount(), opens + 1);
}

// The page transition's frames: every column at an even distance up to d
// from either edge of the text area is black, the rest of the page shows.
class TransitionTest : public ::testing::TestWithParam<int32_t> {};

// Pixels of the text area that differ from the page with the columns of a
// wipe step d blacked out.
int32_t wipeMismatches(const std::vector<uint32_t>& frame, const std::vector<uint32_t>& page, int32_t d,
                       int32_t rows) {
  std::set<int32_t> black;
  for (int32_t i = 0; i <= d; i += 2) {
    black.insert(20 + i);
    black.insert(767 - i);
  }
  int32_t mismatches = 0;
  for (int32_t y = 192; y < 192 + rows; ++y) {
    for (int32_t x = 20; x <= 767; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * 800 + static_cast<std::size_t>(x);
      mismatches += frame[i] != (black.count(x) ? 0u : page[i]);
    }
  }
  return mismatches;
}

TEST_P(TransitionTest, HundredFiftyPresentsAndAlternatingColumnsAtTheWidestPoint) {
  const int32_t skin = GetParam();
  const int32_t rows = skin == 1 ? 378 : 379;
  Harness h;
  h.enterReader();
  if (skin == 2) h.pressKey(host::kKeyF1 + 1);
  // Article 11 as full blocks across all 80 columns, so that every column of
  // the text area shows something until it is blacked out.
  h.useSyntheticArticle(11, 95, std::string(80, '\xDB'));
  h.moveTo(slotX(2), slotY(2));  // entry 13

  // The page as the transition draws it before blacking out columns.
  render::drawReaderPage(*h.p().graphics, h.p().scene());
  const uint32_t* page = render::framePixels(*h.p().graphics);
  const std::vector<uint32_t> reference(page, page + 800 * 600);

  // Present start + 1 applies the press; the next frame's transition makes
  // presents start + 2 .. start + 151: closing step k (d = 10 (k - 1)) is
  // start + 1 + k, the first opening step (d = 747) start + 77.
  const int64_t start = h.display.presentCount();
  std::map<int64_t, std::vector<uint32_t>> frames;
  h.display.setFrameCallback([&](int64_t n, const uint32_t* px) {
    if (n == start + 2 || n == start + 40 || n == start + 76 || n == start + 77) frames[n].assign(px, px + 800 * 600);
  });
  h.frame({InputEvent::buttonDown()});
  h.frame();
  EXPECT_EQ(h.display.presentCount() - start, 2 + 150);
  EXPECT_EQ(h.view().lineCount, 87);
  ASSERT_EQ(frames.size(), 4u);

  // step | d
  //   1  |   0   columns 20 and 767
  //  39  | 380
  //  75  | 740   only 21, 23, 25, 762, 764, 766 left
  //  76  | 747   (opening) every column black
  EXPECT_EQ(wipeMismatches(frames[start + 2], reference, 0, rows), 0);
  EXPECT_EQ(wipeMismatches(frames[start + 40], reference, 380, rows), 0);
  EXPECT_EQ(wipeMismatches(frames[start + 76], reference, 740, rows), 0);
  EXPECT_EQ(wipeMismatches(frames[start + 77], reference, 747, rows), 0);
  // The widest closing step is not the previous one: the test can tell them apart.
  EXPECT_GT(wipeMismatches(frames[start + 76], reference, 730, rows), 0);

  // Below the text area nothing is blacked out.
  const std::vector<uint32_t>& widest = frames[start + 76];
  int32_t keptBelow = 0;
  for (int32_t x = 20; x <= 767; ++x) {
    const std::size_t i = static_cast<std::size_t>(192 + rows) * 800 + static_cast<std::size_t>(x);
    keptBelow += widest[i] == reference[i];
  }
  EXPECT_EQ(keptBelow, 748);
}

INSTANTIATE_TEST_SUITE_P(BothSkins, TransitionTest, ::testing::Values(1, 2));

TEST(Transition, AnimationClockRunsThroughTheTransition) {
  Harness h;
  h.enterReader();
  const double before = h.view().animClock;
  turnPage(h.p(), 3);
  // 150 steps of 10 ms present + 1 ms sleep, 250 per second.
  EXPECT_NEAR(h.view().animClock - before, 150 * 0.011 * 250, 1e-6);
  EXPECT_EQ(h.view().lineCount, 56);
  EXPECT_EQ(h.view().topLine, 0);
}

}  // namespace
}  // namespace app::testing
