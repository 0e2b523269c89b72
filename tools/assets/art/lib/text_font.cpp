#include "tools/assets/art/lib/text_font.h"

#include <algorithm>
#include <map>
#include <vector>

#include "tools/assets/art/lib/glyph_source.h"

namespace art {

namespace {

constexpr int kSkeletonWidth = 7;
constexpr int kHeavyWidth = 8;

// A two-level mask of one cell.
struct Mask {
  std::array<bool, kCellWidth * kCellHeight> bits{};
  bool get(int x, int y) const {
    return x >= 0 && y >= 0 && x < kCellWidth && y < kCellHeight && bits[y * kCellWidth + x];
  }
  void set(int x, int y) {
    if (x >= 0 && y >= 0 && x < kCellWidth && y < kCellHeight) bits[y * kCellWidth + x] = true;
  }
  bool empty() const { return std::none_of(bits.begin(), bits.end(), [](bool b) { return b; }); }
};

Mask maskFromRows(const std::vector<std::string>& rows) {
  Mask m;
  for (int y = 0; y < static_cast<int>(rows.size()); ++y)
    for (int x = 0; x < static_cast<int>(rows[y].size()); ++x)
      if (rows[y][x] != '.') m.set(x, y);
  return m;
}

Mask unite(const Mask& a, const Mask& b) {
  Mask m;
  for (std::size_t i = 0; i < m.bits.size(); ++i) m.bits[i] = a.bits[i] || b.bits[i];
  return m;
}

// Double-strike: every stroke gains the pixel to its right.
Mask embolden(const Mask& skeleton) {
  Mask m = skeleton;
  for (int y = 0; y < kCellHeight; ++y)
    for (int x = 0; x < kCellWidth - 1; ++x)
      if (skeleton.get(x, y)) m.set(x + 1, y);
  return m;
}

// One step darker along the tone ramp, for the shaded right edges of strokes.
uint8_t darker(uint8_t tone) {
  switch (tone) {
    case kToneWhite: return kToneBright;
    case kToneBright: return kToneLight;
    case kToneLight: return kToneMid;
    case kToneMid: return kToneGrey;
    default: return kToneDark;
  }
}

// Heavy face: lit from above-left. A vertical ramp from white at the cap line
// to mid grey at the baseline, the right edge of each stroke one step darker,
// top edges caught by the light, and a deep drop shadow down-right so the
// letters stand off a busy skin.
GlyphCell shadeHeavy(const Mask& m) {
  static constexpr uint8_t kRamp[kCellHeight] = {kToneWhite, kToneWhite, kToneWhite,  kToneWhite,
                                                 kToneBright, kToneBright, kToneLight, kToneLight,
                                                 kToneMid,   kToneMid,   kToneGrey,  kToneGrey};
  GlyphCell cell{};
  for (int y = 0; y < kCellHeight; ++y) {
    for (int x = 0; x < kCellWidth; ++x) {
      uint8_t& v = cell[y * kCellWidth + x];
      if (m.get(x, y)) {
        bool rightEdge = m.get(x - 1, y) && !m.get(x + 1, y);
        bool topEdge = !m.get(x, y - 1);
        v = kRamp[y];
        if (rightEdge) v = darker(v);
        else if (topEdge) v = kToneWhite;
      } else if (m.get(x - 1, y - 1)) {
        v = kToneShadow;
      }
    }
  }
  return cell;
}

// Light face: thin strokes with a gentler ramp; the inside corners of
// diagonal steps are filled with a deep grey so slopes read smoother.
GlyphCell shadeLight(const Mask& m) {
  static constexpr uint8_t kRamp[kCellHeight] = {kToneWhite,  kToneWhite,  kToneWhite, kToneWhite,
                                                 kToneBright, kToneBright, kToneBright, kToneLight,
                                                 kToneLight,  kToneMid,   kToneMid,   kToneMid};
  GlyphCell cell{};
  for (int y = 0; y < kCellHeight; ++y) {
    for (int x = 0; x < kCellWidth; ++x) {
      uint8_t& v = cell[y * kCellWidth + x];
      if (m.get(x, y)) {
        v = kRamp[y];
        continue;
      }
      // An empty pixel between two diagonal neighbours with no straight
      // neighbour joining them on this side.
      bool stepDownRight = m.get(x - 1, y) && m.get(x, y + 1) && !m.get(x - 1, y + 1);
      bool stepDownLeft = m.get(x + 1, y) && m.get(x, y + 1) && !m.get(x + 1, y + 1);
      bool stepUpRight = m.get(x - 1, y) && m.get(x, y - 1) && !m.get(x - 1, y - 1);
      bool stepUpLeft = m.get(x + 1, y) && m.get(x, y - 1) && !m.get(x + 1, y - 1);
      if (stepDownRight || stepDownLeft || stepUpRight || stepUpLeft) v = kToneDeep;
    }
  }
  return cell;
}

// ---- box drawing -----------------------------------------------------------

struct BoxGeometry {
  int stroke;  // band width in pixels
  int centreX, centreY;
  int gap;  // a double line's bands sit at centre -/+ gap
};

constexpr BoxGeometry kHeavyBox{2, 4, 5, 2};
constexpr BoxGeometry kLightBox{1, 4, 5, 2};

std::vector<int> bands(int type, int centre, int gap) {
  if (type == 1) return {centre};
  if (type == 2) return {centre - gap, centre + gap};
  return {};
}

int lowest(const std::vector<int>& a, const std::vector<int>& b = {}) {
  int v = 1 << 20;
  for (int p : a) v = std::min(v, p);
  for (int p : b) v = std::min(v, p);
  return v;
}

int highest(const std::vector<int>& a, const std::vector<int>& b = {}) {
  int v = -(1 << 20);
  for (int p : a) v = std::max(v, p);
  for (int p : b) v = std::max(v, p);
  return v;
}

// Draws the arms of a box character. Each arm is one or two straight bands
// running from its cell edge to where it meets the crossing lines: a line
// that has a crossing arm on its own side stops at that arm's near band (the
// inner corner); one with nothing on its side runs on to the far band (the
// outer corner). So doubles form proper corners and tees, and the bands run
// to the cell edges where the neighbouring cell's lines continue them.
GlyphCell boxCell(const BoxArms& a, const BoxGeometry& g, bool heavy) {
  const int w = g.stroke;
  const int lastX = kCellWidth - 1, lastY = kCellHeight - 1;
  std::vector<int> pu = bands(a.up, g.centreX, g.gap), pd = bands(a.down, g.centreX, g.gap);
  std::vector<int> ql = bands(a.left, g.centreY, g.gap), qr = bands(a.right, g.centreY, g.gap);
  // Each pixel remembers its distance into the band (0 = lit edge).
  std::array<int, kCellWidth * kCellHeight> depth;
  depth.fill(-1);
  auto mark = [&](int x, int y, int d) {
    int& v = depth[y * kCellWidth + x];
    v = (v < 0) ? d : std::min(v, d);
  };
  auto hline = [&](int row, int x0, int x1) {
    for (int d = 0; d < w; ++d)
      for (int x = std::max(0, x0); x <= std::min(lastX, x1); ++x) mark(x, row + d, d);
  };
  auto vline = [&](int col, int y0, int y1) {
    for (int d = 0; d < w; ++d)
      for (int y = std::max(0, y0); y <= std::min(lastY, y1); ++y) mark(col + d, y, d);
  };

  // Horizontal arms.
  for (int side = 0; side < 2; ++side) {  // 0: right arm, 1: left arm
    int type = side == 0 ? a.right : a.left;
    bool across = (side == 0 ? a.left : a.right) > 0;
    for (int q : (side == 0 ? qr : ql)) {
      const bool centre = type == 1;
      const bool upper = q < g.centreY;
      int meet;  // column of the band where this line stops, or -1 for the far edge
      if (centre) {
        if (a.up && a.down) meet = across ? -1 : (side == 0 ? highest(pu, pd) : lowest(pu, pd));
        else if (a.up || a.down) meet = across ? -1 : (side == 0 ? lowest(a.up ? pu : pd) : highest(a.up ? pu : pd));
        else meet = across ? -1 : g.centreX;
      } else {
        const std::vector<int>& own = upper ? pu : pd;
        const std::vector<int>& other = upper ? pd : pu;
        if (!own.empty()) meet = side == 0 ? highest(own) : lowest(own);
        else if (across) meet = -1;
        else if (!other.empty()) meet = side == 0 ? lowest(other) : highest(other);
        else meet = g.centreX;
      }
      if (side == 0) hline(q, meet < 0 ? 0 : meet, lastX);
      else hline(q, 0, meet < 0 ? lastX : meet + w - 1);
    }
  }
  // Vertical arms.
  for (int side = 0; side < 2; ++side) {  // 0: down arm, 1: up arm
    int type = side == 0 ? a.down : a.up;
    bool across = (side == 0 ? a.up : a.down) > 0;
    for (int p : (side == 0 ? pd : pu)) {
      const bool centre = type == 1;
      const bool leftLine = p < g.centreX;
      int meet;
      if (centre) {
        if (across) meet = -1;
        else if (a.left && a.right) meet = side == 0 ? highest(ql, qr) : lowest(ql, qr);
        else if (a.left || a.right) meet = side == 0 ? lowest(a.left ? ql : qr) : highest(a.left ? ql : qr);
        else meet = g.centreY;
      } else {
        const std::vector<int>& own = leftLine ? ql : qr;
        const std::vector<int>& other = leftLine ? qr : ql;
        if (!own.empty()) meet = side == 0 ? highest(own) : lowest(own);
        else if (across) meet = -1;
        else if (!other.empty()) meet = side == 0 ? lowest(other) : highest(other);
        else meet = g.centreY;
      }
      if (side == 0) vline(p, meet < 0 ? 0 : meet, lastY);
      else vline(p, 0, meet < 0 ? lastY : meet + w - 1);
    }
  }

  GlyphCell cell{};
  for (std::size_t i = 0; i < cell.size(); ++i) {
    if (depth[i] < 0) continue;
    cell[i] = heavy ? (depth[i] == 0 ? kToneWhite : kToneGrey) : kToneBright;
  }
  return cell;
}

// Ordered-dither thresholds with a period of 3 columns and 4 rows, which
// divide the 9 x 12 cell, so shaded areas tile without a seam.
constexpr int kDither[4][3] = {{0, 8, 4}, {6, 2, 10}, {3, 11, 7}, {9, 5, 1}};

GlyphCell fillCell(bool heavy, int x0, int x1, int y0, int y1) {
  GlyphCell cell{};
  uint8_t tone = heavy ? kToneWhite : kToneBright;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) cell[y * kCellWidth + x] = tone;
  return cell;
}

}  // namespace

