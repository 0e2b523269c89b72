#include <fstream>
#include <iterator>

#include "tools/assets/sidtunes/psid.h"
#include "tools/assets/sidtunes/song.h"

namespace sidtunes {

std::vector<uint8_t> buildTune(const std::string& songPath, const std::string& playerAsm, const std::string& workDir,
                               Song& song, std::string& error) {
  std::ifstream in(songPath, std::ios::binary);
  if (!in) {
    error = "cannot read " + songPath;
    return {};
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!parseSong(text, song, error)) {
    error = songPath + ": " + error;
    return {};
  }
  std::vector<uint8_t> program = assemble(song, playerAsm, workDir, error);
  if (program.empty()) return {};
  return makePsid(program, kInitAddress, kPlayAddress, song.title, kAuthor, kReleased);
}

}  // namespace sidtunes
