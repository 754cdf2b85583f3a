#include <gtest/gtest.h>

#include "core/c64_memory.h"
#include "core/cpu.h"
#include "sid/sid_state.h"
#include "test_support.h"

namespace chipbox {
namespace {

constexpr std::uint16_t ORIGIN = 0x1000;

class CpuTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetMachine();
        cpuState.pc = ORIGIN;
    }

    // Places one instruction at pc and executes it; returns its cycles.
    std::uint32_t Execute(std::initializer_list<std::uint8_t> instruction) {
        test::Poke(cpuState.pc, instruction);
        return StepInstruction();
    }

    bool Flag(std::uint8_t mask) const { return (cpuState.p & mask) != 0; }
};

TEST_F(CpuTest, TablesHoldTheDocumentedOpcodesAndNothingElse) {
    int documented = 0;
    for (int opcode = 0; opcode < 256; ++opcode) {
        const bool known = kindTable[opcode] != Unknown;
        documented += known;
        EXPECT_EQ(known, modeTable[opcode] != NoMode) << std::hex << opcode;
    }
    EXPECT_EQ(documented, 151);
    EXPECT_EQ(kindTable[0xA9], LDA);
    EXPECT_EQ(modeTable[0xA9], Immediate);
    EXPECT_EQ(kindTable[0xB6], LDX);
    EXPECT_EQ(modeTable[0xB6], ZeroPageY);
    EXPECT_EQ(kindTable[0x6C], JMP);
    EXPECT_EQ(modeTable[0x6C], Indirect);
    EXPECT_EQ(modeTable[0x91], IndirectIndexed);
    EXPECT_EQ(modeTable[0xD0], Relative);
    EXPECT_EQ(kindTable[0x02], Unknown);
    EXPECT_EQ(kindTable[0xFF], Unknown);
}

TEST_F(CpuTest, LdaCountsTheCyclesOfEveryAddressingMode) {
    c64Memory.bytes[0x0010] = 0x42;
    c64Memory.bytes[0x0015] = 0x43;
    c64Memory.bytes[0x1234] = 0x44;
    c64Memory.bytes[0x1239] = 0x45;
    c64Memory.bytes[0x1300] = 0x46;
    test::Poke(0x0020, {0x34, 0x12});  // pointer $1234
    cpuState.x = 5;
    cpuState.y = 5;
    struct Case {
        std::initializer_list<std::uint8_t> code;
        std::uint8_t value;
        std::uint32_t cycles;
    };
    const Case cases[] = {
        {{0xA9, 0x80}, 0x80, 2},        // immediate
        {{0xA5, 0x10}, 0x42, 3},        // zero page
        {{0xB5, 0x10}, 0x43, 4},        // zero page,X
        {{0xAD, 0x34, 0x12}, 0x44, 4},  // absolute
        {{0xBD, 0x34, 0x12}, 0x45, 4},  // absolute,X on the same page
        {{0xB9, 0xFB, 0x12}, 0x46, 5},  // absolute,Y across a page
        {{0xA1, 0x1B}, 0x44, 6},        // (zp,X)
        {{0xB1, 0x20}, 0x45, 5},        // (zp),Y on the same page
    };
    for (const Case& c : cases) {
        const std::uint16_t start = cpuState.pc;
        EXPECT_EQ(Execute(c.code), c.cycles);
        EXPECT_EQ(cpuState.a, c.value);
        EXPECT_EQ(cpuState.pc, start + c.code.size());
    }
}

TEST_F(CpuTest, IndexingWrapsWithinZeroPageAndPointersWrapToo) {
    c64Memory.bytes[0x0004] = 0x99;
    cpuState.x = 0x10;
    Execute({0xB5, 0xF4});  // $F4 + $10 wraps to $04
    EXPECT_EQ(cpuState.a, 0x99);

    test::Poke(0x00FF, {0x00});
    c64Memory.bytes[0x0000] = 0x20;  // high byte of the pointer at $FF comes from $00
    c64Memory.bytes[0x2000] = 0x77;
    cpuState.y = 0;
    Execute({0xB1, 0xFF});
    EXPECT_EQ(cpuState.a, 0x77);
}

TEST_F(CpuTest, IndirectIndexedCountsAPageCrossing) {
    test::Poke(0x0020, {0xFF, 0x12});
    cpuState.y = 1;
    EXPECT_EQ(Execute({0xB1, 0x20}), 6u);
}

