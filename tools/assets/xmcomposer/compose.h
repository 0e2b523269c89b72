// The composer's notation: tracker-style text for notes and drums, chord
// names, and a pattern builder that places them.
//
//   notes:  "C-4 . E-4 . G-4@40 ^ ..."   one token per `stride` rows:
//           a note (C-4, C#4; octave 0..7), "." nothing, "^" key off,
//           "~" nothing either (reads as "held"), a note with "@v" sets the
//           volume column to v (0..64).
//   drums:  "x...o...x.x.o..." one character per step; the song gives each
//           character an instrument, a note and a volume.
//   chords: "Dm9", "Bbmaj7", "F", "Csus2", "Am7", "G7", "Eadd9" ...
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "tools/assets/xmcomposer/xm_file.h"

namespace xmc {

// Effect numbers as they appear in the effect column.
enum Fx : uint8_t {
  kArpeggio = 0x0, kPortaUp = 0x1, kPortaDown = 0x2, kTonePorta = 0x3, kVibrato = 0x4,
  kTonePortaSlide = 0x5, kVibratoSlide = 0x6, kTremolo = 0x7, kSetPan = 0x8, kOffset = 0x9,
  kVolSlide = 0xA, kJump = 0xB, kSetVolume = 0xC, kBreak = 0xD, kExtended = 0xE, kSpeed = 0xF,
  kGlobalVolume = 0x10, kKeyOffFx = 0x14, kPanSlide = 0x19,
};
// Extended sub-effects (high nibble of the E parameter).
enum ExtFx : uint8_t {
  kFinePortaUp = 0x10, kPatternLoop = 0x60, kRetrigger = 0x90, kFineVolUp = 0xA0,
  kFineVolDown = 0xB0, kNoteCut = 0xC0, kNoteDelay = 0xD0, kPatternDelay = 0xE0,
};

// "C-4" -> 49 (1 = C-0). Returns 0 for anything that is not a note.
int noteNumber(std::string_view name);
// Chord tones (cell note numbers), root in `octave`, ascending.
std::vector<int> chordNotes(std::string_view chord, int octave);
// The root of a chord name as a cell note number in `octave`.
int chordRoot(std::string_view chord, int octave);

struct DrumHit {
  int instrument;
  int note;
  int volume;  // 0..64, -1 = the sample's own volume
};
using DrumKit = std::map<char, DrumHit>;

class PatternBuilder {
 public:
  PatternBuilder(int channels, int rows = 64);

  Cell& at(int row, int channel);
  int rows() const { return pattern_.rows; }
  int channels() const { return channels_; }

  // Places tracker tokens from `row`, one per `stride` rows; `transpose` in semitones.
  void notes(int channel, int row, int stride, std::string_view tokens, int instrument, int volume = -1,
             int transpose = 0);
  void drums(int channel, int row, int stride, std::string_view hits, const DrumKit& kit);
  void note(int channel, int row, int note, int instrument, int volume = -1);
  void keyOff(int channel, int row);
  void fx(int channel, int row, uint8_t effect, uint8_t param);
  void volume(int channel, int row, uint8_t columnByte);  // raw volume column

  // A channel that plays nothing in this pattern is released with a key off
  // on its first row (if that row is free), so a held note from the section
  // before does not ring on under the next one.
  void releaseIdle(int channel);

  // Copies every note of `from` into `to`, `delay` rows later (clipped at the
  // pattern's end) and at `scale` of the volume: the tracker echo.
  void echo(int from, int to, int delay, double scale, int fallbackVolume = 64);

  const Pattern& pattern() const { return pattern_; }

 private:
  int channels_;
  Pattern pattern_;
};

inline uint8_t volumeColumn(int volume) { return static_cast<uint8_t>(0x10 + volume); }

}  // namespace xmc
