#include <gtest/gtest.h>

#include <vector>

#include "core/c64_memory.h"
#include "sid/digi_registers.h"
#include "sid/sid_render.h"
#include "sid/sid_state.h"
#include "test_support.h"

namespace chipbox {
namespace {

class DigiTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetMachine();
        SidInit(RENDER_RATE);
    }

    void WriteWord(std::uint16_t lowAddress, std::uint16_t value) {
        WriteMemory(lowAddress, static_cast<std::uint8_t>(value));
        WriteMemory(static_cast<std::uint16_t>(lowAddress + 1),
                    static_cast<std::uint8_t>(value >> 8));
    }

    // A sample from `start` up to `end`; period 5 makes one nybble per
    // rendered sample.
    void SetUpSample(std::uint16_t start, std::uint16_t end, std::uint8_t order,
                     std::uint16_t period = 5) {
        WriteWord(0xD41E, start);
        WriteMemory(0xD43D, static_cast<std::uint8_t>(end));
        WriteMemory(0xD43E, static_cast<std::uint8_t>(end >> 8));
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

    std::vector<std::int32_t> Steps(int count) {
        std::vector<std::int32_t> values;
        for (int i = 0; i < count; ++i) values.push_back(DigiStep(0));
        return values;
    }

    static std::int32_t Value(int nybble) { return (nybble - 8) * 1024; }
};

TEST_F(DigiTest, LevelSliderSetsDivisorAndOffset) {
    const double divisors[] = {1.0, 15.0 / 14, 15.0 / 13, 1.25,     15.0 / 11,
                               1.5, 15.0 / 9,  1.875,     15.0 / 7, 2.5,
                               3.0, 3.75,      5.0,       7.5,      15.0};
    for (int p = 1; p <= 15; ++p) {
        SetDigiLevel(p);
        EXPECT_DOUBLE_EQ(mixerSettings.digiDivisor, divisors[p - 1]) << p;
        EXPECT_EQ(mixerSettings.digiOffset, p - 1) << p;
    }
}

TEST_F(DigiTest, LatchesKeepTheOtherByteAndCommandsLoadTheLiveValues) {
    WriteMemory(0xD41E, 0x34);
    WriteMemory(0xD41F, 0x12);
    WriteMemory(0xD41E, 0x78);
    EXPECT_EQ(digiRegisters.startAddress.latched, 0x1278);
    EXPECT_EQ(digiRegisters.startAddress.live, 0);
    WriteMemory(0xD41D, 0x00);  // a command that neither starts nor stops
    EXPECT_EQ(digiRegisters.startAddress.live, 0x1278);
    EXPECT_EQ(digiRegisters.currentAddress, 0x1278);
    EXPECT_EQ(digiRegisters.sampleActive, 0);
    WriteMemory(0xD41D, 0xFF);
    EXPECT_EQ(digiRegisters.sampleActive, 1);
    WriteMemory(0xD41D, 0xFD);
    EXPECT_EQ(digiRegisters.sampleActive, 0);
}

TEST_F(DigiTest, LowNybbleFirstSkipsTheStartBytesLowNybble) {
    test::Poke(0x2000, {0x21, 0x43, 0x65});
    SetUpSample(0x2000, 0x2002, 0);
    WriteMemory(0xD41D, 0xFE);
    // Each step returns the value of the step before; the selector moves
    // before each fetch, so the start byte gives only its high nybble.
    EXPECT_EQ(Steps(5), (std::vector<std::int32_t>{0, Value(2), Value(3), Value(4), 0}));
    EXPECT_EQ(digiPlayback.digiValue, Value(5));  // read at the end address, never added
}

TEST_F(DigiTest, HighNybbleFirstOrder) {
    test::Poke(0x2000, {0x21, 0x43, 0x65});
    digiRegisters.nybbleSelector = 1;
    SetUpSample(0x2000, 0x2003, 1);
    WriteMemory(0xD41D, 0xFE);
    EXPECT_EQ(Steps(5), (std::vector<std::int32_t>{0, Value(1), Value(4), Value(3), Value(6)}));
}

TEST_F(DigiTest, SelectorIsNotResetByANewSample) {
    test::Poke(0x2000, {0x21, 0x43});
    SetUpSample(0x2000, 0x2002, 0);
    digiRegisters.nybbleSelector = 1;
    WriteMemory(0xD41D, 0xFE);
    // From selector 1 the first step moves on to the next byte's low nybble.
    EXPECT_EQ(Steps(2), (std::vector<std::int32_t>{0, Value(3)}));
}

TEST_F(DigiTest, RepeatsReplayFromTheRepeatAddress) {
    test::Poke(0x2000, {0x11, 0x22, 0x33});
    SetUpSample(0x2000, 0x2003, 0);
    WriteMemory(0xD43F, 2);
    WriteWord(0xD47E, 0x2001);
    digiRegisters.nybbleSelector = 1;  // the start byte plays no nybble
    WriteMemory(0xD41D, 0xFE);
    const std::vector<std::int32_t> values = Steps(1 + 4 + 4 + 4 + 1);
    const std::vector<std::int32_t> expected = {
        0,        Value(2), Value(2), Value(3), Value(3),  // first pass after the start byte
        Value(2), Value(2), Value(3), Value(3),            // first repeat
        Value(2), Value(2), Value(3), Value(3),            // second repeat
        0};
    EXPECT_EQ(values, expected);
}

TEST_F(DigiTest, RepeatAddressBelowTheStartSilencesTheSample) {
    test::Poke(0x2000, {0x99});
    SetUpSample(0x2000, 0x2001, 0);
    WriteMemory(0xD43F, 1);
    WriteWord(0xD47E, 0x1000);
    WriteMemory(0xD41D, 0xFE);
    Steps(3);
    EXPECT_EQ(digiRegisters.currentAddress, 0x1000);
    EXPECT_EQ(DigiStep(5), 5);
}

TEST_F(DigiTest, EmptyOrInvertedRangeAddsNothing) {
    SetUpSample(0x2000, 0x2000, 0);
    WriteMemory(0xD41D, 0xFE);
    digiPlayback.digiValue = 1234;
    EXPECT_EQ(DigiStep(7), 7);
    SetUpSample(0x2000, 0x1000, 0);
    WriteMemory(0xD41D, 0xFE);
    EXPECT_EQ(DigiStep(7), 7);
}

TEST_F(DigiTest, LatchWritesDuringPlaybackWaitForTheNextCommand) {
    test::Poke(0x2000, {0x77, 0x77, 0x77, 0x77});
    SetUpSample(0x2000, 0x2004, 0);
    WriteMemory(0xD41D, 0xFE);
    WriteMemory(0xD43D, 0x01);  // would end the sample at once
    EXPECT_EQ(digiRegisters.endAddress.live, 0x2004);
    Steps(2);
    EXPECT_EQ(DigiStep(0), Value(7));
}

TEST_F(DigiTest, NybbleRateFollowsThePeriod) {
    test::Poke(0x2000, {0xF0, 0xF0, 0xF0, 0xF0});
    SetUpSample(0x2000, 0x2004, 0, 1000);  // 985 nybbles a second
    WriteMemory(0xD41D, 0xFE);
    int steps = 0;
    std::int32_t previous = digiPlayback.digiValue;
    for (int i = 0; i < 1000; ++i) {
        DigiStep(0);
        steps += digiPlayback.digiValue != previous;
        previous = digiPlayback.digiValue;
    }
    // 1000 samples x 985 per 176,400 phase units: 5 steps, each changing value.
    EXPECT_EQ(steps, 5);
}

TEST_F(DigiTest, PeriodZeroAddsTheValueButNeverAdvances) {
    test::Poke(0x2000, {0x12});
    SetUpSample(0x2000, 0x2001, 0, 0);
    digiPlayback.digiValue = 300;
    WriteMemory(0xD41D, 0xFE);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(DigiStep(1), 301);
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

TEST_F(DigiTest, SidInitStopsTheSampleButKeepsValueAndSelector) {
    digiRegisters.sampleActive = 1;
    digiRegisters.nybbleSelector = 1;
    digiPlayback.digiValue = -8192;
    digiPlayback.digiPhase = 1000;
    SidInit(RENDER_RATE);
    EXPECT_EQ(digiRegisters.sampleActive, 0);
    EXPECT_EQ(digiPlayback.digiPhase, 0);
    EXPECT_EQ(digiRegisters.nybbleSelector, 1);
    EXPECT_EQ(digiPlayback.digiValue, -8192);
}

}  // namespace
}  // namespace chipbox
