// SPDX-License-Identifier: GPL-2.0-or-later
// A voice's waveform as it leaves the waveform DAC, before the envelope
// scales it: the DAC's value about its middle, on the waveform's own DC
// level. The 6581's waveform sits above the middle (our choice of a quarter
// of a voice's swing; the die-level descriptions show the offset but give
// no figure), which makes gate changes thump on a 6581 and not on an 8580.
//
// Beside the level of each 12-bit value, the level of each entry of the
// combined-waveform tables, so that a run of combined waveforms goes from
// the accumulator to the level with one look-up.
//
// Threads: built once per model on first use; read-only after.
#pragma once

#include <array>
#include <vector>

#include "sid/chip/chip_model.h"
#include "sid/chip/combined_waveforms.h"

namespace chipbox::sidchip {

struct WaveformLevels {
    std::array<float, 4096> ofValue;
    // Entry by entry the level of the combined table of the same name.
    std::vector<float> sawTriangle, pulseSaw, pulseTriangle, pulseSawTriangle;
};

const WaveformLevels& WaveformLevelsOf(ChipModel model);

}  // namespace chipbox::sidchip
