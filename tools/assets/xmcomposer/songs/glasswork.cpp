// "Glasswork" by Ravn: the reader's opening piece, 28 channels.
//
// Linear table, speed 3 at 125 BPM: 8 rows to the beat, 32 to the bar, two
// bars to the pattern. D minor. Every pattern is written out (no pattern is
// reused), so the order list reads straight through the form:
//
//   intro (8 bars) - verse (16) - chorus (16) - break (8) - verse (16)
//   - chorus (16) - outro (8, slowing down) - jump back to the intro
//
// The chorus lifts: the global volume rises from 50 in the verses to 64,
// brass stabs, kalimba chimes and the strings join in. The
// second half is not a replay: its verse has a broken kick, a backbeat
// snare, the marimba on the arp and a new bell counter-line; its chorus
// the ride, a busier bass line, later stabs, the harmony all the way
// through and a whistle counter-melody.
//
// Channels:
//   0 kick   1 snare  2 clap   3 closed hat  4 open hat / ride  5 percussion
//   6 crash and risers  7 sub bass  8 pluck bass  9-12 glass pad
//   13-15 strings  16 pluck arp  17 its echo  18 lead  19 its echo
//   20 harmony lead  21 bell counter-line  22 its echo  23-24 stabs
//   25 chip arpeggio, whistle counter-melody  26 chimes  27 808 drop, tempo
//   control; the crash channel's effect column carries the global volume
#include <array>
#include <string>

#include "tools/assets/xmcomposer/songs/kit.h"
#include "tools/assets/xmcomposer/songs/songs.h"

