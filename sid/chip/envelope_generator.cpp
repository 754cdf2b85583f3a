// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/envelope_generator.h"

#include <array>
#include <cstddef>

namespace chipbox::sidchip {

namespace {

// The prescaler is a 15-bit maximal-length shift register, so it runs through
// 32,767 states, not 32,768. Counting its shifts since the last restart
// matches exactly when the register does.
constexpr std::uint32_t PRESCALER_STATES = 32'767;

// Cycles per prescaler period for rates 0 to 15. Shifting the register (all
// ones, feedback from its two top bits) to each value of the die's compare
// table (read from die photographs by Kevin Horton and Jonathan Gevaryahu,
// 2008) takes period - 1 shifts; the restart takes the period's last cycle.
// 255 of these come close to the data sheet's attack times (2 ms to 8 s at
// 1 MHz).
constexpr std::array<std::uint32_t, 16> RATE_PERIODS = {
    9, 32, 63, 95, 149, 220, 267, 313, 392, 977, 1'954, 3'126, 3'907, 11'720, 19'532, 31'251,
};

constexpr std::uint8_t GATE = 0x01;
constexpr std::uint8_t FULL = 0xFF;

// The exponential divider's period once the counter shows `value`. The die
// compares the counter with seven values, each of which sets its own RS
// flip-flop and clears its neighbours' (Frank Wolf's reading of the 6581
// die, 2010), so between them the divider keeps the period of the last one
// touched, whichever way the counter was going.
std::uint8_t DividerPeriodAt(std::uint8_t value, std::uint8_t current) {
    switch (value) {
        case 0xFF: return 1;
        case 0x5D: return 2;
        case 0x36: return 4;
        case 0x1A: return 8;
        case 0x0E: return 16;
        case 0x06: return 30;
        case 0x00: return 1;
        default: return current;
    }
}

// Cycles from a prescaler at `position` to the cycle that ends its period at
// `comparePoint`, that cycle included; past the point it first runs round.
std::uint32_t CyclesToComparePoint(std::uint32_t position, std::uint32_t comparePoint) {
    if (position <= comparePoint) return comparePoint - position + 1;
    return PRESCALER_STATES - position + comparePoint + 1;
}

std::uint32_t ComparePoint(std::uint8_t rate) { return RATE_PERIODS[rate] - 1; }

// Whole periods in a run without a divide instruction: n * ceil(2^40 / period)
// >> 40 is exact while n * period stays below 2^40, so for any run under 2^20
// cycles. Longer runs divide.
constexpr int RECIPROCAL_SHIFT = 40;
constexpr std::uint32_t RECIPROCAL_RUN_LIMIT = 1u << 20;
constexpr std::array<std::uint64_t, 16> RECIPROCALS = [] {
    std::array<std::uint64_t, 16> reciprocals{};
    for (std::size_t rate = 0; rate < reciprocals.size(); ++rate) {
        const std::uint64_t period = RATE_PERIODS[rate];
        reciprocals[rate] = ((std::uint64_t{1} << RECIPROCAL_SHIFT) + period - 1) / period;
    }
    return reciprocals;
}();

std::uint32_t WholePeriods(std::uint32_t cycles, std::uint8_t rate) {
    if (cycles >= RECIPROCAL_RUN_LIMIT) return cycles / RATE_PERIODS[rate];
    return static_cast<std::uint32_t>((cycles * RECIPROCALS[rate]) >> RECIPROCAL_SHIFT);
}

// The divider's periods are powers of two but for 30, so a held counter's
// divider runs round without a divide instruction either.
std::uint32_t DividerRemainder(std::uint32_t count, std::uint8_t period) {
    return period == 30 ? count % 30 : count & (period - 1u);
}

}  // namespace

void EnvelopeGenerator::Reset() { *this = EnvelopeGenerator{}; }

void EnvelopeGenerator::WriteControl(std::uint8_t control) {
    const bool gate = (control & GATE) != 0;
    if (gate == gate_) return;
    gate_ = gate;
    gateJustRose_ = false;
    if (!gate) {
        phase_ = Phase::Release;
        return;
    }
    // The counter's $FF detector ends an attack whenever it sees $FF, so an
    // attack that starts there is a decay from the first cycle: the counter
    // never wraps to 0.
    if (counter_ == FULL) {
        phase_ = Phase::DecaySustain;
        return;
    }
    phase_ = Phase::Attack;
    gateJustRose_ = true;
}

void EnvelopeGenerator::WriteAttackDecay(std::uint8_t value) {
    attack_ = value >> 4;
    decay_ = value & 0x0F;
}

void EnvelopeGenerator::WriteSustainRelease(std::uint8_t value) {
    sustainLevel_ = static_cast<std::uint8_t>((value >> 4) * 0x11);
    release_ = value & 0x0F;
}

std::uint8_t EnvelopeGenerator::RateInUse() const {
    switch (phase_) {
        case Phase::Attack: return attack_;
        case Phase::DecaySustain: return decay_;
        default: return release_;
    }
}

// The sustain comparator only acts in decay; the zero detector stops the
// count down in decay and release alike.
bool EnvelopeGenerator::Holding() const {
    return counter_ == 0 || (phase_ == Phase::DecaySustain && counter_ == sustainLevel_);
}

void EnvelopeGenerator::MoveCounterTo(std::uint8_t value) {
    counter_ = value;
    dividerPeriod_ = DividerPeriodAt(value, dividerPeriod_);
}

// The prescaler has just restarted. Attack steps on every period; decay and
// release on every dividerPeriod_-th, unless held. The divider runs on while
// the counter is held, so a sustain change takes up its count where it is.
void EnvelopeGenerator::EndPeriod() {
    if (phase_ == Phase::Attack) {
        dividerCount_ = 0;
        MoveCounterTo(static_cast<std::uint8_t>(counter_ + 1));
        if (counter_ == FULL) phase_ = Phase::DecaySustain;
        return;
    }
    if (++dividerCount_ < dividerPeriod_) return;
    dividerCount_ = 0;
    if (!Holding()) MoveCounterTo(static_cast<std::uint8_t>(counter_ - 1));
}

// The rate gates follow the direction flip-flop, which takes a cycle to
// follow a rising gate, so that cycle still compares the decay rate (the die
// schematics of Leandro Nini and ttlworks, 2016-2021).
void EnvelopeGenerator::Clock() {
    const std::uint8_t rate = gateJustRose_ ? decay_ : RateInUse();
    gateJustRose_ = false;
    if (prescaler_ != ComparePoint(rate)) {
        prescaler_ =
            static_cast<std::uint16_t>(prescaler_ + 1 == PRESCALER_STATES ? 0 : prescaler_ + 1);
        return;
    }
    prescaler_ = 0;
    EndPeriod();
}

std::uint32_t EnvelopeGenerator::CyclesToNextPeriodEnd() const {
    if (!gateJustRose_) return CyclesToComparePoint(prescaler_, ComparePoint(RateInUse()));
    if (prescaler_ == ComparePoint(decay_)) return 1;
    const std::uint32_t next = prescaler_ + 1 == PRESCALER_STATES ? 0 : prescaler_ + 1;
    return 1 + CyclesToComparePoint(next, ComparePoint(attack_));
}

// 0 when no number of periods moves the counter.
std::uint32_t EnvelopeGenerator::PeriodsToNextStep() const {
    if (phase_ == Phase::Attack) return 1;
    if (Holding()) return 0;
    return static_cast<std::uint32_t>(dividerPeriod_ - dividerCount_);
}

std::uint32_t EnvelopeGenerator::CyclesUntilOutputMayChange() const {
    const std::uint32_t periods = PeriodsToNextStep();
    if (periods == 0) return NEVER;
    return CyclesToNextPeriodEnd() + (periods - 1) * RATE_PERIODS[RateInUse()];
}

// Most runs end inside a prescaler period: only the prescaler moves.
void EnvelopeGenerator::Clock(std::uint32_t cycles) {
    if (!gateJustRose_) {
        const std::uint32_t toPeriodEnd =
            CyclesToComparePoint(prescaler_, ComparePoint(RateInUse()));
        if (cycles < toPeriodEnd) {
            const std::uint32_t position = prescaler_ + cycles;
            prescaler_ = static_cast<std::uint16_t>(
                position >= PRESCALER_STATES ? position - PRESCALER_STATES : position);
            return;
        }
    }
    ClockThroughPeriodEnds(cycles);
}

// Jumps from step to step: each pass ends at a step of the counter or at the
// end of the run, and the periods between steps are counted, not run.
void EnvelopeGenerator::ClockThroughPeriodEnds(std::uint32_t cycles) {
    if (cycles == 0) return;
    if (gateJustRose_) {
        Clock();
        --cycles;
    }
    while (cycles > 0) {
        const std::uint8_t rate = RateInUse();
        const std::uint32_t period = RATE_PERIODS[rate];
        const std::uint32_t toPeriodEnd = CyclesToComparePoint(prescaler_, period - 1);
        if (cycles < toPeriodEnd) {
            prescaler_ = static_cast<std::uint16_t>((prescaler_ + cycles) % PRESCALER_STATES);
            return;
        }
        cycles -= toPeriodEnd;
        const std::uint32_t laterEnds = WholePeriods(cycles, rate);
        const std::uint32_t toStep = PeriodsToNextStep();
        if (toStep == 0 || laterEnds + 1 < toStep) {
            prescaler_ = static_cast<std::uint16_t>(cycles - laterEnds * period);
            const std::uint32_t count = dividerCount_ + laterEnds + 1;
            dividerCount_ = static_cast<std::uint8_t>(
                toStep == 0 ? DividerRemainder(count, dividerPeriod_) : count);
            return;
        }
        cycles -= (toStep - 1) * period;
        dividerCount_ = static_cast<std::uint8_t>(dividerCount_ + toStep - 1);
        prescaler_ = 0;
        EndPeriod();
    }
}

}  // namespace chipbox::sidchip
