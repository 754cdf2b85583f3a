// SPDX-License-Identifier: GPL-2.0-or-later
// The published NMOS 6502 opcode matrix, written apart from the interpreter
// so that its dispatch can be checked against it: the mnemonic and the
// addressing mode of the 151 documented opcodes; everything else is Unknown
// with NoMode.
#pragma once

#include <array>
#include <cstdint>

#include "core/cpu.h"

namespace chipbox::test {

// The 56 documented mnemonics in alphabetical order, then Unknown.
// clang-format off
enum InstructionKind : std::int32_t {
    ADC, AND, ASL, BCC, BCS, BEQ, BIT, BMI, BNE, BPL, BRK, BVC, BVS, CLC, CLD, CLI, CLV, CMP, CPX,
    CPY, DEC, DEX, DEY, EOR, INC, INX, INY, JMP, JSR, LDA, LDX, LDY, LSR, NOP, ORA, PHA, PHP, PLA,
    PLP, ROL, ROR, RTI, RTS, SBC, SEC, SED, SEI, STA, STX, STY, TAX, TAY, TSX, TXA, TXS, TYA,
    Unknown
};
// clang-format on

extern const std::array<std::int32_t, 256> kindTable;
extern const std::array<std::int32_t, 256> modeTable;

}  // namespace chipbox::test
