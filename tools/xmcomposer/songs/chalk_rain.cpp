// "Chalk Rain" by Brin Hallows aka Fen: a laid-back groove on seven channels.
//
// Amiga table, 125 BPM, speed 6 on average: the kick channel swings the
// sixteenths by alternating speed 7 and speed 5 on every row. 16 rows to
// the bar, four bars to the pattern, D dorian.
// Channels: 0 kick (and the swing), 1 rim and clap, 2 shakers, 3 plucked
// bass with a sine under it, 4 electric piano, 5 its echo (three rows late,
// softer, on the other side), 6 lead (a breathy sine whistle, later the
// organ). Kick, rim and clap, and the shakers each have a channel, so a
// shaker never cuts a kick.
//
// Dynamics: the global volume sets each section's level, from the quiet
// intro and break (about -6 dB) to the full bridge (0 dB), and the
// arrangement thins and fills with it.
//
// Stereo: kick and bass in the middle, rim a little left, shakers right,
// the piano left and its echo right, the lead a touch right.
#include <array>

#include "tools/xmcomposer/songs/kit.h"
#include "tools/xmcomposer/songs/songs.h"

namespace xmc {
namespace {

enum Ins { kPiano = 1, kBass, kKick, kRim, kShaker, kWhistle, kOrgan, kClap, kOpenShaker };
constexpr int kKickCh = 0, kSnareCh = 1, kShakerCh = 2, kBassCh = 3, kKeysCh = 4, kEchoCh = 5, kLeadCh = 6,
              kChannels = 7;
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
  const char* drums = nullptr;
  const char* lastBarDrums = nullptr;
  const char* bass = nullptr;
  const char* keys = nullptr;  // chord figure, one bar
  int keysVolume = -1;
  int level = 64;  // global volume for the section
};

// One drum line in one string; each hit goes to its own channel.
void drumLine(PatternBuilder& p, int row, std::string_view hits) {
  for (char ch : hits) {
    const auto it = kKit.find(ch);
    if (it != kKit.end()) {
      const int channel = (ch == 'k' || ch == 'K') ? kKickCh : (ch == 's' || ch == 'c') ? kSnareCh : kShakerCh;
      p.note(channel, row, it->second.note, it->second.instrument, it->second.volume);
    }
    ++row;
  }
}

int build(Module& m, const Section& s) {
  PatternBuilder p(kChannels);
  for (int bar = 0; bar < 4; ++bar) {
    const int r0 = bar * 16;
    const std::string_view chord = s.chords[bar];
    if (s.lead[bar]) p.notes(kLeadCh, r0, 2, s.lead[bar], s.leadIns);
    if (s.keys) chordFigure(p, kKeysCh, r0, 1, s.keys, chord, 4, kPiano, s.keysVolume);
    if (s.bass) bassRhythm(p, kBassCh, r0, 1, s.bass, chord, 2, kBass);
    const char* d = (bar == 3 && s.lastBarDrums) ? s.lastBarDrums : s.drums;
    if (d) drumLine(p, r0, d);
  }
  // The swing: long and short sixteenths.
  for (int r = 0; r < 64; ++r) p.fx(kKickCh, r, kSpeed, r % 2 == 0 ? 7 : 5);
  p.fx(kShakerCh, 0, kGlobalVolume, static_cast<uint8_t>(s.level));
  for (int c : {kBassCh, kKeysCh, kLeadCh}) p.releaseIdle(c);
  p.echo(kKeysCh, kEchoCh, 3, 0.45, 40);
  for (int r = 0; r < 64; ++r) {
    if (p.at(r, kEchoCh).note && p.at(r, kEchoCh).note != kKeyOff) p.fx(kEchoCh, r, kSetPan, 184);
  }
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

  const char* groove = "k.h.s.hkh.k.s.hg";
  const char* groove2 = "k.hks.h.h.kks.ho";
  const char* fill = "k.h.s.hkh.k.sscc";
  const char* breakBeat = "k..k..c...k.c..h";
  const char* comp = "1..3..2.4..3..2.";
  const char* comp2 = "2.1..3..4.3..2..";
  const char* bassGroove = "R..R..O.R.F.m.O.";
  const char* bassWalk = "R...O.R.F..mO.t.";

  Section intro{vamp};
  intro.keys = comp; intro.drums = "h.g.h.g.h.g.h.gh"; intro.level = 30;
  const int pIntro = build(m, intro);
  Section intro2{vamp};
  intro2.keys = comp; intro2.drums = "K.h.h.hKh.K.h.hg"; intro2.lastBarDrums = fill; intro2.bass = bassGroove;
  intro2.level = 38;
  const int pIntro2 = build(m, intro2);

  Section a1{vamp, themeA};
  a1.keys = comp; a1.drums = groove; a1.bass = bassGroove; a1.level = 46;
  const int pA1 = build(m, a1);
  Section a2{vamp, themeA2};
  a2.keys = comp2; a2.drums = groove; a2.lastBarDrums = fill; a2.bass = bassGroove; a2.level = 48;
  const int pA2 = build(m, a2);

  Section b{turn, themeB};
  b.keys = comp; b.drums = groove2; b.bass = bassWalk;
  const int pB = build(m, b);

  // Break: bass and drums, the claps answer; the piano drops out.
  Section brk{vamp};
  brk.drums = breakBeat; brk.bass = "R..R..O.R.F.m.O.";
  brk.lead = {nullptr, nullptr, "D-5 . F-5 . A-5 . C-6 .", "B-5 . . . . . . ."};
  brk.leadIns = kOrgan;
  brk.level = 34;
  const int pBreak = build(m, brk);

  Section c1{bridge, themeC};
  c1.leadIns = kOrgan; c1.keys = comp2; c1.drums = groove2; c1.bass = bassWalk;
  const int pC1 = build(m, c1);
  Section c2{bridge, themeC2};
  c2.leadIns = kOrgan; c2.keys = comp; c2.drums = groove2; c2.lastBarDrums = fill; c2.bass = bassWalk;
  const int pC2 = build(m, c2);

  Section a3{vamp, themeA};
  a3.keys = comp2; a3.drums = groove2; a3.bass = bassWalk; a3.level = 56;
  const int pA3 = build(m, a3);

  Section outro{vamp, {"A-5 . . C-6 . A-5 G-5 .", "F-5 . . . . . . .", nullptr, nullptr}};
  outro.keys = comp; outro.drums = groove; outro.lastBarDrums = "k.h.h.h.h.h.h.h.";
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