BoxArms boxArms(int code) {
  // up, down, left, right for 0xB3..0xDA in code order.
  static constexpr uint8_t kArms[40][4] = {
      {1, 1, 0, 0}, {1, 1, 1, 0}, {1, 1, 2, 0}, {2, 2, 1, 0}, {0, 2, 1, 0},  // B3 B4 B5 B6 B7
      {0, 1, 2, 0}, {2, 2, 2, 0}, {2, 2, 0, 0}, {0, 2, 2, 0}, {2, 0, 2, 0},  // B8 B9 BA BB BC
      {2, 0, 1, 0}, {1, 0, 2, 0}, {0, 1, 1, 0}, {1, 0, 0, 1}, {1, 0, 1, 1},  // BD BE BF C0 C1
      {0, 1, 1, 1}, {1, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}, {1, 1, 0, 2},  // C2 C3 C4 C5 C6
      {2, 2, 0, 1}, {2, 0, 0, 2}, {0, 2, 0, 2}, {2, 0, 2, 2}, {0, 2, 2, 2},  // C7 C8 C9 CA CB
      {2, 2, 0, 2}, {0, 0, 2, 2}, {2, 2, 2, 2}, {1, 0, 2, 2}, {2, 0, 1, 1},  // CC CD CE CF D0
      {0, 1, 2, 2}, {0, 2, 1, 1}, {2, 0, 0, 1}, {1, 0, 0, 2}, {0, 1, 0, 2},  // D1 D2 D3 D4 D5
      {0, 2, 0, 1}, {2, 2, 1, 1}, {1, 1, 2, 2}, {1, 0, 1, 0}, {0, 1, 0, 1},  // D6 D7 D8 D9 DA
  };
  if (code < 0xB3 || code > 0xDA) return {};
  const uint8_t* r = kArms[code - 0xB3];
  return {r[0], r[1], r[2], r[3]};
}

