// "Last Ferry Home" by Ravn: a melancholic four-channel ballad.
//
// Amiga table, speed 6 at 125 BPM in half time: 8 rows to the beat, 32 to
// the bar, two bars to the pattern. A minor.
// Channels: 0 piano (broken chords), 1 strings, 2 lead (a soft reed, later
// a bell), 3 bass. The outro slows down with speed changes; the first
// pattern sets speed 6 again when the song comes round.
#include <array>

#include "tools/xmcomposer/songs/kit.h"
#include "tools/xmcomposer/songs/songs.h"

namespace xmc {
namespace {

enum Ins { kPiano = 1, kStrings, kReed, kBass, kBell, kPad };
constexpr int kPianoCh = 0, kStringCh = 1, kLeadCh = 2, kBassCh = 3;

std::vector<Instrument> makeInstruments() {
  std::vector<Instrument> v;
  constexpr int P = 64;

  Sample piano = makeSample(pluck(P, 220, 0.8, 11), false, 0.95, LoopMode::Forward, P);
  tune(piano, 12, P, kRate12);
  piano.volume = 64;
  v.push_back(instrument("felt piano", piano, adsr(0, 90, 20), 500));

  Sample strings = makeSample(lowpassLoop(detunedSaws(P, 64, {-1, 0, 1}, 12), 2200, kRate12), false, 0.9,
                              LoopMode::PingPong, P * 64);
  tune(strings, 12, P, kRate12);
  strings.volume = 34;
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
  v.push_back(instrument("glass bell", bell, adsr(0, 70, 10), 400));

  Sample pad = makeSample(lowpassLoop(detunedSaws(P, 64, {-2, 1}, 6), 900, kRate12), false, 0.9,
                          LoopMode::Forward, P * 64);
  tune(pad, 12, P, kRate12);
  pad.volume = 36;
  v.push_back(instrument("night pad", pad, adsr(40, 30, 48), 250));
  return v;
}

using Bars = std::array<const char*, 2>;

struct Section {
  Bars chords;
  Bars lead = {nullptr, nullptr};
  int leadIns = kReed;
  int leadTranspose = 0;
  const char* piano = "1...2...3...5...4...3...2...3...";  // 32 steps of one row
  int pianoVolume = -1;
  bool strings = false;
  int stringIns = kStrings;
  int stringTone = 2;  // which chord tone the strings hold (1-based)
  const char* bass = nullptr;  // one bar in 8ths (8 steps of 4 rows)
};

int build(Module& m, const Section& s) {
  PatternBuilder p(4);
  for (int bar = 0; bar < 2; ++bar) {
    const int r0 = bar * 32;
    const std::string_view chord = s.chords[bar];
    if (s.lead[bar]) p.notes(kLeadCh, r0, 4, s.lead[bar], s.leadIns, -1, s.leadTranspose);
    if (s.piano) chordFigure(p, kPianoCh, r0, 1, s.piano, chord, 4, kPiano, s.pianoVolume);
    if (s.strings) {
      const std::vector<int> tones = chordNotes(chord, 4);
      p.note(kStringCh, r0, tones[(s.stringTone - 1) % tones.size()], s.stringIns);
    }
    if (s.bass) bassRhythm(p, kBassCh, r0, 4, s.bass, chord, 2, kBass);
  }
  for (int c : {kStringCh, kLeadCh, kBassCh}) p.releaseIdle(c);
  return addPattern(m, p);
}

}  // namespace

Module lastFerryHome() {
  Module m;
  m.name = "Last Ferry Home";
  m.channels = 4;
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

  const char* arpUp = "1...2...3...5...4...3...2...3...";
  const char* arpFlow = "1.2.3.5.4.3.2.3.1.2.3.5.6.5.3.2.";  // the chorus moves in sixteenths
  const char* arpWide = "1.......3...5.......4...5...3...";
  const char* arpSparse = "1...............3...............";
  const char* bassHalf = "R...F...";
  const char* bassMove = "R..O.F.t";

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

  const auto sec = [&](Bars chords, Bars lead, const char* piano, bool strings, const char* bass) {
    Section s{chords, lead};
    s.piano = piano;
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

  // Intro: piano alone, then the pad.
  const int pIntro1 = add(sec(v1, {nullptr, nullptr}, arpWide, false, nullptr));
  Section intro2 = sec(v2, {nullptr, nullptr}, arpWide, true, nullptr);
  intro2.stringIns = kPad;
  const int pIntro2 = add(intro2);
  // Verse 1: reed over piano and bass.
  add(sec(v1, mv1, arpUp, false, bassHalf));
  add(sec(v2, mv2, arpUp, false, bassHalf));
  add(sec(v3, mv3, arpUp, false, bassHalf));
  add(sec(v4, mv4, arpUp, false, bassHalf));
  // Chorus 1: the strings come in.
  add(sec(c1, mc1, arpFlow, true, bassMove));
  add(sec(c2, mc2, arpFlow, true, bassMove));
  add(sec(c3, mc3, arpFlow, true, bassMove));
  add(sec(c4, mc4, arpFlow, true, bassMove));
  // Interlude: the bell plays the verse tune an octave up, sparse piano.
  Section i1 = sec(v1, mv1, arpSparse, true, bassHalf);
  i1.leadIns = kBell; i1.leadTranspose = 12; i1.stringIns = kPad;
  add(i1);
  Section i2 = sec(v2, mv2, arpSparse, true, bassHalf);
  i2.leadIns = kBell; i2.leadTranspose = 12; i2.stringIns = kPad;
  add(i2);
  // Bridge: darker chords, strings on the root with tremolo, no lead.
  Section br1 = sec(b1, {"D-5 . . . F-5 . . .", "E-5 . . . C-5 . . ."}, arpWide, true, bassMove);
  br1.stringTone = 1;
  const int pBridge1 = add(br1);
  Section br2 = sec(b2, {"A-4 . . . C-5 . . .", "B-4 . . . G#4 . . ."}, arpWide, true, bassMove);
  br2.stringTone = 3;
  const int pBridge2 = add(br2);
  // Last chorus with the strings on the third, the reed an octave up on the end.
  add(sec(c1, mc1, arpFlow, true, bassMove));
  add(sec(c2, mc2, arpFlow, true, bassMove));
  add(sec(c3, mc3, arpFlow, true, bassMove));
  Section last = sec(c4, mc4, arpFlow, true, bassMove);
  last.stringTone = 1;
  add(last);
  // Outro: verse chords, the piano alone again, slowing down.
  Section o1 = sec(v3, {"E-5 . . D-5 C-5 . B-4 A-4", "B-4 . . . . . . ."}, arpWide, true, bassHalf);
  o1.stringIns = kPad;
  add(o1);
  const int pOutro = add(sec({"F", "Am"}, {nullptr, "A-4 . . . . . . ."}, arpWide, true, "R......."));

  // Speed: reset at the top, ritardando at the very end.
  m.patterns[pIntro1].cells[0 * 4 + kBassCh].effect = kSpeed;
  m.patterns[pIntro1].cells[0 * 4 + kBassCh].param = 6;
  Pattern& po = m.patterns[pOutro];
  const int slow[][2] = {{32, 7}, {40, 8}, {48, 9}, {56, 11}};
  for (const auto& s : slow) {
    po.cells[s[0] * 4 + kBassCh].effect = kSpeed;
    po.cells[s[0] * 4 + kBassCh].param = static_cast<uint8_t>(s[1]);
  }
  // Tremolo strings in the bridge.
  for (int p : {pBridge1, pBridge2}) {
    for (int r = 0; r < 64; ++r) {
      m.patterns[p].cells[r * 4 + kStringCh].effect = kTremolo;
      m.patterns[p].cells[r * 4 + kStringCh].param = r == 0 ? 0x64 : 0x00;
    }
  }
  // The pad in the intro swells in with a volume slide.
  Pattern& pi2 = m.patterns[pIntro2];
  pi2.cells[0 * 4 + kStringCh].volume = volumeColumn(8);
  for (int r = 1; r < 48; ++r) {
    pi2.cells[r * 4 + kStringCh].effect = kVolSlide;
    pi2.cells[r * 4 + kStringCh].param = 0x10;
  }

  for (int n : order) m.order.push_back(static_cast<uint8_t>(n));
  return m;
}

}  // namespace xmc
