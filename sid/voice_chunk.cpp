// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/voice_chunk.h"

#include <algorithm>
#include <utility>

namespace chipbox {

namespace {

using namespace voice_detail;

constexpr int SourceOf(int v) { return v == 0 ? 2 : v - 1; }

// The noise register is clocked on every change of accumulator >> 23.
constexpr std::uint32_t NOISE_CLOCK_SHIFT = 23;
constexpr std::uint32_t NOISE_CLOCK_SPACING = 1u << NOISE_CLOCK_SHIFT;

// ---------------------------------------------------------------------------
// The plain paths: every sample updates the voice as UpdateVoices does.

// A voice that reads no other, compiled for one waveform selection (bits 4-7
// of the control register) so that unselected waveforms cost nothing. The
// noise register is clocked whatever is selected.
template <std::uint8_t waveformBits>
void RenderVoiceAlone(VoiceSynth& voice, std::uint32_t count, std::int32_t* sums,
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
        sums[i] += VoiceOutput(wave, local.envelopeLevel);
    }
    voice = local;
}

// A voice with sync or ring modulation: it reads its source's accumulator per
// sample from the source's recorded history.
void RenderVoiceLinked(VoiceSynth& voice, std::uint32_t count, std::int32_t* sums,
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
        sums[i] += VoiceOutput(wave, local.envelopeLevel);
    }
    voice = local;
}

// ---------------------------------------------------------------------------
// Runs: stretches of samples in which every step of the voice is a closed
// form of the sample's position in the stretch, so that a loop over it has no
// branch and no state carried from one sample to the next.

// A stretch in which the envelope keeps its phase and moves by the same step
// every sample, clamping nowhere: after k of its samples the level is the
// starting level + k * step.
struct EnvelopeRun {
    std::uint32_t length;
    std::int32_t step;
};

// The longest such stretch from the voice's present state, at most `limit`
// samples; 0 when the next sample changes the phase or clamps the level.
EnvelopeRun LinearEnvelopeRun(const VoiceSynth& voice, std::uint32_t limit) {
    const std::int64_t level = voice.envelopeLevel;
    const std::int64_t sustain = voice.sustainLevel << 16;
    std::int64_t room;  // how far the level can move before a sample changes the phase or clamps
    std::int32_t size;  // and by how much it moves per sample
    std::int32_t sign;
    switch (voice.envelopePhase) {
        case Attack:
            size = voice.attackStep;
            room = ENVELOPE_FULL - 1 - level;
            sign = 1;
            break;
        case Decay:
            size = voice.decayStep;
            room = level - sustain - 1;
            sign = -1;
            break;
        case Sustain: return {level == sustain ? limit : 0, 0};
        default:
            size = voice.releaseStep;
            if (size >= 0 && level == RELEASE_FLOOR) return {limit, 0};  // every step clamps back
            room = level - RELEASE_FLOOR;
            sign = -1;
            break;
    }
    if (room < 0 || size < 0) return {0, 0};
    const std::int64_t length = size == 0 ? limit : std::min<std::int64_t>(room / size, limit);
    return {static_cast<std::uint32_t>(length), sign * size};
}

// The noise register after `clocks` (0 to NOISE_BLOCK) clocks, in one step.
// Each clock shifts in bit 22 XOR bit 17; for the first 18 clocks both bits
// still come from the register as it was: clock t (from 0) shifts in bit
// 22 - t XOR bit 17 - t.
constexpr std::uint32_t NOISE_BLOCK = 18;

inline std::uint32_t NoiseAfter(std::uint32_t noiseRegister, std::uint32_t clocks) {
    const std::uint32_t feedback = (noiseRegister >> 5) ^ noiseRegister;  // clock t's in bit 17 - t
    const std::uint32_t lowMask = (1u << clocks) - 1;
    return (noiseRegister << clocks) | ((feedback >> (NOISE_BLOCK - clocks)) & lowMask);
}

