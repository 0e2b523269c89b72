// The content compiler (tools/build/contentc) on small sources built in the tests.
#include <gtest/gtest.h>

#include "tools/build/contentc/issue_compiler.h"

namespace {

using namespace contentc;

std::string text(const std::vector<Cell>& cells) {
  std::string s;
  for (const auto& c : cells) s += static_cast<char>(c.ch);
  return s;
}
std::string colours(const std::vector<Cell>& cells) {
  std::string s;
  for (const auto& c : cells) s += c.colour;
  return s;
}

const Lookup kNoLookup = [](const std::string&, std::string&) { return false; };

TEST(Markup, ColourRunsStylesBytesAndBraces) {
  // source -> text, colours
  struct Case { const char* source; const char* text; const char* colours; };
  const Case table[] = {
      {"plain", "plain", "11111"},
      {"a{O}bc{.}d", "abcd", "1OO1"},   // run, then back to the default
      {"{U}x{Q}y", "xy", "UQ"},          // runs switch without closing
      {"{{x", "{x", "11"},               // doubled brace is a literal
      {"{#DB}{#04}", "\xDB\x04", "11"},  // bytes by hex code
  };
  for (const auto& c : table) {
    const auto cells = parseMarkup(c.source, '1', '1', kNoLookup);
    EXPECT_EQ(text(cells), c.text) << c.source;
    EXPECT_EQ(colours(cells), c.colours) << c.source;
  }
  const auto styled = parseMarkup("a{s2}b", '1', '1', kNoLookup);
  EXPECT_EQ(styled[0].style, '1');
  EXPECT_EQ(styled[1].style, '2');
}

TEST(Markup, RejectsUnknownTagsAndValues) {
  for (const char* bad : {"{W}", "{x", "{#G1}", "{s}", "{=m.1.name}", "{}"})
    EXPECT_THROW(parseMarkup(bad, '1', '1', kNoLookup), CompileError) << bad;
}

TEST(Markup, SubstitutesValuesInTheCurrentColour) {
  const Lookup lookup = [](const std::string& k, std::string& v) {
    if (k != "n") return false;
    v = "42";
    return true;
  };
  const auto cells = parseMarkup("{Q}{=n}!", '1', '1', lookup);
  EXPECT_EQ(text(cells), "42!");
  EXPECT_EQ(colours(cells), "QQQ");
}

TEST(Lines, PaddingTakesTheDefaults) {
  const Line l = makeLine(parseMarkup("{O}ab", '3', '2', kNoLookup), '3', '2', '4');
  EXPECT_EQ(l.text, "ab");
  EXPECT_EQ(l.colours, "OO" + std::string(78, '3'));
  EXPECT_EQ(l.styles, std::string(80, '2'));
  EXPECT_EQ(l.rule, '4');
}

TEST(Lines, AnEightyFirstCharacterOnlyAsASpace) {
  std::vector<Cell> cells(80, Cell{'x', '1', '1'});
  EXPECT_NO_THROW(makeLine(cells, '1', '1'));
  cells.push_back({' ', '1', '1'});
  const Line l = makeLine(cells, '1', '1');
  EXPECT_EQ(l.text.size(), 81u);
  EXPECT_EQ(l.colours.size(), 80u);
  cells.back().ch = 'y';
  EXPECT_THROW(makeLine(cells, '1', '1'), CompileError);
}

TEST(Wrap, BreaksAtSpacesWithinTheWidth) {
  const auto cells = parseMarkup("aaa bb {O}cc{.} dddd", '1', '1', kNoLookup);
  const auto lines = wrapCells(cells, 8, 1, '1', '1');
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(text(lines[0]), " aaa bb");
  EXPECT_EQ(text(lines[1]), " cc dddd");  // exactly the width
  EXPECT_EQ(colours(lines[1]), "1OO11111");
}

TEST(Wrap, AWordLongerThanTheWidthGetsALineOfItsOwn) {
  const auto lines = wrapCells(parseMarkup("a bbbbbbbbbb c", '1', '1', kNoLookup), 6, 0, '1', '1');
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(text(lines[1]), "bbbbbbbbbb");
}

TEST(Points, TenthsParseAndFormat) {
  EXPECT_EQ(parseTenths("12.5"), 125);
  EXPECT_EQ(parseTenths("0.5"), 5);
  for (const char* bad : {"12", "1.25", ".5", "1,5", "a.5", ""}) EXPECT_THROW(parseTenths(bad), CompileError) << bad;
  EXPECT_EQ(formatTenths(125), "12.5");
  EXPECT_EQ(formatTenths(5), "0.5");
}

TEST(ChartRows, ColumnsAndColours) {
  const ChartRow row{3, "MOSAIK", 245, 24, 5};
  const Line l = chartRow(row);
  //                   1234567890123456789012345678901234567890123456789012345678901234567890123
  EXPECT_EQ(l.text, "      3. MOSAIK..................    24.5 ......         24 ......  2 UP");
  EXPECT_EQ(l.colours.substr(0, 10), "1111111M11");
  EXPECT_EQ(l.colours.substr(16, 17), std::string(17, '3'));  // dot leader, columns 17..33
  EXPECT_EQ(l.colours.substr(70, 2), "77");                    // UP
}

TEST(ChartRows, MovementWords) {
  // previous rank, rank -> amount, word
  struct Case { int previous, rank; const char* amount; const char* word; };
  const Case table[] = {{0, 4, "-", "NEW"}, {4, 4, "-", "SAME"}, {9, 4, "5", "UP"}, {1, 18, "17", "DOWN"}};
  for (const auto& c : table) {
    const ChartRow r{c.rank, "X", 10, 1, c.previous};
    EXPECT_EQ(movementAmount(r), c.amount);
    EXPECT_EQ(movementWord(r), c.word);
  }
}

TEST(ReleaseRows, ColumnsOfARowAndTheTotal) {
  const Line row = releaseRow({"G", 11, 7, 15, "Harbour.Ferry.DVD9-G"});
  EXPECT_EQ(row.text, " 11-07 - Harbour.Ferry.DVD9-G" + std::string(43, ' ') + " :  1.5");
  EXPECT_EQ(row.text.size(), 79u);
  const Line total = releaseTotal(999);
  EXPECT_EQ(total.text.substr(72), " = 99.9");
  EXPECT_THROW(releaseTotal(1000), CompileError);
  EXPECT_EQ(releaseRuleLine().text, " " + std::string(78, '-'));
}

TEST(TitleBlocks, RuleTitleRule) {
  const auto block = titleBlock("NEWS", '8');
  ASSERT_EQ(block.size(), 3u);
  EXPECT_EQ(block[0].rule, '8');
  EXPECT_EQ(block[2].rule, '8');
  EXPECT_EQ(block[1].rule, '0');
  EXPECT_EQ(block[1].text, " -- NEWS " + std::string(70, '-'));
}

TEST(Charts, RanksByPointsThenReleasesThenName) {
  std::vector<ChartRow> rows = {{0, "B", 50, 5, 0}, {0, "A", 50, 5, 0}, {0, "C", 50, 6, 0}, {0, "D", 70, 1, 0}};
  rankRows(rows);
  // rank -> name
  const char* order[] = {"D", "C", "A", "B"};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(rows[k].name, order[k]);
    EXPECT_EQ(rows[k].rank, k + 1);
  }
}

