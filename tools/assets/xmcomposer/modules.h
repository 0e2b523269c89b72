// The module set of the issue: which song goes into which file.
#pragma once

#include <string>
#include <vector>

#include "tools/assets/xmcomposer/xm_file.h"

namespace xmc {

struct ModuleEntry {
  std::string fileName;  // "module1.xm" ...
  Module (*build)();
};

const std::vector<ModuleEntry>& issueModules();

// Builds every module, checks that the player's loader reads it back as
// composed, and writes it into `directory`. Prints one line per file with
// its facts; returns false (with a message on stderr) when the player would
// play something else or a file cannot be written.
bool writeIssueModules(const std::string& directory);

}  // namespace xmc
