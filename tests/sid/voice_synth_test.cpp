#include <gtest/gtest.h>

#include <array>

#include "sid/sid_render.h"
#include "sid/sid_state.h"
#include "sid/sid_write.h"
#include "sid/voice_synth.h"
#include "test_support.h"

namespace chipbox {
namespace {

class VoiceSynthTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetMachine();
        SidInit(RENDER_RATE);
    }

    VoiceSynth& Voice(int v) { return sidState.voices[v]; }

    // The per-sample update with voice 3 audible; one rendered sample.
    VoiceSums Step() { return UpdateVoices(sidState.voices, true); }

    // Voice 1 held at full level in Sustain with the given control value, so
    // its output is the waveform alone; voices 2 and 3 muted, so that their
    // start-up attack adds nothing.
    void HoldVoiceAtFullLevel(std::uint8_t controlValue) {
        mixerSettings.voiceMuted[1] = 1;
        mixerSettings.voiceMuted[2] = 1;
        SidWrite(4, controlValue);
        SidWrite(6, 0xF0);
        SetupVoices();
        Voice(0).envelopePhase = Sustain;
        Voice(0).envelopeLevel = 0xF00000;
    }
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

TEST_F(VoiceSynthTest, SidInitLeavesEveryVoiceInAttackWithAFullNoiseRegister) {
    SidWrite(0, 0x12);
    Voice(1).envelopeLevel = 5;
    SidInit(RENDER_RATE);
    for (const VoiceSynth& voice : sidState.voices) {
        EXPECT_EQ(voice.envelopePhase, Attack);
        EXPECT_EQ(voice.envelopeLevel, 0);
        EXPECT_EQ(voice.noiseRegister, 0xFFFFFFu);
    }
    EXPECT_EQ(sidState.voiceRegisters[0].frequency, 0);
}

TEST_F(VoiceSynthTest, SetupDerivesIncrementPulseRoutingAndSteps) {
    SidWrite(0, 0x00);
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

TEST_F(VoiceSynthTest, FrequencyZeroStandsStillAndNeverClocksNoise) {
    HoldVoiceAtFullLevel(0x81);
    const std::uint32_t noise = Voice(0).noiseRegister;
    for (int i = 0; i < 1000; ++i) Step();
    EXPECT_EQ(Voice(0).accumulator, 0u);
    EXPECT_EQ(Voice(0).noiseRegister, noise);
}

TEST_F(VoiceSynthTest, AFrequencyOf4096HasAPeriodOfAbout736Samples) {
    SidWrite(1, 0x10);
    SetupVoices();
    int wraps = 0;
    std::uint32_t previous = 0;
    for (int i = 0; i < 736 * 10 + 4; ++i) {
        Step();
        wraps += Voice(0).accumulator < previous;
        previous = Voice(0).accumulator;
    }
    EXPECT_EQ(wraps, 10);  // 7364 samples hold ten periods of 736.36
}

TEST_F(VoiceSynthTest, TestBitHoldsTheOscillatorAndResetsNoise) {
    SidWrite(1, 0x10);
    HoldVoiceAtFullLevel(0x18);  // triangle and test bit
    Voice(0).noiseRegister = 0x123;
    const VoiceSums sums = Step();
    EXPECT_EQ(Voice(0).accumulator, 0u);
    EXPECT_EQ(Voice(0).noiseRegister, 0xFFFFFFu);
    EXPECT_EQ(sums.direct, (-128 * 0xF00000) >> 26);
    Voice(0).envelopeLevel = 0xFFFFFF;
    EXPECT_EQ(Step().direct, -32);
}

TEST_F(VoiceSynthTest, NoWaveformAtFullLevelIsAConstant31) {
    HoldVoiceAtFullLevel(0x00);
    Voice(0).envelopeLevel = 0xFFFFFF;
    Voice(0).envelopePhase = Decay;
    Voice(0).decayStep = 0;
    Voice(0).sustainLevel = 0;
    EXPECT_EQ(Step().direct, 31);
}

TEST_F(VoiceSynthTest, AtTheReleaseFloorOutputIsZeroOrMinusOne) {
    HoldVoiceAtFullLevel(0x40);  // pulse, gate clear: Release
    SidWrite(4, 0x40);
    Voice(0).envelopeLevel = RELEASE_FLOOR;
    Voice(0).pulseThreshold = 0xFFFFFFFF;  // pulse high: w = 255
    EXPECT_EQ(Step().direct, 0);
    Voice(0).pulseThreshold = 0;  // accumulator 0 is still high...
    Voice(0).increment = 1;       // ...so move it past the threshold
    EXPECT_EQ(Step().direct, -1);
}

TEST_F(VoiceSynthTest, ReleaseStartingBelowTheFloorJumpsToIt) {
    SidWrite(6, 0x00);
    SetupVoices();
    Voice(0).envelopePhase = Release;
    Voice(0).envelopeLevel = 0;
    Step();
    EXPECT_EQ(Voice(0).envelopeLevel, RELEASE_FLOOR);
}

TEST_F(VoiceSynthTest, EnvelopeRunsAttackDecaySustainLinearly) {
    SidWrite(5, 0x00);  // attack step 42216, decay step 10665
    SidWrite(6, 0x80);  // sustain 8
    SetupVoices();
    Step();
    EXPECT_EQ(Voice(0).envelopeLevel, 42216);
    int samples = 1;
    while (Voice(0).envelopePhase == Attack) {
        Step();
        ++samples;
    }
    EXPECT_EQ(samples, 0xFFFFFF / 42216 + 1);
    EXPECT_EQ(Voice(0).envelopeLevel, 0xFFFFFF);
    while (Voice(0).envelopePhase == Decay) Step();
    EXPECT_EQ(Voice(0).envelopePhase, Sustain);
    EXPECT_EQ(Voice(0).envelopeLevel, 0x800000);
}

TEST_F(VoiceSynthTest, RaisingSustainInSustainMakesTheLevelJumpUp) {
    SidWrite(6, 0x40);
    SetupVoices();
    Voice(0).envelopePhase = Sustain;
    Voice(0).envelopeLevel = 0x400000;
    SidWrite(6, 0x80);
    SetupVoices();
    Step();
    EXPECT_EQ(Voice(0).envelopePhase, Decay);
    EXPECT_EQ(Voice(0).envelopeLevel, 0x400000);
    Step();
    EXPECT_EQ(Voice(0).envelopePhase, Sustain);
    EXPECT_EQ(Voice(0).envelopeLevel, 0x800000);
}

TEST_F(VoiceSynthTest, PulseWidthSetsHowLongThePulseIsHigh) {
    HoldVoiceAtFullLevel(0x40);
    Voice(0).increment = 0;
    Voice(0).pulseThreshold = 0;
    Voice(0).accumulator = 0;
    EXPECT_GT(Step().direct, 0);  // high only at accumulator 0
    Voice(0).accumulator = 1;
    EXPECT_LT(Step().direct, 0);
    SidWrite(2, 0xFF);
    SidWrite(3, 0x0F);
    SetupVoices();
    Voice(0).increment = 0;
    Voice(0).accumulator = 0x0FFF0000;
    EXPECT_GT(Step().direct, 0);
    Voice(0).accumulator = 0x0FFF0001;
    EXPECT_LT(Step().direct, 0);
}

TEST_F(VoiceSynthTest, TriangleAndSawtoothTogetherGiveTheirAnd) {
    HoldVoiceAtFullLevel(0x30);
    Voice(0).increment = 0;
    Voice(0).accumulator = 0x3A00000;  // triangle $74, sawtooth $3A
    const std::int32_t expected = ((0x74 & 0x3A) - 128) * 0xF00000 >> 26;
    EXPECT_EQ(Step().direct, expected);
}

TEST_F(VoiceSynthTest, TriangleFallsOverTheSecondHalfOfThePhase) {
    HoldVoiceAtFullLevel(0x10);
    Voice(0).increment = 0;
    Voice(0).accumulator = 0x8000000;  // t = $00 XOR $FF
    EXPECT_EQ(Step().direct, (127 * 0xF00000) >> 26);
}

TEST_F(VoiceSynthTest, NoiseIsClockedOnEveryChangeOfTheTopFiveBits) {
    SidWrite(1, 0xFF);
    SidWrite(0, 0xFF);
    SetupVoices();
    std::uint32_t expected = 0xFFFFFF;
    for (int i = 0; i < 200; ++i) {
        const std::uint32_t before = Voice(0).accumulator >> 23;
        Step();
        if ((Voice(0).accumulator >> 23) != before)
            expected = (expected << 1) | (((expected >> 22) ^ (expected >> 17)) & 1);
    }
    EXPECT_EQ(Voice(0).noiseRegister, expected);
    const std::uint32_t r = expected;
    const std::uint8_t output = ((r >> 22) & 1) << 7 | ((r >> 20) & 1) << 6 | ((r >> 16) & 1) << 5 |
                                ((r >> 13) & 1) << 4 | ((r >> 11) & 1) << 3 | ((r >> 7) & 1) << 2 |
                                ((r >> 4) & 1) << 1 | ((r >> 2) & 1);
    EXPECT_EQ(Voice(0).noiseOutput, output);
}

TEST_F(VoiceSynthTest, SyncRestartsWithTheSourcesOvershoot) {
    SidWrite(15, 0x02);  // voice 3 is voice 1's source
    SidWrite(4, 0x02);   // voice 1 synced
    SetupVoices();
    Voice(0).increment = 1000;
    Voice(0).accumulator = 50000;
    Voice(2).increment = 400;
    Voice(2).accumulator = 100;  // wrapped on its last update
    Step();
    EXPECT_EQ(Voice(0).accumulator, 1000u * 100 / 400);
}

TEST_F(VoiceSynthTest, SyncToAVoiceOfFrequencyZeroNeverResets) {
    SidWrite(11, 0x02);  // voice 2 synced to voice 1, which stands still
    SidWrite(8, 0x10);
    SetupVoices();
    for (int i = 0; i < 10; ++i) Step();
    EXPECT_EQ(Voice(1).accumulator, 10u * Voice(1).increment);
}

TEST_F(VoiceSynthTest, RingModulationInvertsTheTriangleWhileTheSourceIsInItsFirstHalf) {
    HoldVoiceAtFullLevel(0x14);  // triangle + ring, source voice 3 at phase 0
    Voice(0).increment = 0;
    Voice(0).accumulator = 0;
    EXPECT_EQ(Step().direct, (127 * 0xF00000) >> 26);
    Voice(2).accumulator = PHASE_HALF;
    Voice(2).increment = 0;
    EXPECT_EQ(Step().direct, (-128 * 0xF00000) >> 26);
}

TEST_F(VoiceSynthTest, MutedVoiceIsFrozenAndSilent) {
    SidWrite(1, 0x10);
    HoldVoiceAtFullLevel(0x00);
    SetVoiceMute(0, true);
    const VoiceSynth before = Voice(0);
    const VoiceSums sums = Step();
    EXPECT_EQ(sums.direct, 0);
    EXPECT_EQ(Voice(0).accumulator, before.accumulator);
    EXPECT_EQ(Voice(0).envelopeLevel, before.envelopeLevel);
}

TEST_F(VoiceSynthTest, VoiceThreeOffDropsItFromBothSumsButKeepsItRunning) {
    SidWrite(23, 0x04);
    SidWrite(15, 0x10);
    SetupVoices();
    Voice(2).envelopeLevel = 0xFFFFFF;
    Voice(2).envelopePhase = Sustain;
    Voice(2).sustainLevel = 0xFF;
    const VoiceSums sums = UpdateVoices(sidState.voices, false);
    EXPECT_EQ(sums.filtered, 0);
    EXPECT_EQ(sums.direct, 0);
    EXPECT_EQ(Voice(2).accumulator, Voice(2).increment);
}

}  // namespace
}  // namespace chipbox
