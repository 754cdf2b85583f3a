// SPDX-License-Identifier: GPL-2.0-or-later
// The C64 board's audio path between the chip's output pin and the audio
// socket, at the output rate: a gentle low-pass that takes the edge off the
// top octave, and the coupling capacitor's high-pass that blocks the chip's
// large DC level.
//
// The board's component values were not available to us in a readable
// form, so the corners are chosen: a one-pole low-pass with its -3 dB point
// at 16 kHz and a one-pole high-pass with its -3 dB point at 5 Hz. Each is
// the bilinear transform of the RC section, prewarped so that the -3 dB
// point lands exactly on its corner at 44.1 kHz; the low-pass also gets the
// transform's zero at half the output rate.
//
// Threads: one thread at a time.
#pragma once

#include <cmath>
#include <cstddef>

namespace chipbox::sidchip {

constexpr double BOARD_LOWPASS_HZ = 16'000.0;
constexpr double BOARD_HIGHPASS_HZ = 5.0;

class BoardOutput {
public:
    BoardOutput();
    void Reset() { state_ = State{}; }
    float Process(float sample) { return Step(state_, sample); }  // one output-rate sample
    // `count` samples in place, the same values as Process one by one, with
    // the states kept in registers between them.
    void ProcessBlock(float* samples, std::size_t count);

private:
    struct State {
        double lowInput = 0.0;
        double lowOutput = 0.0;
        double highInput = 0.0;
        double highOutput = 0.0;
    };
    float Step(State& state, float sample) const;

    // Low-pass: y = lowGain * (x + x[-1]) + lowPole * y[-1].
    double lowGain_;
    double lowPole_;
    // High-pass: y = highGain * (x - x[-1]) + highPole * y[-1].
    double highGain_;
    double highPole_;

    State state_;
};

namespace board_output_detail {
// Below this the high-pass tail is inaudible; flushing it keeps long
// silences out of the slow subnormal range.
constexpr double FLUSH_LEVEL = 1e-30;
}  // namespace board_output_detail

inline float BoardOutput::Step(State& state, float sample) const {
    const double x = sample;
    const double low = lowGain_ * (x + state.lowInput) + lowPole_ * state.lowOutput;
    state.lowInput = x;
    state.lowOutput = low;
    double high = highGain_ * (low - state.highInput) + highPole_ * state.highOutput;
    if (std::fabs(high) < board_output_detail::FLUSH_LEVEL) high = 0.0;
    state.highInput = low;
    state.highOutput = high;
    // A non-finite sample would stay in the feedback for good: start clean.
    if (!std::isfinite(high)) {
        state = State{};
        return 0.0f;
    }
    return static_cast<float>(high);
}

}  // namespace chipbox::sidchip
