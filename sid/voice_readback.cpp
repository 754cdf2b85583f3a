// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/voice_readback.h"

#include "sid/sid_state.h"
#include "sid/voice_synth.h"

namespace chipbox {

// The control register as last written, not as the last render call took
// it: a waveform just chosen shows at once.
std::uint8_t ReadVoice3Oscillator() {
    const VoiceSynth& voice = sidState.voices[2];
    const std::uint8_t controlBits = sidState.voiceRegisters[2].control;
    const bool ringInverts =
        (controlBits & control::RING) && sidState.voices[1].accumulator < PHASE_HALF;
    return voice_detail::CurrentWaveform(voice, controlBits, ringInverts);
}

std::uint8_t ReadVoice3Envelope() {
    return static_cast<std::uint8_t>(sidState.voices[2].envelopeLevel >> 16);
}

}  // namespace chipbox
