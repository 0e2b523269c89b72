// contentc CONTENT_DIR OUT.cpp   compile the issue into C++ tables
// contentc CONTENT_DIR --stats   print line counts and code frequencies
// contentc CONTENT_DIR --dump=N  print article N's text, rule digit first
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "tools/build/contentc/issue_compiler.h"

namespace {

void printStats(const contentc::Issue& issue) {
  std::map<char, long> colours;
  long cells = 0, style2 = 0;
  for (int n = 1; n <= 20; ++n) {
    const auto& a = issue.articles[n];
    std::map<char, int> rules;
    long s2 = 0;
    for (const auto& l : a.lines) {
      for (char c : l.colours) ++colours[c];
      for (char s : l.styles) s2 += s == '2';
      cells += 80;
      if (l.rule != '0') ++rules[l.rule];
    }
    style2 += s2;
    std::printf("article %2d: %4zu lines, style-2 cells %5ld, rules:", n, a.lines.size(), s2);
    for (auto [r, k] : rules) std::printf(" %dx%c", k, r);
    std::printf("\n");
  }
  std::printf("style 2: %ld of %ld cells (1 in %.1f)\ncolours:", style2, cells, style2 ? double(cells) / style2 : 0.0);
  std::multimap<long, char, std::greater<long>> byCount;
  for (auto [c, k] : colours) byCount.insert({k, c});
  for (auto [k, c] : byCount) std::printf(" %c:%ld", c, k);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: contentc CONTENT_DIR OUT.cpp | --stats\n");
    return 2;
  }
  try {
    const bool proofreading = argv[2][0] == '-';
    const contentc::Issue issue = contentc::compileIssue(argv[1], !proofreading);
    if (std::strncmp(argv[2], "--dump=", 7) == 0) {
      // Proofreading aid: one article's text with the rule digit in front.
      for (const auto& l : issue.articles[std::atoi(argv[2] + 7)].lines) std::printf("%c|%s\n", l.rule, l.text.c_str());
      return 0;
    }
    if (std::strcmp(argv[2], "--stats") == 0) {
      printStats(issue);
      return 0;
    }
    const std::string cpp = contentc::emitCpp(issue);
    // Leave an unchanged file alone so that nothing downstream rebuilds.
    std::ifstream old(argv[2], std::ios::binary);
    std::ostringstream was;
    if (old) was << old.rdbuf();
    if (!old || was.str() != cpp) {
      std::ofstream out(argv[2], std::ios::binary);
      out << cpp;
      if (!out) {
        std::fprintf(stderr, "contentc: cannot write %s\n", argv[2]);
        return 1;
      }
    }
  } catch (const contentc::CompileError& e) {
    std::fprintf(stderr, "contentc: %s\n", e.what());
    return 1;
  }
  return 0;
}
