// Module player speed: offline mixing (the real sequencer and mixer, block by
// block) of a 4-channel and a 28-channel module built here, and of embedded
// module 1, as a real-time factor (seconds of audio per second of CPU); and
// the same work beside libxmp and libopenmpt in this process on every real
// module of the test data and on our four (BM_VersusPeers).
#include <benchmark/benchmark.h>
#include <time.h>
#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <memory>
#include <sstream>
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

// CPU time of this thread in seconds: CPU time rather than wall time, since
// the machine may be shared.
double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
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

// The in-process comparison with two peers, Debian's libxmp and libopenmpt
// (black boxes, as installed), on this one thread. For every module of the
// test data and our four, each side renders the same kPeerSeconds of 44100 Hz
// 16-bit stereo from the same module bytes, 884 frames per call, with linear
// interpolation (libxmp: XMP_INTERP_LINEAR, its other settings as they come;
// libopenmpt: interpolation filter length 2, repeating forever). Loading and
// player set-up are outside the timed part for all three: the timed part is
// only the calls that produce audio (sequencer, mixing, conversion to 16 bits).
// Each of kRounds rounds loads every side afresh; the three then take turns
// of one second of audio each (in a rotating order) until each has rendered
// the whole length. A side's figure is its median CPU time over the rounds,
// and the ratios are taken between those medians.
constexpr double kPeerSeconds = 60.0;
constexpr int kTurnBlocks = xm::kMixRate / xm::kBlockFrames;  // about one second
constexpr int kRounds = 5;

struct PeerModule {
  std::string name;
  std::vector<uint8_t> bytes;
};

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The test data's modules (sorted by name), then ours.
std::vector<PeerModule> peerModules() {
  std::vector<PeerModule> modules;
  std::vector<std::filesystem::path> paths;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(QV_TESTDATA_DIR "/xm", error)) {
    if (entry.path().extension() == ".xm") paths.push_back(entry.path());
  }
  std::sort(paths.begin(), paths.end());
  for (int n = 1; n <= 4; ++n) paths.emplace_back(QV_SOURCE_DIR "/assets/modules/module" + std::to_string(n) + ".xm");
  for (const auto& path : paths) {
    std::vector<uint8_t> bytes = readFile(path);
    if (!bytes.empty()) modules.push_back({path.filename().string(), std::move(bytes)});
  }
  return modules;
}

// One player behind a common face: load (untimed), then render blocks.
class Side {
 public:
  virtual ~Side() = default;
  virtual bool load(const std::vector<uint8_t>& bytes) = 0;
  virtual bool render(int16_t* block) = 0;  // xm::kBlockFrames frames
};

