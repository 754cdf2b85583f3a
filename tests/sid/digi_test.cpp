// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/digi_registers.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/c64_memory.h"
#include "sid/sid_render.h"
#include "sid/sid_state.h"
#include "sid_fixture.h"
#include "test_support.h"

namespace chipbox {
namespace {

class DigiTest : public test::SidTest {
protected:
    static void WriteWord(std::uint16_t lowAddress, std::uint16_t value) {
        WriteMemory(lowAddress, static_cast<std::uint8_t>(value));
        WriteMemory(static_cast<std::uint16_t>(lowAddress + 1),
                    static_cast<std::uint8_t>(value >> 8));
    }

    // A sample from `start` up to `end`; period 5 makes one nybble per
    // rendered sample.
    static void SetUpSample(std::uint16_t start, std::uint16_t end, std::uint8_t order,
                            std::uint16_t period = 5) {
        WriteWord(0xD41E, start);
        WriteWord(0xD43D, end);
        WriteWord(0xD45D, period);
        WriteMemory(0xD47D, order);
    }

    // One rendered sample's digi step, as a render call takes it.
    static std::int32_t DigiStep(std::int32_t y) {
        DigiCursor cursor(c64Memory.bytes);
        const std::int32_t result = cursor.Step(y);
        cursor.StoreBack();
        return result;
    }

