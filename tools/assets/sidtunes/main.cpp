// sidtunes: compiles the intro's song sources into PSID images.
//
//   sidtunes SONG.txt OUT.sid [--player player.asm] [--work DIR]
//
// Prints each voice's length so a composer can see that the voices line up
// and how long the piece runs before it loops.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/assets/sidtunes/song.h"

int main(int argc, char** argv) {
  std::string player, work;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--player") && i + 1 < argc) {
      player = argv[++i];
    } else if (!std::strcmp(argv[i], "--work") && i + 1 < argc) {
      work = argv[++i];
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.size() != 2) {
    std::fprintf(stderr, "usage: sidtunes SONG.txt OUT.sid [--player player.asm] [--work DIR]\n");
    return 2;
  }
  namespace fs = std::filesystem;
  if (player.empty()) player = (fs::path(files[0]).parent_path().parent_path() / "player.asm").string();
  if (work.empty()) work = (fs::temp_directory_path() / ("sidtunes_" + fs::path(files[1]).stem().string())).string();
  fs::create_directories(work);
  sidtunes::Song song;
  std::string error;
  std::vector<uint8_t> image = sidtunes::buildTune(files[0], player, work, song, error);
  if (image.empty()) {
    std::fprintf(stderr, "sidtunes: %s\n", error.c_str());
    return 1;
  }
  std::ofstream out(files[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  if (!out) {
    std::fprintf(stderr, "sidtunes: cannot write %s\n", files[1].c_str());
    return 1;
  }
  double rowSeconds = (song.speed[0] + song.speed[1]) / 2.0 / 50.0;
  std::printf("%s: %zu bytes, \"%s\"\n", files[1].c_str(), image.size(), song.title.c_str());
  for (int v = 0; v < 3; ++v)
    std::printf("  voice %d: %d rows (%.1f s), loops back to row %d\n", v + 1, song.rows[v], song.rows[v] * rowSeconds,
                song.loopRows[v]);
  return 0;
}
