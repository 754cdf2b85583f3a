// SPDX-License-Identifier: GPL-2.0-or-later
// What the NMOS 6510 does with the undocumented opcodes and in decimal mode,
// as rows run both by the complete machine's interpreter and by the real
// machine's processor, on the same operands in memory.
#pragma once

#include <cstdint>
#include <vector>

#include "instruction_rows.h"

namespace chipbox::test {

struct Poked {
    std::uint16_t address;
    std::vector<std::uint8_t> bytes;
};

// The operands: pointers at $50 to $2000, $1FFF and $20F0, and data there.
inline std::vector<Poked> CompleteMachineMemory() {
    return {{0x0040, {0x81, 0x03}},
            {0x0050, {0x00, 0x20, 0xFF, 0x1F, 0xF0, 0x20}},
            {0x2000, {0x05, 0x02}},
            {0x20FF, {0x7E, 0x00, 0x9A}}};
}

using namespace flag;

// Every addressing mode of the pairs takes its real cycles: 5, 6, 6, 7, 7, 8, 8.
// SLO is ASL then ORA, RLA ROL then AND, SRE LSR then EOR, RRA ROR then ADC
// with its carry, DCP DEC then CMP, ISC INC then SBC.
inline std::vector<Row> ReadModifyWritePairRows() {
    // clang-format off
    return {
        {"SLO zp", {0x07, 0x40}, {.a = 0x01}, {.a = 0x03, .p = C}, 5, 0x40, {0x02}},
        {"RLA abs", {0x2F, 0x00, 0x20}, {.a = 0xFF, .p = C}, {.a = 0x0B, .p = 0}, 6, 0x2000, {0x0B}},
        {"SRE zp,X", {0x57, 0x40}, {.a = 0xFF, .x = 1}, {.a = 0xFE, .p = C | N}, 6, 0x41, {0x01}},
        {"RRA abs,Y", {0x7B, 0xFF, 0x1F}, {.a = 0x10, .y = 1, .p = C}, {.a = 0x93, .p = N}, 7,
         0x2000, {0x82}},
        {"DCP (zp,X)", {0xC3, 0x50}, {.a = 0x04}, {.p = Z | C}, 8, 0x2000, {0x04}},
        {"ISC (zp),Y across a page", {0xF3, 0x54}, {.a = 0x05, .y = 0x10, .p = C},
         {.a = 0x04, .p = C}, 8, 0x2100, {0x01}},
        {"DCP abs,X", {0xDF, 0xFF, 0x1F}, {.a = 0x09, .x = 1}, {.p = C}, 7, 0x2000, {0x04}},
    };
    // clang-format on
}

// SAX stores A AND X and sets no flag; LAS loads A, X and S with memory AND S.
// SHA, SHX, SHY and TAS store their value AND the base address's high byte
// + 1; TAS sets S = A AND X as well.
inline std::vector<Row> LoadAndStoreRows() {
    // clang-format off
    return {
        {"SAX zp", {0x87, 0x40}, {.a = 0xF0, .x = 0x3C, .p = Z}, {}, 3, 0x40, {0x30}},
        {"SAX (zp,X)", {0x83, 0x4E}, {.a = 0x0F, .x = 0x02}, {}, 6, 0x2000, {0x02}},
        {"LAX abs,Y across a page", {0xBF, 0xF1, 0x20}, {.y = 0x10},
         {.a = 0x9A, .x = 0x9A, .p = N}, 5},
        {"LAX (zp),Y", {0xB3, 0x54}, {.y = 0x0F}, {.a = 0x7E, .x = 0x7E}, 5},
        {"LAX zp,Y", {0xB7, 0x3F}, {.y = 0x01}, {.a = 0x81, .x = 0x81, .p = N}, 4},
        {"LAS abs,Y", {0xBB, 0x01, 0x21}, {.s = 0x3F}, {.a = 0x1A, .x = 0x1A, .s = 0x1A}, 4},
        {"SHA abs,Y", {0x9F, 0x00, 0x20}, {.a = 0xFF, .x = 0xFF, .y = 1}, {}, 5, 0x2001, {0x21}},
        {"SHA (zp),Y", {0x93, 0x50}, {.a = 0x37, .x = 0xFF, .y = 1}, {}, 6, 0x2001, {0x21}},
        {"SHX abs,Y", {0x9E, 0x00, 0x20}, {.x = 0x0F, .y = 1}, {}, 5, 0x2001, {0x01}},
        {"SHY abs,X", {0x9C, 0x00, 0x20}, {.x = 1, .y = 0xFF}, {}, 5, 0x2001, {0x21}},
        {"TAS", {0x9B, 0x00, 0x20}, {.a = 0xFF, .x = 0x0F, .y = 1}, {.s = 0x0F}, 5, 0x2001, {0x01}},
    };
    // clang-format on
}

// ANC: AND, C from N. ALR: AND then LSR. ARR: AND then ROR, C from bit 6, V
// from bits 6 and 5. SBX: X = (A AND X) - operand, C as CMP. The NOPs take
// their operands and cycles.
inline std::vector<Row> ImmediateAndNopRows() {
    return {
        {"ANC", {0x0B, 0x80}, {.a = 0xFF}, {.a = 0x80, .p = N | C}, 2},
        {"ANC $2B", {0x2B, 0x7F}, {.a = 0xFF, .p = C}, {.a = 0x7F, .p = 0}, 2},
        {"ALR", {0x4B, 0x03}, {.a = 0xFF}, {.a = 0x01, .p = C}, 2},
        {"ARR", {0x6B, 0xFF}, {.a = 0xC0, .p = C}, {.a = 0xE0, .p = N | C}, 2},
        {"ARR with V", {0x6B, 0xFF}, {.a = 0x80, .p = C}, {.a = 0xC0, .p = N | C | V}, 2},
        {"SBX", {0xCB, 0x10}, {.a = 0xF0, .x = 0x3C}, {.x = 0x20, .p = C}, 2},
        {"SBC $EB as $E9", {0xEB, 0x01}, {.a = 0x00, .p = C}, {.a = 0xFF, .p = N}, 2},
        {"ANE", {0x8B, 0xFF}, {.a = 0x00, .x = 0xF0}, {.a = 0xE0, .p = N}, 2},
        {"LXA", {0xAB, 0x0F}, {.a = 0x11}, {.a = 0x0F, .x = 0x0F}, 2},
        {"NOP implied", {0x1A}, {}, {}, 2},
        {"NOP immediate", {0x80, 0x55}, {}, {}, 2},
        {"NOP zero page", {0x04, 0x40}, {}, {}, 3},
        {"NOP zero page,X", {0x14, 0x40}, {}, {}, 4},
        {"NOP absolute", {0x0C, 0x00, 0x20}, {}, {}, 4},
        {"NOP absolute,X across a page", {0x1C, 0xFF, 0x20}, {.x = 1}, {}, 5},
    };
}

// Known results of the NMOS chip: the accumulator in decimal, Z (and for SBC
// every flag) from the binary sum; for ADC, N and V from the unadjusted sum.
inline std::vector<Row> DecimalRows() {
    return {
        {"09 + 01", {0x69, 0x01}, {.a = 0x09, .p = D}, {.a = 0x10, .p = D}, 2},
        {"99 + 01", {0x69, 0x01}, {.a = 0x99, .p = D}, {.a = 0x00, .p = D | C | N}, 2},
        {"58 + 46 + 1", {0x69, 0x46}, {.a = 0x58, .p = D | C}, {.a = 0x05, .p = D | C | N | V}, 2},
        {"81 + 92", {0x69, 0x92}, {.a = 0x81, .p = D}, {.a = 0x73, .p = D | C | V}, 2},
        {"10 - 01", {0xE9, 0x01}, {.a = 0x10, .p = D | C}, {.a = 0x09, .p = D | C}, 2},
        {"00 - 01", {0xE9, 0x01}, {.a = 0x00, .p = D | C}, {.a = 0x99, .p = D | N}, 2},
        {"46 - 12", {0xE9, 0x12}, {.a = 0x46, .p = D | C}, {.a = 0x34, .p = D | C}, 2},
        {"40 - 13", {0xE9, 0x13}, {.a = 0x40, .p = D | C}, {.a = 0x27, .p = D | C}, 2},
    };
}

}  // namespace chipbox::test
