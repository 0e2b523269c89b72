#include "tools/build/contentc/issue_compiler.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "tools/build/contentc/block_font.h"

namespace contentc {
namespace {

// Colours of the generated page parts.
constexpr char kPlain = '1';
constexpr char kRankDot = 'M';
constexpr char kLeaderDots = '3';
constexpr char kWordUp = '7';
constexpr char kWordDown = '4';
constexpr char kWordNew = 'P';
constexpr char kWordSame = 'D';
constexpr char kChartHeader = 'B';
constexpr char kTitleDashes = 'B';
constexpr char kTitleText = 'O';
constexpr char kReleaseDate = 'U';
constexpr char kReleaseTitle = 'O';
constexpr char kReleaseSeparator = 'Q';
constexpr char kReleasePoints = 'Q';
constexpr char kReleaseHeader = 'U';
constexpr char kReleaseRuleDashes = 'B';

// CP437 block characters.
constexpr unsigned char kFull = 0xDB;
constexpr unsigned char kLowerHalf = 0xDC;
constexpr unsigned char kUpperHalf = 0xDF;
constexpr unsigned char kLeftHalf = 0xDD;
constexpr unsigned char kRightHalf = 0xDE;
constexpr unsigned char kLightShade = 0xB0;
constexpr unsigned char kMediumShade = 0xB1;
constexpr unsigned char kDarkShade = 0xB2;
constexpr unsigned char kSquare = 0xFE;

bool isColourChar(char c) { return (c >= '1' && c <= '9') || (c >= 'A' && c <= 'V'); }

std::string trimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  return s;
}

std::vector<std::string> splitWords(const std::string& s) {
  std::istringstream in(s);
  std::vector<std::string> out;
  std::string w;
  while (in >> w) out.push_back(w);
  return out;
}

// A whole or decimal number, as the data and the claims write them.
bool isNumber(const std::string& s, double* out = nullptr) {
  if (s.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size() || !(std::isdigit(static_cast<unsigned char>(s[0])) || s[0] == '-')) return false;
  if (out) *out = v;
  return true;
}

// A text laid out cell by cell, for the generated page parts.
class LineBuilder {
 public:
  LineBuilder& put(const std::string& text, char colour) {
    for (char c : text) cells_.push_back({static_cast<unsigned char>(c), colour, '1'});
    return *this;
  }
  LineBuilder& putByte(unsigned char c, char colour) {
    cells_.push_back({c, colour, '1'});
    return *this;
  }
  // Right-aligns `text` so that its last character sits at `lastColumn` (1-based).
  LineBuilder& putRight(const std::string& text, int lastColumn, char colour) {
    padTo(lastColumn - static_cast<int>(text.size()));
    return put(text, colour);
  }
  // Fills with spaces up to and including column `column`.
  LineBuilder& padTo(int column, char colour = kPlain) {
    while (static_cast<int>(cells_.size()) < column) cells_.push_back({' ', colour, '1'});
    return *this;
  }
  int column() const { return static_cast<int>(cells_.size()); }
  Line line(char rule = '0') const { return makeLine(cells_, kPlain, '1', rule); }

 private:
  std::vector<Cell> cells_;
};

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CompileError("cannot read " + path.string());
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(cur);
      cur.clear();
    } else if (c != '\r') {
      cur += c;
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

}  // namespace

Line emptyLine(char rule) {
  return Line{"", std::string(kWidth, '1'), std::string(kWidth, '1'), rule};
}

namespace {

std::string formatValue(const std::string& value, const std::string& format);

// One side of a claim: a key, a number, "A + B", "A - B", "A * B" or "A / B"
// of keys and numbers, or literal words (compared as text).
struct ClaimSide {
  std::string text;     // as written
  std::string value;    // what it stands for
  bool numeric = false;
  double number = 0;
  bool computed = false;  // a key was looked up
};

ClaimSide evaluateSide(const std::vector<std::string>& words, const Lookup& lookup) {
  ClaimSide side;
  for (const auto& w : words) side.text += (side.text.empty() ? "" : " ") + w;
  if (words.empty()) throw CompileError("claim side missing");
  auto operand = [&](const std::string& w, double& out) {
    std::string v;
    if (lookup && lookup(w, v)) {
      side.computed = true;
      if (!isNumber(v, &out)) throw CompileError(w + " is '" + v + "', not a number");
      return;
    }
    if (!isNumber(w, &out)) throw CompileError("unknown value " + w + " in claim");
  };
  if (words.size() == 3 && words[1].size() == 1 && std::string("+-*/").find(words[1]) != std::string::npos) {
    double a = 0, b = 0;
    operand(words[0], a);
    operand(words[2], b);
    const char op = words[1][0];
    if (op == '/' && b == 0) throw CompileError("division by zero in claim");
    side.number = op == '+' ? a + b : op == '-' ? a - b : op == '*' ? a * b : a / b;
    side.numeric = true;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", side.number);
    side.value = buf;
    return side;
  }
  if (words.size() == 1) {
    std::string v;
    if (lookup && lookup(words[0], v)) {
      side.computed = true;
      side.value = v;
    } else if (words[0].find('.') != std::string::npos && !isNumber(words[0])) {
      throw CompileError("unknown value " + words[0] + " in claim");
    } else {
      side.value = words[0];
    }
  } else {
    side.value = side.text;
  }
  side.numeric = isNumber(side.value, &side.number);
  return side;
}

}  // namespace

void checkClaim(const std::string& claim, const Lookup& lookup) {
  static const char* ops[] = {"<=", ">=", "==", "!=", "<", ">"};
  const auto words = splitWords(claim);
  std::size_t at = words.size();
  std::string op;
  for (std::size_t i = 0; i < words.size() && at == words.size(); ++i) {
    for (const char* o : ops) {
      if (words[i] == o) {
        at = i;
        op = o;
      }
    }
  }
  if (at == words.size()) throw CompileError("claim {?" + claim + "} has no comparison (<, <=, ==, !=, >=, >)");
  const ClaimSide left = evaluateSide({words.begin(), words.begin() + static_cast<long>(at)}, lookup);
  const ClaimSide right = evaluateSide({words.begin() + static_cast<long>(at) + 1, words.end()}, lookup);
  bool holds = false;
  if (left.numeric && right.numeric) {
    const double a = left.number, b = right.number, eps = 1e-9;
    holds = op == "<"    ? a < b - eps
            : op == "<=" ? a <= b + eps
            : op == ">"  ? a > b + eps
            : op == ">=" ? a >= b - eps
            : op == "==" ? std::abs(a - b) <= eps
                         : std::abs(a - b) > eps;
  } else if (op == "==" || op == "!=") {
    holds = (left.value == right.value) == (op == "==");
  } else {
    throw CompileError("claim {?" + claim + "} compares text with " + op);
  }
  if (holds) return;
  std::string truth;
  for (const ClaimSide* side : {&left, &right}) {
    if (!side->computed) continue;
    truth += (truth.empty() ? "" : ", ") + side->text + " is " + side->value;
  }
  throw CompileError("false claim {?" + claim + "}" + (truth.empty() ? "" : ": " + truth));
}

