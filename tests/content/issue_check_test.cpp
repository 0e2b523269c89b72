// The issue as the reader gets it: every article's shape, widths, code
// alphabets and frequencies, the chart and release tables and their
// arithmetic against the data files, and the fixed texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <unistd.h>

#include "content/content.h"
#include "tools/build/contentc/issue_compiler.h"

namespace {

using content::LineTables;

const content::Content& issue() {
  static const content::Content c = [] {
    content::Content built;
    content::buildContent(built);
    return built;
  }();
  return c;
}

struct Line {
  const std::string& text;
  const std::string& colours;
  const std::string& styles;
  const std::string& rule;
};

Line line(int article, int i) {
  const auto& t = issue().tables;
  const std::size_t at = LineTables::cell(i, article);
  return {t.lineText[at], t.lineColours[at], t.lineStyles[at], t.lineRule[at]};
}

int lineCount(int article) {
  for (int i = 0; i <= content::kLastLine; ++i) {
    if (line(article, i).text.rfind("<END>", 0) == 0) return i;
  }
  return -1;
}

// Column c (1-based) of a string, or '\0' past its end.
char col(const std::string& s, int c) { return c <= static_cast<int>(s.size()) ? s[c - 1] : '\0'; }
std::string cols(const std::string& s, int from, int to) {
  return from <= static_cast<int>(s.size()) ? s.substr(from - 1, to - from + 1) : "";
}
std::string trim(const std::string& s) {
  const auto a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}
int tenths(const std::string& s) {
  const std::string t = trim(s);
  const auto dot = t.find('.');
  return std::stoi(t.substr(0, dot)) * 10 + (t[dot + 1] - '0');
}

std::vector<std::vector<std::string>> readData(const std::string& name) {
  std::ifstream in(std::string(QV_SOURCE_DIR) + "/content/data/" + name);
  std::vector<std::vector<std::string>> rows;
  std::string l;
  while (std::getline(in, l)) {
    std::istringstream words(l);
    std::vector<std::string> w;
    std::string x;
    while (words >> x) w.push_back(x);
    if (!w.empty() && w[0][0] != '#') rows.push_back(w);
  }
  return rows;
}

// ---- shape of every article ------------------------------------------------

struct Shape {
  int lines;
  std::map<char, int> rules;  // rule style -> number of lines
};

// article -> line count and rule lines by style
const std::map<int, Shape> kShapes = {
    {1, {36, {{'6', 3}}}},     {2, {36, {{'8', 3}}}},   {3, {56, {{'2', 2}}}},
    {4, {1444, {{'8', 25}}}},  {5, {64, {{'4', 3}}}},   {6, {32, {{'8', 3}}}},
    {7, {22, {{'7', 2}}}},     {8, {180, {{'3', 3}}}},  {9, {84, {{'8', 3}}}},
    {10, {117, {{'2', 14}, {'4', 7}}}},                 {11, {95, {}}},
    {12, {411, {{'8', 23}}}},  {13, {87, {{'2', 10}}}}, {14, {72, {{'8', 3}}}},
    {15, {131, {{'1', 2}, {'8', 6}}}},                  {16, {7, {{'8', 4}}}},
    {17, {5, {}}},             {18, {7, {{'7', 2}}}},   {19, {3, {}}},
    {20, {5, {}}},
};

TEST(IssueShape, LineCountsAndRulesByStyle) {
  for (const auto& [n, shape] : kShapes) {
    ASSERT_EQ(lineCount(n), shape.lines) << "article " << n;
    std::map<char, int> rules;
    for (int i = 0; i < shape.lines; ++i) {
      const std::string& r = line(n, i).rule;
      ASSERT_EQ(r.size(), 1u) << n << ":" << i;
      ASSERT_TRUE(r[0] >= '0' && r[0] <= '8' && r[0] != '5') << n << ":" << i;
      if (r != "0") ++rules[r[0]];
    }
    EXPECT_EQ(rules, shape.rules) << "article " << n;
  }
}

TEST(IssueShape, EveryArticleOpensWithTwoOrThreeEmptyLines) {
  for (int n = 1; n <= 20; ++n) {
    int empty = 0;
    while (empty < lineCount(n) && line(n, empty).text.empty() && line(n, empty).rule == "0") ++empty;
    if (n == 19) {
      EXPECT_EQ(empty, 3);
      continue;
    }
    EXPECT_TRUE(empty == 2 || empty == 3) << "article " << n << " opens with " << empty;
  }
}

TEST(IssueShape, UnusedCellsStayEmpty) {
  const auto& t = issue().tables;
  ASSERT_EQ(t.lineText.size(), 5001u * 21u);
  for (int i = 0; i <= content::kLastLine; ++i) EXPECT_TRUE(t.lineText[LineTables::cell(i, 0)].empty());
  EXPECT_TRUE(line(19, 4).text.empty());
  EXPECT_TRUE(line(4, 1445).colours.empty());
}

TEST(IssueWidths, TextColourStyleAndRuleWidths) {
  for (int n = 1; n <= 20; ++n) {
    for (int i = 0; i < lineCount(n); ++i) {
      const Line l = line(n, i);
      ASSERT_EQ(l.colours.size(), 80u) << n << ":" << i;
      ASSERT_EQ(l.styles.size(), 80u) << n << ":" << i;
      if (l.text.size() == 81) {
        EXPECT_TRUE(n == 10 || n == 13) << n << ":" << i;
        EXPECT_EQ(l.text[80], ' ') << n << ":" << i;
      } else {
        EXPECT_LE(l.text.size(), 80u) << n << ":" << i;
      }
      if (l.text.empty()) {
        EXPECT_EQ(l.colours, std::string(80, '1')) << n << ":" << i;
        EXPECT_EQ(l.styles, std::string(80, '1')) << n << ":" << i;
      }
    }
  }
}

TEST(IssueAlphabet, CharactersColoursAndStyles) {
  const std::set<unsigned char> blocks = {0xDB, 0xDC, 0xDF, 0xDD, 0xDE, 0xB0, 0xB1, 0xB2, 0xFE};
  std::map<char, long> colourCount;
  std::set<unsigned char> used;
  long cells = 0, style2 = 0, linesWith04 = 0;
  for (int n = 1; n <= 20; ++n) {
    for (int i = 0; i < lineCount(n); ++i) {
      const Line l = line(n, i);
      bool has04 = false;
      for (unsigned char c : l.text) {
        has04 |= c == 0x04;
        used.insert(c);
        EXPECT_TRUE((c >= 32 && c <= 124) || blocks.count(c) || c == 0x04) << n << ":" << i << " byte " << int(c);
      }
      linesWith04 += has04;
      for (char c : l.colours) {
        EXPECT_TRUE((c >= '1' && c <= '9') || (c >= 'A' && c <= 'U')) << n << ":" << i << " colour " << c;
        ++colourCount[c];
      }
      for (char s : l.styles) {
        EXPECT_TRUE(s == '1' || s == '2') << n << ":" << i;
        if (s == '2') {
          ++style2;
          EXPECT_TRUE((n >= 10 && n <= 14) || n == 18) << "style 2 in article " << n;
        }
      }
      cells += 80;
    }
  }
  EXPECT_EQ(linesWith04, 2);
  // Every block and shade character of the banners is in use somewhere.
  for (unsigned char b : blocks) EXPECT_TRUE(used.count(b)) << "byte " << int(b);
  // About one cell in fourteen is drawn in the lighter face.
  EXPECT_GT(style2 * 15, cells);
  EXPECT_LT(style2 * 13, cells);
  // The six most frequent colour codes, in order.
  std::vector<std::pair<long, char>> byCount;
  for (auto [c, k] : colourCount) byCount.push_back({k, c});
  std::sort(byCount.rbegin(), byCount.rend());
  std::string top;
  for (int k = 0; k < 6; ++k) top += byCount[k].second;
  EXPECT_EQ(top, "1OQU3B");
}

TEST(IssueShape, TitleBlocksAreFramedByTheirRule) {
  int blocks = 0;
  for (int n = 1; n <= 20; ++n) {
    for (int i = 1; i + 1 < lineCount(n); ++i) {
      const std::string& t = line(n, i).text;
      if (t.rfind(" -- ", 0) != 0 || t.rfind(" -- DATE ", 0) == 0) continue;
      ++blocks;
      EXPECT_EQ(t.size(), 79u) << n << ":" << i;
      EXPECT_EQ(t.back(), '-');
      EXPECT_TRUE(line(n, i - 1).text.empty() && line(n, i + 1).text.empty()) << n << ":" << i;
      EXPECT_NE(line(n, i - 1).rule, "0");
      EXPECT_EQ(line(n, i - 1).rule, line(n, i + 1).rule);
      // The title itself is in capitals.
      const std::string title = trim(t.substr(4, t.find(" -", 4) - 4));
      EXPECT_EQ(title, [&] { std::string u = title; for (auto& c : u) c = char(std::toupper(c)); return u; }());
    }
  }
  EXPECT_GE(blocks, 9);
}

TEST(IssueShape, FramedBannersStartAtColumnFour) {
  for (int n : {10, 11, 13, 14, 15}) {
    bool found = false;
    for (int i = 0; i < 6 && !found; ++i) {
      const std::string& t = line(n, i).text;
      found = t.size() >= 77 && t.rfind("   \xDB\xDB\xDB", 0) == 0;
    }
    EXPECT_TRUE(found) << "article " << n;
  }
}

// ---- charts ---------------------------------------------------------------------

struct ChartRow {
  int rank, points, releases;
  std::string name, move, word;
};

// Parses a chart table by its column layout, checking layout and colours.
std::vector<ChartRow> chart(int n) {
  std::vector<ChartRow> rows;
  int i = 0;
  while (line(n, i).text != "-- POSITIONS --- GROUPNAMES --- POINTS AMOUNT --- RELEASE AMOUNT --- MOVEMENT --") {
    ++i;
    if (i >= lineCount(n)) ADD_FAILURE() << "no chart header in " << n;
    if (i >= lineCount(n)) return rows;
  }
  for (++i; !line(n, i).text.empty(); ++i) {
    const Line l = line(n, i);
    const std::string& t = l.text;
    SCOPED_TRACE("article " + std::to_string(n) + " line " + std::to_string(i) + ": " + t);
    ChartRow r;
    r.rank = std::stoi(cols(t, 1, 7));
    EXPECT_EQ(col(t, 7), static_cast<char>('0' + r.rank % 10));
    EXPECT_EQ(col(t, 8), '.');
    EXPECT_EQ(col(l.colours, 8), 'M');
    EXPECT_EQ(col(t, 9), ' ');
    const std::string field = cols(t, 10, 33);
    r.name = field.substr(0, field.find('.'));
    EXPECT_FALSE(r.name.empty());
    for (int c = 10 + static_cast<int>(r.name.size()); c <= 33; ++c) {
      EXPECT_EQ(col(t, c), '.');
      EXPECT_EQ(col(l.colours, c), '3');
    }
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(col(t, 41))));
    EXPECT_EQ(col(t, 40), '.');  // one decimal, ending at column 41
    r.points = tenths(cols(t, 34, 41));
    EXPECT_EQ(cols(t, 42, 48), " ......");
    EXPECT_EQ(cols(l.colours, 43, 48), "333333");
    r.releases = std::stoi(cols(t, 49, 59));
    EXPECT_NE(col(t, 59), ' ');
    EXPECT_EQ(cols(t, 60, 66), " ......");
    EXPECT_EQ(cols(l.colours, 61, 66), "333333");
    r.move = trim(cols(t, 67, 69));
    EXPECT_NE(col(t, 69), ' ');
    EXPECT_EQ(col(t, 70), ' ');
    r.word = t.substr(70);
    const std::map<std::string, char> wordColour = {{"UP", '7'}, {"DOWN", '4'}, {"NEW", 'P'}, {"SAME", 'D'}};
    EXPECT_TRUE(wordColour.count(r.word)) << r.word;
    if (wordColour.count(r.word)) {
      EXPECT_EQ(cols(l.colours, 71, 70 + static_cast<int>(r.word.size())), std::string(r.word.size(), wordColour.at(r.word)));
    }
    // "1" everywhere else.
    for (int c : {1, 5, 7, 9, 10, 34, 41, 42, 49, 59, 60, 67, 69, 70}) EXPECT_EQ(col(l.colours, c), '1') << "column " << c;
    rows.push_back(r);
  }
  return rows;
}

