// Facts about a module that the composer checks before writing it, and that
// the tests check on the written files.
#pragma once

#include <vector>

#include "tools/assets/xmcomposer/xm_file.h"

namespace xmc {

struct PlayFacts {
  double seconds = 0;     // from the first row until the order list wraps
  int rowsPlayed = 0;
  int orderVisits = 0;    // order positions entered
  bool loopsToStart = false;  // the wrap lands on order position 0 row 0
};

// Walks the song row by row as a player would (speed and tempo changes,
// pattern delay, pattern loops, breaks and jumps) until it leaves the last
// order position or jumps back to one it has already played. One row lasts
// (speed + pattern delay) x 2.5 / bpm seconds.
PlayFacts playFacts(const Module& m);

// One row as it is heard: which pattern row, and for how long.
struct TimedRow {
  int pattern = 0, row = 0;
  double seconds = 0;
};
// The rows in playing order from the start until the order list wraps (the
// same walk as playFacts).
std::vector<TimedRow> rowTimeline(const Module& m);

// The reader's 40-bar note display driven by the song at `fps` frames a
// second: each frame, every channel's note n in the row being heard pushes
// bar n - 45 up by 4 and its neighbours by 3 (notes 46..83); bars fall back
// by 2 a frame between the top row 131 and the rest row 147.
struct MeterFacts {
  int barsEverLit = 0;       // bars drawn in at least one frame
  double meanLitBars = 0;    // bars drawn per frame, on average
};
MeterFacts meterFacts(const Module& m, double fps);

struct NoteFacts {
  int notes = 0;         // note cells (key offs excluded)
  int meterNotes = 0;    // notes 46..83, the ones the level meter shows
  int lowest = 0, highest = 0;
};
NoteFacts noteFacts(const Module& m);

}  // namespace xmc
