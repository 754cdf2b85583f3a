// SPDX-License-Identifier: GPL-2.0-or-later
// The real SID's filter, mixer and master volume: everything between the
// three voices' analogue outputs and the chip's audio output pin.
//
// The filter is the chip's two-integrator-loop state-variable filter, stepped
// once per machine cycle. Its integrators are trapezoidal, which keeps the
// loop stable at every cutoff and resonance and clock, and puts the -3 dB
// point of the low- and high-pass and the peak of the band-pass exactly at the
// cutoff curve's frequency. The three outputs are summed as the mode bits
// select them; with no mode bit set the filtered voices are not heard.
//
// Everything the output does is linear in the two integrator states and the
// filter's input, so a register write folds cutoff, resonance, the selected
// modes and the volume into a few coefficients, and a machine cycle costs a
// dozen multiply-adds with no division and no transcendental function.
//
// Levels: a voice at full swing and full envelope moves between about -1 and
// +1 plus its own DC offset, which it brings with it. The output is in the
// same units: (unfiltered voices + filter output + the mixer's DC) times
// volume / 15.
//
// Threads: the thread that runs the machine.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "sid/chip/chip_model.h"

namespace chipbox::sidchip {

// The DC level of the mixer and volume stage, in voice units. The volume
// multiplies it, so a tune that writes only $D418 moves the output pin by up
// to this much: that is how volume-register samples play. Where it sits was
// described on the cbm-hackers list (L. Harsfalvi, "Re: d418", 2001-04-12: a
// constant offset on the amplitude modulator after the mixer, turned into a
// 4-bit DAC by the volume bits); that the 8580 has much less of it, so such
// samples play very quietly there, by M. Makela on the same list
// (2000-05-18). Neither gives a figure: ours make a 6581 volume-register
// sample swing half as far as one full voice, and an 8580 one a twentieth
// of that.
constexpr double MIXER_DC_6581 = 1.0;
constexpr double MIXER_DC_8580 = 0.05;

class Filter {
public:
    Filter(ChipModel model, double clockHz);

    // The time step of one Clock call; a value that is not a positive clock
    // rate is ignored.
    void SetClock(double clockHz);
    // Power-on: registers 0, integrators at rest.
    void Reset();

    void WriteCutoffLow(std::uint8_t value);         // $D415, bits 0-2
    void WriteCutoffHigh(std::uint8_t value);        // $D416
    void WriteResonanceRouting(std::uint8_t value);  // $D417
    void WriteModeVolume(std::uint8_t value);        // $D418

    // One machine cycle; returns the chip's audio output.
    float Clock(float voice1, float voice2, float voice3);
    // `count` cycles of Clock at once, the same values bit for bit, with the
    // states kept in registers between the cycles.
    void ClockRun(const float* voice1, const float* voice2, const float* voice3, float* out,
                  std::size_t count);

    // The curve's value at the current register.
    double CutoffHz() const;
    // `cutoffRegister` is the 11-bit value, 0..2047; higher bits are ignored.
    static double CutoffCurveHz(ChipModel model, std::uint16_t cutoffRegister);

private:
    // The states step two cycles at a time: from an even cycle's states
    // straight to the next even cycle's through the loop's matrix squared,
    // so the chain from one state to the next is half as long; the odd
    // cycle's states, which only its output needs, branch off it. Which
    // cycles pair up is fixed from the reset on, so the values do not depend
    // on how the cycles are asked for.
    struct Loop {
        double state1, state2;  // at the even cycle
        // Alternates between a negligible level and 0, DC and Nyquist
        // together, so no state decays into denormals during silence.
        double guard;
        double odd1, odd2;  // the odd cycle's states
        double evenInput;   // the even cycle's filter input
        bool odd;           // the next cycle is an odd one
    };
    double Direct(float voice1, float voice2, float voice3) const;
    double Input(float voice1, float voice2, float voice3, double guard) const;
    float EvenStep(Loop& loop, double direct, double input) const;
    float OddStep(Loop& loop, double direct, double input) const;
    void UpdateResponse();
    void UpdateMix();

    ChipModel model_;
    double clockHz_;
    std::uint16_t cutoffRegister_ = 0;
    std::uint8_t resonanceRouting_ = 0;
    std::uint8_t modeVolume_ = 0;

    // The trapezoidal loop's gains for the current cutoff and resonance.
    double integratorGain_ = 0.0;  // tan(pi * cutoff / clock)
    double damping_ = 0.0;         // 1 / Q
    double a1_ = 0.0, a2_ = 0.0, a3_ = 0.0;