// Checks ranks, order and movement against the ranks of an earlier chart.
void checkRanking(const std::vector<ChartRow>& rows, const std::map<std::string, int>& before) {
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const ChartRow& r = rows[k];
    EXPECT_EQ(r.rank, static_cast<int>(k) + 1);
    if (k > 0) {
      EXPECT_LE(r.points, rows[k - 1].points) << r.name;
    }
    const auto it = before.find(r.name);
    if (it == before.end()) {
      EXPECT_EQ(r.word, "NEW") << r.name;
      EXPECT_EQ(r.move, "-") << r.name;
    } else if (it->second == r.rank) {
      EXPECT_EQ(r.word, "SAME") << r.name;
      EXPECT_EQ(r.move, "-") << r.name;
    } else {
      EXPECT_EQ(r.word, it->second > r.rank ? "UP" : "DOWN") << r.name;
      EXPECT_EQ(r.move, std::to_string(std::abs(it->second - r.rank))) << r.name;
    }
  }
}

// Ranks of a list of (name, points, releases) the way the charts rank them.
std::map<std::string, int> ranks(std::vector<std::tuple<int, int, std::string>> totals) {
  std::sort(totals.begin(), totals.end(), [](const auto& a, const auto& b) {
    if (std::get<0>(a) != std::get<0>(b)) return std::get<0>(a) > std::get<0>(b);
    if (std::get<1>(a) != std::get<1>(b)) return std::get<1>(a) > std::get<1>(b);
    return std::get<2>(a) < std::get<2>(b);
  });
  std::map<std::string, int> r;
  for (std::size_t k = 0; k < totals.size(); ++k) r[std::get<2>(totals[k])] = static_cast<int>(k) + 1;
  return r;
}

