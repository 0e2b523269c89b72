// Layout: where everything on the reader screen is, as plain data.
//
// One source for the rectangles the reader draws, the places navigation
// hit-tests and the areas the skin painter frames: the ten buttons in both
// skins, the menu panel's slots and regions, the article text area and the
// band the page transition wipes, and the scroll thumb's track and drag zone.
// Nothing here draws or reads input; render/, app/ and the skin painter all
// include it.
//
// Rectangles are (x, y, lastDX, lastDY): the covered pixels run from x to
// x + lastDX and from y to y + lastDY inclusive, and a point hits one only
// strictly inside (x < px < x + lastDX, y < py < y + lastDY).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace render {

inline constexpr int kFrameWidth = 800;
inline constexpr int kFrameHeight = 600;

struct Rect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t lastDX = 0;
  int32_t lastDY = 0;

  constexpr bool contains(int32_t px, int32_t py) const {
    return x < px && px < x + lastDX && y < py && py < y + lastDY;
  }
  constexpr int32_t right() const { return x + lastDX; }   // last covered column
  constexpr int32_t bottom() const { return y + lastDY; }  // last covered row
};

// Index of a skin's tables: 0 for skin 1 ('Grunge'), 1 for any other skin ('Carbon').
constexpr int skinSlot(int32_t skin) { return skin == 1 ? 0 : 1; }

// ---- Buttons -----------------------------------------------------------------

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
inline constexpr int kButtonCount = 10;

// Per skin slot, buttons 1..10 (index 0 unused).
inline constexpr std::array<std::array<Rect, kButtonCount + 1>, 2> kButtonRects = {{
    {{
        {},
        {35, 40, 88, 19},    // QUIT
        {35, 65, 88, 19},    // CHARTS
        {35, 90, 88, 19},    // ARTICLES
        {672, 65, 88, 19},   // RULES
        {672, 90, 88, 19},   // HELP
        {672, 40, 88, 19},   // MUTE
        {9, 132, 57, 19},    // MUSIC 1
        {73, 132, 57, 19},   // MUSIC 2
        {665, 132, 57, 19},  // MUSIC 3
        {729, 132, 57, 19},  // MUSIC 4
    }},
    {{
        {},
        {25, 49, 76, 19},
        {25, 73, 76, 19},
        {25, 97, 76, 19},
        {698, 73, 76, 19},
        {698, 97, 76, 19},
        {698, 49, 76, 19},
        {18, 137, 43, 8},
        {79, 137, 44, 8},
        {669, 137, 44, 8},
        {733, 137, 43, 8},
    }},
}};

// Selected when the reader starts: ARTICLES (the menu page shown) and MUSIC 1.
inline constexpr std::array<int32_t, kButtonCount + 1> kButtonInitialState = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

// Button n's rectangle (1..10, clamped) in a skin.
constexpr const Rect& buttonRect(int32_t button, int32_t skin) {
  return kButtonRects[static_cast<std::size_t>(skinSlot(skin))][static_cast<std::size_t>(std::clamp(button, 1, kButtonCount))];
}

// ---- Menu panel ----------------------------------------------------------------

// The panel's text clip box.
inline constexpr Rect kMenuClip{146, 40, 503, 105};  // columns 146..649, rows 40..145

// Nine slots in two columns: 1..5 on the left, 6..9 on the right, whose
// fifth row is the page switch. Row k (0-based) of a column is drawn at
// kMenuRowY + kMenuRowStep * k.
inline constexpr int32_t kMenuSlots = 9;
inline constexpr int32_t kMenuRows = 5;
inline constexpr int32_t kMenuRowY = 60;
inline constexpr int32_t kMenuRowStep = 12;
inline constexpr int32_t kMenuBarWidth = 245;  // the bar behind a row (lastDX)
inline constexpr int32_t kMenuBarHeight = 10;  // its lastDY

struct MenuColumn {
  int32_t textX;       // x of the row's text and bar
  int32_t hitX;        // left edge of the row's click region
  int32_t hoverLeft;   // pointer columns that light the row's bar, inclusive
  int32_t hoverRight;
  int32_t firstSlot;   // 1-based slot of the column's first row
  int32_t items;       // 5 on the left, 4 on the right (then the page switch)
};
inline constexpr std::array<MenuColumn, 2> kMenuColumns = {{
    {148, 146, 149, 392, 1, 5},
    {402, 400, 403, 646, 6, 4},
}};

