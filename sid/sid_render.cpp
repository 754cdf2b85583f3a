// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/sid_render.h"

#include <algorithm>
#include <array>

#include "sid/digi_registers.h"
#include "sid/sid_state.h"
#include "sid/voice_chunk.h"
#include "sid/voice_synth.h"

namespace chipbox {

OutputStage outputStage;
Decimator decimator;

namespace {

constexpr double HIGHEST_CUTOFF = 1.0;

// The high byte is weighted 16, not 8: values 8..15 of every group of 16 are
// never produced.
void SetupFilter() {
    const FilterRegisters& regs = sidState.filterRegisters;
    FilterSynth& filter = sidState.filter;
    const double cutoffValue = static_cast<double>((regs.cutoffLow & 7) + regs.cutoffHigh * 16);
    filter.cutoff = std::min(cutoffValue * filter.cutoffScale, HIGHEST_CUTOFF);
    filter.lowPassOn = (regs.modeVolume >> 4) & 1;
    filter.bandPassOn = (regs.modeVolume >> 5) & 1;
    filter.highPassOn = (regs.modeVolume >> 6) & 1;
    filter.voice3On = (regs.modeVolume & 0x80) ? 0 : 1;
    filter.volumeFactor = (regs.modeVolume & 0x0F) * 16.0;
    filter.damping = 1.2 - (regs.resonanceRouting >> 4) * 0.04;
}

}  // namespace

void SidInit(std::uint32_t rate) {
    sidState.sampleRate = rate;
    digiRegisters.sampleActive = 0;
    digiPlayback.digiPhase = 0;
    digiPlayback.rate = rate;
    sidState.frequencyFactor = FREQ_SCALE_CONSTANT / rate;
    const double cutoffScale = CUTOFF_BASE / rate;
    FillEnvelopeSteps(rate);
    sidState.voiceRegisters = {};
    sidState.filterRegisters = {};
    sidState.voices = {};
    sidState.filter = FilterSynth{};
    sidState.filter.cutoffScale = cutoffScale;
    for (VoiceSynth& voice : sidState.voices) voice.noiseRegister = 0xFFFFFF;
}

namespace {

// Samples by which each stage of the output chain runs behind the one before
// it. The filter, the output stage and the decimator are recurrences of a few
// dependent floating-point operations each. In sample order, one sample's
// three stages form a single long chain, and the processor's window holds too
// few samples to overlap the next ones with it; staggered, one iteration holds
// three chains that do not wait for each other. Each stage still sees its
// samples in order, with the same operands, so the results are the same to
// the bit.
constexpr std::uint32_t STAGE_LAG = 4;

// Runs first(i), then second(i) and then third(i) for every i in [0, n), with
// iteration j doing first(j), second(j - STAGE_LAG) and third(j - 2 *
// STAGE_LAG). The iterations at the edges, where a stage has not started or
// has already finished, are split off so that the long middle stretch runs
// all three stages without a test.
template <class First, class Second, class Third>
void RunStaggered(std::uint32_t n, First first, Second second, Third third) {
    constexpr std::uint32_t lag = STAGE_LAG;
    std::array<std::uint32_t, 6> bounds = {0, lag, 2 * lag, n, n + lag, n + 2 * lag};
    std::sort(bounds.begin(), bounds.end());
    for (std::size_t k = 0; k + 1 < bounds.size(); ++k) {
        const std::uint32_t begin = bounds[k], end = bounds[k + 1];
        const bool runFirst = begin < n;
        const bool runSecond = begin >= lag && begin < n + lag;
        const bool runThird = begin >= 2 * lag;  // end <= n + 2 * lag always
        if (runFirst && runSecond && runThird) {
            for (std::uint32_t j = begin; j < end; ++j) {
                first(j);
                second(j - lag);
                third(j - 2 * lag);
            }
            continue;
        }
        for (std::uint32_t j = begin; j < end; ++j) {
            if (runFirst) first(j);
            if (runSecond) second(j - lag);
            if (runThird) third(j - 2 * lag);
        }
    }
}

// The decimator as the output chain's third stage: it filters the sample in
// place and keeps every fourth.
struct DecimatingStage {
    std::int16_t* renderBuffer;
    std::int16_t* destination;
    Decimator state;