struct ReleaseTotals {
  std::map<std::string, int> points, count;
};

// Reads the release tables of article 4, checking their layout and colours.
ReleaseTotals releaseTables() {
  ReleaseTotals totals;
  const int n = 4;
  int sections = 0;
  for (int i = 0; i < lineCount(n); ++i) {
    if (line(n, i).text != " -- DATE ----- TITLE ------------------------------------------------ POINTS --") continue;
    ++sections;
    std::string group;
    int sum = 0, count = 0;
    for (++i; line(n, i).text != " " + std::string(78, '-'); ++i) {
      const Line l = line(n, i);
      const std::string& t = l.text;
      SCOPED_TRACE("release row " + std::to_string(i) + ": " + t);
      EXPECT_EQ(t.size(), 79u);
      if (t.size() != 79) return totals;
      EXPECT_EQ(col(t, 1), ' ');
      EXPECT_EQ(cols(t, 2, 4), "11-");
      const int day = std::stoi(cols(t, 5, 6));
      EXPECT_TRUE(day >= 1 && day <= 25);
      EXPECT_EQ(cols(t, 7, 9), " - ");
      EXPECT_EQ(cols(t, 73, 75), " : ");
      const std::string title = trim(cols(t, 10, 72));
      EXPECT_EQ(col(t, 10), title[0]);
      const std::string owner = title.substr(title.rfind('-') + 1);
      if (group.empty()) group = owner;
      EXPECT_EQ(owner, group);
      const int p = tenths(cols(t, 76, 79));
      EXPECT_EQ(col(t, 78), '.');
      // Points follow the marks in the release name.
      const bool update = title.find(".Update.") != std::string::npos;
      const bool multi = title.find(".MULTi") != std::string::npos;
      const bool dvd9 = title.find(".DVD9") != std::string::npos;
      EXPECT_EQ(p, update ? 5 : multi && dvd9 ? 20 : multi || dvd9 ? 15 : 10);
      EXPECT_EQ(cols(l.colours, 2, 6), "UUUUU");
      EXPECT_EQ(cols(l.colours, 76, 79), "QQQQ");
      sum += p;
      ++count;
    }
    ++i;
    const std::string& total = line(n, i).text;
    EXPECT_EQ(cols(total, 73, 75), " = ") << total;
    EXPECT_EQ(tenths(cols(total, 76, 79)), sum) << group;
    totals.points[group] += sum;
    totals.count[group] += count;
  }
  EXPECT_EQ(sections, 23);
  return totals;
}

