// Helpers the song files share: instruments from samples, envelopes, credit
// lines and pattern bookkeeping.
#pragma once

#include <string>
#include <vector>

#include "tools/assets/xmcomposer/compose.h"
#include "tools/assets/xmcomposer/synth.h"
#include "tools/assets/xmcomposer/xm_file.h"

namespace xmc {

// Volume envelope: rise to 64 in `attack` ticks, fall to `sustain` over
// `decay` ticks and hold there until key off (then fadeout takes over).
Envelope adsr(int attack, int decay, int sustain);
// A one-shot shape: rise in `attack` ticks, then fall to 0 over `decay` ticks.
Envelope swell(int attack, int decay);
// Panning that drifts left and right (loops between its points).
Envelope panDrift(int ticks, int width);

Instrument instrument(std::string name, Sample sample, Envelope volume = {}, uint16_t fadeout = 0);
// An instrument without samples, carrying one line of the song's credits.
Instrument creditLine(std::string text);
// Pads `instruments` with credit lines up to `count`.
void addCredits(std::vector<Instrument>& instruments, const std::vector<std::string>& lines, size_t count);

// Appends a pattern; returns its number.
int addPattern(Module& m, const PatternBuilder& p);

// Tunes a sample: relative note and finetune so that the cell note C-4
// sounds middle C for a cycle of `period` samples rendered at `rate`.
void tune(Sample& s, int relativeNote, int period, double rate);

}  // namespace xmc

namespace xmc {

// One bar of bass from a rhythm string, one character per step: R root,
// O octave above, F fifth, m minor seventh, t third (of the chord),
// '^' key off, anything else nothing. The root sits in `octave`.
void bassRhythm(PatternBuilder& p, int channel, int row, int stride, std::string_view rhythm,
                std::string_view chord, int octave, int instrument, int volume = -1);

// A broken-chord figure, one character per step: digits 1..5 name chord
// tones from the bottom (wrapping an octave up past the last), '^' is a key
// off, anything else nothing.
void chordFigure(PatternBuilder& p, int channel, int row, int stride, std::string_view figure,
                 std::string_view chord, int octave, int instrument, int volume = -1);

}  // namespace xmc