std::vector<Cell> parseMarkup(const std::string& source, char defaultColour, char defaultStyle,
                              const Lookup& lookup) {
  std::vector<Cell> cells;
  char colour = defaultColour;
  char style = defaultStyle;
  for (std::size_t i = 0; i < source.size(); ++i) {
    const char c = source[i];
    if (c != '{') {
      cells.push_back({static_cast<unsigned char>(c), colour, style});
      continue;
    }
    if (i + 1 < source.size() && source[i + 1] == '{') {
      cells.push_back({'{', colour, style});
      ++i;
      continue;
    }
    const std::size_t close = source.find('}', i);
    if (close == std::string::npos) throw CompileError("unclosed '{' in: " + source);
    const std::string tag = source.substr(i + 1, close - i - 1);
    i = close;
    if (tag.size() == 1 && isColourChar(tag[0])) {
      colour = tag[0];
    } else if (tag == ".") {
      colour = defaultColour;
    } else if (tag.size() == 2 && tag[0] == 's' && std::isdigit(static_cast<unsigned char>(tag[1]))) {
      style = tag[1];
    } else if (tag.size() == 3 && tag[0] == '#' && std::isxdigit(static_cast<unsigned char>(tag[1])) &&
               std::isxdigit(static_cast<unsigned char>(tag[2]))) {
      cells.push_back({static_cast<unsigned char>(std::stoi(tag.substr(1), nullptr, 16)), colour, style});
    } else if (tag.size() > 1 && tag[0] == '?') {
      checkClaim(tag.substr(1), lookup);
    } else if (tag.size() > 1 && tag[0] == '=') {
      const std::string key = tag.substr(1, tag.find(':') - 1);
      std::string value;
      if (!lookup || !lookup(key, value)) throw CompileError("unknown value {" + tag + "}");
      if (key.size() + 1 < tag.size()) value = formatValue(value, tag.substr(key.size() + 2));
      for (char v : value) cells.push_back({static_cast<unsigned char>(v), colour, style});
    } else {
      throw CompileError("unknown markup {" + tag + "}");
    }
  }
  return cells;
}

Line makeLine(const std::vector<Cell>& cells, char defaultColour, char defaultStyle, char rule) {
  if (cells.size() > kWidth + 1 || (cells.size() == kWidth + 1 && cells.back().ch != ' ')) {
    std::string text;
    for (const auto& c : cells) text += static_cast<char>(c.ch);
    throw CompileError("line longer than 80 characters: " + text);
  }
  Line line;
  line.rule = rule;
  for (const auto& c : cells) line.text += static_cast<char>(c.ch);
  for (int col = 0; col < kWidth; ++col) {
    const bool has = col < static_cast<int>(cells.size());
    line.colours += has ? cells[col].colour : defaultColour;
    line.styles += has ? cells[col].style : defaultStyle;
  }
  return line;
}

std::vector<std::vector<Cell>> wrapCells(const std::vector<Cell>& cells, int width, int indent,
                                         char defaultColour, char defaultStyle) {
  std::vector<std::vector<Cell>> words;
  std::vector<Cell> word;
  for (const auto& c : cells) {
    if (c.ch == ' ') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word.push_back(c);
    }
  }
  if (!word.empty()) words.push_back(word);

  std::vector<std::vector<Cell>> lines;
  std::vector<Cell> cur;
  const Cell space{' ', defaultColour, defaultStyle};
  auto start = [&] { cur.assign(static_cast<std::size_t>(indent), space); };
  start();
  bool empty = true;
  for (const auto& w : words) {
    const int need = static_cast<int>(w.size()) + (empty ? 0 : 1);
    if (!empty && static_cast<int>(cur.size()) + need > width) {
      lines.push_back(cur);
      start();
      empty = true;
    }
    if (!empty) cur.push_back(space);
    cur.insert(cur.end(), w.begin(), w.end());
    empty = false;
  }
  if (!empty) lines.push_back(cur);
  return lines;
}

// ---- charts ---------------------------------------------------------------

int parseTenths(const std::string& s) {
  const std::size_t dot = s.find('.');
  if (s.empty() || dot == std::string::npos || dot + 2 != s.size() || dot == 0)
    throw CompileError("points need one decimal: '" + s + "'");
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (i != dot && !std::isdigit(static_cast<unsigned char>(s[i])))
      throw CompileError("bad points value: '" + s + "'");
  }
  return std::stoi(s.substr(0, dot)) * 10 + (s[dot + 1] - '0');
}

std::string formatTenths(int tenths) {
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

void rankRows(std::vector<ChartRow>& rows) {
  std::sort(rows.begin(), rows.end(), [](const ChartRow& a, const ChartRow& b) {
    if (a.tenths != b.tenths) return a.tenths > b.tenths;
    if (a.releases != b.releases) return a.releases > b.releases;
    return a.name < b.name;
  });
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i].rank = static_cast<int>(i) + 1;
}

namespace {

void linkPrevious(std::vector<ChartRow>& now, const std::vector<ChartRow>& before) {
  for (auto& r : now) {
    r.previousRank = 0;
    for (const auto& b : before) {
      if (b.name == r.name) r.previousRank = b.rank;
    }
  }
}

}  // namespace

Charts buildCharts(const std::vector<Group>& groups, const std::vector<Release>& releases,
                   const std::vector<PreviousRow>& previous) {
  std::map<std::string, const Group*> byName;
  for (const auto& g : groups) {
    if (byName.count(g.name)) throw CompileError("group listed twice: " + g.name);
    if (g.allTenthsBefore < g.yearTenthsBefore || g.allReleasesBefore < g.yearReleasesBefore)
      throw CompileError("all-time total below the yearly total: " + g.name);
    byName[g.name] = &g;
  }
  Charts charts;
  std::map<std::string, ChartRow> month;
  for (const auto& r : releases) {
    if (!byName.count(r.group)) throw CompileError("release of an unknown group: " + r.group);
    auto& row = month[r.group];
    row.name = r.group;
    row.tenths += r.tenths;
    row.releases += 1;
  }
  for (auto& [name, row] : month) charts.monthly.push_back(row);
  rankRows(charts.monthly);

  int expectRank = 1;
  for (const auto& p : previous) {
    const auto it = byName.find(p.name);
    if (it == byName.end()) throw CompileError("previous chart names an unknown group: " + p.name);
    if (p.rank != expectRank++) throw CompileError("previous chart ranks are not 1, 2, 3, ...");
    if (p.tenths > it->second->yearTenthsBefore || p.releases > it->second->yearReleasesBefore)
      throw CompileError("previous month exceeds the year so far: " + p.name);
    charts.previous.push_back({p.rank, p.name, p.tenths, p.releases, 0});
  }
  for (std::size_t i = 1; i < charts.previous.size(); ++i) {
    if (charts.previous[i].tenths > charts.previous[i - 1].tenths)
      throw CompileError("previous chart is not ordered by points");
  }
  linkPrevious(charts.monthly, charts.previous);

  std::vector<ChartRow> yearBefore, allBefore;
  for (const auto& g : groups) {
    const ChartRow m = month.count(g.name) ? month[g.name] : ChartRow{0, g.name, 0, 0, 0};
    if (g.yearTenthsBefore > 0) yearBefore.push_back({0, g.name, g.yearTenthsBefore, g.yearReleasesBefore, 0});
    if (g.allTenthsBefore > 0) allBefore.push_back({0, g.name, g.allTenthsBefore, g.allReleasesBefore, 0});
    if (g.yearTenthsBefore + m.tenths > 0)
      charts.yearly.push_back({0, g.name, g.yearTenthsBefore + m.tenths, g.yearReleasesBefore + m.releases, 0});
    if (g.allTenthsBefore + m.tenths > 0)
      charts.allTime.push_back({0, g.name, g.allTenthsBefore + m.tenths, g.allReleasesBefore + m.releases, 0});
  }
  rankRows(yearBefore);
  rankRows(allBefore);
  rankRows(charts.yearly);
  rankRows(charts.allTime);
  linkPrevious(charts.yearly, yearBefore);
  linkPrevious(charts.allTime, allBefore);
  return charts;
}

