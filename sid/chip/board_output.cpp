// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/board_output.h"

#include <cmath>
#include <numbers>

#include "sid/chip/resampler.h"

namespace chipbox::sidchip {
namespace {

// The bilinear transform's prewarped corner.
double Warped(double cornerHz) { return std::tan(std::numbers::pi * cornerHz / OUTPUT_HZ); }

}  // namespace

BoardOutput::BoardOutput() {
    const double low = Warped(BOARD_LOWPASS_HZ);
    lowGain_ = low / (1.0 + low);
    lowPole_ = (1.0 - low) / (1.0 + low);
    const double high = Warped(BOARD_HIGHPASS_HZ);
    highGain_ = 1.0 / (1.0 + high);
    highPole_ = (1.0 - high) / (1.0 + high);
}

void BoardOutput::ProcessBlock(float* samples, std::size_t count) {
    State state = state_;
    for (std::size_t i = 0; i < count; ++i) samples[i] = Step(state, samples[i]);
    state_ = state;
}

}  // namespace chipbox::sidchip