TEST(Charts, MonthlyChartIsTheSumOfTheReleaseTables) {
  const auto rows = chart(1);
  const ReleaseTotals totals = releaseTables();
  ASSERT_EQ(rows.size(), totals.points.size());
  for (const auto& r : rows) {
    EXPECT_EQ(r.points, totals.points.at(r.name)) << r.name;
    EXPECT_EQ(r.releases, totals.count.at(r.name)) << r.name;
  }
  std::map<std::string, int> previous;
  for (const auto& w : readData("previous_month.txt")) previous[w[1]] = std::stoi(w[0]);
  checkRanking(rows, previous);
}

TEST(Charts, MonthlyChartAgreesWithTheReleaseList) {
  std::map<std::string, int> points;
  for (const auto& w : readData("releases.txt")) points[w[0]] += tenths(w[2]);
  for (const auto& r : chart(1)) EXPECT_EQ(r.points, points[r.name]) << r.name;
}

TEST(Charts, YearlyAndAllTimeChartsAddThisMonthToTheRecord) {
  std::map<std::string, std::pair<int, int>> month;
  for (const auto& r : chart(1)) month[r.name] = {r.points, r.releases};
  std::vector<std::tuple<int, int, std::string>> yearBefore, allBefore;
  std::map<std::string, std::pair<int, int>> yearNow, allNow;
  for (const auto& w : readData("groups.txt")) {
    const auto m = month.count(w[0]) ? month[w[0]] : std::pair<int, int>{0, 0};
    const int yp = tenths(w[1]), yr = std::stoi(w[2]), ap = tenths(w[3]), ar = std::stoi(w[4]);
    if (yp > 0) yearBefore.emplace_back(yp, yr, w[0]);
    if (ap > 0) allBefore.emplace_back(ap, ar, w[0]);
    if (yp + m.first > 0) yearNow[w[0]] = {yp + m.first, yr + m.second};
    if (ap + m.first > 0) allNow[w[0]] = {ap + m.first, ar + m.second};
  }
  const auto yearly = chart(5);
  const auto allTime = chart(8);
  EXPECT_EQ(yearly.size(), yearNow.size());
  EXPECT_EQ(allTime.size(), allNow.size());
  for (const auto& r : yearly) EXPECT_EQ(std::make_pair(r.points, r.releases), yearNow[r.name]) << r.name;
  for (const auto& r : allTime) EXPECT_EQ(std::make_pair(r.points, r.releases), allNow[r.name]) << r.name;
  checkRanking(yearly, ranks(yearBefore));
  checkRanking(allTime, ranks(allBefore));
}

