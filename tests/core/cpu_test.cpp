// SPDX-License-Identifier: GPL-2.0-or-later
// The interpreter one instruction at a time: one table per instruction family,
// each row an instruction's bytes, the registers before and after it, the
// memory it leaves and its cycles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/c64_memory.h"
#include "core/cpu.h"
#include "instruction_rows.h"
#include "opcode_matrix.h"
#include "sid/sid_state.h"
#include "test_support.h"

namespace chipbox {
namespace {

using namespace flag;

using test::CpuTest;
using test::ORIGIN;
using test::Row;

TEST_F(CpuTest, LoadsCountEveryAddressingModeAndSetNegativeAndZero) {
    test::Poke(0x0000, {0x12});  // high byte of the pointer at $FF
    test::Poke(0x0004, {0x99});
    test::Poke(0x0010, {0x42, 0, 0, 0, 0, 0x43});
    test::Poke(0x0020, {0x40, 0x12, 0x34, 0x12, 0xFF, 0x12});  // $1240, $1234, $12FF
    test::Poke(0x00FF, {0x39});
    test::Poke(0x1234, {0x44, 0, 0, 0, 0, 0x45});
    test::Poke(0x1240, {0x47});
    test::Poke(0x1300, {0x46});
    Run({
        {"LDA # negative", {0xA9, 0x80}, {}, {.a = 0x80, .p = N}, 2},
        {"LDA # 0 keeps C, V", {0xA9, 0x00}, {.a = 7, .p = N | V | C}, {.a = 0, .p = Z | V | C}, 2},
        {"LDA zp", {0xA5, 0x10}, {}, {.a = 0x42}, 3},
        {"LDA zp,X", {0xB5, 0x10}, {.x = 5}, {.a = 0x43}, 4},
        {"LDA zp,X wraps within page 0", {0xB5, 0xF4}, {.x = 0x10}, {.a = 0x99, .p = N}, 4},
        {"LDA abs", {0xAD, 0x34, 0x12}, {}, {.a = 0x44}, 4},
        {"LDA abs,X", {0xBD, 0x34, 0x12}, {.x = 5}, {.a = 0x45}, 4},
        {"LDA abs,X across a page", {0xBD, 0xFF, 0x12}, {.x = 1}, {.a = 0x46}, 5},
        {"LDA abs,Y", {0xB9, 0x34, 0x12}, {.y = 5}, {.a = 0x45}, 4},
        {"LDA abs,Y across a page", {0xB9, 0xFB, 0x12}, {.y = 5}, {.a = 0x46}, 5},
        {"LDA (zp,X)", {0xA1, 0x1B}, {.x = 5}, {.a = 0x47}, 6},
        {"LDA (zp,X) index wraps within page 0", {0xA1, 0xF0}, {.x = 0x30}, {.a = 0x47}, 6},
        {"LDA (zp),Y", {0xB1, 0x22}, {.y = 5}, {.a = 0x45}, 5},
        {"LDA (zp),Y across a page", {0xB1, 0x24}, {.y = 1}, {.a = 0x46}, 6},
        {"LDA (zp),Y pointer at $FF wraps to $00", {0xB1, 0xFF}, {}, {.a = 0x45}, 5},
        {"LDA abs at $FFFE wraps", {0xAD, 0x34, 0x12}, {.pc = 0xFFFE}, {.a = 0x44, .pc = 1}, 4},
        {"LDX # zero", {0xA2, 0x00}, {.x = 3}, {.x = 0, .p = Z}, 2},
        {"LDX zp", {0xA6, 0x10}, {}, {.x = 0x42}, 3},
        {"LDX zp,Y", {0xB6, 0x10}, {.y = 5}, {.x = 0x43}, 4},
        {"LDX abs", {0xAE, 0x34, 0x12}, {}, {.x = 0x44}, 4},
        {"LDX abs,Y across a page", {0xBE, 0xFF, 0x12}, {.y = 1}, {.x = 0x46}, 5},
        {"LDY # negative", {0xA0, 0x90}, {}, {.y = 0x90, .p = N}, 2},
        {"LDY zp", {0xA4, 0x10}, {}, {.y = 0x42}, 3},
        {"LDY zp,X", {0xB4, 0x10}, {.x = 5}, {.y = 0x43}, 4},
        {"LDY abs", {0xAC, 0x34, 0x12}, {}, {.y = 0x44}, 4},
        {"LDY abs,X across a page", {0xBC, 0xFF, 0x12}, {.x = 1}, {.y = 0x46}, 5},
    });
}

// V is the signed overflow of the binary sum; D is kept but never changes it.
TEST_F(CpuTest, LogicAndBinaryArithmeticSetTheirFlags) {
    test::Poke(0x0031, {0x09, 0xFF, 0x12});  // and the pointer $12FF
    test::Poke(0x1300, {0x01});
    Run({
        {"AND # to zero", {0x29, 0x0F}, {.a = 0xF0}, {.a = 0x00, .p = Z}, 2},
        {"ORA #", {0x09, 0x81}, {.a = 0x01, .p = Z}, {.a = 0x81, .p = N}, 2},
        {"EOR #", {0x49, 0xFF}, {.a = 0x81, .p = N}, {.a = 0x7E, .p = 0}, 2},
        {"ADC carry out without overflow", {0x69, 0xFF}, {.a = 0x01}, {.a = 0x00, .p = C | Z}, 2},
        {"ADC positives overflow", {0x69, 0x50}, {.a = 0x50}, {.a = 0xA0, .p = N | V}, 2},
        {"ADC negatives overflow", {0x69, 0x80}, {.a = 0x80, .p = C}, {.a = 0x01, .p = V | C}, 2},
        {"ADC carry in overflows", {0x69, 0x00}, {.a = 0x7F, .p = C}, {.a = 0x80, .p = N | V}, 2},
        {"ADC (zp),Y across a page", {0x71, 0x32}, {.a = 0xFF, .y = 1}, {.a = 0x00, .p = C | Z}, 6},
        {"ADC zp stays binary with D set", {0x65, 0x31}, {.a = 0x09, .p = D}, {.a = 0x12}, 3},
        {"SBC borrows", {0xE9, 0x01}, {.a = 0x00, .p = C}, {.a = 0xFF, .p = N}, 2},
        {"SBC -128 - 1 overflows", {0xE9, 0x01}, {.a = 0x80, .p = C}, {.a = 0x7F, .p = V | C}, 2},
        {"SBC 127 - -1 overflows", {0xE9, 0xFF}, {.a = 0x7F, .p = C}, {.a = 0x80, .p = N | V}, 2},
        {"SBC carry clear takes one more", {0xE9, 0x05}, {.a = 0x10}, {.a = 0x0A, .p = C}, 2},
        {"SBC zp stays binary with D set", {0xE5, 0x31}, {.a = 0x10, .p = C | D}, {.a = 0x07}, 3},
    });
}

TEST_F(CpuTest, ComparesAndBitSetFlagsAndKeepTheRegisters) {
    test::Poke(0x0033, {0x40});
    test::Poke(0x0040, {0xC0, 0x01, 0x40});
    test::Poke(0x1300, {0x7F});
    Run({
        {"CMP # below keeps V", {0xC9, 0x80}, {.a = 0x7F, .p = V}, {.p = N | V}, 2},
        {"CMP # equal", {0xC9, 0x7F}, {.a = 0x7F, .p = N}, {.p = Z | C}, 2},
        {"CMP # above", {0xC9, 0x01}, {.a = 0x7F}, {.p = C}, 2},
        {"CMP abs,X across a page", {0xDD, 0xFF, 0x12}, {.a = 0x7F, .x = 1}, {.p = Z | C}, 5},
        {"CPX #", {0xE0, 0x41}, {.x = 0x40}, {.p = N}, 2},
        {"CPX zp", {0xE4, 0x33}, {.x = 0x40}, {.p = Z | C}, 3},
        {"CPX abs", {0xEC, 0x33, 0x00}, {.x = 0x41}, {.p = C}, 4},
        {"CPY #", {0xC0, 0x01}, {.y = 0x01}, {.p = Z | C}, 2},
        {"CPY zp", {0xC4, 0x33}, {.y = 0x01}, {.p = N}, 3},
        {"CPY abs", {0xCC, 0x33, 0x00}, {.y = 0x80}, {.p = C}, 4},
        {"BIT zp: N, V from bits 7, 6, Z from A AND", {0x24, 0x40}, {.a = 1}, {.p = N | V | Z}, 3},
        {"BIT abs clears them", {0x2C, 0x41, 0x00}, {.a = 0x01, .p = N | V | Z | C}, {.p = C}, 4},
        {"BIT V from bit 6 alone", {0x24, 0x42}, {.a = 0x40}, {.p = V}, 3},
    });
}

// Read-modify-write counts a write after the read, and abs,X always 7. The
// SID gets the new value.
TEST_F(CpuTest, ShiftsRotatesAndCountersInMemory) {
    test::Poke(0x0050, {0x81, 0x40, 0x00});
    test::Poke(0xD404, {0x10});
    test::Poke(0x2001, {0x7F});
    test::Poke(0x2100, {0xFF});
    Run({
        {"ASL A", {0x0A}, {.a = 0x80}, {.a = 0x00, .p = C | Z}, 2},
        {"LSR A", {0x4A}, {.a = 0x01, .p = N}, {.a = 0x00, .p = Z | C}, 2},
        {"ROL A takes carry in", {0x2A}, {.a = 0x40, .p = C}, {.a = 0x81, .p = N}, 2},
        {"ROR A takes carry in", {0x6A}, {.a = 0x01, .p = C}, {.a = 0x80, .p = N | C}, 2},
        {"ASL zp", {0x06, 0x51}, {}, {.p = N}, 5, 0x0051, {0x80}},
        {"LSR zp", {0x46, 0x50}, {}, {.p = C}, 5, 0x0050, {0x40}},
        {"ROL zp,X", {0x36, 0x4F}, {.x = 1, .p = C}, {.p = C}, 6, 0x0050, {0x03}},
        {"ROR abs", {0x6E, 0x50, 0x00}, {}, {.p = C}, 6, 0x0050, {0x40}},
        {"ROR abs,X", {0x7E, 0x4F, 0x00}, {.x = 1, .p = C}, {.p = N | C}, 7, 0x0050, {0xC0}},
        {"INC zp", {0xE6, 0x51}, {}, {}, 5, 0x0051, {0x41}},
        {"INC zp,X", {0xF6, 0x50}, {.x = 1}, {}, 6, 0x0051, {0x41}},
        {"INC abs", {0xEE, 0x01, 0x20}, {}, {.p = N}, 6, 0x2001, {0x80}},
        {"INC abs,X", {0xFE, 0x00, 0x21}, {}, {.p = Z}, 7, 0x2100, {0x00}},
        {"INC abs,X across a page", {0xFE, 0xFF, 0x20}, {.x = 1}, {.p = Z}, 7, 0x2100, {0x00}},
        {"DEC zp", {0xC6, 0x52}, {}, {.p = N}, 5, 0x0052, {0xFF}},
        {"DEC zp,X", {0xD6, 0x50}, {.x = 1}, {}, 6, 0x0051, {0x3F}},
        {"DEC abs", {0xCE, 0x01, 0x20}, {}, {}, 6, 0x2001, {0x7E}},
        {"DEC abs,X", {0xDE, 0x00, 0x20}, {.x = 1}, {}, 7, 0x2001, {0x7E}},
        {"INC abs on the SID", {0xEE, 0x04, 0xD4}, {}, {}, 6, 0xD404, {0x11}},
    });
    EXPECT_EQ(registerImage.values[4], 0x11);
    EXPECT_EQ(sidState.voiceRegisters[0].control, 0x11);
}

// Indexed stores count one cycle less than the hardware, except abs,Y across
// a page. Stores set no flag.
TEST_F(CpuTest, StoresCountTheirCyclesAndSetNoFlag) {
    test::Poke(0x0070, {0xFF, 0x20, 0x00, 0x20});  // pointers $20FF, $2000
    Run({
        {"STA zp", {0x85, 0x60}, {.a = 0x80}, {}, 3, 0x0060, {0x80}},
        {"STA zp,X", {0x95, 0x60}, {.a = 0x80, .x = 1}, {}, 4, 0x0061, {0x80}},
        {"STA abs", {0x8D, 0x00, 0x20}, {.a = 0x80}, {}, 4, 0x2000, {0x80}},
        {"STA abs,X", {0x9D, 0x00, 0x20}, {.a = 0x80, .x = 1}, {}, 4, 0x2001, {0x80}},
        {"STA abs,X across", {0x9D, 0xFF, 0x20}, {.a = 0x80, .x = 1}, {}, 4, 0x2100, {0x80}},
        {"STA abs,Y", {0x99, 0x00, 0x20}, {.a = 0x80, .y = 1}, {}, 4, 0x2001, {0x80}},
        {"STA abs,Y across", {0x99, 0xFF, 0x20}, {.a = 0x80, .y = 1}, {}, 5, 0x2100, {0x80}},
        {"STA (zp,X)", {0x81, 0x6F}, {.a = 0x80, .x = 1}, {}, 6, 0x20FF, {0x80}},
        {"STA (zp),Y", {0x91, 0x72}, {.a = 0x80, .y = 1}, {}, 5, 0x2001, {0x80}},
        {"STA (zp),Y across", {0x91, 0x70}, {.a = 0x80, .y = 1}, {}, 5, 0x2100, {0x80}},
        {"STX zp", {0x86, 0x60}, {.x = 0x80}, {}, 3, 0x0060, {0x80}},
        {"STX zp,Y", {0x96, 0x60}, {.x = 0x80, .y = 1}, {}, 4, 0x0061, {0x80}},
        {"STX abs", {0x8E, 0x00, 0x20}, {.x = 0x80}, {}, 4, 0x2000, {0x80}},
        {"STY zp", {0x84, 0x60}, {.y = 0x80}, {}, 3, 0x0060, {0x80}},
        {"STY zp,X", {0x94, 0x60}, {.x = 1, .y = 0x80}, {}, 4, 0x0061, {0x80}},
        {"STY abs", {0x8C, 0x00, 0x20}, {.y = 0x80}, {}, 4, 0x2000, {0x80}},
    });
}

// The stack saturates: a push at s = 0 leaves s at 0, a pull at $FF stays.
TEST_F(CpuTest, TransfersCountersFlagsAndTheStack) {
    test::Poke(0x01FD, {0xFF, 0x80, 0x00});
    Run({
        {"TAX", {0xAA}, {.a = 0x80}, {.x = 0x80, .p = N}, 2},
        {"TAY", {0xA8}, {.y = 5}, {.y = 0, .p = Z}, 2},
        {"TXA", {0x8A}, {.x = 0x7F, .p = N}, {.a = 0x7F, .p = 0}, 2},
        {"TYA", {0x98}, {.y = 0xFF}, {.a = 0xFF, .p = N}, 2},
        {"TSX", {0xBA}, {.x = 5, .s = 0}, {.x = 0, .p = Z}, 2},
        {"TXS sets no flag", {0x9A}, {.x = 0, .p = N}, {.s = 0}, 2},
        {"INX wraps", {0xE8}, {.x = 0xFF}, {.x = 0, .p = Z}, 2},
        {"INY", {0xC8}, {.y = 0x7F}, {.y = 0x80, .p = N}, 2},
        {"DEX wraps", {0xCA}, {}, {.x = 0xFF, .p = N}, 2},
        {"DEY", {0x88}, {.y = 1}, {.y = 0, .p = Z}, 2},
        {"SEC", {0x38}, {}, {.p = C}, 2},
        {"SEI", {0x78}, {}, {.p = I}, 2},
        {"SED", {0xF8}, {}, {.p = D}, 2},
        {"CLC", {0x18}, {.p = 0xFF}, {.p = 0xFF ^ C}, 2},
        {"CLI", {0x58}, {.p = 0xFF}, {.p = 0xFF ^ I}, 2},
        {"CLD", {0xD8}, {.p = 0xFF}, {.p = 0xFF ^ D}, 2},
        {"CLV", {0xB8}, {.p = 0xFF}, {.p = 0xFF ^ V}, 2},
        {"NOP", {0xEA}, {.a = 1, .p = 0xFF}, {}, 2},
        {"PHA", {0x48}, {.a = 0x5A}, {.s = 0xFE}, 3, 0x01FF, {0x5A}},
        {"PHA at s = 0", {0x48}, {.a = 0x5A, .s = 0}, {}, 3, 0x0100, {0x5A}},
        {"PHP pushes P as it is", {0x08}, {.p = 0xCF}, {.s = 0xFE}, 3, 0x01FF, {0xCF}},
        {"PLA", {0x68}, {.s = 0xFD}, {.a = 0x80, .s = 0xFE, .p = N}, 4},
        {"PLA at s = $FF", {0x68}, {.a = 5}, {.a = 0, .p = Z}, 4},
        {"PLP takes all eight bits", {0x28}, {.s = 0xFC}, {.s = 0xFD, .p = 0xFF}, 4},
    });
}

// Taken: one cycle more, two when the target is on another page than the
// next instruction.
TEST_F(CpuTest, BranchesTestTheirFlagAndCountTakenAndPageCrossingCycles) {
    struct Branch {
        std::string name;
        std::uint8_t opcode;
        int takenWith, notTakenWith;  // P
    };
    const Branch branches[] = {{"BCC", 0x90, 0, C}, {"BCS", 0xB0, C, 0}, {"BEQ", 0xF0, Z, 0},
                               {"BNE", 0xD0, 0, Z}, {"BMI", 0x30, N, 0}, {"BPL", 0x10, 0, N},
                               {"BVC", 0x50, 0, V}, {"BVS", 0x70, V, 0}};
    std::vector<Row> rows = {
        {"BNE forward onto the next page", {0xD0, 0x01}, {.pc = 0x10FD}, {.pc = 0x1100}, 4},
        {"BNE back to itself", {0xD0, 0xFE}, {.pc = 0x10FD}, {.pc = 0x10FD}, 3},
        {"BEQ backward across a page", {0xF0, 0x80}, {.p = Z}, {.pc = 0x0F82}, 4},
    };
    for (const Branch& b : branches) {
        rows.push_back(
            {b.name + " taken", {b.opcode, 0x10}, {.p = b.takenWith}, {.pc = 0x1012}, 3});
        rows.push_back({b.name + " not taken", {b.opcode, 0x10}, {.p = b.notTakenWith}, {}, 2});
    }
    Run(rows);
}

TEST_F(CpuTest, JumpsSubroutinesAndBrk) {
    test::Poke(0x10FF, {0x34, 0x12});
    test::Poke(0x01FA, {0xC3, 0x01, 0x02, 0x03, 0x0F, 0x00});  // P, Y, X, A, PC - 1
    Run({
        {"JMP abs", {0x4C, 0x00, 0x30}, {}, {.pc = 0x3000}, 3},
        {"JMP ($10FF) carries into the next page", {0x6C, 0xFF, 0x10}, {}, {.pc = 0x1234}, 5},
        // JSR pushes the address of its last byte, high byte first
        {"JSR", {0x20, 0x00, 0x20}, {}, {.s = 0xFD, .pc = 0x2000}, 6, 0x01FE, {0x02, 0x10}},
        {"JSR at s = 0", {0x20, 0x00, 0x20}, {.s = 0}, {.pc = 0x2000}, 6, 0x0100, {0x02}},
        {"RTS returns past the pulled address", {0x60}, {.s = 0xFD}, {.s = 0xFF, .pc = 0x0010}, 6},
        // RTI pulls P, Y, X, A, then returns like RTS
        {"RTI", {0x40}, {.s = 0xF9}, {.a = 3, .x = 2, .y = 1, .s = 0xFF, .p = 0xC3, .pc = 0x10}, 6},
        {"BRK pushes nothing", {0x00}, {.p = C}, {.pc = 0}, 7, 0x01FE, {0x0F, 0x00}},
    });
}

// Every documented opcode that does not jump takes the bytes its addressing
// mode in the published matrix gives it.
TEST_F(CpuTest, EveryDocumentedOpcodeIsAsLongAsItsAddressingMode) {
    const auto operandBytes = [](std::int32_t mode) {
        switch (mode) {
            case Implied:
            case Accumulator: return 0;
            case Absolute:
            case AbsoluteX:
            case AbsoluteY:
            case Indirect: return 2;
            default: return 1;
        }
    };
    int checked = 0;
    for (int opcode = 0; opcode < 256; ++opcode) {
        const std::int32_t kind = test::kindTable[opcode];
        if (kind == test::Unknown || kind == test::BRK || kind == test::JMP || kind == test::JSR ||
            kind == test::RTS || kind == test::RTI)
            continue;
        ResetEngine();
        test::Poke(ORIGIN, {std::uint8_t(opcode), 0x00, 0x00});  // a branch by 0 goes on
        cpuState.pc = ORIGIN;
        StepInstruction();
        EXPECT_EQ(cpuState.pc, ORIGIN + 1 + operandBytes(test::modeTable[opcode])) << opcode;
        ++checked;
    }
    EXPECT_EQ(checked, 151 - 6);
}

// The matrix holds the 151 documented opcodes, each with a mode; the other
// 105 run as no-ops.
TEST_F(CpuTest, UndocumentedOpcodesAreOneByteNoOpsOfZeroCycles) {
    std::vector<Row> rows;
    for (int opcode = 0; opcode < 256; ++opcode) {
        EXPECT_EQ(test::kindTable[opcode] == test::Unknown, test::modeTable[opcode] == NoMode)
            << opcode;
        if (test::kindTable[opcode] != test::Unknown) continue;
        rows.push_back({"opcode " + std::to_string(opcode),
                        {std::uint8_t(opcode), 0xA9, 0x00},
                        {.a = 1, .x = 2, .y = 3, .p = N},
                        {.pc = ORIGIN + 1},
                        0});
    }
    EXPECT_EQ(rows.size(), 105u);
    Run(rows);
}

}  // namespace
}  // namespace chipbox
