// SPDX-License-Identifier: GPL-2.0-or-later
// One voice's envelope generator, cycle by cycle, as the die builds it: a
// 15-bit prescaler that divides the clock by the rate in use, an exponential
// divider that slows decay and release further at fixed counter values, and
// the 8-bit up/down counter whose value is both the voice's amplitude and
// what ENV3 reads. The 6581 and the 8580 share this circuit.
//
// What the die shows and this keeps:
// - The prescaler only restarts when it reaches the rate's compare point, so
//   a rate written below its position makes it run through all its states
//   first (the ADSR delay).
// - Gate on starts the attack from the counter's value, gate off the release,
//   at once. For the first cycle after gate on the decay rate is still the one
//   compared, as the direction line lags the gate by a cycle.
// - The exponential divider remembers the last threshold the counter touched
//   in any phase; it is not a function of the counter's value alone.
// - Decay holds while the counter equals the sustain level; decay and release
//   stop at zero and stay there until the next attack.
//
// Threads: the thread that runs the chip.
#pragma once

#include <cstdint>
#include <limits>

namespace chipbox::sidchip {

class EnvelopeGenerator {
public:
    // What CyclesUntilOutputMayChange() answers when only a register write
    // can move the counter.
    static constexpr std::uint32_t NEVER = std::numeric_limits<std::uint32_t>::max();

    void Reset();                             // power-on state
    void WriteControl(std::uint8_t control);  // the voice's control register; bit 0 is the gate
    void WriteAttackDecay(std::uint8_t value);
    void WriteSustainRelease(std::uint8_t value);
    void Clock();                      // one machine cycle
    void Clock(std::uint32_t cycles);  // the same as `cycles` calls of Clock(), but fast
    // At least 1: the output stays as it is for this many cycles from now
    // (Clock(k) with k smaller than this leaves Output() unchanged). Exact:
    // unless it is NEVER, the output changes on that cycle.
    std::uint32_t CyclesUntilOutputMayChange() const;
    std::uint8_t Output() const { return counter_; }  // what ENV3 reads and the envelope DAC gets

private:
    enum class Phase : std::uint8_t { Attack, DecaySustain, Release };

    std::uint8_t RateInUse() const;
    bool Holding() const;
    std::uint32_t CyclesToNextPeriodEnd() const;
    std::uint32_t PeriodsToNextStep() const;
    void ClockThroughPeriodEnds(std::uint32_t cycles);
    void EndPeriod();
    void MoveCounterTo(std::uint8_t value);

    std::uint16_t prescaler_ = 0;     // steps since the prescaler last restarted
    std::uint8_t dividerCount_ = 0;   // prescaler periods counted towards the next step
    std::uint8_t dividerPeriod_ = 1;  // prescaler periods per step in decay and release
    std::uint8_t counter_ = 0;
    Phase phase_ = Phase::Release;
    bool gate_ = false;
    bool gateJustRose_ = false;  // the next cycle still compares the decay rate
    std::uint8_t attack_ = 0;
    std::uint8_t decay_ = 0;
    std::uint8_t sustainLevel_ = 0;  // the sustain nibble in both halves
    std::uint8_t release_ = 0;
};

}  // namespace chipbox::sidchip
