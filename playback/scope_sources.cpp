// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/scope_sources.h"

#include <algorithm>

#include "core/machine/c64.h"
#include "playback/machine_playback.h"
#include "sid/sid_state.h"

namespace chipbox {

namespace {

// The default model's frequencies count in the PAL machine's cycles.
constexpr double DEFAULT_MODEL_CLOCK_HZ = 985248.0;
constexpr int ENVELOPE_TO_BYTE = 16;  // 24-bit levels to 8

ScopeChipModel ModelOf(sidchip::ChipModel model) {
    return model == sidchip::ChipModel::Mos8580 ? ScopeChipModel::Mos8580
                                                : ScopeChipModel::Mos6581;
}

}  // namespace

ScopeFrame DefaultModelScopeFrame(std::int64_t frame, std::int64_t songMicros) {
    ScopeFrame scope;
    scope.frame = frame;
    scope.songMicros = songMicros;
    scope.clockHz = DEFAULT_MODEL_CLOCK_HZ;
    scope.chipCount = 1;
    ScopeChip& chip = scope.chips[0];
    for (std::size_t r = 0; r < chip.registers.size(); ++r)
        chip.registers[r] = registerImage.values[r];
    for (std::size_t v = 0; v < 3; ++v)
        chip.envelopes[v] =
            static_cast<std::uint8_t>(sidState.voices[v].envelopeLevel >> ENVELOPE_TO_BYTE);
    return scope;
}

ScopeFrame MachineScopeFrame(std::int64_t frame, std::int64_t songMicros) {
    ScopeFrame scope;
    scope.frame = frame;
    scope.songMicros = songMicros;
    const machine::C64* c64 = PlayingMachine();
    if (c64 == nullptr) return scope;
    scope.clockHz = c64->timing().clockHz;
    scope.chipCount = std::min(c64->sidCount(), static_cast<int>(scope.chips.size()));
    for (int i = 0; i < scope.chipCount; ++i) {
        const machine::SidChip& sid = c64->sid(i);
        ScopeChip& chip = scope.chips[static_cast<std::size_t>(i)];
        chip.address = c64->sidAddress(i);
        chip.model = ModelOf(sid.model());
        std::copy_n(sid.writtenRegisters().begin(), chip.registers.size(), chip.registers.begin());
        for (int v = 0; v < 3; ++v)
            chip.envelopes[static_cast<std::size_t>(v)] = sid.chip().envelope(v).Output();
    }
    return scope;
}

}  // namespace chipbox
