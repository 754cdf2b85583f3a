// SPDX-License-Identifier: GPL-2.0-or-later
// The NMOS 6502 interpreter that runs a tune's machine code.
//
// Deliberate simplifications that tunes rely on being exactly so: no decimal
// arithmetic (D is kept but ignored), no interrupts, the 105 undocumented
// opcodes are one-byte no-ops of 0 cycles, the stack pointer saturates
// instead of wrapping, BRK jumps to $0000, JMP ($xxFF) carries into the next
// page, and the indexed stores count one cycle less than the hardware.
#pragma once

#include <array>
#include <cstdint>

namespace chipbox {

struct CpuState {
    std::uint16_t pc = 0;
    std::uint8_t a = 0;
    std::uint8_t x = 0;
    std::uint8_t y = 0;
    std::uint8_t s = 0xFF;
    std::uint8_t p = 0;        // N V - B D I Z C, bit 7 down to bit 0
    std::uint32_t cycles = 0;  // cycles of the instruction being executed
    // Where the last operand fetch read from, so a read-modify-write
    // instruction writes back to the same place.
    std::uint16_t operandAddress = 0;
    bool operandCrossedPage = false;
};

extern CpuState cpuState;

namespace flag {
constexpr std::uint8_t C = 0x01;
constexpr std::uint8_t Z = 0x02;
constexpr std::uint8_t I = 0x04;
constexpr std::uint8_t D = 0x08;
constexpr std::uint8_t B = 0x10;
constexpr std::uint8_t V = 0x40;
constexpr std::uint8_t N = 0x80;
}  // namespace flag

enum AddressingMode : std::int32_t {
    Implied = 0,
    Immediate = 1,
    Absolute = 2,
    AbsoluteX = 3,
    AbsoluteY = 4,
    ZeroPage = 6,
    ZeroPageX = 7,
    ZeroPageY = 8,
    Indirect = 9,
    IndexedIndirect = 10,
    IndirectIndexed = 11,
    Accumulator = 12,
    Relative = 13,
    NoMode = 56,
};

// Executes the instruction at pc; returns its cycle count (also left in
// cpuState.cycles).
std::uint32_t StepInstruction();

struct RoutineRun {
    std::uint32_t cycles = 0;
    std::uint32_t instructions = 0;
};

// Executes instructions until pc is below 2 (the routine has returned, or
// jumped to $0000), the total of their cycles exceeds cycleLimit, or
// instructionLimit instructions have run; returns both totals. The limits are
// tested first: an instruction that both ends the routine and reaches a limit
// leaves the total at or past it. With skipRepeatedRounds, a loop that
// repeats the machine's whole state is counted round by round instead of run,
// with exactly the same result; instructionLimit must be at least 1.
RoutineRun RunUntilReturn(std::uint32_t cycleLimit, std::uint32_t instructionLimit,
                          bool skipRepeatedRounds = true);

// The saturating stack at $0100-$01FF: a push at s = 0 leaves s at 0, a pull
// at s = $FF reads $01FF and leaves s at $FF. Pushes go through WriteMemory.
void PushStack(std::uint8_t value);
std::uint8_t PullStack();

}  // namespace chipbox
