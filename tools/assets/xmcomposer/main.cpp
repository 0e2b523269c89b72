// xmcomposer: synthesises the samples and writes the issue's four modules.
//
//   xmcomposer <output directory>     (normally assets/modules)
#include <cstdio>

#include "tools/assets/xmcomposer/modules.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: xmcomposer <output directory>\n");
    return 2;
  }
  return xmc::writeIssueModules(argv[1]) ? 0 : 1;
}
