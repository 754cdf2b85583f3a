// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/voice_chunk.h"

#include <algorithm>
#include <utility>

namespace chipbox {

namespace {

using namespace voice_detail;

constexpr int SourceOf(int v) { return v == 0 ? 2 : v - 1; }

// The output of one voice for one sample, added to its sum.
inline void AddOutput(std::int32_t* sums, std::uint32_t i, bool audible, std::uint8_t wave,
                      std::int32_t level) {
    if (audible) sums[i] += VoiceOutput(wave, level);
}

// A voice that reads no other, compiled for one waveform selection (bits 4-7
// of the control register) so that unselected waveforms cost nothing. The
// noise register is clocked whatever is selected.
template <std::uint8_t waveformBits>
void RenderVoiceAlone(VoiceSynth& voice, std::uint32_t count, std::int32_t* sums, bool audible,
                      std::uint32_t* accumulators) {
    VoiceSynth local = voice;
    for (std::uint32_t i = 0; i < count; ++i) {
        AdvancePhase(local);
        const std::uint32_t phase = local.accumulator;
        accumulators[i] = phase;
        ClockNoise(local);
        std::uint8_t wave = 0xFF;
        if constexpr (waveformBits & control::TRIANGLE) {
            wave = static_cast<std::uint8_t>(phase >> 19);
            if (phase >= PHASE_HALF) wave ^= 0xFF;
        }
        if constexpr (waveformBits & control::SAWTOOTH)
            wave &= static_cast<std::uint8_t>(phase >> 20);
        if constexpr (waveformBits & control::PULSE)
            wave &= phase > local.pulseThreshold ? 0x00 : 0xFF;
        if constexpr (waveformBits & control::NOISE) wave &= local.noiseOutput;
        AdvanceEnvelope(local);
        AddOutput(sums, i, audible, wave, local.envelopeLevel);
    }
    voice = local;
}

using AloneRenderer = void (*)(VoiceSynth&, std::uint32_t, std::int32_t*, bool, std::uint32_t*);

template <std::size_t... selections>
constexpr std::array<AloneRenderer, sizeof...(selections)> AloneRenderers(
    std::index_sequence<selections...>) {
    return {&RenderVoiceAlone<static_cast<std::uint8_t>(selections << 4)>...};
}

constexpr auto ALONE_RENDERERS = AloneRenderers(std::make_index_sequence<16>());

// A voice with sync or ring modulation: it reads its source's accumulator per
// sample from the source's recorded history.
void RenderVoiceLinked(VoiceSynth& voice, std::uint32_t count, std::int32_t* sums, bool audible,
                       const std::uint32_t* sourceAccumulators, std::uint32_t sourceIncrement,
                       std::uint32_t* accumulators) {
    VoiceSynth local = voice;
    for (std::uint32_t i = 0; i < count; ++i) {
        AdvancePhase(local);
        ApplySync(local, sourceAccumulators[i], sourceIncrement);
        const std::uint8_t wave =
            Waveform(local, RingInvertsTriangle(local, sourceAccumulators[i]));
        AdvanceEnvelope(local);
        accumulators[i] = local.accumulator;
        AddOutput(sums, i, audible, wave, local.envelopeLevel);
    }
    voice = local;
}

// Voices 2 and 3 read their source as already updated in the same sample;
// voice 1 reads voice 3 as it was after the previous sample. So each linked
// voice's source goes first; with all three linked there is no such order.
bool ChooseOrder(const std::array<bool, 3>& linked, std::array<int, 3>& order) {
    if (!linked[0])
        order = {0, 1, 2};
    else if (!linked[1])
        order = {1, 2, 0};
    else if (!linked[2])
        order = {2, 0, 1};
    else
        return false;
    return true;
}

void RenderSampleBySample(VoiceSet& voices, bool voice3On, std::uint32_t count, VoiceChunk& chunk) {
    for (std::uint32_t i = 0; i < count; ++i) {
        const VoiceSums sums = UpdateVoices(voices, voice3On);
        chunk.filtered[i] = sums.filtered;
        chunk.direct[i] = sums.direct;
    }
}

}  // namespace

void RenderVoiceChunk(VoiceSet& voices, bool voice3On, std::uint32_t count, VoiceChunk& chunk) {
    std::array<bool, 3> muted, linked;
    for (int v = 0; v < 3; ++v) {
        muted[v] = mixerSettings.voiceMuted[v] != 0;
        linked[v] = !muted[v] && (voices[v].control & (control::SYNC | control::RING));
    }
    std::array<int, 3> order;
    if (!ChooseOrder(linked, order)) {
        RenderSampleBySample(voices, voice3On, count, chunk);
        return;
    }
    std::fill_n(chunk.filtered.begin(), count, 0);
    std::fill_n(chunk.direct.begin(), count, 0);
    for (const int v : order) {
        VoiceSynth& voice = voices[v];
        std::uint32_t* history = chunk.accumulators[v].data();
        history[0] = voice.accumulator;
        if (muted[v]) {  // frozen: a voice reading it sees the same value throughout
            std::fill_n(history + 1, count, voice.accumulator);
            continue;
        }
        std::int32_t* sums = voice.routedToFilter ? chunk.filtered.data() : chunk.direct.data();
        const bool audible = v != 2 || voice3On;
        if (linked[v]) {
            const int source = SourceOf(v);
            const std::uint32_t* sourceHistory =
                chunk.accumulators[source].data() + (v == 0 ? 0 : 1);
            RenderVoiceLinked(voice, count, sums, audible, sourceHistory, voices[source].increment,
                              history + 1);
        } else {
            ALONE_RENDERERS[voice.control >> 4](voice, count, sums, audible, history + 1);
        }
    }
}

}  // namespace chipbox
