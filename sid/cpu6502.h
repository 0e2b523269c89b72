// Cpu6502: a table-driven interpreter of the documented NMOS 6502 instruction
// set over a flat 64 KB RAM, built to run C64 tune routines.
//
// A routine is called like a subroutine (`callSubroutine`) and runs until it
// returns: two zero bytes are pushed as its return address, so its final RTS
// lands on $0001 and the call ends as soon as PC is $0000 or $0001. Writes to
// $D400-$D7FF go to the SidChip and leave RAM alone; reads always return RAM.
//
// Deliberately simpler than the chip: no cycles, interrupts, ROM, I/O or
// processor port; binary arithmetic only (D is stored but ignored); V after
// ADC/SBC is N xor C; BRK sets PC = 0 and so ends the call; RTI pulls no
// status and acts as RTS; the stack pointer sticks at $00 and $FF instead of
// wrapping; the 105 undocumented opcodes are one-byte no-ops. A call stops
// after `budget` instructions so that a tune stuck in a loop cannot stall the
// audio (see the init and play budgets below).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace sid {

struct SidChip;

enum class Instruction : uint8_t {
  None,
  ADC, AND, ASL, BCC, BCS, BEQ, BIT, BMI, BNE, BPL, BRK, BVC, BVS, CLC,
  CLD, CLI, CLV, CMP, CPX, CPY, DEC, DEX, DEY, EOR, INC, INX, INY, JMP,
  JSR, LDA, LDX, LDY, LSR, NOP, ORA, PHA, PHP, PLA, PLP, ROL, ROR, RTI,
  RTS, SBC, SEC, SED, SEI, STA, STX, STY, TAX, TAY, TSX, TXA, TXS, TYA,
};

enum class AddressMode : uint8_t {
  Implied,
  Immediate,
  Absolute,
  AbsoluteX,
  AbsoluteY,
  ZeroPage,
  ZeroPageX,
  ZeroPageY,
  Indirect,         // JMP ($hhll)
  IndexedIndirect,  // ($zp,X)
  IndirectIndexed,  // ($zp),Y
  Accumulator,
  Relative,
};

struct Opcode {
  Instruction instruction;
  AddressMode mode;
};

// Indexed by the opcode byte: 151 documented entries, the other 105 None.
using OpcodeTable = std::array<Opcode, 256>;
extern const OpcodeTable kOpcodeTable;

// Status register bits.
inline constexpr uint8_t kFlagC = 0x01;
inline constexpr uint8_t kFlagZ = 0x02;
inline constexpr uint8_t kFlagI = 0x04;
inline constexpr uint8_t kFlagD = 0x08;
inline constexpr uint8_t kFlagB = 0x10;
inline constexpr uint8_t kFlagU = 0x20;
inline constexpr uint8_t kFlagV = 0x40;
inline constexpr uint8_t kFlagN = 0x80;

inline constexpr uint16_t kStackPage = 0x0100;
inline constexpr uint16_t kSidWindowMask = 0xFC00;  // (address AND mask) == base: sound chip
inline constexpr uint16_t kSidWindowBase = 0xD400;

// Instruction budgets, one for each kind of call, sized to the real machine.
// A play routine runs once per video frame and must be done within it: a PAL
// frame is 312 lines of 63 cycles and no instruction takes fewer than two
// cycles, so a play call that fits its frame runs at most 9,828 instructions
// (tracker play routines take a few hundred). A play call may run five
// frames' worth; a routine that never returns (a damaged file, or a tune
// waiting for an interrupt that never comes) then costs 50 x 49,140
// instructions per second of audio and still streams many times faster than
// real time, so the refills keep up and a tune switch does not freeze.
// An init routine may decrunch its data or build tables for much longer: it
// gets 5,000,000 instructions, at least ten seconds of the real processor,
// which a runaway one burns in some tens of milliseconds.
inline constexpr uint32_t kPalFrameCycles = 312 * 63;
inline constexpr uint32_t kFastestInstructionCycles = 2;
inline constexpr uint32_t kPlayCallFrames = 5;
inline constexpr uint32_t kPlayCallBudget = kPlayCallFrames * kPalFrameCycles / kFastestInstructionCycles;
inline constexpr uint32_t kInitCallBudget = 5'000'000;
static_assert(kPlayCallBudget == 49'140);
inline constexpr uint32_t kCancelCheckInterval = 1024;

// Observer of the writes that reach the sound chip (tests, magtool).
using SidWriteHook = void (*)(void* context, uint16_t address, uint8_t value);

struct Cpu6502 {
  uint8_t A, X, Y, S, P;
  uint16_t PC;
  uint8_t memory[65536];
  SidChip* chip;           // receives $D400-$D7FF writes; may be null
  SidWriteHook writeHook;  // optional
  void* writeHookContext;
  uint32_t budget;         // instructions for the next call; 0 means no limit
  bool budgetExhausted;    // the last call was cut off by the budget or cancelled
  // Optional: set from another thread to end a running call early (checked
  // every kCancelCheckInterval instructions), so stopping a runaway tune
  // does not wait for its whole budget.
  const std::atomic<bool>* cancel;

  uint8_t readByte(uint16_t address) const { return memory[address]; }
  // The little-endian word with its bytes at low and high: high is low + 1
  // wrapped to 16 bits, or within page zero for a zero-page pointer.
  uint16_t readWord(uint16_t low, uint16_t high) const {
    return static_cast<uint16_t>(memory[low] | (memory[high] << 8));
  }
  void writeByte(uint16_t address, uint8_t value);
  void push(uint8_t value);
  uint8_t pull();
  void step();
  // Runs the routine at address with A preset; returns the instructions run.
  uint32_t callSubroutine(uint16_t address, uint8_t a);

 private:
  uint16_t effectiveAddress(AddressMode mode);
  uint8_t fetchOperand(AddressMode mode);
  void setZN(uint8_t value) {
    P = static_cast<uint8_t>((P & ~(kFlagZ | kFlagN)) | (value == 0 ? kFlagZ : 0) | (value & kFlagN));
  }
  void setFlag(uint8_t flag, bool on) { P = static_cast<uint8_t>(on ? (P | flag) : (P & ~flag)); }
  void add(uint8_t value);
  void compare(uint8_t reg, uint8_t value);
  void branch(bool condition);
};

}  // namespace sid
