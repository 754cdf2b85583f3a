// SPDX-License-Identifier: GPL-2.0-or-later
// The real SID chip, the sound chip of the real machine: the MOS 6581 of the
// first C64s and the MOS 8580 of the later ones, clocked by the machine's
// own clock. It lives beside the default model and shares nothing with it;
// the default model never calls it.
#pragma once

namespace chipbox::sidchip {

enum class ChipModel { Mos6581, Mos8580 };

// The machine's clock in cycles per second, PAL and NTSC.
constexpr double PAL_CLOCK_HZ = 985'248.0;
constexpr double NTSC_CLOCK_HZ = 1'022'727.0;

}  // namespace chipbox::sidchip
