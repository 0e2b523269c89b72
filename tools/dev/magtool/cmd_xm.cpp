// magtool xm: facts about a module and an offline rendering through the
// player's own sequencer and mixer.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "tools/dev/magtool/magtool.h"
#include "tools/dev/magtool/wav.h"
#include "xm/loader.h"
#include "xm/offline_renderer.h"
#include "xm/xm_song.h"

namespace {

constexpr double kMaxSeconds = 3600.0;  // the longest rendering or measurement

using magtool::dbfs;

int run(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: magtool xm MODULE [--seconds S] [--wav OUT.wav]\n");
    return 2;
  }
  std::string source = argv[1];
  double seconds = -1.0;
  std::string wavPath;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (std::strcmp(argv[i], "--wav") == 0 && i + 1 < argc) {
      wavPath = argv[++i];
    } else {
      std::fprintf(stderr, "magtool xm: unknown argument '%s'\n", argv[i]);
      return 2;
    }
  }

  std::vector<uint8_t> bytes;
  if (source.size() == 1 && source[0] >= '1' && source[0] <= '4') {
    const auto data = assets::module(source[0] - '0');
    bytes.assign(data.begin(), data.end());
    source = "embedded module " + source;
  } else {
    std::ifstream in(source, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "magtool xm: cannot read '%s'\n", source.c_str());
      return 1;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  xm::OfflineRenderer renderer;
  if (bytes.empty() || !renderer.load(bytes.data(), static_cast<int64_t>(bytes.size()))) {
    std::fprintf(stderr, "magtool xm: '%s' is not a playable XM module\n", source.c_str());
    return 1;
  }
  // The length is measured on a playback of its own; the renderer's stays at
  // the start.
  const xm::XmSong& song = *renderer.song();
  const xm::SongTiming timing = xm::traceSong(song, static_cast<int64_t>(kMaxSeconds * xm::kMixRate), false);
  const double songSeconds = static_cast<double>(timing.frames) / xm::kMixRate;

  std::printf("module:       %s\n", source.c_str());
  std::printf("name:         %s\n", xm::moduleName(bytes.data(), static_cast<int64_t>(bytes.size())).c_str());
  std::printf("channels:     %d\n", song.channelCount);
  std::printf("patterns:     %d (%d slots)\n", song.filePatternCount, song.patternSlots);
  std::printf("instruments:  %d\n", song.instrumentCount);
  std::printf("table:        %s\n", song.linearTable() ? "linear" : "amiga");
  std::printf("speed/BPM:    %d/%d\n", song.defaultSpeed, song.defaultBpm);
  std::printf("orders:       %d (restart %d)\n", song.songLength, song.restartPosition);
  std::printf("length:       %.2f s%s\n", songSeconds, timing.looped ? " (until it loops)" : " (no loop found)");

  if (seconds < 0.0) seconds = songSeconds;
  if (seconds > kMaxSeconds) seconds = kMaxSeconds;
  const int64_t frames = static_cast<int64_t>(seconds * xm::kMixRate);
  // The WAV is written block by block as it is rendered: memory stays flat
  // however long the rendering.
  magtool::WavWriter wav;
  if (!wavPath.empty() && !wav.open(wavPath, 2, xm::kMixRate)) {
    std::fprintf(stderr, "magtool xm: cannot write '%s'\n", wavPath.c_str());
    return 1;
  }
  magtool::SampleStats stats;
  std::vector<int16_t> block(static_cast<size_t>(2 * xm::kBlockFrames));
  for (int64_t done = 0; done < frames; done += xm::kBlockFrames) {
    renderer.renderBlock(block.data());
    const size_t count = static_cast<size_t>(2 * std::min<int64_t>(xm::kBlockFrames, frames - done));
    stats.add(block.data(), count);
    if (wav.isOpen()) wav.write(block.data(), count);
  }
  std::printf("rendered:     %.2f s\n", static_cast<double>(frames) / xm::kMixRate);
  std::printf("peak:         %d (%.2f dBFS)\n", stats.peak, dbfs(stats.peak));
  std::printf("rms:          %.1f (%.2f dBFS)\n", stats.rms(), dbfs(stats.rms()));
  if (!wavPath.empty()) {
    if (!wav.close()) {
      std::fprintf(stderr, "magtool xm: cannot write '%s'\n", wavPath.c_str());
      return 1;
    }
    std::printf("wav:          %s\n", wavPath.c_str());
  }
  return 0;
}

magtool::Registration reg{{"xm", "xm MODULE [--seconds S] [--wav OUT.wav]  (MODULE: 1..4 or an .xm file)", &run}};

}  // namespace
