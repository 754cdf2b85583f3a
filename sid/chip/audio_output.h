// SPDX-License-Identifier: GPL-2.0-or-later
// The chip's sound as the player hears it: the per-cycle floats resampled to
// 44.1 kHz, through the board's output stage, scaled by the gain and rounded
// to 16-bit samples. Samples too loud for 16 bits saturate and are counted.
//
// Threads: one thread at a time.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "sid/chip/board_output.h"
#include "sid/chip/resampler.h"

namespace chipbox::sidchip {

// The chip's full scale of 1.0 maps to the 16-bit full scale.
constexpr float DEFAULT_OUTPUT_GAIN = 32'767.0f;

class AudioOutput {
public:
    explicit AudioOutput(double inputHz);
    void SetInputRate(double inputHz) { resampler_.SetInputRate(inputHz); }
    void Reset();                               // zero state, and the clip count back to 0
    void SetGain(float gain) { gain_ = gain; }  // int16 value = round(sample × gain), saturated
    void Push(const float* samples, std::size_t count) { resampler_.Push(samples, count); }
    std::size_t Available() const { return resampler_.Available(); }
    std::size_t Take(std::int16_t* out, std::size_t maxCount);
    std::uint64_t ClippedSamples() const { return clipped_; }
    // With the soft ceiling on, levels above SOFT_CEILING_KNEE of the 16-bit
    // range are rounded off towards full scale instead of clipped: the
    // filter's resonance can lift three full voices past full scale, and a
    // curve that bends there keeps those peaks from cracking. Below the knee
    // nothing changes.
    void SetSoftCeiling(bool on) { softCeiling_ = on; }

private:
    Resampler resampler_;
    BoardOutput board_;
    float gain_ = DEFAULT_OUTPUT_GAIN;
    std::uint64_t clipped_ = 0;
    bool softCeiling_ = false;
};

constexpr float SOFT_CEILING_KNEE = 0.75f;

namespace audio_output_detail {

// Rounded half away from zero and saturated to the 16-bit range; `clipped`
// tells whether it had to saturate. NaN gives 0 and counts as clipped.
// Adding one half before truncating rounds half away from zero; in double
// the addition is exact for every float.
inline std::int16_t RoundToInt16(float value, bool& clipped) {
    const double x = value;
    clipped = true;
    if (std::isnan(x)) return 0;
    if (x >= 32'767.5) return std::numeric_limits<std::int16_t>::max();
    if (x <= -32'768.5) return std::numeric_limits<std::int16_t>::min();
    clipped = false;
    return static_cast<std::int16_t>(static_cast<int>(x >= 0.0 ? x + 0.5 : x - 0.5));
}

constexpr double SOFT_CEILING_FULL = 32'767.0;
constexpr double SOFT_CEILING_KNEE_LEVEL = SOFT_CEILING_KNEE * SOFT_CEILING_FULL;

// SoftCeiling for a value whose magnitude lies above the knee.
float BendAboveKnee(float value);

// Above the knee, the rest of the way to full scale along a tanh, which
// leaves the knee with the slope 1 and never reaches full scale.
inline float SoftCeiling(float value) {
    if (!(std::fabs(static_cast<double>(value)) > SOFT_CEILING_KNEE_LEVEL)) return value;
    return BendAboveKnee(value);
}

}  // namespace audio_output_detail

}  // namespace chipbox::sidchip
