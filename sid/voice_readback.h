// SPDX-License-Identifier: GPL-2.0-or-later
// The SID's two read-only registers that show voice 3: $1B its oscillator's
// upper eight bits, $1C its envelope. Tunes read them for random numbers and
// for modulation; they show the voice as the renderer has it at the moment.
//
// Threads: the thread that runs the tune's code and the renderer.
#pragma once

#include <cstdint>

namespace chipbox {

std::uint8_t ReadVoice3Oscillator();
std::uint8_t ReadVoice3Envelope();

}  // namespace chipbox
