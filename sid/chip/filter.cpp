// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "sid/chip/vector_lanes.h"

namespace chipbox::sidchip {
namespace {

constexpr std::uint16_t CUTOFF_MAX = 2047;

// The 8580 steers its integrators from a linear cutoff DAC: it sweeps
// evenly, closes at 0, and all chips sound alike (owners comparing the two
// models, sequencer.de synthesizer forum, "C64 SID MOS6581 vs 6582 vs 8085").
// The range is the data sheet's, "approximately 30 Hz - 12 kHz".
constexpr double CUTOFF_LOW_8580_HZ = 30.0;
constexpr double CUTOFF_HIGH_8580_HZ = 12'000.0;

// The 6581 uses FETs as voltage-controlled resistors, whose resistance
// "varied considerably with processing" (B. Yannes, interview with
// A. Varga), so its cutoff follows them rather than the DAC. The same
// owners report that it never closes and cannot be swept evenly; recorded
// noise sweeps of four real 6581s and three 8580s (M. Boland, "SID filter
// log sweep", November 2024) show the 8580s identical and every 6581
// different. Our curve is a logistic step in log frequency: a floor of a
// few hundred Hz, nearly flat through the low registers, a steep rise in
// the middle, flattening toward the top. Its figures are a typical chip of
// our choosing, not read off one measured specimen.
constexpr double CUTOFF_FLOOR_6581_HZ = 220.0;
constexpr double CUTOFF_CEILING_6581_HZ = 16'000.0;
constexpr double CUTOFF_KNEE_6581 = 1100.0;  // the register at the middle of the rise
constexpr double CUTOFF_KNEE_WIDTH_6581 = 150.0;

// Damping (1/Q) at resonance 0 is a Butterworth response, so the cutoff is
// the -3 dB point. The resonance bits lower it linearly: the 8580 reaches a
// strong peak, Q 4 (+12 dB) at 15; the 6581's inverter stages give a weak
// one, Q 1.5 (+3.5 dB), as the same owners' reports have resonance barely
// audible on it.
constexpr double DAMPING_AT_ZERO = std::numbers::sqrt2;
constexpr double DAMPING_AT_FULL_8580 = 0.25;
constexpr double DAMPING_AT_FULL_6581 = 1.0 / 1.5;

// Keeps the integrator gain finite at any clock: the curve never comes near
// this, but a clock below its range could.
constexpr double MAX_CUTOFF_PER_CLOCK = 0.45;

namespace bits {
constexpr std::uint8_t ROUTE_VOICE1 = 0x01;
constexpr std::uint8_t ROUTE_ANY_VOICE = 0x07;
constexpr std::uint8_t VOLUME = 0x0F;
constexpr std::uint8_t LOW_PASS = 0x10;
constexpr std::uint8_t BAND_PASS = 0x20;
constexpr std::uint8_t HIGH_PASS = 0x40;
constexpr std::uint8_t VOICE3_OFF = 0x80;
}  // namespace bits

double Logistic(double x) { return 1.0 / (1.0 + std::exp(-x)); }

double Cutoff6581Hz(std::uint16_t cutoff) {
    const auto step = [](double r) {
        return Logistic((r - CUTOFF_KNEE_6581) / CUTOFF_KNEE_WIDTH_6581);
    };
    const double bottom = step(0.0);
    const double share = (step(cutoff) - bottom) / (step(CUTOFF_MAX) - bottom);
    return CUTOFF_FLOOR_6581_HZ * std::pow(CUTOFF_CEILING_6581_HZ / CUTOFF_FLOOR_6581_HZ, share);
}

double Cutoff8580Hz(std::uint16_t cutoff) {
    return CUTOFF_LOW_8580_HZ +
           (CUTOFF_HIGH_8580_HZ - CUTOFF_LOW_8580_HZ) * cutoff / double{CUTOFF_MAX};
}

bool IsClockRate(double clockHz) { return std::isfinite(clockHz) && clockHz > 0.0; }

}  // namespace

Filter::Filter(ChipModel model, double clockHz)
    : model_(model), clockHz_(IsClockRate(clockHz) ? clockHz : PAL_CLOCK_HZ) {
    Reset();
}

void Filter::SetClock(double clockHz) {
    if (!IsClockRate(clockHz)) return;
    clockHz_ = clockHz;
    UpdateResponse();
}

void Filter::Reset() {
    cutoffRegister_ = 0;
    resonanceRouting_ = 0;
    modeVolume_ = 0;
    loop_ = Loop{};
    UpdateResponse();
}

void Filter::WriteCutoffLow(std::uint8_t value) {
    cutoffRegister_ = static_cast<std::uint16_t>((cutoffRegister_ & ~0x7u) | (value & 0x7u));
    UpdateResponse();
}

void Filter::WriteCutoffHigh(std::uint8_t value) {
    cutoffRegister_ = static_cast<std::uint16_t>((cutoffRegister_ & 0x7u) | (value << 3));
    UpdateResponse();
}

void Filter::WriteResonanceRouting(std::uint8_t value) {
    resonanceRouting_ = value;
    UpdateResponse();
}

void Filter::WriteModeVolume(std::uint8_t value) {
    modeVolume_ = value;
    UpdateMix();
}

double Filter::CutoffHz() const { return CutoffCurveHz(model_, cutoffRegister_); }

double Filter::CutoffCurveHz(ChipModel model, std::uint16_t cutoffRegister) {
    const auto cutoff = static_cast<std::uint16_t>(cutoffRegister & CUTOFF_MAX);
    return model == ChipModel::Mos6581 ? Cutoff6581Hz(cutoff) : Cutoff8580Hz(cutoff);
}

// The trapezoidal two-integrator loop with states s1 (band-pass integrator)
// and s2 (low-pass integrator), input x, g the integrator gain, k the
// damping:
//   band = a1 s1 + a2 (x - s2),  low = s2 + a2 s1 + a3 (x - s2),
//   high = x - k band - low,     s1' = 2 band - s1,  s2' = 2 low - s2,
// with a1 = 1 / (1 + g (g + k)), a2 = g a1, a3 = g a2. Written out in s1, s2
// and x, each is one row of coefficients; a cycle is s' = A s + b x.
void Filter::UpdateResponse() {
    const double cutoffHz = std::min(CutoffHz(), MAX_CUTOFF_PER_CLOCK * clockHz_);
    integratorGain_ = std::tan(std::numbers::pi * cutoffHz / clockHz_);
    const double resonance = (resonanceRouting_ >> 4) / 15.0;
    const double dampingAtFull =
        model_ == ChipModel::Mos6581 ? DAMPING_AT_FULL_6581 : DAMPING_AT_FULL_8580;
    damping_ = DAMPING_AT_ZERO + (dampingAtFull - DAMPING_AT_ZERO) * resonance;

    const double g = integratorGain_;
    a1_ = 1.0 / (1.0 + g * (g + damping_));
    a2_ = g * a1_;
    a3_ = g * a2_;
    const std::array<double, 4> step = {2.0 * a1_ - 1.0, -2.0 * a2_, 2.0 * a2_,
                                        1.0 - 2.0 * a3_};
    const std::array<double, 2> input = {2.0 * a2_, 2.0 * a3_};

    stepPowers_[0] = {1.0, 0.0, 0.0, 1.0};
    inputAfter_[0] = input;
    for (std::size_t n = 1; n < stepPowers_.size(); ++n) {
        const auto& p = stepPowers_[n - 1];
        stepPowers_[n] = {step[0] * p[0] + step[1] * p[2], step[0] * p[1] + step[1] * p[3],
                          step[2] * p[0] + step[3] * p[2], step[2] * p[1] + step[3] * p[3]};
    }
    for (std::size_t n = 1; n < inputAfter_.size(); ++n) {
        const auto& u = inputAfter_[n - 1];
        inputAfter_[n] = {step[0] * u[0] + step[1] * u[1], step[2] * u[0] + step[3] * u[1]};
    }
    for (std::size_t i = 0; i < BLOCK_CYCLES; ++i) {
        blockInput1_[i] = inputAfter_[BLOCK_CYCLES - 1 - i][0];
        blockInput2_[i] = inputAfter_[BLOCK_CYCLES - 1 - i][1];
    }
    UpdateMix();
}

void Filter::UpdateMix() {
    const double volume = (modeVolume_ & bits::VOLUME) / 15.0;
    const bool voice3Off = modeVolume_ & bits::VOICE3_OFF;
    // Each output's row: coefficient of s1, of s2, of x.
    const double k = damping_;
    const std::array<double, 3> band = {a1_, -a2_, a2_};
    const std::array<double, 3> low = {a2_, 1.0 - a3_, a3_};
    const std::array<double, 3> high = {-k * band[0] - low[0], -k * band[1] - low[1],
                                        1.0 - k * band[2] - low[2]};
    std::array<double, 3> mix{};
    for (int i = 0; i < 3; ++i) {
        if (modeVolume_ & bits::LOW_PASS) mix[i] += low[i];
        if (modeVolume_ & bits::BAND_PASS) mix[i] += band[i];
        if (modeVolume_ & bits::HIGH_PASS) mix[i] += high[i];
    }
    mixState1_ = volume * mix[0];
    mixState2_ = volume * mix[1];
    for (int v = 0; v < 3; ++v) {
        const bool routed = resonanceRouting_ & (bits::ROUTE_VOICE1 << v);
        const bool silenced = v == 2 && voice3Off && !routed;
        filterGain_[v] = routed ? 1.0f : 0.0f;
        outputGain_[v] = static_cast<float>(routed ? volume * mix[2] : silenced ? 0.0 : volume);
    }
    routed_ = resonanceRouting_ & bits::ROUTE_ANY_VOICE;
    mixDc_ = static_cast<float>(volume *
                                (model_ == ChipModel::Mos6581 ? MIXER_DC_6581 : MIXER_DC_8580));
    UpdateBlockOutputs();
}

// The output at a block's cycle j is the mix of the states j cycles on:
// m A^j times the first states, and m A^(j-1-i) b times the input of
// each earlier cycle i.
void Filter::UpdateBlockOutputs() {
    for (std::size_t j = 0; j < BLOCK_CYCLES; ++j) {
        const auto& p = stepPowers_[j];
        fromState1_[j] = static_cast<float>(mixState1_ * p[0] + mixState2_ * p[2]);
        fromState2_[j] = static_cast<float>(mixState1_ * p[1] + mixState2_ * p[3]);
    }
    for (std::size_t i = 0; i < fromInput_.size(); ++i) {
        for (std::size_t j = 0; j < BLOCK_CYCLES; ++j) {
            if (j <= i) {
                fromInput_[i][j] = 0.0f;
                continue;
            }
            const auto& u = inputAfter_[j - 1 - i];
            fromInput_[i][j] = static_cast<float>(mixState1_ * u[0] + mixState2_ * u[1]);
        }
    }
}

namespace {

// A block's eight cycles side by side; each lane computes what one cycle
// would alone, in the same order.
struct Eight {
    EightFloats lanes;
    CHIPBOX_INLINE_INTO_CLONES explicit Eight(const float* row) { LoadLanes(lanes, row); }
};

}  // namespace

// Each lane adds in BlockOutput's order, so a block made here and one made
// a cycle at a time agree.
CHIPBOX_INLINE_INTO_CLONES void Filter::BlockOutputs(const Loop& loop, const float* inputs,
                                                     const float* direct, float* out) const {
    const auto state1 = static_cast<float>(loop.state1), state2 = static_cast<float>(loop.state2);
    const EightFloats fromStates =
        Eight(fromState1_.data()).lanes * state1 + Eight(fromState2_.data()).lanes * state2;
    EightFloats output;
    if (routed_) {
        EightFloats fromInputs = Eight(fromInput_[0].data()).lanes * inputs[0];
        for (std::size_t i = 1; i < fromInput_.size(); ++i)
            fromInputs += Eight(fromInput_[i].data()).lanes * inputs[i];
        output = Eight(direct).lanes + (fromStates + fromInputs);
    } else {
        output = Eight(direct).lanes + fromStates;
    }
    std::memcpy(out, &output, sizeof output);
}

namespace {

// A block's inputs, cycles 0-3 and 4-7, as doubles.
struct BlockInputs {
    FourDoubles early, late;
    CHIPBOX_INLINE_INTO_CLONES explicit BlockInputs(const float* inputs) {
        FourFloats early4, late4;
        LoadLanes(early4, inputs);
        LoadLanes(late4, inputs + 4);
        early = __builtin_convertvector(early4, FourDoubles);
        late = __builtin_convertvector(late4, FourDoubles);
    }
};

// A block's inputs weighed, in a fixed order of four pairs (cycle l with
// cycle l + 4), the pairs side by side.
CHIPBOX_INLINE_INTO_CLONES double WeighBlock(const std::array<double, 8>& weights,
                                             const BlockInputs& inputs) {
    FourDoubles early, late;
    LoadLanes(early, weights.data());
    LoadLanes(late, weights.data() + 4);
    const FourDoubles pairs = early * inputs.early + late * inputs.late;
    return (pairs[0] + pairs[2]) + (pairs[1] + pairs[3]);
}

}  // namespace

CHIPBOX_INLINE_INTO_CLONES void Filter::NextBlock(Loop& loop, const float* inputs) const {
    static_assert(BLOCK_CYCLES == 8);
    const auto& p = stepPowers_[BLOCK_CYCLES];
    loop.guard = filter_detail::DENORMAL_GUARD - loop.guard;
    // Routing switched off in the block keeps what went in before.
    const bool routed = routed_ || loop.routed;
    loop.routed = false;
    double input1 = 0.0, input2 = 0.0;
    if (routed) {
        const BlockInputs weighed(inputs);
        input1 = WeighBlock(blockInput1_, weighed);
        input2 = WeighBlock(blockInput2_, weighed);
    }
    const double next1 = (p[0] * loop.state1 + p[1] * loop.state2) + (input1 + loop.guard);
    loop.state2 = (p[2] * loop.state1 + p[3] * loop.state2) + input2;
    loop.state1 = next1;
}

CHIPBOX_INLINE_INTO_CLONES float Filter::ClockOne(Loop& loop, float direct, float input) const {
    loop.inputs[static_cast<std::size_t>(loop.phase)] = input;
    loop.routed = loop.routed || routed_;
    const float output = BlockOutput(loop, loop.phase, direct);
    if (++loop.phase == BLOCK_CYCLES) {
        NextBlock(loop, loop.inputs.data());
        loop.inputs.fill(0.0f);
        loop.phase = 0;
    }
    return output;
}

// A voice goes into the filter whole or not at all (its filter gain is 1
// or 0), so the filter's input is the routed voices added in voice order.
CHIPBOX_VECTOR_CLONES void Filter::Mix(const float* voice1, const float* voice2,
                                       const float* voice3, float* direct, float* input,
                                       std::size_t count) const {
    for (std::size_t k = 0; k < count; ++k) direct[k] = Direct(voice1[k], voice2[k], voice3[k]);
    const std::array<const float*, 3> voices = {voice1, voice2, voice3};
    std::array<const float*, 3> routed{};
    std::size_t routedCount = 0;
    for (std::size_t v = 0; v < 3; ++v)
        if (filterGain_[v] != 0.0f) routed[routedCount++] = voices[v];
    switch (routedCount) {
        case 0: std::fill(input, input + count, 0.0f); break;
        case 1: std::copy(routed[0], routed[0] + count, input); break;
        case 2:
            for (std::size_t k = 0; k < count; ++k) input[k] = routed[0][k] + routed[1][k];
            break;
        default:
            for (std::size_t k = 0; k < count; ++k)
                input[k] = (routed[0][k] + routed[1][k]) + routed[2][k];
            break;
    }
}

// Whole blocks at once, and cycle by cycle where a block is begun or left
// unfinished: the same values either way.
CHIPBOX_VECTOR_CLONES void Filter::ClockMixed(const float* direct, const float* input, float* out,
                                              std::size_t count) {
    Loop loop = loop_;
    std::size_t k = 0;
    for (; k < count && loop.phase != 0; ++k) out[k] = ClockOne(loop, direct[k], input[k]);
    for (; k + BLOCK_CYCLES <= count; k += BLOCK_CYCLES) {
        BlockOutputs(loop, &input[k], &direct[k], &out[k]);
        NextBlock(loop, &input[k]);
    }
    for (; k < count; ++k) out[k] = ClockOne(loop, direct[k], input[k]);
    loop_ = loop;
}

void Filter::ClockRun(const float* voice1, const float* voice2, const float* voice3, float* out,
                      std::size_t count) {
    constexpr std::size_t STRETCH = 256;
    for (std::size_t start = 0; start < count; start += STRETCH) {
        const std::size_t n = std::min(STRETCH, count - start);
        float direct[STRETCH], input[STRETCH];
        Mix(voice1 + start, voice2 + start, voice3 + start, direct, input, n);
        ClockMixed(direct, input, out + start, n);
    }
}

}  // namespace chipbox::sidchip
