#include "tools/assets/xmcomposer/songs/kit.h"

#include <algorithm>
#include <cmath>

#include "tools/assets/xmcomposer/dsp.h"

namespace xmc {

Envelope adsr(int attack, int decay, int sustain) {
  Envelope e;
  // Point ticks must rise: a repeated tick would hold the envelope on it.
  if (attack > 0) e.points.push_back({0, 0});
  e.points.push_back({static_cast<uint16_t>(attack), 64});
  e.points.push_back({static_cast<uint16_t>(attack + decay), static_cast<uint16_t>(sustain)});
  e.sustain = static_cast<int>(e.points.size()) - 1;
  return e;
}

Envelope swell(int attack, int decay) {
  Envelope e;
  if (attack > 0) e.points.push_back({0, 0});
  e.points.push_back({static_cast<uint16_t>(attack), 64});
  e.points.push_back({static_cast<uint16_t>(attack + decay), 0});
  return e;
}

Envelope panDrift(int ticks, int width) {
  Envelope e;
  const uint16_t lo = static_cast<uint16_t>(32 - width), hi = static_cast<uint16_t>(32 + width);
  e.points = {{0, 32}, {static_cast<uint16_t>(ticks), hi}, {static_cast<uint16_t>(3 * ticks), lo},
              {static_cast<uint16_t>(4 * ticks), 32}};
  e.loopStart = 0;
  e.loopEnd = 3;
  return e;
}

Instrument instrument(std::string name, Sample sample, Envelope volume, uint16_t fadeout) {
  Instrument ins;
  ins.name = std::move(name);
  sample.name = ins.name;
  ins.samples.push_back(std::move(sample));
  ins.volume = std::move(volume);
  ins.fadeout = fadeout;
  return ins;
}

Instrument creditLine(std::string text) {
  Instrument ins;
  ins.name = std::move(text);
  return ins;
}

void addCredits(std::vector<Instrument>& instruments, const std::vector<std::string>& lines, size_t count) {
  size_t i = 0;
  while (instruments.size() < count) instruments.push_back(creditLine(i < lines.size() ? lines[i++] : ""));
}

int addPattern(Module& m, const PatternBuilder& p) {
  m.patterns.push_back(p.pattern());
  return static_cast<int>(m.patterns.size()) - 1;
}

void tune(Sample& s, int relativeNote, int period, double rate) {
  // Played at `rate` for C-4, the cycle gives rate / period Hz; middle C is
  // 261.6256 Hz. Whole semitones go into the relative note, the rest into
  // the finetune (1/128 semitone steps).
  const double pitch = rate / period;
  double lo = -8, hi = 8;  // log2 by bisection, free of library logarithms
  for (int i = 0; i < 80; ++i) {
    const double mid = (lo + hi) / 2;
    if (dexp2(mid) * pitch < 261.6256) lo = mid; else hi = mid;
  }
  const double semis = lo * 12;
  const double whole = std::floor(semis + 0.5);
  s.relativeNote = static_cast<int8_t>(relativeNote + static_cast<int>(whole));
  s.finetune = static_cast<int8_t>(std::clamp(std::floor((semis - whole) * 128 + 0.5), -128.0, 127.0));
}

}  // namespace xmc

namespace xmc {

void bassRhythm(PatternBuilder& p, int channel, int row, int stride, std::string_view rhythm,
                std::string_view chord, int octave, int instrument, int volume) {
  const std::vector<int> tones = chordNotes(chord, octave);
  const int root = tones.empty() ? chordRoot(chord, octave) : tones[0];
  for (char c : rhythm) {
    int n = 0;
    switch (c) {
      case 'R': n = root; break;
      case 'O': n = root + 12; break;
      case 'F': n = root + 7; break;
      case 'm': n = root + 10; break;
      case 't': n = tones.size() > 1 ? tones[1] : root; break;
      case '^': p.keyOff(channel, row); break;
      default: break;
    }
    if (n) p.note(channel, row, n, instrument, volume);
    row += stride;
  }
}

void chordFigure(PatternBuilder& p, int channel, int row, int stride, std::string_view figure,
                 std::string_view chord, int octave, int instrument, int volume) {
  const std::vector<int> tones = chordNotes(chord, octave);
  for (char c : figure) {
    if (c >= '1' && c <= '9' && !tones.empty()) {
      const size_t i = static_cast<size_t>(c - '1');
      const int n = tones[i % tones.size()] + 12 * static_cast<int>(i / tones.size());
      p.note(channel, row, n, instrument, volume);
    } else if (c == '^') {
      p.keyOff(channel, row);
    }
    row += stride;
  }
}

}  // namespace xmc
