// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/real_sid.h"

#include <algorithm>

#include "sid/chip/ladder_dac.h"
#include "sid/chip/vector_clones.h"

namespace chipbox::sidchip {

namespace {

// The voice whose top bit syncs and ring-modulates each voice.
constexpr int SourceOf(int voice) { return (voice + 2) % 3; }

}  // namespace

RealSid::RealSid(ChipModel model, double clockHz)
    : model_(model),
      tables_(CombinedTablesOf(model)),
      waveformLevels_(WaveformLevelsOf(model)),
      envelopeDac_(EnvelopeDac(model).data()),
      filter_(model, clockHz),
      audio_(clockHz) {
    audio_.SetGain(CHIP_OUTPUT_GAIN);
    audio_.SetSoftCeiling(true);
    waveformLevel_ = waveformLevels_.ofValue;
    Reset();
}

void RealSid::SetClock(double clockHz) {
    Flush();
    filter_.SetClock(clockHz);
    audio_.SetInputRate(clockHz);
}

void RealSid::Reset() {
    for (auto& waveform : waveforms_) waveform.Reset();
    for (auto& envelope : envelopes_) envelope.Reset();
    lastOutput_ = {};
    filter_.Reset();
    audio_.Reset();
    blockUsed_ = 0;
    filtered_ = 0;
}

void RealSid::WriteVoice(int voice, std::uint8_t reg, std::uint8_t value) {
    WaveformGenerator& waveform = waveforms_[static_cast<std::size_t>(voice)];
    EnvelopeGenerator& envelope = envelopes_[static_cast<std::size_t>(voice)];
    switch (reg) {
        case 0: waveform.WriteFrequencyLow(value); break;
        case 1: waveform.WriteFrequencyHigh(value); break;
        case 2: waveform.WritePulseLow(value); break;
        case 3: waveform.WritePulseHigh(value); break;
        case 4:
            waveform.WriteControl(value);
            envelope.WriteControl(value);
            break;
        case 5: envelope.WriteAttackDecay(value); break;
        default: envelope.WriteSustainRelease(value); break;
    }
}

void RealSid::Write(std::uint8_t reg, std::uint8_t value) {
    reg &= 0x1F;
    if (reg < 21) {
        WriteVoice(reg / 7, reg % 7, value);
        return;
    }
    FilterPending();
    switch (reg) {
        case 0x15: filter_.WriteCutoffLow(value); break;
        case 0x16: filter_.WriteCutoffHigh(value); break;
        case 0x17: filter_.WriteResonanceRouting(value); break;
        case 0x18: filter_.WriteModeVolume(value); break;
        default: break;  // read-only registers
    }
}

// Twice the envelope DAC's value, or 0 for a muted voice: what the voice's
// waveform level is multiplied by. Doubling is exact in floating point, so
// where it is applied does not change a bit.
float RealSid::VoiceGain(std::size_t voice) const {
    return muted_[voice] ? 0.0f : 2.0f * envelopeDac_[envelopes_[voice].Output()];
}

void RealSid::ClockEnvelopes(std::uint32_t count, StretchGains& gains) {
    for (std::size_t v = 0; v < 3; ++v) ClockEnvelope(v, count, gains);
}

// A voice's envelope through `count` cycles, from one step to the next; the
// level a cycle sounds at is the one after that cycle's step.
void RealSid::ClockEnvelope(std::size_t voice, std::uint32_t count, StretchGains& gains) {
    EnvelopeGenerator& envelope = envelopes_[voice];
    float* row = gains.perCycle[voice].data();
    float gain = VoiceGain(voice);
    gains.steady[voice] = muted_[voice] || envelope.CyclesUntilOutputMayChange() > count;
    if (gains.steady[voice]) {
        row[0] = gain;
        envelope.Clock(count);
        return;
    }
    std::uint32_t k = 0;
    while (k < count) {  // each round moves k on by at least one cycle
        const std::uint32_t change = envelope.CyclesUntilOutputMayChange();
        if (change > count - k) {
            std::fill(row + k, row + count, gain);
            envelope.Clock(count - k);
            return;
        }
        std::fill(row + k, row + k + change - 1, gain);
        envelope.Clock(change - 1);
        envelope.Clock();
        k += change - 1;
        gain = VoiceGain(voice);
        row[k++] = gain;
    }
}

// One cycle of the three oscillators with sync: all move on, then those
// whose source's top bit rose start again, then each puts out its value.
void RealSid::StepVoices(Outputs& outputs, std::uint32_t k) {
    const std::array<bool, 3> rose = {waveforms_[0].Advance(), waveforms_[1].Advance(),
                                      waveforms_[2].Advance()};
    for (int voice = 0; voice < 3; ++voice)
        waveforms_[static_cast<std::size_t>(voice)].SyncIfRising(
            rose[static_cast<std::size_t>(SourceOf(voice))]);
    for (int voice = 0; voice < 3; ++voice) {
        const auto v = static_cast<std::size_t>(voice);
        outputs[v][k] =
            waveforms_[v].Output(waveforms_[static_cast<std::size_t>(SourceOf(voice))], tables_);
    }
}

// `count` cycles, no more than the block has room for.
void RealSid::RenderCycles(std::uint32_t count, const StretchGains& gains) {
    Outputs outputs;
    DacLevels dacLevels;
    ThroughDac throughDac{};
    const bool synced = std::any_of(waveforms_.begin(), waveforms_.end(),
                                    [](const WaveformGenerator& w) { return w.control() & SYNC; });
    std::array<int, 3> order{};
    if (!synced)
        StepVoicesApart(outputs, dacLevels, throughDac, count);
    else if (SyncOrder(order))
        StepVoicesInOrder(outputs, count, order);
    else
        StepVoicesAllRound(outputs, count);
    Sound(outputs, dacLevels, throughDac, count, gains);
}

// An order in which each synced voice comes after the voice that syncs it;
// none when all three sync in a ring.
bool RealSid::SyncOrder(std::array<int, 3>& order) const {
    std::array<bool, 3> placed{};
    int count = 0;
    for (int round = 0; round < 3; ++round) {
        for (int voice = 0; voice < 3; ++voice) {
            const auto v = static_cast<std::size_t>(voice);
            const bool waits = (waveforms_[v].control() & SYNC) &&
                               !placed[static_cast<std::size_t>(SourceOf(voice))];
            if (placed[v] || waits) continue;
            placed[v] = true;
            order[static_cast<std::size_t>(count++)] = voice;
        }
    }
    return count == 3;
}

// With sync, the voices' accumulators are worked out in that order, each
// synced one from its source's, and then their values.
void RealSid::StepVoicesInOrder(Outputs& outputs, std::uint32_t count,
                                const std::array<int, 3>& order) {
    Accumulators accumulators;
    Rises rose;
    for (const int voice : order) {
        const auto v = static_cast<std::size_t>(voice);
        const auto source = static_cast<std::size_t>(SourceOf(voice));
        waveforms_[v].AccumulateRun(
            count, (waveforms_[v].control() & SYNC) ? rose[source].data() : nullptr,
            accumulators[v].data(), rose[v].data());
    }
    OutputVoices(outputs, count, accumulators, rose);
}

// All three synced in a ring: their accumulators go cycle by cycle together.
void RealSid::StepVoicesAllRound(Outputs& outputs, std::uint32_t count) {
    Accumulators accumulators;
    Rises rose;
    WaveformGenerator::AccumulateAllRound(
        waveforms_, count, {accumulators[0].data(), accumulators[1].data(), accumulators[2].data()},
        {rose[0].data(), rose[1].data(), rose[2].data()});
    OutputVoices(outputs, count, accumulators, rose);
}

// The second pass of a synced run: each voice's values from the
// accumulators worked out.
void RealSid::OutputVoices(Outputs& outputs, std::uint32_t count, const Accumulators& accumulators,
                           const Rises& rose) {
    for (int voice = 0; voice < 3; ++voice) {
        const auto v = static_cast<std::size_t>(voice);
        waveforms_[v].OutputRun(count, accumulators[v].data(), rose[v].data(),
                                accumulators[static_cast<std::size_t>(SourceOf(voice))].data(),
                                outputs[v].data(), tables_);
    }
}

// Without sync the voices do not touch each other's accumulators, so each
// runs through the stretch on its own, ring modulation reading its source's
// top bits worked out ahead. The combined waveforms go straight through
// the DAC into `dacLevels`.
void RealSid::StepVoicesApart(Outputs& outputs, DacLevels& dacLevels, ThroughDac& throughDac,
                              std::uint32_t count) {
    static constexpr std::array<std::uint8_t, BLOCK> NO_TOPS{};
    std::array<std::array<std::uint8_t, BLOCK>, 3> tops;
    std::array<const std::uint8_t*, 3> sourceTops{};
    for (int voice = 0; voice < 3; ++voice) {
        const auto v = static_cast<std::size_t>(voice);
        const auto source = static_cast<std::size_t>(SourceOf(voice));
        // Only ring modulation reads the source's top bits, and before
        // the source moves on.
        sourceTops[v] = NO_TOPS.data();
        if (waveforms_[v].control() & RING) {
            waveforms_[source].TopBitsAhead(count, tops[source].data());
            sourceTops[v] = tops[source].data();
        }
    }
    for (std::size_t v = 0; v < 3; ++v) {
        throughDac[v] = waveforms_[v].CombinesWaveforms();
        if (throughDac[v])
            waveforms_[v].RenderCombinedLevels(count, sourceTops[v], waveformLevels_, tables_,
                                               dacLevels[v].data());
        else
            waveforms_[v].RenderRun(count, sourceTops[v], outputs[v].data(), tables_);
    }
}

// A voice's values through its DAC at its gains.
CHIPBOX_INLINE_INTO_CLONES void RealSid::VoiceLevels(std::size_t voice, const std::uint16_t* output,
                                                     std::uint32_t count,
                                                     const StretchGains& gains,
                                                     float* level) const {
    const float* gain = gains.perCycle[voice].data();
    const bool pulse = waveforms_[voice].control() >> 4 == PULSE;  // only its two ends
    const float high = waveformLevel_[0xFFF], low = waveformLevel_[0];
    if (!gains.steady[voice]) {
        if (pulse)
            for (std::uint32_t k = 0; k < count; ++k) level[k] = (output[k] ? high : low) * gain[k];
        else
            for (std::uint32_t k = 0; k < count; ++k)
                level[k] = waveformLevel_[output[k]] * gain[k];
    } else if (gain[0] == 0.0f) {  // silent or muted: the same zeros without the look-ups
        std::fill(level, level + count, 0.0f);
    } else if (pulse) {
        const float highAtGain = high * gain[0], lowAtGain = low * gain[0];
        for (std::uint32_t k = 0; k < count; ++k) level[k] = output[k] ? highAtGain : lowAtGain;
    } else {
        for (std::uint32_t k = 0; k < count; ++k) level[k] = waveformLevel_[output[k]] * gain[0];
    }
}

// A voice's levels, already through the DAC (`dacLevel`), at its gains:
// the same products as VoiceLevels makes.
CHIPBOX_INLINE_INTO_CLONES void RealSid::GainLevels(std::size_t voice, const float* dacLevel,
                                                    std::uint32_t count,
                                                    const StretchGains& gains,
                                                    float* level) const {
    const float* gain = gains.perCycle[voice].data();
    if (!gains.steady[voice]) {
        for (std::uint32_t k = 0; k < count; ++k) level[k] = dacLevel[k] * gain[k];
    } else if (gain[0] == 0.0f) {
        std::fill(level, level + count, 0.0f);
    } else {
        const float steady = gain[0];
        for (std::uint32_t k = 0; k < count; ++k) level[k] = dacLevel[k] * steady;
    }
}

// The voices' values through their DACs at their gains, mixed for the
// filter as its registers stand; a filter register write runs the filter
// through them first. The levels are made in an array of Sound's own,
// which the compiler knows nothing else can touch.
CHIPBOX_VECTOR_CLONES void RealSid::Sound(const Outputs& outputs, const DacLevels& dacLevels,
                                          const ThroughDac& throughDac, std::uint32_t count,
                                          const StretchGains& gains) {
    std::array<std::array<float, BLOCK>, 3> levels;
    for (std::size_t v = 0; v < 3; ++v) {
        if (throughDac[v]) {
            lastOutput_[v] = waveforms_[v].lastValue();
            GainLevels(v, dacLevels[v].data(), count, gains, levels[v].data());
        } else {
            lastOutput_[v] = outputs[v][count - 1];
            VoiceLevels(v, outputs[v].data(), count, gains, levels[v].data());
        }
    }
    filter_.Mix(levels[0].data(), levels[1].data(), levels[2].data(), direct_.data() + blockUsed_,
                input_.data() + blockUsed_, count);
    blockUsed_ += count;
    if (blockUsed_ == BLOCK) Flush();
}

void RealSid::FilterPending() {
    if (filtered_ == blockUsed_) return;
    filter_.ClockMixed(direct_.data() + filtered_, input_.data() + filtered_,
                       block_.data() + filtered_, blockUsed_ - filtered_);
    filtered_ = blockUsed_;
}

void RealSid::Flush() {
    FilterPending();
    if (blockUsed_ == 0) return;
    if (sink_)
        sink_->TakeBlock(block_.data(), blockUsed_);
    else
        audio_.Push(block_.data(), blockUsed_);
    blockUsed_ = 0;
    filtered_ = 0;
}

// A cycle clocks the envelopes and the oscillators, and then the voices
// sound with both: the envelope level a cycle's sound gets is the one
// after that cycle's envelope step.
void RealSid::ClockEachCycle(std::uint32_t cycles) {
    Outputs outputs;
    StretchGains gains;
    gains.steady = {true, true, true};
    const DacLevels unused{};  // no voice goes through the DAC ahead here
    for (std::uint32_t i = 0; i < cycles; ++i) {
        for (auto& envelope : envelopes_) envelope.Clock();
        StepVoices(outputs, 0);
        for (std::size_t v = 0; v < 3; ++v) gains.perCycle[v][0] = VoiceGain(v);
        Sound(outputs, unused, ThroughDac{}, 1, gains);
    }
}

// Stretches up to the end of the block being filled.
void RealSid::Clock(std::uint32_t cycles) {
    while (cycles > 0) {
        const auto count =
            static_cast<std::uint32_t>(std::min<std::size_t>(cycles, BLOCK - blockUsed_));
        StretchGains gains;
        ClockEnvelopes(count, gains);
        RenderCycles(count, gains);
        cycles -= count;
    }
}

}  // namespace chipbox::sidchip
