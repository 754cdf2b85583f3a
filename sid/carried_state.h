// SPDX-License-Identifier: GPL-2.0-or-later
// What one song leaves in the SID model for the next: the states a new song
// does not reset (the output stage, the decimator, the digi sample decoder
// and its last value). The register image stays too, but only a mute's
// toggle reads it, never a render. Two processes that render the
// songs of one list in parts compare and hand over these values, so that
// each part starts as it would have after the songs before it.
//
// Threads: the thread that renders, while nothing plays.
#pragma once

#include <array>
#include <cstdint>

namespace chipbox {

struct CarriedSidState {
    std::array<double, 4> stages{};        // output stage and decimator
    std::array<std::int32_t, 18> digi{};   // the decoder's registers and value

    // Equal to the bit (a double's sign of zero included).
    bool operator==(const CarriedSidState& other) const;
};

CarriedSidState TakeCarriedSidState();
void RestoreCarriedSidState(const CarriedSidState& state);

}  // namespace chipbox
