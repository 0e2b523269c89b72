// The two reader skins, painted procedurally: 'Grunge' (skin 1: worn steel,
// rust, scratches, rivets, warm orange) and 'Carbon' (skin 2: woven carbon
// fibre, gloss, cool blue). Both frame the same screen: a black text area,
// a black menu panel, ten labelled buttons at their skin's rectangles, a
// recessed scroll track and the logo along the top edge. Every place
// comes from the reader's layout (render/layout.h), so the painted plates are
// where the reader hit-tests and tints them.
#pragma once

#include <array>
#include <cstdint>

#include "render/layout.h"
#include "tools/assets/art/lib/picture.h"

namespace art {

inline constexpr int kSkinWidth = 800;
inline constexpr int kSkinHeight = 600;

struct Rect {  // inclusive corners
  int x0, y0, x1, y1;
  bool contains(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

// The pixels a layout rectangle covers.
constexpr Rect covered(const render::Rect& r) { return {r.x, r.y, r.right(), r.bottom()}; }

struct SkinButton {
  const char* label;
  render::Rect place;  // the reader's button rectangle
  Rect rect() const { return covered(place); }
};

struct SkinLayout {
  uint32_t black;     // the colour of the text and menu areas
  Rect textArea;      // article cells are painted black here
  Rect menuArea;      // title, menu rows, rules, status line and meter
  Rect thumbTrack;    // where the scroll thumb travels
  std::array<SkinButton, 10> buttons;
};

// skin 1 = 'Grunge', skin 2 = 'Carbon'.
const SkinLayout& skinLayout(int skin);

// Paints a skin with labels set in the given fonts (text font for labels,
// big font for the logo). The result keeps index 0 for the layout's black.
IndexedPicture paintSkin(int skin, const IndexedPicture& textFont, const IndexedPicture& bigFont);

}  // namespace art
