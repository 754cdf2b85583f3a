// SPDX-License-Identifier: GPL-2.0-or-later
// The software SID's state: the register shadow that writes land in, and the
// per-voice and filter state that rendering derives from it.
//
// Threads: SidState belongs to the thread that runs the tune's code and the
// renderer, one after the other (in HardSID mode writes never reach it).
// RegisterImage, savedVolumeHigh and MixerSettings are also touched by the
// HardSID sample thread and the play timer while the window's thread mutes
// voices: they are relaxed atomics.
#pragma once

#include <array>
#include <cstdint>

#include "sid/relaxed_atomic.h"

namespace chipbox {

enum EnvelopePhase : std::uint8_t { Attack = 0, Decay = 1, Sustain = 2, Release = 3 };

// Control register bits (registers 4, 11, 18).
namespace control {
constexpr std::uint8_t GATE = 0x01;
constexpr std::uint8_t SYNC = 0x02;
constexpr std::uint8_t RING = 0x04;
constexpr std::uint8_t TEST = 0x08;
constexpr std::uint8_t TRIANGLE = 0x10;
constexpr std::uint8_t SAWTOOTH = 0x20;
constexpr std::uint8_t PULSE = 0x40;
constexpr std::uint8_t NOISE = 0x80;
}  // namespace control

struct VoiceRegisters {
    std::uint16_t frequency = 0;
    std::uint16_t pulseWidth = 0;  // high byte stored whole; synthesis uses 12 bits
    std::uint8_t control = 0;
    std::uint8_t attackDecay = 0;
    std::uint8_t sustainRelease = 0;
};

struct FilterRegisters {
    std::uint8_t cutoffLow = 0;
    std::uint8_t cutoffHigh = 0;
    std::uint8_t resonanceRouting = 0;  // resonance bits 4-7, voices 1-3 routed by bits 0-2
    std::uint8_t modeVolume = 0;        // LP bit 4, BP bit 5, HP bit 6, voice 3 off bit 7
};

// One voice as rendering sees it. The derived fields are refreshed from the
// register shadow at the start of every render call; the oscillator, noise and
// envelope carry over between calls.
struct VoiceSynth {
    std::uint32_t increment = 0;       // accumulator step per rendered sample
    std::uint32_t pulseThreshold = 0;  // on the 28-bit phase scale
    std::uint8_t control = 0;          // control register at the start of the call
    std::uint8_t routedToFilter = 0;
    std::int32_t attackStep = 0;  // envelope change per rendered sample, 24-bit scale
    std::int32_t decayStep = 0;
    std::int32_t sustainLevel = 0;  // sustain nibble x 16
    std::int32_t releaseStep = 0;
    std::uint32_t accumulator = 0;   // 28-bit phase
    std::int32_t envelopeLevel = 0;  // 0..0xFFFFFF
    std::uint8_t envelopePhase = Attack;
    std::uint32_t noiseClock = 0;     // accumulator >> 23 at the last noise clock
    std::uint32_t noiseRegister = 0;  // 32 bits, never masked
    std::uint8_t noiseOutput = 0;
};

struct FilterSynth {
    double cutoff = 0.0;  // coefficient f, 0..1
    std::uint8_t lowPassOn = 0;
    std::uint8_t bandPassOn = 0;
    std::uint8_t highPassOn = 0;
    std::uint8_t voice3On = 0;
    double volumeFactor = 0.0;  // master volume x 16
    double damping = 0.0;       // q, 1.2 down to 0.6
    double high = 0.0;
    double band = 0.0;
    double low = 0.0;
    double cutoffScale = 0.0;  // CUTOFF_BASE / rate
};

struct SidState {
    std::array<VoiceRegisters, 3> voiceRegisters{};
    FilterRegisters filterRegisters{};
    std::uint32_t sampleRate = 0;
    std::uint32_t frequencyFactor = 0;
    std::array<std::int32_t, 16> attackSteps{};
    std::array<std::int32_t, 16> decayReleaseSteps{};
    std::array<VoiceSynth, 3> voices{};
    FilterSynth filter{};
};

extern SidState sidState;

// The last value passed to SidWrite per register number, before any masking,
// in both modes. Never cleared.
struct RegisterImage {
    std::array<RelaxedAtomic<std::uint8_t>, 32> values{};
};

extern RegisterImage registerImage;

// Bits 4-7 of the last register-24 write while HardSID output was on.
extern RelaxedAtomic<std::uint8_t> savedVolumeHigh;

// The mixer's settings, read by the renderer and the sample thread.
struct MixerSettings {
    std::array<RelaxedAtomic<std::uint8_t>, 3> voiceMuted{};
    std::array<RelaxedAtomic<std::uint8_t>, 3> savedGate{};  // gate bit at the moment of muting
    RelaxedAtomic<double> digiDivisor{1.0};
    RelaxedAtomic<std::int32_t> digiOffset{0};
};

extern MixerSettings mixerSettings;

}  // namespace chipbox
