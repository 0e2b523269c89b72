// Song compiler for the intro tunes: reads a readable song source, produces
// the data tables of the music routine (player.asm) as 64tass source, has
// 64tass assemble routine plus data, and wraps the program as a PSID image.
//
// Song source, one directive per line (';' starts a comment; a line that
// begins with white space continues the directive above it):
//
//   title Frostbyte Run              PSID name field
//   speed 6 6                        frames per row, even and odd rows (>= 3)
//   wave lead 41:+0 +12 loop         wave table program: [WW:]note per frame;
//                                    WW = waveform byte in hex (kept if left
//                                    out), note +N/-N relative or C-4 absolute;
//                                    ends with "loop [N]" or holds its last step
//   instr lead ad=0A sr=A9 wave=lead pw=800 pws=24 pwr=3-C vib=12,3,2
//              [nohr] [route] [flt=start:speed:min:max] [res=N] [mode=lp|bp|hp|lb|bh]
//              [fdown] [fonce]
//   seq a @lead C-4:2 D#4 G-4:4 r:2 = ~C-5 slide=300 >D-5
//                                    @instr, note[:rows], r rest, = tie,
//                                    ~note legato, >note glide (slide=speed)
//   v1 +0 intro | a*2 +5 a          order list: +N/-N transpose, name*count,
//                                    "|" marks where the voice loops back to
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sidtunes {

constexpr uint16_t kLoadAddress = 0x1000;
constexpr uint16_t kInitAddress = 0x1000;
constexpr uint16_t kPlayAddress = 0x1003;
constexpr int kMaxInstruments = 48;
constexpr int kNoteCount = 96;  // C-0 .. B-7

struct WaveStep {
  uint8_t wave = 0;  // 0 keeps the waveform; 0xFF is a jump (note = target)
  uint8_t note = 0;  // bit 7 absolute note, else signed 7-bit offset
};

struct Instrument {
  std::string name;
  uint8_t ad = 0, sr = 0;
  int wave = 0;  // index of the wave program
  uint16_t pulse = 0x800;
  uint8_t pulseSpeed = 0, pulseMin = 1, pulseMax = 15;
  uint8_t vibDelay = 0, vibSpeed = 0, vibDepth = 0;
  uint8_t flags = 0;
  uint8_t filterStart = 0, filterMin = 0, filterMax = 0;
  uint16_t filterSpeed = 0;
  uint8_t filterControl = 0, resonance = 0, filterMode = 0;
};

// Instrument flag bits, as the routine reads them.
constexpr uint8_t kFlagNoHardRestart = 0x01;
constexpr uint8_t kFlagFilterProgram = 0x02;
constexpr uint8_t kFlagRoute = 0x04;
constexpr uint8_t kFilterDown = 0x01;
constexpr uint8_t kFilterOnce = 0x02;

// Sequence and order-list bytes.
constexpr uint8_t kRest = 0x00;
constexpr uint8_t kTie = 0x7F;
constexpr uint8_t kLegato = 0xF0;
constexpr uint8_t kSlide = 0xF1;
constexpr uint8_t kEnd = 0xFF;
constexpr uint8_t kLoop = 0xFF;

struct Song {
  std::string title;
  uint8_t speed[2] = {6, 6};
  std::vector<WaveStep> waveTable;
  std::map<std::string, int> waveStart;  // program name -> first step
  std::vector<Instrument> instruments;
  std::vector<std::string> sequenceNames;
  std::vector<std::vector<uint8_t>> sequences;
  std::vector<uint8_t> orders[3];
  int rows[3] = {0, 0, 0};      // rows of each voice up to its end
  int loopRows[3] = {0, 0, 0};  // rows before each voice's loop point
};

// Parses a song source; on failure returns false and sets error to
// "line N: what".
bool parseSong(const std::string& text, Song& song, std::string& error);

// Note name ("C-4", "F#2", "Bb3") to note index 0..95, or -1.
int parseNote(const std::string& name);

// PAL frequency register value of a note index (A-4 = 440 Hz).
uint16_t noteFrequency(int note);

// The routine's data tables for a song, as 64tass source.
std::string emitData(const Song& song);

// Assembles player.asm with the song's data in workDir using 64tass and
// returns the program (two-byte load address first). Empty on failure.
std::vector<uint8_t> assemble(const Song& song, const std::string& playerAsm, const std::string& workDir,
                              std::string& error);

}  // namespace sidtunes

namespace sidtunes {

constexpr const char* kAuthor = "Vello Skarnholm";
constexpr const char* kReleased = "2009 The Quorvaline Charts";

// Reads a song source file, compiles and assembles it in workDir and returns
// the PSID image; empty with error set on failure. song receives the parsed song.
std::vector<uint8_t> buildTune(const std::string& songPath, const std::string& playerAsm, const std::string& workDir,
                               Song& song, std::string& error);

}  // namespace sidtunes