// ---- fixed texts and menu -----------------------------------------------------

TEST(FixedTexts, TitleAndIntroLines) {
  const auto& t = issue().texts;
  EXPECT_EQ(t.title, "THE QUORVALINE CHARTS ISSUE 36");
  const char* lines[10] = {"",
                           "***********************",
                           "*THE QUORVALINE CHARTS*",
                           "***********************",
                           "",
                           "issue number 36",
                           "Released on",
                           "25-11-2009",
                           "",
                           "= TRY F1 TO F12 ="};
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(t.introLines[i], lines[i]) << "line " << i;
}

TEST(FixedTexts, IntroScrollerFragments) {
  const std::string& s = issue().texts.introScroller;
  ASSERT_EQ(s.size(), 835u);
  EXPECT_EQ(s.substr(0, 66), std::string(66, ' '));
  // fragment lengths in order; the quoted ones are checked word for word
  const int lengths[18] = {74, 25, 101, 27, 47, 46, 39, 37, 31, 42, 30, 30, 16, 26, 23, 26, 91, 58};
  const std::map<int, std::string> quoted = {
      {1, "a     ** WELCOME **        " + std::string(46, '-') + " "},
      {2, "aTHE QUORVALINE CHART 36 "},
      {3, " ------------------ RELEASED BY THE QUORVALINE CHARTS STAFF ON 25 NOVEMBER 2009!! ------------------ "},
      {4, "THIS TIME I BRING YOU:     "},
      {5, "12 CLASSIC SID TUNES BY VELLO SKARNHOLM! ----- "},
      {6, "ANOTHER BUNCH OF LETTERS TO THE EDITOR! ----- "},
      {7, "ALLWAYS THE BEST IN SCENE STATS! ----- "},
      {8, "FOUR HANDPICKED TUNES FOR YOU! ----- "},
      {9, "TWO SKINS TO CHOOSE FROM!      "},
      {10, "AND SO MUCH MORE............              "},
      {11, "INTRO CREDITS ----- MUSIC BY: "},
      {12, "a    *VELLO SKARNHOLM!*       "},
      {13, "PROGRAMMING BY: "},
      {14, "a      *TARVOSKELD*       "},
      {15, "SID REPLAY ROUTINE BY: "},
      {16, "a     *NIMMO FERRIX*      "},
      {17, " PLEASE PRESS THE -LEFT MOUSE- BUTTON OR -ESCAPE- TO BEGIN   ----   WE HOPE YOU ENJOY IT   "},
      {18, "   " + std::string(55, '*')},
  };
  std::size_t at = 66;
  for (int f = 1; f <= 18; ++f) {
    EXPECT_EQ(static_cast<int>(quoted.at(f).size()), lengths[f - 1]) << "fragment " << f;
    EXPECT_EQ(s.substr(at, lengths[f - 1]), quoted.at(f)) << "fragment " << f;
    at += lengths[f - 1];
  }
  EXPECT_EQ(at, 835u);
}

