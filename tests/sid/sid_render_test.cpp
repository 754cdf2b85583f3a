// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/sid_render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "core/c64_memory.h"
#include "sid/digi_registers.h"
#include "sid/sid_state.h"
#include "sid/sid_write.h"
#include "sid/voice_chunk.h"
#include "sid/voice_synth.h"
#include "sid_fixture.h"
#include "test_support.h"

namespace chipbox {
namespace {

class SidRenderTest : public test::SidTest {
protected:
    static std::vector<std::int16_t> Render(std::uint32_t count) {
        std::vector<std::int16_t> samples(count);
        SidRender(samples.data(), count, c64Memory.bytes);
        return samples;
    }
};

// From rest, the output stage inverts a constant with a delay; the decimator
// rises towards it and keeps its state across calls.
TEST_F(SidRenderTest, OutputStageAndDecimatorFromRest) {
    OutputStage stage;
    const std::array<std::int32_t, 8> expected = {0, -640, -934, -1005, -1009, -1003, -1000, -999};
    for (std::int32_t y : expected) EXPECT_EQ(OutputStageStep(stage, 1000), y);
    std::array<std::int16_t, 4> first = {1000, 1000, 1000, 1000}, second = first;
    std::int16_t out1, out2;
    Decimate4(first.data(), &out1, 4);
    Decimate4(second.data(), &out2, 4);
    EXPECT_EQ(first, (std::array<std::int16_t, 4>{62, 167, 299, 441}));
    EXPECT_EQ(second, (std::array<std::int16_t, 4>{582, 714, 831, 930}));
    EXPECT_EQ(out1, 62);  // every fourth sample, from the first on
    EXPECT_EQ(out2, 582);
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
    const std::pair<double, std::int16_t> cases[] = {
        {40000.0, 32767}, {-40000.0, -32767}, {-32767.5, -32767}, {-1.9, -1}, {1.9, 1}};
    for (const auto& [x, y] : cases) EXPECT_EQ(ClampSample(x), y) << x;
}

// A render call of no samples derives the voices' and the filter's values
// from the registers and changes nothing else.
TEST_F(SidRenderTest, RenderingZeroSamplesSetsUpTheVoicesAndTheFilter) {
    SidWrite(1, 0x10);
    SidWrite(21, 0x07);
    SidWrite(23, 0xF0);
    SidWrite(24, 0xDA);  // voice 3 off, HP, LP, volume 10
    const std::uint32_t accumulator = sidState.voices[0].accumulator;
    const OutputStage stage = outputStage;
    Render(0);
    EXPECT_EQ(sidState.voices[0].increment, 364544u);
    EXPECT_EQ(sidState.voices[0].accumulator, accumulator);
    EXPECT_EQ(outputStage.s1, stage.s1);
    const FilterSynth& filter = sidState.filter;
    EXPECT_NEAR(filter.cutoff, 7.0 / 8192, 1e-9);  // a cutoff value v gives v / 8192 here
    EXPECT_DOUBLE_EQ(filter.damping, 0.6);
    EXPECT_EQ(filter.lowPassOn, 1);
    EXPECT_EQ(filter.bandPassOn, 0);
    EXPECT_EQ(filter.highPassOn, 1);
    EXPECT_EQ(filter.voice3On, 0);
    EXPECT_DOUBLE_EQ(filter.volumeFactor, 160.0);

    SidWrite(21, 0x00);
    SidWrite(22, 0x01);  // the high byte weighs 16
    SidWrite(23, 0x00);
    Render(0);
    EXPECT_NEAR(filter.cutoff, 16.0 / 8192, 1e-9);
    EXPECT_DOUBLE_EQ(filter.damping, 1.2);
    SidWrite(22, 0xFF);
    SidWrite(21, 0x07);
    Render(0);
    EXPECT_NEAR(filter.cutoff, 4087.0 / 8192, 1e-9);  // the largest cutoff value
    SidInit(OUTPUT_RATE / 4);
    SidWrite(22, 0xFF);
    Render(0);
    EXPECT_EQ(filter.cutoff, 1.0);  // capped at low rates
}

// The output stage has a gain of -1: volume 15 (x 240) of the constant 29.
// Routed to the filter without a mode bit, the constant is silent, though the
// filter keeps running on it.
TEST_F(SidRenderTest, AConstantMixSettlesAtItsNegationAndAFilterWithoutAModeIsSilent) {
    test::HoldVoiceOneInSustain(0x00);  // no waveform: the constant 29
    SidWrite(24, 0x0F);
    EXPECT_NEAR(Render(200).back(), -29 * 240, 1);
    SetUp();  // the output stage at rest again
    test::HoldVoiceOneInSustain(0x00);
    SidWrite(22, 0x40);
    SidWrite(23, 0x01);
    SidWrite(24, 0x0F);
    for (std::int16_t sample : Render(500)) EXPECT_EQ(sample, 0);
    EXPECT_NE(sidState.filter.low, 0.0);
}

// SidInit clears registers, voices and the sample's flag and phase; the output
// stage, the decimator, the digi value and selector and the register image stay.
TEST_F(SidRenderTest, SidInitClearsTheChipButKeepsWhatIsNeverReset) {
    SidWrite(0, 0x12);
    sidState.voices[1].envelopeLevel = 5;
    sidState.voices[1].envelopePhase = Release;
    sidState.voices[2].noiseRegister = 7;
    digiRegisters.sampleActive = 1;
    digiRegisters.nybbleSelector = 1;
    digiPlayback.digiValue = -8192;
    digiPlayback.digiPhase = 1000;
    outputStage.s1 = 12.5;
    decimator.low = 7.0;
    SidInit(RENDER_RATE);
    for (const VoiceSynth& voice : sidState.voices) {
        EXPECT_EQ(voice.envelopePhase, Attack);
        EXPECT_EQ(voice.envelopeLevel, 0);
        EXPECT_EQ(voice.noiseRegister, 0xFFFFFFu);
    }
    EXPECT_EQ(sidState.voiceRegisters[0].frequency, 0);
    EXPECT_EQ(registerImage.values[0], 0x12);
    EXPECT_EQ(digiRegisters.sampleActive, 0);
    EXPECT_EQ(digiPlayback.digiPhase, 0);
    EXPECT_EQ(digiRegisters.nybbleSelector, 1);
    EXPECT_EQ(digiPlayback.digiValue, -8192);
    EXPECT_EQ(outputStage.s1, 12.5);
    EXPECT_EQ(decimator.low, 7.0);
}

// Our test tunes, started as playback does and rendered.

// 73,636 rendered samples hold 100 periods of 736.36 at frequency $1000.
TEST_F(SidRenderTest, Frequency4096RepeatsEvery736RenderedSamples) {
    test::StartTuneAsPlaybackDoes("minimal");
    Render(20000);  // past the attack
    int rises = 0;  // from below -1000 to above 1000, so ringing does not count
    bool low = false;
    for (std::int16_t sample : Render(73636)) {
        if (sample < -1000) low = true;
        if (low && sample > 1000) ++rises, low = false;
    }
    EXPECT_NEAR(rises, 100, 1);
}

TEST_F(SidRenderTest, VolumeZeroSilencesVoicesButNotDigiSamplesWhichAreNotInverted) {
    test::StartTuneAsPlaybackDoes("digi");
    const std::vector<std::int16_t> samples = Render(20000);
    for (std::int16_t sample : samples)
        ASSERT_TRUE(sample == 0 || sample == 7168 || sample == -8192) << sample;
    const auto firstSound =
        std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return s != 0; });
    ASSERT_NE(firstSound, samples.end());
    EXPECT_EQ(*firstSound, 7168);  // nybble $F: positive, as the tune meant it
    EXPECT_NE(std::find(samples.begin(), samples.end(), -8192), samples.end());
}

