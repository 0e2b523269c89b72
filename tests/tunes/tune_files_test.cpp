// The twelve intro tunes as shipped in assets/tunes: the song sources rebuild
// them byte for byte, their PSID headers have the properties the player
// relies on, and 90 seconds of each run through the project's Cpu6502 and
// SidChip within the instruction budgets, with documented opcodes only, no
// reads of the sound chip, audible output and no repeat within the first
// minute.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "sid/cpu6502.h"
#include "tests/tunes/tunes_test_util.h"
#include "tools/assets/sidtunes/psid.h"
#include "tools/assets/sidtunes/song.h"

namespace {

using sid::AddressMode;
using sid::Instruction;

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string tuneName(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "tune%02d", n);
  return buf;
}

std::vector<uint8_t> asset(int n) {
  return readFile(std::string(QV_SOURCE_DIR) + "/assets/tunes/" + tuneName(n) + ".sid");
}

// Tune titles from the credits table ("| 1 | Frostbyte Run | ... |").
std::map<int, std::string> creditedTitles() {
  std::ifstream in(std::string(QV_SOURCE_DIR) + "/content/music_credits.md");
  std::map<int, std::string> titles;
  std::string line;
  bool inTunes = false;
  while (std::getline(in, line)) {
    if (line.rfind("## ", 0) == 0) inTunes = line.find("C64 tunes") != std::string::npos;
    if (!inTunes || line.size() < 2 || line[0] != '|') continue;
    std::vector<std::string> cells;
    std::stringstream ss(line.substr(1));
    std::string cell;
    while (std::getline(ss, cell, '|')) {
      size_t a = cell.find_first_not_of(' '), b = cell.find_last_not_of(' ');
      cells.push_back(a == std::string::npos ? "" : cell.substr(a, b - a + 1));
    }
    if (cells.size() >= 2 && !cells[0].empty() && std::isdigit(static_cast<unsigned char>(cells[0][0])))
      titles[std::stoi(cells[0])] = cells[1];
  }
  return titles;
}

class TuneFile : public ::testing::TestWithParam<int> {};

TEST_P(TuneFile, RebuildsByteForByteFromItsSongSource) {
  int n = GetParam();
  tunestest::TempDir dir;
  sidtunes::Song song;
  std::string error;
  std::string source = std::string(QV_SOURCE_DIR) + "/tools/assets/sidtunes/songs/" + tuneName(n) + ".txt";
  std::vector<uint8_t> built = sidtunes::buildTune(source, tunestest::playerAsm(), dir.path.string(), song, error);
  ASSERT_FALSE(built.empty()) << error;
  std::vector<uint8_t> shipped = asset(n);
  ASSERT_EQ(built.size(), shipped.size());
  EXPECT_TRUE(built == shipped);
  // every voice lasts at least 90 seconds before the song loops
  double rowSeconds = (song.speed[0] + song.speed[1]) / 2.0 / 50.0;
  for (int v = 0; v < 3; ++v) EXPECT_GE(song.rows[v] * rowSeconds, 90.0) << "voice " << v + 1;
  EXPECT_EQ(song.rows[0], song.rows[1]);
  EXPECT_EQ(song.rows[0], song.rows[2]);
}

