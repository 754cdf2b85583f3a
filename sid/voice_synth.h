// SPDX-License-Identifier: GPL-2.0-or-later
// The three SID voices: oscillators, waveforms, noise, sync, ring modulation
// and the linear ADSR envelopes.
#pragma once

#include <array>
#include <cstdint>

#include "sid/sid_state.h"

namespace chipbox {

// The envelope's lowest level in Release: a released voice never falls fully
// silent.
constexpr std::int32_t RELEASE_FLOOR = 0x40000;
constexpr std::int32_t ENVELOPE_FULL = 0xFFFFFF;
constexpr std::uint32_t PHASE_MASK = 0x0FFFFFFF;
constexpr std::uint32_t PHASE_HALF = 0x8000000;

// Fills the attack and decay/release step tables for a rendering rate: the
// level change per rendered sample that crosses full scale in the tabled time.
void FillEnvelopeSteps(std::uint32_t rate);

// Once per render call: increments, pulse thresholds, control copies, routing
// and envelope steps from the register shadow. Oscillators, noise and
// envelopes are left as they are.
void SetupVoices();

struct VoiceSums {
    std::int32_t filtered = 0;  // voices routed to the filter
    std::int32_t direct = 0;    // the others
};

namespace voice_detail {

// The 8-bit noise waveform: shift register bits 22, 20, 16, 13, 11, 7, 4, 2
// as bits 7 down to 0.
inline std::uint8_t NoiseWaveform(std::uint32_t shiftRegister) {
    return static_cast<std::uint8_t>(
        ((shiftRegister >> 15) & 0x80) | ((shiftRegister >> 14) & 0x40) |
        ((shiftRegister >> 11) & 0x20) | ((shiftRegister >> 9) & 0x10) |
        ((shiftRegister >> 8) & 0x08) | ((shiftRegister >> 5) & 0x04) |
        ((shiftRegister >> 3) & 0x02) | ((shiftRegister >> 2) & 0x01));
}

// Clocked on every change of accumulator >> 23: 32 times per period, at most
// once per sample, whether or not noise is selected.
inline void ClockNoise(VoiceSynth& voice) {
    const std::uint32_t clock = voice.accumulator >> 23;
    if (clock == voice.noiseClock) return;
    voice.noiseClock = clock;
    const std::uint32_t feedback = ((voice.noiseRegister >> 22) ^ (voice.noiseRegister >> 17)) & 1;
    voice.noiseRegister = (voice.noiseRegister << 1) | feedback;
    voice.noiseOutput = NoiseWaveform(voice.noiseRegister);
}

inline void AdvancePhase(VoiceSynth& voice) {
    voice.accumulator = (voice.accumulator + voice.increment) & PHASE_MASK;
    if (voice.control & control::TEST) {
        voice.accumulator = 0;
        voice.noiseClock = 0;
        voice.noiseRegister = 0xFFFFFF;
    }
}

// The source wrapped on its latest update: restart with the fraction of a step
// by which it overshot. Comes after the test bit, so a voice with both set can
// leave 0 on a sync.
inline void ApplySync(VoiceSynth& voice, std::uint32_t sourceAccumulator,
                      std::uint32_t sourceIncrement) {
    if ((voice.control & control::SYNC) && sourceAccumulator < sourceIncrement) {
        voice.accumulator = static_cast<std::uint32_t>(std::uint64_t{voice.increment} *
                                                       sourceAccumulator / sourceIncrement);
    }
}

inline bool RingInvertsTriangle(const VoiceSynth& voice, std::uint32_t sourceAccumulator) {
    return (voice.control & control::RING) && sourceAccumulator < PHASE_HALF;
}

// The waveform the voice's oscillator shows now, for the control bits given;
// changes nothing, so it also answers a read of the oscillator.
inline std::uint8_t CurrentWaveform(const VoiceSynth& voice, std::uint8_t controlBits,
                                    bool ringInverts) {
    const std::uint32_t phase = voice.accumulator;
    std::uint8_t triangle = static_cast<std::uint8_t>(phase >> 19);
    if (phase >= PHASE_HALF) triangle ^= 0xFF;
    const auto sawtooth = static_cast<std::uint8_t>(phase >> 20);
    const std::uint8_t pulse = phase > voice.pulseThreshold ? 0x00 : 0xFF;
    if (ringInverts) triangle ^= 0xFF;

    std::uint8_t wave = 0xFF;  // no waveform selected: a constant
    if (controlBits & control::TRIANGLE) wave = triangle;
    if (controlBits & control::SAWTOOTH) wave &= sawtooth;
    if (controlBits & control::PULSE) wave &= pulse;
    if (controlBits & control::NOISE) wave &= voice.noiseOutput;
    return wave;
}

// The noise is clocked before the waveform is taken; nothing else in it
// depends on the noise.
inline std::uint8_t Waveform(VoiceSynth& voice, bool ringInverts) {
    ClockNoise(voice);
    return CurrentWaveform(voice, voice.control, ringInverts);
}

// Linear in every phase. The top sustain level is 0xF00000, not full scale.
inline void AdvanceEnvelope(VoiceSynth& voice) {
    const std::int32_t sustain = voice.sustainLevel << 16;
    switch (voice.envelopePhase) {
        case Attack:
            voice.envelopeLevel += voice.attackStep;
            if (voice.envelopeLevel >= ENVELOPE_FULL) {
                voice.envelopeLevel = ENVELOPE_FULL;
                voice.envelopePhase = Decay;
            }
            break;
        case Decay:
            voice.envelopeLevel -= voice.decayStep;
            if (voice.envelopeLevel <= sustain) {
                voice.envelopeLevel = sustain;
                voice.envelopePhase = Sustain;
            }
            break;
        case Sustain:
            if (voice.envelopeLevel != sustain) voice.envelopePhase = Decay;
            break;
        default:
            voice.envelopeLevel -= voice.releaseStep;
            if (voice.envelopeLevel < RELEASE_FLOOR) voice.envelopeLevel = RELEASE_FLOOR;
            break;
    }
}

// Signed output in -32..31; the shift rounds toward minus infinity.
inline std::int32_t VoiceOutput(std::uint8_t wave, std::int32_t level) {
    return ((static_cast<std::int32_t>(wave) - 128) * level) >> 26;
}

}  // namespace voice_detail

using VoiceSet = std::array<VoiceSynth, 3>;

namespace voice_detail {

// One voice's sample; voice 0's modulation source is voice 2, the others take
// the voice before them, already updated in this sample.
template <int v>
inline void UpdateVoice(VoiceSet& voices, bool voice3On, VoiceSums& sums) {
    if (mixerSettings.voiceMuted[v]) return;
    VoiceSynth& voice = voices[v];
    const VoiceSynth& source = voices[v == 0 ? 2 : v - 1];
    AdvancePhase(voice);
    ApplySync(voice, source.accumulator, source.increment);
    const std::uint8_t wave = Waveform(voice, RingInvertsTriangle(voice, source.accumulator));
    AdvanceEnvelope(voice);
    if (v == 2 && !voice3On) return;
    const std::int32_t output = VoiceOutput(wave, voice.envelopeLevel);
    const std::int32_t routed = -static_cast<std::int32_t>(voice.routedToFilter);
    sums.filtered += output & routed;
    sums.direct += output & ~routed;
}

}  // namespace voice_detail

// Once per rendered sample: advances voices 1, 2, 3 in that order (a muted
// voice stands still and adds nothing) and returns their summed outputs.
// Voice 3 is left out of both sums when switched off, but keeps running.
// Works on the set given, so a render call can keep the voices in locals.
inline VoiceSums UpdateVoices(VoiceSet& voices, bool voice3On) {
    VoiceSums sums;
    voice_detail::UpdateVoice<0>(voices, voice3On, sums);
    voice_detail::UpdateVoice<1>(voices, voice3On, sums);
    voice_detail::UpdateVoice<2>(voices, voice3On, sums);
    return sums;
}

}  // namespace chipbox
