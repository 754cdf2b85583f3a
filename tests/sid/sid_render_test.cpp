#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "core/c64_memory.h"
#include "sid/digi_registers.h"
#include "sid/sid_render.h"
#include "sid/sid_state.h"
#include "sid/sid_write.h"
#include "sid/voice_chunk.h"
#include "sid/voice_synth.h"
#include "test_support.h"

namespace chipbox {
namespace {

class SidRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetMachine();
        SidInit(RENDER_RATE);
    }

    std::vector<std::int16_t> Render(std::uint32_t count) {
        std::vector<std::int16_t> samples(count);
        SidRender(samples.data(), count, c64Memory.bytes);
        return samples;
    }
};

TEST_F(SidRenderTest, OutputStageFromRestInvertsAConstantWithADelay) {
    OutputStage stage;
    const std::array<std::int32_t, 8> expected = {0, -640, -934, -1005, -1009, -1003, -1000, -999};
    for (std::int32_t y : expected) EXPECT_EQ(OutputStageStep(stage, 1000), y);
}

TEST_F(SidRenderTest, DecimatorFromRestRisesTowardsAConstant) {
    std::array<std::int16_t, 8> source;
    source.fill(1000);
    std::array<std::int16_t, 2> destination{};
    Decimate4(source.data(), destination.data(), 8);
    const std::array<std::int16_t, 8> filtered = {62, 167, 299, 441, 582, 714, 831, 930};
    EXPECT_EQ(source, filtered);
    EXPECT_EQ(destination[0], 62);  // samples 0 and 4
    EXPECT_EQ(destination[1], 582);
}

TEST_F(SidRenderTest, DecimatorKeepsItsStateAcrossCalls) {
    std::array<std::int16_t, 4> first, second;
    first.fill(1000);
    second.fill(1000);
    std::int16_t out;
    Decimate4(first.data(), &out, 4);
    Decimate4(second.data(), &out, 4);
    EXPECT_EQ(second[0], 582);
}

TEST_F(SidRenderTest, DecimatorClampsItsOvershootToSixteenBits) {
    std::vector<std::int16_t> source(16, 32767);
    std::vector<std::int16_t> destination(16);
    Decimate4(source.data(), destination.data(), 16);
    EXPECT_GT(decimator.low, 36000.0);  // the low-pass does overshoot a full-scale step
    EXPECT_EQ(*std::max_element(source.begin(), source.end()), 32767);
    std::vector<std::int16_t> negative(64, -32767);
    Decimate4(negative.data(), destination.data(), 64);
    EXPECT_EQ(*std::min_element(negative.begin(), negative.end()), -32768);
}

TEST_F(SidRenderTest, ClampSampleLimitsAndTruncatesTowardZero) {
    EXPECT_EQ(ClampSample(40000.0), 32767);
    EXPECT_EQ(ClampSample(-40000.0), -32767);
    EXPECT_EQ(ClampSample(-32767.5), -32767);
    EXPECT_EQ(ClampSample(-1.9), -1);
    EXPECT_EQ(ClampSample(1.9), 1);
}

TEST_F(SidRenderTest, FilterSetupFromTheRegisters) {
    SidWrite(21, 0x07);
    SidWrite(22, 0x00);
    SidWrite(23, 0xF0);
    SidWrite(24, 0xDA);  // voice 3 off, HP, LP, volume 10
    Render(0);
    const FilterSynth& filter = sidState.filter;
    EXPECT_DOUBLE_EQ(filter.cutoff, 7 * CUTOFF_BASE / RENDER_RATE);
    EXPECT_DOUBLE_EQ(filter.damping, 1.2 - 15 * 0.04);
    EXPECT_EQ(filter.lowPassOn, 1);
    EXPECT_EQ(filter.bandPassOn, 0);
    EXPECT_EQ(filter.highPassOn, 1);
    EXPECT_EQ(filter.voice3On, 0);
    EXPECT_DOUBLE_EQ(filter.volumeFactor, 160.0);

    SidWrite(21, 0x00);
    SidWrite(22, 0x01);
    SidWrite(23, 0x00);
    Render(0);
    EXPECT_DOUBLE_EQ(sidState.filter.cutoff, 16 * CUTOFF_BASE / RENDER_RATE);
    EXPECT_DOUBLE_EQ(sidState.filter.damping, 1.2);
}

