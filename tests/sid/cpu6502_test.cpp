// The 6502 interpreter: addressing and wrap-around, instruction flags, the
// stack's sticky pointer, how a call ends, undocumented opcodes and the sound
// chip's write window.
#include <gtest/gtest.h>

#include "sid/cpu6502.h"
#include "tests/sid/sid_test_util.h"

namespace sid {
namespace {

using test::freshState;
using test::poke;

constexpr uint16_t kCode = 0x1000;

struct Cpu : ::testing::Test {
  std::unique_ptr<PlayerState> s = freshState();
  Cpu6502& cpu = s->cpu;
  uint8_t* mem = s->cpu.memory;
  uint32_t run(std::initializer_list<uint8_t> code, uint8_t a = 0) {
    poke(*s, kCode, code);
    return cpu.callSubroutine(kCode, a);
  }
};

// ---- opcode table ----

TEST(OpcodeTable, HasTheDocumentedOpcodesOnly) {
  int defined = 0;
  for (const Opcode& op : kOpcodeTable) defined += op.instruction != Instruction::None;
  EXPECT_EQ(defined, 151);
  // A few spot checks: mnemonic and mode.
  EXPECT_EQ(kOpcodeTable[0xB1].instruction, Instruction::LDA);
  EXPECT_EQ(kOpcodeTable[0xB1].mode, AddressMode::IndirectIndexed);
  EXPECT_EQ(kOpcodeTable[0xB6].mode, AddressMode::ZeroPageY);  // LDX zp,Y
  EXPECT_EQ(kOpcodeTable[0x96].mode, AddressMode::ZeroPageY);  // STX zp,Y
  EXPECT_EQ(kOpcodeTable[0xBC].mode, AddressMode::AbsoluteX);  // LDY abs,X
  EXPECT_EQ(kOpcodeTable[0x6C].mode, AddressMode::Indirect);
  EXPECT_EQ(kOpcodeTable[0x81].mode, AddressMode::IndexedIndirect);
  EXPECT_EQ(kOpcodeTable[0x0A].mode, AddressMode::Accumulator);
  for (uint8_t undocumented : {0x02, 0x03, 0x04, 0x1A, 0x80, 0x89, 0x9C, 0xA7, 0xAB, 0xEB, 0xFF}) {
    EXPECT_EQ(kOpcodeTable[undocumented].instruction, Instruction::None) << int(undocumented);
  }
}

// ---- addressing modes and wrap-around ----

TEST_F(Cpu, ZeroPageXWrapsWithinPageZero) {
  mem[0x08] = 0x42;
  mem[0x108] = 0x99;
  run({0xA2, 0x10, 0xB5, 0xF8, 0x60});  // LDX #$10; LDA $F8,X; RTS
  EXPECT_EQ(cpu.A, 0x42);
}

TEST_F(Cpu, ZeroPageYWrapsWithinPageZero) {
  mem[0x03] = 0x24;
  mem[0x103] = 0x99;
  run({0xA0, 0x05, 0xB6, 0xFE, 0x60});  // LDY #$05; LDX $FE,Y; RTS
  EXPECT_EQ(cpu.X, 0x24);
}

TEST_F(Cpu, StoreZeroPageXWraps) {
  run({0xA9, 0x5A, 0xA2, 0x02, 0x95, 0xFF, 0x60});  // LDA #$5A; LDX #2; STA $FF,X
  EXPECT_EQ(mem[0x01], 0x5A);
  EXPECT_EQ(mem[0x101], 0x00);
}

TEST_F(Cpu, IndexedIndirectPointerWrapsInPageZero) {
  mem[0xFF] = 0x34;  // pointer low at ($FE + 1) & $FF
  mem[0x00] = 0x12;  // pointer high at ($FE + 2) & $FF
  mem[0x1234] = 0x77;
  run({0xA2, 0x01, 0xA1, 0xFE, 0x60});  // LDX #1; LDA ($FE,X)
  EXPECT_EQ(cpu.A, 0x77);
}

TEST_F(Cpu, IndirectIndexedHighByteFromNextZeroPageByte) {
  mem[0xFF] = 0xF0;  // pointer $20F0: low at $FF, high at ($FF + 1) & $FF = $00
  mem[0x00] = 0x20;
  mem[0x100] = 0x30;  // would give $30F0 without the wrap
  mem[0x2110] = 0x66;
  run({0xA0, 0x20, 0xB1, 0xFF, 0x60});  // LDY #$20; LDA ($FF),Y
  EXPECT_EQ(cpu.A, 0x66);
}

TEST_F(Cpu, IndirectIndexedAddressWrapsAtFFFF) {
  mem[0x40] = 0xF0;
  mem[0x41] = 0xFF;  // $FFF0 + $20 = $0010
  mem[0x10] = 0x3C;
  run({0xA0, 0x20, 0xB1, 0x40, 0x60});
  EXPECT_EQ(cpu.A, 0x3C);
}

TEST_F(Cpu, AbsoluteIndexedWrapsAtFFFF) {
  mem[0x0001] = 0x11;
  mem[0x0002] = 0x22;
  run({0xA2, 0x02, 0xBD, 0xFF, 0xFF, 0xA0, 0x03, 0xBE, 0xFF, 0xFF, 0x60});
  // LDX #2; LDA $FFFF,X (-> $0001); LDY #3; LDX $FFFF,Y (-> $0002)
  EXPECT_EQ(cpu.A, 0x11);
  EXPECT_EQ(cpu.X, 0x22);
}

TEST_F(Cpu, JmpIndirectReadsHighByteAcrossThePage) {
  mem[0x10FF] = 0x00;
  mem[0x1100] = 0x20;  // target $2000
  poke(*s, 0x2000, {0xA9, 0x01, 0x60});  // LDA #1; RTS
  poke(*s, 0x3000, {0xA9, 0x02, 0x60});
  // JMP ($10FF) placed at $1400 so the pointer page holds only data.
  poke(*s, 0x1400, {0x6C, 0xFF, 0x10});
  mem[0x1000] = 0x30;  // a chip-faithful page wrap would read $1000 -> $3000
  cpu.callSubroutine(0x1400, 0);
  EXPECT_EQ(cpu.A, 0x01);
}

// ---- instruction flags ----

struct AddCase {
  uint8_t a, value;
  bool carryIn, decimal, subtract;
  uint8_t result;
  bool c, z, n, v;
};

TEST_F(Cpu, AddAndSubtractFlags) {
  const AddCase cases[] = {
      //   A    value  Cin    D     SBC    result  C      Z      N      V (= N xor C)
      {0x01, 0xFF, false, false, false, 0x00, true, true, false, true},
      {0x09, 0x05, false, true, false, 0x0E, false, false, false, false},  // D ignored
      {0x7F, 0x01, false, false, false, 0x80, false, false, true, true},
      {0xFF, 0x01, true, false, false, 0x01, true, false, false, true},
      {0x50, 0x10, true, false, false, 0x61, false, false, false, false},
      {0x05, 0x03, true, false, true, 0x02, true, false, false, true},
      {0x03, 0x05, true, false, true, 0xFE, false, false, true, true},
      {0x05, 0x05, true, false, true, 0x00, true, true, false, true},
      {0x05, 0x05, false, false, true, 0xFF, false, false, true, true},
      {0x10, 0x01, true, true, true, 0x0F, true, false, false, true},  // D ignored
  };
  for (const AddCase& c : cases) {
    s = freshState();
    poke(*s, kCode,
         {uint8_t(c.decimal ? 0xF8 : 0xD8), uint8_t(c.carryIn ? 0x38 : 0x18), 0xA9, c.a,
          uint8_t(c.subtract ? 0xE9 : 0x69), c.value, 0x60});
    s->cpu.callSubroutine(kCode, 0);
    const uint8_t p = s->cpu.P;
    SCOPED_TRACE(testing::Message() << std::hex << int(c.a) << (c.subtract ? " - " : " + ") << int(c.value));
    EXPECT_EQ(s->cpu.A, c.result);
    EXPECT_EQ((p & kFlagC) != 0, c.c);
    EXPECT_EQ((p & kFlagZ) != 0, c.z);
    EXPECT_EQ((p & kFlagN) != 0, c.n);
    EXPECT_EQ((p & kFlagV) != 0, c.v);
    EXPECT_EQ((p & kFlagD) != 0, c.decimal);
  }
}

struct ShiftCase {
  uint8_t opcode;  // accumulator form
  bool carryIn;
  uint8_t value, result;
  bool c, z, n;
};

TEST_F(Cpu, ShiftsAndRotates) {
  const ShiftCase cases[] = {
      // op   Cin    value  result  C      Z      N
      {0x0A, false, 0x80, 0x00, true, true, false},   // ASL
      {0x0A, true, 0x41, 0x82, false, false, true},   // ASL ignores C
      {0x4A, false, 0x01, 0x00, true, true, false},   // LSR
      {0x4A, true, 0x80, 0x40, false, false, false},  // LSR: N always 0
      {0x2A, true, 0x80, 0x01, true, false, false},   // ROL: old C into bit 0
      {0x2A, false, 0x40, 0x80, false, false, true},  // ROL
      {0x6A, true, 0x01, 0x80, true, false, true},    // ROR: old C into bit 7
      {0x6A, false, 0x02, 0x01, false, false, false}, // ROR
      {0x6A, false, 0x01, 0x00, true, true, false},   // ROR
  };
  for (const ShiftCase& c : cases) {
    for (bool inMemory : {false, true}) {
      s = freshState();
      s->cpu.memory[0x40] = c.value;
      if (inMemory) {
        // CLC/SEC; <op> $40 (zero page form is accumulator form - 4); LDA $40 would
        // disturb the flags, so the result is read from memory afterwards.
        poke(*s, kCode, {uint8_t(c.carryIn ? 0x38 : 0x18), uint8_t(c.opcode - 0x04), 0x40, 0x60});
      } else {
        poke(*s, kCode, {uint8_t(c.carryIn ? 0x38 : 0x18), 0xA5, 0x40, c.opcode, 0x60});
      }
      s->cpu.callSubroutine(kCode, 0);
      SCOPED_TRACE(testing::Message() << "op " << std::hex << int(c.opcode) << " value " << int(c.value)
                                      << (inMemory ? " memory" : " A"));
      EXPECT_EQ(inMemory ? s->cpu.memory[0x40] : s->cpu.A, c.result);
      EXPECT_EQ((s->cpu.P & kFlagC) != 0, c.c);
      EXPECT_EQ((s->cpu.P & kFlagZ) != 0, c.z);
      EXPECT_EQ((s->cpu.P & kFlagN) != 0, c.n);
    }
  }
}

struct CompareCase {
  uint8_t opcode;  // immediate form: CMP C9, CPX E0, CPY C0
  uint8_t reg, value;
  bool c, z, n;
};

TEST_F(Cpu, CompareFlags) {
  const CompareCase cases[] = {
      //  op   reg   value  C      Z      N (bit 7 of reg - value)
      {0xC9, 0x10, 0x10, true, true, false},
      {0xC9, 0x10, 0x20, false, false, true},
      {0xC9, 0x10, 0x05, true, false, false},
      {0xC9, 0x80, 0x01, true, false, false},  // $7F
      {0xC9, 0x01, 0x80, false, false, true},  // $81
      {0xE0, 0xFF, 0x00, true, false, true},
      {0xC0, 0x00, 0xFF, false, false, false},  // $01
  };
  for (const CompareCase& c : cases) {
    s = freshState();
    poke(*s, kCode, {0xA9, c.reg, 0xA2, c.reg, 0xA0, c.reg, c.opcode, c.value, 0x60});
    s->cpu.callSubroutine(kCode, 0);
    SCOPED_TRACE(testing::Message() << std::hex << int(c.opcode) << " " << int(c.reg) << " vs " << int(c.value));
    EXPECT_EQ((s->cpu.P & kFlagC) != 0, c.c);
    EXPECT_EQ((s->cpu.P & kFlagZ) != 0, c.z);
    EXPECT_EQ((s->cpu.P & kFlagN) != 0, c.n);
  }
}

TEST_F(Cpu, BitTakesNAndVFromMemory) {
  mem[0x40] = 0xC0;
  mem[0x41] = 0x40;
  run({0xA9, 0x01, 0x24, 0x40, 0x60});  // A & $C0 = 0
  EXPECT_EQ(cpu.P & (kFlagZ | kFlagN | kFlagV), kFlagZ | kFlagN | kFlagV);
  EXPECT_EQ(cpu.A, 0x01);
  s = freshState();
  s->cpu.memory[0x1241] = 0x40;
  poke(*s, kCode, {0xA9, 0x40, 0x2C, 0x41, 0x12, 0x60});  // BIT $1241
  s->cpu.callSubroutine(kCode, 0);
  EXPECT_EQ(s->cpu.P & (kFlagZ | kFlagN | kFlagV), kFlagV);
}

TEST_F(Cpu, IncrementsAndDecrementsWrap) {
  mem[0x40] = 0xFF;
  mem[0x41] = 0x00;
  run({0xE6, 0x40, 0xC6, 0x41, 0x60});  // INC $40; DEC $41
  EXPECT_EQ(mem[0x40], 0x00);
  EXPECT_EQ(mem[0x41], 0xFF);
  EXPECT_EQ(cpu.P & (kFlagZ | kFlagN), kFlagN);  // from the DEC
  s = freshState();
  poke(*s, kCode, {0xA2, 0xFF, 0xE8, 0xA0, 0x00, 0x88, 0x60});  // LDX #$FF; INX; LDY #0; DEY
  s->cpu.callSubroutine(kCode, 0);
  EXPECT_EQ(s->cpu.X, 0x00);
  EXPECT_EQ(s->cpu.Y, 0xFF);
}

TEST_F(Cpu, TransfersAndLogic) {
  run({0xA9, 0xF0, 0x29, 0x3C, 0x09, 0x01, 0x49, 0xFF, 0xAA, 0xA8, 0x60});
  // ($F0 & $3C) = $30; | $01 = $31; ^ $FF = $CE; TAX; TAY
  EXPECT_EQ(cpu.A, 0xCE);
  EXPECT_EQ(cpu.X, 0xCE);
  EXPECT_EQ(cpu.Y, 0xCE);
  EXPECT_TRUE(cpu.P & kFlagN);
}

TEST_F(Cpu, BranchesForwardAndBackward) {
  // LDX #3; loop: DEX; BNE loop (-3); LDA #1; BEQ +2 (not taken: Z clear); LDA #2; RTS
  run({0xA2, 0x03, 0xCA, 0xD0, 0xFD, 0xA9, 0x01, 0xF0, 0x02, 0xA9, 0x02, 0x60});
  EXPECT_EQ(cpu.X, 0x00);
  EXPECT_EQ(cpu.A, 0x02);
}

TEST_F(Cpu, FlagInstructions) {
  run({0x38, 0xF8, 0x78, 0x60});  // SEC SED SEI
  EXPECT_EQ(cpu.P, kFlagC | kFlagD | kFlagI);
  s = freshState();
  s->cpu.memory[0x40] = 0x40;
  poke(*s, kCode, {0x24, 0x40, 0x38, 0xF8, 0x78, 0x18, 0xD8, 0x58, 0xB8, 0x60});  // BIT (V) ... CLV
  s->cpu.callSubroutine(kCode, 0);
  EXPECT_EQ(s->cpu.P & (kFlagC | kFlagD | kFlagI | kFlagV), 0);
}

TEST_F(Cpu, PhpPlpMoveAllEightBits) {
  // LDA #$FF; PHA; PLP; PHP; PLA -> P = $FF, A = $FF
  run({0xA9, 0xFF, 0x48, 0x28, 0x08, 0x68, 0x60});
  EXPECT_EQ(cpu.A, 0xFF);
  EXPECT_EQ(cpu.P, 0xFD);  // all bits from PLP, then PLA's Z = 0, N = 1
}

// ---- stack ----

TEST_F(Cpu, PushAtZeroSticks) {
  // LDX #0; TXS; LDA #$AB; PHA; PHA; TSX; BRK
  run({0xA2, 0x00, 0x9A, 0xA9, 0xAB, 0x48, 0x48, 0xBA, 0x00});
  EXPECT_EQ(mem[0x0100], 0xAB);
  EXPECT_EQ(mem[0x00FF], 0x00);  // never below the stack page
  EXPECT_EQ(cpu.X, 0x00);
  EXPECT_EQ(cpu.S, 0x00);
}

TEST_F(Cpu, PullAtFFSticks) {
  // LDA #$77; STA $01FF; LDX #$FF; TXS; PLA; PLA; BRK
  run({0xA9, 0x77, 0x8D, 0xFF, 0x01, 0xA2, 0xFF, 0x9A, 0x68, 0x68, 0x00});
  EXPECT_EQ(cpu.A, 0x77);  // both pulls read $01FF
  EXPECT_EQ(cpu.S, 0xFF);
}

// ---- how a call ends ----

TEST_F(Cpu, RtsToTheTwoZeroBytesEndsAtPcOne) {
  const uint32_t n = run({0xA9, 0x0F, 0x8D, 0x18, 0xD4, 0x60});  // LDA #$0F; STA $D418; RTS
  EXPECT_EQ(cpu.PC, 0x0001);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(s->chip.modeVolume, 0x0F);
  EXPECT_EQ(mem[0xD418], 0x00);
  EXPECT_EQ(mem[0x01FF], 0x00);
  EXPECT_EQ(mem[0x01FE], 0x00);
}

TEST_F(Cpu, CallPresetsRegisters) {
  cpu.X = 9;
  cpu.Y = 9;
  cpu.P = 0xFF;
  run({0x60}, 0x42);
  EXPECT_EQ(cpu.A, 0x42);
  EXPECT_EQ(cpu.X, 0);
  EXPECT_EQ(cpu.Y, 0);
  EXPECT_EQ(cpu.P, 0);
  EXPECT_EQ(cpu.S, 0xFF);
}

TEST_F(Cpu, BrkEndsTheCallAtOnce) {
  const uint32_t n = run({0xA9, 0x01, 0x00, 0xA9, 0x02, 0x60});
  EXPECT_EQ(cpu.A, 0x01);
  EXPECT_EQ(cpu.PC, 0x0000);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(cpu.S, 0xFD);  // nothing pushed
}

TEST_F(Cpu, NestedJsrReturnsAfterEachCall) {
  poke(*s, 0x1010, {0x20, 0x20, 0x10, 0xC8, 0x60});  // JSR $1020; INY; RTS
  poke(*s, 0x1020, {0xA9, 0x07, 0x60});              // LDA #7; RTS
  const uint32_t n = run({0x20, 0x10, 0x10, 0xE8, 0x60});  // JSR $1010; INX; RTS
  EXPECT_EQ(cpu.A, 0x07);
  EXPECT_EQ(cpu.X, 0x01);
  EXPECT_EQ(cpu.Y, 0x01);
  EXPECT_EQ(cpu.PC, 0x0001);
  EXPECT_EQ(n, 8u);  // JSR JSR LDA RTS INY RTS INX RTS
  // JSR pushed the address of its last operand byte: $1002 as high, low.
  EXPECT_EQ(mem[0x01FD], 0x10);
  EXPECT_EQ(mem[0x01FC], 0x02);
}

TEST_F(Cpu, RtiBehavesLikeRts) {
  poke(*s, 0x1010, {0x40});  // RTI
  run({0x20, 0x10, 0x10, 0xA9, 0x05, 0x60});
  EXPECT_EQ(cpu.A, 0x05);
  EXPECT_EQ(cpu.PC, 0x0001);
}

TEST_F(Cpu, JumpToZeroPageStartEndsTheCall) {
  mem[0x0000] = 0xA9;  // never executed
  run({0xA9, 0x03, 0x4C, 0x01, 0x00});
  EXPECT_EQ(cpu.A, 0x03);
  EXPECT_EQ(cpu.PC, 0x0001);
}

TEST_F(Cpu, RunawayLoopStopsAtTheBudget) {
  cpu.budget = 1000;
  const uint32_t n = run({0x4C, 0x00, 0x10});  // JMP $1000 forever
  EXPECT_EQ(n, 1000u);
  EXPECT_TRUE(cpu.budgetExhausted);
  run({0x60});
  EXPECT_FALSE(cpu.budgetExhausted);
}

TEST_F(Cpu, CancelEndsARunningCallEarly) {
  std::atomic<bool> cancel{true};
  cpu.cancel = &cancel;
  const uint32_t n = run({0x4C, 0x00, 0x10});
  EXPECT_LT(n, kCancelCheckInterval + 1);
  EXPECT_TRUE(cpu.budgetExhausted);
  cancel.store(false);
  EXPECT_EQ(run({0xE8, 0x60}), 2u);  // runs normally again
  EXPECT_FALSE(cpu.budgetExhausted);
}

TEST_F(Cpu, UndocumentedOpcodeIsAOneByteNop) {
  // $A7 on a chip would be a two-byte instruction; here the $A9 after it is
  // the next opcode.
  const uint32_t n = run({0xA7, 0xA9, 0x33, 0x60});
  EXPECT_EQ(cpu.A, 0x33);
  EXPECT_EQ(n, 3u);
  const Cpu6502 before = cpu;
  cpu.PC = kCode;
  cpu.step();
  EXPECT_EQ(cpu.PC, kCode + 1);
  EXPECT_EQ(cpu.A, before.A);
  EXPECT_EQ(cpu.P, before.P);
}

// ---- the sound chip's window ----

TEST_F(Cpu, WritesToTheWindowReachTheChipNotMemory) {
  test::WriteLog log;
  log.attach(*s);
  mem[0xD418] = 0x5A;  // what a tune image could have placed there
  // LDA #$0F; STA $D418; LDA $D418; STA $40; LDA #$34; STA $D420; STA $D43D;
  // STA $D3FF; STA $D800; RTS
  run({0xA9, 0x0F, 0x8D, 0x18, 0xD4, 0xAD, 0x18, 0xD4, 0x85, 0x40, 0xA9, 0x34, 0x8D, 0x20, 0xD4,
       0x8D, 0x3D, 0xD4, 0x8D, 0xFF, 0xD3, 0x8D, 0x00, 0xD8, 0x60});
  EXPECT_EQ(s->chip.modeVolume, 0x0F);
  EXPECT_EQ(mem[0xD418], 0x5A);  // unchanged
  EXPECT_EQ(mem[0x40], 0x5A);    // reads return RAM
  EXPECT_EQ(s->chip.voice[0].frequency, 0x0034);  // $D420 mirrors register 0
  EXPECT_EQ(s->chip.sample.latched.endAddress, 0x34);
  EXPECT_EQ(mem[0xD420], 0x00);
  EXPECT_EQ(mem[0xD3FF], 0x34);  // below the window
  EXPECT_EQ(mem[0xD800], 0x34);  // above the window
  const std::vector<std::pair<uint16_t, uint8_t>> expected = {
      {0xD418, 0x0F}, {0xD420, 0x34}, {0xD43D, 0x34}};
  EXPECT_EQ(log.writes, expected);
}

TEST_F(Cpu, ReadModifyWriteInTheWindowReadsRam) {
  mem[0xD404] = 0x40;  // INC $D404 reads RAM ($40), writes $41 to the chip
  run({0xEE, 0x04, 0xD4, 0x60});
  EXPECT_EQ(s->chip.voice[0].control, 0x41);
  EXPECT_EQ(mem[0xD404], 0x40);
}

}  // namespace
}  // namespace sid
