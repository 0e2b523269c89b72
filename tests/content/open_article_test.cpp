// openArticle and the decoding of colour and style characters, on the real
// issue and on small hand-made tables.
#include <gtest/gtest.h>

#include "content/content.h"

namespace {

using content::ArticleView;
using content::Content;
using content::LineTables;

const Content& issue() {
  static const Content c = [] {
    Content built;
    content::buildContent(built);
    return built;
  }();
  return c;
}

// A content record with empty tables of the full size.
Content emptyContent() {
  Content c;
  const std::size_t cells = static_cast<std::size_t>(content::kLines) * content::kArticles;
  for (auto* t : {&c.tables.lineText, &c.tables.lineColours, &c.tables.lineStyles, &c.tables.lineRule})
    t->assign(cells, std::string());
  return c;
}

void setLine(Content& c, int line, int article, std::string text, std::string colours, std::string styles,
             std::string rule) {
  const std::size_t at = LineTables::cell(line, article);
  c.tables.lineText[at] = std::move(text);
  c.tables.lineColours[at] = std::move(colours);
  c.tables.lineStyles[at] = std::move(styles);
  c.tables.lineRule[at] = std::move(rule);
}

struct Opened {
  ArticleView view;
  int32_t lineCount = 0;
};

TEST(OpenArticle, LineCountIsTheIndexOfTheEndLine) {
  // article -> line count
  const int expected[21] = {0,   36, 36, 56, 1444, 64, 32, 22, 180, 84, 117,
                            95, 411, 87, 72, 131,  7,  5,  7,  3,   5};
  Opened o;
  content::sizeArticleView(o.view);
  for (int n = 1; n <= 20; ++n) {
    o.lineCount = content::openArticle(issue(), o.view, n);
    EXPECT_EQ(o.lineCount, expected[n]) << "article " << n;
  }
}

TEST(OpenArticle, ShortArticleAfterLongLeavesNoTrace) {
  Opened o;
  content::sizeArticleView(o.view);
  o.lineCount = content::openArticle(issue(), o.view, 4);
  const uint8_t endLineGlyph = o.view.glyph[ArticleView::cell(3, 1)];
  const std::string endLineRule = o.view.rule[3];
  o.lineCount = content::openArticle(issue(), o.view, 19);
  ASSERT_EQ(o.lineCount, 3);
  // The end line (3) is left as article 4 had it ...
  EXPECT_EQ(o.view.glyph[ArticleView::cell(3, 1)], endLineGlyph);
  EXPECT_EQ(o.view.rule[3], endLineRule);
  // ... and every line after it is blank: no glyph, colour 1, style 0, no rule.
  for (int line : {4, 5, 40, 1443, 1444, 4999}) {
    for (int col = 0; col <= 80; ++col) {
      const std::size_t at = ArticleView::cell(line, col);
      ASSERT_EQ(o.view.glyph[at], 0) << line << "," << col;
      ASSERT_EQ(o.view.colour[at], 1) << line << "," << col;
      ASSERT_EQ(o.view.style[at], 0) << line << "," << col;
    }
    EXPECT_EQ(o.view.rule[line], "") << line;
  }
}

TEST(OpenArticle, DecodesTextColoursStylesAndRule) {
  Content c = emptyContent();
  std::string colours(80, '1'), styles(80, '1');
  colours.replace(0, 6, "9AVa0W");  // 9, 10, 31, then three characters outside the alphabet
  styles.replace(0, 5, "2x 07");    // 2, then not digits, then digits 0 and 7
  setLine(c, 0, 5, "Hello", colours, styles, "8");
  setLine(c, 1, 5, "<END> and more", std::string(80, '1'), std::string(80, '1'), "0");
  Opened o;
  o.lineCount = content::openArticle(c, o.view, 5);
  EXPECT_EQ(o.lineCount, 1);
  // column: glyph, colour, style
  struct Cell { int col; uint8_t glyph; int colour; int style; };
  const Cell table[] = {
      {0, 0, 1, 0},      // column 0 is always empty
      {1, 'H', 9, 2},    //
      {2, 'e', 10, 0},   // style 'x' -> 0
      {3, 'l', 31, 0},   // colour 'V' -> 31, style ' ' -> 0
      {4, 'l', 1, 0},    // colour 'a' (lowercase) -> 1, style '0' -> 0
      {5, 'o', 1, 7},    // colour '0' -> 1, style '7' -> 7
      {6, 0, 1, 1},      // colour 'W' -> 1; past the text: no glyph
      {80, 0, 1, 1},
  };
  for (const auto& t : table) {
    const std::size_t at = ArticleView::cell(0, t.col);
    EXPECT_EQ(o.view.glyph[at], t.glyph) << "column " << t.col;
    EXPECT_EQ(o.view.colour[at], t.colour) << "column " << t.col;
    EXPECT_EQ(o.view.style[at], t.style) << "column " << t.col;
  }
  EXPECT_EQ(o.view.rule[0], "8");
}

TEST(OpenArticle, ShortColourAndStyleStringsDecodeAsColourOneStyleZero) {
  Content c = emptyContent();
  setLine(c, 0, 2, "AB", "Q", "", "0");
  setLine(c, 1, 2, "<END>", "", "", "");
  Opened o;
  o.lineCount = content::openArticle(c, o.view, 2);
  EXPECT_EQ(o.view.colour[ArticleView::cell(0, 1)], 26);
  EXPECT_EQ(o.view.colour[ArticleView::cell(0, 2)], 1);
  EXPECT_EQ(o.view.style[ArticleView::cell(0, 1)], 0);
}

TEST(OpenArticle, ArticleWithoutEndLineCounts4999) {
  Content c = emptyContent();
  setLine(c, 0, 7, "no end in sight", std::string(80, '1'), std::string(80, '1'), "0");
  Opened o;
  o.lineCount = content::openArticle(c, o.view, 7);
  EXPECT_EQ(o.lineCount, 4999);
}

TEST(OpenArticle, EndMarkerMustStartTheLine) {
  Content c = emptyContent();
  setLine(c, 0, 7, " <END>", "", "", "0");
  setLine(c, 1, 7, "<END", "", "", "0");
  setLine(c, 2, 7, "<END>", "", "", "0");
  Opened o;
  o.lineCount = content::openArticle(c, o.view, 7);
  EXPECT_EQ(o.lineCount, 2);
}

TEST(OpenArticle, OnlyTheFirstEightyCharactersReachTheView) {
  Content c = emptyContent();
  std::string text(79, 'x');
  text += "YZ";  // characters 80 and 81
  setLine(c, 0, 3, text, std::string(80, '1'), std::string(80, '1'), "0");
  Opened o;
  o.lineCount = content::openArticle(c, o.view, 3);
  EXPECT_EQ(o.view.glyph[ArticleView::cell(0, 79)], 'x');
  EXPECT_EQ(o.view.glyph[ArticleView::cell(0, 80)], 'Y');
  EXPECT_EQ(o.view.glyph[ArticleView::cell(1, 0)], 0);  // 'Z' did not spill into the next line
  EXPECT_EQ(o.view.glyph[ArticleView::cell(1, 1)], 0);
}

TEST(OpenArticle, ArticleNumberOutsideTheTablesGivesBlankLines) {
  Opened o;
  o.lineCount = content::openArticle(issue(), o.view, 11);
  o.lineCount = content::openArticle(issue(), o.view, 99);
  EXPECT_EQ(o.lineCount, 4999);
  EXPECT_EQ(o.view.glyph[ArticleView::cell(5, 3)], 0);
}

TEST(ColourCode, MapsTheWholeAlphabet) {
  // character -> code
  const std::pair<char, int> table[] = {
      {'1', 1}, {'9', 9}, {'A', 10}, {'B', 11}, {'M', 22}, {'O', 24}, {'P', 25}, {'U', 30}, {'V', 31},
      {'0', 1}, {'W', 1}, {'a', 1},  {'v', 1},  {' ', 1},  {'\0', 1}, {'\xDB', 1},
  };
  for (auto [c, code] : table) EXPECT_EQ(content::colourCodeOf(c), code) << int(c);
}

TEST(SizeArticleView, StartsBlank) {
  ArticleView v;
  content::sizeArticleView(v);
  ASSERT_EQ(v.glyph.size(), 5001u * 81u);
  ASSERT_EQ(v.rule.size(), 5001u);
  EXPECT_EQ(v.colour[ArticleView::cell(5000, 80)], 1);
  EXPECT_EQ(v.style[ArticleView::cell(5000, 80)], 0);
}

}  // namespace