TEST_F(CpuTest, OperandPastTheTopOfMemoryIsReadFromZero) {
    cpuState.pc = 0xFFFE;
    c64Memory.bytes[0x0000] = 0x12;  // high byte of the absolute address
    c64Memory.bytes[0x1234] = 0x5A;
    test::Poke(0xFFFE, {0xAD, 0x34});
    StepInstruction();
    EXPECT_EQ(cpuState.a, 0x5A);
    EXPECT_EQ(cpuState.pc, 0x0001);
}

TEST_F(CpuTest, LoadsAndLogicSetNegativeAndZero) {
    Execute({0xA2, 0x00});  // LDX #0
    EXPECT_TRUE(Flag(flag::Z));
    Execute({0xA0, 0x90});  // LDY #$90
    EXPECT_TRUE(Flag(flag::N));
    EXPECT_FALSE(Flag(flag::Z));
    Execute({0xA9, 0xF0});
    Execute({0x29, 0x0F});  // AND
    EXPECT_EQ(cpuState.a, 0x00);
    EXPECT_TRUE(Flag(flag::Z));
    Execute({0x09, 0x81});  // ORA
    EXPECT_EQ(cpuState.a, 0x81);
    EXPECT_TRUE(Flag(flag::N));
    Execute({0x49, 0xFF});  // EOR
    EXPECT_EQ(cpuState.a, 0x7E);
    EXPECT_FALSE(Flag(flag::N));
}

TEST_F(CpuTest, AdcSetsCarryAndSignedOverflow) {
    cpuState.a = 0x01;
    Execute({0x69, 0xFF});
    EXPECT_EQ(cpuState.a, 0x00);
    EXPECT_TRUE(Flag(flag::C));
    EXPECT_TRUE(Flag(flag::Z));
    EXPECT_FALSE(Flag(flag::V));
    EXPECT_FALSE(Flag(flag::N));

    cpuState.p = 0;
    cpuState.a = 0x50;
    Execute({0x69, 0x50});
    EXPECT_EQ(cpuState.a, 0xA0);
    EXPECT_TRUE(Flag(flag::N));
    EXPECT_TRUE(Flag(flag::V));
    EXPECT_FALSE(Flag(flag::C));
    EXPECT_FALSE(Flag(flag::Z));

    cpuState.p = flag::C;
    cpuState.a = 0x80;
    Execute({0x69, 0x80});  // -128 + -128 + 1 overflows
    EXPECT_EQ(cpuState.a, 0x01);
    EXPECT_TRUE(Flag(flag::V));
    EXPECT_TRUE(Flag(flag::C));
}

TEST_F(CpuTest, SbcBorrowsThroughInvertedCarryAndSetsSignedOverflow) {
    cpuState.p = flag::C;
    cpuState.a = 0x00;
    Execute({0xE9, 0x01});
    EXPECT_EQ(cpuState.a, 0xFF);
    EXPECT_TRUE(Flag(flag::N));
    EXPECT_FALSE(Flag(flag::C));
    EXPECT_FALSE(Flag(flag::V));

    cpuState.p = flag::C;
    cpuState.a = 0x80;
    Execute({0xE9, 0x01});  // -128 - 1 overflows to +127
    EXPECT_EQ(cpuState.a, 0x7F);
    EXPECT_TRUE(Flag(flag::V));
    EXPECT_TRUE(Flag(flag::C));

    cpuState.p = 0;  // carry clear subtracts one more
    cpuState.a = 0x10;
    Execute({0xE9, 0x05});
    EXPECT_EQ(cpuState.a, 0x0A);
}

TEST_F(CpuTest, DecimalFlagIsKeptButArithmeticStaysBinary) {
    Execute({0xF8});  // SED
    EXPECT_TRUE(Flag(flag::D));
    cpuState.a = 0x09;
    Execute({0x69, 0x09});
    EXPECT_EQ(cpuState.a, 0x12);
    EXPECT_TRUE(Flag(flag::D));
}

TEST_F(CpuTest, CompareSetsCarryZeroAndNegative) {
    cpuState.a = 0x7F;
    EXPECT_EQ(Execute({0xC9, 0x80}), 2u);
    EXPECT_FALSE(Flag(flag::C));
    EXPECT_FALSE(Flag(flag::Z));
    EXPECT_TRUE(Flag(flag::N));

    cpuState.x = 0x40;
    c64Memory.bytes[0x0033] = 0x40;
    EXPECT_EQ(Execute({0xE4, 0x33}), 3u);  // CPX zp
    EXPECT_TRUE(Flag(flag::C));
    EXPECT_TRUE(Flag(flag::Z));

    cpuState.y = 0x01;
    EXPECT_EQ(Execute({0xCC, 0x33, 0x00}), 4u);  // CPY abs
    EXPECT_FALSE(Flag(flag::C));
}

