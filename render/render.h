// Renderer: every pixel the program shows, written into one 800 x 600 frame.
//
// `Graphics` (render/graphics.h) owns the FrameBuffer, the two SkinBackgrounds,
// the text font with its ShadeTable, the big intro font, the button table with
// glows, the pointer sprites, the level meter, the scroll thumb and scroller
// state, and the intro's starfield, tables and scroller. Set it up once with
// `setUpRenderer`, then draw reader frames (`drawReaderFrame`) or intro frames
// (`drawIntroFrame` / `clearIntroFrame`) and hand `framePixels` to the display.
// Every call draws one frame: the loops that time and present them are the
// program's. The renderer reads the ViewState and never writes it; what a
// reader frame changes comes back as a ReaderUpdate for the program to apply.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "content/content.h"
#include "render/layout.h"
#include "render/view_state.h"

namespace host {
class Random;
}  // namespace host

namespace render {

struct Graphics;

// The embedded images, in their stored formats.
struct ImageAssets {
  std::span<const uint8_t> grungeSkin;  // 768-byte palette, then 800 x 600 indices
  std::span<const uint8_t> carbonSkin;  // the same
  std::span<const uint8_t> textFont;    // 2048 x 28 indices, then the palette
  std::span<const uint8_t> bigFont;     // 1888 x 32 indices, then the palette
};

// The notes being heard, for the level meter: note in the low byte of cellAt.
class NoteSource {
 public:
  virtual ~NoteSource() = default;
  virtual uint16_t cellAt(int32_t channel) const = 0;
};

// What a reader frame draws from.
struct ReaderScene {
  const ViewState& view;
  const content::Content& content;
  const content::ArticleView& article;
  const NoteSource& notes;
};

std::unique_ptr<Graphics> createGraphics();
// Start-up: skin palettes and widened indices, text font and shade table,
// pointer sprites, button table, meter colours and bars, big font.
void setUpRenderer(Graphics& g, const ImageAssets& images);

uint32_t* framePixels(Graphics& g);
const uint32_t* framePixels(const Graphics& g);
void clearFrame(Graphics& g);  // every pixel 0

// Reader.
// What a reader frame changes in the ViewState, for the program to apply:
// the values after the frame (unchanged ones as they were).
struct ReaderUpdate {
  int32_t topLine = 0;      // moved by a drag of the scroll thumb
  int32_t pixelOffset = 0;  // settled at kShortPageOffset for a page shorter than the screen
  int32_t scrollerPos = 1;  // the status scroller's next first character
};

void buildSkinBackgrounds(Graphics& g);
void setMeterChannelCount(Graphics& g, int32_t channels);
ReaderUpdate drawReaderFrame(Graphics& g, const ReaderScene& scene);
ReaderUpdate drawReaderPage(Graphics& g, const ReaderScene& scene);  // no thumb, no pointer
// One step of the page transition over a drawn page: the columns at even
// distances up to `reach` from both edges of the wiped band black.
void drawWipe(Graphics& g, int32_t skin, int32_t reach);

// Intro.
void initStarfield(Graphics& g, host::Random& random);
// The whole frame in bands of random colours, `bandHeight` rows each.
void drawStripes(Graphics& g, int32_t bandHeight, host::Random& random);
void setIntroPauseDeadline(Graphics& g, double timerValue);
// An intro frame at the intro clock, after a frame of `frameStep` (250 x its
// seconds), at timer value `now` (which times the scroller's pauses).
void drawIntroFrame(Graphics& g, double introClock, double frameStep, const content::FixedTexts& texts, double now);
void clearIntroFrame(Graphics& g);

}  // namespace render
