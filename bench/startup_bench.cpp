// Start-up to the first presented frame: building the content and the
// renderer's tables, opening the (headless) display and the first black frame
// of the wait for release, as one fresh program per iteration.
#include <benchmark/benchmark.h>

#include <memory>

#include "app/program.h"
#include "host/headless/fake_looping_audio_output.h"
#include "host/headless/fake_wave_output.h"
#include "host/headless/headless_host.h"

namespace {

struct Run {
  host::VirtualClock clock;
  host::HeadlessDisplayHost display{&clock};
  host::FakeWaveOutput wave;
  host::FakeLoopingAudioOutput looping;
  app::Program program{display, clock, wave, looping};
};

void BM_StartUpToFirstFrame(benchmark::State& state) {
  for (auto _ : state) {
    auto run = std::make_unique<Run>();
    if (!app::startUp(run->program)) state.SkipWithError("display did not open");
    app::waitForRelease(run->program);
    benchmark::DoNotOptimize(run->display.lastPixel(0, 0));
    state.PauseTiming();  // tearing the program down is not start-up
    run.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartUpToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(10);

// One reader frame on the headless host (drawing plus the frame copy).
void BM_ReaderFrame(benchmark::State& state) {
  host::VirtualClock clock;
  host::HeadlessDisplayHost display(&clock, 0.01);
  host::FakeWaveOutput wave;
  host::FakeLoopingAudioOutput looping;
  app::Program program(display, clock, wave, looping);
  if (!app::startUp(program)) {
    state.SkipWithError("display did not open");
    return;
  }
  app::handOver(program);
  for (auto _ : state) benchmark::DoNotOptimize(app::readerFrame(program));
}
BENCHMARK(BM_ReaderFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
