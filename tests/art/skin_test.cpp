// The committed skins: format, the exact black of the text and menu areas,
// textured frame everywhere else, readable labels on every button (also
// under the selected tint and the hover glow) and a dark track for the thumb.
#include <gtest/gtest.h>

#include <set>

#include "render/layout.h"
#include "tests/art/asset_files.h"
#include "tools/assets/art/lib/skin_painter.h"

namespace {

struct SkinCase {
  int number;
  const char* file;
  uint32_t black;
  // The selected tint the reader blends over a chosen button: alpha, red, green, blue.
  int alpha, red, green, blue;
};

const SkinCase kSkins[] = {
    {1, "skins/grunge.bin", 0x000000, 125, 125, 70, 20},
    {2, "skins/carbon.bin", 0x040204, 95, 100, 150, 250},
};

class SkinAsset : public ::testing::TestWithParam<SkinCase> {
 protected:
  void SetUp() override {
    bytes_ = arttest::readAsset(GetParam().file);
    skin_ = arttest::unpack(bytes_, 800, 600, true);
    layout_ = &art::skinLayout(GetParam().number);
  }

 public:
  uint32_t colourAt(int x, int y) const { return skin_.colour(skin_.at(x, y)); }

 protected:
  std::vector<uint8_t> bytes_;
  art::IndexedPicture skin_;
  const art::SkinLayout* layout_ = nullptr;
};

// Blends like the reader's rectangle blend: floor((c * a + old * (256 - a)) / 256).
uint32_t blend(uint32_t old, int a, int r, int g, int b) {
  auto ch = [&](int shift, int c) { return static_cast<uint32_t>((c * a + int((old >> shift) & 255) * (256 - a)) / 256); };
  return ch(16, r) << 16 | ch(8, g) << 8 | ch(0, b);
}

TEST_P(SkinAsset, SizeIsPaletteThenPixels) { EXPECT_EQ(bytes_.size(), 768u + 800u * 600u); }

TEST_P(SkinAsset, LayoutCoversTheReadersAreas) {
  // Text area rows 187..570, columns 20..770; the menu's clip box, rules,
  // status line and meter all inside the menu area.
  EXPECT_EQ(layout_->textArea.x0, 20);
  EXPECT_EQ(layout_->textArea.x1, 770);
  EXPECT_EQ(layout_->textArea.y0, 187);
  EXPECT_EQ(layout_->textArea.y1, 570);
  const int meterBottom = GetParam().number == 1 ? 147 : 149;
  const art::Rect& m = layout_->menuArea;
  for (auto [x, y] : {std::pair{146, 40}, {649, 145}, {144, 56}, {651, 123}, {158, 131}, {636, meterBottom}})
    EXPECT_TRUE(m.contains(x, y)) << x << "," << y;
  for (const art::SkinButton& b : layout_->buttons) {
    EXPECT_FALSE(b.rect().x1 >= m.x0 && b.rect().x0 <= m.x1 && b.rect().y1 >= m.y0 && b.rect().y0 <= m.y1) << b.label;
  }
}

TEST_P(SkinAsset, TextAndMenuAreasAreExactlyTheSkinsBlack) {
  ASSERT_EQ(skin_.width, 800);
  for (const art::Rect& r : {layout_->textArea, layout_->menuArea})
    for (int y = r.y0; y <= r.y1; ++y)
      for (int x = r.x0; x <= r.x1; ++x) ASSERT_EQ(colourAt(x, y), GetParam().black) << x << "," << y;
}

TEST_P(SkinAsset, EverythingElseIsTexturedAndNeverThatBlack) {
  ASSERT_EQ(skin_.width, 800);
  std::set<uint32_t> colours;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      if (layout_->textArea.contains(x, y) || layout_->menuArea.contains(x, y)) continue;
      ASSERT_NE(colourAt(x, y), GetParam().black) << x << "," << y;
      colours.insert(colourAt(x, y));
    }
  EXPECT_GT(colours.size(), 150u) << "a flat frame, not a texture";
  // The frame right around the text area differs from the black: the frame is not a black border.
  for (int x = 100; x < 700; x += 50) EXPECT_GT(arttest::luminance(colourAt(x, layout_->textArea.y0 - 3)), 12.0) << x;
}

