// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/carried_state.h"

#include <cstring>

#include "sid/digi_registers.h"
#include "sid/sid_render.h"

namespace chipbox {

namespace {

// The decoder's parameters in a fixed order, for taking and restoring alike.
std::array<DigiParameter*, 7> DigiParameters() {
    return {&digiRegisters.startAddress, &digiRegisters.endAddress, &digiRegisters.repeatCount,
            &digiRegisters.period,       &digiRegisters.addressStep, &digiRegisters.nybbleOrder,
            &digiRegisters.repeatAddress};
}

}  // namespace

bool CarriedSidState::operator==(const CarriedSidState& other) const {
    return std::memcmp(stages.data(), other.stages.data(), sizeof stages) == 0 &&
           digi == other.digi;
}

CarriedSidState TakeCarriedSidState() {
    CarriedSidState state;
    state.stages = {outputStage.s1, outputStage.s2, decimator.band, decimator.low};
    std::size_t i = 0;
    for (const DigiParameter* parameter : DigiParameters()) {
        state.digi[i++] = parameter->latched;
        state.digi[i++] = parameter->live;
    }
    state.digi[i++] = digiRegisters.sampleActive;
    state.digi[i++] = digiRegisters.currentAddress;
    state.digi[i++] = digiRegisters.nybbleSelector;
    state.digi[i] = digiPlayback.digiValue;
    return state;
}

void RestoreCarriedSidState(const CarriedSidState& state) {
    outputStage.s1 = state.stages[0];
    outputStage.s2 = state.stages[1];
    decimator.band = state.stages[2];
    decimator.low = state.stages[3];
    std::size_t i = 0;
    for (DigiParameter* parameter : DigiParameters()) {
        parameter->latched = state.digi[i++];
        parameter->live = state.digi[i++];
    }
    digiRegisters.sampleActive = static_cast<std::uint8_t>(state.digi[i++]);
    digiRegisters.currentAddress = state.digi[i++];
    digiRegisters.nybbleSelector = state.digi[i++];
    digiPlayback.digiValue = state.digi[i];
}

}  // namespace chipbox