    void operator()(std::uint32_t i) {
        const std::int16_t filtered = DecimateStep(state, renderBuffer[i]);
        renderBuffer[i] = filtered;
        if ((i & 3) == 0) destination[i >> 2] = filtered;
    }
};

struct NoThirdStage {
    void operator()(std::uint32_t) {}
};

// The per-call frame of rendering: per-call setup, then per chunk the voice
// sums and, per sample, filter and volume (the first stage), the output
// stage, digi value and limiting into buffer (the second) and third(i) on the
// stored sample.
template <class Third>
void RenderSamples(std::int16_t* buffer, std::uint32_t count, SampleMemory memory,
                   Third& thirdStage) {
    SetupVoices();
    SetupFilter();
    // Locals for the loop: stores into them cannot alias the output, and
    // they stay in registers.
    VoiceSet voices = sidState.voices;
    FilterSynth filter = sidState.filter;
    OutputStage stage = outputStage;
    Third third = thirdStage;
    DigiCursor digi(memory);
    const bool voice3On = filter.voice3On != 0;
    VoiceChunk chunk;
    std::array<std::int32_t, CHUNK_SAMPLES> mixes;  // the first stage's results
    for (std::uint32_t start = 0; start < count; start += CHUNK_SAMPLES) {
        const std::uint32_t n = std::min(CHUNK_SAMPLES, count - start);
        RenderVoiceChunk(voices, voice3On, n, chunk);
        std::int16_t* const samples = buffer + start;
        RunStaggered(
            n,
            [&](std::uint32_t i) {
                const double filterOutput = FilterStep(filter, chunk.filtered[i]);
                mixes[i] = static_cast<std::int32_t>((filterOutput + chunk.direct[i]) *
                                                     filter.volumeFactor);
            },
            [&](std::uint32_t i) {
                const std::int32_t y = digi.Step(OutputStageStep(stage, mixes[i]));
                samples[i] = ClampSample(static_cast<double>(y));
            },
            [&](std::uint32_t i) { third(start + i); });
    }
    sidState.voices = voices;
    sidState.filter = filter;
    outputStage = stage;
    thirdStage = third;
    digi.StoreBack();
}

}  // namespace

void SidRender(std::int16_t* buffer, std::uint32_t count, SampleMemory memory) {
    NoThirdStage none;
    RenderSamples(buffer, count, memory, none);
}

void SidRenderDecimated(std::int16_t* renderBuffer, std::int16_t* destination, std::uint32_t count,
                        SampleMemory memory) {
    DecimatingStage decimating{renderBuffer, destination, decimator};
    RenderSamples(renderBuffer, count, memory, decimating);
    decimator = decimating.state;
}

std::int16_t ClampSample(double x) {
    if (x > 32767.0) return 32767;
    if (x < -32767.0) return -32767;
    return static_cast<std::int16_t>(x);
}

void Decimate4(std::int16_t* source, std::int16_t* destination, std::uint32_t count) {
    Decimator state = decimator;
    for (std::uint32_t i = 0; i < count; ++i) source[i] = DecimateStep(state, source[i]);
    decimator = state;
    for (std::uint32_t i = 0; i < count; i += 4) destination[i / 4] = source[i];
}

void ResetSidModule() {
    sidState = SidState{};
    registerImage = RegisterImage{};
    savedVolumeHigh = 0;
    mixerSettings = MixerSettings{};
    outputStage = OutputStage{};
    decimator = Decimator{};
    ResetDigiState();
}

}  // namespace chipbox