TEST_F(SidRenderTest, CutoffIsCappedAtOneAtLowRates) {
    SidInit(OUTPUT_RATE / 4);
    SidWrite(22, 0xFF);
    SidWrite(21, 0x07);
    Render(0);
    EXPECT_EQ(sidState.filter.cutoff, 1.0);
    SidInit(RENDER_RATE);
    SidWrite(22, 0xFF);
    SidWrite(21, 0x07);
    Render(0);
    EXPECT_LT(sidState.filter.cutoff, 0.4990);  // 4087 is the largest cutoff value
}

TEST_F(SidRenderTest, RenderingZeroSamplesChangesNothingButTheDerivedValues) {
    SidWrite(1, 0x10);
    const std::uint32_t accumulator = sidState.voices[0].accumulator;
    const OutputStage stage = outputStage;
    Render(0);
    EXPECT_EQ(sidState.voices[0].increment, 0x1000u * 89);
    EXPECT_EQ(sidState.voices[0].accumulator, accumulator);
    EXPECT_EQ(outputStage.s1, stage.s1);
}

TEST_F(SidRenderTest, AConstantMixSettlesAtItsNegation) {
    // Voice 1 without waveform, held at full level in Sustain: constant 31.
    mixerSettings.voiceMuted[1] = 1;
    mixerSettings.voiceMuted[2] = 1;
    SidWrite(6, 0xF0);
    SidWrite(24, 0x0F);
    sidState.voices[0].envelopePhase = Sustain;
    sidState.voices[0].envelopeLevel = 0xF00000;
    const std::vector<std::int16_t> samples = Render(200);
    const std::int32_t mix = ((255 - 128) * 0xF00000) >> 26;
    EXPECT_NEAR(samples.back(), -mix * 240, 1);
}

TEST_F(SidRenderTest, RoutedVoicesAreSilentWithoutAFilterMode) {
    mixerSettings.voiceMuted[1] = 1;
    mixerSettings.voiceMuted[2] = 1;
    SidWrite(6, 0xF0);
    SidWrite(22, 0x40);
    SidWrite(23, 0x01);
    SidWrite(24, 0x0F);  // no mode bits
    sidState.voices[0].envelopePhase = Sustain;
    sidState.voices[0].envelopeLevel = 0xF00000;
    for (std::int16_t sample : Render(500)) EXPECT_EQ(sample, 0);
    EXPECT_NE(sidState.filter.low, 0.0);  // the filter keeps running on the input
}

TEST_F(SidRenderTest, OutputStageAndDecimatorSurviveSidInit) {
    outputStage.s1 = 12.5;
    decimator.low = 7.0;
    SidInit(RENDER_RATE);
    EXPECT_EQ(outputStage.s1, 12.5);
    EXPECT_EQ(decimator.low, 7.0);
}

TEST_F(SidRenderTest, RenderingIsExactlyReproducible) {
    auto renderTone = [this] {
        test::ResetMachine();
        SidInit(RENDER_RATE);
        SidWrite(1, 0x22);
        SidWrite(3, 0x08);
        SidWrite(5, 0x11);
        SidWrite(6, 0xC4);
        SidWrite(4, 0x40);
        SidWrite(4, 0x41);
        SidWrite(22, 0x40);
        SidWrite(23, 0xF1);
        SidWrite(24, 0x1F);
        return Render(5000);
    };
    const std::vector<std::int16_t> first = renderTone();
    EXPECT_EQ(renderTone(), first);
    EXPECT_NE(*std::max_element(first.begin(), first.end()), 0);
}

}  // namespace
}  // namespace chipbox

