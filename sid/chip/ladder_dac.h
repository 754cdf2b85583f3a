// SPDX-License-Identifier: GPL-2.0-or-later
// The chip's digital-to-analogue converters: R-2R resistor ladders, one bit
// source behind each 2R leg. The 8580's ladders are terminated by a 2R leg
// to ground and their resistors match (2R/R = 2), so they are linear. The
// 6581's lack the termination at bit 0, which makes bit 0 weigh two thirds
// of bit 1 instead of half and bends the lower bits; the die-level reverse-engineering of the
// chip (the SID schematics wiki, "6581 DACs") puts its ratio at 2.02 once
// the bit buffers' impedance is counted. Both are solved as the resistor
// network they are, so the 6581's steps come out uneven where its ladder
// makes them so.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "sid/chip/chip_model.h"

namespace chipbox::sidchip {

// The output of a `bits`-bit ladder for every code, as a share of the
// output with every bit set (0 for code 0, 1 for all ones).
std::vector<float> LadderOutputs(ChipModel model, int bits);

// The waveform DAC (12 bits) and the envelope DAC (8 bits) of each model,
// computed once.
const std::vector<float>& WaveformDac(ChipModel model);
const std::vector<float>& EnvelopeDac(ChipModel model);

}  // namespace chipbox::sidchip