TEST_F(CpuTest, BitCopiesOperandBitsAndTestsTheMask) {
    c64Memory.bytes[0x0040] = 0xC0;
    cpuState.a = 0x01;
    EXPECT_EQ(Execute({0x24, 0x40}), 3u);
    EXPECT_TRUE(Flag(flag::Z));
    EXPECT_TRUE(Flag(flag::N));
    EXPECT_TRUE(Flag(flag::V));
    EXPECT_EQ(cpuState.a, 0x01);
}

TEST_F(CpuTest, ShiftsAndRotatesMoveBitsThroughCarry) {
    cpuState.a = 0x80;
    EXPECT_EQ(Execute({0x0A}), 2u);  // ASL A
    EXPECT_EQ(cpuState.a, 0x00);
    EXPECT_TRUE(Flag(flag::C));
    EXPECT_TRUE(Flag(flag::Z));
    EXPECT_FALSE(Flag(flag::N));

    cpuState.a = 0x01;
    Execute({0x6A});  // ROR A, carry in from the ASL
    EXPECT_EQ(cpuState.a, 0x80);
    EXPECT_TRUE(Flag(flag::C));
    EXPECT_TRUE(Flag(flag::N));

    c64Memory.bytes[0x0050] = 0x81;
    EXPECT_EQ(Execute({0x46, 0x50}), 5u);  // LSR zp
    EXPECT_EQ(c64Memory.bytes[0x0050], 0x40);
    EXPECT_TRUE(Flag(flag::C));
    EXPECT_FALSE(Flag(flag::N));

    EXPECT_EQ(Execute({0x2E, 0x50, 0x00}), 6u);  // ROL abs
    EXPECT_EQ(c64Memory.bytes[0x0050], 0x81);
    EXPECT_FALSE(Flag(flag::C));
}

TEST_F(CpuTest, ReadModifyWriteCyclesAndWrapping) {
    cpuState.x = 1;
    c64Memory.bytes[0x1100] = 0xFF;
    EXPECT_EQ(Execute({0xFE, 0xFF, 0x10}), 7u);  // INC $10FF,X crosses a page
    EXPECT_EQ(c64Memory.bytes[0x1100], 0x00);
    EXPECT_TRUE(Flag(flag::Z));
    EXPECT_EQ(Execute({0xFE, 0x00, 0x10}), 7u);  // INC $1000,X does not
    EXPECT_EQ(Execute({0xD6, 0x10}), 6u);        // DEC zp,X
    EXPECT_EQ(c64Memory.bytes[0x0011], 0xFF);
    EXPECT_TRUE(Flag(flag::N));
    EXPECT_EQ(Execute({0xCE, 0x11, 0x00}), 6u);  // DEC abs
    EXPECT_EQ(c64Memory.bytes[0x0011], 0xFE);
}

TEST_F(CpuTest, ReadModifyWriteReachesTheSidOnceWithTheNewValue) {
    c64Memory.bytes[0xD404] = 0x10;
    Execute({0xEE, 0x04, 0xD4});  // INC $D404
    EXPECT_EQ(registerImage.values[4], 0x11);
    EXPECT_EQ(sidState.voiceRegisters[0].control, 0x11);
}