    // What Clock multiplies: the voices into the filter; the voices into the
    // output, unfiltered at the volume plus what the selected modes pass
    // straight from the filter's input; the states into the output; and the
    // states and input into the states' next values.
    std::array<double, 3> filterGain_{};
    std::array<double, 3> outputGain_{};
    double mixState1_ = 0.0, mixState2_ = 0.0, mixDc_ = 0.0;
    double step11_ = 0.0, step12_ = 0.0, step1Input_ = 0.0;
    double step21_ = 0.0, step22_ = 0.0, step2Input_ = 0.0;

    // Two cycles of the loop: its matrix squared, and what the even and
    // the odd cycle's inputs add.
    double pair11_ = 0.0, pair12_ = 0.0, pair21_ = 0.0, pair22_ = 0.0;
    double pair1Even_ = 0.0, pair2Even_ = 0.0;

    Loop loop_{};
};

namespace filter_detail {
constexpr double DENORMAL_GUARD = 1e-18;
}  // namespace filter_detail

// The parts of a cycle that do not wait on the states: what goes straight
// to the output, and the filter's input.
inline double Filter::Direct(float voice1, float voice2, float voice3) const {
    return outputGain_[0] * voice1 + outputGain_[1] * voice2 + outputGain_[2] * voice3 + mixDc_;
}

inline double Filter::Input(float voice1, float voice2, float voice3, double guard) const {
    return filterGain_[0] * voice1 + filterGain_[1] * voice2 + filterGain_[2] * voice3 + guard;
}

inline float Filter::EvenStep(Loop& loop, double direct, double input) const {
    const double output = direct + (mixState1_ * loop.state1 + mixState2_ * loop.state2);
    loop.odd1 = step11_ * loop.state1 + step12_ * loop.state2 + step1Input_ * input;
    loop.odd2 = step21_ * loop.state1 + step22_ * loop.state2 + step2Input_ * input;
    loop.evenInput = input;
    loop.odd = true;
    return static_cast<float>(output);
}

inline float Filter::OddStep(Loop& loop, double direct, double input) const {
    const double output = direct + (mixState1_ * loop.odd1 + mixState2_ * loop.odd2);
    const double next1 = pair11_ * loop.state1 + pair12_ * loop.state2 +
                         (pair1Even_ * loop.evenInput + step1Input_ * input);
    loop.state2 = pair21_ * loop.state1 + pair22_ * loop.state2 +
                  (pair2Even_ * loop.evenInput + step2Input_ * input);
    loop.state1 = next1;
    loop.odd = false;
    return static_cast<float>(output);
}

inline float Filter::Clock(float voice1, float voice2, float voice3) {
    loop_.guard = filter_detail::DENORMAL_GUARD - loop_.guard;
    const double direct = Direct(voice1, voice2, voice3);
    const double input = Input(voice1, voice2, voice3, loop_.guard);
    return loop_.odd ? OddStep(loop_, direct, input) : EvenStep(loop_, direct, input);
}

// The parts that do not wait on the states first, for a stretch at a time,
// then the states through it a pair of cycles at a time: the same values as
// Clock, cycle for cycle.
inline void Filter::ClockRun(const float* voice1, const float* voice2, const float* voice3,
                             float* out, std::size_t count) {
    constexpr std::size_t STRETCH = 256;
    Loop loop = loop_;
    for (std::size_t start = 0; start < count; start += STRETCH) {
        const std::size_t n = std::min(STRETCH, count - start);
        double direct[STRETCH], input[STRETCH];
        // The guard alternates, so it is one of two values by the cycle's
        // place in the stretch; with no value carried from cycle to cycle
        // these loops run four cycles at once.
        const double first = filter_detail::DENORMAL_GUARD - loop.guard;
        const double guards[2] = {first, filter_detail::DENORMAL_GUARD - first};
        const float* v1 = voice1 + start;
        const float* v2 = voice2 + start;
        const float* v3 = voice3 + start;
        for (std::size_t k = 0; k < n; ++k) direct[k] = Direct(v1[k], v2[k], v3[k]);
        for (std::size_t k = 0; k < n; ++k) input[k] = Input(v1[k], v2[k], v3[k], guards[k & 1]);
        loop.guard = guards[(n - 1) & 1];
        float* to = out + start;
        std::size_t k = 0;
        if (loop.odd && k < n) {
            to[k] = OddStep(loop, direct[k], input[k]);
            ++k;
        }
        for (; k + 1 < n; k += 2) {
            to[k] = EvenStep(loop, direct[k], input[k]);
            to[k + 1] = OddStep(loop, direct[k + 1], input[k + 1]);
        }
        if (k < n) to[k] = EvenStep(loop, direct[k], input[k]);
    }
    loop_ = loop;
}

}  // namespace chipbox::sidchip
