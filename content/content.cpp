#include "content/content.h"

#include <array>
#include <cstring>

#include "content/content_data.h"

namespace content {
namespace {

constexpr std::string_view kEndMarker = "<END>";

std::string toString(const data::TextRecord& t) { return std::string(t.bytes, t.length); }

// ColourCode of every byte value, built once.
constexpr std::array<int32_t, 256> makeColourTable() {
  std::array<int32_t, 256> table{};
  for (auto& v : table) v = 1;
  for (int c = '1'; c <= '9'; ++c) table[c] = c - '0';
  for (int c = 'A'; c <= 'V'; ++c) table[c] = 10 + (c - 'A');
  return table;
}
constexpr std::array<int32_t, 256> kColourOf = makeColourTable();

// FontStyle of every byte value: the digit's value, 0 for anything else.
constexpr std::array<int32_t, 256> makeStyleTable() {
  std::array<int32_t, 256> table{};
  for (int c = '0'; c <= '9'; ++c) table[c] = c - '0';
  return table;
}
constexpr std::array<int32_t, 256> kStyleOf = makeStyleTable();

}  // namespace

int32_t colourCodeOf(char c) { return kColourOf[static_cast<unsigned char>(c)]; }

void buildContent(Content& content) {
  LineTables& t = content.tables;
  const std::size_t cells = static_cast<std::size_t>(kLines) * kArticles;
  for (auto* table : {&t.lineText, &t.lineColours, &t.lineStyles, &t.lineRule}) {
    table->assign(cells, std::string());
  }
  for (int n = 1; n <= kLastArticle; ++n) {
    const data::ArticleRecord& a = data::kArticleRecords[n];
    for (int i = 0; i < a.count && i <= kLastLine; ++i) {
      const data::LineRecord& l = a.lines[i];
      const std::size_t at = LineTables::cell(i, n);
      t.lineText[at] = toString(l.text);
      t.lineColours[at].assign(l.colours, std::strlen(l.colours));
      t.lineStyles[at].assign(l.styles, std::strlen(l.styles));
      t.lineRule[at].assign(1, l.rule);
    }
  }
  for (int e = 1; e <= 21; ++e) {
    content.menu[e].label = toString(data::kMenuLabels[e]);
    content.menu[e].enabled = data::kMenuEnabled[e];
  }
  content.texts.title = toString(data::kTitle);
  for (int i = 1; i <= 9; ++i) content.texts.introLines[i] = toString(data::kIntroLines[i]);
  content.texts.introScroller = toString(data::kIntroScroller);
  for (int m = 1; m <= 4; ++m) content.texts.bottomScroller[m] = toString(data::kBottomScroller[m]);
}

void sizeArticleView(ArticleView& view) {
  const std::size_t cells = static_cast<std::size_t>(kLines) * kColumns;
  view.glyph.assign(cells, 0);
  view.colour.assign(cells, 1);
  view.style.assign(cells, 0);
  view.rule.assign(kLines, std::string());
}

int32_t openArticle(const Content& content, ArticleView& view, int n) {
  if (view.glyph.size() != static_cast<std::size_t>(kLines) * kColumns) sizeArticleView(view);
  // Out-of-range article numbers read as an article of empty lines rather than
  // outside the tables.
  const bool valid = n >= 1 && n <= kLastArticle;
  const LineTables& t = content.tables;
  const bool built = t.lineText.size() == static_cast<std::size_t>(kLines) * kArticles;
  static const std::string kEmpty;

  int32_t lineCount = kLastLine - 1;
  for (int i = 0; i < kLastLine; ++i) {
    const std::size_t at = LineTables::cell(i, valid ? n : 0);
    const std::string& text = valid && built ? t.lineText[at] : kEmpty;
    if (text.size() >= kEndMarker.size() && text.compare(0, kEndMarker.size(), kEndMarker) == 0) {
      lineCount = i;
      continue;
    }
    const std::string& colours = valid && built ? t.lineColours[at] : kEmpty;
    const std::string& styles = valid && built ? t.lineStyles[at] : kEmpty;

    const std::size_t row = ArticleView::cell(i, 0);
    uint8_t* glyph = view.glyph.data() + row;
    int32_t* colour = view.colour.data() + row;
    int32_t* style = view.style.data() + row;
    glyph[0] = 0;
    colour[0] = 1;
    style[0] = 0;

    const std::size_t textLen = std::min<std::size_t>(text.size(), kLastColumn);
    const std::size_t colourLen = std::min<std::size_t>(colours.size(), kLastColumn);
    const std::size_t styleLen = std::min<std::size_t>(styles.size(), kLastColumn);
    std::memcpy(glyph + 1, text.data(), textLen);
    std::memset(glyph + 1 + textLen, 0, kLastColumn - textLen);
    for (std::size_t c = 0; c < colourLen; ++c) colour[1 + c] = kColourOf[static_cast<unsigned char>(colours[c])];
    for (std::size_t c = colourLen; c < kLastColumn; ++c) colour[1 + c] = 1;
    for (std::size_t c = 0; c < styleLen; ++c) style[1 + c] = kStyleOf[static_cast<unsigned char>(styles[c])];
    for (std::size_t c = styleLen; c < kLastColumn; ++c) style[1 + c] = 0;

    view.rule[i] = valid && built ? t.lineRule[at] : kEmpty;
  }
  return lineCount;
}

}  // namespace content
