#include <gtest/gtest.h>

#include "core/c64_memory.h"
#include "core/cpu.h"
#include "core/routine_call.h"
#include "core/tune_info.h"
#include "sid/digi_registers.h"
#include "sid/sid_state.h"
#include "test_support.h"

namespace chipbox {
namespace {

class RoutineCallTest : public ::testing::Test {
protected:
    void SetUp() override { test::ResetMachine(); }
};

TEST_F(RoutineCallTest, RtsAloneTakesSixCyclesAndEndsAtOne) {
    test::Poke(0x1000, {0x60});
    EXPECT_EQ(CallRoutine(0x1000, 0), 6);
    EXPECT_EQ(cpuState.pc, 0x0001);
}

TEST_F(RoutineCallTest, StartsWithFixedRegistersAndTheReturnAddressOnTheStack) {
    cpuState.x = 9;
    cpuState.p = 0xFF;
    // STX $20 / STY $21 / PHP / PLA / STA $22 / TSX / STX $23 / RTS
    test::Poke(0x1000, {0x86, 0x20, 0x84, 0x21, 0x08, 0x68, 0x85, 0x22, 0xBA, 0x86, 0x23, 0x60});
    CallRoutine(0x1000, 0x42);
    EXPECT_EQ(ReadMemory(0x20), 0);
    EXPECT_EQ(ReadMemory(0x21), 0);
    EXPECT_EQ(ReadMemory(0x22), 0);
    EXPECT_EQ(ReadMemory(0x23), 0xFD);
    EXPECT_EQ(cpuState.a, 0);  // PLA pulled the pushed flags
}

TEST_F(RoutineCallTest, PassesTheAccumulator) {
    test::Poke(0x1000, {0x85, 0x30, 0x60});  // STA $30 / RTS
    CallRoutine(0x1000, 0x07);
    EXPECT_EQ(ReadMemory(0x30), 0x07);
}

TEST_F(RoutineCallTest, AddressZeroOrOneRunsNothingButStillReadsTheVector) {
    test::Poke(0x0314, {0x00, 0xC0});
    EXPECT_EQ(CallRoutine(0x0000, 0), 0);
    EXPECT_EQ(tuneInfo.playAddress, 0xC000);
    test::Poke(0x0314, {0x00, 0xD0});
    EXPECT_EQ(CallRoutine(0x0001, 0), 0);
    EXPECT_EQ(tuneInfo.playAddress, 0xD000);
}

TEST_F(RoutineCallTest, RunningIntoZeroedMemoryEndsThroughBrk) {
    test::Poke(0x1000, {0xEA});  // NOP, then BRK in the empty memory after it
    EXPECT_EQ(CallRoutine(0x1000, 0), 2 + 7);
    EXPECT_EQ(cpuState.pc, 0);
}

// Six passes of a 65,536-step DEX/DEY loop: 329,225 x 6 + 10 cycles.
constexpr std::int32_t SIX_PASS_LOOP_CYCLES = 1'975'360;

void PokeSixPassLoop(std::uint16_t address) {
    // clang-format off
    test::Poke(address, {
        0xA9, 0x06,        // LDA #6
        0x85, 0x40,        // STA $40
        0xA0, 0x00,        // outer: LDY #0
        0xA2, 0x00,        // middle: LDX #0
        0xCA,              // inner: DEX
        0xD0, 0xFD,        //        BNE inner
        0x88,              // DEY
        0xD0, 0xF8,        // BNE middle
        0xC6, 0x40,        // DEC $40
        0xD0, 0xF2,        // BNE outer
        0x60,              // RTS
    });
    // clang-format on
}

// NOPs (and one 3-cycle LDA zp when `cycles` is odd) from $1000 on; returns
// the address after them.
std::uint16_t PokePadding(std::int32_t cycles) {
    std::uint16_t address = 0x1000;
    if (cycles % 2) {
        test::Poke(address, {0xA5, 0x50});
        address += 2;
        cycles -= 3;
    }
    for (; cycles > 0; cycles -= 2) c64Memory.bytes[address++] = 0xEA;
    return address;
}

TEST_F(RoutineCallTest, CountsALongLoopExactly) {
    PokeSixPassLoop(0x1000);
    EXPECT_EQ(CallRoutine(0x1000, 0), SIX_PASS_LOOP_CYCLES);
}

TEST_F(RoutineCallTest, ACallOfExactlyTheLimitCompletesAndOneCycleMoreIsCutOff) {
    const std::int32_t padding = ROUTINE_CYCLE_LIMIT - SIX_PASS_LOOP_CYCLES;
    PokeSixPassLoop(PokePadding(padding));
    EXPECT_EQ(CallRoutine(0x1000, 0), ROUTINE_CYCLE_LIMIT);

    test::ResetMachine();
    PokeSixPassLoop(PokePadding(padding + 1));
    tuneInfo.playAddress = 0x1003;
    test::Poke(0x0314, {0x00, 0xC0});
    EXPECT_EQ(CallRoutine(0x1000, 0), 0);
    EXPECT_EQ(tuneInfo.playAddress, 0x1003);  // not followed after a cut-off call
}

TEST_F(RoutineCallTest, InitThatSetsTheVectorChangesThePlayAddress) {
    tuneInfo.playAddress = 0x1003;
    // LDA #$00 / STA $0314 / LDA #$C0 / STA $0315 / RTS
    test::Poke(0x1000, {0xA9, 0x00, 0x8D, 0x14, 0x03, 0xA9, 0xC0, 0x8D, 0x15, 0x03, 0x60});
    CallRoutine(0x1000, 0);
    EXPECT_EQ(tuneInfo.playAddress, 0xC000);
}

TEST_F(RoutineCallTest, PullingMoreThanWasPushedStillReturns) {
    test::Poke(0x1000, {0x68, 0x68, 0x68, 0x60});  // PLA x3 / RTS
    EXPECT_EQ(CallRoutine(0x1000, 0), 4 * 3 + 6);
    EXPECT_EQ(cpuState.pc, 0x0001);
}

TEST_F(RoutineCallTest, ConsecutiveCallsShareMemoryButNotRegisters) {
    // INC $40 / LDA $40 / TAX / TAY / RTS
    test::Poke(0x1000, {0xE6, 0x40, 0xA5, 0x40, 0xAA, 0xA8, 0x60});
    CallRoutine(0x1000, 0);
    CallRoutine(0x1000, 0);
    EXPECT_EQ(ReadMemory(0x40), 2);
    // STX $41 / STY $42 / TSX / STX $43 / RTS
    test::Poke(0x1100, {0x86, 0x41, 0x84, 0x42, 0xBA, 0x86, 0x43, 0x60});
    CallRoutine(0x1100, 0);
    EXPECT_EQ(ReadMemory(0x41), 0);
    EXPECT_EQ(ReadMemory(0x42), 0);
    EXPECT_EQ(ReadMemory(0x43), 0xFD);
}

TEST_F(RoutineCallTest, ACallEndsAtItsInstructionLimitAsAtTheCycleLimit) {
    const RoutineLimits fiveInstructions{ROUTINE_CYCLE_LIMIT, 5};
    test::Poke(0x1000, {0xEA, 0xEA, 0xEA, 0x60});  // 3 NOPs and RTS: 4 instructions
    EXPECT_EQ(CallRoutine(0x1000, 0, fiveInstructions), 3 * 2 + 6);
    test::Poke(0x1000, {0xEA, 0xEA, 0xEA, 0xEA, 0x60});  // the fifth ends it, but too late
    tuneInfo.playAddress = 0x1003;
    test::Poke(0x0314, {0x00, 0xC0});
    const std::uint64_t before = ExecutedInstructions();
    EXPECT_EQ(CallRoutine(0x1000, 0, fiveInstructions), 0);
    EXPECT_EQ(ExecutedInstructions() - before, 5u);
    EXPECT_EQ(tuneInfo.playAddress, 0x1003);  // not followed after a cut-off call
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
    cpuState.a = 5;
    cpuState.pc = 0x4000;
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

// The test tunes, run end to end through the loader and the call driver.

TEST_F(RoutineCallTest, CpuSelfTestTunePassesEveryCheck) {
    test::LoadTune(test::TunePath("cpu_selftest"));
    EXPECT_GT(CallRoutine(tuneInfo.initAddress, 0), 0);
    EXPECT_EQ(ReadMemory(0x0380), 0xAA) << "failed check " << int(ReadMemory(0x0381));
}

TEST_F(RoutineCallTest, SubsongTuneSeesTheSongNumberItIsGiven) {
    test::LoadTune(test::TunePath("subsongs"));
    EXPECT_EQ(tuneInfo.lastSong, 2);
    EXPECT_EQ(tuneInfo.currentSong, 1);
    EXPECT_EQ(tuneInfo.loadAddress, 0x1000);
    CallRoutine(tuneInfo.initAddress, tuneInfo.currentSong);
    EXPECT_EQ(ReadMemory(0x0380), 1);
    EXPECT_EQ(sidState.voiceRegisters[0].frequency >> 8, 0x20);
}

TEST_F(RoutineCallTest, CiaTunePutsItsTimerValueInMemory) {
    test::LoadTune(test::TunePath("cia_timed"));
    EXPECT_TRUE(tuneInfo.ciaTiming);
    CallRoutine(tuneInfo.initAddress, 0);
    EXPECT_EQ(ReadMemory(0xDC04) | ReadMemory(0xDC05) << 8, 19656);
}

TEST_F(RoutineCallTest, IrqVectorTuneIsFollowedFromHandlerToHandler) {
    test::LoadTune(test::TunePath("irq_vector"));
    const std::uint16_t first = tuneInfo.playAddress;
    EXPECT_NE(first, 0);
    RestoreTuneImage();
    CallRoutine(tuneInfo.initAddress, 0);
    CallRoutine(tuneInfo.playAddress, 0);
    EXPECT_EQ(tuneInfo.playAddress, 0x1100);
    CallRoutine(tuneInfo.playAddress, 0);
    CallRoutine(tuneInfo.playAddress, 0);
    EXPECT_EQ(ReadMemory(0x0380), 2);
    EXPECT_EQ(ReadMemory(0x0381), 1);
    EXPECT_EQ(tuneInfo.playAddress, 0x1100);
}

TEST_F(RoutineCallTest, EndlessTuneHitsTheCapOnEveryPlayCall) {
    test::LoadTune(test::TunePath("endless"));
    CallRoutine(tuneInfo.initAddress, 0);
    for (int frame = 0; frame < 3; ++frame) EXPECT_EQ(CallRoutine(tuneInfo.playAddress, 0), 0);
    EXPECT_EQ(ReadMemory(0x0380), 3);
}

}  // namespace
}  // namespace chipbox