// One render call the plain way: each sample through voices, filter, volume,
// output stage, digi value and limit before the next sample starts.
std::vector<std::int16_t> RenderSampleBySample(std::uint32_t count) {
    std::int16_t unused;
    SidRender(&unused, 0, c64Memory.bytes);  // the per-call setup
    FilterSynth& filter = sidState.filter;
    DigiCursor digi(c64Memory.bytes);
    std::vector<std::int16_t> samples(count);
    for (std::int16_t& sample : samples) {
        const VoiceSums sums = UpdateVoices(sidState.voices, filter.voice3On != 0);
        const double filterOutput = FilterStep(filter, sums.filtered);
        const auto x =
            static_cast<std::int32_t>((filterOutput + sums.direct) * filter.volumeFactor);
        sample = ClampSample(static_cast<double>(digi.Step(OutputStageStep(outputStage, x))));
    }
    digi.StoreBack();
    return samples;
}

// The render calls run the filter, the output stage and the decimator a few
// samples apart; call lengths around those distances and the chunk size.
class StaggeredChainTest : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(StaggeredChainTest, EqualsTheSampleBySampleChain) {
    const std::uint32_t count = GetParam();
    auto run = [count](int path) {
        ResetEngine();
        SidInit(RENDER_RATE);
        // Every waveform, the filter, voice 2 synced to voice 1 and voice 3
        // ring-modulated by voice 2, so both of the renderer's voice paths run.
        const std::uint8_t registers[25] = {0x00, 0x1C, 0x00, 0x08, 0x41, 0x22, 0xA8, 0x40, 0x33,
                                            0x00, 0x04, 0x23, 0x13, 0xC6, 0x90, 0x05, 0x00, 0x06,
                                            0x95, 0x09, 0xF0, 0x05, 0x40, 0xF7, 0x3F};
        for (int reg = 0; reg < 25; ++reg) SidWrite(reg, registers[reg]);
        for (std::uint16_t address = 0x3000; address < 0x3800; ++address)
            WriteMemory(address, static_cast<std::uint8_t>(address * 37));
        const std::uint8_t digiWrites[][2] = {{0x1E, 0x00}, {0x1F, 0x30}, {0x3D, 0x00},
                                              {0x3E, 0x38}, {0x5D, 20},   {0xFF, 0}};
        for (const auto& [low, value] : digiWrites) WriteMemory(0xD400 | low, value);
        WriteMemory(0xD41D, 0xFF);  // the sample sounds from here on
        std::vector<std::int16_t> render, output;
        for (int call = 0; call < 4; ++call) {
            SidWrite(1, static_cast<std::uint8_t>(0x10 + call));
            std::vector<std::int16_t> samples(count), reduced((count + 3) / 4);
            if (path == 0) samples = RenderSampleBySample(count);
            if (path == 1) SidRender(samples.data(), count, c64Memory.bytes);
            if (path != 2) Decimate4(samples.data(), reduced.data(), count);
            if (path == 2)
                SidRenderDecimated(samples.data(), reduced.data(), count, c64Memory.bytes);
            render.insert(render.end(), samples.begin(), samples.end());
            output.insert(output.end(), reduced.begin(), reduced.end());
        }
        return std::make_tuple(render, output, sidState.filter.low, outputStage.s2, decimator.low);
    };
    const auto plain = run(0);
    EXPECT_EQ(run(1), plain);
    EXPECT_EQ(run(2), plain);
    EXPECT_NE(std::get<3>(plain), 0.0);  // the output stage ran on sound, not silence
}

