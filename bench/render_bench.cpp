// Whole reader and intro frames, beside a plain copy of one 800 x 600 frame
// as the baseline of this run. Run with --benchmark_repetitions=N and read
// the medians.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "assets/assets.h"
#include "content/content.h"
#include "host/display_host.h"
#include "host/random.h"
#include "render/graphics.h"
#include "render/render.h"

namespace {

class Silence : public render::NoteSource {
 public:
  uint16_t cellAt(int32_t) const override { return 0; }
};

class StillClock : public host::Clock {
 public:
  double now() override { return 0.0; }
  void sleepMs(int32_t) override {}
};

std::unique_ptr<render::Graphics> realGraphics() {
  auto g = render::createGraphics();
  render::setUpRenderer(*g, render::ImageAssets{assets::grungeSkin(), assets::carbonSkin(), assets::textFont(),
                                                assets::bigFont()});
  render::buildSkinBackgrounds(*g);
  return g;
}

// The issue and the busiest page of it: the most cells drawn opaquely, with a
// rainbow rule counting as a row of 80 cells.
struct BusiestPage {
  content::Content issue;
  content::ArticleView view;
  render::ViewState state;
  int article = 0;
  int top = 0;

  BusiestPage() {
    content::buildContent(issue);
    content::sizeArticleView(view);
    long best = -1;
    for (int a = 1; a <= content::kLastArticle; ++a) {
      state.lineCount = content::openArticle(issue, view, a);
      for (int t = 0; t == 0 || t <= state.lineCount - 33; ++t) {
        long score = 0;
        for (int i = 0; i < 33 && t + i < state.lineCount; ++i) {
          const int line = t + i;
          const std::string& rule = view.rule[static_cast<std::size_t>(line)];
          if (rule == "8") score += 80;
          if (rule != "0" || i < 1 || i > 30) continue;
          for (int q = 1; q <= content::kLastColumn; ++q) {
            if (view.glyph[content::ArticleView::cell(line, q)] > 32) ++score;
          }
        }
        if (score > best) {
          best = score;
          article = a;
          top = t;
        }
      }
    }
    state.lineCount = content::openArticle(issue, view, article);
    state.topLine = top;
    state.buttonState[3] = 1;
    state.buttonState[7] = 1;
    state.entryOpen[static_cast<std::size_t>(article)] = 1;
    state.pointerX = 400;
    state.pointerY = 300;
  }
};

void BM_PlainFrameCopy(benchmark::State& state) {
  std::vector<uint32_t> from(render::kFramePixels, 0x123456), to(render::kFramePixels);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), sizeof(uint32_t) * render::kFramePixels);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PlainFrameCopy)->Unit(benchmark::kMicrosecond);

void BM_ReaderFrameBusiestPage(benchmark::State& state) {
  static BusiestPage page;
  auto g = realGraphics();
  Silence silence;
  render::setMeterChannelCount(*g, 0);
  for (auto _ : state) {
    page.state.topLine = page.top;
    render::drawReaderFrame(*g, render::ReaderScene{page.state, page.issue, page.view, silence});
    page.state.animClock += 4.0;
    benchmark::DoNotOptimize(render::framePixels(*g));
  }
  state.SetLabel("article " + std::to_string(page.article) + " from line " + std::to_string(page.top));
}
BENCHMARK(BM_ReaderFrameBusiestPage)->Unit(benchmark::kMicrosecond);

// A made-up worst case: all 33 rows full, rows 1..30 opaque, rows 0, 31 and
// 32 under rainbow rules, and 32 channels of notes on the meter.
void BM_ReaderFrameFullPage(benchmark::State& state) {
  static content::Content issue;
  static content::ArticleView view;
  static bool ready = false;
  if (!ready) {
    content::buildContent(issue);
    content::sizeArticleView(view);
    for (int line = 0; line < 33; ++line) {
      view.rule[static_cast<std::size_t>(line)].assign(1, line == 0 || line > 30 ? '8' : '0');
      for (int q = 1; q <= content::kLastColumn; ++q) {
        const std::size_t at = content::ArticleView::cell(line, q);
        view.glyph[at] = static_cast<uint8_t>(33 + (line * 81 + q) % 200);
        view.colour[at] = 1 + q % 31;
        view.style[at] = 1 + line % 2;
      }
    }
    ready = true;
  }
  class Notes : public render::NoteSource {
   public:
    uint16_t cellAt(int32_t c) const override { return static_cast<uint16_t>(47 + c); }
  };
  Notes notes;
  render::ViewState s;
  s.lineCount = 100;
  s.buttonState[3] = 1;
  s.buttonState[7] = 1;
  auto g = realGraphics();
  render::setMeterChannelCount(*g, 32);
  for (auto _ : state) {
    s.topLine = 0;
    render::drawReaderFrame(*g, render::ReaderScene{s, issue, view, notes});
    s.animClock += 4.0;
    benchmark::DoNotOptimize(render::framePixels(*g));
  }
}
BENCHMARK(BM_ReaderFrameFullPage)->Unit(benchmark::kMicrosecond);

void BM_IntroFrame(benchmark::State& state) {
  static content::Content issue;
  static bool ready = false;
  if (!ready) {
    content::buildContent(issue);
    ready = true;
  }
  auto g = realGraphics();
  host::Random random(36);
  render::initStarfield(*g, random);
  StillClock clock;
  render::ViewState s;
  s.introFrameStep = 4.0;
  for (auto _ : state) {
    render::drawIntroFrame(*g, s.introClock, s.introFrameStep, issue.texts, clock.now());
    render::clearIntroFrame(*g);
    s.introClock += 0.8;
    benchmark::DoNotOptimize(render::framePixels(*g));
  }
}
BENCHMARK(BM_IntroFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