TEST(Charts, BuildsAllThreeChartsFromTheData) {
  const std::vector<Group> groups = {
      {"OLD", 0, 0, 500, 400},   // retired: only in the all-time chart
      {"BIG", 300, 250, 300, 250},
      {"NEWER", 0, 0, 0, 0},     // first month ever
  };
  const std::vector<Release> releases = {{"BIG", 11, 1, 10, "a-BIG"}, {"NEWER", 11, 2, 15, "b-NEWER"},
                                         {"NEWER", 11, 3, 5, "c-NEWER"}};
  const std::vector<PreviousRow> previous = {{1, "BIG", 40, 4}};
  const Charts c = buildCharts(groups, releases, previous);
  ASSERT_EQ(c.monthly.size(), 2u);
  EXPECT_EQ(c.monthly[0].name, "NEWER");
  EXPECT_EQ(c.monthly[0].tenths, 20);
  EXPECT_EQ(c.monthly[0].releases, 2);
  EXPECT_EQ(movementWord(c.monthly[0]), "NEW");
  EXPECT_EQ(movementWord(c.monthly[1]), "DOWN");
  ASSERT_EQ(c.yearly.size(), 2u);
  EXPECT_EQ(c.yearly[0].tenths, 310);
  ASSERT_EQ(c.allTime.size(), 3u);
  EXPECT_EQ(c.allTime[0].name, "OLD");
  EXPECT_EQ(movementWord(c.allTime[0]), "SAME");
  EXPECT_EQ(c.allTime[1].name, "BIG");
  EXPECT_EQ(movementWord(c.allTime[2]), "NEW");
}

