// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/sid_write.h"

#include "sid/hardsid_link.h"
#include "sid/sid_state.h"

namespace chipbox {

SidState sidState;
RegisterImage registerImage;
RelaxedAtomic<std::uint8_t> savedVolumeHigh{0};
MixerSettings mixerSettings;

namespace {

constexpr int REGISTERS_PER_VOICE = 7;
constexpr int CONTROL_FIELD = 4;

bool IsControlRegister(int reg) { return reg < 21 && reg % REGISTERS_PER_VOICE == CONTROL_FIELD; }

void ForwardWriteToCard(int reg, std::uint8_t value) {
    if (reg == VOLUME_REGISTER) savedVolumeHigh = static_cast<std::uint8_t>(value & 0xF0);
    if (IsControlRegister(reg) && mixerSettings.voiceMuted[reg / REGISTERS_PER_VOICE])
        value &= static_cast<std::uint8_t>(~control::GATE);
    ForwardToHardSid(reg, value);
}

// No edge detection: the previous control value plays no part.
void ApplyGate(VoiceSynth& voice, std::uint8_t controlValue) {
    if (!(controlValue & control::GATE))
        voice.envelopePhase = Release;
    else if (voice.envelopePhase == Release)
        voice.envelopePhase = Attack;
}

void SetLowByte(std::uint16_t& word, std::uint8_t value) {
    word = static_cast<std::uint16_t>((word & 0xFF00) | value);
}

void SetHighByte(std::uint16_t& word, std::uint8_t value) {
    word = static_cast<std::uint16_t>((word & 0x00FF) | value << 8);
}

void WriteVoiceRegister(int voiceIndex, int field, std::uint8_t value) {
    VoiceRegisters& regs = sidState.voiceRegisters[voiceIndex];
    switch (field) {
        case 0: SetLowByte(regs.frequency, value); break;
        case 1: SetHighByte(regs.frequency, value); break;
        case 2: SetLowByte(regs.pulseWidth, value); break;
        case 3: SetHighByte(regs.pulseWidth, value); break;
        case 4:
            regs.control = value;
            ApplyGate(sidState.voices[voiceIndex], value);
            break;
        case 5: regs.attackDecay = value; break;
        case 6: regs.sustainRelease = value; break;
        default: break;
    }
}

void WriteFilterRegister(int reg, std::uint8_t value) {
    FilterRegisters& regs = sidState.filterRegisters;
    switch (reg) {
        case 21: regs.cutoffLow = value; break;
        case 22: regs.cutoffHigh = value; break;
        case 23: regs.resonanceRouting = value; break;
        case 24: regs.modeVolume = value; break;
        default: break;  // 25..31 carry no meaning
    }
}

}  // namespace

void SidWrite(int reg, std::uint8_t value) {
    reg &= 0x1F;
    registerImage.values[reg] = value;
    if (hardSidMode.load(std::memory_order_relaxed)) {
        ForwardWriteToCard(reg, value);
        return;
    }
    if (reg < 21)
        WriteVoiceRegister(reg / REGISTERS_PER_VOICE, reg % REGISTERS_PER_VOICE, value);
    else
        WriteFilterRegister(reg, value);
}

void SidWriteVolumeNibble(std::uint8_t nibble) {
    if (!hardSidMode.load(std::memory_order_relaxed)) return;
    ForwardToHardSid(VOLUME_REGISTER, static_cast<std::uint8_t>(savedVolumeHigh | nibble));
}

void SetVoiceMute(int voice, bool muted) {
    mixerSettings.voiceMuted[voice] = muted ? 1 : 0;
    const int reg = REGISTERS_PER_VOICE * voice + CONTROL_FIELD;
    const std::uint8_t lastControl = registerImage.values[reg];
    std::uint8_t value;
    if (muted) {
        mixerSettings.savedGate[voice] = static_cast<std::uint8_t>(lastControl & control::GATE);
        value = lastControl & static_cast<std::uint8_t>(~control::GATE);
    } else {
        value = lastControl | mixerSettings.savedGate[voice];
    }
    SidWrite(reg, value);
}

}  // namespace chipbox