std::string movementAmount(const ChartRow& row) {
  if (row.previousRank == 0 || row.previousRank == row.rank) return "-";
  return std::to_string(std::abs(row.previousRank - row.rank));
}

std::string movementWord(const ChartRow& row) {
  if (row.previousRank == 0) return "NEW";
  if (row.previousRank > row.rank) return "UP";
  if (row.previousRank < row.rank) return "DOWN";
  return "SAME";
}

Line chartHeader() {
  return LineBuilder()
      .put("-- POSITIONS --- GROUPNAMES --- POINTS AMOUNT --- RELEASE AMOUNT --- MOVEMENT --", kChartHeader)
      .line();
}

Line chartRow(const ChartRow& row) {
  if (row.name.size() > 22) throw CompileError("group name too long for a chart row: " + row.name);
  LineBuilder b;
  b.putRight(std::to_string(row.rank), 7, kPlain);
  b.put(".", kRankDot).put(" ", kPlain).put(row.name, kPlain);
  b.put(std::string(33 - b.column(), '.'), kLeaderDots);
  b.putRight(formatTenths(row.tenths), 41, kPlain);
  b.put(" ", kPlain).put("......", kLeaderDots);
  b.putRight(std::to_string(row.releases), 59, kPlain);
  b.put(" ", kPlain).put("......", kLeaderDots);
  b.putRight(movementAmount(row), 69, kPlain).put(" ", kPlain);
  const std::string word = movementWord(row);
  const char colour = word == "UP" ? kWordUp : word == "DOWN" ? kWordDown : word == "NEW" ? kWordNew : kWordSame;
  b.put(word, colour);
  return b.line();
}

Line releaseHeader() {
  return LineBuilder()
      .put(" -- DATE ----- TITLE ------------------------------------------------ POINTS --", kReleaseHeader)
      .line();
}

Line releaseRow(const Release& release) {
  if (release.title.size() > 63) throw CompileError("release title too long: " + release.title);
  if (release.tenths > 999) throw CompileError("release points too high: " + release.title);
  char date[8];
  std::snprintf(date, sizeof date, "%02d-%02d", release.month, release.day);
  LineBuilder b;
  b.put(" ", kPlain).put(date, kReleaseDate).put(" - ", kReleaseSeparator).put(release.title, kReleaseTitle);
  b.padTo(72, kReleaseTitle).put(" : ", kReleasePoints);
  const std::string points = formatTenths(release.tenths);
  b.padTo(79 - static_cast<int>(points.size()), kReleasePoints).put(points, kReleasePoints);
  return b.line();
}

Line releaseRuleLine() { return LineBuilder().put(" ", kPlain).put(std::string(78, '-'), kReleaseRuleDashes).line(); }

Line releaseTotal(int tenths) {
  if (tenths > 999) throw CompileError("release total above 99.9 does not fit the table");
  LineBuilder b;
  b.put(" ", kPlain).put("TOTAL", kReleaseDate).put(" - ", kReleaseSeparator).put("POINTS THIS MONTH", kReleaseTitle);
  b.padTo(72, kReleaseTitle).put(" = ", kReleasePoints);
  const std::string points = formatTenths(tenths);
  b.padTo(79 - static_cast<int>(points.size()), kReleasePoints).put(points, kReleasePoints);
  return b.line();
}

std::vector<Line> titleBlock(const std::string& title, char rule) {
  LineBuilder b;
  b.put(" ", kPlain).put("--", kTitleDashes).put(" ", kPlain).put(title, kTitleText).put(" ", kPlain);
  if (b.column() > 78) throw CompileError("title too long: " + title);
  b.put(std::string(79 - b.column(), '-'), kTitleDashes);
  return {emptyLine(rule), b.line(), emptyLine(rule)};
}

// ---- banners --------------------------------------------------------------