// A run of a voice whose accumulator moves by `increment` per sample, below
// the spacing of the noise clocks: it crosses at most one multiple of 2^23 per
// sample, so the noise clocks up to a sample are the multiples crossed,
// counted from the run's start. With the noise clock in step with the
// accumulator at the start, that count is exact. `ringSource` holds the ring
// modulator's accumulator per sample (ring is set only when the triangle is
// selected).
template <std::uint8_t waveformBits, bool ring>
void RenderRun(VoiceSynth& voice, EnvelopeRun run, std::uint32_t increment, std::int32_t* sums,
               std::uint32_t* accumulators, const std::uint32_t* ringSource) {
    const std::uint32_t length = run.length;
    const std::uint32_t start = voice.accumulator;
    // Accumulators never exceed PHASE_MASK: a threshold above it is the same
    // as PHASE_MASK, and the comparison can be signed.
    const auto threshold =
        static_cast<std::int32_t>(std::min<std::uint32_t>(voice.pulseThreshold, PHASE_MASK));
    const std::int32_t level = voice.envelopeLevel;
    const std::int32_t step = run.step;

    // The noise register's clocks over the run, and with noise selected the
    // waveform after each number of clocks.
    const std::uint32_t clockOffset = start & (NOISE_CLOCK_SPACING - 1);
    const auto clocks = static_cast<std::uint32_t>(
        (std::uint64_t{clockOffset} + std::uint64_t{length} * increment) >> NOISE_CLOCK_SHIFT);
    std::array<std::uint8_t, CHUNK_SAMPLES + 1> noiseValues;
    std::uint32_t noiseRegister = voice.noiseRegister;
    if constexpr ((waveformBits & control::NOISE) != 0) {
        noiseValues[0] = voice.noiseOutput;
        for (std::uint32_t done = 0; done < clocks; done += NOISE_BLOCK) {
            const std::uint32_t block = std::min(NOISE_BLOCK, clocks - done);
            for (std::uint32_t t = 1; t <= block; ++t)
                noiseValues[done + t] = NoiseWaveform(NoiseAfter(noiseRegister, t));
            noiseRegister = NoiseAfter(noiseRegister, block);
        }
    } else {
        for (std::uint32_t done = 0; done < clocks; done += NOISE_BLOCK)
            noiseRegister = NoiseAfter(noiseRegister, std::min(NOISE_BLOCK, clocks - done));
    }

    // Sums of increments and envelope steps run unmasked: the accumulator is
    // the low 28 bits of its sum, and the level stays in range over the run.
    std::uint32_t position = start;
    std::int32_t levelNow = level;
    std::uint64_t noisePosition = clockOffset;
    for (std::uint32_t i = 0; i < length; ++i) {
        position += increment;
        levelNow += step;
        const std::uint32_t phase = position & PHASE_MASK;
        accumulators[i] = phase;
        std::uint32_t wave = 0xFF;
        if constexpr ((waveformBits & control::TRIANGLE) != 0) {
            // Falling over the second half: bit 27 set inverts the rising ramp.
            wave = ((phase >> 19) ^ (0u - (phase >> 27))) & 0xFF;
            if constexpr (ring) wave ^= (ringSource[i] >> 27) == 0 ? 0xFF : 0x00;
        }
        if constexpr ((waveformBits & control::SAWTOOTH) != 0) wave &= (phase >> 20) & 0xFF;
        if constexpr ((waveformBits & control::PULSE) != 0)
            wave &= static_cast<std::int32_t>(phase) > threshold ? 0x00 : 0xFF;
        if constexpr ((waveformBits & control::NOISE) != 0) {
            noisePosition += increment;
            wave &= noiseValues[noisePosition >> NOISE_CLOCK_SHIFT];
        }
        sums[i] += ((static_cast<std::int32_t>(wave) - 128) * levelNow) >> 26;
    }

    voice.accumulator = (start + length * increment) & PHASE_MASK;
    voice.noiseClock = voice.accumulator >> NOISE_CLOCK_SHIFT;
    if (clocks > 0) {
        voice.noiseRegister = noiseRegister;
        voice.noiseOutput = NoiseWaveform(noiseRegister);
    }
    voice.envelopeLevel = level + static_cast<std::int32_t>(length) * step;
}

