// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/voice_synth.h"

#include "sid/envelope_tables.h"

namespace chipbox {

namespace {

std::int32_t EnvelopeStep(std::uint32_t rate, double seconds) {
    return static_cast<std::int32_t>(16777216.0 / (static_cast<double>(rate) * seconds));
}

}  // namespace

void FillEnvelopeSteps(std::uint32_t rate) {
    for (std::size_t i = 0; i < 16; ++i) {
        sidState.attackSteps[i] = EnvelopeStep(rate, ATTACK_TIMES[i]);
        sidState.decayReleaseSteps[i] = EnvelopeStep(rate, DECAY_RELEASE_TIMES[i]);
    }
}

void SetupVoices() {
    for (int v = 0; v < 3; ++v) {
        const VoiceRegisters& regs = sidState.voiceRegisters[v];
        VoiceSynth& voice = sidState.voices[v];
        voice.increment = regs.frequency * sidState.frequencyFactor;
        voice.pulseThreshold = static_cast<std::uint32_t>(regs.pulseWidth & 0x0FFF) << 16;
        voice.control = regs.control;
        voice.routedToFilter = (sidState.filterRegisters.resonanceRouting >> v) & 1;
        voice.attackStep = sidState.attackSteps[regs.attackDecay >> 4];
        voice.decayStep = sidState.decayReleaseSteps[regs.attackDecay & 0x0F];
        voice.sustainLevel = regs.sustainRelease & 0xF0;
        voice.releaseStep = sidState.decayReleaseSteps[regs.sustainRelease & 0x0F];
    }
}

}  // namespace chipbox
