// One full 800 x 600 frame through each pixel converter, beside a plain copy
// of the same 480,000 words as the baseline of this run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/common/frame_scaler.h"
#include "host/common/pixel_converters.h"

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

// The whole frame scaled to a screen without an 800 x 600 mode and written in
// the display's format: the fitted area of 1920 x 1080 (1440 x 1080), of
// 3840 x 2160 (2880 x 2160) and of 640 x 480, for the plain 32-bit format, the
// 24-bit one and 5-6-5, on the AVX2 path (where the processor has it) and for
// 1920 x 1080 also on the SSE2 one. Time per frame includes the conversion.
void BM_ScaleFrame(benchmark::State& state) {
  const int32_t screenW = static_cast<int32_t>(state.range(0));
  const int32_t screenH = static_cast<int32_t>(state.range(1));
  const host::PixelConverterEntry& e = host::pixelConverterTable()[state.range(2)];
  const host::ScreenRect area = host::fitFrame(screenW, screenH, kWidth, kHeight);
  const std::size_t pitch = static_cast<std::size_t>(screenW) * static_cast<std::size_t>(e.bytesPerPixel);
  std::vector<uint8_t> surface(pitch * static_cast<std::size_t>(screenH));
  host::FrameScaler scaler;
  scaler.allowAvx2(state.range(3) != 0);
  if (!scaler.configure(kWidth, kHeight, area, e.convert, e.bytesPerPixel)) {
    state.SkipWithError("configure failed");
    return;
  }
  const std::vector<uint32_t>& src = sourceFrame();
  for (auto _ : state) {
    scaler.scale(src.data(), surface.data(), pitch);
    benchmark::DoNotOptimize(surface.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(std::string(e.name) + " " + std::to_string(area.width) + "x" + std::to_string(area.height) +
                 (scaler.usingAvx2() ? " avx2" : " sse2"));
}
// The same into a kept surface (the SDL host's window surface) with the
// reader at rest: each frame changes only the six rows of its two animated
// rainbow rules (56-58 and 121-123), and state.range(0) of the other rows
// change as well (0, or all 600: a page being scrolled). Includes finding the
// changed rows.
void BM_ScaleKeptSurface(benchmark::State& state) {
  const int32_t extra = static_cast<int32_t>(state.range(0));
  const host::ScreenRect area = host::fitFrame(1920, 1080, kWidth, kHeight);
  const std::size_t pitch = 1920 * 4;
  std::vector<uint8_t> surface(pitch * 1080);
  host::FrameScaler scaler;
  if (!scaler.configure(kWidth, kHeight, area, &host::convertCopy32, 4)) {
    state.SkipWithError("configure failed");
    return;
  }
  std::vector<uint32_t> frame = sourceFrame();
  uint32_t tick = 0;
  for (auto _ : state) {
    ++tick;
    for (int32_t r : {56, 57, 58, 121, 122, 123}) frame[static_cast<std::size_t>(r) * kWidth + tick % kWidth] ^= tick;
    for (int32_t r = 0; r < extra; ++r) frame[static_cast<std::size_t>(r) * kWidth + tick % kWidth] ^= 0x010101;
    scaler.scale(frame.data(), surface.data(), pitch, true);
    benchmark::DoNotOptimize(surface.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(extra == 0 ? "reader at rest, 1440x1080" : "every row changed, 1440x1080");
}
BENCHMARK(BM_ScaleKeptSurface)->Arg(0)->Arg(kHeight)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_ScaleFrame)
    ->Args({1920, 1080, 0, 1})
    ->Args({1920, 1080, 2, 1})
    ->Args({1920, 1080, 4, 1})
    ->Args({1920, 1080, 0, 0})
    ->Args({3840, 2160, 0, 1})
    ->Args({640, 480, 0, 1})
    ->Unit(benchmark::kMicrosecond);
