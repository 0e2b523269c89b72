// "Last Ferry Home" by Ravn: a melancholic ballad on eight channels.
//
// Amiga table, speed 6 at 125 BPM in half time: 8 rows to the beat, 32 to
// the bar, two bars to the pattern. A minor.
// Channels: 0 and 1 piano (its notes take turns on the two, so each rings
// on under the next like a held pedal), 2 strings or pad (the top voice),
// 3 lead (a soft reed, later a bell), 4 bass, 5 brushes, 6 and 7 the
// strings' or pad's two inner voices.
// The piano part is written out note by note for every pattern: rolled
// chords in the intro and outro, eighths in the verse, flowing sixteenths
// in the first chorus, held chords under the bridge, rolled half-bar chords
// with a climbing top in the last chorus, its voicings moving by step from
// chord to chord. The outro slows down with speed changes; the first
// pattern sets speed 6 again when the song comes round.
//
// Stereo: bass and reed in the middle, the piano's two voices left of
// centre and near it, the strings right (drifting with their panning
// envelope), the pad and the bell further out to either side, the brushes
// a little right.
#include <algorithm>
#include <array>
#include <tuple>
#include <utility>

#include "tools/xmcomposer/dsp.h"
#include "tools/xmcomposer/songs/kit.h"
#include "tools/xmcomposer/songs/songs.h"

