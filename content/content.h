// Content: everything the magazine says, compiled in.
//
// `LineTables` hold every page of the issue line by line: four parallel string
// tables (text, 80 colour-code characters, 80 style digits, one rule digit)
// indexed (line 0..5000, article 0..20). An article ends at the line whose
// text begins with "<END>"; that line's index is the article's line count.
// `openArticle` decodes one article per character into the `ArticleView` that
// the text renderer draws. The menu entries and the fixed texts (title, intro
// lines, intro scroller, the four status-scroller texts) sit beside them.
//
// `buildContent` fills everything once at start-up from the compiled-in issue
// data; nothing changes afterwards except the ArticleView.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace content {

inline constexpr int kLastLine = 5000;   // lines 0..5000
inline constexpr int kLastArticle = 20;  // articles 0..20 (0 unused)
inline constexpr int kLastColumn = 80;   // view columns 0..80 (0 always empty)
inline constexpr int kLines = kLastLine + 1;
inline constexpr int kArticles = kLastArticle + 1;
inline constexpr int kColumns = kLastColumn + 1;

struct LineTables {
  // Cell (line, article) of each table is element line * kArticles + article.
  std::vector<std::string> lineText;
  std::vector<std::string> lineColours;
  std::vector<std::string> lineStyles;
  std::vector<std::string> lineRule;

  static constexpr std::size_t cell(int line, int article) {
    return static_cast<std::size_t>(line) * kArticles + static_cast<std::size_t>(article);
  }
};

struct MenuEntry {
  std::string label;
  int32_t enabled = 0;
};

struct FixedTexts {
  std::string title;                          // menu panel title
  std::array<std::string, 10> introLines;     // lines 1..9 (0 unused)
  std::string introScroller;                  // 835 characters
  std::array<std::string, 5> bottomScroller;  // modules 1..4 (0 unused)
};

struct Content {
  LineTables tables;
  std::array<MenuEntry, 22> menu;  // entries 1..21 (0 unused)
  FixedTexts texts;
};

// The open article, decoded per character: lines 0..5000 x columns 0..80.
struct ArticleView {
  std::vector<uint8_t> glyph;   // the character's byte; 0 stands for the empty string
  std::vector<int32_t> colour;  // ColourCode 1..31
  std::vector<int32_t> style;   // FontStyle (0 where the style character is missing or no digit)
  std::vector<std::string> rule;  // per line: the line's rule text ("" past the end of an article)

  static constexpr std::size_t cell(int line, int column) {
    return static_cast<std::size_t>(line) * kColumns + static_cast<std::size_t>(column);
  }
};

// Sizes the tables and fills the articles, menu entries and fixed texts.
void buildContent(Content& content);
// Sizes the view tables (all lines empty, colour 1, style 0, rule "").
void sizeArticleView(ArticleView& view);
// Decodes article n (1..20) into the view and returns its line count (the
// index of its "<END>" line; 4999 when it has none).
int32_t openArticle(const Content& content, ArticleView& view, int n);

// ColourCode of one colour-code character: "1".."9" -> 1..9, "A".."V" -> 10..31, else 1.
int32_t colourCodeOf(char c);

}  // namespace content