TEST(Charts, RejectsInconsistentData) {
  const std::vector<Group> groups = {{"A", 100, 10, 50, 5}};  // all-time below the year
  EXPECT_THROW(buildCharts(groups, {}, {}), CompileError);
  const std::vector<Group> ok = {{"A", 100, 10, 100, 10}};
  EXPECT_THROW(buildCharts(ok, {{"NOBODY", 11, 1, 10, "x"}}, {}), CompileError);
  EXPECT_THROW(buildCharts(ok, {}, {{1, "A", 200, 20}}), CompileError);  // October above the year so far
  EXPECT_THROW(buildCharts(ok, {}, {{2, "A", 10, 1}}), CompileError);    // ranks must start at 1
}

Article compile(const std::string& source) { return compileArticle(source, "test", Charts{}, {}); }

TEST(Articles, DirectivesMakeLines) {
  const Article a = compile(
      "# a comment line\n"
      "@lines 9\n"
      "@blank 2\n"
      "@hr 6\n"
      "@rule 3\n"
      "ruled text\n"
      "@colour Q\n"
      "@style 2\n"
      "blue\n"
      "\n"
      "@title 4 HI\n"
      "@end\n");
  ASSERT_EQ(a.lines.size(), 9u);
  EXPECT_EQ(a.lines[2].rule, '6');
  EXPECT_EQ(a.lines[3].text, "ruled text");
  EXPECT_EQ(a.lines[3].rule, '3');
  EXPECT_EQ(a.lines[4].colours, std::string(80, 'Q'));
  EXPECT_EQ(a.lines[4].styles, std::string(80, '2'));
  EXPECT_EQ(a.lines[5].colours, std::string(80, '1'));  // an empty line is always plain
  EXPECT_EQ(a.lines[7].text.substr(0, 7), " -- HI ");
}

TEST(Articles, Errors) {
  EXPECT_THROW(compile("@lines 2\n\n@end\n"), CompileError);  // one line, two promised
  EXPECT_THROW(compile("text\n"), CompileError);              // no @end
  EXPECT_THROW(compile("@end\nmore\n"), CompileError);
  EXPECT_THROW(compile("@rule 9\nx\n@end\n"), CompileError);
  EXPECT_THROW(compile("@rule 2\n@end\n"), CompileError);     // rule with no line
  EXPECT_THROW(compile("@chart weekly\n@end\n"), CompileError);
  EXPECT_THROW(compile("@nonsense\n@end\n"), CompileError);
  EXPECT_NO_THROW(compile("@lines 1\n\n@end\n"));
}

TEST(Articles, WrappedParagraphsJoinSourceLines) {
  const Article a = compile("@wrap 20 2\none two\nthree four five six\n\nseven\n@end\n");
  ASSERT_EQ(a.lines.size(), 4u);
  EXPECT_EQ(a.lines[0].text, "  one two three four");
  EXPECT_EQ(a.lines[1].text, "  five six");
  EXPECT_EQ(a.lines[2].text, "");
  EXPECT_EQ(a.lines[3].text, "  seven");
}

// ---- statements about the month ---------------------------------------------

