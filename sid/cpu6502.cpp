#include "sid/cpu6502.h"

#include "sid/sid_chip.h"

namespace sid {
namespace {

using I = Instruction;
using M = AddressMode;

struct Entry {
  uint8_t code;
  Instruction instruction;
  AddressMode mode;
};

// The 151 documented NMOS opcodes.
constexpr Entry kDocumented[] = {
    {0x69, I::ADC, M::Immediate}, {0x65, I::ADC, M::ZeroPage}, {0x75, I::ADC, M::ZeroPageX},
    {0x6D, I::ADC, M::Absolute}, {0x7D, I::ADC, M::AbsoluteX}, {0x79, I::ADC, M::AbsoluteY},
    {0x61, I::ADC, M::IndexedIndirect}, {0x71, I::ADC, M::IndirectIndexed},
    {0x29, I::AND, M::Immediate}, {0x25, I::AND, M::ZeroPage}, {0x35, I::AND, M::ZeroPageX},
    {0x2D, I::AND, M::Absolute}, {0x3D, I::AND, M::AbsoluteX}, {0x39, I::AND, M::AbsoluteY},
    {0x21, I::AND, M::IndexedIndirect}, {0x31, I::AND, M::IndirectIndexed},
    {0x0A, I::ASL, M::Accumulator}, {0x06, I::ASL, M::ZeroPage}, {0x16, I::ASL, M::ZeroPageX},
    {0x0E, I::ASL, M::Absolute}, {0x1E, I::ASL, M::AbsoluteX},
    {0x90, I::BCC, M::Relative}, {0xB0, I::BCS, M::Relative}, {0xF0, I::BEQ, M::Relative},
    {0x30, I::BMI, M::Relative}, {0xD0, I::BNE, M::Relative}, {0x10, I::BPL, M::Relative},
    {0x50, I::BVC, M::Relative}, {0x70, I::BVS, M::Relative},
    {0x24, I::BIT, M::ZeroPage}, {0x2C, I::BIT, M::Absolute},
    {0x00, I::BRK, M::Implied},
    {0x18, I::CLC, M::Implied}, {0xD8, I::CLD, M::Implied}, {0x58, I::CLI, M::Implied},
    {0xB8, I::CLV, M::Implied},
    {0xC9, I::CMP, M::Immediate}, {0xC5, I::CMP, M::ZeroPage}, {0xD5, I::CMP, M::ZeroPageX},
    {0xCD, I::CMP, M::Absolute}, {0xDD, I::CMP, M::AbsoluteX}, {0xD9, I::CMP, M::AbsoluteY},
    {0xC1, I::CMP, M::IndexedIndirect}, {0xD1, I::CMP, M::IndirectIndexed},
    {0xE0, I::CPX, M::Immediate}, {0xE4, I::CPX, M::ZeroPage}, {0xEC, I::CPX, M::Absolute},
    {0xC0, I::CPY, M::Immediate}, {0xC4, I::CPY, M::ZeroPage}, {0xCC, I::CPY, M::Absolute},
    {0xC6, I::DEC, M::ZeroPage}, {0xD6, I::DEC, M::ZeroPageX}, {0xCE, I::DEC, M::Absolute},
    {0xDE, I::DEC, M::AbsoluteX},
    {0xCA, I::DEX, M::Implied}, {0x88, I::DEY, M::Implied},
    {0x49, I::EOR, M::Immediate}, {0x45, I::EOR, M::ZeroPage}, {0x55, I::EOR, M::ZeroPageX},
    {0x4D, I::EOR, M::Absolute}, {0x5D, I::EOR, M::AbsoluteX}, {0x59, I::EOR, M::AbsoluteY},
    {0x41, I::EOR, M::IndexedIndirect}, {0x51, I::EOR, M::IndirectIndexed},
    {0xE6, I::INC, M::ZeroPage}, {0xF6, I::INC, M::ZeroPageX}, {0xEE, I::INC, M::Absolute},
    {0xFE, I::INC, M::AbsoluteX},
    {0xE8, I::INX, M::Implied}, {0xC8, I::INY, M::Implied},
    {0x4C, I::JMP, M::Absolute}, {0x6C, I::JMP, M::Indirect},
    {0x20, I::JSR, M::Absolute},
    {0xA9, I::LDA, M::Immediate}, {0xA5, I::LDA, M::ZeroPage}, {0xB5, I::LDA, M::ZeroPageX},
    {0xAD, I::LDA, M::Absolute}, {0xBD, I::LDA, M::AbsoluteX}, {0xB9, I::LDA, M::AbsoluteY},
    {0xA1, I::LDA, M::IndexedIndirect}, {0xB1, I::LDA, M::IndirectIndexed},
    {0xA2, I::LDX, M::Immediate}, {0xA6, I::LDX, M::ZeroPage}, {0xB6, I::LDX, M::ZeroPageY},
    {0xAE, I::LDX, M::Absolute}, {0xBE, I::LDX, M::AbsoluteY},
    {0xA0, I::LDY, M::Immediate}, {0xA4, I::LDY, M::ZeroPage}, {0xB4, I::LDY, M::ZeroPageX},
    {0xAC, I::LDY, M::Absolute}, {0xBC, I::LDY, M::AbsoluteX},
    {0x4A, I::LSR, M::Accumulator}, {0x46, I::LSR, M::ZeroPage}, {0x56, I::LSR, M::ZeroPageX},
    {0x4E, I::LSR, M::Absolute}, {0x5E, I::LSR, M::AbsoluteX},
    {0xEA, I::NOP, M::Implied},
    {0x09, I::ORA, M::Immediate}, {0x05, I::ORA, M::ZeroPage}, {0x15, I::ORA, M::ZeroPageX},
    {0x0D, I::ORA, M::Absolute}, {0x1D, I::ORA, M::AbsoluteX}, {0x19, I::ORA, M::AbsoluteY},
    {0x01, I::ORA, M::IndexedIndirect}, {0x11, I::ORA, M::IndirectIndexed},
    {0x48, I::PHA, M::Implied}, {0x08, I::PHP, M::Implied}, {0x68, I::PLA, M::Implied},
    {0x28, I::PLP, M::Implied},
    {0x2A, I::ROL, M::Accumulator}, {0x26, I::ROL, M::ZeroPage}, {0x36, I::ROL, M::ZeroPageX},
    {0x2E, I::ROL, M::Absolute}, {0x3E, I::ROL, M::AbsoluteX},
    {0x6A, I::ROR, M::Accumulator}, {0x66, I::ROR, M::ZeroPage}, {0x76, I::ROR, M::ZeroPageX},
    {0x6E, I::ROR, M::Absolute}, {0x7E, I::ROR, M::AbsoluteX},
    {0x40, I::RTI, M::Implied}, {0x60, I::RTS, M::Implied},
    {0xE9, I::SBC, M::Immediate}, {0xE5, I::SBC, M::ZeroPage}, {0xF5, I::SBC, M::ZeroPageX},
    {0xED, I::SBC, M::Absolute}, {0xFD, I::SBC, M::AbsoluteX}, {0xF9, I::SBC, M::AbsoluteY},
    {0xE1, I::SBC, M::IndexedIndirect}, {0xF1, I::SBC, M::IndirectIndexed},
    {0x38, I::SEC, M::Implied}, {0xF8, I::SED, M::Implied}, {0x78, I::SEI, M::Implied},
    {0x85, I::STA, M::ZeroPage}, {0x95, I::STA, M::ZeroPageX}, {0x8D, I::STA, M::Absolute},
    {0x9D, I::STA, M::AbsoluteX}, {0x99, I::STA, M::AbsoluteY},
    {0x81, I::STA, M::IndexedIndirect}, {0x91, I::STA, M::IndirectIndexed},
    {0x86, I::STX, M::ZeroPage}, {0x96, I::STX, M::ZeroPageY}, {0x8E, I::STX, M::Absolute},
    {0x84, I::STY, M::ZeroPage}, {0x94, I::STY, M::ZeroPageX}, {0x8C, I::STY, M::Absolute},
    {0xAA, I::TAX, M::Implied}, {0xA8, I::TAY, M::Implied}, {0xBA, I::TSX, M::Implied},
    {0x8A, I::TXA, M::Implied}, {0x9A, I::TXS, M::Implied}, {0x98, I::TYA, M::Implied},
};

constexpr OpcodeTable buildTable() {
  OpcodeTable table{};
  for (auto& op : table) op = {I::None, M::Implied};
  for (const Entry& e : kDocumented) table[e.code] = {e.instruction, e.mode};
  return table;
}

}  // namespace

const OpcodeTable kOpcodeTable = buildTable();

void Cpu6502::writeByte(uint16_t address, uint8_t value) {
  if ((address & kSidWindowMask) == kSidWindowBase) {
    if (writeHook) writeHook(writeHookContext, address, value);
    if (chip) chip->write(address, value);
    return;
  }
  memory[address] = value;
}

void Cpu6502::push(uint8_t value) {
  writeByte(static_cast<uint16_t>(kStackPage + S), value);
  if (S != 0) --S;
}

uint8_t Cpu6502::pull() {
  if (S != 0xFF) ++S;
  return readByte(static_cast<uint16_t>(kStackPage + S));
}

uint16_t Cpu6502::effectiveAddress(AddressMode mode) {
  switch (mode) {
    case M::Absolute:
    case M::AbsoluteX:
    case M::AbsoluteY: {
      const uint16_t base = readWord(PC, static_cast<uint16_t>(PC + 1));
      PC = static_cast<uint16_t>(PC + 2);
      if (mode == M::AbsoluteX) return static_cast<uint16_t>(base + X);
      if (mode == M::AbsoluteY) return static_cast<uint16_t>(base + Y);
      return base;
    }
    case M::ZeroPage: return memory[PC++];
    case M::ZeroPageX: return static_cast<uint8_t>(memory[PC++] + X);
    case M::ZeroPageY: return static_cast<uint8_t>(memory[PC++] + Y);
    case M::IndexedIndirect: {
      const uint8_t zp = static_cast<uint8_t>(memory[PC++] + X);
      return readWord(zp, static_cast<uint8_t>(zp + 1));
    }
    case M::IndirectIndexed: {
      const uint8_t zp = memory[PC++];
      return static_cast<uint16_t>(readWord(zp, static_cast<uint8_t>(zp + 1)) + Y);
    }
    default: return 0;
  }
}

uint8_t Cpu6502::fetchOperand(AddressMode mode) {
  switch (mode) {
    case M::Immediate: return memory[PC++];
    case M::Accumulator: return A;
    case M::Implied:
    case M::Relative:
    case M::Indirect: return 0;
    default: return readByte(effectiveAddress(mode));
  }
}

void Cpu6502::add(uint8_t value) {
  const unsigned sum = A + value + (P & kFlagC);
  A = static_cast<uint8_t>(sum);
  setFlag(kFlagC, sum > 0xFF);
  setZN(A);
  setFlag(kFlagV, ((A & kFlagN) != 0) != ((P & kFlagC) != 0));
}

void Cpu6502::compare(uint8_t reg, uint8_t value) {
  setFlag(kFlagZ, reg == value);
  setFlag(kFlagN, (static_cast<uint8_t>(reg - value) & 0x80) != 0);
  setFlag(kFlagC, reg >= value);
}

void Cpu6502::branch(bool condition) {
  const int8_t offset = static_cast<int8_t>(memory[PC++]);
  if (condition) PC = static_cast<uint16_t>(PC + offset);
}

void Cpu6502::step() {
  const Opcode op = kOpcodeTable[memory[PC++]];
  const AddressMode mode = op.mode;
  switch (op.instruction) {
    case I::None: break;
    case I::LDA: A = fetchOperand(mode); setZN(A); break;
    case I::LDX: X = fetchOperand(mode); setZN(X); break;
    case I::LDY: Y = fetchOperand(mode); setZN(Y); break;
    case I::STA: writeByte(effectiveAddress(mode), A); break;
    case I::STX: writeByte(effectiveAddress(mode), X); break;
    case I::STY: writeByte(effectiveAddress(mode), Y); break;
    case I::TAX: X = A; setZN(X); break;
    case I::TAY: Y = A; setZN(Y); break;
    case I::TXA: A = X; setZN(A); break;
    case I::TYA: A = Y; setZN(A); break;
    case I::TSX: X = S; setZN(X); break;
    case I::TXS: S = X; break;
    case I::AND: A &= fetchOperand(mode); setZN(A); break;
    case I::ORA: A |= fetchOperand(mode); setZN(A); break;
    case I::EOR: A ^= fetchOperand(mode); setZN(A); break;
    case I::ADC: add(fetchOperand(mode)); break;
    case I::SBC: add(static_cast<uint8_t>(fetchOperand(mode) ^ 0xFF)); break;
    case I::CMP: compare(A, fetchOperand(mode)); break;
    case I::CPX: compare(X, fetchOperand(mode)); break;
    case I::CPY: compare(Y, fetchOperand(mode)); break;
    case I::BIT: {
      const uint8_t value = fetchOperand(mode);
      setFlag(kFlagZ, (A & value) == 0);
      setFlag(kFlagN, (value & 0x80) != 0);
      setFlag(kFlagV, (value & 0x40) != 0);
      break;
    }
    case I::INC:
    case I::DEC:
    case I::ASL:
    case I::LSR:
    case I::ROL:
    case I::ROR: {
      const bool onA = mode == M::Accumulator;
      const uint16_t address = onA ? 0 : effectiveAddress(mode);
      const uint8_t value = onA ? A : readByte(address);
      uint8_t result = 0;
      switch (op.instruction) {
        case I::INC: result = static_cast<uint8_t>(value + 1); break;
        case I::DEC: result = static_cast<uint8_t>(value - 1); break;
        case I::ASL:
          result = static_cast<uint8_t>(value << 1);
          setFlag(kFlagC, (value & 0x80) != 0);
          break;
        case I::LSR:
          result = static_cast<uint8_t>(value >> 1);
          setFlag(kFlagC, (value & 0x01) != 0);
          break;
        case I::ROL:
          result = static_cast<uint8_t>((value << 1) | (P & kFlagC));
          setFlag(kFlagC, (value & 0x80) != 0);
          break;
        default:  // ROR
          result = static_cast<uint8_t>((value >> 1) | ((P & kFlagC) << 7));
          setFlag(kFlagC, (value & 0x01) != 0);
          break;
      }
      setZN(result);
      if (onA) {
        A = result;
      } else {
        writeByte(address, result);
      }
      break;
    }
    case I::INX: ++X; setZN(X); break;
    case I::INY: ++Y; setZN(Y); break;
    case I::DEX: --X; setZN(X); break;
    case I::DEY: --Y; setZN(Y); break;
    case I::BCC: branch(!(P & kFlagC)); break;
    case I::BCS: branch(P & kFlagC); break;
    case I::BNE: branch(!(P & kFlagZ)); break;
    case I::BEQ: branch(P & kFlagZ); break;
    case I::BPL: branch(!(P & kFlagN)); break;
    case I::BMI: branch(P & kFlagN); break;
    case I::BVC: branch(!(P & kFlagV)); break;
    case I::BVS: branch(P & kFlagV); break;
    case I::JMP: {
      const uint16_t word = readWord(PC, static_cast<uint16_t>(PC + 1));
      if (mode == M::Indirect) {
        PC = readWord(word, static_cast<uint16_t>(word + 1));  // across a page boundary too
      } else {
        PC = word;
      }
      break;
    }
    case I::JSR: {
      const uint16_t target = readWord(PC, static_cast<uint16_t>(PC + 1));
      const uint16_t ret = static_cast<uint16_t>(PC + 1);
      push(static_cast<uint8_t>(ret >> 8));
      push(static_cast<uint8_t>(ret));
      PC = target;
      break;
    }
    case I::RTS:
    case I::RTI: {
      const uint16_t lo = pull();
      const uint16_t hi = pull();
      PC = static_cast<uint16_t>((lo | (hi << 8)) + 1);
      break;
    }
    case I::PHA: push(A); break;
    case I::PHP: push(P); break;
    case I::PLA: A = pull(); setZN(A); break;
    case I::PLP: P = pull(); break;
    case I::CLC: P &= static_cast<uint8_t>(~kFlagC); break;
    case I::SEC: P |= kFlagC; break;
    case I::CLD: P &= static_cast<uint8_t>(~kFlagD); break;
    case I::SED: P |= kFlagD; break;
    case I::CLI: P &= static_cast<uint8_t>(~kFlagI); break;
    case I::SEI: P |= kFlagI; break;
    case I::CLV: P &= static_cast<uint8_t>(~kFlagV); break;
    case I::NOP: break;
    case I::BRK: PC = 0; break;
  }
}

uint32_t Cpu6502::callSubroutine(uint16_t address, uint8_t a) {
  A = a;
  X = 0;
  Y = 0;
  P = 0;
  S = 0xFF;
  PC = address;
  push(0);
  push(0);
  budgetExhausted = false;
  uint32_t count = 0;
  while (PC > 1) {
    if (budget != 0 && count >= budget) {
      budgetExhausted = true;
      break;
    }
    if (cancel && count % kCancelCheckInterval == 0 && cancel->load(std::memory_order_relaxed)) {
      budgetExhausted = true;
      break;
    }
    step();
    ++count;
  }
  return count;
}

}  // namespace sid
