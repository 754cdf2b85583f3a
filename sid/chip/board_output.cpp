// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/board_output.h"

#include <cmath>
#include <numbers>

#include "sid/chip/resampler.h"

namespace chipbox::sidchip {
namespace {

// The bilinear transform's prewarped corner.
double Warped(double cornerHz) { return std::tan(std::numbers::pi * cornerHz / OUTPUT_HZ); }

// Below this the high-pass tail is inaudible; flushing it keeps long
// silences out of the slow subnormal range.
constexpr double FLUSH_LEVEL = 1e-30;

}  // namespace

BoardOutput::BoardOutput() {
    const double low = Warped(BOARD_LOWPASS_HZ);
    lowGain_ = low / (1.0 + low);
    lowPole_ = (1.0 - low) / (1.0 + low);
    const double high = Warped(BOARD_HIGHPASS_HZ);
    highGain_ = 1.0 / (1.0 + high);
    highPole_ = (1.0 - high) / (1.0 + high);
}

void BoardOutput::Reset() {
    lowInput_ = 0.0;
    lowOutput_ = 0.0;
    highInput_ = 0.0;
    highOutput_ = 0.0;
}

float BoardOutput::Process(float sample) {
    const double x = sample;
    const double low = lowGain_ * (x + lowInput_) + lowPole_ * lowOutput_;
    lowInput_ = x;
    lowOutput_ = low;
    double high = highGain_ * (low - highInput_) + highPole_ * highOutput_;
    if (std::fabs(high) < FLUSH_LEVEL) high = 0.0;
    highInput_ = low;
    highOutput_ = high;
    // A non-finite sample would stay in the feedback for good: start clean.
    if (!std::isfinite(high)) {
        Reset();
        return 0.0f;
    }
    return static_cast<float>(high);
}

}  // namespace chipbox::sidchip
