// magtool texts: the fixed texts of the issue, one per line with a label:
// the menu title, the nine intro lines, the intro scroller, the four status
// scroller texts and the 21 menu entries with their enabled flags. Texts are
// quoted so that leading and trailing spaces show; the length follows.
#include <cstdio>
#include <string>

#include "content/content.h"
#include "tools/dev/magtool/magtool.h"

namespace {

constexpr const char* kUsage = "texts   print the title, intro lines, scrollers and menu entries";

void print(const std::string& label, const std::string& text) {
  std::printf("%-14s %4zu \"", label.c_str(), text.size());
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::printf("\"\n");
}

int run(int argc, char**) {
  if (argc != 1) {
    std::fprintf(stderr, "usage: magtool %s\n", kUsage);
    return 2;
  }
  static content::Content issue;
  content::buildContent(issue);
  print("title", issue.texts.title);
  for (int i = 1; i <= 9; ++i) print("intro." + std::to_string(i), issue.texts.introLines[i]);
  print("scroller", issue.texts.introScroller);
  for (int m = 1; m <= 4; ++m) print("status." + std::to_string(m), issue.texts.bottomScroller[m]);
  for (int e = 1; e <= 21; ++e) {
    print("menu." + std::to_string(e) + (issue.menu[e].enabled ? "" : " off"), issue.menu[e].label);
  }
  return 0;
}

const magtool::Registration reg{{"texts", kUsage, &run}};

}  // namespace
