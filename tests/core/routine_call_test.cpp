// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/routine_call.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/c64_memory.h"
#include "core/cpu.h"
#include "core/tune_info.h"
#include "sid/digi_registers.h"
#include "sid/sid_state.h"
#include "test_support.h"

namespace chipbox {
namespace {

class RoutineCallTest : public ::testing::Test {
protected:
    void SetUp() override { ResetEngine(); }
};

TEST_F(RoutineCallTest, ACallEndsWhenPcFallsBelowTwo) {
    struct Row {
        const char* name;
        std::uint16_t address;
        std::initializer_list<std::uint8_t> code;
        std::int32_t cycles;
        std::uint16_t endPc;
    };
    const Row rows[] = {
        {"RTS alone", 0x1000, {0x60}, 6, 0x0001},
        {"NOP, then BRK in the zeroed memory after it", 0x1000, {0xEA}, 2 + 7, 0x0000},
        {"pulling more than was pushed", 0x1000, {0x68, 0x68, 0x68, 0x60}, 3 * 4 + 6, 0x0001},
        {"address 0 runs nothing", 0x0000, {}, 0, 0x0000},
        {"address 1 runs nothing", 0x0001, {}, 0, 0x0001},
    };
    for (const Row& row : rows) {
        ResetEngine();
        test::Poke(0x1000, row.code);
        test::Poke(0x0314, {0x00, 0xC0});  // an IRQ vector of $C000 for the call to follow
        EXPECT_EQ(CallRoutine(row.address, 0), row.cycles) << row.name;
        EXPECT_EQ(cpuState.pc, row.endPc) << row.name;
        EXPECT_EQ(tuneInfo.playAddress, 0xC000) << row.name;  // a completed call reads the vector
    }
}

// A = the value given, X = Y = P = 0, s below the return address; memory
// carries over from call to call, registers do not.
TEST_F(RoutineCallTest, EveryCallStartsFromTheSameRegisters) {
    cpuState.x = 9;
    cpuState.y = 9;
    cpuState.p = 0xFF;
    // STA $20 / STX $21 / STY $22 / PHP / PLA / STA $23 / TSX / STX $24 / INC $40 / RTS
    test::Poke(0x1000, {0x85, 0x20, 0x86, 0x21, 0x84, 0x22, 0x08, 0x68, 0x85, 0x23, 0xBA, 0x86,
                        0x24, 0xE6, 0x40, 0x60});
    CallRoutine(0x1000, 0x42);
    CallRoutine(0x1000, 0x07);
    const std::vector<std::uint8_t> saved(&c64Memory.bytes[0x20], &c64Memory.bytes[0x25]);
    EXPECT_EQ(saved, (std::vector<std::uint8_t>{0x07, 0, 0, 0, 0xFD}));  // A, X, Y, P, S
    EXPECT_EQ(ReadMemory(0x40), 2);
}

// Six passes of a 65,536-step DEX/DEY loop: 329,225 x 6 + 10 cycles.
constexpr std::int32_t SIX_PASS_LOOP_CYCLES = 1'975'360;

// NOPs (and one 3-cycle LDA zp when `cycles` is odd) from $1000 on, then
// the six-pass loop.
void PokeLoopAfterPadding(std::int32_t cycles) {
    std::uint16_t address = 0x1000;
    if (cycles % 2) {
        test::Poke(address, {0xA5, 0x50});
        address += 2;
        cycles -= 3;
    }
    for (; cycles > 0; cycles -= 2) c64Memory.bytes[address++] = 0xEA;
    // LDA #6 / STA $40 / outer: LDY #0 / middle: LDX #0 / inner: DEX / BNE inner /
    // DEY / BNE middle / DEC $40 / BNE outer / RTS
    test::Poke(address, {0xA9, 0x06, 0x85, 0x40, 0xA0, 0x00, 0xA2, 0x00, 0xCA, 0xD0, 0xFD, 0x88,
                         0xD0, 0xF8, 0xC6, 0x40, 0xD0, 0xF2, 0x60});
}

// A cut-off call is abandoned where it stands: its cycles count as 0 and the
// IRQ vector is not followed.
TEST_F(RoutineCallTest, ACallOfExactlyTheLimitCompletesAndOneMoreIsCutOff) {
    PokeLoopAfterPadding(ROUTINE_CYCLE_LIMIT - SIX_PASS_LOOP_CYCLES);
    EXPECT_EQ(CallRoutine(0x1000, 0), ROUTINE_CYCLE_LIMIT);

    ResetEngine();
    PokeLoopAfterPadding(ROUTINE_CYCLE_LIMIT - SIX_PASS_LOOP_CYCLES + 1);
    test::Poke(0x0314, {0x00, 0xC0});
    EXPECT_EQ(CallRoutine(0x1000, 0), 0);
    EXPECT_EQ(tuneInfo.playAddress, 0x1003);

    // The instruction limit ends a call in the same way.
    ResetEngine();
    const RoutineLimits fiveInstructions{ROUTINE_CYCLE_LIMIT, 5};
    test::Poke(0x1000, {0xEA, 0xEA, 0xEA, 0x60});  // 3 NOPs and RTS: 4 instructions
    EXPECT_EQ(CallRoutine(0x1000, 0, fiveInstructions), 3 * 2 + 6);
    test::Poke(0x1000, {0xEA, 0xEA, 0xEA, 0xEA, 0x60});  // the fifth ends it, but too late
    test::Poke(0x0314, {0x00, 0xC0});
    const std::uint64_t before = ExecutedInstructions();
    EXPECT_EQ(CallRoutine(0x1000, 0, fiveInstructions), 0);
    EXPECT_EQ(ExecutedInstructions() - before, 5u);
    EXPECT_EQ(tuneInfo.playAddress, 0x1003);
}

TEST_F(RoutineCallTest, UndocumentedOpcodesCannotKeepACallRunning) {
    for (int address = 0x1000; address < 0x10000; ++address) c64Memory.bytes[address] = 0x02;
    test::Poke(0x0314, {0x00, 0xC0});
    // pc runs up to $FFFF and wraps to $0000, which ends the call normally.
    EXPECT_EQ(CallRoutine(0x1000, 0), 0);
    EXPECT_EQ(cpuState.pc, 0);
    EXPECT_EQ(tuneInfo.playAddress, 0xC000);
}

TEST_F(RoutineCallTest, StartEngineClearsMemoryCpuSidAndSample) {
    c64Memory.bytes[0x1234] = 0x55;
    cpuState = CpuState{.pc = 0x4000, .a = 5, .s = 0x20};
    digiRegisters.sampleActive = 1;
    sidState.voiceRegisters[0].frequency = 0x1234;
    StartEngine();
    EXPECT_EQ(ReadMemory(0x1234), 0);
    EXPECT_EQ(cpuState.a, 0);
    EXPECT_EQ(cpuState.pc, 0);
    EXPECT_EQ(cpuState.s, 0xFF);
    EXPECT_EQ(digiRegisters.sampleActive, 0);
    EXPECT_EQ(sidState.voiceRegisters[0].frequency, 0);
    EXPECT_EQ(sidState.sampleRate, 44100u);
}

// Our own test tunes, run end to end through the loader and the call driver.

TEST_F(RoutineCallTest, CpuSelfTestTunePassesEveryCheck) {
    test::LoadTune(test::TunePath("cpu_selftest"));
    EXPECT_GT(CallRoutine(tuneInfo.initAddress, 0), 0);
    EXPECT_EQ(ReadMemory(0x0380), 0xAA) << "failed check " << int(ReadMemory(0x0381));
}

TEST_F(RoutineCallTest, EndlessTuneHitsTheCapOnEveryPlayCall) {
    test::LoadTune(test::TunePath("endless"));
    CallRoutine(tuneInfo.initAddress, 0);
    for (int frame = 0; frame < 3; ++frame) EXPECT_EQ(CallRoutine(tuneInfo.playAddress, 0), 0);
    EXPECT_EQ(ReadMemory(0x0380), 3);
}

}  // namespace
}  // namespace chipbox
