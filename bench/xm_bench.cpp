// Module player speed: offline mixing (the real sequencer and mixer, block by
// block) of a 4-channel and a 28-channel module built here, and of embedded
// module 1 when it is present, as a real-time factor (seconds of audio per
// second of CPU). The same modules are rendered by Debian's xmp (a black box,
// linear interpolation, raw file output) for comparison; the xmp benchmarks
// report both factors and their ratio.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "tests/xm/xm_builder.h"
#include "xm/offline_renderer.h"

namespace {

constexpr double kSeconds = 30.0;  // audio rendered per iteration

// A busy module: every channel plays a note every other row from one of
// eight looping instruments (8- and 16-bit, forward and ping-pong, some with
// a volume envelope), with vibrato, volume slides and panning on the way.
std::vector<uint8_t> buildModule(uint16_t channels, uint16_t speed) {
  xmtest::Module m;
  m.channels = channels;
  m.speed = speed;
  m.bpm = 125;
  m.orders = {0, 1, 2, 3};
  m.patterns = {xmtest::Pattern{64, {}}, xmtest::Pattern{64, {}}, xmtest::Pattern{64, {}}, xmtest::Pattern{64, {}}};
  for (int i = 0; i < 8; ++i) {
    xmtest::Sample s;
    const int length = 1500 + 400 * i;
    for (int k = 0; k < length; ++k) {
      const double phase = 2.0 * 3.14159265358979 * k * (i + 1) / 97.0;
      s.pcm.push_back(static_cast<int16_t>(9000.0 * std::sin(phase) + 3000.0 * std::sin(phase * 2.01)));
    }
    s.sixteenBit = (i % 2) == 0;
    if (!s.sixteenBit) {
      for (int16_t& v : s.pcm) v = static_cast<int16_t>((v >> 8) << 8);
    }
    s.loopType = (i % 3 == 2) ? 2 : 1;
    s.loopStart = static_cast<uint32_t>(length / 3);
    s.loopLength = static_cast<uint32_t>(length - length / 3);
    s.volume = 48;
    s.panning = static_cast<uint8_t>(32 * i);
    xmtest::Instrument in = xmtest::simpleInstrument(s);
    if (i % 2 == 1) {
      in.volume.points = {{0, 64}, {8, 40}, {40, 20}, {80, 0}};
      in.volume.type = xm::kEnvelopeOn | xm::kEnvelopeSustain;
      in.volume.sustain = 2;
      in.fadeout = 0x200;
      in.vibratoType = 0;
      in.vibratoDepth = 4;
      in.vibratoRate = 20;
    }
    m.instruments.push_back(in);
  }
  for (int p = 0; p < 4; ++p) {
    for (int row = 0; row < 64; ++row) {
      for (int c = 0; c < channels; ++c) {
        xm::XmCell& cell = m.cell(p, row, c);
        if ((row + c) % 2 == 0) {
          cell.note = static_cast<uint8_t>(25 + (row * 7 + c * 5 + p * 3) % 48);
          cell.instrument = static_cast<uint8_t>(1 + (c + row / 2) % 8);
          cell.volume = static_cast<uint8_t>(0x10 + 32 + (c % 32));
        } else if (row % 4 == 1) {
          cell.effect = xm::kEffectVibrato;
          cell.parameter = 0x43;
        } else if (row % 4 == 3) {
          cell.effect = xm::kEffectVolumeSlide;
          cell.parameter = 0x02;
          cell.volume = static_cast<uint8_t>(0xC0 | (c % 16));
        }
      }
    }
  }
  return m.bytes();
}

const std::vector<uint8_t>& moduleFor(int kind) {
  static const std::vector<uint8_t> four = buildModule(4, 6);
  static const std::vector<uint8_t> twentyEight = buildModule(28, 3);
  static std::vector<uint8_t> embedded;
  if (kind == 4) return four;
  if (kind == 28) return twentyEight;
  if (embedded.empty()) {
    const auto data = assets::module(1);
    embedded.assign(data.begin(), data.end());
  }
  return embedded;
}

// CPU time of this thread, and of the finished child processes, in seconds.
// CPU time rather than wall time: the machine may be shared.
double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
double childCpuSeconds() {
  rusage r{};
  getrusage(RUSAGE_CHILDREN, &r);
  return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
         static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) * 1e-6;
}