INSTANTIATE_TEST_SUITE_P(CallLengths, StaggeredChainTest,
                         ::testing::Values(1u, 3u, 4u, 5u, 8u, 9u, 13u, 511u, 512u, 513u, 1500u));

// Register changes between render calls, made up once and played on two
// machines: one renders the voices by chunks, the other sample by sample.
struct ScriptStep {
    std::vector<std::pair<int, std::uint8_t>> writes;
    std::array<std::uint8_t, 3> muted;
    std::uint32_t count;
    // Per voice, 0 or the samples until its level meets the end of its phase,
    // give or take `nudge`; and a noise clock to put out of step, or -1.
    std::array<std::int32_t, 3> landing, nudge, noiseClock;
};

// Level states that register writes reach only by chance: exactly on, one
// below and one past the end of an envelope phase.
void PlaceLevel(VoiceSynth& voice, std::int32_t samples, std::int32_t nudge) {
    if (voice.envelopePhase == Attack)
        voice.envelopeLevel = ENVELOPE_FULL - samples * voice.attackStep + nudge;
    if (voice.envelopePhase == Decay)
        voice.envelopeLevel = (voice.sustainLevel << 16) + samples * voice.decayStep + nudge;
    if (voice.envelopePhase == Release)
        voice.envelopeLevel = RELEASE_FLOOR + samples * voice.releaseStep + nudge;
}

// Every voice plays `waveform`; the link bits (sync, ring, test) come and go
// per voice. Short envelope times and gate changes cross every phase change
// (Release reaching its floor and starting below it among them), and the
// frequencies run from 0 to the highest.
std::vector<ScriptStep> MakeScript(std::uint32_t waveform, std::uint32_t seed) {
    std::mt19937 random(seed);
    auto bits = [&random] { return static_cast<std::uint32_t>(random()); };
    auto pick = [&bits](std::uint32_t n) { return bits() % n; };
    const std::uint32_t frequencies[] = {0, 1, 0x0123, 0x1000, 0x4000, 0xFFFF};
    const std::uint32_t links[] = {0, control::SYNC, control::RING, control::SYNC | control::RING,
                                   control::TEST};
    std::vector<ScriptStep> script;
    for (int step = 0; step < 60; ++step) {
        // Short calls too, so that some end right where a level lands.
        ScriptStep s{{}, {}, 1 + (pick(2) ? pick(8) : pick(1200)), {}, {}, {}};
        for (int v = 0; v < 3; ++v) {
            s.landing[v] = pick(3) == 0 ? static_cast<std::int32_t>(1 + pick(8)) : 0;
            s.nudge[v] = static_cast<std::int32_t>(pick(3)) - 1;
            s.noiseClock[v] = pick(16) == 0 ? static_cast<std::int32_t>(pick(32)) : -1;
            const std::uint32_t frequency = pick(2) ? frequencies[pick(6)] : bits() & 0xFFFF;
            const std::uint32_t gate = pick(4) != 0;
            // Frequency, pulse width, control, attack/decay, sustain/release.
            const std::uint32_t fields[] = {frequency,
                                            frequency >> 8,
                                            bits(),
                                            bits() & 0x0F,
                                            waveform | links[pick(5)] | gate,
                                            pick(4) << 4 | pick(4),
                                            pick(16) << 4 | pick(3)};
            for (int field = 0; field < 7; ++field)
                s.writes.push_back({7 * v + field, static_cast<std::uint8_t>(fields[field])});
            s.muted[v] = pick(8) == 0;
        }
        s.writes.push_back({23, static_cast<std::uint8_t>(pick(8))});
        s.writes.push_back({24, static_cast<std::uint8_t>(pick(2) << 7 | 0x0F)});
        script.push_back(s);
    }
    return script;
}

