// magtool article N [--codes]: one article as the reader decodes it.
//
// Plain: one output line per article line (lineCount lines), the view's
// glyphs of columns 1..80 with trailing blanks cut, CP437 bytes as they are.
// --codes: rule, TAB, the 80 colour characters, TAB, the 80 style characters,
// TAB, the text, straight from the line tables.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "content/content.h"
#include "tools/dev/magtool/magtool.h"

namespace {

constexpr const char* kUsage = "article N [--codes]   print article N (1..20) as the reader decodes it";

int run(int argc, char** argv) {
  bool codes = false;
  int n = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--codes") == 0) {
      codes = true;
    } else {
      char* end = nullptr;
      const long v = std::strtol(argv[i], &end, 10);
      if (end == argv[i] || *end != '\0' || v < 1 || v > content::kLastArticle) n = -1;
      else if (n == 0) n = static_cast<int>(v);
      else n = -1;
    }
  }
  if (n <= 0) {
    std::fprintf(stderr, "usage: magtool %s\n", kUsage);
    return 2;
  }
  static content::Content issue;
  content::buildContent(issue);
  static content::ArticleView view;
  content::sizeArticleView(view);
  const int32_t lineCount = content::openArticle(issue, view, n);

  for (int i = 0; i < lineCount; ++i) {
    if (codes) {
      const std::size_t at = content::LineTables::cell(i, n);
      const auto& t = issue.tables;
      std::printf("%s\t%s\t%s\t", t.lineRule[at].c_str(), t.lineColours[at].c_str(), t.lineStyles[at].c_str());
      std::fwrite(t.lineText[at].data(), 1, t.lineText[at].size(), stdout);
      std::fputc('\n', stdout);
      continue;
    }
    std::string row;
    for (int c = 1; c <= content::kLastColumn; ++c) {
      const uint8_t g = view.glyph[content::ArticleView::cell(i, c)];
      row += g ? static_cast<char>(g) : ' ';
    }
    row.erase(row.find_last_not_of(' ') + 1);
    std::fwrite(row.data(), 1, row.size(), stdout);
    std::fputc('\n', stdout);
  }
  return 0;
}

const magtool::Registration reg{{"article", kUsage, &run}};

}  // namespace
