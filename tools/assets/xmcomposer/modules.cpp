#include "tools/assets/xmcomposer/modules.h"

#include <cstdio>
#include <fstream>

#include "tools/assets/xmcomposer/analysis.h"
#include "tools/assets/xmcomposer/readback.h"
#include "tools/assets/xmcomposer/songs/songs.h"

namespace xmc {

const std::vector<ModuleEntry>& issueModules() {
  static const std::vector<ModuleEntry> kModules = {
      {"module1.xm", &glasswork},
      {"module2.xm", &harbourLights},
      {"module3.xm", &chalkRain},
      {"module4.xm", &lastFerryHome},
  };
  return kModules;
}

bool writeIssueModules(const std::string& directory) {
  for (const ModuleEntry& e : issueModules()) {
    const Module m = e.build();
    const std::vector<uint8_t> bytes = writeXm(m);
    const std::string difference = playerReadback(m, bytes);
    if (!difference.empty()) {
      std::fprintf(stderr, "xmcomposer: the player reads %s differently: %s\n", e.fileName.c_str(), difference.c_str());
      return false;
    }
    const std::string path = directory + "/" + e.fileName;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "xmcomposer: cannot write %s\n", path.c_str());
      return false;
    }
    const PlayFacts play = playFacts(m);
    const NoteFacts notes = noteFacts(m);
    std::printf("%s  \"%s\"  %d ch  %zu patterns  %zu positions  %zu instruments  %.1f s  %zu bytes  "
                "meter notes %d of %d\n",
                e.fileName.c_str(), m.name.c_str(), m.channels, m.patterns.size(), m.order.size(),
                m.instruments.size(), play.seconds, bytes.size(), notes.meterNotes, notes.notes);
  }
  return true;
}

}  // namespace xmc