inline constexpr int32_t kLastMenuEntry = 21;  // menu entries 1..21

// The menu entries behind slots 1..9 (index 0 unused), per page: 1 = charts, 2 = articles.
inline constexpr std::array<std::array<int32_t, kMenuSlots + 1>, 3> kMenuEntries = {{
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
    {0, 11, 13, 14, 15, 16, 17, 18, 19, 20},
}};

// The click region of menu slot s (1..9; an empty rectangle otherwise): one
// row of its column, 12 rows high.
constexpr Rect menuSlotRegion(int32_t slot) {
  if (slot < 1 || slot > kMenuSlots) return {};
  const MenuColumn& column = kMenuColumns[slot < kMenuColumns[1].firstSlot ? 0 : 1];
  return {column.hitX, kMenuRowY + kMenuRowStep * (slot - column.firstSlot), kMenuBarWidth, kMenuRowStep};
}
// The page switch's click region, in the right column's last row (taller than a slot).
inline constexpr Rect kPageSwitchRegion{kMenuColumns[1].hitX, 104, kMenuBarWidth, 16};

// ---- Article text --------------------------------------------------------------

inline constexpr int32_t kVisibleRows = 33;     // article lines on one reader page
inline constexpr int32_t kArticleLeft = 23;     // x of column 0
inline constexpr int32_t kArticleTop = 175;     // y of row 0 at pixel offset 0
inline constexpr int32_t kTextClipTop = 193;
inline constexpr int32_t kOpaqueClipBottom = 569;  // also the skin 1 text clip bottom
inline constexpr int32_t kSkin2TextClipBottom = 570;
inline constexpr int32_t kShortPageOffset = 5;  // a page shorter than the screen sits this much lower

// The black area the skins leave for the article, and the one behind the menu panel.
inline constexpr Rect kTextArea{20, 187, 750, 383};
inline constexpr std::array<Rect, 2> kMenuArea = {{{140, 36, 515, 116}, {140, 36, 515, 118}}};

// The page transition blackens columns 20..767 from row 192 (378 rows in
// skin 1, 379 in skin 2) from both edges inwards, kWipeStride columns' reach
// a frame: 75 frames closing (reach 0..740), 75 opening (747 down to 7).
inline constexpr int32_t kWipeLeft = 20;
inline constexpr int32_t kWipeRight = 767;
inline constexpr int32_t kWipeTop = 192;
constexpr int32_t wipeRows(int32_t skin) { return skin == 1 ? 378 : 379; }
inline constexpr int32_t kWipeReach = kWipeRight - kWipeLeft;
inline constexpr int32_t kWipeStride = 10;

// ---- Scroll thumb ----------------------------------------------------------------

// The thumb is a 19-row block that travels kThumbTravel rows down from
// kThumbTop as topLine goes from 0 to the last top line.
inline constexpr int32_t kThumbTop = 195;
inline constexpr int32_t kThumbTravel = 361;
inline constexpr int32_t kThumbLastDY = 19;
struct ThumbColumn {
  int32_t x;
  int32_t lastDX;
};
inline constexpr std::array<ThumbColumn, 2> kThumbColumns = {{{779, 8}, {783, 9}}};

// The track the thumb travels, per skin.
constexpr Rect thumbTrack(int32_t skin) {
  const ThumbColumn& c = kThumbColumns[static_cast<std::size_t>(skinSlot(skin))];
  return {c.x, kThumbTop, c.lastDX, kThumbTravel + kThumbLastDY};
}

// The pointer grabs the thumb in columns kDragLeft < x < kDragRight and rows
// kDragTop < y <= kDragBottom, all kDragSkin2Shift further right in skin 2;
// while held, row kDragTop + kDragSpan maps to the last top line.
inline constexpr int32_t kDragLeft = 775;
inline constexpr int32_t kDragRight = 791;
inline constexpr int32_t kDragSkin2Shift = 5;
inline constexpr int32_t kDragTop = 200;
inline constexpr int32_t kDragBottom = 560;
inline constexpr int32_t kDragSpan = 352;

}  // namespace render
