// contentc: turns the issue's text sources into article lines.
//
// An article source is a plain text file, one source line per article line,
// with inline markup for colour and style runs and '@' directives for rules,
// title blocks, banners, wrapped paragraphs and the generated chart and
// release tables (content/README.md documents the format). The data files
// (groups, releases, the previous month's chart) feed the tables and the
// numbers quoted in the prose, so the pages cannot disagree with each other.
//
// Errors are reported as CompileError with the file and line they come from.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace contentc {

inline constexpr int kWidth = 80;

struct CompileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One article line as the reader's tables hold it.
struct Line {
  std::string text;     // CP437 bytes, at most 80 (an 81st only as a space)
  std::string colours;  // exactly 80 colour-code characters
  std::string styles;   // exactly 80 style digits
  char rule = '0';
};

Line emptyLine(char rule = '0');

// One character cell before it is laid into a line.
struct Cell {
  unsigned char ch;
  char colour;
  char style;
};

// Looks up a `{=key}` substitution; returns false for an unknown key.
using Lookup = std::function<bool(const std::string& key, std::string& value)>;

// Parses inline markup: {X} colour run (X one of 1-9, A-V), {.} back to the
// default colour, {s1}/{s2} style run, {#HH} one byte by hex code, {{ a
// literal '{', {=key} a substituted value ({=key:format} formatted), {?claim}
// a checked statement that prints nothing. Everything else is literal text.
std::vector<Cell> parseMarkup(const std::string& source, char defaultColour, char defaultStyle,
                              const Lookup& lookup);

// Checks a claim "LEFT OP RIGHT" (OP one of < <= == != >= >; each side a key,
// a number, "A + B", "A - B", "A * B" or "A / B" of keys and numbers, or
// literal words compared as text). Throws
// a CompileError naming the claim and the true values when it does not hold.
void checkClaim(const std::string& claim, const Lookup& lookup);

// Lays cells into a line; cells past the text take the defaults. Throws if the
// text is longer than 80 (81 allowed when the 81st is a space).
Line makeLine(const std::vector<Cell>& cells, char defaultColour, char defaultStyle, char rule = '0');

// Splits a paragraph's cells at spaces into lines of at most `width` cells,
// each prefixed by `indent` spaces in the default colour and style.
std::vector<std::vector<Cell>> wrapCells(const std::vector<Cell>& cells, int width, int indent,
                                         char defaultColour, char defaultStyle);

// ---- chart data --------------------------------------------------------

struct Release {
  std::string group;
  int month = 0;
  int day = 0;
  int tenths = 0;  // points x 10
  std::string title;
};

struct Group {
  std::string name;
  int yearTenthsBefore = 0;  // 2009 up to the end of the previous month
  int yearReleasesBefore = 0;
  int allTenthsBefore = 0;  // every month on record up to the previous one
  int allReleasesBefore = 0;
};

struct PreviousRow {
  int rank = 0;
  std::string name;
  int tenths = 0;
  int releases = 0;
};

struct ChartRow {
  int rank = 0;
  std::string name;
  int tenths = 0;
  int releases = 0;
  int previousRank = 0;  // 0 when the group was not in the previous chart
};

struct Charts {
  std::vector<ChartRow> monthly, yearly, allTime, previous;
};

// Parses "12.5" into 125; throws on anything else.
int parseTenths(const std::string& s);
std::string formatTenths(int tenths);

// Ranks rows by points (then releases, then name) and numbers them from 1.
void rankRows(std::vector<ChartRow>& rows);
Charts buildCharts(const std::vector<Group>& groups, const std::vector<Release>& releases,
                   const std::vector<PreviousRow>& previous);

// Movement columns of a chart row: amount ("-" or a number) and direction word.
std::string movementAmount(const ChartRow& row);
std::string movementWord(const ChartRow& row);

// The chart header and one chart row in the page layout, with its colours.
Line chartHeader();
Line chartRow(const ChartRow& row);
// Release table parts.
Line releaseHeader();
Line releaseRow(const Release& release);
Line releaseRuleLine();
Line releaseTotal(int tenths);
// Title block: rule line, " -- TITLE ----...", rule line.
std::vector<Line> titleBlock(const std::string& title, char rule);

// ---- the issue -----------------------------------------------------------

// What a module's XM header says about it, for the music page.
struct ModuleFacts {
  int channels = 0, patterns = 0, instruments = 0, orders = 0, speed = 0, bpm = 0;
  bool linear = false;  // linear frequency table (else the Amiga table)
};

// The music credits table (content/music_credits.md), and the shipped
// modules' header facts (assets/modules/moduleN.xm).
struct Credits {
  std::array<std::string, 5> moduleTitle, moduleMusician;  // modules 1..4
  std::array<std::string, 13> tuneTitle;                   // C64 tunes 1..12
  std::string composer, replayAuthor;
  std::array<ModuleFacts, 5> module;                       // modules 1..4
};

// Reads the markdown credits table; throws unless it has 4 modules and 12 tunes.
Credits parseCredits(const std::string& markdown);

// Reads the fixed part of an XM header; throws unless it is one.
ModuleFacts readModuleFacts(const std::string& bytes, const std::string& name);

struct Article {
  std::vector<Line> lines;  // without the end line
  int expectedLines = -1;   // from @lines, -1 when not given
};

struct Issue {
  std::array<Article, 21> articles;
  std::array<std::string, 22> menuLabels;
  std::array<int, 22> menuEnabled{};
  std::string title;
  std::array<std::string, 10> introLines;
  std::string introScroller;
  std::array<std::string, 5> bottomScroller;
  Charts charts;
  std::vector<Release> releases;
  Credits credits;
};

// Compiles one article source. `name` is used in error messages.
// With `strictCount` false a line count that disagrees with @lines is only
// reported on stderr (the proofreading modes of contentc use this).
Article compileArticle(const std::string& source, const std::string& name, const Charts& charts,
                       const std::vector<Release>& releases, bool strictCount = true,
                       const Credits* credits = nullptr);

// Checks the month's release list against the chart rules: every title ends
// in its group's name, its points follow its marks (Update 0.5, DVD9 or MULTi
// 1.5, both 2.0, else 1.0), and no title is listed for two groups (only the
// first release of a title counts).
void checkReleases(const std::vector<Release>& releases);

// Reads the whole content folder.
// The shipped modules are read from `modulesDir`, by default the folder
// assets/modules beside the content folder.
Issue compileIssue(const std::string& contentDir, bool strictCounts = true, const std::string& modulesDir = {});

// Writes the generated C++ tables.
std::string emitCpp(const Issue& issue);

}  // namespace contentc
