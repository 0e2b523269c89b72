// Graphics: the renderer's own records and its drawing operations.
//
// One `Graphics` per program, made by `createGraphics` (on the heap: the frame,
// the two skin backgrounds and the widened skins are about 10 MB) and filled
// once by `setUpRenderer`. Everything here writes only into `frame`; nothing
// allocates after set-up. Coordinates are frame columns (x) and rows (y);
// rectangles are (x, y, lastDX, lastDY) with inclusive extents.
//
// The primitives below never write outside the 800 x 600 frame, whatever
// coordinates they are given: a pixel that would fall outside is dropped.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "render/render.h"

namespace render {

inline constexpr int kFramePixels = kFrameWidth * kFrameHeight;

// Embedded image sizes (indexed pixels plus a 768-byte RGB palette).
inline constexpr int kPaletteBytes = 768;
inline constexpr int kSkinImageBytes = kPaletteBytes + kFramePixels;  // palette first
inline constexpr int kTextFontWidth = 2048;
inline constexpr int kTextFontHeight = 28;
inline constexpr int kTextFontBytes = kTextFontWidth * kTextFontHeight + kPaletteBytes;  // pixels first
inline constexpr int kBigFontWidth = 1888;
inline constexpr int kBigFontHeight = 32;
inline constexpr int kBigFontBytes = kBigFontWidth * kBigFontHeight + kPaletteBytes;  // pixels first

// Text font: 9 x 12 cells for codes 32..255, style 1 from row 0, style 2 from row 14.
inline constexpr int kCellWidth = 9;
inline constexpr int kCellHeight = 12;
inline constexpr int kCellPixels = kCellWidth * kCellHeight;
inline constexpr int kFirstGlyph = 32;
inline constexpr int kGlyphCount = 224;
inline constexpr int kStyle2FirstRow = 14;
inline constexpr int kColourCodes = 31;   // ShadeTable columns 0..30 (0 never written)
inline constexpr int kBlackCode = 31;     // ColourCode 31 draws black

// Big intro font: 59 glyphs of 32 x 32 for codes 32..90.
inline constexpr int kBigGlyphSize = 32;
inline constexpr int kBigGlyphCount = 59;
inline constexpr int kLastBigGlyph = 90;

inline constexpr int kSpriteSize = 11;
inline constexpr int kSpritePixels = kSpriteSize * kSpriteSize;
inline constexpr int kMeterBars = 40;
inline constexpr int kMeterTopRow = 131;
inline constexpr int kMeterBaseRow = 147;
inline constexpr int kStarCount = 300;
inline constexpr int kWaveColumns = 801;  // yA, yB: columns 0..800
inline constexpr int kColourRows = 631;   // colA, colB, colC: rows 0..630

struct Button {
  int32_t glow = 0;  // 0..125; the rectangles are kButtonRects (render/layout.h)
};

enum PointerShape : uint8_t { kPointerNormal = 1, kPointerHot = 2 };

struct LevelMeter {
  std::array<double, kMeterBars + 1> bars{};  // top row of each bar (0..39 used); rest 147
  // Colour of rows 131..147 per skin ([0] skin 1, [1] skin 2), index row - 131.
  std::array<std::array<uint32_t, kMeterBaseRow - kMeterTopRow + 1>, 2> colours{};
  int32_t channelCount = 0;  // channels of the playing module
};

struct IntroState {
  std::array<double, kStarCount + 1> starX{};  // stars 1..300 (0 unused)
  std::array<double, kStarCount + 1> starY{};
  std::array<int32_t, kWaveColumns> yA{};    // upper wave row per column
  std::array<int32_t, kWaveColumns> yB{};    // lower (mirror) wave row per column
  std::array<uint32_t, kColourRows> colA{};  // intro line body colours, move with the clock
  std::array<uint32_t, kColourRows> colB{};  // upright scroller colours
  std::array<uint32_t, kColourRows> colC{};  // mirror colours, fading out below row 521
  int32_t scrollerPos = 1;      // 1-based first character of the scroll text
  double scrollerX = 0.0;       // x offset of the first character, 0 .. -32
  double pauseDeadline = 0.0;   // timer value until which the scroller stands
  bool fixedColoursReady = false;  // colB and colC are filled (they never change)
};

struct Graphics {
  std::array<uint32_t, kFramePixels> frame{};
  std::array<std::array<uint32_t, kFramePixels>, 2> background{};  // SkinBackground 1, 2

  // Skins as converted at start-up: palette tables and widened indices.
  std::array<std::array<uint32_t, 256>, 2> skinPalette{};
  std::array<std::array<uint32_t, kFramePixels>, 2> skinIndex{};

  // Text font: widened pixels (image order), its palette and the ShadeTable
  // (entry v * 31 + k). shadeByCode and glyphCells are the same data arranged
  // for drawing: colour per code (0..31, 0 and 31 black) and pixel value,
  // and every glyph's 108 cell values in row order, per style.
  std::array<uint32_t, kTextFontWidth * kTextFontHeight> fontPixels{};
  std::array<uint32_t, 256> fontPalette{};
  std::array<uint32_t, 256 * kColourCodes> shade{};
  std::array<std::array<uint32_t, 256>, kBlackCode + 1> shadeByCode{};
  std::array<std::array<std::array<uint8_t, kCellPixels>, kGlyphCount>, 2> glyphCells{};

