// "Chalk Rain" by Brin Hallows aka Fen: a laid-back four-channel groove.
//
// Amiga table, 125 BPM, speed 6 on average: the beat channel swings the
// sixteenths by alternating speed 7 and speed 5 on every row. 16 rows to
// the bar, four bars to the pattern, D dorian.
// Channels: 0 the beat (kick, rim and clap, and the swing), 1 the electric
// piano's comping with the shakers in the gaps between its notes, 2
// plucked bass with a sine under it, 3 lead (a breathy sine whistle, later
// the organ). Kick, rim and clap share a channel but never crowd each
// other: a kick waits until the rim or clap before it has died away, and
// the shakers play on the piano's channel, so a shaker never cuts a kick.
//
// Dynamics: the global volume sets each section's level, from the quiet
// intro and break (about -6 dB) to the full bridge (0 dB), and the
// arrangement thins and fills with it.
//
// Stereo: kick and bass in the middle, rim and clap a little left, the
// piano left and the shakers right (so the comping channel answers itself
// across the field), the lead a touch right.
#include <array>

#include "tools/assets/xmcomposer/songs/kit.h"
#include "tools/assets/xmcomposer/songs/songs.h"

namespace xmc {
namespace {

enum Ins { kPiano = 1, kBass, kKick, kRim, kShaker, kWhistle, kOrgan, kClap, kOpenShaker };
constexpr int kBeatCh = 0, kKeysCh = 1, kBassCh = 2, kLeadCh = 3, kChannels = 4;
// Drum notes, spread over the level meter; relative notes undo the shift.
constexpr int nKick = 46, nRim = 52, nClap = 55, nShaker = 60, nOpen = 64, kMiddleC = 49;

std::vector<Instrument> makeInstruments() {
  std::vector<Instrument> v;
  constexpr int P = 64;  // cycle length at relative note 12

  Sample piano = makeSample(fm(P, 96, 1.0, 2.2, 0.35, 1), false, 0.9, LoopMode::Forward, P);
  tune(piano, 12, P, kRate12);
  piano.volume = 40;
  piano.panning = 84;
  v.push_back(instrument("tine piano", piano, adsr(0, 48, 22), 700));

  // The pluck with a sine at its own pitch under it, so the bass keeps its
  // weight after the pluck's brightness has gone.
  Wave pb = pluck(P, 160, 0.55, 3);
  const Wave fundamental = sineCycle(P);
  for (size_t i = 0; i < pb.size(); ++i) pb[i] = 0.6 * pb[i] + 0.55 * fundamental[i % P];
  Sample bass = makeSample(pb, false, 0.95, LoopMode::Forward, P);
  tune(bass, 12, P, kRate12);
  bass.volume = 64;
  v.push_back(instrument("pluck bass", bass, adsr(0, 40, 44), 1000));

  Sample k = makeSample(kick(kRate12, 0.7), false, 0.95);
  k.relativeNote = 12 - (nKick - kMiddleC);
  k.volume = 56;
  v.push_back(instrument("soft kick", k));

  Wave rim = snare(kRate12, 21);
  rim.resize(rim.size() / 2);
  Sample r = makeSample(rim, false, 0.9);
  r.relativeNote = 12 - (nRim - kMiddleC);
  r.volume = 38;
  r.panning = 104;
  v.push_back(instrument("rim snare", r));

  Sample sh = makeSample(hat(kRate24, 0.03, 77), false, 0.8);
  sh.relativeNote = 24 - (nShaker - kMiddleC);
  sh.volume = 22;
  sh.panning = 172;
  v.push_back(instrument("shaker", sh));

  Wave wh = sineCycle(P);
  const Wave tri = triangleCycle(P);
  for (int i = 0; i < P; ++i) wh[i] = 0.8 * wh[i] + 0.3 * tri[(2 * i) % P];
  Sample whistle = makeSample(repeat(wh, 2), false, 0.9, LoopMode::Forward, P);
  tune(whistle, 12, P, kRate12);
  whistle.volume = 42;
  whistle.panning = 144;
  Instrument w = instrument("whistle lead", whistle, adsr(6, 20, 52), 900);
  w.vibratoType = 0; w.vibratoSweep = 48; w.vibratoDepth = 10; w.vibratoRate = 14;
  v.push_back(w);

  Sample organ = makeSample(repeat(organCycle(P), 2), false, 0.9, LoopMode::Forward, P);
  tune(organ, 12, P, kRate12);
  organ.volume = 30;
  organ.panning = 150;
  Instrument o = instrument("drawbar organ", organ, adsr(4, 10, 56), 500);
  o.vibratoSweep = 0; o.vibratoDepth = 3; o.vibratoRate = 40;
  v.push_back(o);

  Sample c = makeSample(clap(kRate12, 41), false, 0.9);
  c.relativeNote = 12 - (nClap - kMiddleC);
  c.volume = 40;
  c.panning = 112;
  v.push_back(instrument("clap", c));

  Sample osh = makeSample(hat(kRate24, 0.09, 78), false, 0.7);
  osh.relativeNote = 24 - (nOpen - kMiddleC);
  osh.volume = 22;
  osh.panning = 188;
  v.push_back(instrument("open shaker", osh));
  return v;
}

const DrumKit kKit = {
    {'k', {kKick, nKick, -1}}, {'s', {kRim, nRim, -1}}, {'h', {kShaker, nShaker, -1}},
    {'g', {kShaker, nShaker, 12}}, {'c', {kClap, nClap, -1}}, {'o', {kOpenShaker, nOpen, -1}},
    {'K', {kKick, nKick, 36}},
};

using Bars = std::array<const char*, 4>;

struct Section {
  Bars chords;
  Bars lead = {nullptr, nullptr, nullptr, nullptr};
  int leadIns = kWhistle;
  const char* drums = nullptr;  // kick, rim and clap
  const char* lastBarDrums = nullptr;
  const char* shakers = nullptr;  // written into the gaps of the piano's figure
  const char* lastBarShakers = nullptr;
  const char* bass = nullptr;
  const char* keys = nullptr;  // chord figure, one bar
  int keysVolume = -1;
  int level = 64;  // global volume for the section
};

// Shakers go on the piano's channel only where the piano has no note, so
// the comping and the shakers interlock.
void shakerLine(PatternBuilder& p, int row, std::string_view hits) {
  for (char ch : hits) {
    const auto it = kKit.find(ch);
    if (it != kKit.end() && p.at(row, kKeysCh).note == 0) {
      p.note(kKeysCh, row, it->second.note, it->second.instrument, it->second.volume);
    }
    ++row;
  }
}

int build(Module& m, const Section& s) {
  PatternBuilder p(kChannels);
  for (int bar = 0; bar < 4; ++bar) {
    const int r0 = bar * 16;
    const std::string_view chord = s.chords[bar];
    const bool last = bar == 3;
    if (s.lead[bar]) p.notes(kLeadCh, r0, 2, s.lead[bar], s.leadIns);
    if (s.keys) chordFigure(p, kKeysCh, r0, 1, s.keys, chord, 4, kPiano, s.keysVolume);
    if (s.bass) bassRhythm(p, kBassCh, r0, 1, s.bass, chord, 2, kBass);
    if (const char* d = (last && s.lastBarDrums) ? s.lastBarDrums : s.drums) p.drums(kBeatCh, r0, 1, d, kKit);
    if (const char* h = (last && s.lastBarShakers) ? s.lastBarShakers : s.shakers) shakerLine(p, r0, h);
  }
  // The swing: long and short sixteenths.
  for (int r = 0; r < 64; ++r) p.fx(kBeatCh, r, kSpeed, r % 2 == 0 ? 7 : 5);
  p.fx(kBassCh, 0, kGlobalVolume, static_cast<uint8_t>(s.level));
  for (int c : {kBassCh, kKeysCh, kLeadCh}) p.releaseIdle(c);
  return addPattern(m, p);
}

}  // namespace

Module chalkRain() {
  Module m;
  m.name = "Chalk Rain";
  m.channels = kChannels;
  m.linear = false;
  m.speed = 6;
  m.bpm = 125;
  m.instruments = makeInstruments();
  addCredits(m.instruments,
             {"", "Chalk Rain", "a slow groove by", "Brin Hallows aka Fen", "", "written for the", "Quorvaline Charts 36",
              "", "every sound synthesised", "no samples borrowed", "", "take it easy"},
             31);

  const Bars vamp = {"Dm7", "G7", "Dm7", "G7"};
  const Bars turn = {"A#maj7", "Am7", "Gm7", "A7"};
  const Bars bridge = {"Fmaj7", "C", "A#maj7", "A7"};

  const Bars themeA = {"A-5 . . C-6 . A-5 G-5 .", "F-5 . G-5 . . . . .", "A-5 . . C-6 . D-6 C-6 A-5",
                       "B-5 . . . G-5 . . ."};
  const Bars themeA2 = {"D-6 . . C-6 . A-5 . G-5", "F-5 . . E-5 . D-5 . .", "F-5 . G-5 . A-5 . C-6 .",
                        "A-5 . . . ^ . . ."};
  const Bars themeB = {"D-6 . . . C-6 . A-5 .", "C-6 . . . G-5 . E-5 .", "F-5 . . G-5 . A-5 . A#5",
                       "C#6 . . . E-6 . . ."};
  const Bars themeC = {"A-5 . C-6 . E-6 . . .", "G-5 . . . E-5 . . .", "F-5 . A-5 . D-6 . . C-6",
                       "C#6 . . . A-5 . . ."};
  const Bars themeC2 = {"E-6 . . . C-6 . A-5 .", "G-5 . . E-5 . G-5 . .", "F-5 . . D-5 . F-5 A-5 .",
                        "E-5 . . . ^ . . ."};

  // The beat channel: kick, rim and clap.
  const char* groove = "k...s..k..k.s...";
  const char* groove2 = "k...s..k.kk.s...";
  const char* fill = "k...s..k..ks.sc.";
  const char* breakBeat = "k..k..c...k.c...";
  // The piano's figures and the shaker lines that fill their gaps.
  const char* comp = "1..3..2.4..3..2.";
  const char* shakeComp = "..h..g....h..g.h";
  const char* shakeCompBusy = "..h.hg.g..h.hg.o";
  const char* comp2 = "2.1..3..4.3..2..";
  const char* shakeComp2 = "....h..g....h..o";
  const char* shakeComp2Busy = ".h..hg.g.h..hg.o";
  const char* bassGroove = "R..R..O.R.F.m.O.";
  const char* bassWalk = "R...O.R.F..mO.t.";

  Section intro{vamp};
  intro.keys = comp; intro.shakers = "..h..g.g..h..g.h"; intro.level = 30;
  const int pIntro = build(m, intro);
  Section intro2{vamp};
  intro2.keys = comp; intro2.drums = "K......K..K....."; intro2.shakers = shakeComp; intro2.lastBarDrums = fill;
  intro2.bass = bassGroove; intro2.level = 38;
  const int pIntro2 = build(m, intro2);

  Section a1{vamp, themeA};
  a1.keys = comp; a1.drums = groove; a1.shakers = shakeComp; a1.bass = bassGroove; a1.level = 46;
  const int pA1 = build(m, a1);
  Section a2{vamp, themeA2};
  a2.keys = comp2; a2.drums = groove; a2.shakers = shakeComp2; a2.lastBarDrums = fill; a2.bass = bassGroove;
  a2.level = 48;
  const int pA2 = build(m, a2);

  Section b{turn, themeB};
  b.keys = comp; b.drums = groove2; b.shakers = shakeCompBusy; b.bass = bassWalk;
  const int pB = build(m, b);

  // Break: bass and drums, the claps answer; the piano drops out and the
  // shakers have its channel to themselves.
  Section brk{vamp};
  brk.drums = breakBeat; brk.shakers = "h.g.h.g.h.ghh.g."; brk.bass = "R..R..O.R.F.m.O.";
  brk.lead = {nullptr, nullptr, "D-5 . F-5 . A-5 . C-6 .", "B-5 . . . . . . ."};
  brk.leadIns = kOrgan;
  brk.level = 34;
  const int pBreak = build(m, brk);

  Section c1{bridge, themeC};
  c1.leadIns = kOrgan; c1.keys = comp2; c1.drums = groove2; c1.shakers = shakeComp2Busy; c1.bass = bassWalk;
  const int pC1 = build(m, c1);
  Section c2{bridge, themeC2};
  c2.leadIns = kOrgan; c2.keys = comp; c2.drums = groove2; c2.shakers = shakeCompBusy; c2.lastBarDrums = fill;
  c2.bass = bassWalk;
  const int pC2 = build(m, c2);

  Section a3{vamp, themeA};
  a3.keys = comp2; a3.drums = groove2; a3.shakers = shakeComp2Busy; a3.bass = bassWalk; a3.level = 56;
  const int pA3 = build(m, a3);

  Section outro{vamp, {"A-5 . . C-6 . A-5 G-5 .", "F-5 . . . . . . .", nullptr, nullptr}};
  outro.keys = comp; outro.drums = groove; outro.shakers = shakeComp; outro.lastBarDrums = "k...............";
  outro.lastBarShakers = "..h.h.h.h.h.h.h.";
  outro.bass = "R.......R.......";
  outro.level = 40;
  const int pOutro = build(m, outro);

  // Slides and shimmer on the lead.
  Pattern& pa2 = m.patterns[pA2];
  pa2.cells[(16 * 3) * kChannels + kLeadCh].effect = kVibrato;  // bar 4's long A
  pa2.cells[(16 * 3) * kChannels + kLeadCh].param = 0x34;
  for (int r = 49; r < 56; ++r) {
    pa2.cells[r * kChannels + kLeadCh].effect = kVibrato;
    pa2.cells[r * kChannels + kLeadCh].param = 0x00;
  }
  Pattern& pc2 = m.patterns[pC2];
  pc2.cells[(16 + 6) * kChannels + kLeadCh].effect = kTonePorta;  // glide into the E
  pc2.cells[(16 + 6) * kChannels + kLeadCh].param = 0x10;
  Pattern& pb = m.patterns[pB];
  for (int r = 49; r < 64; ++r) {  // the A7 lead note swells out
    pb.cells[r * kChannels + kLeadCh].effect = kVibrato;
    pb.cells[r * kChannels + kLeadCh].param = r == 49 ? 0x44 : 0x00;
  }
  Pattern& po = m.patterns[pOutro];
  for (int r = 32; r < 64; r += 2) po.cells[r * kChannels + kKeysCh].volume = 0x81;  // fine fade

  const auto o = [](int p) { return static_cast<uint8_t>(p); };
  m.order = {o(pIntro), o(pIntro2), o(pA1), o(pA2), o(pB), o(pA1), o(pA2), o(pBreak),
             o(pC1), o(pC2), o(pA3), o(pA2), o(pB), o(pC1), o(pC2), o(pOutro)};
  return m;
}

}  // namespace xmc
