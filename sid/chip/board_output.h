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

namespace chipbox::sidchip {

constexpr double BOARD_LOWPASS_HZ = 16'000.0;
constexpr double BOARD_HIGHPASS_HZ = 5.0;

class BoardOutput {
public:
    BoardOutput();
    void Reset();
    float Process(float sample);  // one output-rate sample

private:
    // Low-pass: y = lowGain * (x + x[-1]) + lowPole * y[-1].
    double lowGain_;
    double lowPole_;
    // High-pass: y = highGain * (x - x[-1]) + highPole * y[-1].
    double highGain_;
    double highPole_;

    double lowInput_ = 0.0;
    double lowOutput_ = 0.0;
    double highInput_ = 0.0;
    double highOutput_ = 0.0;
};

}  // namespace chipbox::sidchip