// Seconds of CPU time to load and render `seconds` of the module offline.
double renderSeconds(const std::vector<uint8_t>& bytes, double seconds) {
  const double start = threadCpuSeconds();
  xm::OfflineRenderer renderer;
  if (!renderer.load(bytes.data(), static_cast<int64_t>(bytes.size()))) return -1.0;
  std::vector<int16_t> block(2 * xm::kBlockFrames);
  const int blocks = static_cast<int>(seconds * xm::kMixRate / xm::kBlockFrames);
  for (int b = 0; b < blocks; ++b) {
    renderer.renderBlock(block.data());
    benchmark::DoNotOptimize(block.data());
  }
  return threadCpuSeconds() - start;
}

void BM_Mix(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = moduleFor(static_cast<int>(state.range(0)));
  xm::OfflineRenderer renderer;
  if (bytes.empty() || !renderer.load(bytes.data(), static_cast<int64_t>(bytes.size()))) {
    state.SkipWithError("module not available");
    return;
  }
  std::vector<int16_t> block(2 * xm::kBlockFrames);
  const int blocks = static_cast<int>(kSeconds * xm::kMixRate / xm::kBlockFrames);
  for (auto _ : state) {
    renderer.restart();
    for (int b = 0; b < blocks; ++b) {
      renderer.renderBlock(block.data());
      benchmark::DoNotOptimize(block.data());
    }
  }
  state.counters["channels"] = renderer.song()->channelCount;
  state.counters["realtime_x"] =
      benchmark::Counter(blocks * static_cast<double>(xm::kBlockFrames) / xm::kMixRate,
                         benchmark::Counter::kIsIterationInvariantRate);
}
// 4 and 28: modules built above; 1: embedded module 1.
BENCHMARK(BM_Mix)->Arg(4)->Arg(28)->Arg(1)->Unit(benchmark::kMillisecond);

// xmp renders the same module with linear interpolation to a raw file; its
// CPU time (start-up and loading included, as ours includes loading) against
// ours for the same audio.
void BM_XmpComparison(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = moduleFor(static_cast<int>(state.range(0)));
  if (bytes.empty() || std::system("command -v xmp > /dev/null 2>&1") != 0) {
    state.SkipWithError("xmp or the module not available");
    return;
  }
  const std::string module = "/tmp/qv_xm_bench_" + std::to_string(state.range(0)) + ".xm";
  const std::string raw = module + ".raw";
  {
    std::ofstream out(module, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  const std::string command = "xmp -q --norc --nocmd -l -i linear -f 44100 -b 16 -d file -o " + raw + " -t " +
                              std::to_string(static_cast<int>(kSeconds)) + " " + module + " > /dev/null 2>&1";
  double ours = 0.0, theirs = 0.0, theirAudio = 0.0;
  for (auto _ : state) {
    ours += renderSeconds(bytes, kSeconds);
    const double start = childCpuSeconds();
    const int status = std::system(command.c_str());
    theirs += childCpuSeconds() - start;
    if (status != 0) {
      state.SkipWithError("xmp failed");
      return;
    }
    std::ifstream rendered(raw, std::ios::binary | std::ios::ate);
    theirAudio += static_cast<double>(rendered.tellg()) / 176400.0;
    state.SetIterationTime(theirs);
  }
  const double oursX = kSeconds * static_cast<double>(state.iterations()) / ours;
  const double xmpX = theirAudio / theirs;
  state.counters["ours_x"] = oursX;
  state.counters["xmp_x"] = xmpX;
  state.counters["xmp_audio_s"] = theirAudio / static_cast<double>(state.iterations());
  state.counters["ratio"] = oursX / xmpX;
  std::remove(raw.c_str());
  std::remove(module.c_str());
}
BENCHMARK(BM_XmpComparison)->Arg(4)->Arg(28)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
