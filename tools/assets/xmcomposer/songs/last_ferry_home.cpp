// "Last Ferry Home" by Ravn: a melancholic ballad on four channels.
//
// Amiga table, speed 6 at 125 BPM in half time: 8 rows to the beat, 32 to
// the bar, two bars to the pattern. A minor.
// Channels: 0 piano, 1 bass, 2 the tune (a soft reed, a bell in the
// interlude, the strings in the bridge; where nobody sings, a second pad
// voice), 3 the colour of each section: a held pad in the intro, verse and
// outro, the strings in the first chorus and at the end of the last, the
// brushes in the interlude, the bridge and the last chorus. The held pad
// and strings play the chord with the arpeggio effect and move from note
// to note legato, so the bed never breaks off at a change of chord.
// The piano plays its chords broken, note by note on its one channel, and
// its part is written out for every pattern: rolled chords in the intro
// and outro, eighths in the verse, flowing sixteenths in the first chorus,
// sparse marks in the interlude, held chords under the bridge, rolled
// half-bar chords with a climbing top in the last chorus, its voicings
// moving by step from chord to chord. The outro slows down with speed
// changes; the first pattern sets speed 6 again when the song comes round.
//
// Stereo: bass and reed in the middle, the piano and the bell left of
// centre, the pad, the strings (drifting with their panning envelope) and
// the brushes right.
#include <algorithm>
#include <array>
#include <tuple>
#include <utility>

#include "tools/assets/xmcomposer/dsp.h"
#include "tools/assets/xmcomposer/songs/kit.h"
#include "tools/assets/xmcomposer/songs/songs.h"

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
constexpr int kPianoCh = 0, kBassCh = 1, kLeadCh = 2, kColourCh = 3, kChannels = 4;
// Brush notes, on the level meter; relative notes undo the shift.
constexpr int nBrush = 52, nBrushHat = 60, kMiddleC = 49;

std::vector<Instrument> makeInstruments() {
  std::vector<Instrument> v;
  constexpr int P = 64;

  Sample piano = makeSample(feltPiano(P, 200, 1), false, 0.95, LoopMode::Forward, P);
  tune(piano, 12, P, kRate12);
  piano.volume = 44;
  piano.panning = 80;
  v.push_back(instrument("felt piano", piano, adsr(1, 100, 24), 420));

  Sample strings = makeSample(lowpassLoop(detunedSaws(P, 64, {-1, 0, 1}, 12), 2200, kRate12), false, 0.9,
                              LoopMode::PingPong, P * 64);
  tune(strings, 12, P, kRate12);
  strings.volume = 52;
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
  bell.panning = 72;
  v.push_back(instrument("glass bell", bell, adsr(0, 70, 10), 400));

  Sample pad = makeSample(lowpassLoop(detunedSaws(P, 64, {-2, 1}, 6), 900, kRate12), false, 0.9,
                          LoopMode::Forward, P * 64);
  tune(pad, 12, P, kRate12);
  pad.volume = 56;
  pad.panning = 176;
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
  int heldIns = 0;     // pad or strings holding a chord tone on the colour channel, 0 = none
  int heldTone = 2;    // which chord tone it holds (1-based)
  Bars held = {nullptr, nullptr};  // or, written out, one note a bar ("." keeps the one before)
  int underTone = 0;   // with no tune, the tune's channel holds this tone too
  const char* bass = nullptr;     // one bar in 8ths (8 steps of 4 rows)
  const char* brushes = nullptr;  // one bar in 16ths (16 steps of 2 rows), on the colour channel
};

const DrumKit kBrushes = {
    {'s', {kBrush, nBrush, -1}}, {'S', {kBrush, nBrush, 12}}, {'h', {kBrushHat, nBrushHat, -1}},
    {'g', {kBrushHat, nBrushHat, 30}},
};

// What a channel is holding when a pattern ends.
struct Hold {
  int note = 0, instrument = 0;
};