namespace {

std::vector<std::string> pixelsOrThrow(const std::string& text) {
  char unknown = 0;
  auto rows = blockPixels(text, unknown);
  if (unknown) throw CompileError(std::string("no block letter for '") + unknown + "'");
  return rows;
}

bool pixelAt(const std::vector<std::string>& rows, int r, int c) {
  if (r < 0 || r >= static_cast<int>(rows.size())) return false;
  if (c < 0 || c >= static_cast<int>(rows[r].size())) return false;
  return rows[r][c] == '#';
}

// Five rows of full blocks with a dark-shade shadow one step down and right,
// then the shadow's last row: six lines, starting at column `left`.
std::vector<Line> blockBanner(const std::string& text, char fg, char shadow, int left) {
  const auto px = pixelsOrThrow(text);
  const int w = static_cast<int>(px[0].size());
  std::vector<Line> out;
  for (int r = 0; r < 6; ++r) {
    LineBuilder b;
    b.padTo(left - 1);
    for (int c = 0; c <= w; ++c) {
      if (pixelAt(px, r, c)) b.putByte(kFull, fg);
      else if (pixelAt(px, r - 1, c - 1)) b.putByte(kDarkShade, shadow);
      else b.put(" ", kPlain);
    }
    Line l = b.line();
    l.text = trimRight(l.text);
    out.push_back(l);
  }
  return out;
}

// Three lines of half blocks (two pixel rows per line) with a medium-shade
// underline: a compact logo for section heads.
std::vector<Line> halfBlockLogo(const std::string& text, char fg, char underline, int left) {
  const auto px = pixelsOrThrow(text);
  const int w = static_cast<int>(px[0].size());
  std::vector<Line> out;
  for (int r = 0; r < 6; r += 2) {
    LineBuilder b;
    b.padTo(left - 1);
    for (int c = 0; c < w; ++c) {
      const bool top = pixelAt(px, r, c);
      const bool bottom = pixelAt(px, r + 1, c);
      if (top && bottom) b.putByte(kFull, fg);
      else if (top) b.putByte(kUpperHalf, fg);
      else if (bottom) b.putByte(kLowerHalf, fg);
      else if (r == 4) b.putByte(kMediumShade, underline);
      else b.put(" ", kPlain);
    }
    out.push_back(b.line());
  }
  return out;
}

// Letters inside a rectangle of full blocks from column 4 to column 77, on a
// light-shade ground, with a strip of small squares between half blocks under it.
std::vector<Line> framedBanner(const std::string& text, char frame, char fg) {
  constexpr int kLeft = 4, kRight = 77;
  const auto px = pixelsOrThrow(text);
  const int w = static_cast<int>(px[0].size());
  const int inner = kRight - kLeft - 1;
  if (w > inner - 2) throw CompileError("framed banner text too wide: " + text);
  const int start = kLeft + 1 + (inner - w) / 2;  // first letter column
  std::vector<Line> out;
  auto edge = [&] {
    LineBuilder b;
    b.padTo(kLeft - 1);
    for (int c = kLeft; c <= kRight; ++c) b.putByte(kFull, frame);
    return b.line();
  };
  out.push_back(edge());
  for (int r = -1; r <= 5; ++r) {
    LineBuilder b;
    b.padTo(kLeft - 1);
    b.putByte(kFull, frame);
    for (int c = kLeft + 1; c < kRight; ++c) {
      const int pc = c - start;
      if (r >= 0 && r < 5 && pixelAt(px, r, pc)) b.putByte(kFull, fg);
      else if (pixelAt(px, r - 1, pc - 1)) b.putByte(kDarkShade, frame);
      else b.putByte(kLightShade, frame);
    }
    b.putByte(kFull, frame);
    out.push_back(b.line());
  }
  out.push_back(edge());
  LineBuilder strip;
  strip.padTo(kLeft - 1);
  strip.putByte(kRightHalf, frame);
  for (int c = kLeft + 1; c < kRight; ++c) {
    if (c % 2 == 0) strip.putByte(kSquare, fg);
    else strip.put(" ", kPlain);
  }
  strip.putByte(kLeftHalf, frame);
  out.push_back(strip.line());
  return out;
}

// ---- numbers and dates in words ---------------------------------------------

// The charts cover one month of one year; dates in the prose name the weekday.
constexpr int kYear = 2009;
constexpr int kMonth = 11;

std::string weekdayName(int year, int month, int day) {
  static const char* names[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  const int y = month < 3 ? year - 1 : year;
  return names[(y + y / 4 - y / 100 + y / 400 + offsets[month - 1] + day) % 7];
}

std::string dateName(int month, int day) {
  static const char* months[] = {"January", "February", "March",     "April",   "May",      "June",
                                 "July",    "August",   "September", "October", "November", "December"};
  return weekdayName(kYear, month, day) + " " + std::to_string(day) + " " + months[month - 1];
}

std::string numberWords(int n) {
  static const char* small[] = {"zero",    "one",     "two",       "three",    "four",     "five",    "six",
                                "seven",   "eight",   "nine",      "ten",      "eleven",   "twelve",  "thirteen",
                                "fourteen", "fifteen", "sixteen",  "seventeen", "eighteen", "nineteen"};
  static const char* tens[] = {"", "", "twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"};
  if (n < 0 || n > 999) throw CompileError("no words for " + std::to_string(n));
  if (n < 20) return small[n];
  if (n < 100) return std::string(tens[n / 10]) + (n % 10 ? std::string("-") + small[n % 10] : "");
  return std::string(small[n / 100]) + " hundred" + (n % 100 ? " and " + numberWords(n % 100) : "");
}

std::string ordinal(int n) {
  const int lastTwo = n % 100, last = n % 10;
  const char* suffix = (lastTwo >= 11 && lastTwo <= 13) ? "th" : last == 1 ? "st" : last == 2 ? "nd" : last == 3 ? "rd" : "th";
  return std::to_string(n) + suffix;
}


// Applies a `:format` to a looked-up value: words, Words (capitalised), nth
// (a number or the day of a date as an ordinal), weekday (of a date).
std::string formatValue(const std::string& value, const std::string& format) {
  const auto words = splitWords(value);
  const bool isDate = words.size() == 3 && isNumber(words[1]);
  const std::string number = isDate ? words[1] : value;
  if (format == "weekday") {
    if (!isDate) throw CompileError(":weekday needs a date, got '" + value + "'");
    return words[0];
  }
  if (!isNumber(number) || number.find('.') != std::string::npos)
    throw CompileError(":" + format + " needs a whole number or a date, got '" + value + "'");
  const int n = std::stoi(number);
  if (format == "nth") return ordinal(n);
  if (isDate) throw CompileError(":" + format + " does not apply to a date");
  if (format == "words") return numberWords(n);
  if (format == "Words") {
    std::string w = numberWords(n);
    w[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(w[0])));
    return w;
  }
  throw CompileError("unknown format :" + format);
}

// ---- article sources --------------------------------------------------------

// What the month's release list says about one group, or about everybody.
struct MonthFacts {
  int byTenths[21] = {};  // releases per points value (index = tenths)
  std::map<int, int> perDay;
  int releases = 0;
};

MonthFacts monthFacts(const std::vector<Release>& releases, const std::string* group) {
  MonthFacts f;
  for (const auto& r : releases) {
    if (group && r.group != *group) continue;
    if (r.tenths >= 0 && r.tenths <= 20) ++f.byTenths[r.tenths];
    ++f.perDay[r.day];
    ++f.releases;
  }
  return f;
}

// Values of the facts fields (days, first, last, busiest, ...). `span` is the
// first and last day of the whole month's list.
bool factValue(const MonthFacts& f, const std::string& field, std::pair<int, int> span, std::string& value) {
  if (f.perDay.empty()) return false;
  const auto busiest = std::max_element(f.perDay.begin(), f.perDay.end(),
                                        [](const auto& a, const auto& b) { return a.second < b.second; });
  const auto quietest = std::min_element(f.perDay.begin(), f.perDay.end(),
                                         [](const auto& a, const auto& b) { return a.second < b.second; });
  if (field == "updates") value = std::to_string(f.byTenths[5]);
  else if (field == "plain") value = std::to_string(f.byTenths[10]);
  else if (field == "bonus") value = std::to_string(f.byTenths[15]);
  else if (field == "double") value = std::to_string(f.byTenths[20]);
  else if (field == "days") value = std::to_string(f.perDay.size());
  else if (field == "idle") value = std::to_string(span.second - span.first + 1 - static_cast<int>(f.perDay.size()));
  else if (field == "first") value = dateName(kMonth, f.perDay.begin()->first);
  else if (field == "last") value = dateName(kMonth, f.perDay.rbegin()->first);
  else if (field == "busiest") value = dateName(kMonth, busiest->first);
  else if (field == "busiestcount") value = std::to_string(busiest->second);
  else if (field == "idlefirst" || field == "idlelast") {
    int found = 0;
    for (int d = span.first; d <= span.second; ++d) {
      if (!f.perDay.count(d) && (!found || field == "idlelast")) found = d;
    }
    if (!found) return false;
    value = dateName(kMonth, found);
  } else if (field == "quietest") value = dateName(kMonth, quietest->first);
  else if (field == "quietestcount") value = std::to_string(quietest->second);
  else if (field.size() == 5 && field.rfind("week", 0) == 0 && field[4] >= '1' && field[4] <= '5') {
    const int week = field[4] - '0';
    int n = 0;
    for (const auto& [day, count] : f.perDay) n += (day - 1) / 7 + 1 == week ? count : 0;
    value = std::to_string(n);
  } else {
    return false;
  }
  return true;
}

struct Substitutions {
  const Charts& charts;
  const std::vector<Release>& releases;
  const Credits* credits;

