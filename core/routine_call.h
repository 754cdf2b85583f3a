// SPDX-License-Identifier: GPL-2.0-or-later
// Runs one of the tune's subroutines as a JSR from a C64 program would, and
// puts the emulated machine into its starting state.
#pragma once

#include <cstdint>

namespace chipbox {

// A call that has used more than this many cycles in total is abandoned.
constexpr std::int32_t ROUTINE_CYCLE_LIMIT = 2'000'000;
// So is a call that has executed this many instructions: undocumented opcodes
// count no cycles, so the cycle limit alone would let a stretch of them run
// for billions of instructions.
constexpr std::int32_t ROUTINE_INSTRUCTION_LIMIT = 4'000'000;

struct RoutineLimits {
    std::uint32_t cycles = ROUTINE_CYCLE_LIMIT;
    std::uint32_t instructions = ROUTINE_INSTRUCTION_LIMIT;
    // A loop that repeats the machine's state is counted instead of run, with
    // the same result; off only to measure or check the plain interpreter.
    bool skipRepeatedRounds = true;
};

// Runs the routine at `address` with A = `accumulator`, X = Y = P = 0 and the
// return address $0000 on the stack, until pc falls below 2 (the final RTS,
// BRK, or a jump into zeroed memory). Returns the cycles used, or 0 when the
// call ran past the cycle limit or reached the instruction limit: it is then
// abandoned where it stands. After a completed call a non-zero word at
// $0314/$0315 becomes the tune's play address.
std::int32_t CallRoutine(std::uint16_t address, std::uint8_t accumulator,
                         RoutineLimits limits = {});

// Instructions executed by every routine call of the run so far: how much
// emulation the tunes have asked for. Any thread may read it.
std::uint64_t ExecutedInstructions();

// The little-endian word at $0314/$0315, the IRQ vector a tune may install.
std::uint16_t ReadIrqVector();

// s = $FF, a = x = y = p = 0, pc = 0.
void ResetCpu();

// Before a tune is loaded: the software SID reset (unless HardSID output is
// on), memory all zero, CPU reset, digi sample playback stopped.
void StartEngine();

}  // namespace chipbox
