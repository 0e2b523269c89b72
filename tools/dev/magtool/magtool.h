// magtool: the developer's companion. One subcommand per file; each file
// registers itself with a static MagtoolCommand.
#pragma once

namespace magtool {

// argv[0] is the subcommand's name; returns the process exit status.
using CommandFn = int (*)(int argc, char** argv);

struct Command {
  const char* name;
  const char* usage;  // one line, shown by `magtool help`
  CommandFn run;
};

bool registerCommand(const Command& command);

struct Registration {
  explicit Registration(const Command& command) { registerCommand(command); }
};

}  // namespace magtool