  bool operator()(const std::string& key, std::string& value) const {
    // music.composer, music.replay, music.N.title, music.N.musician, and
    // from module N's header music.N.channels, .patterns, .instruments,
    // .orders, .speed, .bpm and .table ("linear" or "Amiga")
    if (key.rfind("music.", 0) == 0) {
      if (!credits) return false;
      const std::string k = key.substr(6);
      if (k == "composer") {
        value = credits->composer;
        return true;
      }
      if (k == "replay") {
        value = credits->replayAuthor;
        return true;
      }
      if (k.size() < 3 || k[0] < '1' || k[0] > '4' || k[1] != '.') return false;
      const int n = k[0] - '0';
      const std::string field = k.substr(2);
      const ModuleFacts& m = credits->module[n];
      if (field == "title") value = credits->moduleTitle[n];
      else if (field == "musician") value = credits->moduleMusician[n];
      else if (field == "channels") value = std::to_string(m.channels);
      else if (field == "patterns") value = std::to_string(m.patterns);
      else if (field == "instruments") value = std::to_string(m.instruments);
      else if (field == "orders") value = std::to_string(m.orders);
      else if (field == "speed") value = std::to_string(m.speed);
      else if (field == "bpm") value = std::to_string(m.bpm);
      else if (field == "table") value = m.linear ? "linear" : "Amiga";
      else return false;
      return true;
    }
    // CHART.RANK.FIELD, CHART.GROUP.FIELD or CHART.FIELD (count, points, releases)
    const auto first = key.find('.');
    if (first == std::string::npos) return false;
    const std::string chart = key.substr(0, first);
    const std::vector<ChartRow>* rows = chart == "m"   ? &charts.monthly
                                        : chart == "y" ? &charts.yearly
                                        : chart == "a" ? &charts.allTime
                                        : chart == "p" ? &charts.previous
                                                       : nullptr;
    if (!rows) return false;
    std::pair<int, int> span{99, 0};
    for (const auto& r : releases) span = {std::min(span.first, r.day), std::max(span.second, r.day)};
    const std::string rest = key.substr(first + 1);
    const auto second = rest.find('.');
    if (second == std::string::npos) {
      int tenths = 0, count = 0;
      for (const auto& r : *rows) {
        tenths += r.tenths;
        count += r.releases;
      }
      auto moving = [&](const char* word) {
        return std::to_string(std::count_if(rows->begin(), rows->end(),
                                            [&](const ChartRow& r) { return movementWord(r) == word; }));
      };
      if (rest == "count") value = std::to_string(rows->size());
      else if (rest == "new") value = moving("NEW");
      else if (rest == "up") value = moving("UP");
      else if (rest == "down") value = moving("DOWN");
      else if (rest == "same") value = moving("SAME");
      else if (rest == "climber" || rest == "faller") {
        // The group that moved furthest up (or down); the higher place wins a tie.
        const ChartRow* best = nullptr;
        int bestMove = 0;
        for (const auto& r : *rows) {
          if (r.previousRank == 0) continue;
          const int move = rest == "climber" ? r.previousRank - r.rank : r.rank - r.previousRank;
          if (move > bestMove) {
            best = &r;
            bestMove = move;
          }
        }
        if (!best) return false;
        value = best->name;
      }
      else if (rest == "points") value = formatTenths(tenths);
      else if (rest == "releases") value = std::to_string(count);
      else if (chart == "m") return factValue(monthFacts(releases, nullptr), rest, span, value);
      else return false;
      return true;
    }
    const std::string who = rest.substr(0, second);
    const std::string field = rest.substr(second + 1);
    const ChartRow* row = nullptr;
    const bool byRank = !who.empty() && std::all_of(who.begin(), who.end(), ::isdigit);
    for (const auto& r : *rows) {
      if (byRank ? r.rank == std::stoi(who) : r.name == who) row = &r;
    }
    if (field == "listed") {
      value = row ? "yes" : "no";
      return true;
    }
    if (!row) return false;
    if (field == "name") value = row->name;
    else if (field == "points") value = formatTenths(row->tenths);
    else if (field == "releases") value = std::to_string(row->releases);
    else if (field == "rank") value = std::to_string(row->rank);
    else if (field == "prev") value = row->previousRank ? std::to_string(row->previousRank) : "-";
    else if (field == "move") value = movementAmount(*row);
    else if (field == "dir") value = movementWord(*row);
    else if (chart == "m") return factValue(monthFacts(releases, &row->name), field, span, value);
    else return false;
    return true;
  }
};

int parseInt(const std::string& s, const std::string& what) {
  if (s.empty() || !std::all_of(s.begin(), s.end(), ::isdigit)) throw CompileError("bad " + what + ": '" + s + "'");
  return std::stoi(s);
}

char parseColour(const std::string& s) {
  if (s.size() != 1 || !isColourChar(s[0])) throw CompileError("bad colour '" + s + "'");
  return s[0];
}

char parseRule(const std::string& s) {
  if (s.size() != 1 || s[0] < '0' || s[0] > '8') throw CompileError("bad rule '" + s + "'");
  return s[0];
}

// Everything after the first `n` words of a directive line.
std::string tail(const std::string& line, int n) {
  std::size_t pos = 0;
  for (int i = 0; i < n; ++i) {
    pos = line.find_first_not_of(' ', pos);
    pos = line.find(' ', pos);
    if (pos == std::string::npos) return "";
  }
  const std::size_t start = line.find_first_not_of(' ', pos);
  return start == std::string::npos ? "" : line.substr(start);
}

}  // namespace

namespace {

// The state of one article while its source is read, and one handler per
// directive. Text lines go to `text`; directives are looked up in `kDirectives`.
class ArticleCompiler {
 public:
  ArticleCompiler(const Charts& charts, const std::vector<Release>& releases, const Credits* credits)
      : charts_(charts), releases_(releases), credits_(credits), subst_{charts, releases, credits},
        lookup_([this](const std::string& k, std::string& v) { return subst_(k, v); }) {}

  // One source line (comments already skipped, trailing blanks cut).
  void line(const std::string& line);
  // After the last line: ends the open paragraph and checks what spans the article.
  Article finish(const std::string& name, bool strictCount);

 private:
  // A directive line split into words; `rest(n)` is the text after the first n words.
  struct Args {
    const std::string& line;
    std::vector<std::string> words;
    const std::string& operator[](std::size_t i) const { return words[i]; }
    std::string rest(int n) const { return tail(line, n); }
  };
  struct Directive {
    std::size_t arguments;  // at least this many after the name
    void (ArticleCompiler::*run)(const Args&);
  };
  static const std::map<std::string, Directive> kDirectives;

  void push(Line l);
  void pushAll(const std::vector<Line>& lines) {
    for (const auto& l : lines) push(l);
  }
  void flush();
  void text(const std::string& line);

