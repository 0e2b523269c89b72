// openArticle runs on every page turn and decodes all 5000 lines x 81 columns
// whatever the article's length. Baseline: clearing the same view tables with
// plain fills, the least any decoder has to do.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "content/content.h"

namespace {

const content::Content& issue() {
  static const content::Content c = [] {
    content::Content built;
    content::buildContent(built);
    return built;
  }();
  return c;
}

void BM_ClearViewBaseline(benchmark::State& state) {
  content::ArticleView view;
  content::sizeArticleView(view);
  for (auto _ : state) {
    std::fill(view.glyph.begin(), view.glyph.end(), 0);
    std::fill(view.colour.begin(), view.colour.end(), 1);
    std::fill(view.style.begin(), view.style.end(), 0);
    for (auto& r : view.rule) r.clear();
    benchmark::DoNotOptimize(view.glyph.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ClearViewBaseline)->Unit(benchmark::kMicrosecond);

void BM_OpenArticle(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  content::ArticleView view;
  content::sizeArticleView(view);
  issue();
  for (auto _ : state) {
    benchmark::DoNotOptimize(content::openArticle(issue(), view, n));
    benchmark::DoNotOptimize(view.glyph.data());
    benchmark::ClobberMemory();
  }
  state.counters["cells/s"] = benchmark::Counter(5000.0 * 81.0, benchmark::Counter::kIsIterationInvariantRate);
}
// the longest article, the editorial, and the three-line one
BENCHMARK(BM_OpenArticle)->Arg(4)->Arg(11)->Arg(19)->Unit(benchmark::kMicrosecond);

void BM_BuildContent(benchmark::State& state) {
  for (auto _ : state) {
    content::Content c;
    content::buildContent(c);
    benchmark::DoNotOptimize(c.tables.lineText.data());
  }
}
BENCHMARK(BM_BuildContent)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
