// Renderer: every pixel the program shows, written into one 800 x 600 frame.
//
// `Graphics` (render/graphics.h) owns the FrameBuffer, the two SkinBackgrounds,
// the text font with its ShadeTable, the big intro font, the button table with
// glows, the pointer sprites, the level meter, the scroll thumb and scroller
// state, and the intro's starfield, tables and scroller. Set it up once with
// `setUpRenderer`, then draw reader frames (`drawReaderFrame`) or intro frames
// (`drawIntroFrame` / `clearIntroFrame`) and hand `framePixels` to the display.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "app/view_state.h"
#include "content/content.h"

namespace host {
class DisplayHost;
class Clock;
class Random;
}  // namespace host

namespace render {

inline constexpr int kFrameWidth = 800;
inline constexpr int kFrameHeight = 600;

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
  app::ViewState& view;
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
void buildSkinBackgrounds(Graphics& g);
void setMeterChannelCount(Graphics& g, int32_t channels);
void drawReaderFrame(Graphics& g, const ReaderScene& scene);
void drawReaderPage(Graphics& g, const ReaderScene& scene);  // no thumb, no pointer

// Intro.
void initStarfield(Graphics& g, host::Random& random);
// Bands of random colours for 0.5 s of timer time, presenting every fill.
void drawStripes(Graphics& g, int32_t bandHeight, host::DisplayHost& display, host::Clock& clock,
                 host::Random& random);
void setIntroPauseDeadline(Graphics& g, double timerValue);
void drawIntroFrame(Graphics& g, app::ViewState& view, const content::FixedTexts& texts, host::Clock& clock);
void clearIntroFrame(Graphics& g);

}  // namespace render
