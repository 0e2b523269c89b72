// Facts about a module that the composer checks before writing it, and that
// the tests check on the written files.
#pragma once

#include "tools/xmcomposer/xm_file.h"

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

struct NoteFacts {
  int notes = 0;         // note cells (key offs excluded)
  int meterNotes = 0;    // notes 46..83, the ones the level meter shows
  int lowest = 0, highest = 0;
};
NoteFacts noteFacts(const Module& m);

}  // namespace xmc