TEST_P(TuneFile, HeaderHasThePlayersProperties) {
  int n = GetParam();
  std::vector<uint8_t> image = asset(n);
  sidtunes::PsidInfo info;
  ASSERT_TRUE(sidtunes::readPsid(image, info));
  EXPECT_EQ(info.magic, "PSID");
  EXPECT_EQ(info.version, 2);
  EXPECT_EQ(info.dataOffset, 0x7C);
  EXPECT_EQ(info.loadField, 0);
  EXPECT_EQ(info.speed, 0u);
  EXPECT_EQ(info.flags, 0x0014);
  EXPECT_NE(info.play, 0);
  EXPECT_GE(info.songs, 1);
  EXPECT_LE(info.songs, 9);
  EXPECT_GE(info.startSong, 1);
  EXPECT_LE(info.startSong, info.songs);
  EXPECT_GE(info.loadAddress, 0x0846);
  EXPECT_LE(info.dataEnd, 0xFFFFu);  // last byte at $FFFE at most
  EXPECT_GE(info.init, info.loadAddress);
  EXPECT_LT(info.init, info.dataEnd);
  EXPECT_GE(info.play, info.loadAddress);
  EXPECT_LT(info.play, info.dataEnd);
  EXPECT_GE(image.size(), 2642u);
  EXPECT_LE(image.size(), 20831u);
  EXPECT_EQ(info.name, creditedTitles()[n]);
  EXPECT_EQ(info.author, "Vello Skarnholm");
  EXPECT_EQ(info.released, "2009 The Quorvaline Charts");
  // the player's own reading of the header agrees
  sid::PsidInfo theirs = sid::describePsid(image.data(), static_cast<int32_t>(image.size()));
  EXPECT_TRUE(theirs.valid);
  EXPECT_EQ(theirs.loadAddress, info.loadAddress);
  EXPECT_EQ(theirs.initAddress, info.init);
  EXPECT_EQ(theirs.playAddress, info.play);
}

// What one routine call did, instruction by instruction.
struct CallCheck {
  uint32_t instructions = 0;
  int undocumented = 0;
  int soundChipReads = 0;
  int decimalMode = 0;
  int overflowBranches = 0;
};

bool readsOperand(Instruction i, AddressMode m) {
  switch (i) {
    case Instruction::LDA: case Instruction::LDX: case Instruction::LDY: case Instruction::ADC:
    case Instruction::SBC: case Instruction::AND: case Instruction::ORA: case Instruction::EOR:
    case Instruction::CMP: case Instruction::CPX: case Instruction::CPY: case Instruction::BIT:
      return true;
    case Instruction::ASL: case Instruction::LSR: case Instruction::ROL: case Instruction::ROR:
    case Instruction::INC: case Instruction::DEC:
      return m != AddressMode::Accumulator;
    default:
      return false;
  }
}

// The address an operand read will touch, or -1 (zero page and registers).
int operandAddress(const sid::Cpu6502& cpu, AddressMode mode) {
  const uint8_t* m = cpu.memory;
  uint8_t lo = m[static_cast<uint16_t>(cpu.PC + 1)], hi = m[static_cast<uint16_t>(cpu.PC + 2)];
  int abs = lo | hi << 8;
  switch (mode) {
    case AddressMode::Absolute: return abs;
    case AddressMode::AbsoluteX: return (abs + cpu.X) & 0xFFFF;
    case AddressMode::AbsoluteY: return (abs + cpu.Y) & 0xFFFF;
    case AddressMode::IndexedIndirect: {
      uint8_t z = static_cast<uint8_t>(lo + cpu.X);
      return m[z] | m[static_cast<uint8_t>(z + 1)] << 8;
    }
    case AddressMode::IndirectIndexed:
      return ((m[lo] | m[static_cast<uint8_t>(lo + 1)] << 8) + cpu.Y) & 0xFFFF;
    default: return -1;
  }
}

// Runs a routine the way Cpu6502::callSubroutine does, looking at every
// instruction before it executes.
CallCheck checkedCall(sid::Cpu6502& cpu, uint16_t address, uint8_t a) {
  CallCheck c;
  cpu.A = a;
  cpu.X = cpu.Y = cpu.P = 0;
  cpu.S = 0xFF;
  cpu.PC = address;
  cpu.push(0);
  cpu.push(0);
  while (cpu.PC > 1 && c.instructions < 1000000) {
    sid::Opcode op = sid::kOpcodeTable[cpu.memory[cpu.PC]];
    if (op.instruction == Instruction::None) ++c.undocumented;
    if (op.instruction == Instruction::SED) ++c.decimalMode;
    if (op.instruction == Instruction::BVC || op.instruction == Instruction::BVS) ++c.overflowBranches;
    if (readsOperand(op.instruction, op.mode)) {
      int at = operandAddress(cpu, op.mode);
      if (at >= 0xD400 && at <= 0xD7FF) ++c.soundChipReads;
    }
    cpu.step();
    ++c.instructions;
  }
  return c;
}