TEST(FixedTexts, StatusScrollerCredits) {
  const auto& b = issue().texts.bottomScroller;
  const std::string lead = std::string(65, ' ') +
                           "F1 To select 'Grunge' skin    F2 To select 'Carbon' skin   Selected song: ";
  // module -> length and credit
  const std::pair<std::size_t, const char*> table[5] = {
      {0, ""},
      {169, "Glasswork composed by Ravn...."},
      {188, "Harbour Lights composed by Ilkka aka Lowwater...."},
      {186, "Chalk Rain composed by Brin Hallows aka Fen...."},
      {175, "Last Ferry Home composed by Ravn...."},
  };
  for (int m = 1; m <= 4; ++m) {
    EXPECT_EQ(b[m].size(), table[m].first) << "module " << m;
    EXPECT_EQ(b[m], lead + table[m].second) << "module " << m;
  }
}

TEST(Menu, LabelsAndFlags) {
  // entry -> label, enabled
  const std::pair<const char*, int> table[22] = {
      {"", 0},
      {"> Monthly Chart", 1},           {"> Monthly Overview", 1},        {"> Group Of The Month", 1},
      {"> Group Release Stats", 1},     {"> Yearly Stats", 1},            {"> Yearly Overview", 1},
      {"> Group Of The Year", 1},       {"> Alltime Stats", 1},           {"> Alltime Overview", 1},
      {"Help", 1},                      {"> This Issues Editorial", 1},   {"Rules", 1},
      {"> Credits For The Charts", 1},  {"> Letters To The Editor", 1},   {"> This Issues Music", 1},
      {"> Interview with you?", 1},     {"> No Good Games for Xmas09?", 0}, {"> Interview with you?", 0},
      {"> New ISO/DOX rules Status!", 0}, {"> Article here", 0},        {"", 0},
  };
  for (int e = 1; e <= 21; ++e) {
    EXPECT_EQ(issue().menu[e].label, table[e].first) << "entry " << e;
    EXPECT_EQ(issue().menu[e].enabled, table[e].second) << "entry " << e;
  }
}

// ---- what the pages say -------------------------------------------------------

std::string articleText(int n) {
  std::string all;
  for (int i = 0; i < lineCount(n); ++i) all += line(n, i).text + "\n";
  return all;
}