// A small month: ACE releases on Sunday 1st (two), Monday 2nd and Wednesday
// 4th; BEE on Tuesday 3rd and Wednesday 4th. October had only BEE.
struct SmallMonth {
  std::vector<Release> releases = {
      {"ACE", 11, 1, 10, "Alpha-ACE"},       {"ACE", 11, 1, 5, "Alpha.Update.v1.01-ACE"},
      {"ACE", 11, 2, 15, "Beta.DVD9-ACE"},   {"ACE", 11, 4, 20, "Gamma.MULTi3.DVD9-ACE"},
      {"BEE", 11, 3, 10, "Delta-BEE"},       {"BEE", 11, 4, 10, "Epsilon-BEE"},
  };
  Charts charts = buildCharts({{"ACE", 100, 80, 100, 80}, {"BEE", 200, 150, 900, 700}}, releases,
                              {{1, "BEE", 30, 3}});
  std::string value(const std::string& key) const {
    return compileArticle("{=" + key + "}\n@end\n", "month.txt", charts, releases).lines.at(0).text;
  }
  Article compile(const std::string& source, const std::string& name = "month.txt") const {
    return compileArticle(source, name, charts, releases);
  }
};

TEST(MonthFacts, CountsDatesAndWeeksFromTheReleaseList) {
  const SmallMonth m;
  // key -> value
  const std::pair<const char*, const char*> table[] = {
      {"m.ACE.updates", "1"},  {"m.ACE.plain", "1"},      {"m.ACE.bonus", "1"},
      {"m.ACE.double", "1"},   {"m.ACE.days", "3"},       {"m.ACE.idle", "1"},
      {"m.ACE.first", "Sunday 1 November"},               {"m.ACE.last", "Wednesday 4 November"},
      {"m.ACE.busiest", "Sunday 1 November"},             {"m.ACE.busiestcount", "2"},
      {"m.ACE.idlefirst", "Tuesday 3 November"},          {"m.BEE.first", "Tuesday 3 November"},
      {"m.1.updates", "1"},    {"m.first", "Sunday 1 November"},                {"m.last", "Wednesday 4 November"},
      {"m.days", "4"},         {"m.busiest", "Sunday 1 November"},           {"m.week1", "6"},
      {"m.week2", "0"},        {"m.new", "1"},            {"m.down", "1"},
      {"m.faller", "BEE"},     {"m.BEE.listed", "yes"},   {"m.NOBODY.listed", "no"},
      {"m.ACE.days:words", "three"},  {"m.ACE.releases:Words", "Four"},
      {"m.ACE.last:nth", "4th"},      {"m.ACE.last:weekday", "Wednesday"},  {"m.BEE.rank:nth", "2nd"},
  };
  for (const auto& [key, value] : table) EXPECT_EQ(m.value(key), value) << key;
  // Facts of a release list exist only for the month.
  EXPECT_THROW(m.value("y.ACE.updates"), CompileError);
  EXPECT_THROW(m.value("m.climber"), CompileError);  // nobody climbed
  EXPECT_THROW(m.value("m.ACE.first:words"), CompileError);
  EXPECT_THROW(m.value("m.ACE.points:nth"), CompileError);
}

TEST(MonthFacts, NumbersInWordsAndOrdinals) {
  const Lookup lookup = [](const std::string& k, std::string& v) {
    v = k.substr(1);
    return k[0] == 'n';
  };
  // number -> words, ordinal
  const std::tuple<const char*, const char*, const char*> table[] = {
      {"0", "zero", "0th"},           {"13", "thirteen", "13th"},        {"21", "twenty-one", "21st"},
      {"53", "fifty-three", "53rd"},  {"112", "one hundred and twelve", "112th"},
      {"22", "twenty-two", "22nd"},   {"300", "three hundred", "300th"},
  };
  for (const auto& [n, words, nth] : table) {
    EXPECT_EQ(text(parseMarkup(std::string("{=n") + n + ":words}", '1', '1', lookup)), words);
    EXPECT_EQ(text(parseMarkup(std::string("{=n") + n + ":nth}", '1', '1', lookup)), nth);
  }
}

