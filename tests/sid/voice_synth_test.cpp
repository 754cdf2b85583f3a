// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/voice_synth.h"

#include <gtest/gtest.h>

#include <array>

#include "sid/sid_render.h"
#include "sid/sid_state.h"
#include "sid/sid_write.h"
#include "sid/voice_chunk.h"
#include "sid_fixture.h"
#include "test_support.h"

namespace chipbox {
namespace {

class VoiceSynthTest : public test::SidTest {
protected:
    // The per-sample update with voice 3 audible; one rendered sample.
    VoiceSums Step() { return UpdateVoices(sidState.voices, true); }
};

TEST_F(VoiceSynthTest, StepTablesAndFrequencyFactorAtTheRenderRate) {
    const std::array<std::int32_t, 16> attack = {42216, 11873, 6031, 3999, 2550, 1727, 1423, 1213,
                                                 969,   388,   194,  121,  97,   32,   19,   12};
    const std::array<std::int32_t, 16> decay = {10665, 3867, 1964, 1302, 830, 562, 463, 395,
                                                315,   126,  63,   39,   31,  10,  6,   3};
    EXPECT_EQ(sidState.attackSteps, attack);
    EXPECT_EQ(sidState.decayReleaseSteps, decay);
    EXPECT_EQ(sidState.frequencyFactor, 89u);
    SidInit(OUTPUT_RATE);
    EXPECT_EQ(sidState.frequencyFactor, 359u);
}

TEST_F(VoiceSynthTest, SetupDerivesIncrementPulseRoutingAndSteps) {
    SidWrite(1, 0x10);  // frequency 4096
    SidWrite(2, 0x34);
    SidWrite(3, 0xFF);  // only the low nibble counts
    SidWrite(5, 0x3A);
    SidWrite(6, 0x97);
    SidWrite(23, 0x05);  // voices 1 and 3 to the filter
    SetupVoices();
    EXPECT_EQ(Voice(0).increment, 364544u);
    EXPECT_EQ(Voice(0).pulseThreshold, 0x0F340000u);
    EXPECT_EQ(Voice(0).attackStep, 3999);
    EXPECT_EQ(Voice(0).decayStep, 63);
    EXPECT_EQ(Voice(0).sustainLevel, 0x90);
    EXPECT_EQ(Voice(0).releaseStep, 395);
    EXPECT_EQ(Voice(0).routedToFilter, 1);
    EXPECT_EQ(Voice(1).routedToFilter, 0);
    EXPECT_EQ(Voice(2).routedToFilter, 1);
}

// One sample of voice 1 with its oscillator held still, updated alone and as
// a chunk: the output is (waveform - 128) x level >> 26, in -32..31 and
// rounded down.
TEST_F(VoiceSynthTest, WaveformsAndOutputLevels) {
    struct Row {
        const char* name;
        std::uint8_t control;
        std::uint32_t accumulator;
        std::uint16_t pulseWidth;         // as written to the registers
        std::uint32_t sourceAccumulator;  // voice 3, the ring source
        std::int32_t level;
        std::int32_t output;
    };
    const Row rows[] = {
        {"no waveform: a constant", 0x00, 0x3A00000, 0, 0, 0xF00000, 29},
        {"no waveform at full level: the highest output", 0x00, 0, 0, 0, 0xFFFFFF, 31},
        {"triangle rising", 0x10, 0x3A00000, 0, 0, 0xF00000, -3},
        {"triangle falls over the second half", 0x10, PHASE_HALF, 0, 0, 0xF00000, 29},
        {"sawtooth", 0x20, 0x3A00000, 0, 0, 0xF00000, -17},
        {"triangle and sawtooth give their AND", 0x30, 0x3A00000, 0, 0, 0xF00000, -19},
        {"pulse width 0 is high only at phase 0", 0x40, 0, 0, 0, 0xF00000, 29},
        {"pulse width 0 is low past phase 0", 0x40, 1, 0, 0, 0xF00000, -30},
        {"pulse high up to its 12-bit width", 0x40, 0x0FFF0000, 0xFFFF, 0, 0xF00000, 29},
        {"pulse low past its 12-bit width", 0x40, 0x0FFF0001, 0xFFFF, 0, 0xF00000, -30},
        {"test bit holds the oscillator at 0", 0x18, 0x3A00000, 0, 0, 0xF00000, -30},
        {"test bit at full level: the lowest output", 0x18, 0, 0, 0, 0xFFFFFF, -32},
        {"ring inverts the triangle: source in its first half", 0x14, 0, 0, 0, 0xF00000, 29},
        {"ring leaves it: source in its second half", 0x14, 0, 0, PHASE_HALF, 0xF00000, -30},
        {"at the release floor, high", 0x40, 0, 0xFFFF, 0, RELEASE_FLOOR, 0},
        {"at the release floor, low", 0x40, 0x0FFF0001, 0xFFFF, 0, RELEASE_FLOOR, -1},
    };
    for (const Row& row : rows) {
        SidWrite(2, static_cast<std::uint8_t>(row.pulseWidth));
        SidWrite(3, static_cast<std::uint8_t>(row.pulseWidth >> 8));
        test::HoldVoiceOneInSustain(row.control);
        Voice(0).increment = 0;
        Voice(0).accumulator = row.accumulator;
        Voice(0).envelopeLevel = row.level;
        Voice(2).accumulator = row.sourceAccumulator;
        VoiceSet chunked = sidState.voices;
        VoiceChunk chunk;
        RenderVoiceChunk(chunked, true, 1, chunk);
        EXPECT_EQ(chunk.direct[0], row.output) << row.name;
        EXPECT_EQ(Step().direct, row.output) << row.name;
    }
}

// Frequency $FFFF moves the top five phase bits on in 139 of 200 samples,
// wrapping four times; each change shifts the register once, with bit 22
// XOR bit 17 fed in. The test bit refills it; frequency 0 never clocks it.
TEST_F(VoiceSynthTest, NoiseIsClockedOnEveryChangeOfTheTopFiveBits) {
    test::HoldVoiceOneInSustain(0x81);
    for (int i = 0; i < 1000; ++i) Step();
    EXPECT_EQ(Voice(0).accumulator, 0u);
    EXPECT_EQ(Voice(0).noiseRegister, 0xFFFFFFu);
    SidWrite(0, 0xFF);
    SidWrite(1, 0xFF);
    SetupVoices();
    for (int i = 0; i < 200; ++i) Step();
    EXPECT_EQ(Voice(0).noiseRegister, 0x60E018F9u);
    EXPECT_EQ(Voice(0).noiseOutput, 0x8E);
    const int outputBits[8] = {22, 20, 16, 13, 11, 7, 4, 2};  // as bits 7 down to 0
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(voice_detail::NoiseWaveform(1u << outputBits[i]), 0x80 >> i) << i;
    EXPECT_EQ(voice_detail::NoiseWaveform(~0x00512894u), 0);  // no other bit counts
    SidWrite(4, control::TEST);
    SetupVoices();
    Step();
    EXPECT_EQ(Voice(0).noiseRegister, 0xFFFFFFu);
}

// The envelope runs Attack, Decay and Sustain linearly; raising the sustain
// level in Sustain makes the level jump up through one step of Decay. The
// release floor is not 0, so a released voice never falls fully silent.
TEST_F(VoiceSynthTest, EnvelopePhases) {
    SidWrite(5, 0x00);  // attack step 42216, decay step 10665
    SidWrite(6, 0x40);  // sustain 4
    SetupVoices();
    Step();
    EXPECT_EQ(Voice(0).envelopeLevel, 42216);
    int samples = 1;
    for (; Voice(0).envelopePhase == Attack; ++samples) Step();
    EXPECT_EQ(samples, 398);
    EXPECT_EQ(Voice(0).envelopeLevel, 0xFFFFFF);
    while (Voice(0).envelopePhase == Decay) Step();
    EXPECT_EQ(Voice(0).envelopePhase, Sustain);
    EXPECT_EQ(Voice(0).envelopeLevel, 0x400000);

    SidWrite(6, 0x80);
    SetupVoices();
    Step();
    EXPECT_EQ(Voice(0).envelopePhase, Decay);
    EXPECT_EQ(Voice(0).envelopeLevel, 0x400000);
    Step();
    EXPECT_EQ(Voice(0).envelopePhase, Sustain);
    EXPECT_EQ(Voice(0).envelopeLevel, 0x800000);

    SidWrite(4, 0x00);  // gate off
    Voice(0).envelopeLevel = RELEASE_FLOOR + 1;
    Step();
    EXPECT_EQ(Voice(0).envelopePhase, Release);
    EXPECT_EQ(Voice(0).envelopeLevel, RELEASE_FLOOR);
    Voice(0).envelopeLevel = 0;  // below the floor: jumps up to it
    Step();
    EXPECT_EQ(Voice(0).envelopeLevel, RELEASE_FLOOR);
}

// A synced voice restarts when its source wraps, with the fraction of a step
// by which the source overshot; a source standing still never wraps.
TEST_F(VoiceSynthTest, SyncRestartsWithTheSourcesOvershoot) {
    SidWrite(15, 0x02);  // voice 3 is voice 1's source
    SidWrite(4, 0x02);   // voice 1 synced
    SetupVoices();
    Voice(0).increment = 1000;
    Voice(0).accumulator = 50000;
    Voice(2).increment = 400;
    Voice(2).accumulator = 100;  // wrapped on its last update
    Step();
    EXPECT_EQ(Voice(0).accumulator, 250u);  // 1000 x 100 / 400

    SidWrite(11, 0x02);  // voice 2 synced to voice 1, which stands still
    SidWrite(8, 0x10);
    SetupVoices();
    for (int i = 0; i < 10; ++i) Step();
    EXPECT_EQ(Voice(1).accumulator, 3645440u);  // ten steps of 4096 x 89
}

// A muted voice stands still and is silent; voice 3 off leaves both sums
// but keeps running, as a sync or ring source must.
TEST_F(VoiceSynthTest, MutedVoicesStandStillButVoiceThreeOffKeepsRunning) {
    SidWrite(1, 0x10);
    SidWrite(15, 0x10);
    SidWrite(23, 0x04);
    test::HoldVoiceOneInSustain(0x00);
    SetVoiceMute(0, true);
    mixerSettings.voiceMuted[2] = 0;
    Voice(2).envelopeLevel = 0xFFFFFF;
    Voice(2).envelopePhase = Sustain;
    Voice(2).sustainLevel = 0xFF;
    const VoiceSynth before = Voice(0);
    const VoiceSums sums = UpdateVoices(sidState.voices, false);
    EXPECT_EQ(sums.filtered, 0);
    EXPECT_EQ(sums.direct, 0);
    EXPECT_EQ(Voice(0).accumulator, before.accumulator);
    EXPECT_EQ(Voice(0).envelopeLevel, before.envelopeLevel);
    EXPECT_EQ(Voice(2).accumulator, 364544u);
}

}  // namespace
}  // namespace chipbox