TEST_F(CpuTest, StoresCountOneCycleLessWhenIndexedLikeTheHardware) {
    cpuState.x = 1;
    cpuState.y = 1;
    EXPECT_EQ(Execute({0xBD, 0xFF, 0x10}), 5u);  // LDA $10FF,X
    cpuState.a = 0x33;
    EXPECT_EQ(Execute({0x9D, 0xFF, 0x10}), 4u);  // STA $10FF,X
    EXPECT_EQ(c64Memory.bytes[0x1100], 0x33);
    EXPECT_EQ(Execute({0x99, 0xFF, 0x10}), 5u);  // STA $10FF,Y crosses
    EXPECT_EQ(Execute({0x99, 0x00, 0x10}), 4u);  // STA $1000,Y does not
    EXPECT_EQ(Execute({0x85, 0x60}), 3u);
    EXPECT_EQ(Execute({0x95, 0x60}), 4u);
    EXPECT_EQ(Execute({0x8D, 0x00, 0x20}), 4u);
    test::Poke(0x0070, {0xFF, 0x20});
    EXPECT_EQ(Execute({0x91, 0x70}), 5u);  // STA ($70),Y crosses, still 5
    EXPECT_EQ(c64Memory.bytes[0x2100], 0x33);
    EXPECT_EQ(Execute({0x81, 0x6F}), 6u);  // STA ($6F,X)
    EXPECT_EQ(c64Memory.bytes[0x20FF], 0x33);
    cpuState.x = 0x44;
    EXPECT_EQ(Execute({0x96, 0x60}), 4u);  // STX zp,Y
    EXPECT_EQ(c64Memory.bytes[0x0061], 0x44);
    const std::uint8_t flagsBefore = cpuState.p;
    EXPECT_EQ(Execute({0x8C, 0x00, 0x30}), 4u);  // STY abs
    EXPECT_EQ(cpuState.p, flagsBefore);
}

TEST_F(CpuTest, TransfersAndCountersSetFlagsExceptTxs) {
    cpuState.a = 0x80;
    EXPECT_EQ(Execute({0xAA}), 2u);  // TAX
    EXPECT_EQ(cpuState.x, 0x80);
    EXPECT_TRUE(Flag(flag::N));
    cpuState.x = 0;
    Execute({0x9A});  // TXS
    EXPECT_EQ(cpuState.s, 0x00);
    EXPECT_TRUE(Flag(flag::N));  // unchanged
    Execute({0xBA});             // TSX
    EXPECT_TRUE(Flag(flag::Z));
    Execute({0xCA});  // DEX
    EXPECT_EQ(cpuState.x, 0xFF);
    Execute({0xE8});  // INX
    EXPECT_EQ(cpuState.x, 0x00);
    EXPECT_TRUE(Flag(flag::Z));
    Execute({0x88});  // DEY
    EXPECT_EQ(cpuState.y, 0xFF);
    Execute({0x98});  // TYA
    EXPECT_EQ(cpuState.a, 0xFF);
}

TEST_F(CpuTest, FlagInstructionsSetAndClear) {
    for (std::uint8_t opcode : {0x38, 0x78, 0xF8}) Execute({opcode});
    EXPECT_EQ(cpuState.p, flag::C | flag::I | flag::D);
    cpuState.p |= flag::V;
    for (std::uint8_t opcode : {0x18, 0x58, 0xD8, 0xB8}) EXPECT_EQ(Execute({opcode}), 2u);
    EXPECT_EQ(cpuState.p, 0);
    EXPECT_EQ(Execute({0xEA}), 2u);
}

TEST_F(CpuTest, StackSaturatesAtBothEnds) {
    cpuState.s = 0;
    cpuState.a = 0x5A;
    EXPECT_EQ(Execute({0x48}), 3u);  // PHA
    EXPECT_EQ(c64Memory.bytes[0x0100], 0x5A);
    EXPECT_EQ(cpuState.s, 0);

    cpuState.s = 0xFF;
    c64Memory.bytes[0x01FF] = 0x80;
    EXPECT_EQ(Execute({0x68}), 4u);  // PLA
    EXPECT_EQ(cpuState.a, 0x80);
    EXPECT_EQ(cpuState.s, 0xFF);
    EXPECT_TRUE(Flag(flag::N));
}

TEST_F(CpuTest, PhpAndPlpMoveAllEightBitsUnchanged) {
    cpuState.p = flag::C | flag::D;
    Execute({0x08});
    EXPECT_EQ(c64Memory.bytes[0x01FF], flag::C | flag::D);  // B and bit 5 not forced
    c64Memory.bytes[0x01FF] = 0xFF;
    EXPECT_EQ(Execute({0x28}), 4u);
    EXPECT_EQ(cpuState.p, 0xFF);
}

TEST_F(CpuTest, BranchesCountTakenAndPageCrossingCycles) {
    cpuState.pc = 0x10FD;
    EXPECT_EQ(Execute({0xD0, 0x01}), 4u);  // BNE to $1100 from $10FF
    EXPECT_EQ(cpuState.pc, 0x1100);

    cpuState.pc = 0x10FD;
    EXPECT_EQ(Execute({0xD0, 0xFE}), 3u);  // back to itself
    EXPECT_EQ(cpuState.pc, 0x10FD);

    cpuState.p = flag::Z;
    EXPECT_EQ(Execute({0xD0, 0x01}), 2u);  // not taken
    EXPECT_EQ(cpuState.pc, 0x10FF);
}

