// SPDX-License-Identifier: GPL-2.0-or-later
// The renderer's frame: the filter, master volume, output stage and digi
// values on top of the voices, and the 4:1 reduction to the output rate.
#pragma once

#include <cstdint>

#include "sid/digi_registers.h"
#include "sid/sid_state.h"

namespace chipbox {

constexpr std::uint32_t OUTPUT_RATE = 44100;
constexpr std::uint32_t RENDER_RATE = 4 * OUTPUT_RATE;  // playback renders at this rate
constexpr double CUTOFF_BASE = 21.5332031;
constexpr std::uint32_t FREQ_SCALE_CONSTANT = 15872000;

// The fixed two-pole output stage: a low-pass with a one-sample delay and a DC
// gain of -1. Never reset, so a new playback continues from the last one.
struct OutputStage {
    double s1 = 0.0;
    double s2 = 0.0;
};

extern OutputStage outputStage;

// The 4:1 reduction's low-pass state; never reset.
struct Decimator {
    double band = 0.0;
    double low = 0.0;
};

extern Decimator decimator;

// A state-variable (Chamberlin) filter step on the filter's state; returns the
// sum of the selected low-, band- and high-pass outputs (0 with no mode bit).
inline double FilterStep(FilterSynth& filter, double input) {
    filter.high = input - filter.damping * filter.band - filter.low;
    filter.band = filter.band + filter.cutoff * filter.high;
    filter.low = filter.low + filter.cutoff * filter.band;
    return (filter.lowPassOn ? filter.low : 0.0) + (filter.bandPassOn ? filter.band : 0.0) +
           (filter.highPassOn ? filter.high : 0.0);
}

// One output stage step for the volume-scaled mix x; returns y.
inline std::int32_t OutputStageStep(OutputStage& stage, std::int32_t x) {
    stage.s1 = stage.s1 + 0.8 * stage.s2;
    const auto y = static_cast<std::int32_t>(stage.s1);
    stage.s2 = 0.1 * stage.s2 - 0.8 * (x + stage.s1);
    return y;
}

// Prepares the SID for a rate in Hz: clears registers, voices, filter and the
// digi sample's active flag and phase; the output stage, decimator, digi
// value, register image and mixer settings are kept.
void SidInit(std::uint32_t rate);

// Writes `count` samples at the rate given to SidInit. Register values are
// taken once at the start of the call. count 0 only refreshes the derived
// per-call values. Digi samples are read from `memory`.
void SidRender(std::int16_t* buffer, std::uint32_t count, SampleMemory memory);

// Limits to -32767..32767 (not -32768) and truncates toward zero.
std::int16_t ClampSample(double x);

// Low-pass filters `count` samples of `source` in place (values clamped to
// 16 bits) and writes samples 0, 4, 8, ... to `destination`: count / 4
// samples, rounded up.
void Decimate4(std::int16_t* source, std::int16_t* destination, std::uint32_t count);

// The decimator's low-pass step for one rendered sample. The low-pass
// overshoots a full-scale step by about 16 %; such values are clamped to 16
// bits, as wrapping would turn the overshoot into a click.
inline std::int16_t DecimateStep(Decimator& state, std::int16_t sample) {
    constexpr double coefficient = 0.25;
    const double high = sample - state.band - state.low;
    state.band = state.band + coefficient * high;
    state.low = state.low + coefficient * state.band;
    const auto truncated = static_cast<std::int32_t>(state.low);
    return static_cast<std::int16_t>(truncated > 32767    ? 32767
                                     : truncated < -32768 ? -32768
                                                          : truncated);
}

// SidRender into renderBuffer followed by Decimate4 into destination, in one
// pass: the same output samples, the same render buffer contents and states,
// with the decimator's arithmetic overlapping the renderer's.
void SidRenderDecimated(std::int16_t* renderBuffer, std::int16_t* destination, std::uint32_t count,
                        SampleMemory memory);

// Returns every piece of SID state to program start, the never-reset parts
// (output stage, decimator, register image, mixer, digi state) included.
void ResetSidModule();

}  // namespace chipbox
