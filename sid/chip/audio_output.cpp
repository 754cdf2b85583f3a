// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/audio_output.h"

#include <algorithm>
#include <cmath>

namespace chipbox::sidchip {
namespace audio_output_detail {

float BendAboveKnee(float value) {
    constexpr double KNEE = SOFT_CEILING_KNEE_LEVEL, ROOM = SOFT_CEILING_FULL - KNEE;
    const double magnitude = std::fabs(static_cast<double>(value));
    const double bent = KNEE + ROOM * std::tanh((magnitude - KNEE) / ROOM);
    return static_cast<float>(value < 0 ? -bent : bent);
}

}  // namespace audio_output_detail

AudioOutput::AudioOutput(double inputHz) : resampler_(inputHz) {}

void AudioOutput::Reset() {
    resampler_.Reset();
    board_.Reset();
    clipped_ = 0;
}

std::size_t AudioOutput::Take(std::int16_t* out, std::size_t maxCount) {
    constexpr std::size_t chunk = 256;
    float samples[chunk];
    std::size_t taken = 0;
    while (taken < maxCount) {
        const std::size_t count = resampler_.Take(samples, std::min(chunk, maxCount - taken));
        if (count == 0) break;
        board_.ProcessBlock(samples, count);
        for (std::size_t i = 0; i < count; ++i) {
            bool clipped = false;
            float value = samples[i] * gain_;
            if (softCeiling_) value = audio_output_detail::SoftCeiling(value);
            out[taken + i] = audio_output_detail::RoundToInt16(value, clipped);
            clipped_ += clipped;
        }
        taken += count;
    }
    return taken;
}

}  // namespace chipbox::sidchip
