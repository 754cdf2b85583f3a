// SPDX-License-Identifier: GPL-2.0-or-later
// Counting the rounds of a loop that repeats the machine's state gives
// exactly what running every round gives: the same registers, memory, SID
// writes, cycles, instructions and result.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

#include "core/c64_memory.h"
#include "core/cpu.h"
#include "core/routine_call.h"
#include "core/tune_info.h"
#include "sid/hardsid_link.h"
#include "test_support.h"

namespace chipbox {
namespace {

int sidWrites = 0;

void CountSidWrite(std::uint8_t, std::uint8_t, std::uint8_t) { ++sidWrites; }

// The result, instructions, registers and SID writes of one call, and the
// memory it leaves; the SID's writes are counted as a card would receive them.
auto Call(const std::vector<std::uint8_t>& program, RoutineLimits limits) {
    ResetEngine();
    hardSidMode = true;
    writeToHardSid = CountSidWrite;
    sidWrites = 0;
    for (std::size_t i = 0; i < program.size(); ++i) c64Memory.bytes[0x1000 + i] = program[i];
    const std::uint64_t before = ExecutedInstructions();
    const std::int32_t result = CallRoutine(0x1000, 0, limits);
    const CpuState& cpu = cpuState;
    const auto outcome = std::make_tuple(result, ExecutedInstructions() - before, cpu.pc, cpu.a,
                                         cpu.x, cpu.y, cpu.s, cpu.p, sidWrites);
    const std::vector<std::uint8_t> memory(c64Memory.bytes.begin(), c64Memory.bytes.end());
    ResetEngine();
    return std::make_pair(outcome, memory);
}

void ExpectSameOutcome(const std::vector<std::uint8_t>& program, RoutineLimits limits,
                       const char* what) {
    const auto counted = Call(program, limits);
    limits.skipRepeatedRounds = false;
    const auto run = Call(program, limits);
    EXPECT_EQ(counted.first, run.first) << what;
    EXPECT_TRUE(counted.second == run.second) << what;  // the memory, unprinted
}

TEST(RepeatingLoopTest, CountedRoundsEndAsRunningThemDoes) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> program;
    };
    // clang-format off
    const Case cases[] = {
        {"a wait for a raster line", {0xAD, 0x12, 0xD0, 0xC9, 0x80, 0xD0, 0xF9, 0x60}},
        {"a counter in memory that wraps",  // INC $40 / LDA $D012 / BNE loop
         {0xE6, 0x40, 0xAD, 0x12, 0xD0, 0xF0, 0xF9, 0x60}},
        {"undocumented opcodes of no cycles",  // $02 x 3 / JMP $1000
         {0x02, 0x02, 0x02, 0x4C, 0x00, 0x10}},
        {"pushes and pulls",  // PHA / INX / TXA / PHP / PLP / PLA / CLC / BCC loop
         {0x48, 0xE8, 0x8A, 0x08, 0x28, 0x68, 0x18, 0x90, 0xF7}},
        {"a subroutine in the loop",  // JSR $1010 / JMP $1000 ... $1010: INC $41 / DEC $41 / RTS
         {0x20, 0x10, 0x10, 0x4C, 0x00, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
          0xE6, 0x41, 0xC6, 0x41, 0x60}},
        {"a store into the SID on every round",  // INC $D404 / JMP $1000
         {0xEE, 0x04, 0xD4, 0x4C, 0x00, 0x10}},
        {"more addresses than are kept",  // INC $50,X / INX / JMP $1000
         {0xF6, 0x50, 0xE8, 0x4C, 0x00, 0x10}},
        {"a loop that ends before the limit",  // six passes of 65,536 steps, then RTS
         {0xA9, 0x06, 0x85, 0x40, 0xA0, 0x00, 0xA2, 0x00, 0xCA, 0xD0, 0xFD, 0x88, 0xD0, 0xF8,
          0xC6, 0x40, 0xD0, 0xF2, 0x60}},
    };
    // clang-format on
    for (const Case& c : cases) {
        ExpectSameOutcome(c.program, {}, c.what);
        ExpectSameOutcome(c.program, {250'000, 500'000}, c.what);  // a frame of 2.5 ms
        ExpectSameOutcome(c.program, {2'000'000, 40'001},
                          c.what);  // the instructions run out first
    }
}

}  // namespace
}  // namespace chipbox