  void lines(const Args& a) { article_.expectedLines = parseInt(a[1], "line count"); }
  void colour(const Args& a) { colour_ = parseColour(a[1]); }
  void style(const Args& a) {
    if (a[1] != "1" && a[1] != "2") throw CompileError("bad style " + a[1]);
    style_ = a[1][0];
  }
  void wrap(const Args& a) {
    wrapWidth_ = a[1] == "off" ? 0 : parseInt(a[1], "wrap width");
    wrapIndent_ = a.words.size() > 2 ? parseInt(a[2], "indent") : 0;
    if (wrapWidth_ > kWidth) throw CompileError("wrap width above 80");
  }
  void rule(const Args& a) { nextRule_ = parseRule(a[1]); }
  void hr(const Args& a) { push(emptyLine(parseRule(a[1]))); }
  void blank(const Args& a) {
    for (int i = parseInt(a[1], "count"); i > 0; --i) push(emptyLine());
  }
  void title(const Args& a) { pushAll(titleBlock(a.rest(2), parseRule(a[1]))); }
  void banner(const Args& a) {
    pushAll(blockBanner(a.rest(4), parseColour(a[1]), parseColour(a[2]), parseInt(a[3], "column")));
  }
  void logo(const Args& a) {
    pushAll(halfBlockLogo(a.rest(4), parseColour(a[1]), parseColour(a[2]), parseInt(a[3], "column")));
  }
  void frame(const Args& a) { pushAll(framedBanner(a.rest(3), parseColour(a[1]), parseColour(a[2]))); }
  void chart(const Args& a);
  void group(const Args& a);
  void module(const Args& a);
  void tune(const Args& a);
  void end(const Args&) { ended_ = true; }

  const Charts& charts_;
  const std::vector<Release>& releases_;
  const Credits* credits_;
  const Substitutions subst_;
  const Lookup lookup_;

  Article article_;
  char colour_ = '1', style_ = '1', nextRule_ = '0';
  int wrapWidth_ = 0, wrapIndent_ = 0;
  std::vector<Cell> paragraph_;
  bool inParagraph_ = false;
  bool ended_ = false;
  std::set<std::string> groupsShown_;
};

const std::map<std::string, ArticleCompiler::Directive> ArticleCompiler::kDirectives = {
    {"@lines", {1, &ArticleCompiler::lines}},   {"@colour", {1, &ArticleCompiler::colour}},
    {"@style", {1, &ArticleCompiler::style}},   {"@wrap", {1, &ArticleCompiler::wrap}},
    {"@rule", {1, &ArticleCompiler::rule}},     {"@hr", {1, &ArticleCompiler::hr}},
    {"@blank", {1, &ArticleCompiler::blank}},   {"@title", {2, &ArticleCompiler::title}},
    {"@banner", {4, &ArticleCompiler::banner}}, {"@logo", {4, &ArticleCompiler::logo}},
    {"@frame", {3, &ArticleCompiler::frame}},   {"@chart", {1, &ArticleCompiler::chart}},
    {"@group", {1, &ArticleCompiler::group}},   {"@module", {1, &ArticleCompiler::module}},
    {"@tune", {1, &ArticleCompiler::tune}},     {"@end", {0, &ArticleCompiler::end}},
};

void ArticleCompiler::push(Line l) {
  if (nextRule_ != '0') {
    l.rule = nextRule_;
    nextRule_ = '0';
  }
  article_.lines.push_back(std::move(l));
}

void ArticleCompiler::flush() {
  if (!inParagraph_) return;
  for (const auto& cells : wrapCells(paragraph_, wrapWidth_, wrapIndent_, colour_, style_))
    push(makeLine(cells, colour_, style_));
  paragraph_.clear();
  inParagraph_ = false;
}

void ArticleCompiler::line(const std::string& line) {
  if (ended_) {
    if (!line.empty()) throw CompileError("text after @end");
    return;
  }
  if (line.empty() || line[0] != '@') return text(line);
  flush();
  Args args{line, splitWords(line)};
  const auto it = kDirectives.find(args[0]);
  if (it == kDirectives.end()) throw CompileError("unknown directive " + args[0]);
  if (args.words.size() < it->second.arguments + 1)
    throw CompileError(args[0] + " needs " + std::to_string(it->second.arguments) + " argument(s)");
  (this->*it->second.run)(args);
}

void ArticleCompiler::text(const std::string& line) {
  if (wrapWidth_ == 0) {
    push(line.empty() ? emptyLine() : makeLine(parseMarkup(line, colour_, style_, lookup_), colour_, style_));
    return;
  }
  if (line.empty()) {
    flush();
    push(emptyLine());
    return;
  }
  if (inParagraph_) paragraph_.push_back({' ', colour_, style_});
  const auto cells = parseMarkup(line, colour_, style_, lookup_);
  paragraph_.insert(paragraph_.end(), cells.begin(), cells.end());
  inParagraph_ = true;
}

void ArticleCompiler::chart(const Args& a) {
  const std::vector<ChartRow>* rows = a[1] == "monthly"   ? &charts_.monthly
                                      : a[1] == "yearly"  ? &charts_.yearly
                                      : a[1] == "alltime" ? &charts_.allTime
                                                          : nullptr;
  if (!rows) throw CompileError("unknown chart " + a[1]);
  push(chartHeader());
  for (const auto& r : *rows) push(chartRow(r));
}

// A compact logo, then the group's release table and total.
void ArticleCompiler::group(const Args& a) {
  const std::string& g = a[1];
  if (!groupsShown_.insert(g).second) throw CompileError("group shown twice: " + g);
  std::vector<Release> own;
  for (const auto& r : releases_) {
    if (r.group == g) own.push_back(r);
  }
  if (own.empty()) throw CompileError("group without releases this month: " + g);
  std::stable_sort(own.begin(), own.end(), [](const Release& x, const Release& y) {
    return x.month != y.month ? x.month < y.month : x.day < y.day;
  });
  pushAll(halfBlockLogo(g, 'Q', 'U', 3));
  push(emptyLine());
  push(releaseHeader());
  int total = 0;
  for (const auto& r : own) {
    push(releaseRow(r));
    total += r.tenths;
  }
  push(releaseRuleLine());
  push(releaseTotal(total));
}

// "  MUSIC n - Title - composed by Musician"
void ArticleCompiler::module(const Args& a) {
  if (!credits_) throw CompileError("@module needs the music credits");
  const int m = parseInt(a[1], "module");
  if (m < 1 || m > 4) throw CompileError("modules run 1..4");
  LineBuilder b;
  b.put("  ", kPlain).put("MUSIC " + std::to_string(m), 'U').put(" - ", kPlain);
  b.put(credits_->moduleTitle[m], 'O').put(" - composed by ", kPlain).put(credits_->moduleMusician[m], 'Q');
  push(b.line());
}

// "  Fn    Title ....... description"
void ArticleCompiler::tune(const Args& a) {
  if (!credits_) throw CompileError("@tune needs the music credits");
  const int t = parseInt(a[1], "tune");
  if (t < 1 || t > 12) throw CompileError("tunes run 1..12");
  LineBuilder b;
  b.put("  ", kPlain).put("F" + std::to_string(t), 'U').padTo(8);
  b.put(credits_->tuneTitle[t], 'O').put(" ", kPlain);
  b.put(std::string(std::max(1, 28 - b.column()), '.'), kLeaderDots).put(" ", kPlain);
  for (const auto& c : parseMarkup(a.rest(2), colour_, style_, lookup_)) b.putByte(c.ch, c.colour);
  push(b.line());
}

Article ArticleCompiler::finish(const std::string& name, bool strictCount) {
  flush();
  if (!ended_) throw CompileError(name + ": missing @end");
  if (nextRule_ != '0') throw CompileError(name + ": @rule without a line after it");
  if (!groupsShown_.empty()) {
    for (const auto& r : charts_.monthly) {
      if (!groupsShown_.count(r.name)) throw CompileError(name + ": no @group section for " + r.name);
    }
  }
  if (article_.expectedLines >= 0 && article_.expectedLines != static_cast<int>(article_.lines.size())) {
    const std::string message = name + ": " + std::to_string(article_.lines.size()) + " lines, @lines says " +
                                std::to_string(article_.expectedLines);
    if (strictCount) throw CompileError(message);
    std::fprintf(stderr, "contentc: %s\n", message.c_str());
  }
  return article_;
}

}  // namespace