TEST(Pages, MusicPageNamesEveryTuneAndMusician) {
  const std::string music = articleText(15);
  for (const char* name : {"Glasswork", "Harbour Lights", "Chalk Rain", "Last Ferry Home", "Ravn",
                           "Ilkka aka Lowwater", "Brin Hallows aka Fen", "VELLO SKARNHOLM", "NIMMO FERRIX",
                           "Frostbyte Run", "Copperline", "Midnight Tram", "Harvest Moonbase", "Glass Canyon",
                           "Ninth Wave", "Rusty Orbit", "Lanterns", "Static Bloom", "Dune Cartographer",
                           "Slow Signal", "Last Light Loader"})
    EXPECT_NE(music.find(name), std::string::npos) << name;
}

TEST(Pages, HelpExplainsEveryKeyAndButton) {
  const std::string help = articleText(10);
  for (const char* word : {"F1", "F2", "F12", "QUIT", "CHARTS", "ARTICLES", "RULES", "HELP", "MUTE", "MUSIC 1",
                           "MUSIC 4", "Up", "Down", "wheel", "PgUp", "PgDn", "Home", "End", "thumb", "Escape",
                           "left mouse button", "> Articles Menu", "> Charts Menu", "from the very beginning"})
    EXPECT_NE(help.find(word), std::string::npos) << word;
}

TEST(Pages, GroupOfTheMonthAndYearTopTheirCharts) {
  EXPECT_NE(articleText(3).find("KOBALT are the group of the month"), std::string::npos);
  EXPECT_EQ(chart(1).front().name, "KOBALT");
  EXPECT_NE(articleText(7).find("TORPEDO99 lead the yearly chart"), std::string::npos);
  EXPECT_EQ(chart(5).front().name, "TORPEDO99");
}

}  // namespace

namespace {

// The pages' statements about the charts are checked by the content compiler
// against data/: the complaints a reader once sent about this issue, planted
// back into a copy of the real sources, must each stop the build and say
// where, what and what is true.
TEST(Pages, AWrongStatementAboutTheChartsStopsTheBuild) {
  namespace fs = std::filesystem;
  const fs::path source = fs::path(QV_SOURCE_DIR) / "content";
  const fs::path copy = fs::temp_directory_path() / ("qv_content_claims_" + std::to_string(::getpid()));
  fs::remove_all(copy);
  fs::copy(source, copy, fs::copy_options::recursive);
  const fs::path notes = copy / "articles" / "04_group_release_stats.txt";
  std::string text;
  {
    std::ifstream in(notes);
    std::stringstream all;
    all << in.rdbuf();
    text = all.str();
  }
  const std::string modules = (fs::path(QV_SOURCE_DIR) / "assets" / "modules").string();
  EXPECT_NO_THROW(contentc::compileIssue(copy.string(), true, modules));
  // planted claim -> what the message must tell
  const std::pair<std::string, std::string> plants[] = {
      {"{?m.GLIMMER.updates > m.GLIMMER.releases / 2}", "m.GLIMMER.updates is 2, m.GLIMMER.releases / 2 is 9"},
      {"{?m.BALLISTIX.first == Tuesday 10 November}", "m.BALLISTIX.first is Monday 2 November"},
      {"{?m.PANOPTICUM.updates > m.PANOPTICUM.releases / 2}", "m.PANOPTICUM.updates is 13"},
  };
  const std::string anchor = "@group GLIMMER\n\n";
  const auto at = text.find(anchor);
  ASSERT_NE(at, std::string::npos);
  const int line = static_cast<int>(std::count(text.begin(), text.begin() + at, '\n')) + 3;
  for (const auto& [claim, truth] : plants) {
    std::string planted = text;
    planted.insert(at + anchor.size(), "Most of their releases were updates" + claim + ".\n");
    std::ofstream(notes) << planted;
    try {
      contentc::compileIssue(copy.string(), true, modules);
      ADD_FAILURE() << claim << " compiled";
    } catch (const contentc::CompileError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("04_group_release_stats.txt:" + std::to_string(line) + ": false claim " + claim),
                std::string::npos)
          << message;
      EXPECT_NE(message.find(truth), std::string::npos) << message;
    }
  }
  fs::remove_all(copy);
}

}  // namespace