// A voice by runs, when its accumulator moves by less than 2^23 per sample.
// A run ends before a sample that changes the envelope's phase or clamps its
// level, and before a sample at which the sync source has just wrapped; such
// a sample (and one that finds the noise clock out of step with the
// accumulator) goes the plain way. `source` is the modulation source's
// accumulator per sample, for a voice with sync or ring modulation only.
template <std::uint8_t waveformBits, bool ring>
void RenderVoiceByRuns(VoiceSynth& voice, std::uint32_t count, std::int32_t* sums,
                       std::uint32_t* accumulators, const std::uint32_t* source,
                       std::uint32_t sourceIncrement) {
    const bool test = (voice.control & control::TEST) != 0;
    const bool sync = (voice.control & control::SYNC) != 0;
    // The test bit holds the accumulator at 0: a run of increment 0.
    const std::uint32_t increment = test ? 0 : voice.increment;
    std::uint32_t nextSync = 0;
    std::uint32_t i = 0;
    while (i < count) {
        if (sync && nextSync <= i) {
            nextSync = i;
            while (nextSync < count && source[nextSync] >= sourceIncrement) ++nextSync;
        }
        if (test) {
            // What every sample with the test bit leaves; the noise is not
            // clocked, as the clock and the accumulator are both 0.
            voice.accumulator = 0;
            voice.noiseClock = 0;
            voice.noiseRegister = 0xFFFFFF;
        }
        const std::uint32_t limit = (sync ? nextSync : count) - i;
        const bool inStep = voice.noiseClock == voice.accumulator >> NOISE_CLOCK_SHIFT;
        const EnvelopeRun run =
            inStep && limit > 0 ? LinearEnvelopeRun(voice, limit) : EnvelopeRun{0, 0};
        if (run.length == 0) {
            if (source)
                RenderVoiceLinked(voice, 1, sums + i, source + i, sourceIncrement,
                                  accumulators + i);
            else
                RenderVoiceAlone<waveformBits>(voice, 1, sums + i, accumulators + i);
            ++i;
            continue;
        }
        RenderRun<waveformBits, ring>(voice, run, increment, sums + i, accumulators + i,
                                      ring ? source + i : nullptr);
        i += run.length;
    }
}

// ---------------------------------------------------------------------------
// Renderer tables, indexed by the waveform selection (control >> 4).

using AloneRenderer = void (*)(VoiceSynth&, std::uint32_t, std::int32_t*, std::uint32_t*);
using RunRenderer = void (*)(VoiceSynth&, std::uint32_t, std::int32_t*, std::uint32_t*,
                             const std::uint32_t*, std::uint32_t);

template <std::size_t... selections>
constexpr std::array<AloneRenderer, sizeof...(selections)> AloneRenderers(
    std::index_sequence<selections...>) {
    return {&RenderVoiceAlone<static_cast<std::uint8_t>(selections << 4)>...};
}

template <bool ring, std::size_t... selections>
constexpr std::array<RunRenderer, sizeof...(selections)> RunRenderers(
    std::index_sequence<selections...>) {
    return {&RenderVoiceByRuns<static_cast<std::uint8_t>(selections << 4), ring>...};
}

constexpr auto ALONE_RENDERERS = AloneRenderers(std::make_index_sequence<16>());
constexpr auto RUN_RENDERERS = RunRenderers<false>(std::make_index_sequence<16>());
constexpr auto RING_RUN_RENDERERS = RunRenderers<true>(std::make_index_sequence<16>());

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
    if (!voice3On) std::fill_n(chunk.discarded.begin(), count, 0);
    for (const int v : order) {
        VoiceSynth& voice = voices[v];
        std::uint32_t* history = chunk.accumulators[v].data();
        history[0] = voice.accumulator;
        if (muted[v]) {  // frozen: a voice reading it sees the same value throughout
            std::fill_n(history + 1, count, voice.accumulator);
            continue;
        }
        // Voice 3 switched off still runs; its output goes nowhere.
        std::int32_t* sums = v == 2 && !voice3On    ? chunk.discarded.data()
                             : voice.routedToFilter ? chunk.filtered.data()
                                                    : chunk.direct.data();
        const int source = SourceOf(v);
        const std::uint32_t* sourceHistory =
            linked[v] ? chunk.accumulators[source].data() + (v == 0 ? 0 : 1) : nullptr;
        const std::uint32_t sourceIncrement = voices[source].increment;
        const std::uint8_t controlBits = voice.control;
        const std::size_t selection = controlBits >> 4;
        const std::uint32_t increment = (controlBits & control::TEST) ? 0 : voice.increment;
        const bool ring =
            linked[v] && (controlBits & control::RING) && (controlBits & control::TRIANGLE);
        if (increment < NOISE_CLOCK_SPACING)
            (ring ? RING_RUN_RENDERERS : RUN_RENDERERS)[selection](voice, count, sums, history + 1,
                                                                   sourceHistory, sourceIncrement);
        else if (linked[v])
            RenderVoiceLinked(voice, count, sums, sourceHistory, sourceIncrement, history + 1);
        else
            ALONE_RENDERERS[selection](voice, count, sums, history + 1);
    }
}

}  // namespace chipbox