// Holds `note` on `channel` from `row`: nothing new if it holds that note
// already, a legato change of pitch (tone portamento in the volume column,
// no new attack) if it holds another note of the same instrument, else a
// new note.
void holdNote(PatternBuilder& p, Hold& h, int channel, int row, int note, int instrument, int volume) {
  if (h.instrument == instrument && h.note == note) return;
  if (h.instrument == instrument && h.note != 0) {
    Cell& c = p.at(row, channel);
    c.note = static_cast<uint8_t>(note);
    c.volume = 0xFF;
  } else {
    p.note(channel, row, note, instrument, volume);
  }
  h = {note, instrument};
}

// `under` and `colour` carry what the tune's and the colour channel hold
// from one pattern to the next.
int build(Module& m, const Section& s, Hold& under, Hold& colour) {
  PatternBuilder p(kChannels);
  const bool sung = s.lead[0] || s.lead[1];
  for (int bar = 0; bar < 2; ++bar) {
    const int r0 = bar * 32;
    const std::string_view chord = s.chords[bar];
    const std::vector<int> tones = chordNotes(chord, 4);
    if (s.lead[bar]) p.notes(kLeadCh, r0, 4, s.lead[bar], s.leadIns, -1, s.leadTranspose);
    if (s.piano[bar]) p.notes(kPianoCh, r0, s.pianoStride, s.piano[bar], kPiano);
    if (s.heldIns) {
      // The held note, and an arpeggio that turns it into the bar's chord:
      // the two chord tones above it that do not rub a semitone against it.
      const int n = s.held[bar] ? noteNumber(s.held[bar]) : tones[(s.heldTone - 1) % tones.size()];
      if (n) holdNote(p, colour, kColourCh, r0, n, s.heldIns, -1);
      std::vector<int> steps;
      for (int t : tones) {
        const int up = ((t - colour.note) % 12 + 12) % 12;
        if (up > 1 && up < 11) steps.push_back(up);
      }
      std::sort(steps.begin(), steps.end());
      if (steps.size() >= 2) {
        for (int r = r0; r < r0 + 32; ++r) p.fx(kColourCh, r, kArpeggio, static_cast<uint8_t>(steps[0] << 4 | steps[1]));
      }
    }
    if (s.underTone && !sung) holdNote(p, under, kLeadCh, r0, tones[(s.underTone - 1) % tones.size()], s.heldIns, 40);
    if (s.bass) bassRhythm(p, kBassCh, r0, 4, s.bass, chord, 2, kBass);
    if (s.brushes) p.drums(kColourCh, r0, 2, s.brushes, kBrushes);
  }
  if (!s.heldIns) colour = {};
  if (!s.underTone || sung) under = {};
  p.releaseIdle(kBassCh);
  if (!under.note) p.releaseIdle(kLeadCh);
  if (!colour.note) p.releaseIdle(kColourCh);
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

  const auto sec = [&](Bars chords, Bars lead, Bars piano, const char* bass) {
    Section s{chords, lead};
    s.piano = piano;
    // A bar of eight tokens moves in eighths, one of sixteen in sixteenths.
    const std::string_view first = piano[0] ? piano[0] : "";
    s.pianoStride = std::count(first.begin(), first.end(), ' ') >= 15 ? 2 : 4;
    s.bass = bass;
    return s;
  };

  std::vector<int> order;
  Hold under, colour;
  const auto add = [&](const Section& s) {
    const int n = build(m, s, under, colour);
    order.push_back(n);
    return n;
  };

  // Intro: piano over two pad voices.
  Section intro1 = sec(v1, {nullptr, nullptr}, kIntro1, nullptr);
  intro1.heldIns = kPad; intro1.heldTone = 3; intro1.underTone = 1;
  const int pIntro1 = add(intro1);
  Section intro2 = sec(v2, {nullptr, nullptr}, kIntro2, nullptr);
  intro2.heldIns = kPad; intro2.heldTone = 2; intro2.underTone = 1;
  add(intro2);
  // Verse 1: reed over piano and bass, the pad holding an E through the
  // changes (stepping down to D under the G).
  for (const auto& [chords, tune, piano, held] :
       {std::tuple{v1, mv1, kVerse1, Bars{"E-5", "."}}, std::tuple{v2, mv2, kVerse2, Bars{"E-5", "D-5"}},
        std::tuple{v3, mv3, kVerse3, Bars{"E-5", "."}}, std::tuple{v4, mv4, kVerse4, Bars{"E-5", "."}}}) {
    Section v = sec(chords, tune, piano, bassHalf);
    v.heldIns = kPad; v.held = held;
    add(v);
  }
  // Chorus 1: the strings come in under the flowing piano, a slow line
  // that keeps its note where the chords share one.
  for (const auto& [chords, tune, piano, held] :
       {std::tuple{c1, mc1, kChorus1, Bars{"C-5", "D-5"}}, std::tuple{c2, mc2, kChorus2, Bars{"E-5", "."}},
        std::tuple{c3, mc3, kChorus3, Bars{"F-5", "."}}, std::tuple{c4, mc4, kChorus4, Bars{"E-5", "."}}}) {
    Section c = sec(chords, tune, piano, bassMove);
    c.heldIns = kStrings; c.held = held;
    add(c);
  }
  // Interlude: the bell plays the verse tune an octave up over brushes,
  // sparse piano.
  Section i1 = sec(v1, mv1, kInter1, bassHalf);
  i1.leadIns = kBell; i1.leadTranspose = 12; i1.brushes = brushVerse;
  add(i1);
  Section i2 = sec(v2, mv2, kInter2, bassHalf);
  i2.leadIns = kBell; i2.leadTranspose = 12; i2.brushes = brushVerse;
  add(i2);
  // Bridge: darker chords, the strings take the tune with tremolo.
  Section br1 = sec(b1, {"D-5 . . . F-5 . . .", "E-5 . . . C-5 . . ."}, kBridge1, bassMove);
  br1.leadIns = kStrings; br1.brushes = brushBridge;
  const int pBridge1 = add(br1);
  Section br2 = sec(b2, {"A-4 . . . C-5 . . .", "B-4 . . . G#4 . . ."}, kBridge2, bassMove);
  br2.leadIns = kStrings; br2.brushes = brushBridge;
  const int pBridge2 = add(br2);
  // Last chorus: held piano chords over brushes; at its end the brushes
  // stop and the strings hold the root.
  for (const auto& [chords, tune, piano] :
       {std::tuple{c1, mc1, kLast1}, std::tuple{c2, mc2, kLast2}, std::tuple{c3, mc3, kLast3}}) {
    Section c = sec(chords, tune, piano, bassMove);
    c.brushes = brushChorus;
    add(c);
  }
  Section last = sec(c4, mc4, kLast4, bassMove);
  last.heldIns = kStrings; last.heldTone = 1;
  add(last);
  // Outro: verse chords, the piano rolls them again, slowing down.
  Section o1 = sec(v3, {"E-5 . . D-5 C-5 . B-4 A-4", "B-4 . . . . . . ."}, kOutro1, bassHalf);
  o1.heldIns = kPad; o1.held = {"E-5", "."};
  add(o1);
  Section o2 = sec({"F", "Am"}, {nullptr, "A-4 . . . . . . ."}, kOutro2, "R.......");
  o2.heldIns = kPad; o2.held = {"E-5", "."};
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
  // Tremolo on the bridge's string tune.
  for (int p : {pBridge1, pBridge2}) {
    for (int r = 0; r < 64; ++r) {
      m.patterns[p].cells[r * kChannels + kLeadCh].effect = kTremolo;
      m.patterns[p].cells[r * kChannels + kLeadCh].param = r == 0 ? 0x64 : 0x00;
    }
  }
  // The pad swells in under the first chord with volume-column slides (the
  // effect column carries the arpeggio): the top voice up to full, the one
  // under it to about 40.
  Pattern& pi1 = m.patterns[pIntro1];
  for (int c : {kLeadCh, kColourCh}) pi1.cells[0 * kChannels + c].volume = volumeColumn(8);
  for (int r = 2; r <= 24; r += 2) {
    for (int c : {kLeadCh, kColourCh}) {
      if (c == kLeadCh && r % 4 != 0) continue;
      pi1.cells[r * kChannels + c].volume = 0x71;
    }
  }

  for (int n : order) m.order.push_back(static_cast<uint8_t>(n));
  return m;
}

}  // namespace xmc