// The voice sums of every sample and each voice's state after every call.
std::vector<std::int64_t> Play(const std::vector<ScriptStep>& script, std::uint32_t rate,
                               bool byChunks) {
    ResetEngine();
    SidInit(rate);
    std::vector<std::int64_t> trace;
    auto chunk = std::make_unique<VoiceChunk>();
    for (const ScriptStep& step : script) {
        for (const auto& [reg, value] : step.writes) SidWrite(reg, value);
        for (int v = 0; v < 3; ++v) mixerSettings.voiceMuted[v] = step.muted[v];
        SetupVoices();
        for (int v = 0; v < 3; ++v) {
            VoiceSynth& voice = sidState.voices[v];
            if (step.landing[v] != 0) PlaceLevel(voice, step.landing[v], step.nudge[v]);
            if (step.noiseClock[v] >= 0)
                voice.noiseClock = static_cast<std::uint32_t>(step.noiseClock[v]);
        }
        const bool voice3On = !(sidState.filterRegisters.modeVolume & 0x80);
        for (std::uint32_t done = 0; done < step.count; done += CHUNK_SAMPLES) {
            const std::uint32_t n = std::min(CHUNK_SAMPLES, step.count - done);
            if (byChunks) RenderVoiceChunk(sidState.voices, voice3On, n, *chunk);
            for (std::uint32_t i = 0; i < n; ++i) {
                const VoiceSums sums = byChunks ? VoiceSums{chunk->filtered[i], chunk->direct[i]}
                                                : UpdateVoices(sidState.voices, voice3On);
                trace.insert(trace.end(), {sums.filtered, sums.direct});
            }
        }
        for (const VoiceSynth& v : sidState.voices)
            trace.insert(trace.end(), {v.accumulator, v.envelopeLevel, v.envelopePhase,
                                       v.noiseClock, v.noiseRegister, v.noiseOutput});
    }
    return trace;
}

class VoiceRunsTest : public ::testing::TestWithParam<std::tuple<int, std::uint32_t>> {};

TEST_P(VoiceRunsTest, EqualTheSampleBySampleUpdate) {
    const auto [selection, rate] = GetParam();
    const std::vector<ScriptStep> script =
        MakeScript(static_cast<std::uint32_t>(selection) << 4, 1000 + selection);
    // Each script links the voices in all eight ways, muted or not, so the
    // chunks run in every order the renderer can choose.
    std::set<int> linkings;
    for (const ScriptStep& step : script) {
        int linked = 0;
        for (int v = 0; v < 3; ++v)
            if (!step.muted[v] && (step.writes[7 * v + 4].second & (control::SYNC | control::RING)))
                linked |= 1 << v;
        linkings.insert(linked);
    }
    EXPECT_EQ(linkings.size(), 8u);
    const std::vector<std::int64_t> plain = Play(script, rate, false);
    const std::vector<std::int64_t> chunked = Play(script, rate, true);
    ASSERT_EQ(chunked.size(), plain.size());
    const auto difference = std::mismatch(chunked.begin(), chunked.end(), plain.begin());
    EXPECT_EQ(difference.first, chunked.end())
        << "first difference at " << difference.first - chunked.begin();
}

// The playback rate, and a low one at which high notes step the accumulator
// by 2^23 or more, which the runs leave to the plain path.
INSTANTIATE_TEST_SUITE_P(EveryWaveformSelection, VoiceRunsTest,
                         ::testing::Combine(::testing::Range(0, 16),
                                            ::testing::Values(RENDER_RATE, OUTPUT_RATE)));

}  // namespace
}  // namespace chipbox