Article compileArticle(const std::string& source, const std::string& name, const Charts& charts,
                       const std::vector<Release>& releases, bool strictCount, const Credits* credits) {
  ArticleCompiler compiler(charts, releases, credits);
  int lineNo = 0;
  try {
    for (const std::string& raw : splitLines(source)) {
      ++lineNo;
      const std::string line = trimRight(raw);
      if (!line.empty() && line[0] == '#') continue;
      compiler.line(line);
    }
  } catch (const CompileError& e) {
    throw CompileError(name + ":" + std::to_string(lineNo) + ": " + e.what());
  }
  return compiler.finish(name, strictCount);
}

// ---- the whole issue ---------------------------------------------------------

namespace {

// Rows of a markdown table under a "## heading" starting with `heading`.
std::vector<std::vector<std::string>> markdownTable(const std::string& text, const std::string& heading) {
  std::vector<std::vector<std::string>> rows;
  bool inSection = false;
  for (const auto& line : splitLines(text)) {
    if (line.rfind("## ", 0) == 0) inSection = line.rfind("## " + heading, 0) == 0;
    if (!inSection || line.empty() || line[0] != '|') continue;
    std::vector<std::string> cells;
    std::string cur;
    for (std::size_t i = 1; i < line.size(); ++i) {
      if (line[i] == '|') {
        const auto a = cur.find_first_not_of(' ');
        cells.push_back(a == std::string::npos ? "" : trimRight(cur.substr(a)));
        cur.clear();
      } else {
        cur += line[i];
      }
    }
    if (cells.empty() || cells[0].empty() || !std::isdigit(static_cast<unsigned char>(cells[0][0]))) continue;
    rows.push_back(cells);
  }
  return rows;
}

std::string sentenceValue(const std::string& text, const std::string& label);

}  // namespace

Credits parseCredits(const std::string& markdown) {
  Credits c;
  const auto modules = markdownTable(markdown, "Modules");
  const auto tunes = markdownTable(markdown, "C64 tunes");
  if (modules.size() != 4 || tunes.size() != 12) throw CompileError("music credits: need 4 modules and 12 tunes");
  for (int m = 1; m <= 4; ++m) {
    if (modules[m - 1][0] != std::to_string(m) || modules[m - 1].size() < 3) throw CompileError("music credits: module rows out of order");
    c.moduleTitle[m] = modules[m - 1][1];
    c.moduleMusician[m] = modules[m - 1][2];
  }
  for (int t = 1; t <= 12; ++t) {
    if (tunes[t - 1][0] != std::to_string(t) || tunes[t - 1].size() < 2) throw CompileError("music credits: tune rows out of order");
    c.tuneTitle[t] = tunes[t - 1][1];
  }
  c.composer = sentenceValue(markdown, "Composer of all twelve: ");
  c.replayAuthor = sentenceValue(markdown, "Replay routine: ");
  return c;
}

namespace {

std::string sentenceValue(const std::string& text, const std::string& label) {
  const auto at = text.find(label);
  if (at == std::string::npos) throw CompileError("music credits: missing '" + label + "'");
  const auto start = at + label.size();
  const auto stop = text.find('.', start);
  return trimRight(text.substr(start, stop - start));
}

// texts.txt: KEY "VALUE" per line; $COMPOSER, $REPLAY and $PROGRAMMER are replaced.
std::string unquote(const std::string& s, const std::string& where) {
  const auto a = s.find('"');
  const auto b = s.rfind('"');
  if (a == std::string::npos || b == a) throw CompileError(where + ": value must be quoted");
  std::string out;
  for (std::size_t i = a + 1; i < b; ++i) {
    if (s[i] == '\\' && i + 1 < b) ++i;
    out += s[i];
  }
  return out;
}

void replaceAll(std::string& s, const std::string& from, const std::string& to) {
  for (std::size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) s.replace(p, from.size(), to);
}

}  // namespace

void checkReleases(const std::vector<Release>& releases) {
  std::map<std::string, const Release*> firstOfTitle;
  for (const auto& r : releases) {
    const std::string where = r.group + " " + formatTenths(r.tenths) + " " + r.title;
    const std::string suffix = "-" + r.group;
    if (r.title.size() <= suffix.size() || r.title.compare(r.title.size() - suffix.size(), suffix.size(), suffix) != 0)
      throw CompileError("release title does not end in -" + r.group + ": " + where);
    const std::string name = r.title.substr(0, r.title.size() - suffix.size());
    const bool update = name.find(".Update.") != std::string::npos;
    const bool multi = name.find(".MULTi") != std::string::npos;
    const bool dvd9 = name.find(".DVD9") != std::string::npos;
    const int expected = update ? 5 : multi && dvd9 ? 20 : multi || dvd9 ? 15 : 10;
    if (r.tenths != expected)
      throw CompileError("release points do not follow its marks (" + formatTenths(expected) + " expected): " + where);
    std::string key;
    for (char c : name) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto [it, isNew] = firstOfTitle.emplace(key, &r);
    if (!isNew) {
      const Release& a = *it->second;
      char dates[32];
      std::snprintf(dates, sizeof dates, "%02d-%02d and %02d-%02d", a.month, a.day, r.month, r.day);
      throw CompileError("title " + name + " listed twice, for " + a.group + " and " + r.group + " (" + dates +
                         "); only the first release of a title counts");
    }
  }
}

ModuleFacts readModuleFacts(const std::string& bytes, const std::string& name) {
  // "Extended Module: " at 0, the header size at 60, then song length,
  // restart position, channels, patterns, instruments, flags, speed, BPM.
  if (bytes.size() < 80 || bytes.compare(0, 17, "Extended Module: ") != 0) {
    throw CompileError(name + ": not an XM module");
  }
  auto u16 = [&](size_t at) {
    return static_cast<int>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
  };
  ModuleFacts m;
  m.orders = u16(64);
  m.channels = u16(68);
  m.patterns = u16(70);
  m.instruments = u16(72);
  m.linear = (u16(74) & 1) != 0;
  m.speed = u16(76);
  m.bpm = u16(78);
  return m;
}