bool isProceduralGlyph(int code) { return (code >= 0xB0 && code <= 0xDF) || code == 0xFE; }

GlyphCell proceduralCell(int code, bool heavy) {
  if (code >= 0xB0 && code <= 0xB2) {
    const int threshold = 3 * (code - 0xB0 + 1);  // 25 %, 50 %, 75 % of the pixels
    GlyphCell cell{};
    for (int y = 0; y < kCellHeight; ++y)
      for (int x = 0; x < kCellWidth; ++x)
        if (kDither[y % 4][x % 3] < threshold) cell[y * kCellWidth + x] = heavy ? kToneWhite : kToneBright;
    return cell;
  }
  if (code >= 0xB3 && code <= 0xDA) return boxCell(boxArms(code), heavy ? kHeavyBox : kLightBox, heavy);
  switch (code) {
    case 0xDB: return fillCell(heavy, 0, kCellWidth - 1, 0, kCellHeight - 1);
    case 0xDC: return fillCell(heavy, 0, kCellWidth - 1, kCellHeight / 2, kCellHeight - 1);
    case 0xDD: return fillCell(heavy, 0, 3, 0, kCellHeight - 1);
    case 0xDE: return fillCell(heavy, 4, kCellWidth - 1, 0, kCellHeight - 1);
    case 0xDF: return fillCell(heavy, 0, kCellWidth - 1, 0, kCellHeight / 2 - 1);
    case 0xFE: return fillCell(heavy, 2, 6, 3, 8);
    default: return {};
  }
}

