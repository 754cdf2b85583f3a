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
    // ClockRun in two halves, for a caller that has the voices before it
    // runs the filter: first the parts of the cycles that do not wait on the
    // filter's states, with the registers as they are (what goes straight to
    // the output, and the filter's input), then the cycles from those.
    void Mix(const float* voice1, const float* voice2, const float* voice3, float* direct,
             float* input, std::size_t count) const;
    void ClockMixed(const float* direct, const float* input, float* out, std::size_t count);

    // The curve's value at the current register.
    double CutoffHz() const;
    // `cutoffRegister` is the 11-bit value, 0..2047; higher bits are ignored.
    static double CutoffCurveHz(ChipModel model, std::uint16_t cutoffRegister);

private:
    // The states step a block of BLOCK_CYCLES cycles at a time, from one
    // block's first cycle straight to the next block's through the loop's
    // matrix to that power, so the chain from state to state, which no
    // processor can run ahead of, is an eighth as long. Each cycle's output
    // is worked out from the block's first states and the block's inputs
    // before it, with no state in between: the eight outputs of a
    // block are independent of each other and run side by side. Which cycles
    // form a block is fixed from the reset on, so the values do not depend
    // on how the cycles are asked for. A cutoff or resonance written in the
    // middle of a block steers the states from the block's first cycle, at
    // most seven cycles early.
    //
    // The states run in double, which their slow steps at low cutoffs need;
    // a cycle's output, which only adds them up once, in float, whose 24 bits
    // lie far below what 16-bit output can show.
    static constexpr int BLOCK_CYCLES = 8;
    using BlockRow = std::array<double, BLOCK_CYCLES>;
    using BlockLanes = std::array<float, BLOCK_CYCLES>;

    struct Loop {
        double state1, state2;  // at the block's first cycle
        // Added to the first state at each block's end, alternately a
        // negligible level and 0, so no state decays into denormals during
        // silence.
        double guard;
        BlockLanes inputs;  // the filter's inputs of the block so far, zeros after
        int phase;          // the block's cycles done
        bool routed;        // a voice went into the filter in one of them
    };
    float Direct(float voice1, float voice2, float voice3) const;
    float BlockOutput(const Loop& loop, int cycle, float direct) const;
    void BlockOutputs(const Loop& loop, const float* inputs, const float* direct,
                      float* out) const;
    void NextBlock(Loop& loop, const float* inputs) const;
    float ClockOne(Loop& loop, float direct, float input) const;
    void UpdateResponse();
    void UpdateMix();
    void UpdateBlockOutputs();

    ChipModel model_;
    double clockHz_;
    std::uint16_t cutoffRegister_ = 0;
    std::uint8_t resonanceRouting_ = 0;
    std::uint8_t modeVolume_ = 0;

    // The trapezoidal loop's gains for the current cutoff and resonance.
    double integratorGain_ = 0.0;  // tan(pi * cutoff / clock)
    double damping_ = 0.0;         // 1 / Q
    double a1_ = 0.0, a2_ = 0.0, a3_ = 0.0;

    // What a cycle multiplies: the voices into the filter; the voices into
    // the output, unfiltered at the volume plus what the selected modes pass
    // straight from the filter's input; the states into the output.
    std::array<float, 3> filterGain_{};
    std::array<float, 3> outputGain_{};
    double mixState1_ = 0.0, mixState2_ = 0.0;
    float mixDc_ = 0.0f;
    bool routed_ = false;  // a voice goes into the filter

    // One cycle's step matrix taken to the powers 0 .. BLOCK_CYCLES, and
    // what an input adds after that many further steps.
    std::array<std::array<double, 4>, BLOCK_CYCLES + 1> stepPowers_{};
    std::array<std::array<double, 2>, BLOCK_CYCLES> inputAfter_{};

    // A block's output at its cycle j: the first states times
    // fromState1_/2_[j], plus the inputs of cycle i < j times
    // fromInput_[i][j] (0 where i >= j).
    BlockLanes fromState1_{}, fromState2_{};
    std::array<BlockLanes, BLOCK_CYCLES - 1> fromInput_{};
    // The next block's first states: this block's through the last power,
    // plus the inputs of cycle i times blockInput1_/2_[i].
    BlockRow blockInput1_{}, blockInput2_{};

    Loop loop_{};
};

namespace filter_detail {
constexpr double DENORMAL_GUARD = 1e-18;
}  // namespace filter_detail

// The part of a cycle that does not wait on the states and goes straight
// to the output.
inline float Filter::Direct(float voice1, float voice2, float voice3) const {
    return outputGain_[0] * voice1 + outputGain_[1] * voice2 + outputGain_[2] * voice3 + mixDc_;
}

// One output, the additions in the order BlockOutputs makes them in each of
// its lanes; an input not yet given is 0 and meets a coefficient of 0. With
// no voice routed into the filter in the block so far its input is 0 and is
// left out.
inline float Filter::BlockOutput(const Loop& loop, int cycle, float direct) const {
    const auto j = static_cast<std::size_t>(cycle);
    const auto state1 = static_cast<float>(loop.state1), state2 = static_cast<float>(loop.state2);
    const float fromStates = fromState1_[j] * state1 + fromState2_[j] * state2;
    if (!loop.routed) return direct + fromStates;
    float fromInputs = fromInput_[0][j] * loop.inputs[0];
    for (std::size_t i = 1; i < fromInput_.size(); ++i)
        fromInputs += fromInput_[i][j] * loop.inputs[i];
    return direct + (fromStates + fromInputs);
}

inline float Filter::Clock(float voice1, float voice2, float voice3) {
    float out;
    ClockRun(&voice1, &voice2, &voice3, &out, 1);
    return out;
}

}  // namespace chipbox::sidchip