TEST_F(CpuTest, EachBranchTestsItsFlag) {
    struct Case {
        std::uint8_t opcode;
        std::uint8_t takenWith;
        std::uint8_t notTakenWith;
    };
    const Case cases[] = {
        {0x90, 0, flag::C}, {0xB0, flag::C, 0}, {0xF0, flag::Z, 0}, {0xD0, 0, flag::Z},
        {0x30, flag::N, 0}, {0x10, 0, flag::N}, {0x50, 0, flag::V}, {0x70, flag::V, 0},
    };
    for (const Case& c : cases) {
        cpuState.pc = ORIGIN;
        cpuState.p = c.takenWith;
        Execute({c.opcode, 0x10});
        EXPECT_EQ(cpuState.pc, ORIGIN + 0x12) << std::hex << int(c.opcode);
        cpuState.pc = ORIGIN;
        cpuState.p = c.notTakenWith;
        Execute({c.opcode, 0x10});
        EXPECT_EQ(cpuState.pc, ORIGIN + 2) << std::hex << int(c.opcode);
    }
}

TEST_F(CpuTest, JumpsAndIndirectJumpCarriesIntoTheNextPage) {
    EXPECT_EQ(Execute({0x4C, 0x00, 0x30}), 3u);
    EXPECT_EQ(cpuState.pc, 0x3000);
    c64Memory.bytes[0x10FF] = 0x34;
    c64Memory.bytes[0x1100] = 0x12;
    EXPECT_EQ(Execute({0x6C, 0xFF, 0x10}), 5u);
    EXPECT_EQ(cpuState.pc, 0x1234);
}

TEST_F(CpuTest, JsrPushesTheAddressOfItsLastByteAndRtsReturnsPastIt) {
    EXPECT_EQ(Execute({0x20, 0x00, 0x20}), 6u);
    EXPECT_EQ(cpuState.pc, 0x2000);
    EXPECT_EQ(cpuState.s, 0xFD);
    EXPECT_EQ(c64Memory.bytes[0x01FF], 0x10);
    EXPECT_EQ(c64Memory.bytes[0x01FE], 0x02);
    EXPECT_EQ(Execute({0x60}), 6u);
    EXPECT_EQ(cpuState.pc, 0x1003);
    EXPECT_EQ(cpuState.s, 0xFF);
}

TEST_F(CpuTest, RtiPullsFlagsYXAThenReturnsLikeRts) {
    cpuState.s = 0xF9;
    test::Poke(0x01FA, {0xC3, 0x11, 0x22, 0x33, 0xFF, 0x2F});
    EXPECT_EQ(Execute({0x40}), 6u);
    EXPECT_EQ(cpuState.p, 0xC3);
    EXPECT_EQ(cpuState.y, 0x11);
    EXPECT_EQ(cpuState.x, 0x22);
    EXPECT_EQ(cpuState.a, 0x33);
    EXPECT_EQ(cpuState.pc, 0x3000);
}

TEST_F(CpuTest, BrkJumpsToZeroWithoutPushing) {
    cpuState.p = flag::C;
    EXPECT_EQ(Execute({0x00}), 7u);
    EXPECT_EQ(cpuState.pc, 0x0000);
    EXPECT_EQ(cpuState.s, 0xFF);
    EXPECT_EQ(cpuState.p, flag::C);
}

TEST_F(CpuTest, UndocumentedOpcodesAreOneByteNoOpsOfZeroCycles) {
    cpuState.a = 1;
    cpuState.x = 2;
    cpuState.y = 3;
    cpuState.p = flag::N;
    for (std::uint8_t opcode : {0x02, 0x1A, 0x80, 0xA7, 0xFF}) {
        const std::uint16_t start = cpuState.pc;
        EXPECT_EQ(Execute({opcode, 0xA9, 0x00}), 0u);
        EXPECT_EQ(cpuState.pc, start + 1);
        cpuState.pc = start + 3;  // skip the operand bytes we placed
    }
    EXPECT_EQ(cpuState.a, 1);
    EXPECT_EQ(cpuState.x, 2);
    EXPECT_EQ(cpuState.y, 3);
    EXPECT_EQ(cpuState.p, flag::N);
}

}  // namespace
}  // namespace chipbox