namespace chipbox {
namespace {

// A busy register state: every waveform, sync, ring, filter and a digi
// sample, so both of the renderer's voice paths run.
void SetBusyState(bool linkedVoices) {
    const std::uint8_t registers[25] = {0x00, 0x1C, 0x00, 0x08, 0x41, 0x22, 0xA8, 0x40, 0x33,
                                        0x00, 0x04, 0x21, 0x13, 0xC6, 0x90, 0x05, 0x00, 0x06,
                                        0x91, 0x09, 0xF0, 0x05, 0x40, 0xF7, 0x3F};
    for (int reg = 0; reg < 25; ++reg) SidWrite(reg, registers[reg]);
    if (linkedVoices) {
        SidWrite(11, 0x23);  // voice 2 synced to voice 1
        SidWrite(18, 0x95);  // voice 3 ring-modulated by voice 2
    }
}

class RenderPathsTest : public ::testing::TestWithParam<bool> {};

TEST_P(RenderPathsTest, OnePassRenderingEqualsRenderThenDecimate) {
    auto run = [](bool onePass) {
        test::ResetMachine();
        SidInit(RENDER_RATE);
        SetBusyState(GetParam());
        std::vector<std::int16_t> render(4000), output(1000);
        for (int call = 0; call < 5; ++call) {
            SidWrite(1, static_cast<std::uint8_t>(0x10 + call));
            if (onePass) {
                SidRenderDecimated(render.data(), output.data(), 4000, c64Memory.bytes);
            } else {
                SidRender(render.data(), 4000, c64Memory.bytes);
                Decimate4(render.data(), output.data(), 4000);
            }
        }
        return std::make_pair(render, output);
    };
    EXPECT_EQ(run(true), run(false));
}

INSTANTIATE_TEST_SUITE_P(IndependentAndLinkedVoices, RenderPathsTest, ::testing::Bool());

}  // namespace
}  // namespace chipbox

namespace chipbox {
namespace {

// Which voices sync to or ring-modulate their source (bit v for voice v+1),
// and which voice is muted (-1 for none).
struct Linking {
    int linkedVoices;
    int mutedVoice;
};

class VoiceChunkTest : public ::testing::TestWithParam<Linking> {};

TEST_P(VoiceChunkTest, ChunksEqualTheSampleBySampleUpdate) {
    test::ResetMachine();
    SidInit(RENDER_RATE);
    SetBusyState(false);
    const std::uint8_t links[3] = {0x02, 0x04, 0x06};  // sync, ring, both
    for (int v = 0; v < 3; ++v)
        if (GetParam().linkedVoices & (1 << v))
            SidWrite(7 * v + 4,
                     static_cast<std::uint8_t>(registerImage.values[7 * v + 4] | links[v]));
    if (GetParam().mutedVoice >= 0) mixerSettings.voiceMuted[GetParam().mutedVoice] = 1;
    SidWrite(24, 0xBF);  // voice 3 off as well
    SetupVoices();
    VoiceSet chunked = sidState.voices;
    VoiceSet perSample = sidState.voices;
    VoiceChunk chunk;
    for (int pass = 0; pass < 6; ++pass) {
        RenderVoiceChunk(chunked, false, CHUNK_SAMPLES, chunk);
        for (std::uint32_t i = 0; i < CHUNK_SAMPLES; ++i) {
            const VoiceSums sums = UpdateVoices(perSample, false);
            ASSERT_EQ(chunk.filtered[i], sums.filtered) << pass << " " << i;
            ASSERT_EQ(chunk.direct[i], sums.direct) << pass << " " << i;
        }
    }
    for (int v = 0; v < 3; ++v) {
        EXPECT_EQ(chunked[v].accumulator, perSample[v].accumulator) << v;
        EXPECT_EQ(chunked[v].envelopeLevel, perSample[v].envelopeLevel) << v;
        EXPECT_EQ(chunked[v].noiseRegister, perSample[v].noiseRegister) << v;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryVoiceOrder, VoiceChunkTest,
                         ::testing::Values(Linking{0, -1}, Linking{1, -1}, Linking{2, -1},
                                           Linking{3, -1}, Linking{4, -1}, Linking{5, -1},
                                           Linking{6, -1}, Linking{7, -1}, Linking{2, 0},
                                           Linking{4, 1}, Linking{7, 2}),
                         [](const ::testing::TestParamInfo<Linking>& param) {
                             const int muted = param.param.mutedVoice + 1;
                             return "Linked" + std::to_string(param.param.linkedVoices) + "Muted" +
                                    std::to_string(muted);
                         });

}  // namespace
}  // namespace chipbox
