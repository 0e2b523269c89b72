// SID player throughput: whole tunes (play calls and synthesis) rendered
// offline, the synthesis alone, the 6502 alone, and a same-run comparison
// with Debian's sidplayfp rendering the same tune to a WAV file (run as a
// black box and timed by its CPU time).
//
//   build/<dir>/bench/bench_sid [--benchmark_filter=...]
// Counters: realtime = seconds of audio per second of CPU time.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "sid/player_state.h"
#include "sid/tune_renderer.h"

namespace {

const char* const kTestTunes[] = {"dojo.sid", "consultant.sid", "sixpack.sid"};

std::vector<uint8_t> readTune(const std::string& name) {
  std::ifstream in(std::string(QV_TESTDATA_DIR) + "/sid/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

double childCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Renders `seconds` of a tune from its start; returns the CPU seconds taken.
double renderTune(const std::vector<uint8_t>& image, int seconds, std::vector<int16_t>& out) {
  const double t0 = cpuSeconds();
  sid::TuneRenderer renderer;
  renderer.start(image.data(), static_cast<int32_t>(image.size()), 0);
  out.resize(static_cast<size_t>(seconds) * sid::kMixRate);
  renderer.render(out.data(), out.size());
  return cpuSeconds() - t0;
}

void renderWholeTune(benchmark::State& state, const std::vector<uint8_t>& image) {
  constexpr int kSeconds = 60;
  std::vector<int16_t> out;
  for (auto _ : state) {
    renderTune(image, kSeconds, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["realtime"] =
      benchmark::Counter(static_cast<double>(kSeconds) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

void BM_TestTune(benchmark::State& state) {
  const std::vector<uint8_t> image = readTune(kTestTunes[state.range(0)]);
  if (image.empty()) {
    state.SkipWithError("test tune missing");
    return;
  }
  state.SetLabel(kTestTunes[state.range(0)]);
  renderWholeTune(state, image);
}
BENCHMARK(BM_TestTune)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_EmbeddedTune(benchmark::State& state) {
  const auto bytes = assets::tune(static_cast<int>(state.range(0)));
  if (bytes.empty()) {
    state.SkipWithError("embedded tune not built");
    return;
  }
  renderWholeTune(state, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}
BENCHMARK(BM_EmbeddedTune)->DenseRange(1, 12)->Unit(benchmark::kMillisecond);

// Synthesis alone: three sounding voices (pulse, saw, noise) through the
// resonant low-pass filter, 882 samples per call as in playback.
void BM_Synthesis(benchmark::State& state) {
  auto chip = std::make_unique<sid::SidChip>();
  *chip = sid::SidChip{};
  chip->setup(sid::kMixRate);
  std::vector<uint8_t> memory(65536, 0);
  const uint8_t regs[][2] = {{0x00, 0x00}, {0x01, 0x10}, {0x03, 0x08}, {0x05, 0x09}, {0x06, 0xF0},
                             {0x04, 0x41}, {0x08, 0x20}, {0x0C, 0x09}, {0x0D, 0xF0}, {0x0B, 0x21},
                             {0x0F, 0x30}, {0x13, 0x09}, {0x14, 0xF0}, {0x12, 0x81}, {0x16, 0x40},
                             {0x17, 0xF3}, {0x18, 0x1F}};
  for (const auto& r : regs) chip->write(static_cast<uint16_t>(0xD400 + r[0]), r[1]);
  int16_t frame[sid::kFrameSamples];
  for (auto _ : state) {
    chip->render(frame, sid::kFrameSamples, memory.data());
    benchmark::DoNotOptimize(frame);
  }
  state.counters["realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * sid::kFrameSamples / sid::kMixRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Synthesis);

// The 6502 alone: the play routine of a tracker tune, once per iteration.
void BM_PlayRoutine(benchmark::State& state) {
  const std::vector<uint8_t> image = readTune("dojo.sid");
  if (image.empty()) {
    state.SkipWithError("test tune missing");
    return;
  }
  auto player = std::make_unique<sid::PlayerState>();
  player->reset();
  player->loadTune(image.data(), static_cast<int32_t>(image.size()));
  player->runInit(0);
  uint64_t instructions = 0;
  for (auto _ : state) instructions += player->runPlay();
  state.counters["instructions/s"] =
      benchmark::Counter(static_cast<double>(instructions), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlayRoutine);

// A damaged tune whose play routine never returns (JMP to itself) after an
// init that starts a sawtooth: every play call runs out its budget. The bar
// is 20 times real time, so that the refills keep up and a tune switch to
// such a tune does not freeze the intro.
void BM_RunawayPlayRoutine(benchmark::State& state) {
  std::vector<uint8_t> image(0x7C, 0);
  image[0] = 'P'; image[1] = 'S'; image[2] = 'I'; image[3] = 'D';
  image[5] = 2;
  image[7] = 0x7C;
  image[10] = 0x10; image[11] = 0x00;  // init $1000
  image[12] = 0x10; image[13] = 0x20;  // play $1020
  image[17] = 1;
  const uint8_t code[] = {0x00, 0x10,  // load address $1000
                          0xA9, 0x0F, 0x8D, 0x18, 0xD4, 0xA9, 0x10, 0x8D, 0x01, 0xD4, 0xA9, 0x09, 0x8D, 0x05,
                          0xD4, 0xA9, 0xF0, 0x8D, 0x06, 0xD4, 0xA9, 0x21, 0x8D, 0x04, 0xD4, 0x60, 0xEA, 0xEA,
                          0xEA, 0xEA, 0xEA, 0xEA, 0x4C, 0x20, 0x10};
  image.insert(image.end(), std::begin(code), std::end(code));
  constexpr int kSeconds = 10;
  std::vector<int16_t> out;
  for (auto _ : state) {
    renderTune(image, kSeconds, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["realtime"] =
      benchmark::Counter(static_cast<double>(kSeconds) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RunawayPlayRoutine)->Unit(benchmark::kMillisecond);

// Ours against sidplayfp on the same tune and length, in one run. Both are
// timed by CPU seconds, since the machine's cores are shared.
void BM_VersusSidplayfp(benchmark::State& state) {
  constexpr int kSeconds = 30;
  // 0..2: the test-data tunes; 3: embedded tune 1 (its file in assets/tunes).
  const bool embedded = state.range(0) == 3;
  const std::string name = embedded ? "tune01.sid" : kTestTunes[state.range(0)];
  const std::string path = embedded ? std::string(QV_SOURCE_DIR) + "/assets/tunes/tune01.sid"
                                    : std::string(QV_TESTDATA_DIR) + "/sid/" + name;
  std::vector<uint8_t> image;
  if (embedded) {
    const auto bytes = assets::tune(1);
    image.assign(bytes.begin(), bytes.end());
  } else {
    image = readTune(name);
  }
  if (image.empty() || std::system("command -v sidplayfp > /dev/null 2>&1") != 0) {
    state.SkipWithError("tune or sidplayfp missing");
    return;
  }
  char wav[] = "/tmp/sid_bench_XXXXXX";
  const int fd = mkstemp(wav);
  if (fd >= 0) close(fd);
  const std::string command = "sidplayfp -q -m -t" + std::to_string(kSeconds) + " -w" + wav + " '" + path +
                              "' > /dev/null 2>&1";
  double ours = 0, theirs = 0, oursWall = 0, theirsWall = 0;
  std::vector<int16_t> out;
  for (auto _ : state) {
    const auto w0 = std::chrono::steady_clock::now();
    ours += renderTune(image, kSeconds, out);
    const auto w1 = std::chrono::steady_clock::now();
    const double c0 = childCpuSeconds();
    const int rc = std::system(command.c_str());
    theirs += childCpuSeconds() - c0;
    const auto w2 = std::chrono::steady_clock::now();
    oursWall += std::chrono::duration<double>(w1 - w0).count();
    theirsWall += std::chrono::duration<double>(w2 - w1).count();
    if (rc != 0) {
      state.SkipWithError("sidplayfp failed");
      break;
    }
  }
  std::remove(wav);
  const double audio = static_cast<double>(kSeconds) * static_cast<double>(state.iterations());
  state.SetLabel(name);
  state.counters["ours_x"] = audio / ours;
  state.counters["sidplayfp_x"] = audio / theirs;
  state.counters["ratio"] = theirs / ours;  // how many times faster we are
  state.counters["ours_wall_x"] = audio / oursWall;
  state.counters["sidplayfp_wall_x"] = audio / theirsWall;
}
BENCHMARK(BM_VersusSidplayfp)->DenseRange(0, 3)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