    static std::vector<std::int32_t> Steps(int count) {
        std::vector<std::int32_t> values;
        for (int i = 0; i < count; ++i) values.push_back(DigiStep(0));
        return values;
    }
};

constexpr std::int32_t Value(int nybble) { return (nybble - 8) * 1024; }

TEST_F(DigiTest, LevelSliderSetsDivisorAndOffset) {
    for (int p = 1; p <= 15; ++p) {
        SetDigiLevel(p);
        EXPECT_DOUBLE_EQ(mixerSettings.digiDivisor, 15.0 / (16 - p)) << p;  // 1 up to 15
        EXPECT_EQ(mixerSettings.digiOffset, p - 1) << p;
    }
}

// A latch keeps the other byte; any command, and nothing else, loads the live
// values from the latches. $FE and $FF start the sample, $FD stops it.
TEST_F(DigiTest, LatchesKeepTheOtherByteAndCommandsLoadTheLiveValues) {
    WriteMemory(0xD41E, 0x34);
    WriteMemory(0xD41F, 0x12);
    WriteMemory(0xD41E, 0x78);
    EXPECT_EQ(digiRegisters.startAddress.latched, 0x1278);
    EXPECT_EQ(digiRegisters.startAddress.live, 0);
    WriteMemory(0xD41D, 0x00);
    EXPECT_EQ(digiRegisters.startAddress.live, 0x1278);
    EXPECT_EQ(digiRegisters.currentAddress, 0x1278);
    EXPECT_EQ(digiRegisters.sampleActive, 0);
    for (std::uint8_t command : {0xFF, 0xFD, 0xFE, 0x01}) {
        WriteMemory(0xD41D, command);
        EXPECT_EQ(digiRegisters.sampleActive, command != 0xFD) << int(command);
    }
    test::Poke(0x2000, {0x77, 0x77, 0x77, 0x77});
    SetUpSample(0x2000, 0x2004, 0);
    WriteMemory(0xD41D, 0xFE);
    WriteMemory(0xD43D, 0x01);  // during playback: would end the sample at once
    EXPECT_EQ(digiRegisters.endAddress.live, 0x2004);
    Steps(2);
    EXPECT_EQ(DigiStep(0), Value(7));
}

// Each step returns the value of the step before. The selector moves before
// each fetch and is never reset, so the start byte plays at most one nybble.
// Repeats replay from $2001 to the end.
TEST_F(DigiTest, NybblesPlayInTheirOrderFromWhereTheSelectorStands) {
    struct Row {
        const char* name;
        std::uint8_t order;
        std::int32_t selector;
        std::uint16_t end;
        std::uint8_t repeats;
        std::vector<int> nybbles;  // of the values; 8 is the value 0
    };
    const Row rows[] = {
        {"two repeats", 0, 1, 0x2003, 2, {8, 3, 4, 5, 6, 3, 4, 5, 6, 3, 4, 5, 6, 8}},
        {"high first", 1, 1, 0x2003, 0, {8, 1, 4, 3, 6}},
        {"high first from selector 0 moves on to the next byte", 1, 0, 0x2002, 0, {8, 4, 3, 8}},
        {"low first from selector 1 moves on to the next byte", 0, 1, 0x2002, 0, {8, 3, 4, 8}},
        {"low first skips the start byte's low nybble", 0, 0, 0x2002, 0, {8, 2, 3, 4, 8}},
    };
    test::Poke(0x2000, {0x21, 0x43, 0x65});
    for (const Row& row : rows) {
        digiPlayback.digiValue = 0;
        SetUpSample(0x2000, row.end, row.order);
        WriteMemory(0xD43F, row.repeats);
        WriteWord(0xD47E, 0x2001);
        digiRegisters.nybbleSelector = row.selector;
        WriteMemory(0xD41D, 0xFE);
        std::vector<std::int32_t> expected;
        for (int nybble : row.nybbles) expected.push_back(Value(nybble));
        EXPECT_EQ(Steps(static_cast<int>(expected.size())), expected) << row.name;
    }
    EXPECT_EQ(digiPlayback.digiValue, Value(5));  // read at the end address, never added
}

// Outside [start, end) a sample adds nothing, whatever its value.
TEST_F(DigiTest, ASampleOutsideItsRangeAddsNothing) {
    test::Poke(0x2000, {0x99});
    SetUpSample(0x2000, 0x2001, 0);
    WriteMemory(0xD43F, 1);
    WriteWord(0xD47E, 0x1000);  // a repeat address below the start
    WriteMemory(0xD41D, 0xFE);
    Steps(3);
    EXPECT_EQ(digiRegisters.currentAddress, 0x1000);
    EXPECT_EQ(DigiStep(5), 5);
    for (std::uint16_t end : {0x2000, 0x1000}) {  // empty and inverted ranges
        SetUpSample(0x2000, end, 0);
        WriteMemory(0xD41D, 0xFE);
        digiPlayback.digiValue = 1234;
        EXPECT_EQ(DigiStep(7), 7) << end;
    }
}

// The period counts C64 cycles per nybble: 1000 gives 985 nybbles a second,
// 5 in 1000 rendered samples. A period of 0 adds the value but never advances.
TEST_F(DigiTest, NybbleRateFollowsThePeriod) {
    test::Poke(0x2000, {0xF0, 0xF0, 0xF0, 0xF0});
    for (const std::uint16_t period : {1000, 0}) {
        SetUpSample(0x2000, 0x2004, 0, period);
        WriteMemory(0xD41D, 0xFE);
        digiPlayback.digiValue = 300;
        int steps = 0;
        for (int i = 0; i < 1000; ++i) {
            const std::int32_t value = digiPlayback.digiValue;
            EXPECT_EQ(DigiStep(1), value + 1);
            steps += digiPlayback.digiValue != value;  // each step changes the value here
        }
        EXPECT_EQ(steps, period ? 5 : 0) << period;
    }
    EXPECT_EQ(digiRegisters.currentAddress, 0x2000);
}

TEST_F(DigiTest, DivisorScalesTheValues) {
    test::Poke(0x2000, {0x0F, 0x0F});
    SetDigiLevel(15);
    SetUpSample(0x2000, 0x2002, 0);
    digiRegisters.nybbleSelector = 1;
    WriteMemory(0xD41D, 0xFE);
    EXPECT_EQ(Steps(3), (std::vector<std::int32_t>{0, 477, -546}));
}

}  // namespace
}  // namespace chipbox
