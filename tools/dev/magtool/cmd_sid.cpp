// magtool sid: header facts of a PSID tune, instruction counts of its init and
// play routines, and an offline rendering through the player's own 6502 and
// SID synthesis (mono, 16 bits, 44100 Hz), with peak and RMS levels.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "sid/player_state.h"
#include "sid/tune_renderer.h"
#include "tools/dev/magtool/magtool.h"
#include "tools/dev/magtool/wav.h"

namespace {

constexpr double kMaxSeconds = 3600.0;
constexpr size_t kMaxImageBytes = 1 << 20;  // far above any PSID file

using magtool::dbfs;

bool readImage(const std::string& argument, std::vector<uint8_t>& image, std::string& label) {
  char* end = nullptr;
  const long n = std::strtol(argument.c_str(), &end, 10);
  if (!argument.empty() && *end == 0) {
    if (n < 1 || n > assets::kTuneCount) {
      std::fprintf(stderr, "magtool sid: tune number must be 1..%d\n", assets::kTuneCount);
      return false;
    }
    const auto bytes = assets::tune(static_cast<int>(n));
    image.assign(bytes.begin(), bytes.end());
    label = "embedded tune " + argument;
    if (image.empty()) {
      std::fprintf(stderr, "magtool sid: embedded tune %ld is empty\n", n);
      return false;
    }
    return true;
  }
  std::ifstream in(argument, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "magtool sid: cannot open %s\n", argument.c_str());
    return false;
  }
  image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  label = argument;
  if (image.size() > kMaxImageBytes) {
    std::fprintf(stderr, "magtool sid: %s is too large for a PSID tune\n", argument.c_str());
    return false;
  }
  return true;
}

struct TraceLog {
  int frame = 0;
  static void hook(void* self, uint16_t address, uint8_t value) {
    std::printf("  frame %d: $%04X = $%02X\n", static_cast<TraceLog*>(self)->frame, address, value);
  }
};

int run(int argc, char** argv) {
  const char* usage = "usage: magtool sid TUNE [--seconds S] [--wav OUT.wav] [--song N] [--trace FRAMES]\n";
  if (argc < 2) {
    std::fprintf(stderr, "%s", usage);
    return 2;
  }
  double seconds = 60.0;
  std::string wavPath;
  int song = 0;
  int traceFrames = 0;
  for (int i = 2; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--seconds") == 0 && hasValue) {
      seconds = std::atof(argv[++i]);
    } else if (std::strcmp(argv[i], "--wav") == 0 && hasValue) {
      wavPath = argv[++i];
    } else if (std::strcmp(argv[i], "--song") == 0 && hasValue) {
      song = std::atoi(argv[++i]) - 1;
    } else if (std::strcmp(argv[i], "--trace") == 0 && hasValue) {
      traceFrames = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "%s", usage);
      return 2;
    }
  }
  if (!(seconds > 0.0) || seconds > kMaxSeconds || song < 0 || song > 255 || traceFrames < 0) {
    std::fprintf(stderr, "magtool sid: --seconds must be in (0, %g], --song in 1..256\n", kMaxSeconds);
    return 2;
  }

  std::vector<uint8_t> image;
  std::string label;
  if (!readImage(argv[1], image, label)) return 1;
  const int32_t size = static_cast<int32_t>(image.size());
  const sid::PsidInfo info = sid::describePsid(image.data(), size);
  if (!info.valid) {
    std::fprintf(stderr, "magtool sid: %s is not a PSID image (%d bytes)\n", label.c_str(), size);
    return 1;
  }
  if (info.dataSize == 0) {
    std::fprintf(stderr, "magtool sid: %s holds no tune data\n", label.c_str());
    return 1;
  }

  std::printf("tune: %s\n", label.c_str());
  std::printf("name: %s\nauthor: %s\nreleased: %s\n", info.name, info.author, info.released);
  std::printf("format: %.4s version %d, data offset $%02X\n", reinterpret_cast<const char*>(image.data()),
              info.version, info.dataOffset);
  std::printf("load address: $%04X\n", info.loadAddress);
  std::printf("init address: $%04X\n", info.initAddress);
  std::printf("play address: $%04X%s\n", info.playAddress, info.playAddress == 0 ? " (set by init)" : "");
  std::printf("songs: %d (start %d)\n", info.songs, info.startSong);
  std::printf("data size: %d bytes ($%04X-$%04X)\n", info.dataSize, info.loadAddress,
              std::min(0xFFFF, info.loadAddress + info.dataSize - 1));
  if (info.loadAddress + info.dataSize > 0x10000) std::printf("warning: data past $FFFF is cut off\n");

  sid::TuneRenderer renderer;
  TraceLog trace;
  const uint32_t initCount = renderer.start(image.data(), size, song);
  const sid::PlayerState& state = renderer.state();
  if (info.playAddress == 0) std::printf("play address from $0314: $%04X\n", state.playAddress);
  std::printf("init instructions: %u\n", initCount);

  const size_t total = static_cast<size_t>(std::llround(seconds * sid::kMixRate));
  // Rendered one frame at a time into the WAV file and the levels, so that
  // memory stays flat however long the rendering.
  magtool::WavWriter wav;
  if (!wavPath.empty() && !wav.open(wavPath, 1, sid::kMixRate)) {
    std::fprintf(stderr, "magtool sid: cannot write %s\n", wavPath.c_str());
    return 1;
  }
  magtool::SampleStats stats;
  std::vector<int16_t> samples(static_cast<size_t>(sid::kFrameSamples));
  const auto t0 = std::chrono::steady_clock::now();
  size_t done = 0;
  if (traceFrames > 0) {
    renderer.state().cpu.writeHook = &TraceLog::hook;
    renderer.state().cpu.writeHookContext = &trace;
  }
  while (done < total) {
    const size_t n = std::min(total - done, static_cast<size_t>(sid::kFrameSamples));
    renderer.render(samples.data(), n);
    stats.add(samples.data(), n);
    if (wav.isOpen()) wav.write(samples.data(), n);
    done += n;
    if (traceFrames > 0 && ++trace.frame >= traceFrames) renderer.state().cpu.writeHook = nullptr;
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf("max play instructions: %u\n", renderer.maxPlayInstructions());
  if (renderer.budgetStops() > 0) {
    std::printf("warning: the instruction budget stopped %u call%s (init %u, play %u instructions)\n",
                renderer.budgetStops(), renderer.budgetStops() == 1 ? "" : "s", state.initBudget,
                state.playBudget);
  }

  const double rms = stats.rms();
  std::printf("rendered: %.2f s, %llu play calls, in %.3f s (%.0fx real time)\n", seconds,
              static_cast<unsigned long long>(renderer.playCalls()), elapsed,
              elapsed > 0 ? seconds / elapsed : 0.0);
  std::printf("peak: %.2f dBFS\nrms: %.2f dBFS\n", dbfs(stats.peak), dbfs(rms));
  std::printf("digest: %016llx\n", static_cast<unsigned long long>(stats.digest));
  if (!wavPath.empty()) {
    if (!wav.close()) {
      std::fprintf(stderr, "magtool sid: cannot write %s\n", wavPath.c_str());
      return 1;
    }
    std::printf("wav: %s\n", wavPath.c_str());
  }
  return 0;
}

magtool::Registration reg{{"sid", "sid TUNE [--seconds S] [--wav OUT.wav] [--song N] [--trace FRAMES]", &run}};

}  // namespace