TEST_P(SkinAsset, ButtonsCarryReadableLabels) {
  ASSERT_EQ(skin_.width, 800);
  const SkinCase& sc = GetParam();
  for (const art::SkinButton& b : layout_->buttons) {
    art::Rect r = b.rect();
    // Bright label pixels against the plate's typical brightness.
    std::vector<double> lum;
    for (int y = r.y0; y <= r.y1; ++y)
      for (int x = r.x0; x <= r.x1; ++x) lum.push_back(arttest::luminance(colourAt(x, y)));
    std::vector<double> sorted = lum;
    std::sort(sorted.begin(), sorted.end());
    const double plate = sorted[sorted.size() / 2];
    int bright = 0;
    for (double l : lum) bright += l > plate + 90;
    const int chars = static_cast<int>(std::string(b.label).size());
    EXPECT_GE(bright, 8 * chars) << b.label;
    EXPECT_LE(bright, static_cast<int>(lum.size()) / 2) << b.label;
    // Under the selected tint the label still stands clear of the plate.
    double tintedLabel = 0, tintedPlate = 0;
    int nl = 0, np = 0;
    for (int y = r.y0; y <= r.y1; ++y)
      for (int x = r.x0; x <= r.x1; ++x) {
        double l = arttest::luminance(colourAt(x, y));
        double t = arttest::luminance(blend(colourAt(x, y), sc.alpha, sc.red, sc.green, sc.blue));
        if (l > plate + 90) tintedLabel += t, ++nl;
        else if (std::abs(l - plate) < 15) tintedPlate += t, ++np;
      }
    ASSERT_GT(nl, 0) << b.label;
    ASSERT_GT(np, 0) << b.label;
    EXPECT_GT(tintedLabel / nl - tintedPlate / np, 50.0) << b.label;
  }
}

// Mean luminance of the pixels from (x, y), n steps of (dx, dy).
double lineLuminance(const SkinAsset& t, int x, int y, int dx, int dy, int n);

// Each plate's dark outline runs one pixel outside the button's rectangle on
// all four sides: clearly darker than the plate's own edge just inside, and
// darker than the frame (in its shadow) just outside. A plate painted a pixel off the rectangle the reader
// hit-tests and tints puts its outline on the wrong line and fails here.
TEST_P(SkinAsset, ButtonOutlinesRunAroundTheReadersRectangles) {
  ASSERT_EQ(skin_.width, 800);
  for (int b = 1; b <= render::kButtonCount; ++b) {
    const render::Rect& r = render::buttonRect(b, GetParam().number);
    const int w = r.lastDX + 1, h = r.lastDY + 1;
    struct Side {
      const char* name;
      int x, y, dx, dy, n, outX, outY;  // first pixel of the outline, its direction and length, outward step
    };
    const Side sides[] = {
        {"left", r.x - 1, r.y, 0, 1, h, -1, 0},
        {"right", r.right() + 1, r.y, 0, 1, h, 1, 0},
        {"top", r.x, r.y - 1, 1, 0, w, 0, -1},
        {"bottom", r.x, r.bottom() + 1, 1, 0, w, 0, 1},
    };
    for (const Side& side : sides) {
      const double outline = lineLuminance(*this, side.x, side.y, side.dx, side.dy, side.n);
      const double inside = lineLuminance(*this, side.x - side.outX, side.y - side.outY, side.dx, side.dy, side.n);
      const double outside = lineLuminance(*this, side.x + side.outX, side.y + side.outY, side.dx, side.dy, side.n);
      EXPECT_LT(outline + 5, inside) << "button " << b << ", " << side.name;
      EXPECT_LT(outline, outside) << "button " << b << ", " << side.name;
    }
  }
}

double lineLuminance(const SkinAsset& t, int x, int y, int dx, int dy, int n) {
  double sum = 0;
  for (int i = 0; i < n; ++i) sum += arttest::luminance(t.colourAt(x + i * dx, y + i * dy));
  return sum / n;
}

// The painter frames exactly the layout's areas and buttons.
TEST_P(SkinAsset, PainterLayoutIsTheReadersLayout) {
  const int skin = GetParam().number;
  EXPECT_EQ(layout_->textArea.x0, render::kTextArea.x);
  EXPECT_EQ(layout_->textArea.y1, render::kTextArea.bottom());
  EXPECT_EQ(layout_->thumbTrack.x0, render::thumbTrack(skin).x);
  EXPECT_EQ(layout_->thumbTrack.y1, render::thumbTrack(skin).bottom());
  for (int b = 1; b <= render::kButtonCount; ++b) {
    const art::Rect r = layout_->buttons[static_cast<std::size_t>(b - 1)].rect();
    const render::Rect& hit = render::buttonRect(b, skin);
    EXPECT_EQ(r.x0, hit.x) << b;
    EXPECT_EQ(r.y0, hit.y) << b;
    EXPECT_EQ(r.x1, hit.right()) << b;
    EXPECT_EQ(r.y1, hit.bottom()) << b;
  }
}

TEST_P(SkinAsset, ThumbTrackIsDarkEnoughForTheThumb) {
  ASSERT_EQ(skin_.width, 800);
  const art::Rect& t = layout_->thumbTrack;
  double sum = 0;
  int n = 0;
  for (int y = t.y0; y <= t.y1; ++y)
    for (int x = t.x0; x <= t.x1; ++x) sum += arttest::luminance(colourAt(x, y)), ++n;
  EXPECT_LT(sum / n, 45.0);
  // And it is a groove, not part of the black page.
  EXPECT_GT(sum / n, 5.0);
}

INSTANTIATE_TEST_SUITE_P(BothSkins, SkinAsset, ::testing::ValuesIn(kSkins),
                         [](const ::testing::TestParamInfo<SkinCase>& p) { return std::string(p.param.number == 1 ? "Grunge" : "Carbon"); });

}  // namespace
