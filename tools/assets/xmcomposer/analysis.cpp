#include "tools/assets/xmcomposer/analysis.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace xmc {

namespace {

// Walks the song as a player would, calling `visit(pattern, row, seconds)`
// for every row played.
template <typename Visit>
PlayFacts walk(const Module& m, Visit visit) {
  PlayFacts f;
  int speed = m.speed, bpm = m.bpm;
  int order = 0, row = 0;
  std::set<int> visited{0};
  f.orderVisits = 1;
  std::vector<int> loopRow(m.channels, 0), loopCount(m.channels, 0);
  const int songLength = static_cast<int>(m.order.size());
  for (int guard = 0; guard < 100000; ++guard) {
    const Pattern& p = m.patterns.at(m.order.at(order));
    int nextOrder = -1, nextRow = -1, delay = 0;
    bool jumped = false;
    for (int c = 0; c < m.channels; ++c) {
      const Cell& cell = p.cells.at(static_cast<size_t>(row) * m.channels + c);
      const int hi = cell.param >> 4, lo = cell.param & 15;
      switch (cell.effect) {
        case 0xF:
          if (cell.param < 32) speed = cell.param; else bpm = cell.param;
          break;
        case 0xB:
          nextRow = 0;
          nextOrder = cell.param < songLength ? cell.param : 0;
          jumped = true;
          break;
        case 0xD:
          nextRow = hi * 10 + lo;
          if (nextRow > 63) nextRow = 0;
          if (!jumped) nextOrder = order + 1;
          if (nextOrder >= songLength) nextOrder = 0;
          break;
        case 0xE:
          if (hi == 6) {
            if (lo == 0) {
              loopRow[c] = row;
            } else {
              loopCount[c] = loopCount[c] == 0 ? lo : loopCount[c] - 1;
              if (loopCount[c] != 0) nextRow = loopRow[c];
            }
          } else if (hi == 14) {
            delay = speed * lo;
          }
          break;
        default:
          break;
      }
    }
    const double rowSeconds = (std::max(speed, 1) + delay) * 2.5 / bpm;
    visit(m.order.at(order), row, rowSeconds);
    f.seconds += rowSeconds;
    ++f.rowsPlayed;
    if (nextRow < 0) {
      nextRow = row + 1;
      if (nextRow >= p.rows) {
        nextOrder = order + 1 < songLength ? order + 1 : m.restart;
        nextRow = 0;
        if (order + 1 >= songLength) {
          f.loopsToStart = nextOrder == 0;
          return f;
        }
      }
    }
    if (nextOrder >= 0 && nextOrder != order) {
      if (visited.count(nextOrder)) {
        f.loopsToStart = nextOrder == 0 && nextRow == 0;
        return f;
      }
      visited.insert(nextOrder);
      ++f.orderVisits;
      order = nextOrder;
    }
    row = nextRow;
  }
  return f;
}

}  // namespace

PlayFacts playFacts(const Module& m) {
  return walk(m, [](int, int, double) {});
}

std::vector<TimedRow> rowTimeline(const Module& m) {
  std::vector<TimedRow> rows;
  walk(m, [&](int pattern, int row, double seconds) { rows.push_back({pattern, row, seconds}); });
  return rows;
}

MeterFacts meterFacts(const Module& m, double fps) {
  constexpr int kBars = 40;
  constexpr double kTop = 131, kRest = 147;
  std::vector<double> bar(kBars + 1, kRest);
  std::vector<bool> lit(kBars, false);
  MeterFacts f;
  long frames = 0, litTotal = 0;
  double rowEnd = 0, now = 0;
  const std::vector<TimedRow> rows = rowTimeline(m);
  for (const TimedRow& r : rows) {
    rowEnd += r.seconds;
    for (; now < rowEnd; now += 1.0 / fps, ++frames) {
      const Pattern& p = m.patterns.at(r.pattern);
      for (int c = 0; c < m.channels; ++c) {
        const int i = p.cells.at(static_cast<size_t>(r.row) * m.channels + c).note - 45;
        if (i >= 1 && i <= 38) {
          bar[i] -= 4;
          bar[i - 1] -= 3;
          bar[i + 1] -= 3;
        }
      }
      for (int b = 0; b < kBars; ++b) {
        if (bar[b] < kTop) bar[b] = kTop;
        if (bar[b] <= kRest) bar[b] += 2;
        if (std::floor(bar[b]) <= kRest) {
          lit[b] = true;
          ++litTotal;
        }
      }
    }
  }
  for (bool b : lit) f.barsEverLit += b ? 1 : 0;
  f.meanLitBars = frames ? double(litTotal) / frames : 0;
  return f;
}

NoteFacts noteFacts(const Module& m) {
  NoteFacts f;
  f.lowest = 255;
  std::set<int> used(m.order.begin(), m.order.end());
  for (int pi : used) {
    for (const Cell& c : m.patterns.at(pi).cells) {
      if (c.note == 0 || c.note == kKeyOff) continue;
      ++f.notes;
      if (c.note >= 46 && c.note <= 83) ++f.meterNotes;
      f.lowest = std::min<int>(f.lowest, c.note);
      f.highest = std::max<int>(f.highest, c.note);
    }
  }
  if (f.notes == 0) f.lowest = 0;
  return f;
}

}  // namespace xmc