class OursSide final : public Side {
 public:
  bool load(const std::vector<uint8_t>& bytes) override {
    return renderer_.load(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  bool render(int16_t* block) override {
    renderer_.renderBlock(block);
    return true;
  }
  int channels() { return renderer_.song()->channelCount; }

 private:
  xm::OfflineRenderer renderer_;
};

class XmpSide final : public Side {
 public:
  XmpSide() : context_(xmp_create_context()) {}
  ~XmpSide() override {
    if (started_) xmp_end_player(context_);
    if (loaded_) xmp_release_module(context_);
    xmp_free_context(context_);
  }
  bool load(const std::vector<uint8_t>& bytes) override {
    loaded_ = xmp_load_module_from_memory(context_, bytes.data(), static_cast<long>(bytes.size())) == 0;
    started_ = loaded_ && xmp_start_player(context_, xm::kMixRate, 0) == 0;
    return started_ && xmp_set_player(context_, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR) == 0;
  }
  bool render(int16_t* block) override {
    // Loop count 0: the module repeats for as long as it is asked to play.
    return xmp_play_buffer(context_, block, 4 * xm::kBlockFrames, 0) == 0;
  }

 private:
  xmp_context context_;
  bool loaded_ = false, started_ = false;
};

class OpenmptSide final : public Side {
 public:
  bool load(const std::vector<uint8_t>& bytes) override {
    try {
      module_ = std::make_unique<openmpt::module>(bytes, log_);
      module_->set_repeat_count(-1);
      module_->set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, 2);
      return true;
    } catch (const std::exception&) {
      return false;
    }
  }
  bool render(int16_t* block) override {
    return module_->read_interleaved_stereo(xm::kMixRate, xm::kBlockFrames, block) ==
           static_cast<std::size_t>(xm::kBlockFrames);
  }

 private:
  std::ostringstream log_;
  std::unique_ptr<openmpt::module> module_;
};

std::unique_ptr<Side> makeSide(int which) {
  if (which == 0) return std::make_unique<OursSide>();
  if (which == 1) return std::make_unique<XmpSide>();
  return std::make_unique<OpenmptSide>();
}

// Renders `blocks` blocks; the CPU seconds of the rendering alone, or -1.
double timeRender(Side& side, int blocks, int16_t* block) {
  const double start = threadCpuSeconds();
  for (int b = 0; b < blocks; ++b) {
    if (!side.render(block)) return -1.0;
    benchmark::DoNotOptimize(block);
  }
  return threadCpuSeconds() - start;
}

// The level of a side's first ten seconds in dBFS (RMS), outside any timing:
// a check that all three render the module at all.
double levelDb(int which, const std::vector<uint8_t>& bytes) {
  const std::unique_ptr<Side> side = makeSide(which);
  if (!side->load(bytes)) return -200.0;
  std::vector<int16_t> block(2 * xm::kBlockFrames);
  double sum = 0.0;
  int64_t count = 0;
  for (int b = 0; b < 10 * xm::kMixRate / xm::kBlockFrames; ++b) {
    if (!side->render(block.data())) break;
    for (const int16_t v : block) sum += static_cast<double>(v) * v;
    count += static_cast<int64_t>(block.size());
  }
  return count == 0 || sum == 0.0 ? -200.0 : 10.0 * std::log10(sum / static_cast<double>(count) / (32768.0 * 32768.0));
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

void versusPeers(benchmark::State& state, const PeerModule* module) {
  const int blocks = static_cast<int>(kPeerSeconds * xm::kMixRate / xm::kBlockFrames);
  const double audio = blocks * static_cast<double>(xm::kBlockFrames) / xm::kMixRate;
  std::vector<int16_t> block(2 * xm::kBlockFrames);
  const char* names[3] = {"ours", "xmp", "openmpt"};
  std::vector<double> times[3];
  int channels = 0;
  for (auto _ : state) {
    for (int round = 0; round < kRounds; ++round) {
      std::unique_ptr<Side> sides[3];
      for (int which = 0; which < 3; ++which) {
        sides[which] = makeSide(which);
        if (!sides[which]->load(module->bytes)) {
          state.SkipWithError((std::string(names[which]) + " does not load the module").c_str());
          return;
        }
      }
      channels = static_cast<OursSide&>(*sides[0]).channels();
      // The three take turns, one second of audio each, so that whatever
      // else runs on the machine meets all three alike.
      double spent[3] = {0.0, 0.0, 0.0};
      for (int done = 0, turn = 0; done < blocks; done += kTurnBlocks, ++turn) {
        const int n = std::min(kTurnBlocks, blocks - done);
        for (int k = 0; k < 3; ++k) {
          const int which = (round + turn + k) % 3;
          const double t = timeRender(*sides[which], n, block.data());
          if (t < 0.0) {
            state.SkipWithError((std::string(names[which]) + " stopped rendering").c_str());
            return;
          }
          spent[which] += t;
        }
      }
      for (int which = 0; which < 3; ++which) times[which].push_back(spent[which]);
    }
    state.SetIterationTime(median(times[0]));
  }
  const double ours = audio / median(times[0]);
  const double xmp = audio / median(times[1]);
  const double openmpt = audio / median(times[2]);
  state.counters["channels"] = channels;
  state.counters["audio_s"] = audio;
  state.counters["rounds"] = kRounds;
  state.counters["ours_x"] = ours;
  state.counters["xmp_x"] = xmp;
  state.counters["openmpt_x"] = openmpt;
  state.counters["vs_xmp"] = ours / xmp;
  state.counters["vs_openmpt"] = ours / openmpt;
  state.counters["ours_dB"] = levelDb(0, module->bytes);
  state.counters["xmp_dB"] = levelDb(1, module->bytes);
  state.counters["openmpt_dB"] = levelDb(2, module->bytes);
}

}  // namespace

int main(int argc, char** argv) {
  static const std::vector<PeerModule> modules = peerModules();
  for (const PeerModule& m : modules) {
    benchmark::RegisterBenchmark(("BM_VersusPeers/" + m.name).c_str(), versusPeers, &m)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
