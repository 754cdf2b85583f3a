// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/sid_write.h"

#include <gtest/gtest.h>

#include <vector>

#include "sid/hardsid_link.h"
#include "sid/sid_render.h"
#include "sid/sid_state.h"
#include "sid_fixture.h"
#include "test_support.h"

namespace chipbox {
namespace {

struct CardWrite {
    std::uint8_t device, reg, value;
    bool operator==(const CardWrite&) const = default;
};

std::vector<CardWrite> cardWrites;

void RecordCardWrite(std::uint8_t device, std::uint8_t reg, std::uint8_t value) {
    cardWrites.push_back({device, reg, value});
}

class SidWriteTest : public test::SidTest {
protected:
    void SetUp() override {
        SidTest::SetUp();
        cardWrites.clear();
    }
};

// Every register gets its own value, $64 to $83, so a value decoded from the
// wrong register shows; those without meaning change nothing.
TEST_F(SidWriteTest, DecodesTheRegistersAndTheImageKeepsTheLastValueOfEach) {
    for (int reg = 0; reg < 32; ++reg) SidWrite(reg, static_cast<std::uint8_t>(reg + 100));
    for (int reg = 0; reg < 32; ++reg) EXPECT_EQ(registerImage.values[reg], reg + 100);
    EXPECT_EQ(sidState.voiceRegisters[0].frequency, 0x6564);
    EXPECT_EQ(sidState.voiceRegisters[1].frequency, 0x6C6B);
    EXPECT_EQ(sidState.voiceRegisters[2].pulseWidth, 0x7574);  // the high byte stored whole
    EXPECT_EQ(sidState.voiceRegisters[2].attackDecay, 0x77);
    EXPECT_EQ(sidState.voiceRegisters[2].sustainRelease, 0x78);
    EXPECT_EQ(sidState.filterRegisters.cutoffLow, 0x79);
    EXPECT_EQ(sidState.filterRegisters.modeVolume, 0x7C);
}

// No edge detection: a clear gate forces Release, a set gate turns Release
// into Attack and leaves the other phases alone; the level stays.
TEST_F(SidWriteTest, GateRuleActsAtOnceOnEveryVoice) {
    struct Row {
        std::uint8_t before, control, after;
    };
    const Row rows[] = {
        {Attack, 0x11, Attack},   {Decay, 0x41, Decay},     {Sustain, 0x41, Sustain},
        {Release, 0x11, Attack},  {Attack, 0x10, Release},  {Decay, 0x40, Release},
        {Sustain, 0x40, Release}, {Release, 0x40, Release},
    };
    for (int v = 0; v < 3; ++v) {
        for (const Row& row : rows) {
            Voice(v).envelopePhase = row.before;
            Voice(v).envelopeLevel = 0x800000;
            SidWrite(7 * v + 4, row.control);
            EXPECT_EQ(Voice(v).envelopePhase, row.after) << v << " " << int(row.before);
            EXPECT_EQ(Voice(v).envelopeLevel, 0x800000);
        }
    }
}

// The card gets every write, with the gate cleared while its voice is muted;
// the image keeps what the tune wrote, and unmuting sends the gate back.
TEST_F(SidWriteTest, HardSidModeForwardsEverythingAndClearsTheGateOfMutedVoicesOnly) {
    hardSidMode = true;
    writeToHardSid = RecordCardWrite;
    SidWrite(1, 0x22);
    SidWrite(27, 0x33);
    SidWrite(18, 0x21);
    SetVoiceMute(2, true);
    SidWrite(18, 0x21);
    SidWrite(4, 0x41);
    EXPECT_EQ(registerImage.values[18], 0x21);
    SetVoiceMute(2, false);
    const std::vector<CardWrite> expected = {{0, 1, 0x22},  {0, 27, 0x33}, {0, 18, 0x21},
                                             {0, 18, 0x20}, {0, 18, 0x20}, {0, 4, 0x41},
                                             {0, 18, 0x21}};
    EXPECT_EQ(cardWrites, expected);
    EXPECT_EQ(sidState.voiceRegisters[0].frequency, 0);  // the model is left alone
    EXPECT_EQ(registerImage.values[1], 0x22);

    // A volume write keeps its filter bits for the sample thread's values.
    SidWrite(24, 0x1F);
    EXPECT_EQ(savedVolumeHigh, 0x10);
    SidWriteVolumeNibble(7);
    EXPECT_EQ(cardWrites.back(), (CardWrite{0, 24, 0x17}));
    hardSidMode = false;
    SidWriteVolumeNibble(3);
    EXPECT_EQ(cardWrites.size(), expected.size() + 2);
}

TEST_F(SidWriteTest, MuteReleasesAndUnmuteRestoresTheRememberedGate) {
    SidWrite(4, 0x40);
    SidWrite(4, 0x41);
    SetVoiceMute(0, true);
    EXPECT_EQ(mixerSettings.voiceMuted[0], 1);
    EXPECT_EQ(mixerSettings.savedGate[0], 1);
    EXPECT_EQ(registerImage.values[4], 0x40);
    EXPECT_EQ(Voice(0).envelopePhase, Release);
    SidWrite(4, 0x40);  // the tune releases the note meanwhile
    SetVoiceMute(0, false);
    EXPECT_EQ(mixerSettings.voiceMuted[0], 0);
    EXPECT_EQ(registerImage.values[4], 0x41);
    EXPECT_EQ(Voice(0).envelopePhase, Attack);
}

}  // namespace
}  // namespace chipbox
