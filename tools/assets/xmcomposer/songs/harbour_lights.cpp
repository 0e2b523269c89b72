// "Harbour Lights" by Ilkka aka Lowwater: an upbeat four-channel chiptune.
//
// Amiga table, speed 6 at 125 BPM: 16 rows to the bar, four bars to the
// pattern. Channels: 0 lead (pulse), 1 chord arpeggios, 2 bass, 3 drums.
// Form: intro, verse, chorus, drum break, bridge, verse with the flute an
// octave down and a busier arp, chorus, the last chorus a whole tone up (C
// to D), outro back in C that hands back to the intro.
//
// Stereo: bass and kick in the middle, the pulse lead a little right, the
// flute a little left, the arp swapping sides bar by bar (set panning on
// its first row), hats and the echo blip out to the sides.
#include <array>

#include "tools/assets/xmcomposer/songs/kit.h"
#include "tools/assets/xmcomposer/songs/songs.h"

namespace xmc {
namespace {

enum Ins { kLead = 1, kArp, kBass, kKick, kSnare, kHat, kOpenHat, kTriLead, kTom, kBlip };

constexpr int kLeadCh = 0, kArpCh = 1, kBassCh = 2, kDrumCh = 3;
// Drum notes, spread over the level meter; relative notes undo the shift.
constexpr int nKick = 46, nSnare = 52, nTom = 57, nHat = 60, nOpen = 64, kMiddleC = 49;

std::vector<Instrument> makeInstruments() {
  std::vector<Instrument> v;
  constexpr int P = 32;  // one chip cycle; rendered for relative note 0

  // A 25% pulse with its top harmonics taken off, so the lead sings rather
  // than buzzes over the arp.
  Sample lead = makeSample(repeat(squareCycle(P, 0.25, 9), 4), false, 0.85, LoopMode::Forward, P);
  tune(lead, 0, P, kRate0);
  lead.volume = 54;
  lead.panning = 150;
  Instrument leadIns = instrument("pulse lead", lead, adsr(1, 12, 44), 600);
  leadIns.vibratoType = 0; leadIns.vibratoSweep = 24; leadIns.vibratoDepth = 6; leadIns.vibratoRate = 20;
  v.push_back(leadIns);

  Sample arp = makeSample(repeat([] {
    Wave w(32);
    for (int i = 0; i < 32; ++i) w[i] = i < 16 ? 1.0 : -1.0;
    return w;
  }(), 4), false, 0.8, LoopMode::Forward, P);
  tune(arp, 0, P, kRate0);
  arp.volume = 22;
  arp.panning = 84;
  v.push_back(instrument("square arp", arp, adsr(0, 20, 36), 900));

  Sample bass = makeSample(repeat([] {
    Wave w(32);
    for (int i = 0; i < 32; ++i) w[i] = i < 12 ? 1.0 : -1.0;
    return w;
  }(), 2), false, 0.9, LoopMode::Forward, P);
  tune(bass, 0, P, kRate0);
  bass.volume = 36;
  v.push_back(instrument("pulse bass", bass, adsr(0, 10, 40), 1400));

  Sample k = makeSample(kick(kRate12, 1.2), false, 0.97);
  k.relativeNote = 12 - (nKick - kMiddleC);
  k.volume = 60;
  v.push_back(instrument("kick", k));

  Wave sn = chipNoise(kRate12, 0.22, 0.06, 2, 101);
  const Wave body = snare(kRate12, 7);
  for (size_t i = 0; i < sn.size() && i < body.size(); ++i) sn[i] = 0.5 * sn[i] + 0.7 * body[i];
  Sample s = makeSample(sn, false, 0.95);
  s.relativeNote = 12 - (nSnare - kMiddleC);
  s.volume = 42;
  s.panning = 140;
  v.push_back(instrument("noise snare", s));

  Sample h = makeSample(chipNoise(kRate24, 0.05, 0.012, 1, 55), false, 0.7);
  h.relativeNote = 24 - (nHat - kMiddleC);
  h.volume = 20;
  h.panning = 188;
  v.push_back(instrument("hat", h));

  Sample oh = makeSample(chipNoise(kRate24, 0.3, 0.08, 1, 56), false, 0.6);
  oh.relativeNote = 24 - (nOpen - kMiddleC);
  oh.volume = 18;
  oh.panning = 72;
  v.push_back(instrument("open hat", oh));

  Sample tri = makeSample(repeat([] {
    Wave w(32);
    for (int i = 0; i < 32; ++i) w[i] = i < 16 ? -1.0 + i / 8.0 : 3.0 - i / 8.0;
    return w;
  }(), 2), false, 0.95, LoopMode::Forward, P);
  tune(tri, 0, P, kRate0);
  tri.volume = 50;
  tri.panning = 100;
  Instrument triIns = instrument("triangle flute", tri, adsr(3, 16, 48), 500);
  triIns.vibratoSweep = 40; triIns.vibratoDepth = 8; triIns.vibratoRate = 18;
  v.push_back(triIns);

  Sample t = makeSample(tom(kRate12, 120), false, 0.95);
  t.relativeNote = 12 - (nTom - kMiddleC);
  t.volume = 48;
  t.panning = 96;
  v.push_back(instrument("tom", t));

  Sample blip = makeSample(repeat(sineCycle(P), 2), false, 0.9, LoopMode::Forward, P);
  tune(blip, 0, P, kRate0);
  blip.volume = 34;
  blip.panning = 200;
  v.push_back(instrument("echo blip", blip, swell(0, 18), 0));
  return v;
}

const DrumKit kKit = {
    {'k', {kKick, nKick, -1}}, {'s', {kSnare, nSnare, -1}}, {'h', {kHat, nHat, -1}}, {'g', {kHat, nHat, 18}},
    {'o', {kOpenHat, nOpen, -1}}, {'t', {kTom, nTom, -1}}, {'T', {kTom, nTom - 5, -1}},
    {'S', {kSnare, nSnare, 30}},
};

using Bars = std::array<const char*, 4>;

// Chord arpeggio parameter: semitones of the third and the fifth (or sixth).
uint8_t arpParam(std::string_view chord) {
  const std::vector<int> n = chordNotes(chord, 4);
  return static_cast<uint8_t>(((n[1] - n[0]) << 4) | (n[2] - n[0]));
}

struct Section {
  Bars chords;
  Bars lead = {nullptr, nullptr, nullptr, nullptr};
  int leadIns = kLead;
  int leadTranspose = 0;
  const char* drums = nullptr;      // one bar, repeated; nullptr = none
  const char* lastBarDrums = nullptr;
  const char* bass = nullptr;       // one bar: R root, O octave, F fifth, '.' rest
  bool arp = true;
  int arpStride = 4;                // rows between arp retriggers
  int arpVolume = -1;
  bool arpSwaps = false;            // the arp answers from the other side every other bar
};

void bassBar(PatternBuilder& p, int row, std::string_view rhythm, std::string_view chord) {
  const int root = chordRoot(chord, 2);
  for (size_t i = 0; i < rhythm.size(); ++i) {
    int n = 0;
    switch (rhythm[i]) {
      case 'R': n = root; break;
      case 'O': n = root + 12; break;
      case 'F': n = root + 7; break;
      case 'm': n = root + 10; break;
      default: break;
    }
    if (n) p.note(kBassCh, row + static_cast<int>(i), n, kBass);
  }
}

int build(Module& m, const Section& s) {
  PatternBuilder p(4);
  for (int bar = 0; bar < 4; ++bar) {
    const int r0 = bar * 16;
    const std::string_view chord = s.chords[bar];
    if (s.lead[bar]) p.notes(kLeadCh, r0, 2, s.lead[bar], s.leadIns, -1, s.leadTranspose);
    if (s.arp) {
      const int root = chordRoot(chord, 4);
      for (int r = 0; r < 16; ++r) {
        if (r % s.arpStride == 0) p.note(kArpCh, r0 + r, root, kArp, s.arpVolume);
        p.fx(kArpCh, r0 + r, kArpeggio, arpParam(chord));
      }
      // The set-panning rides on the pattern's volume column (the effect
      // column holds the arpeggio), after the note has set the sample's pan.
      if (s.arpSwaps) p.volume(kArpCh, r0, static_cast<uint8_t>(0xC0 | (bar % 2 ? 0xB : 0x5)));
    }
    if (s.bass) bassBar(p, r0, s.bass, chord);
    const char* drums = (bar == 3 && s.lastBarDrums) ? s.lastBarDrums : s.drums;
    if (drums) p.drums(kDrumCh, r0, 1, drums, kKit);
  }
  for (int c : {kLeadCh, kArpCh, kBassCh}) p.releaseIdle(c);
  return addPattern(m, p);
}

}  // namespace

Module harbourLights() {
  Module m;
  m.name = "Harbour Lights";
  m.channels = 4;
  m.linear = false;
  m.speed = 6;
  m.bpm = 125;
  m.instruments = makeInstruments();
  addCredits(m.instruments,
             {"", "Harbour Lights", "composed by", "Ilkka aka Lowwater", "", "for the Quorvaline", "Charts issue 36",
              "", "all sounds made by", "our own synthesiser", "", "greetings to everyone", "down at the quay"},
             31);

  const Bars verseChords = {"C", "G", "Am", "F"};
  const Bars verseChords2 = {"C", "G", "F", "G"};
  const Bars chorusChords = {"F", "G", "Em", "Am"};
  const Bars chorusChords2 = {"F", "G", "C", "C"};
  const Bars bridgeChords = {"Dm", "G", "C", "Am"};
  const Bars bridgeChords2 = {"Dm", "G", "Em", "G"};

  const Bars verseA = {"G-5 . . E-5 . G-5 A-5 G-5", "D-5 . . . B-4 . D-5 .", "E-5 . . C-5 . E-5 G-5 E-5",
                       "F-5 . E-5 . D-5 . C-5 ."};
  const Bars verseB = {"G-5 . . E-5 . G-5 C-6 B-5", "A-5 . G-5 . D-5 . . B-4", "C-5 . D-5 . E-5 . F-5 A-5",
                       "G-5 . . . ^ . D-5 F-5"};
  const Bars chorusA = {"A-5 . A-5 . G-5 A-5 . C-6", "B-5 . G-5 . D-5 . G-5 .", "B-5 . B-5 . A-5 B-5 . E-6",
                        "C-6 . . . B-5 . A-5 ."};
  const Bars chorusB = {"A-5 . . F-5 . A-5 C-6 A-5", "B-5 . . G-5 . B-5 D-6 B-5", "C-6 . . . G-5 . E-5 .",
                        "C-6 . . . ^ . . ."};
  const Bars bridgeA = {"F-5 . . . A-5 . D-6 .", "B-5 . . . G-5 . . .", "E-5 . G-5 . C-6 . E-6 .",
                        "C-6 . . . A-5 . . ."};
  const Bars bridgeB = {"D-6 . C-6 . A-5 . F-5 .", "G-5 . . . B-5 . D-6 .", "E-6 . D-6 . B-5 . G-5 .",
                        "D-6 . . . ^ . . ."};

  const char* beat = "k.h.s.h.k.khs.hh";
  const char* beat2 = "k.hgs.hgk.khs.ho";
  const char* fill = "k.h.s.h.sSsStTTT";
  const char* hatsOnly = "h.g.h.g.h.g.h.gh";
  const char* bassLine = "R.RO.RO.R.RO.RO.";
  const char* bassPush = "R.OR.mOFR.OR.FOm";

  // Intro: arpeggios alone, then hats and bass.
  Section introA{verseChords};
  introA.arpStride = 16;
  introA.lead = {nullptr, nullptr, nullptr, "G-4 . A-4 . B-4 . D-5 ."};
  introA.leadIns = kBlip;
  const int pIntroA = build(m, introA);
  Section introB{verseChords2};
  introB.drums = hatsOnly;
  introB.lastBarDrums = fill;
  introB.bass = "R.......R.......";
  introB.arpStride = 8;
  const int pIntroB = build(m, introB);

  Section v1{verseChords, verseA};
  v1.drums = beat; v1.bass = bassLine;
  const int pVerse1 = build(m, v1);
  Section v2{verseChords2, verseB};
  v2.drums = beat; v2.lastBarDrums = fill; v2.bass = bassLine;
  const int pVerse2 = build(m, v2);

  Section c1{chorusChords, chorusA};
  c1.drums = beat2; c1.bass = bassPush; c1.arpStride = 2; c1.arpSwaps = true;
  const int pChorus1 = build(m, c1);
  Section c2{chorusChords2, chorusB};
  c2.drums = beat2; c2.lastBarDrums = fill; c2.bass = bassPush; c2.arpStride = 2; c2.arpSwaps = true;
  const int pChorus2 = build(m, c2);

  // Break: drums and bass, the arpeggio drops out, the blip answers.
  Section brk{bridgeChords};
  brk.drums = beat; brk.bass = bassPush; brk.arp = false;
  brk.lead = {"D-5 . F-5 . A-5 . . .", "G-5 . . . B-4 . . .", "C-5 . E-5 . G-5 . . .", "A-4 . C-5 . E-5 . . ."};
  brk.leadIns = kBlip;
  const int pBreak = build(m, brk);

  Section b1{bridgeChords, bridgeA};
  b1.leadIns = kTriLead; b1.drums = beat; b1.bass = bassLine; b1.arpStride = 8;
  const int pBridge1 = build(m, b1);
  Section b2{bridgeChords2, bridgeB};
  b2.leadIns = kTriLead; b2.drums = beat2; b2.lastBarDrums = fill; b2.bass = bassLine; b2.arpStride = 8;
  const int pBridge2 = build(m, b2);

  // Verse again with the flute an octave down, busier arps.
  Section v3{verseChords, verseA};
  v3.leadIns = kTriLead; v3.leadTranspose = -12; v3.drums = beat2; v3.bass = bassPush; v3.arpStride = 2;
  v3.arpSwaps = true;
  const int pVerse3 = build(m, v3);
  Section v4{verseChords2, verseB};
  v4.leadIns = kTriLead; v4.leadTranspose = -12; v4.drums = beat2; v4.lastBarDrums = fill; v4.bass = bassPush;
  v4.arpStride = 2; v4.arpSwaps = true;
  const int pVerse4 = build(m, v4);

  // Last chorus a whole tone up, in D: the arpeggio stutters on every row.
  Section c3{{"G", "A", "F#m", "Bm"}, chorusA};
  c3.leadTranspose = 2; c3.drums = beat2; c3.bass = bassPush; c3.arpStride = 1; c3.arpSwaps = true;
  const int pChorus3 = build(m, c3);
  Section c4{{"G", "A", "D", "D"}, chorusB};
  c4.leadTranspose = 2; c4.drums = beat2; c4.lastBarDrums = fill; c4.bass = bassPush; c4.arpStride = 2;
  c4.arpSwaps = true;
  const int pChorus4 = build(m, c4);

  // Outro: the chorus tail, then a held chord that turns back to the intro.
  Section out{{"F", "G", "C", "C"}, {"A-5 . . F-5 . A-5 C-6 A-5", "B-5 . . G-5 . B-5 D-6 B-5",
                                      "C-6 . . . . . . .", "^ . . . . . . ."}};
  out.drums = beat; out.lastBarDrums = "k...............";
  out.bass = "R.......R.......";
  out.arpStride = 4;
  const int pOutro = build(m, out);

  // Portamento and vibrato touches on the lead.
  Pattern& ch1 = m.patterns[pChorus1];
  ch1.cells[(12 * 4) + kLeadCh].effect = kVibrato;  // held A-5 in bar 1
  ch1.cells[(12 * 4) + kLeadCh].param = 0x44;
  Pattern& b1p = m.patterns[pBridge1];
  for (int r : {1, 2, 3, 17, 18, 19}) {
    b1p.cells[r * 4 + kLeadCh].effect = kVibrato;
    b1p.cells[r * 4 + kLeadCh].param = 0x53;
  }
  Pattern& b2p = m.patterns[pBridge2];
  b2p.cells[60 * 4 + kLeadCh].effect = kPortaDown;  // the key off slides away
  b2p.cells[60 * 4 + kLeadCh].param = 0x08;
  Pattern& op = m.patterns[pOutro];
  for (int r = 33; r < 64; ++r) {
    op.cells[r * 4 + kArpCh].effect = kVolSlide;
    op.cells[r * 4 + kArpCh].param = 0x01;
  }

  m.order = {static_cast<uint8_t>(pIntroA), static_cast<uint8_t>(pIntroB), static_cast<uint8_t>(pVerse1),
             static_cast<uint8_t>(pVerse2), static_cast<uint8_t>(pChorus1), static_cast<uint8_t>(pChorus2),
             static_cast<uint8_t>(pBreak), static_cast<uint8_t>(pBridge1), static_cast<uint8_t>(pBridge2),
             static_cast<uint8_t>(pVerse3), static_cast<uint8_t>(pVerse4), static_cast<uint8_t>(pChorus1),
             static_cast<uint8_t>(pChorus2), static_cast<uint8_t>(pChorus3), static_cast<uint8_t>(pChorus4),
             static_cast<uint8_t>(pOutro)};
  m.restart = 0;
  return m;
}

}  // namespace xmc
