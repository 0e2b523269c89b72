#include "tools/assets/xmcomposer/compose.h"

#include <algorithm>
#include <cctype>

namespace xmc {
namespace {

int pitchClass(char letter) {
  switch (std::toupper(static_cast<unsigned char>(letter))) {
    case 'C': return 0;
    case 'D': return 2;
    case 'E': return 4;
    case 'F': return 5;
    case 'G': return 7;
    case 'A': return 9;
    case 'B': return 11;
    default: return -1;
  }
}

// Root pitch class of a chord name and the length of the root spelling.
int rootOf(std::string_view chord, size_t& used) {
  int pc = chord.empty() ? -1 : pitchClass(chord[0]);
  used = 1;
  if (pc < 0) return -1;
  if (chord.size() > 1 && chord[1] == '#') { ++pc; used = 2; }
  if (chord.size() > 1 && chord[1] == 'b') { --pc; used = 2; }
  return (pc + 12) % 12;
}

}  // namespace

int noteNumber(std::string_view name) {
  if (name.size() != 3) return 0;
  const int pc = pitchClass(name[0]);
  if (pc < 0 || (name[1] != '-' && name[1] != '#') || name[2] < '0' || name[2] > '7') return 0;
  if (name[1] == '#' && (pc == 4 || pc == 11)) return 0;  // no E# or B# in tracker spelling
  return 1 + (name[2] - '0') * 12 + pc + (name[1] == '#' ? 1 : 0);
}

int chordRoot(std::string_view chord, int octave) {
  size_t used = 0;
  const int pc = rootOf(chord, used);
  return pc < 0 ? 0 : 1 + octave * 12 + pc;
}

std::vector<int> chordNotes(std::string_view chord, int octave) {
  size_t used = 0;
  const int root = chordRoot(chord, octave);
  rootOf(chord, used);
  if (root == 0) return {};
  const std::string_view q = chord.substr(used);
  std::vector<int> iv;
  if (q == "") iv = {0, 4, 7};
  else if (q == "m") iv = {0, 3, 7};
  else if (q == "7") iv = {0, 4, 7, 10};
  else if (q == "m7") iv = {0, 3, 7, 10};
  else if (q == "maj7") iv = {0, 4, 7, 11};
  else if (q == "m9") iv = {0, 3, 7, 10, 14};
  else if (q == "add9") iv = {0, 4, 7, 14};
  else if (q == "madd9") iv = {0, 3, 7, 14};
  else if (q == "sus2") iv = {0, 2, 7};
  else if (q == "sus4") iv = {0, 5, 7};
  else if (q == "6") iv = {0, 4, 7, 9};
  else if (q == "dim") iv = {0, 3, 6};
  else return {};
  for (int& i : iv) i += root;
  return iv;
}

PatternBuilder::PatternBuilder(int channels, int rows) : channels_(channels) {
  pattern_.rows = rows;
  pattern_.cells.assign(static_cast<size_t>(rows) * channels, Cell{});
}

Cell& PatternBuilder::at(int row, int channel) {
  return pattern_.cells.at(static_cast<size_t>(row) * channels_ + channel);
}

void PatternBuilder::note(int channel, int row, int n, int instrument, int volume) {
  if (row < 0 || row >= pattern_.rows) return;
  Cell& c = at(row, channel);
  c.note = static_cast<uint8_t>(n);
  c.instrument = static_cast<uint8_t>(instrument);
  if (volume >= 0) c.volume = volumeColumn(std::min(volume, 64));
}

void PatternBuilder::keyOff(int channel, int row) {
  if (row >= 0 && row < pattern_.rows) at(row, channel).note = kKeyOff;
}

void PatternBuilder::notes(int channel, int row, int stride, std::string_view tokens, int instrument, int volume,
                           int transpose) {
  size_t i = 0;
  while (i < tokens.size()) {
    while (i < tokens.size() && tokens[i] == ' ') ++i;
    if (i >= tokens.size()) break;
    size_t j = i;
    while (j < tokens.size() && tokens[j] != ' ') ++j;
    const std::string_view tok = tokens.substr(i, j - i);
    i = j;
    if (tok == "^") {
      keyOff(channel, row);
    } else if (tok != "." && tok != "~") {
      const size_t at = tok.find('@');
      const int n = noteNumber(tok.substr(0, 3));
      int v = volume;
      if (at != std::string_view::npos) v = std::stoi(std::string(tok.substr(at + 1)));
      if (n > 0) note(channel, row, n + transpose, instrument, v);
    }
    row += stride;
  }
}

void PatternBuilder::drums(int channel, int row, int stride, std::string_view hits, const DrumKit& kit) {
  for (char ch : hits) {
    if (ch == ' ') continue;
    const auto it = kit.find(ch);
    if (it != kit.end()) note(channel, row, it->second.note, it->second.instrument, it->second.volume);
    row += stride;
  }
}

void PatternBuilder::fx(int channel, int row, uint8_t effect, uint8_t param) {
  if (row < 0 || row >= pattern_.rows) return;
  Cell& c = at(row, channel);
  c.effect = effect;
  c.param = param;
}

void PatternBuilder::volume(int channel, int row, uint8_t columnByte) {
  if (row >= 0 && row < pattern_.rows) at(row, channel).volume = columnByte;
}

void PatternBuilder::releaseIdle(int channel) {
  for (int r = 0; r < pattern_.rows; ++r) {
    if (at(r, channel).note != 0) return;
  }
  at(0, channel).note = kKeyOff;
}

void PatternBuilder::echo(int from, int to, int delay, double scale, int fallbackVolume) {
  for (int r = pattern_.rows - 1 - delay; r >= 0; --r) {
    const Cell src = at(r, from);
    if (src.note == 0) continue;
    Cell& dst = at(r + delay, to);
    dst.note = src.note;
    dst.instrument = src.instrument;
    if (src.note != kKeyOff) {
      const int v = (src.volume >= 0x10 && src.volume <= 0x50) ? src.volume - 0x10 : fallbackVolume;
      dst.volume = volumeColumn(static_cast<int>(v * scale));
    }
  }
}

}  // namespace xmc