constexpr int kFrames = 90 * 50;
constexpr int kMinuteFrames = 60 * 50;

TEST_P(TuneFile, RoutineUsesOnlyWhatTheEmulationHas) {
  std::vector<uint8_t> image = asset(GetParam());
  auto state = std::make_unique<sid::PlayerState>();
  state->reset();
  state->loadTune(image.data(), static_cast<int32_t>(image.size()));
  CallCheck init = checkedCall(state->cpu, state->initAddress, 0);
  EXPECT_GE(init.instructions, 200u);
  EXPECT_LE(init.instructions, 28000u);
  CallCheck total = init;
  uint32_t maxPlay = 0;
  for (int f = 0; f < kFrames; ++f) {
    CallCheck c = checkedCall(state->cpu, state->playAddress, 0);
    maxPlay = std::max(maxPlay, c.instructions);
    total.undocumented += c.undocumented;
    total.soundChipReads += c.soundChipReads;
    total.decimalMode += c.decimalMode;
    total.overflowBranches += c.overflowBranches;
  }
  EXPECT_LE(maxPlay, 1200u);
  EXPECT_EQ(total.undocumented, 0);
  EXPECT_EQ(total.soundChipReads, 0);
  EXPECT_EQ(total.decimalMode, 0);
  EXPECT_EQ(total.overflowBranches, 0);
}

TEST_P(TuneFile, NinetySecondsAudibleAndNotRepeatingWithinAMinute) {
  tunestest::TuneRun run(asset(GetParam()));
  EXPECT_GE(run.initInstructions, 200u);
  EXPECT_LE(run.initInstructions, 28000u);
  std::vector<int16_t> audio(static_cast<size_t>(kFrames) * sid::kFrameSamples);
  for (int f = 0; f < kFrames; ++f) run.play(audio.data() + static_cast<size_t>(f) * sid::kFrameSamples);
  EXPECT_LE(run.maxPlayInstructions, 1200u);

  // every ten seconds carry sound, and no sample wrapped around
  const size_t window = 10 * sid::kMixRate;
  for (size_t start = 0; start + window <= audio.size(); start += window) {
    double sum = 0;
    int peak = 0;
    for (size_t i = start; i < start + window; ++i) {
      sum += static_cast<double>(audio[i]) * audio[i];
      peak = std::max(peak, std::abs(static_cast<int>(audio[i])));
    }
    EXPECT_GT(std::sqrt(sum / window), 500.0) << "seconds " << start / sid::kMixRate;
    EXPECT_GT(peak, 4000) << "seconds " << start / sid::kMixRate;
  }
  int maxJump = 0;
  for (size_t i = 1; i < audio.size(); ++i) maxJump = std::max(maxJump, std::abs(audio[i] - audio[i - 1]));
  // three voices switching pulse edges together swing about 46000 at most;
  // a sample that wrapped past the 16-bit range jumps by nearly 65536
  EXPECT_LT(maxJump, 49152);

  // No 20-second stretch of the write stream equals an earlier stretch that
  // starts within the first minute: the piece does not loop that early.
  int earlier = -1;
  int later = tunestest::findRepeat(run.frameWrites, 1000, kMinuteFrames, earlier);
  EXPECT_EQ(later, -1) << "frames from " << later << " repeat frames from " << earlier;
}

INSTANTIATE_TEST_SUITE_P(Intro, TuneFile, ::testing::Range(1, 13), [](const auto& p) { return tuneName(p.param); });

TEST(TuneSet, TwelveDistinctTitlesAsCredited) {
  auto titles = creditedTitles();
  ASSERT_EQ(titles.size(), 12u);
  EXPECT_EQ(titles[1], "Frostbyte Run");
  EXPECT_EQ(titles[12], "Last Light Loader");
  std::map<std::string, int> seen;
  for (int n = 1; n <= 12; ++n) {
    sidtunes::PsidInfo info;
    ASSERT_TRUE(sidtunes::readPsid(asset(n), info)) << n;
    EXPECT_EQ(seen.count(info.name), 0u) << info.name;
    seen[info.name] = n;
  }
}

}  // namespace