Issue compileIssue(const std::string& contentDir, bool strictCounts, const std::string& modulesDir) {
  namespace fs = std::filesystem;
  const fs::path dir(contentDir);
  Issue issue;

  // Music credits: the one table of titles and names.
  issue.credits = parseCredits(readFile(dir / "music_credits.md"));
  for (int n = 1; n <= 4; ++n) {
    const fs::path folder = modulesDir.empty() ? dir / ".." / "assets" / "modules" : fs::path(modulesDir);
    const fs::path module = folder / ("module" + std::to_string(n) + ".xm");
    issue.credits.module[n] = readModuleFacts(readFile(module), module.filename().string());
  }
  const Credits& credits = issue.credits;

  std::vector<Group> groups;
  for (const auto& l : splitLines(readFile(dir / "data/groups.txt"))) {
    const auto w = splitWords(l);
    if (w.empty() || w[0][0] == '#') continue;
    if (w.size() != 5) throw CompileError("groups.txt: 5 fields per line: " + l);
    groups.push_back({w[0], parseTenths(w[1]), parseInt(w[2], "releases"), parseTenths(w[3]), parseInt(w[4], "releases")});
  }
  std::vector<PreviousRow> previous;
  for (const auto& l : splitLines(readFile(dir / "data/previous_month.txt"))) {
    const auto w = splitWords(l);
    if (w.empty() || w[0][0] == '#') continue;
    if (w.size() != 4) throw CompileError("previous_month.txt: 4 fields per line: " + l);
    previous.push_back({parseInt(w[0], "rank"), w[1], parseTenths(w[2]), parseInt(w[3], "releases")});
  }
  for (const auto& l : splitLines(readFile(dir / "data/releases.txt"))) {
    const auto w = splitWords(l);
    if (w.empty() || w[0][0] == '#') continue;
    if (w.size() < 4 || w[1].size() != 5 || w[1][2] != '-') throw CompileError("releases.txt: GROUP MM-DD POINTS TITLE: " + l);
    Release r{w[0], parseInt(w[1].substr(0, 2), "month"), parseInt(w[1].substr(3), "day"), parseTenths(w[2]), tail(l, 3)};
    if (r.month != kMonth || r.day < 1 || r.day > 25) throw CompileError("release outside November 1..25: " + l);
    issue.releases.push_back(r);
  }
  checkReleases(issue.releases);
  issue.charts = buildCharts(groups, issue.releases, previous);

  for (const auto& entry : fs::directory_iterator(dir / "articles")) {
    const std::string file = entry.path().filename().string();
    if (entry.path().extension() != ".txt" || file.size() < 3 || !std::isdigit(static_cast<unsigned char>(file[0])))
      continue;
    const int n = std::stoi(file.substr(0, 2));
    if (n < 1 || n > 20) throw CompileError(file + ": article numbers run 1..20");
    if (!issue.articles[n].lines.empty()) throw CompileError(file + ": article " + std::to_string(n) + " twice");
    issue.articles[n] = compileArticle(readFile(entry.path()), file, issue.charts, issue.releases, strictCounts, &credits);
  }

  int introLine = 0;
  for (const auto& l : splitLines(readFile(dir / "texts.txt"))) {
    const auto w = splitWords(l);
    if (w.empty() || w[0][0] == '#') continue;
    const std::string& key = w[0];
    std::string value = unquote(l, "texts.txt " + key);
    replaceAll(value, "$COMPOSER", credits.composer);
    replaceAll(value, "$REPLAY", credits.replayAuthor);
    if (key == "title") {
      issue.title = value;
    } else if (key == "intro") {
      if (++introLine > 9) throw CompileError("texts.txt: more than nine intro lines");
      issue.introLines[introLine] = value;
    } else if (key == "scroll") {
      issue.introScroller += value;
    } else if (key == "status") {
      for (int m = 1; m <= 4; ++m)
        issue.bottomScroller[m] = value + credits.moduleTitle[m] + " composed by " + credits.moduleMusician[m] + "....";
    } else if (key == "menu") {
      if (w.size() < 3) throw CompileError("texts.txt: menu N ENABLED \"LABEL\"");
      const int n = parseInt(w[1], "menu entry");
      if (n < 1 || n > 21) throw CompileError("texts.txt: menu entries run 1..21");
      issue.menuEnabled[n] = parseInt(w[2], "enabled flag");
      issue.menuLabels[n] = value;
    } else {
      throw CompileError("texts.txt: unknown key " + key);
    }
  }
  if (introLine != 9) throw CompileError("texts.txt: need nine intro lines");
  return issue;
}

// ---- C++ output ----------------------------------------------------------------

namespace {

std::string literal(const std::string& s) {
  std::string out = "\"";
  bool lastHex = false;
  for (unsigned char c : s) {
    const bool printable = c >= 32 && c < 127;
    if (printable && lastHex && std::isxdigit(c)) out += "\"\"";
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      lastHex = false;
    } else if (printable) {
      out += static_cast<char>(c);
      lastHex = false;
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
      lastHex = true;
    }
  }
  return out + "\"";
}

std::string text(const std::string& s) { return "{" + literal(s) + ", " + std::to_string(s.size()) + "}"; }

}  // namespace

std::string emitCpp(const Issue& issue) {
  std::ostringstream o;
  o << "// Generated by contentc from content/. Do not edit.\n"
    << "#include \"content/content_data.h\"\n\n"
    << "namespace content::data {\nnamespace {\n";
  for (int n = 1; n <= 20; ++n) {
    o << "constexpr LineRecord kArticle" << n << "[] = {\n";
    auto emit = [&](const Line& l) {
      o << "  {" << text(l.text) << ", " << literal(l.colours) << ", " << literal(l.styles) << ", '" << l.rule
        << "'},\n";
    };
    for (const auto& l : issue.articles[n].lines) emit(l);
    Line end = emptyLine();
    end.text = "<END>";
    emit(end);
    o << "};\n";
  }
  o << "}  // namespace\n\nconst ArticleRecord kArticleRecords[21] = {\n  {nullptr, 0},\n";
  for (int n = 1; n <= 20; ++n)
    o << "  {kArticle" << n << ", " << issue.articles[n].lines.size() + 1 << "},\n";
  o << "};\n\nconst TextRecord kMenuLabels[22] = {\n";
  for (const auto& l : issue.menuLabels) o << "  " << text(l) << ",\n";
  o << "};\nconst int32_t kMenuEnabled[22] = {";
  for (int e : issue.menuEnabled) o << e << ", ";
  o << "};\n\nconst TextRecord kTitle = " << text(issue.title) << ";\nconst TextRecord kIntroLines[10] = {\n";
  for (const auto& l : issue.introLines) o << "  " << text(l) << ",\n";
  o << "};\nconst TextRecord kIntroScroller = " << text(issue.introScroller) << ";\nconst TextRecord kBottomScroller[5] = {\n";
  for (const auto& l : issue.bottomScroller) o << "  " << text(l) << ",\n";
  o << "};\n\n}  // namespace content::data\n";
  return o.str();
}

}  // namespace contentc