TEST(Claims, TrueClaimsPrintNothing) {
  const SmallMonth m;
  const Article a = m.compile(
      "@wrap 78\n"
      "ACE{?m.ACE.rank == 1} lead{?m.ACE.updates < m.ACE.releases / 2}, most days{?m.ACE.days > m.days * 0.5}\n"
      "but not all{?m.ACE.idle != 0}; first on {=m.ACE.first}{?m.ACE.first == Sunday 1 November}.\n"
      "{?m.BEE.points - m.ACE.points < 1}{?p.BEE.rank >= 1}{?m.ACE.points + 1 > 5.5}{?m.ACE.dir == NEW}\n"
      "@end\n");
  ASSERT_EQ(a.lines.size(), 1u);
  EXPECT_EQ(a.lines[0].text, "ACE lead, most days but not all; first on Sunday 1 November.");
}

TEST(Claims, AFalseStatementStopsTheBuildWithFileLineClaimAndTruth) {
  const SmallMonth m;
  // A note that says most of ACE's releases were updates: one of four was.
  const std::string source =
      "@wrap 78\n"
      "ACE had a quiet month,\n"
      "most of it updates{?m.ACE.updates > m.ACE.releases / 2}.\n"
      "@end\n";
  try {
    m.compile(source, "04_notes.txt");
    FAIL() << "a false claim compiled";
  } catch (const CompileError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("04_notes.txt:3:"), std::string::npos) << message;
    EXPECT_NE(message.find("{?m.ACE.updates > m.ACE.releases / 2}"), std::string::npos) << message;
    EXPECT_NE(message.find("m.ACE.updates is 1"), std::string::npos) << message;
    EXPECT_NE(message.find("m.ACE.releases / 2 is 2"), std::string::npos) << message;
  }
  // Each kind of false claim: comparison, date, text, arithmetic.
  for (const char* claim : {"{?m.ACE.rank == 2}", "{?m.ACE.days >= 4}", "{?m.ACE.first == Monday 2 November}",
                            "{?m.ACE.dir == UP}", "{?m.ACE.points - m.BEE.points > 5}", "{?m.ACE.idle <= 0}",
                            "{?m.BEE.listed == no}", "{?m.ACE.releases * 2 < 8}", "{?m.ACE.releases != 4}"})
    EXPECT_THROW(m.compile(std::string(claim) + "\n@end\n"), CompileError) << claim;
}

TEST(Claims, MalformedClaimsAreErrorsNotSilence) {
  const SmallMonth m;
  for (const char* claim : {"{?m.ACE.rank}", "{?m.ACE.nothing == 1}", "{?m.ACE.first < 3}", "{?m.ACE.rank / 0 == 1}",
                            "{? == 1}", "{?m.NOBODY.rank == 1}"})
    EXPECT_THROW(m.compile(std::string(claim) + "\n@end\n"), CompileError) << claim;
}

TEST(ReleaseList, MarksOwnersAndTitlesListedTwice) {
  const std::vector<Release> good = {
      {"ACE", 11, 1, 10, "Alpha-ACE"},         {"ACE", 11, 1, 5, "Alpha.Update.v1.01-ACE"},
      {"BEE", 11, 2, 15, "Alpha.MULTi5-BEE"},  // another edition of a title is not a duplicate
      {"BEE", 11, 2, 20, "Beta.MULTi3.DVD9-BEE"},
  };
  EXPECT_NO_THROW(checkReleases(good));
  const std::pair<Release, const char*> bad[] = {
      {{"ACE", 11, 3, 15, "Gamma-ACE"}, "points do not follow"},        // 1.5 without a mark
      {{"ACE", 11, 3, 10, "Gamma.DVD9-ACE"}, "points do not follow"},   // a mark without its points
      {{"ACE", 11, 3, 10, "Gamma.Update.2-ACE"}, "points do not follow"},
      {{"ACE", 11, 3, 10, "Gamma-BEE"}, "does not end in -ACE"},
      {{"BEE", 11, 5, 10, "alpha-BEE"}, "listed twice, for ACE and BEE (11-01 and 11-05)"},
  };
  for (const auto& [release, why] : bad) {
    auto list = good;
    list.push_back(release);
    try {
      checkReleases(list);
      ADD_FAILURE() << release.title << " passed";
    } catch (const CompileError& e) {
      EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
    }
  }
}