namespace xmc {
namespace {

// A felt-damped piano tone: eight harmonics that start together and die
// away, the upper ones sooner, into a mellow loop of one cycle. The onset is
// a 6 ms rise, so a note starts round rather than with a hammer click.
Wave feltPiano(int period, int cycles, int loopCycles) {
  const int length = period * cycles;
  const int settle = length - loopCycles * period;
  Wave out(length);
  for (int i = 0; i < length; ++i) {
    const double t = std::min(1.0, double(i) / settle);
    const double ph = kTwoPi * i / period;
    double v = 0;
    for (int k = 1; k <= 8; ++k) {
      const double start = 1.0 / (k * k);
      const double rest = k == 1 ? 1.0 : k == 2 ? 0.3 : 0.12 / k;
      const double fall = (1 - t) * (1 - t);
      const double amp = start * (rest + (1 - rest) * (k <= 2 ? fall : fall * fall * fall));
      v += amp * dsin(k * ph + 0.3 * k);
    }
    const double rise = i < 100 ? 0.5 - 0.5 * dcos(kPi * i / 100.0) : 1.0;
    out[i] = v * rise;
  }
  return out;
}

enum Ins { kPiano = 1, kStrings, kReed, kBass, kBell, kPad, kBrush, kBrushHat };
constexpr int kPianoCh = 0, kPedalCh = 1, kStringCh = 2, kLeadCh = 3, kBassCh = 4, kBrushCh = 5, kInnerCh0 = 6,
              kInnerCh1 = 7, kChannels = 8;
constexpr int kStringVoices[] = {kStringCh, kInnerCh0, kInnerCh1};
// Brush notes, on the level meter; relative notes undo the shift.
constexpr int nBrush = 52, nBrushHat = 60, kMiddleC = 49;

std::vector<Instrument> makeInstruments() {
  std::vector<Instrument> v;
  constexpr int P = 64;

  Sample piano = makeSample(feltPiano(P, 200, 1), false, 0.95, LoopMode::Forward, P);
  tune(piano, 12, P, kRate12);
  piano.volume = 44;
  piano.panning = 92;
  v.push_back(instrument("felt piano", piano, adsr(1, 100, 24), 420));

  Sample strings = makeSample(lowpassLoop(detunedSaws(P, 64, {-1, 0, 1}, 12), 2200, kRate12), false, 0.9,
                              LoopMode::PingPong, P * 64);
  tune(strings, 12, P, kRate12);
  strings.volume = 42;
  strings.panning = 168;
  Instrument s = instrument("string section", strings, adsr(28, 24, 52), 350);
  s.panning = panDrift(60, 10);
  v.push_back(s);

  Wave reed = squareCycle(P, 0.3, 9);
  const Wave sine = sineCycle(P);
  for (int i = 0; i < P; ++i) reed[i] = 0.45 * reed[i] + 0.7 * sine[i];
  Sample r = makeSample(repeat(reed, 2), false, 0.9, LoopMode::Forward, P);
  tune(r, 12, P, kRate12);
  r.volume = 44;
  Instrument ri = instrument("soft reed", r, adsr(8, 24, 50), 600);
  ri.vibratoType = 0; ri.vibratoSweep = 64; ri.vibratoDepth = 10; ri.vibratoRate = 12;
  v.push_back(ri);

  Wave b = sineCycle(P);
  const Wave tri = triangleCycle(P);
  for (int i = 0; i < P; ++i) b[i] = 0.8 * b[i] + 0.35 * tri[(2 * i) % P];
  Sample bass = makeSample(repeat(b, 2), false, 0.95, LoopMode::Forward, P);
  tune(bass, 12, P, kRate12);
  bass.volume = 44;
  v.push_back(instrument("round bass", bass, adsr(1, 60, 36), 900));

  Sample bell = makeSample(fm(P, 48, 2.0, 3.0, 0.6, 1), false, 0.9, LoopMode::Forward, P);
  tune(bell, 12, P, kRate12);
  bell.volume = 34;
  bell.panning = 184;
  v.push_back(instrument("glass bell", bell, adsr(0, 70, 10), 400));

  Sample pad = makeSample(lowpassLoop(detunedSaws(P, 64, {-2, 1}, 6), 900, kRate12), false, 0.9,
                          LoopMode::Forward, P * 64);
  tune(pad, 12, P, kRate12);
  pad.volume = 46;
  pad.panning = 72;
  v.push_back(instrument("night pad", pad, adsr(40, 30, 48), 250));

  Wave sweep = snare(kRate12, 31);
  for (size_t i = 0; i < sweep.size(); ++i) sweep[i] *= i < 300 ? i / 300.0 : 1.0;  // a brush, not a stick
  Sample brush = makeSample(sweep, false, 0.8);
  brush.relativeNote = static_cast<int8_t>(12 - (nBrush - kMiddleC));
  brush.volume = 34;
  brush.panning = 150;
  v.push_back(instrument("brush", brush));
  Sample tick = makeSample(hat(kRate24, 0.05, 33), false, 0.7);
  tick.relativeNote = static_cast<int8_t>(24 - (nBrushHat - kMiddleC));
  tick.volume = 26;
  tick.panning = 176;
  v.push_back(instrument("brush hat", tick));
  return v;
}

using Bars = std::array<const char*, 2>;

struct Section {
  Bars chords;
  Bars lead = {nullptr, nullptr};
  int leadIns = kReed;
  int leadTranspose = 0;
  Bars piano = {nullptr, nullptr};  // one bar each, one token per `pianoStride` rows
  int pianoStride = 4;
  bool strings = false;
  int stringIns = kStrings;
  int stringTone = 2;  // which chord tone the strings hold (1-based)
  const char* bass = nullptr;  // one bar in 8ths (8 steps of 4 rows)
  const char* brushes = nullptr;  // one bar in 16ths (16 steps of 2 rows)
};

const DrumKit kBrushes = {
    {'s', {kBrush, nBrush, -1}}, {'S', {kBrush, nBrush, 12}}, {'h', {kBrushHat, nBrushHat, -1}},
    {'g', {kBrushHat, nBrushHat, 30}},
};

int build(Module& m, const Section& s) {
  PatternBuilder p(kChannels);
  for (int bar = 0; bar < 2; ++bar) {
    const int r0 = bar * 32;
    const std::string_view chord = s.chords[bar];
    if (s.lead[bar]) p.notes(kLeadCh, r0, 4, s.lead[bar], s.leadIns, -1, s.leadTranspose);
    if (s.piano[bar]) p.notes(kPianoCh, r0, s.pianoStride, s.piano[bar], kPiano);
    if (s.strings) {
      const std::vector<int> tones = chordNotes(chord, 4);
      // The named tone on top, the other two below it, softer.
      const int top = tones[(s.stringTone - 1) % tones.size()];
      p.note(kStringCh, r0, top, s.stringIns);
      int inner = 0;
      for (int t : tones) {
        if (t == top || inner == 2) continue;
        p.note(kInnerCh0 + inner, r0, t > top ? t - 12 : t, s.stringIns, 40);
        
        ++inner;
      }
    }
    if (s.bass) bassRhythm(p, kBassCh, r0, 4, s.bass, chord, 2, kBass);
    if (s.brushes) p.drums(kBrushCh, r0, 2, s.brushes, kBrushes);
  }
  // Every other piano note moves to the second piano channel.
  bool turn = false;
  for (int r = 0; r < p.rows(); ++r) {
    Cell& c = p.at(r, kPianoCh);
    if (c.note == 0 || c.note == kKeyOff) continue;
    if (turn) std::swap(c, p.at(r, kPedalCh));
    turn = !turn;
  }
  for (int c : {kPianoCh, kPedalCh}) {
    for (int r = 0; r < p.rows(); ++r) {
      if (p.at(r, c).note != 0) p.volume(c, r, static_cast<uint8_t>(0xC0 | (c == kPianoCh ? 0x5 : 0x7)));
    }
  }
  for (int c : {kStringCh, kInnerCh0, kInnerCh1, kLeadCh, kBassCh}) p.releaseIdle(c);
  return addPattern(m, p);
}

}  // namespace

Module lastFerryHome() {
  Module m;
  m.name = "Last Ferry Home";
  m.channels = kChannels;
  m.linear = false;
  m.speed = 6;
  m.bpm = 125;
  m.instruments = makeInstruments();
  addCredits(m.instruments,
             {"", "Last Ferry Home", "composed by Ravn", "", "for the Quorvaline", "Charts, issue 36", "",
              "the lights of the", "harbour grow small", "and the water is", "very quiet tonight", "",
              "sounds: our own synth"},
             31);

  const Bars v1 = {"Am", "F"}, v2 = {"C", "G"}, v3 = {"Am", "Em"}, v4 = {"F", "E"};
  const Bars c1 = {"F", "G"}, c2 = {"Em", "Am"}, c3 = {"Dm", "G"}, c4 = {"C", "E"};
  const Bars b1 = {"Dm", "Am"}, b2 = {"F", "E"};

  const char* bassHalf = "R.....F.";
  const char* bassMove = "R...O.F.";

  // Verse melody (stride 4 rows = eighth notes at half time).
  const Bars mv1 = {"E-5 . . D-5 C-5 . B-4 C-5", "A-4 . . . . . C-5 D-5"};
  const Bars mv2 = {"E-5 . . G-5 E-5 . D-5 C-5", "D-5 . . . . . . ."};
  const Bars mv3 = {"E-5 . . D-5 C-5 . B-4 A-4", "B-4 . . G-4 . . B-4 ."};
  const Bars mv4 = {"C-5 . . B-4 A-4 . C-5 .", "B-4 . . . ^ . . ."};
  // Chorus melody.
  const Bars mc1 = {"A-5 . . G-5 F-5 . E-5 F-5", "G-5 . . . D-5 . . ."};
  const Bars mc2 = {"E-5 . . F-5 G-5 . B-5 .", "A-5 . . . . . . ."};
  const Bars mc3 = {"F-5 . . E-5 D-5 . F-5 .", "G-5 . . F-5 E-5 . D-5 ."};
  const Bars mc4 = {"E-5 . . D-5 C-5 . . .", "G#4 . . . B-4 . . ."};

  // The piano. Intro and outro: a chord rolled up from the bass, then a
  // sigh on the top.
  const Bars kIntro1 = {"A-3 E-4 C-5 . . . B-4 .", "F-3 C-4 A-4 . . . G-4 ."};
  const Bars kIntro2 = {"C-4 G-4 E-5 . . . D-5 .", "G-3 D-4 B-4 . . . A-4 ."};
  // Verse: eighths that climb and fall back, the top voice stepping.
  const Bars kVerse1 = {"A-3 E-4 A-4 C-5 B-4 . A-4 E-4", "A-3 F-4 A-4 C-5 . A-4 F-4 C-4"};
  const Bars kVerse2 = {"G-3 E-4 G-4 C-5 D-5 . C-5 G-4", "G-3 D-4 G-4 B-4 . D-5 B-4 G-4"};
  const Bars kVerse3 = {"A-3 E-4 A-4 C-5 E-5 . C-5 A-4", "G-3 E-4 G-4 B-4 . G-4 E-4 B-3"};
  const Bars kVerse4 = {"A-3 F-4 C-5 F-5 E-5 . C-5 A-4", "G#3 E-4 G#4 B-4 . D-5 B-4 G#4"};
  // Chorus: sixteenths up and down, a new top note in each half bar.
  const Bars kChorus1 = {"F-3 C-4 F-4 A-4 C-5 A-4 F-4 C-4 F-3 C-4 F-4 A-4 E-5 C-5 A-4 F-4",
                         "G-3 D-4 G-4 B-4 D-5 B-4 G-4 D-4 G-3 D-4 G-4 B-4 F-5 D-5 B-4 G-4"};
  const Bars kChorus2 = {"E-3 B-3 E-4 G-4 B-4 G-4 E-4 B-3 E-3 B-3 E-4 G-4 D-5 B-4 G-4 E-4",
                         "A-3 E-4 A-4 C-5 E-5 C-5 A-4 E-4 A-3 E-4 A-4 B-4 C-5 B-4 A-4 E-4"};
  const Bars kChorus3 = {"D-3 A-3 D-4 F-4 A-4 F-4 D-4 A-3 D-3 A-3 D-4 F-4 C-5 A-4 F-4 D-4",
                         "G-3 D-4 G-4 B-4 D-5 B-4 G-4 D-4 B-3 D-4 G-4 B-4 D-5 F-5 D-5 B-4"};
  const Bars kChorus4 = {"C-4 G-4 C-5 E-5 G-5 E-5 C-5 G-4 C-4 G-4 C-5 E-5 D-5 C-5 G-4 E-4",
                         "E-3 B-3 E-4 G#4 B-4 G#4 E-4 B-3 E-3 B-3 D-4 G#4 B-4 D-5 B-4 G#4"};
  // Last chorus: the same harmony in held half-bar chords, rolled, with
  // the top voice climbing from bar to bar.
  const Bars kLast1 = {"F-3 C-4 A-4 C-5 . . . . F-3 C-4 A-4 E-5 . . . .",
                       "G-3 D-4 B-4 D-5 . . . . G-3 D-4 B-4 F-5 . . . ."};
  const Bars kLast2 = {"E-3 B-3 G-4 B-4 . . . . E-3 B-3 G-4 D-5 . . . .",
                       "A-3 E-4 C-5 E-5 . . . . A-3 E-4 C-5 A-5 . . . ."};
  const Bars kLast3 = {"D-3 A-3 F-4 A-4 . . . . D-3 A-3 F-4 C-5 . . . .",
                       "G-3 D-4 B-4 D-5 . . . . G-3 F-4 B-4 F-5 . . . ."};
  const Bars kLast4 = {"C-4 G-4 E-5 G-5 . . . . C-4 G-4 E-5 C-6 . . . .",
                       "E-3 B-3 G#4 B-4 . . . . E-3 D-4 G#4 D-5 . . . ."};
  // Interlude: the bell has the tune; the piano only marks the bass and
  // a high answer at the end of each bar.
  const Bars kInter1 = {"A-3 . . . E-4 . C-5 .", "F-3 . . . C-4 . A-4 ."};
  const Bars kInter2 = {"C-4 . . . G-4 . E-5 .", "G-3 . . . D-4 . B-4 ."};
  // Bridge: held chords, the inner voice falling by step.
  const Bars kBridge1 = {"D-3 A-3 F-4 A-4 . . D-5 .", "C-4 E-4 A-4 . . . C-5 ."};
  const Bars kBridge2 = {"C-4 F-4 A-4 . . . C-5 .", "B-3 E-4 G#4 . . D-5 B-4 G#4"};
  const Bars kOutro1 = {"A-3 E-4 C-5 . . . B-4 .", "G-3 E-4 B-4 . . . G-4 ."};
  const Bars kOutro2 = {"F-3 C-4 A-4 . . . G-4 .", "A-3 E-4 A-4 C-5 . . . ."};

  const char* brushVerse = "h.g.s.g.h.g.s.gh";
  const char* brushChorus = "h.ghs.ghh.ghs.gS";
  const char* brushBridge = "g...s...g...s...";

  const auto sec = [&](Bars chords, Bars lead, Bars piano, bool strings, const char* bass) {
    Section s{chords, lead};
    s.brushes = bass == nullptr ? nullptr
                : std::string_view(bass) == bassMove ? brushChorus : brushVerse;
    s.piano = piano;
    // A bar of eight tokens moves in eighths, one of sixteen in sixteenths.
    const std::string_view first = piano[0] ? piano[0] : "";
    s.pianoStride = std::count(first.begin(), first.end(), ' ') >= 15 ? 2 : 4;
    s.strings = strings;
    s.bass = bass;
    return s;
  };

  std::vector<int> order;
  const auto add = [&](const Section& s) {
    const int n = build(m, s);
    order.push_back(n);
    return n;
  };

  // Intro: piano over the pad.
  Section intro1 = sec(v1, {nullptr, nullptr}, kIntro1, true, nullptr);
  intro1.stringIns = kPad;
  intro1.stringTone = 3;
  const int pIntro1 = add(intro1);
  Section intro2 = sec(v2, {nullptr, nullptr}, kIntro2, true, nullptr);
  intro2.stringIns = kPad;
  add(intro2);
  // Verse 1: reed over piano and bass, the pad holding the chord's fifth.
  for (const auto& [chords, tune, piano] : {std::tuple{v1, mv1, kVerse1}, std::tuple{v2, mv2, kVerse2},
                                            std::tuple{v3, mv3, kVerse3}, std::tuple{v4, mv4, kVerse4}}) {
    Section v = sec(chords, tune, piano, true, bassHalf);
    v.stringIns = kPad;
    v.stringTone = 3;
    add(v);
  }
  // Chorus 1: the strings come in.
  add(sec(c1, mc1, kChorus1, true, bassMove));
  add(sec(c2, mc2, kChorus2, true, bassMove));
  add(sec(c3, mc3, kChorus3, true, bassMove));
  add(sec(c4, mc4, kChorus4, true, bassMove));
  // Interlude: the bell plays the verse tune an octave up, sparse piano.
  Section i1 = sec(v1, mv1, kInter1, true, bassHalf);
  i1.leadIns = kBell; i1.leadTranspose = 12; i1.stringIns = kPad;
  add(i1);
  Section i2 = sec(v2, mv2, kInter2, true, bassHalf);
  i2.leadIns = kBell; i2.leadTranspose = 12; i2.stringIns = kPad;
  add(i2);
  // Bridge: darker chords, strings on the root with tremolo, a few lead notes.
  Section br1 = sec(b1, {"D-5 . . . F-5 . . .", "E-5 . . . C-5 . . ."}, kBridge1, true, bassMove);
  br1.stringTone = 1;
  br1.brushes = brushBridge;
  const int pBridge1 = add(br1);
  Section br2 = sec(b2, {"A-4 . . . C-5 . . .", "B-4 . . . G#4 . . ."}, kBridge2, true, bassMove);
  br2.stringTone = 3;
  br2.brushes = brushBridge;
  const int pBridge2 = add(br2);
  // Last chorus: held piano chords, the strings on the root at the end.
  add(sec(c1, mc1, kLast1, true, bassMove));
  add(sec(c2, mc2, kLast2, true, bassMove));
  add(sec(c3, mc3, kLast3, true, bassMove));
  Section last = sec(c4, mc4, kLast4, true, bassMove);
  last.stringTone = 1;
  add(last);
  // Outro: verse chords, the piano rolls them again, slowing down.
  Section o1 = sec(v3, {"E-5 . . D-5 C-5 . B-4 A-4", "B-4 . . . . . . ."}, kOutro1, true, bassHalf);
  o1.stringIns = kPad;
  add(o1);
  Section o2 = sec({"F", "Am"}, {nullptr, "A-4 . . . . . . ."}, kOutro2, true, "R.......");
  o2.brushes = nullptr;
  const int pOutro = add(o2);

  // Speed: reset at the top, ritardando at the very end.
  m.patterns[pIntro1].cells[0 * kChannels + kBassCh].effect = kSpeed;
  m.patterns[pIntro1].cells[0 * kChannels + kBassCh].param = 6;
  Pattern& po = m.patterns[pOutro];
  const int slow[][2] = {{32, 7}, {40, 8}, {48, 9}, {56, 11}};
  for (const auto& s : slow) {
    po.cells[s[0] * kChannels + kBassCh].effect = kSpeed;
    po.cells[s[0] * kChannels + kBassCh].param = static_cast<uint8_t>(s[1]);
  }
  // Tremolo strings in the bridge.
  for (int p : {pBridge1, pBridge2}) {
    for (int r = 0; r < 64; ++r) {
      for (int c : kStringVoices) {
        m.patterns[p].cells[r * kChannels + c].effect = kTremolo;
        m.patterns[p].cells[r * kChannels + c].param = r == 0 ? 0x64 : 0x00;
      }
    }
  }
  // The pad swells in under the first chord with volume slides: the top
  // voice up to full, the two inner voices to about 40.
  Pattern& pi1 = m.patterns[pIntro1];
  for (int c : kStringVoices) pi1.cells[0 * kChannels + c].volume = volumeColumn(8);
  for (int r = 2; r <= 24; r += 2) {
    for (int c : kStringVoices) {
      if (c != kStringCh && r % 4 != 0) continue;
      pi1.cells[r * kChannels + c].effect = kVolSlide;
      pi1.cells[r * kChannels + c].param = 0x10;
    }
  }

  for (int n : order) m.order.push_back(static_cast<uint8_t>(n));
  return m;
}

}  // namespace xmc
