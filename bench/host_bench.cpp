// One full 800 x 600 frame through each pixel converter, beside a plain copy
// of the same 480,000 words as the baseline of this run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "host/pixel_converters.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

const std::vector<uint32_t>& sourceFrame() {
  static const std::vector<uint32_t> frame = [] {
    std::vector<uint32_t> f(kWidth * kHeight);
    std::mt19937 rng(36);
    for (uint32_t& p : f) p = rng() & 0x00FFFFFF;
    return f;
  }();
  return frame;
}

// The baseline: the same rows copied as words with a surface-like pitch.
void BM_PlainWordCopy(benchmark::State& state) {
  const std::vector<uint32_t>& src = sourceFrame();
  std::vector<uint8_t> surface(static_cast<std::size_t>(kWidth) * 4 * kHeight);
  for (auto _ : state) {
    for (int r = 0; r < kHeight; ++r) {
      std::memcpy(surface.data() + static_cast<std::size_t>(r) * kWidth * 4, src.data() + static_cast<std::size_t>(r) * kWidth,
                  kWidth * 4);
    }
    benchmark::DoNotOptimize(surface.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(BM_PlainWordCopy)->Unit(benchmark::kMicrosecond);

void BM_Converter(benchmark::State& state) {
  const host::PixelConverterEntry& e = host::pixelConverterTable()[state.range(0)];
  const std::vector<uint32_t>& src = sourceFrame();
  const std::size_t pitch = static_cast<std::size_t>(kWidth) * static_cast<std::size_t>(e.bytesPerPixel);
  std::vector<uint8_t> surface(pitch * kHeight);
  for (auto _ : state) {
    for (int r = 0; r < kHeight; ++r) {
      e.convert(src.data() + static_cast<std::size_t>(r) * kWidth, surface.data() + static_cast<std::size_t>(r) * pitch,
                kWidth);
    }
    benchmark::DoNotOptimize(surface.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(e.name);
  state.SetBytesProcessed(state.iterations() * kWidth * kHeight * 4);
}
BENCHMARK(BM_Converter)->DenseRange(0, host::kPixelConverterCount - 1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
