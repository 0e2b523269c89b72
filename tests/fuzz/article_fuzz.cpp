// Fuzz target: openArticle on arbitrary line tables. The input is split at
// '\n' into fields; every four fields are one line of article 1 (text,
// colours, styles, rule). After decoding, every view cell must hold a valid
// code and the line count must point at an "<END>" line or be 4999.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "content/content.h"

namespace {

content::Content& tables() {
  static content::Content c = [] {
    content::Content built;
    const std::size_t cells = static_cast<std::size_t>(content::kLines) * content::kArticles;
    for (auto* t : {&built.tables.lineText, &built.tables.lineColours, &built.tables.lineStyles,
                    &built.tables.lineRule})
      t->assign(cells, std::string());
    return built;
  }();
  return c;
}

void check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static content::ArticleView view;
  if (view.glyph.empty()) content::sizeArticleView(view);
  content::Content& c = tables();
  auto& t = c.tables;

  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') fields.emplace_back();
    else fields.back() += static_cast<char>(data[i]);
  }
  const int lines = static_cast<int>(std::min<std::size_t>(fields.size() / 4, content::kLastLine));
  for (int i = 0; i < lines; ++i) {
    const std::size_t at = content::LineTables::cell(i, 1);
    t.lineText[at] = fields[4 * i];
    t.lineColours[at] = fields[4 * i + 1];
    t.lineStyles[at] = fields[4 * i + 2];
    t.lineRule[at] = fields[4 * i + 3];
  }

  const int32_t lineCount = content::openArticle(c, view, 1);
  check(lineCount >= 0 && lineCount <= content::kLastLine - 1);
  if (lineCount < content::kLastLine - 1 || lines > content::kLastLine - 1) {
    const std::string& end = t.lineText[content::LineTables::cell(lineCount, 1)];
    check(lineCount == content::kLastLine - 1 || end.rfind("<END>", 0) == 0);
  }
  for (int i = 0; i < content::kLastLine; ++i) {
    if (i == lineCount) continue;
    const std::size_t row = content::ArticleView::cell(i, 0);
    check(view.glyph[row] == 0 && view.colour[row] == 1 && view.style[row] == 0);
    for (int col = 1; col <= content::kLastColumn; ++col) {
      check(view.colour[row + col] >= 1 && view.colour[row + col] <= 31);
      check(view.style[row + col] >= 0 && view.style[row + col] <= 9);
    }
    if (i >= lines) check(view.glyph[row + 1] == 0 && view.rule[i].empty());
  }

  for (int i = 0; i < lines; ++i) {
    const std::size_t at = content::LineTables::cell(i, 1);
    t.lineText[at].clear();
    t.lineColours[at].clear();
    t.lineStyles[at].clear();
    t.lineRule[at].clear();
  }
  return 0;
}