namespace xmc {
namespace {

enum Ins {
  kKick = 1, kSnare, kClap, kHat, kOpenHat, kRide, kTom, kRiser, kSub, kPluckBass, kGlassPad, kStrings,
  kPluckArp, kLead, kBell, kEPiano, kChip, kOrgan, kAirPad, kWhistle, kCrash, kRim, kZap, kBoom, kBrass,
  kPulseLead, kMarimba, kKalimba,
};

enum Ch {
  cKick = 0, cSnare, cClap, cHat, cOpen, cPerc, cFx, cSub, cBass, cPad0, cPad1, cPad2, cPad3, cStr0, cStr1,
  cStr2, cArp, cArpEcho, cLead, cLeadEcho, cHarm, cBell, cBellEcho, cStab0, cStab1, cChip, cChime, cBoom,
  kChannels,
};

constexpr int P = 64;  // pitched cycles, relative note 12 (16726 Hz at C-4)

// Each drum is played on its own note, spread over the level meter's range
// so that the beat moves bars of its own; the sample's relative note undoes
// the transposition.
constexpr int nKick = 46, nSnare = 52, nClap = 55, nTom = 57, nRim = 61, nHat = 64, nOpen = 67, nRide = 70,
              nZap = 73, nCrash = 76, nRiser = 79;
constexpr int kMiddleC = 49;

Sample pitched(const Wave& w, double peak, LoopMode loop, uint32_t loopLength, uint8_t volume, uint8_t pan = 128) {
  Sample s = makeSample(w, true, peak, loop, loopLength);
  tune(s, 12, P, kRate12);
  s.volume = volume;
  s.panning = pan;
  return s;
}

// `relativeNote` makes C-4 play the sound as rendered; `home` is its note.
Sample drum(const Wave& w, double peak, int relativeNote, int home, uint8_t volume, uint8_t pan = 128) {
  Sample s = makeSample(w, true, peak);
  s.relativeNote = static_cast<int8_t>(relativeNote - (home - kMiddleC));
  s.volume = volume;
  s.panning = pan;
  return s;
}

Instrument vib(Instrument ins, uint8_t type, uint8_t sweep, uint8_t depth, uint8_t rate) {
  ins.vibratoType = type;
  ins.vibratoSweep = sweep;
  ins.vibratoDepth = depth;
  ins.vibratoRate = rate;
  return ins;
}

Instrument panned(Instrument ins, Envelope pan) {
  ins.panning = std::move(pan);
  return ins;
}

std::vector<Instrument> makeInstruments() {
  std::vector<Instrument> v;
  v.push_back(instrument("kick - Glasswork", drum(kick(kRate12, 1.0), 0.98, 12, nKick, 64)));
  v.push_back(instrument("snare - by Ravn", drum(snare(kRate12, 5), 0.95, 12, nSnare, 44)));
  v.push_back(instrument("clap", drum(clap(kRate12, 9), 0.95, 12, nClap, 60)));
  v.push_back(instrument("closed hat", drum(hat(kRate24, 0.022, 13), 0.9, 24, nHat, 38, 150)));
  v.push_back(instrument("open hat", drum(hat(kRate24, 0.09, 14), 0.85, 24, nOpen, 32, 110)));
  v.push_back(instrument("ride", drum(hat(kRate12, 0.16, 15), 0.8, 12, nRide, 26, 160)));
  v.push_back(instrument("tom", drum(tom(kRate12, 110), 0.95, 12, nTom, 44)));
  v.push_back(panned(instrument("riser", drum(noiseSweep(kRate0, 1.5, 16), 0.9, 0, nRiser, 30)), panDrift(12, 24)));

  Wave sub = sineCycle(P);
  const Wave sub3 = triangleCycle(P);
  for (int i = 0; i < P; ++i) sub[i] = 0.9 * sub[i] + 0.15 * sub3[(2 * i) % P];
  v.push_back(instrument("sub bass", pitched(repeat(sub, 2), 0.95, LoopMode::Forward, P, 42), adsr(1, 8, 56), 1600));
  v.push_back(instrument("pluck bass", pitched(filteredSaw(P, 48, kRate12, 3200, 420, 0.55, 24), 0.9,
                                                LoopMode::Forward, P, 40),
                         adsr(0, 20, 34), 1800));

  Instrument glass = instrument("glass pad",
                                pitched(lowpassLoop(detunedSaws(P, 128, {-1, 0, 1}, 20), 3000, kRate12), 0.9,
                                        LoopMode::Forward, P * 128, 20),
                                adsr(20, 30, 50), 300);
  v.push_back(panned(glass, panDrift(48, 12)));
  v.push_back(vib(instrument("strings",
                             pitched(lowpassLoop(detunedSaws(P, 128, {-2, 0, 2}, 24), 2200, kRate12), 0.9,
                                     LoopMode::PingPong, P * 128, 22),
                             adsr(36, 20, 54), 260),
                  0, 60, 5, 10));
  v.push_back(panned(instrument("pluck arp", pitched(pluck(P, 90, 0.55, 17), 0.9, LoopMode::Forward, P, 30),
                                adsr(0, 24, 10), 900),
                     panDrift(16, 20)));
  v.push_back(vib(instrument("saw lead",
                             pitched(lowpassLoop(detunedSaws(P, 32, {0, 1}, 24), 4200, kRate12), 0.9,
                                     LoopMode::Forward, P * 32, 44),
                             adsr(2, 16, 48), 700),
                  0, 40, 8, 16));
  v.push_back(instrument("bell", pitched(fm(P, 96, 3.5, 2.5, 0.4, 2), 0.9, LoopMode::Forward, 2 * P, 26, 88),
                         adsr(0, 60, 8), 400));
  v.push_back(instrument("e-piano", pitched(fm(P, 64, 1.0, 1.8, 0.3, 1), 0.9, LoopMode::Forward, P, 28),
                         adsr(0, 30, 20), 1200));
  Wave chip(P);
  for (int i = 0; i < P; ++i) chip[i] = i < P / 2 ? 0.8 : -0.8;
  v.push_back(instrument("chip square", pitched(repeat(chip, 2), 0.7, LoopMode::Forward, P, 22), adsr(0, 12, 40),
                         1000));
  v.push_back(vib(instrument("organ", pitched(repeat(organCycle(P), 2), 0.9, LoopMode::Forward, P, 24),
                             adsr(2, 10, 56), 600),
                  0, 0, 3, 36));
  v.push_back(panned(instrument("air pad",
                                pitched(lowpassLoop(detunedSaws(P, 128, {-1, 1}, 10), 800, kRate12), 0.9,
                                        LoopMode::PingPong, P * 128, 26),
                                adsr(48, 40, 56), 200),
                     panDrift(80, 18)));
  Wave whistle = sineCycle(P);
  const Wave third = sineCycle(P);
  for (int i = 0; i < P; ++i) whistle[i] += 0.2 * third[(3 * i) % P];
  v.push_back(vib(instrument("glass whistle", pitched(repeat(whistle, 2), 0.9, LoopMode::Forward, P, 30),
                             adsr(6, 20, 52), 800),
                  0, 30, 10, 14));
  v.push_back(instrument("crash", drum(hat(kRate12, 0.25, 19), 0.8, 12, nCrash, 24)));
  Wave rim = snare(kRate24, 23);
  rim.resize(rim.size() / 4);
  v.push_back(instrument("rim", drum(rim, 0.9, 24, nRim, 34, 90)));
  v.push_back(instrument("zap", drum(tom(kRate12, 880), 0.8, 12, nZap, 22)));
  v.push_back(instrument("808 drop", pitched(repeat(sineCycle(P), 2), 0.95, LoopMode::Forward, P, 48),
                         swell(0, 90), 0));
  v.push_back(instrument("brass stab", pitched(filteredSaw(P, 40, kRate12, 5200, 1600, 0.3, 24), 0.9,
                                                LoopMode::Forward, P, 24),
                         adsr(1, 10, 36), 2400));
  v.push_back(vib(instrument("pulse lead", pitched(repeat(squareCycle(P, 0.3, 20), 2), 0.85, LoopMode::Forward, P, 20),
                             adsr(2, 16, 46), 700),
                  0, 40, 6, 16));
  v.push_back(instrument("marimba", pitched(fm(P, 48, 4.0, 1.6, 0.0, 1), 0.9, LoopMode::Forward, P, 30),
                         swell(0, 28), 0));
  v.push_back(panned(instrument("kalimba", pitched(pluck(P, 60, 0.6, 29), 0.9, LoopMode::Forward, P, 36),
                                swell(0, 40), 0),
                     panDrift(10, 26)));
  // The mix: 28 channels leave little headroom, so every sample sits a
  // little lower than its own level suggests.
  for (Instrument& ins : v) {
    for (Sample& s : ins.samples) s.volume = static_cast<uint8_t>((s.volume * 8 + 5) / 10);
  }
  return v;
}

const DrumKit kKit = {
    {'k', {kKick, nKick, -1}},   {'K', {kKick, nKick, 44}},      {'s', {kSnare, nSnare, -1}},
    {'S', {kSnare, nSnare, 24}}, {'c', {kClap, nClap, -1}},      {'h', {kHat, nHat, -1}},
    {'g', {kHat, nHat, 14}},     {'o', {kOpenHat, nOpen, -1}},   {'r', {kRide, nRide, -1}},
    {'t', {kTom, nTom, -1}},     {'T', {kTom, nTom - 5, -1}},    {'u', {kTom, nTom + 5, -1}},
    {'m', {kRim, nRim, -1}},     {'z', {kZap, nZap, -1}},        {'x', {kCrash, nCrash, -1}},
};

using Phrase = std::array<const char*, 8>;  // one string per bar

// What plays in one pattern (two bars).
struct Layers {
  std::array<std::string, 2> chords;
  std::array<const char*, 2> lead = {nullptr, nullptr};
  std::array<const char*, 2> harmony = {nullptr, nullptr};
  std::array<const char*, 2> bell = {nullptr, nullptr};
  std::array<const char*, 2> counter = {nullptr, nullptr};  // whistle, on the chip channel
  int leadIns = kLead;
  const char* kick = nullptr;
  const char* snare = nullptr;
  const char* clap = nullptr;
  const char* hats = nullptr;
  const char* open = nullptr;
  const char* perc = nullptr;
  const char* sub = nullptr;    // bass rhythm in 8ths
  const char* pluck = nullptr;  // bass rhythm in 16ths
  bool pad = false;
  int padIns = kGlassPad;
  bool strings = false;
  const char* arp = nullptr;    // chord figure in 16ths
  int arpIns = kPluckArp;
  const char* stabs = nullptr;  // chord figure in 8ths, cut short
  int stabIns = kEPiano;
  const char* chimes = nullptr; // chord figure in 16ths, octave 6
  bool chip = false;            // chip arpeggio on every beat
};

void place(PatternBuilder& p, const Layers& l) {
  for (int bar = 0; bar < 2; ++bar) {
    const int r0 = bar * 32;
    const std::string& chord = l.chords[bar];
    if (l.lead[bar]) p.notes(cLead, r0, 4, l.lead[bar], l.leadIns);
    if (l.harmony[bar]) p.notes(cHarm, r0, 4, l.harmony[bar], kPulseLead);
    if (l.bell[bar]) p.notes(cBell, r0, 4, l.bell[bar], kBell);
    if (l.counter[bar]) p.notes(cChip, r0, 4, l.counter[bar], kWhistle);
    if (l.kick) p.drums(cKick, r0, 2, l.kick, kKit);
    if (l.snare) p.drums(cSnare, r0, 2, l.snare, kKit);
    if (l.clap) p.drums(cClap, r0, 2, l.clap, kKit);
    if (l.hats) p.drums(cHat, r0, 2, l.hats, kKit);
    if (l.open) p.drums(cOpen, r0, 2, l.open, kKit);
    if (l.perc) p.drums(cPerc, r0, 2, l.perc, kKit);
    if (l.sub) bassRhythm(p, cSub, r0, 4, l.sub, chord, 2, kSub);
    if (l.pluck) bassRhythm(p, cBass, r0, 2, l.pluck, chord, 3, kPluckBass);
    const std::vector<int> tones = chordNotes(chord, 4);
    if (l.pad) {
      for (int v = 0; v < 4; ++v) {
        const int n = tones[v % tones.size()] + (v >= static_cast<int>(tones.size()) ? 12 : 0);
        p.note(cPad0 + v, r0, n, l.padIns);
        p.fx(cPad0 + v, r0, kSetPan, static_cast<uint8_t>(48 + v * 52));
      }
    }
    if (l.strings) {
      for (int v = 0; v < 3; ++v) {
        p.note(cStr0 + v, r0, tones[v] + 12, kStrings);
        p.fx(cStr0 + v, r0, kSetPan, static_cast<uint8_t>(64 + v * 64));
      }
    }
    if (l.arp) chordFigure(p, cArp, r0, 2, l.arp, chord, 4, l.arpIns);
    if (l.stabs) {
      chordFigure(p, cStab0, r0, 4, l.stabs, chord, 4, l.stabIns);
      chordFigure(p, cStab1, r0, 4, l.stabs, chord, 4, l.stabIns);
    }
    if (l.chimes) chordFigure(p, cChime, r0, 2, l.chimes, chord, 6, kKalimba);
    if (l.chip) {
      const std::vector<int> t = chordNotes(chord, 5);
      const uint8_t param = static_cast<uint8_t>(((t[1] - t[0]) << 4) | (t[2] - t[0]));
      for (int r = 0; r < 32; ++r) {
        if (r % 8 == 0) p.note(cChip, r0 + r, t[0], kChip);
        p.fx(cChip, r0 + r, kArpeggio, param);
      }
    }
  }
  // Stab voice 2 plays a fifth above voice 1; both are cut two rows later.
  for (int r = 0; r < 64; ++r) {
    Cell& b = p.at(r, cStab1);
    if (!b.note || b.note == kKeyOff) continue;
    b.note = static_cast<uint8_t>(b.note + 7);
    for (int c : {cStab0, cStab1}) {
      if (r + 2 < 64 && !p.at(r + 2, c).note) p.fx(c, r + 2, kExtended, kNoteCut | 1);
    }
  }
  for (int c : {cSub, cBass, cPad0, cPad1, cPad2, cPad3, cStr0, cStr1, cStr2, cLead, cHarm, cChip}) p.releaseIdle(c);
  // Echoes: three sixteenths late, softer, on the other side.
  p.echo(cArp, cArpEcho, 6, 0.5, 30);
  p.echo(cLead, cLeadEcho, 6, 0.4, 30);
  p.echo(cBell, cBellEcho, 6, 0.5, 26);
  for (int r = 0; r < 64; ++r) {
    if (p.at(r, cArpEcho).note) p.fx(cArpEcho, r, kSetPan, 200);
    if (p.at(r, cLeadEcho).note) p.fx(cLeadEcho, r, kSetPan, 60);
    if (p.at(r, cBellEcho).note) p.fx(cBellEcho, r, kSetPan, 196);
    if (p.at(r, cHarm).note && !p.at(r, cHarm).effect) p.fx(cHarm, r, kSetPan, 168);
    if (l.counter[0] || l.counter[1]) {
      if (p.at(r, cChip).note && p.at(r, cChip).note != kKeyOff) p.fx(cChip, r, kSetPan, 76);
    }
  }
}

// Lead long notes get a delayed vibrato: the rows after a note that starts a
// hold of at least `minimum` rows.
void vibratoOnHolds(PatternBuilder& p, int channel, int minimum, uint8_t param) {
  int last = -1;
  for (int r = 0; r <= 64; ++r) {
    const bool starts = r == 64 || p.at(r, channel).note != 0;
    if (!starts) continue;
    if (last >= 0 && r - last >= minimum) {
      p.fx(channel, last + 6, kVibrato, param);
      for (int k = last + 7; k < r; ++k) p.fx(channel, k, kVibrato, 0);
    }
    last = r;
  }
}

}  // namespace

Module glasswork() {
  Module m;
  m.name = "Glasswork";
  m.channels = kChannels;
  m.linear = true;
  m.speed = 3;
  m.bpm = 125;
  m.instruments = makeInstruments();

  const std::array<std::string, 8> verseChords = {"Dm9", "A#maj7", "F", "C", "Dm9", "A#maj7", "Gm7", "A7"};
  const std::array<std::string, 8> chorusChords = {"A#maj7", "C", "Dm7", "F", "A#maj7", "C", "Am7", "A7"};
  const std::array<std::string, 8> breakChords = {"Gm7", "Gm7", "Dm7", "Dm7", "Gm7", "Gm7", "A#maj7", "A7"};

  const Phrase leadA = {"D-6 . . C-6 A-5 . . .", "A-5 . G-5 . F-5 . D-5 .", "C-5 . F-5 . A-5 . C-6 .",
                        "G-5 . . . E-5 . . .", "D-6 . . C-6 A-5 . E-6 .", "F-6 . E-6 . D-6 . A-5 .",
                        "A#5 . A-5 . G-5 . F-5 .", "E-5 . . . C#5 . . ."};
  const Phrase leadA2 = {"D-6 . . C-6 D-6 . F-6 .", "E-6 . D-6 . C-6 . A-5 .", "C-6 . . A-5 C-6 . F-6 .",
                         "E-6 . . . G-5 . . .", "A-5 . D-6 . . . E-6 F-6", "G-6 . F-6 . E-6 . D-6 .",
                         "D-6 . C-6 . A#5 . A-5 .", "A-5 . . . ^ . . ."};
  const Phrase leadB = {"F-6 . . . D-6 . . F-6", "G-6 . . . E-6 . C-6 .", "D-6 . . . . . A-5 .",
                        "C-6 . . . A-5 . . .", "F-6 . . . D-6 . . F-6", "G-6 . . . A-6 . G-6 .",
                        "E-6 . . . . . C-6 .", "C#6 . . . E-6 . . ."};
  const Phrase harmB = {"D-6 . . . A#5 . . D-6", "E-6 . . . C-6 . G-5 .", "A-5 . . . . . F-5 .",
                        "A-5 . . . F-5 . . .", "D-6 . . . A#5 . . D-6", "E-6 . . . F-6 . E-6 .",
                        "C-6 . . . . . A-5 .", "A-5 . . . C#6 . . ."};
  const Phrase bellB = {". . . . A-6 . . .", ". . . . G-6 . . .", ". . . . F-6 . . .", ". . . . C-7 . . .",
                        ". . . . A-6 . . .", ". . . . G-6 . E-6 .", ". . . . C-7 . . .", ". . . . E-6 . . ."};
  const Phrase breakLead = {"G-5 . . . . . . .", "A#5 . . . D-6 . . .", "A-5 . . . . . . .",
                            "F-5 . . . A-5 . . .", "G-5 . . . . . A#5 .", "D-6 . . . C-6 . A#5 .",
                            "A-5 . . . . . . .", "C#6 . . . E-6 . . ."};

  const char* fourFloor = "k...k...k...k...";
  const char* fourFloorPush = "k...k...k...k.k.";
  const char* claps = "....c.......c...";
  const char* snareGhost = "......S.....S..S";
  const char* hats16 = "hghghghghghghghh";
  const char* hats8 = "h.h.h.h.h.h.h.h.";
  const char* offOpen = "..o...o...o...o.";
  const char* rides = "r.r.r.r.r.r.r.r.";
  const char* perc1 = "...m.....m..m...";
  const char* subRoot = "R.......";
  const char* subPush = "R...R..O";
  const char* pluckLine = "R.RO.R.OR.R.O.RO";
  const char* pluckLine2 = "R..R..O.R.RO.tRO";
  const char* arp1 = "1352135213521352";
  const char* arp2 = "1357531513575315";
  const char* stabs = ".1...1.1";
  const char* stabsLate = "..1..1.1";
  const char* pluckLine3 = "R.OR.ROmR..RO.FO";
  const char* chimesIntro = "5...3.....4...2.";
  const char* chimesChorus = "3.5.1.5.3.5.2.5.";
  const char* brokenKick = "k..k..k...k..k..";
  const char* backbeat = "....s.......s...";
  // The second verse's bell answers on beats two and four, the second
  // chorus's whistle moves under the lead; both written against the chords.
  const Phrase bellVerse = {". . A-5 . . . E-6 .", ". . F-5 . . . D-6 .", ". . C-6 . . . A-5 .",
                            ". . G-5 . . . E-5 .", ". . A-5 . . . E-6 .", ". . D-6 . . . A-5 .",
                            ". . A#5 . . . D-6 .", ". . E-6 . C#6 . A-5 ."};
  const Phrase counterChorus = {"D-5 . . . F-5 . A-5 .", "G-5 . . . E-5 . C-5 .", "F-5 . . . A-5 . . C-6",
                                "A-5 . . . . . G-5 .", "F-5 . . . D-5 . F-5 .", "G-5 . . . C-6 . . .",
                                "C-6 . . . A-5 . G-5 .", "E-5 . . . C#5 . . ."};
  // Section levels (global volume).
  constexpr uint8_t kVerseLevel = 50, kChorusLevel = 64, kBreakLevel = 52, kIntroLevel = 58;
  const auto level = [](PatternBuilder& p, uint8_t v) { p.fx(cFx, 0, kGlobalVolume, v); };

  std::vector<int> order;
  const auto emit = [&](PatternBuilder& p) { order.push_back(addPattern(m, p)); };
  const auto layers = [](const std::array<std::string, 8>& chords, int pattern) {
    Layers l;
    l.chords = {chords[pattern * 2], chords[pattern * 2 + 1]};
    return l;
  };

  // ---- Intro: pads swell in, chimes, the arp enters with a pan sweep, then a
  // snare roll and a riser into the verse.
  for (int i = 0; i < 4; ++i) {
    Layers l = layers(verseChords, i);
    l.pad = true;
    l.padIns = kAirPad;
    l.chimes = chimesIntro;
    if (i >= 1) l.arp = arp1;
    if (i >= 2) l.hats = hats8;
    if (i >= 2) l.sub = subRoot;
    PatternBuilder p(kChannels);
    place(p, l);
    if (i == 0) {
      // Tempo and speed are set at the top, so the song comes round cleanly
      // after the slowed-down outro.
      p.fx(cBoom, 0, kSpeed, 3);
      p.fx(cChime, 0, kSpeed, 125);
      level(p, kIntroLevel);
      for (int v = 0; v < 4; ++v) {
        p.volume(cPad0 + v, 0, volumeColumn(36));
        for (int r = 2; r <= 20; r += 2) p.fx(cPad0 + v, r, kVolSlide, 0x10);
      }
    }
    if (i == 1) {
      for (int r = 1; r < 64; ++r) {
        if (!p.at(r, cArp).note) p.fx(cArp, r, kPanSlide, r < 32 ? 0x02 : 0x20);
      }
    }
    if (i == 3) {
      // Snare roll: retriggers getting faster, with a volume ramp.
      for (int r = 32; r < 64; r += 4) {
        p.note(cSnare, r, nSnare, kSnare, 12 + (r - 32));
        p.fx(cSnare, r, kExtended, kRetrigger | (r < 48 ? 2 : 1));
      }
      p.note(cFx, 0, nRiser, kRiser);
      p.note(cBoom, 62, nZap, kZap);
      p.fx(cBoom, 62, kPortaDown, 0x20);
    }
    emit(p);
  }

  // ---- Verse: four-on-the-floor, basses, pads, arp, lead and its echo.
  const auto verse = [&](const Phrase& lead, bool second) {
    for (int i = 0; i < 8; ++i) {
      const int bar = (i * 2) % 8;
      Layers l = layers(verseChords, i % 4);
      l.lead = {lead[bar], lead[bar + 1]};
      l.kick = second ? brokenKick : (i % 4 == 3) ? fourFloorPush : fourFloor;
      l.clap = second ? nullptr : claps;
      l.snare = second ? backbeat : nullptr;
      l.hats = second ? hats16 : hats8;
      l.open = offOpen;
      l.perc = second ? perc1 : nullptr;
      l.sub = second ? subPush : subRoot;
      l.pluck = i >= 4 || second ? pluckLine : nullptr;
      l.pad = true;
      l.arp = (i % 2) ? arp2 : arp1;
      if (second) {
        l.arpIns = kMarimba;
        l.bell = {bellVerse[bar], bellVerse[bar + 1]};
      }
      PatternBuilder p(kChannels);
      place(p, l);
      if (i == 0) level(p, kVerseLevel);
      if (i == 0) {
        p.note(cFx, 0, nCrash, kCrash);
        p.note(cBoom, 0, 37, kBoom);
        p.fx(cBoom, 2, kPortaDown, 0x04);
      }
      if (second && i % 2 == 1) {
        // Restart the pad halfway into its loop for a different shimmer.
        for (int v = 0; v < 4; ++v) p.fx(cPad0 + v, 0, kOffset, static_cast<uint8_t>(0x20 + v * 0x18));
      }
      // Hat flams: delay a few hats by a tick.
      for (int r = 6; r < 64; r += 16) {
        if (p.at(r, cHat).note) p.fx(cHat, r, kExtended, kNoteDelay | 1);
      }
      vibratoOnHolds(p, cLead, 12, 0x46);
      if (i == 7) {
        // Fill into the chorus: toms, a retriggered clap.
        p.drums(cPerc, 48, 2, "t.T.u.T.", kKit);
        p.note(cClap, 56, nClap, kClap, 40);
        p.fx(cClap, 56, kExtended, kRetrigger | 2);
        p.note(cFx, 32, nRiser, kRiser, 30);
      }
      emit(p);
    }
  };

  // ---- Chorus: strings, lead with harmony, the bell counter-line, stabs.
  const auto chorus = [&](bool last) {
    for (int i = 0; i < 8; ++i) {
      const int bar = (i * 2) % 8;
      Layers l = layers(chorusChords, i % 4);
      l.lead = {leadB[bar], leadB[bar + 1]};
      l.harmony = {harmB[bar], harmB[bar + 1]};
      l.bell = {bellB[bar], bellB[bar + 1]};
      l.kick = last && i % 2 == 1 ? fourFloorPush : fourFloor;
      l.clap = claps;
      l.snare = snareGhost;
      l.hats = hats16;
      l.open = last ? rides : offOpen;
      l.perc = perc1;
      l.sub = subPush;
      l.pluck = last ? pluckLine3 : pluckLine2;
      l.pad = true;
      l.strings = true;
      l.arp = last ? arp1 : arp2;
      l.stabs = last ? stabsLate : stabs;
      l.stabIns = kBrass;
      l.chimes = chimesChorus;
      if (i >= 4 && !last) l.harmony = {nullptr, nullptr};
      if (last) l.counter = {counterChorus[bar], counterChorus[bar + 1]};
      PatternBuilder p(kChannels);
      place(p, l);
      if (i == 0) level(p, kChorusLevel);
      if (i == 0 || i == 4) p.note(cFx, 0, nCrash, kCrash);
      if (i == 0) {
        p.note(cBoom, 0, 37, kBoom);
        p.fx(cBoom, 2, kPortaDown, 0x04);
      }
      // Lead slides into the long notes of bars 3 and 7.
      if (i % 2 == 1) {
        p.fx(cLead, 0, kTonePorta, 0x30);
        p.fx(cLead, 1, kTonePorta, 0x00);
        p.fx(cLead, 2, kTonePorta, 0x00);
      }
      vibratoOnHolds(p, cLead, 12, 0x36);
      if (last && i == 7) {
        p.drums(cPerc, 32, 2, "t.t.T.T.u.u.T.T.", kKit);
        for (int r = 48; r < 64; r += 4) p.fx(cSnare, r, kExtended, kRetrigger | 1);
        p.note(cSnare, 48, nSnare, kSnare, 30);
      }
      emit(p);
    }
  };

  // ---- Break: the kick drops out; tremolo pads, chip arpeggios, marimba,
  // the whistle with slides; a looped tom fill and a pattern break.
  const auto breakdown = [&]() {
    for (int i = 0; i < 4; ++i) {
      Layers l = layers(breakChords, i);
      l.lead = {breakLead[i * 2], breakLead[i * 2 + 1]};
      l.leadIns = kWhistle;
      l.pad = true;
      l.padIns = kAirPad;
      l.chip = true;
      l.hats = i >= 1 ? hats8 : nullptr;
      l.perc = perc1;
      l.arp = i >= 2 ? "1.3.5.3.2.3.5.3." : nullptr;
      l.arpIns = kMarimba;
      l.sub = subRoot;
      PatternBuilder p(kChannels);
      place(p, l);
      for (int v = 0; v < 4; ++v) {
        p.fx(cPad0 + v, 1, kTremolo, 0x46);
        for (int r = 2; r < 64; ++r) {
          if (!p.at(r, cPad0 + v).note) p.fx(cPad0 + v, r, kTremolo, 0x00);
        }
      }
      for (int r = 0; r < 64; ++r) {
        if (p.at(r, cLead).note && r > 0) {
          p.fx(cLead, r, kTonePorta, 0x18);
          p.at(r, cLead).instrument = 0;
        }
      }
      if (i == 0) {
        p.note(cBoom, 0, 37, kBoom);
        level(p, kBreakLevel);
      }
      if (i == 3) {
        // A one-bar tom fill played twice by a pattern loop, then a break
        // that skips the last beat of the pattern.
        p.fx(cPerc, 32, kExtended, kPatternLoop | 0);
        p.drums(cPerc, 32, 2, "t.T.u.t.", kKit);
        p.fx(cPerc, 47, kExtended, kPatternLoop | 1);
        p.drums(cKick, 48, 2, "k.k.", kKit);
        p.note(cFx, 48, nRiser, kRiser, 40);
        p.fx(cKick, 55, kBreak, 0x00);
      }
      emit(p);
    }
  };

  // ---- Outro: layers leave, the pads fade, the tempo sags, then back to 0.
  const auto outro = [&]() {
    for (int i = 0; i < 4; ++i) {
      Layers l = layers(verseChords, i);
      l.pad = true;
      l.padIns = kAirPad;
      l.chimes = chimesIntro;
      if (i < 2) l.lead = {leadA2[i * 2], leadA2[i * 2 + 1]};
      if (i < 3) {
        l.kick = fourFloor;
        l.hats = hats8;
        l.clap = claps;
        l.sub = subRoot;
      }
      if (i < 3) l.arp = arp1;
      PatternBuilder p(kChannels);
      place(p, l);
      if (i == 0) {
        p.note(cFx, 0, nCrash, kCrash);
        level(p, kIntroLevel);
      }
      if (i >= 2) {
        // The pads fade: each new chord starts lower, and slides down.
        const int start[2][2] = {{-1, 40}, {36, 30}};
        for (int v = 0; v < 4; ++v) {
          for (int half = 0; half < 2; ++half) {
            const int from = start[i - 2][half];
            if (from >= 0) p.volume(cPad0 + v, half * 32, volumeColumn(from));
          }
          for (int r = (i == 2 ? 1 : 40); r < 64; r += 3) {
            if (!p.at(r, cPad0 + v).note) p.fx(cPad0 + v, r, kVolSlide, 0x01);
          }
        }
      }
      if (i == 3) {
        p.fx(cBoom, 0, kSpeed, 4);
        p.fx(cBoom, 32, kSpeed, 5);
        p.fx(cChime, 48, kSpeed, 110);
        p.fx(cBoom, 63, kJump, 0);
      }
      emit(p);
    }
  };

  verse(leadA, false);
  chorus(false);
  breakdown();
  verse(leadA2, true);
  chorus(true);
  outro();

  for (int n : order) m.order.push_back(static_cast<uint8_t>(n));
  return m;
}

}  // namespace xmc