TEST(Banners, BlockLettersAndFrames) {
  const Article a = compile("@banner O 3 1 HI\n@frame U Q A\n@end\n");
  ASSERT_EQ(a.lines.size(), 6u + 10u);
  // H is "#   #" on its first row, I is "###": one column between letters.
  EXPECT_EQ(a.lines[0].text, "\xDB   \xDB \xDB\xDB\xDB");
  EXPECT_EQ(a.lines[0].colours.substr(0, 1), "O");
  // The shadow falls one row down and one column right.
  EXPECT_EQ(static_cast<unsigned char>(a.lines[1].text[1]), 0xB2);
  const std::string& top = a.lines[6].text;
  EXPECT_EQ(top.substr(0, 3), "   ");
  EXPECT_EQ(top.size(), 77u);
  EXPECT_EQ(top.find_first_not_of('\xDB', 3), std::string::npos);
  EXPECT_THROW(compile("@banner O 3 1 H~\n@end\n"), CompileError);
}

TEST(Credits, ParsesTheMarkdownTables) {
  std::string md = "## Modules\n| module | title | musician |\n|---|---|---|\n";
  for (int m = 1; m <= 4; ++m) md += "| " + std::to_string(m) + " | T" + std::to_string(m) + " | M" + std::to_string(m) + " |\n";
  md += "\n## C64 tunes\n\nComposer of all twelve: ANNA. Replay routine: BO.\n\n| tune | title |\n|---|---|\n";
  for (int t = 1; t <= 12; ++t) md += "| " + std::to_string(t) + " | Tune " + std::to_string(t) + " |\n";
  const Credits c = parseCredits(md);
  EXPECT_EQ(c.moduleTitle[4], "T4");
  EXPECT_EQ(c.moduleMusician[2], "M2");
  EXPECT_EQ(c.tuneTitle[12], "Tune 12");
  EXPECT_EQ(c.composer, "ANNA");
  EXPECT_EQ(c.replayAuthor, "BO");
  EXPECT_THROW(parseCredits("## Modules\n| 1 | a | b |\n"), CompileError);
}

TEST(Credits, ModuleFactsComeFromTheXmHeader) {
  // A header as a tracker writes it: song length 14, restart 0, 6 channels,
  // 9 patterns, 12 instruments, flags 1 (linear), speed 5, 140 BPM.
  std::string xm = "Extended Module: ";
  xm.resize(60, ' ');
  const uint16_t fields[] = {276, 0, 14, 0, 6, 9, 12, 1, 5, 140};  // header size (2 words), then the rest
  for (uint16_t f : fields) xm += static_cast<char>(f & 0xFF), xm += static_cast<char>(f >> 8);
  const ModuleFacts m = readModuleFacts(xm, "x.xm");
  EXPECT_EQ(m.orders, 14);
  EXPECT_EQ(m.channels, 6);
  EXPECT_EQ(m.patterns, 9);
  EXPECT_EQ(m.instruments, 12);
  EXPECT_TRUE(m.linear);
  EXPECT_EQ(m.speed, 5);
  EXPECT_EQ(m.bpm, 140);
  EXPECT_THROW(readModuleFacts(xm.substr(0, 79), "short.xm"), CompileError);
  EXPECT_THROW(readModuleFacts("Extended Module? " + xm.substr(17), "other.xm"), CompileError);

  // The page's keys read them: channels, table, speed and BPM of module 1.
  Credits c;
  c.module[1] = m;
  const Charts charts;
  const Article a = compileArticle("{=music.1.channels} {=music.1.table} {=music.1.speed}/{=music.1.bpm}\n@end\n",
                                   "t", charts, {}, false, &c);
  ASSERT_FALSE(a.lines.empty());
  EXPECT_EQ(a.lines[0].text, "6 linear 5/140");
}

}  // namespace
