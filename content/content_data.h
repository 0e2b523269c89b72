// The compiled issue: tables generated at build time by tools/build/contentc from
// the sources in content/ (articles/, data/, texts.txt, music_credits.md).
// buildContent copies them into the LineTables; nothing else reads them.
#pragma once

#include <cstdint>

namespace content::data {

struct TextRecord {
  const char* bytes;  // CP437, not terminated inside the record's length
  uint32_t length;
};

struct LineRecord {
  TextRecord text;
  const char* colours;  // 80 colour-code characters
  const char* styles;   // 80 style digits
  char rule;
};

struct ArticleRecord {
  const LineRecord* lines;  // lines 0..count-1; the last one is the "<END>" line
  int count;
};

extern const ArticleRecord kArticleRecords[21];  // articles 1..20 (0 unused)
extern const TextRecord kMenuLabels[22];         // entries 1..21 (0 unused)
extern const int32_t kMenuEnabled[22];
extern const TextRecord kTitle;
extern const TextRecord kIntroLines[10];  // lines 1..9 (0 unused)
extern const TextRecord kIntroScroller;
extern const TextRecord kBottomScroller[5];  // modules 1..4 (0 unused)

}  // namespace content::data
