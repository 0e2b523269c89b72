#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/dev/magtool/magtool.h"

namespace magtool {
namespace {
std::vector<Command>& commands() {
  static std::vector<Command> all;
  return all;
}
}  // namespace

bool registerCommand(const Command& command) {
  commands().push_back(command);
  return true;
}
}  // namespace magtool

int main(int argc, char** argv) {
  auto& all = magtool::commands();
  std::sort(all.begin(), all.end(),
            [](const magtool::Command& a, const magtool::Command& b) { return std::strcmp(a.name, b.name) < 0; });
  if (argc >= 2) {
    for (const auto& c : all) {
      if (std::strcmp(c.name, argv[1]) == 0) return c.run(argc - 1, argv + 1);
    }
  }
  const bool asked = argc >= 2 && (std::strcmp(argv[1], "help") == 0 || std::strcmp(argv[1], "--help") == 0);
  std::FILE* out = asked ? stdout : stderr;
  std::fprintf(out, "usage: magtool COMMAND [ARGS]\n\n");
  for (const auto& c : all) std::fprintf(out, "  %s\n", c.usage);
  return asked ? 0 : 2;
}