bool buildTextFont(const std::string& source, IndexedPicture& font, std::string& error) {
  const std::vector<BlockShape> shapes = {{"glyph", kCellHeight, kSkeletonWidth},
                                          {"heavy", kCellHeight, kHeavyWidth},
                                          {"mark", kCellHeight, kSkeletonWidth},
                                          {"helper", kCellHeight, kSkeletonWidth},
                                          {"compose", 0, 0}};
  std::vector<GlyphBlock> blocks;
  if (!parseGlyphBlocks(source, shapes, blocks, error)) return false;

  std::map<int, Mask> skeletons, heavies;
  std::map<std::string, Mask> named;  // marks and helpers
  std::vector<const GlyphBlock*> compositions;
  for (const GlyphBlock& b : blocks) {
    const std::string where = "line " + std::to_string(b.line) + ": ";
    if (b.args.empty()) {
      error = where + "missing code or name";
      return false;
    }
    if (b.kind == "mark" || b.kind == "helper") {
      named[b.args[0]] = maskFromRows(b.rows);
      continue;
    }
    int code = parseHexCode(b.args[0]);
    if (code < 33 || code > 255) {
      error = where + "code must be 21..FF";
      return false;
    }
    if (isProceduralGlyph(code)) {
      error = where + "this code is drawn procedurally";
      return false;
    }
    if (b.kind == "glyph") skeletons[code] = maskFromRows(b.rows);
    else if (b.kind == "heavy") heavies[code] = maskFromRows(b.rows);
    else compositions.push_back(&b);
  }
  for (const GlyphBlock* b : compositions) {
    const std::string where = "line " + std::to_string(b->line) + ": ";
    if (b->args.size() < 2) {
      error = where + "compose needs a base";
      return false;
    }
    Mask m;
    int base = parseHexCode(b->args[1]);
    if (base >= 0 && skeletons.count(base)) m = skeletons[base];
    else if (named.count(b->args[1])) m = named[b->args[1]];
    else {
      error = where + "unknown base '" + b->args[1] + "'";
      return false;
    }
    for (std::size_t i = 2; i < b->args.size(); ++i) {
      if (!named.count(b->args[i])) {
        error = where + "unknown mark '" + b->args[i] + "'";
        return false;
      }
      m = unite(m, named[b->args[i]]);
    }
    skeletons[parseHexCode(b->args[0])] = m;
  }

  font = IndexedPicture(kTextFontWidth, kTextFontHeight);
  for (int i = 0; i < static_cast<int>(kTextFontPalette.size()); ++i)
    font.setColour(i, kTextFontPalette[i][0], kTextFontPalette[i][1], kTextFontPalette[i][2]);

  for (int code = 33; code <= 255; ++code) {
    GlyphCell heavyCell, lightCell;
    if (isProceduralGlyph(code)) {
      heavyCell = proceduralCell(code, true);
      lightCell = proceduralCell(code, false);
    } else if (skeletons.count(code)) {
      const Mask& s = skeletons[code];
      heavyCell = shadeHeavy(heavies.count(code) ? heavies[code] : embolden(s));
      lightCell = shadeLight(s);
    } else if (code == 255) {
      continue;  // the no-break space stays blank
    } else {
      error = "no glyph for code " + std::to_string(code);
      return false;
    }
    const int x0 = textGlyphColumn(code);
    for (int y = 0; y < kCellHeight; ++y) {
      for (int x = 0; x < kCellWidth; ++x) {
        font.at(x0 + x, kHeavyFaceTop + y) = heavyCell[y * kCellWidth + x];
        font.at(x0 + x, kLightFaceTop + y) = lightCell[y * kCellWidth + x];
      }
    }
  }
  return true;
}

}  // namespace art
