// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/digi_registers.h"

#include "sid/hardsid_link.h"

namespace chipbox {

DigiRegisters digiRegisters;
DigiPlayback digiPlayback;

namespace {

constexpr std::uint8_t STOP_SAMPLE = 0xFD;
constexpr std::uint8_t START_SAMPLE = 0xFE;
constexpr std::uint8_t START_SAMPLE_TOO = 0xFF;

void SetLatchByte(DigiParameter& parameter, bool highByte, std::uint8_t value) {
    if (highByte)
        parameter.latched = (parameter.latched & 0x00FF) | value << 8;
    else
        parameter.latched = (parameter.latched & 0xFF00) | value;
}

void LoadLiveValues() {
    DigiRegisters& d = digiRegisters;
    for (DigiParameter* parameter : {&d.nybbleOrder, &d.repeatCount, &d.startAddress, &d.endAddress,
                                     &d.repeatAddress, &d.period, &d.addressStep})
        parameter->live = parameter->latched;
    d.currentAddress = d.startAddress.latched;
}

void ExecuteCommand(std::uint8_t command) {
    LoadLiveValues();
    if (command != STOP_SAMPLE && command != START_SAMPLE && command != START_SAMPLE_TOO) return;
    digiRegisters.sampleActive = command == STOP_SAMPLE ? 0 : 1;
    sampleDeadline.store(SampleClockNow());
    if (!sampleThreadRunning.load()) StartSampleThread();
}

constexpr std::uint16_t DIGI_WINDOW_FIRST = 0xD419;
constexpr std::uint16_t DIGI_WINDOW_LAST = 0xD4FF;
constexpr std::uint16_t DIGI_MIRRORS_FIRST = 0xD420;

// The twelve addresses of the extended sample registers: $D41D-$D41F,
// $D43D-$D43F, $D45D-$D45F and $D47D-$D47F.
bool IsSampleRegister(std::uint16_t address) {
    return address < 0xD480 && (address & 0x1F) >= 0x1D;
}

}  // namespace

bool ReachesSampleDecoder(std::uint16_t address, bool mirrorsReachSid) {
    if (address < DIGI_WINDOW_FIRST || address > DIGI_WINDOW_LAST) return false;
    return !mirrorsReachSid || address < DIGI_MIRRORS_FIRST || IsSampleRegister(address);
}

void DecodeDigiRegisterWrite(std::uint16_t address, std::uint8_t value) {
    DigiRegisters& d = digiRegisters;
    switch (address) {
        case 0xD41D: ExecuteCommand(value); break;
        case 0xD41E: SetLatchByte(d.startAddress, false, value); break;
        case 0xD41F: SetLatchByte(d.startAddress, true, value); break;
        case 0xD43D: SetLatchByte(d.endAddress, false, value); break;
        case 0xD43E: SetLatchByte(d.endAddress, true, value); break;
        case 0xD43F: d.repeatCount.latched = value; break;
        case 0xD45D: SetLatchByte(d.period, false, value); break;
        case 0xD45E: SetLatchByte(d.period, true, value); break;
        case 0xD45F: d.addressStep.latched = value; break;
        case 0xD47D: d.nybbleOrder.latched = value; break;
        case 0xD47E: SetLatchByte(d.repeatAddress, false, value); break;
        case 0xD47F: SetLatchByte(d.repeatAddress, true, value); break;
        default: break;  // the SID's read-only registers and mirrors: memory only
    }
}

DigiCursor::DigiCursor(SampleMemory sampleMemory)
    : active(digiRegisters.sampleActive != 0),
      startAddress(digiRegisters.startAddress.live),
      endAddress(digiRegisters.endAddress.live),
      repeatAddress(digiRegisters.repeatAddress.live),
      repeatCount(digiRegisters.repeatCount.live),
      period(digiRegisters.period.live),
      nybbleOrder(digiRegisters.nybbleOrder.live),
      currentAddress(digiRegisters.currentAddress),
      nybbleSelector(digiRegisters.nybbleSelector),
      digiPhase(digiPlayback.digiPhase),
      digiValue(digiPlayback.digiValue),
      rate(static_cast<std::int32_t>(digiPlayback.rate)),
      divisor(mixerSettings.digiDivisor),
      memory(sampleMemory) {}

void DigiCursor::StoreBack() const {
    digiRegisters.currentAddress = currentAddress;
    digiRegisters.nybbleSelector = nybbleSelector;
    digiRegisters.repeatCount.live = repeatCount;
    digiPlayback.digiPhase = digiPhase;
    digiPlayback.digiValue = digiValue;
}

// Low nybble first for order 0, high first otherwise; the selector moves
// before each fetch and is never reset, so the byte at the start address
// plays at most one nybble.
void DigiCursor::AdvanceNybble() {
    if (nybbleOrder == 0) {
        if (++nybbleSelector == 2) {
            nybbleSelector = 0;
            ++currentAddress;
        }
    } else if (--nybbleSelector < 0) {
        nybbleSelector = 1;
        ++currentAddress;
    }
    if (repeatCount != 0 && currentAddress == endAddress) {
        currentAddress = repeatAddress;
        --repeatCount;
    }
    // Read at the time of the step: samples the tune changes at run time play
    // with their current contents.
    const std::uint8_t byte = memory[static_cast<std::uint16_t>(currentAddress)];
    const int nybble = nybbleSelector == 1 ? byte >> 4 : byte & 0x0F;
    const double scaled = (nybble - 8) * DIGI_VALUE_SCALE / divisor;
    digiValue = static_cast<std::int16_t>(static_cast<std::int32_t>(scaled));
}

void SetDigiLevel(int sliderPosition) {
    const double divisor = 15.0 / (16 - sliderPosition);
    mixerSettings.digiDivisor = divisor;
    mixerSettings.digiOffset = 15 - static_cast<std::int32_t>(15.0 / divisor);
}

void ResetDigiState() {
    digiRegisters = DigiRegisters{};
    digiPlayback = DigiPlayback{};
}

}  // namespace chipbox