  // Big font: widened pixels, palette, and per glyph one bit mask per row
  // (bit j = glyph column j is set) and one per column (bit r = row r is set).
  std::array<uint32_t, kBigFontWidth * kBigFontHeight> bigFontPixels{};
  std::array<uint32_t, 256> bigFontPalette{};
  std::array<std::array<uint32_t, kBigGlyphSize>, kBigGlyphCount> bigGlyphRows{};
  std::array<std::array<uint32_t, kBigGlyphSize>, kBigGlyphCount> bigGlyphColumns{};

  std::array<Button, kButtonCount + 1> buttons{};  // 1..10 (0 unused)
  std::array<std::array<uint32_t, kSpritePixels>, 3> pointerSprite{};  // [kPointerNormal], [kPointerHot]
  uint8_t pointerShape = kPointerNormal;

  LevelMeter meter;
  int32_t thumbGlow = 0;   // 0..125, steps of 5
  int32_t dragging = 0;    // 1 while the thumb is held
  double scrollerPhase = 0.0;  // status-line scroller's pixel phase

  // Rainbow rule colours of pixels k = 0..800 at one animation clock: every
  // rainbow rule drawn in a frame shares them.
  std::array<uint32_t, kFrameWidth + 1> rainbowMiddle{};
  std::array<uint32_t, kFrameWidth + 1> rainbowOuter{};
  double rainbowClock = 0.0;
  bool rainbowReady = false;

  IntroState intro;
};

// The pointer sprite as compiled in: 121 values row by row, 0 transparent.
extern const std::array<int16_t, kSpritePixels> kPointerShape;

// Rounding used by every formula: nearest, ties to even.
int32_t roundEven(double v);

// Images, frame primitives.
void prepareSkinImages(Graphics& g, std::span<const uint8_t> grunge, std::span<const uint8_t> carbon);
void copyRectToSkinBackgrounds(Graphics& g, int32_t srcX, int32_t srcY, int32_t lastDX, int32_t lastDY,
                               int32_t dstX, int32_t dstY);
void drawSkinBackground(Graphics& g, int32_t skin);
void blendRect(Graphics& g, int32_t x, int32_t y, int32_t lastDX, int32_t lastDY, int32_t alpha, int32_t red,
               int32_t green, int32_t blue);
void drawRule(Graphics& g, int32_t y, int32_t x, int32_t length, int32_t style, double animClock);

// Text.
void prepareTextFont(Graphics& g, std::span<const uint8_t> image);
void buildShadeTable(Graphics& g);
void drawGlyph(Graphics& g, std::string_view text, int32_t x, int32_t y, int32_t clipLeft, int32_t clipRight,
               int32_t clipTop, int32_t clipBottom, int32_t style, int32_t code);
void drawGlyphOpaque(Graphics& g, std::string_view text, int32_t x, int32_t y, int32_t style, int32_t code);
void drawText(Graphics& g, std::string_view text, int32_t x, int32_t y, int32_t clipLeft, int32_t clipRight,
              int32_t clipTop, int32_t clipBottom, int32_t style, int32_t code);
// The numeric value of a rule text, rounded ("" and non-numbers are 0).
int32_t ruleStyleOf(std::string_view rule);
void drawArticleRules(Graphics& g, const ViewState& view, const content::ArticleView& article, int32_t top);
void drawArticleText(Graphics& g, const ViewState& view, const content::ArticleView& article, int32_t top);

// Reader screen.
void setUpButtonsAndPointer(Graphics& g);
void setUpLevelMeter(Graphics& g);
void drawButtons(Graphics& g, const ViewState& view);
void drawMenuPanel(Graphics& g, const ViewState& view, const content::Content& content);
void drawLevelMeter(Graphics& g, int32_t skin, const NoteSource& notes);
// Draws the status line from view.scrollerPos; returns the position for the next frame.
int32_t drawStatusScroller(Graphics& g, const ViewState& view, const content::Content& content);
void drawScrollThumb(Graphics& g, const ViewState& view);
// Follows the pointer on the thumb; returns the top line a drag puts there (else view.topLine).
int32_t dragScrollThumb(Graphics& g, const ViewState& view);
void drawPointer(Graphics& g, int32_t x, int32_t y);

// Intro.
void prepareBigFont(Graphics& g, std::span<const uint8_t> image);
void drawCopperBand(Graphics& g, int32_t y, int32_t step);  // 32 rows from y, cut at row 599
void drawCopperBands(Graphics& g, double introClock);
void computeIntroTables(Graphics& g, double introClock);
void drawStarfield(Graphics& g, double frameStep);
void drawBigGlyph(Graphics& g, int32_t code, int32_t x, int32_t y, const std::array<uint32_t, kColourRows>& colours);
void drawIntroLines(Graphics& g, const content::FixedTexts& texts);
void drawWaveGlyph(Graphics& g, int32_t code, int32_t x);
void drawIntroScroller(Graphics& g, const std::string& text, double frameStep, double now);

}  // namespace render
