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

// The per-call frame of rendering: per-call setup, then per chunk the voice
// sums and, per sample, filter, volume, output stage and digi value. Each
// finished sample goes to store(index, sample).
template <class Store>
void RenderSamples(std::uint32_t count, SampleMemory memory, Store store) {
    SetupVoices();
    SetupFilter();
    // Locals for the loop: stores into them cannot alias the output.
    VoiceSet voices = sidState.voices;
    FilterSynth filter = sidState.filter;
    OutputStage stage = outputStage;
    DigiCursor digi(memory);
    const bool voice3On = filter.voice3On != 0;
    VoiceChunk chunk;
    for (std::uint32_t start = 0; start < count; start += CHUNK_SAMPLES) {
        const std::uint32_t n = std::min(CHUNK_SAMPLES, count - start);
        RenderVoiceChunk(voices, voice3On, n, chunk);
        for (std::uint32_t i = 0; i < n; ++i) {
            const double filterOutput = FilterStep(filter, chunk.filtered[i]);
            const auto x =
                static_cast<std::int32_t>((filterOutput + chunk.direct[i]) * filter.volumeFactor);
            const std::int32_t y = digi.Step(OutputStageStep(stage, x));
            store(start + i, ClampSample(static_cast<double>(y)));
        }
    }
    sidState.voices = voices;
    sidState.filter = filter;
    outputStage = stage;
    digi.StoreBack();
}

}  // namespace

void SidRender(std::int16_t* buffer, std::uint32_t count, SampleMemory memory) {
    RenderSamples(count, memory,
                  [buffer](std::uint32_t i, std::int16_t sample) { buffer[i] = sample; });
}

void SidRenderDecimated(std::int16_t* renderBuffer, std::int16_t* destination, std::uint32_t count,
                        SampleMemory memory) {
    Decimator state = decimator;
    RenderSamples(count, memory,
                  [&state, renderBuffer, destination](std::uint32_t i, std::int16_t sample) {
                      const std::int16_t filtered = DecimateStep(state, sample);
                      renderBuffer[i] = filtered;
                      if ((i & 3) == 0) destination[i >> 2] = filtered;
                  });
    decimator = state;
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
