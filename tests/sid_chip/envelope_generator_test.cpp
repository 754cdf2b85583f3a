// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/envelope_generator.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace chipbox::sidchip {
namespace {

// Cycles per prescaler period for rates 0 to 15: the die's compare table as
// Kevin Horton and Jonathan Gevaryahu read it (2008).
constexpr std::array<std::uint32_t, 16> PERIODS = {
    9, 32, 63, 95, 149, 220, 267, 313, 392, 977, 1954, 3126, 3907, 11720, 19532, 31251,
};
// The data sheet's full attack times at 1 MHz; decay and release take three
// times as long.
constexpr std::array<double, 16> DATA_SHEET_ATTACK_MS = {
    2, 8, 16, 24, 38, 56, 68, 80, 100, 250, 500, 800, 1000, 3000, 5000, 8000,
};
// The prescaler is a 15-bit maximal-length shift register.
constexpr std::uint32_t PRESCALER_STATES = (1u << 15) - 1;
constexpr std::uint8_t GATE = 0x01;

// Prescaler periods per step down from `value`: the die's divider slows the
// count at $5D, $36, $1A, $0E and $06, to 2, 4, 8, 16 and 30 periods.
std::uint32_t PeriodsPerStepDownFrom(int value) {
    struct Zone {
        int lowest;
        std::uint32_t periods;
    };
    constexpr Zone zones[] = {{0x5E, 1}, {0x37, 2}, {0x1B, 4}, {0x0F, 8}, {0x07, 16}, {0x01, 30}};
    for (const Zone& zone : zones) {
        if (value >= zone.lowest) return zone.periods;
    }
    return 0;
}

EnvelopeGenerator Generator(std::uint8_t attackDecay, std::uint8_t sustainRelease) {
    EnvelopeGenerator env;
    env.Reset();
    env.WriteAttackDecay(attackDecay);
    env.WriteSustainRelease(sustainRelease);
    return env;
}

// Single cycles until the output changes: their number, or limit + 1.
std::uint64_t CyclesToChange(EnvelopeGenerator& env, std::uint64_t limit) {
    const std::uint8_t start = env.Output();
    for (std::uint64_t n = 1; n <= limit; ++n) {
        env.Clock();
        if (env.Output() != start) return n;
    }
    return limit + 1;
}

// The cycles between the output's changes until it shows `target`.
std::vector<std::uint64_t> StepTimes(EnvelopeGenerator& env, int target, std::uint64_t limit) {
    std::vector<std::uint64_t> times;
    while (env.Output() != target && times.size() < 256) {
        times.push_back(CyclesToChange(env, limit));
        if (times.back() > limit) break;
    }
    return times;
}

std::uint64_t Sum(const std::vector<std::uint64_t>& values) {
    std::uint64_t sum = 0;
    for (std::uint64_t v : values) sum += v;
    return sum;
}

TEST(EnvelopeTiming, AttackTakes255PeriodsAtEveryRate) {
    for (int rate = 0; rate < 16; ++rate) {
        SCOPED_TRACE(rate);
        EnvelopeGenerator env = Generator(static_cast<std::uint8_t>(rate << 4), 0xF0);
        env.WriteControl(GATE);
        const std::vector<std::uint64_t> times = StepTimes(env, 0xFF, PERIODS[rate] + 1);
        EXPECT_EQ(times, std::vector<std::uint64_t>(255, PERIODS[rate]));
        EXPECT_NEAR(Sum(times) / 1000.0, DATA_SHEET_ATTACK_MS[rate],
                    0.15 * DATA_SHEET_ATTACK_MS[rate]);
    }
}

TEST(EnvelopeTiming, DecaySlowsDownAtTheDividerThresholds) {
    for (int rate = 0; rate < 16; ++rate) {
        SCOPED_TRACE(rate);
        EnvelopeGenerator env = Generator(static_cast<std::uint8_t>(rate), 0x00);
        env.WriteControl(GATE);
        env.Clock(255 * PERIODS[0]);
        ASSERT_EQ(env.Output(), 0xFF);
        std::vector<std::uint64_t> expected;
        for (int value = 0xFF; value > 0; --value) {
            expected.push_back(PeriodsPerStepDownFrom(value) * PERIODS[rate]);
        }
        const std::vector<std::uint64_t> times = StepTimes(env, 0, 30 * PERIODS[rate] + 1);
        EXPECT_EQ(times, expected);
        EXPECT_NEAR(Sum(times) / 1000.0, 3 * DATA_SHEET_ATTACK_MS[rate],
                    0.15 * 3 * DATA_SHEET_ATTACK_MS[rate]);
    }
}

TEST(EnvelopeTiming, ReleaseFollowsTheSameCurveAndStaysAtZero) {
    // Decay and release at the same rate: the prescaler runs on across the
    // gate, so only the first release step comes early.
    EnvelopeGenerator env = Generator(0x04, 0xA4);
    env.WriteControl(GATE);
    env.Clock(500'000);
    ASSERT_EQ(env.Output(), 0xAA);
    env.WriteControl(0);
    const std::vector<std::uint64_t> times = StepTimes(env, 0, 30 * PERIODS[4] + 1);
    ASSERT_EQ(times.size(), 0xAAu);
    EXPECT_LE(times[0], PERIODS[4]);
    for (int value = 0xA9; value > 0; --value) {
        EXPECT_EQ(times[0xAA - value], PeriodsPerStepDownFrom(value) * PERIODS[4]) << value;
    }
    // Frozen: no wrap to $FF, whatever the rates and the sustain level do.
    env.WriteSustainRelease(0xF0);
    EXPECT_GT(CyclesToChange(env, 3 * PRESCALER_STATES), 3 * PRESCALER_STATES);
    env.WriteAttackDecay(0xFF);
    EXPECT_GT(CyclesToChange(env, 3 * PRESCALER_STATES), 3 * PRESCALER_STATES);
    EXPECT_EQ(env.Output(), 0);
}

TEST(EnvelopeTiming, FirstStepWaitsForTheRestOfThePrescalerPeriod) {
    EnvelopeGenerator env = Generator(0x20, 0x00);
    env.Clock(1000);  // released at zero; the prescaler runs at release rate 0
    env.WriteControl(GATE);
    EXPECT_EQ(CyclesToChange(env, PERIODS[2]), PERIODS[2] - 1000 % PERIODS[0]);
}

// The direction line lags the gate by a cycle, so the cycle after gate on
// still compares the decay rate.
TEST(EnvelopeTiming, FirstCycleAfterGateOnComparesTheDecayRate) {
    EnvelopeGenerator matching = Generator(0xF1, 0x0F);
    matching.Clock(PERIODS[1] - 1);  // where decay rate 1's period ends
    matching.WriteControl(GATE);
    matching.Clock();
    EXPECT_EQ(matching.Output(), 1);

    EnvelopeGenerator other = Generator(0xF2, 0x0F);
    other.Clock(PERIODS[1] - 1);
    other.WriteControl(GATE);
    EXPECT_EQ(CyclesToChange(other, PERIODS[15]), PERIODS[15] - (PERIODS[1] - 1));
}

// A rate lowered below where the prescaler stands waits for it to run
// round its states; one raised above ends its period on time.
TEST(EnvelopeDelay, ARateChangeWaitsForThePrescalerToReachTheNewPeriod) {
    EnvelopeGenerator lowered = Generator(0xF0, 0x00);
    lowered.WriteControl(GATE);
    lowered.Clock(100);
    lowered.WriteAttackDecay(0x00);
    EXPECT_EQ(CyclesToChange(lowered, PRESCALER_STATES + PERIODS[0]),
              PRESCALER_STATES - 100 + PERIODS[0]);
    EXPECT_EQ(lowered.Output(), 1);
    EXPECT_EQ(CyclesToChange(lowered, PERIODS[0]), PERIODS[0]);

    EnvelopeGenerator raised = Generator(0x00, 0x00);
    raised.WriteControl(GATE);
    raised.Clock(5);
    raised.WriteAttackDecay(0xF0);
    EXPECT_EQ(CyclesToChange(raised, PERIODS[15]), PERIODS[15] - 5);
}

TEST(EnvelopeSustain, DecayHoldsAtTheNibbleTimes17) {
    for (int sustain = 0; sustain < 16; ++sustain) {
        SCOPED_TRACE(sustain);
        EnvelopeGenerator env = Generator(0x00, static_cast<std::uint8_t>(sustain << 4));
        env.WriteControl(GATE);
        env.Clock(1'000'000);
        EXPECT_EQ(env.Output(), sustain * 17);
        EXPECT_GT(CyclesToChange(env, 100'000), 100'000u);
    }
}

TEST(EnvelopeSustain, ChangeWhileHoldingMovesOnDownOnly) {
    EnvelopeGenerator env = Generator(0x00, 0x80);
    env.WriteControl(GATE);
    env.Clock(100'000);
    ASSERT_EQ(env.Output(), 0x88);
    env.WriteSustainRelease(0x40);  // lower: decays on to the new level
    env.Clock(100'000);
    EXPECT_EQ(env.Output(), 0x44);
    env.WriteSustainRelease(0xC0);  // higher: the comparator never matches on the way down
    env.Clock(100'000);
    EXPECT_EQ(env.Output(), 0);
}

TEST(EnvelopeGate, OffMidAttackReleasesFromThereWithTheLastThreshold) {
    EnvelopeGenerator env = Generator(0x20, 0x03);
    env.WriteControl(GATE);
    env.Clock(100 * PERIODS[2]);
    ASSERT_EQ(env.Output(), 100);
    env.WriteControl(0);
    // Above $5D, but $5D was the divider's last threshold: two periods a step.
    EXPECT_EQ(CyclesToChange(env, 2 * PERIODS[3]), 2 * PERIODS[3]);
    EXPECT_EQ(env.Output(), 99);
    EXPECT_EQ(CyclesToChange(env, 2 * PERIODS[3]), 2 * PERIODS[3]);
    EXPECT_EQ(env.Output(), 98);
}

TEST(EnvelopeGate, OnMidReleaseAttacksFromThere) {
    EnvelopeGenerator env = Generator(0x10, 0xF0);
    env.WriteControl(GATE);
    env.Clock(255 * PERIODS[1]);
    ASSERT_EQ(env.Output(), 0xFF);
    env.WriteControl(0);
    env.Clock(50 * PERIODS[0]);
    ASSERT_EQ(env.Output(), 205);
    env.WriteControl(GATE);
    EXPECT_EQ(StepTimes(env, 0xFF, PERIODS[1]), std::vector<std::uint64_t>(50, PERIODS[1]));
    EXPECT_GT(CyclesToChange(env, 100'000), 100'000u);  // held at sustain $FF
}

TEST(EnvelopeGate, OnAtFullScaleGoesStraightToDecay) {
    EnvelopeGenerator env = Generator(0x00, 0x00);
    env.WriteControl(GATE);
    env.Clock(255 * PERIODS[0]);
    env.WriteControl(0);
    env.WriteControl(GATE);
    EXPECT_EQ(CyclesToChange(env, PERIODS[0]), PERIODS[0]);
    EXPECT_EQ(env.Output(), 0xFE);
}

// Random writes at random moments, with rates biased low so the counter
// moves a lot and rate changes often leave the prescaler past its new end.
class RandomSession {
public:
    explicit RandomSession(std::uint32_t seed) : random_(seed) {}

    void Write(EnvelopeGenerator& a, EnvelopeGenerator& b) {
        const std::uint32_t kind = Below(4);
        const auto value = static_cast<std::uint8_t>(Below(2) ? Below(256) : Below(256) & 0x33);
        if (kind < 2) {
            a.WriteControl(value);
            b.WriteControl(value);
        } else if (kind == 2) {
            a.WriteAttackDecay(value);
            b.WriteAttackDecay(value);
        } else {
            a.WriteSustainRelease(value);
            b.WriteSustainRelease(value);
        }
    }

    std::uint32_t RunLength() {
        constexpr std::array<std::uint32_t, 4> limits = {20, 400, 40'000, 300'000};
        return Below(limits[Below(4)] + 1);
    }

    // Runs of a million cycles and more, where the quotients are divided.
    std::uint32_t LongRunLength() { return (1u << 20) + Below(3u << 20); }

    std::uint32_t Below(std::uint32_t n) {
        return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(random_);
    }

private:
    std::mt19937 random_;
};

// `ops` random writes, each followed by a run of Clock(n) against n single
// cycles; the cycles run in all.
template <class Length>
std::uint64_t ExpectRunsMatchSingleCycles(std::uint32_t seed, int ops, Length length) {
    SCOPED_TRACE(seed);
    RandomSession session(seed);
    EnvelopeGenerator runs, single;
    runs.Reset();
    single.Reset();
    std::uint64_t cycles = 0;
    for (int op = 0; op < ops; ++op) {
        session.Write(runs, single);
        const std::uint32_t n = length(session);
        runs.Clock(n);
        for (std::uint32_t i = 0; i < n; ++i) single.Clock();
        cycles += n;
        EXPECT_EQ(runs.Output(), single.Output()) << op;
        EXPECT_EQ(runs.CyclesUntilOutputMayChange(), single.CyclesUntilOutputMayChange()) << op;
        if (::testing::Test::HasFailure()) break;
    }
    return cycles;
}

TEST(EnvelopeRuns, RunsShortAndLongMatchSingleCycles) {
    std::uint64_t cycles = 0;
    for (std::uint32_t seed = 1; seed <= 4; ++seed)
        cycles +=
            ExpectRunsMatchSingleCycles(seed, 1000, [](RandomSession& s) { return s.RunLength(); });
    EXPECT_GT(cycles, 10'000'000u);
    ExpectRunsMatchSingleCycles(5, 40, [](RandomSession& s) { return s.LongRunLength(); });
}

TEST(EnvelopeRuns, CyclesUntilOutputMayChangeIsExact) {
    RandomSession session(99);
    EnvelopeGenerator env, shadow;
    env.Reset();
    shadow.Reset();
    int checked = 0;
    for (int op = 0; op < 3000; ++op) {
        session.Write(env, shadow);
        const std::uint32_t until = env.CyclesUntilOutputMayChange();
        ASSERT_GE(until, 1u);
        const std::uint8_t before = env.Output();
        if (until == EnvelopeGenerator::NEVER) {
            ASSERT_GT(CyclesToChange(env, 50'000), 50'000u) << op;
            shadow.Clock(50'000);
        } else if (until <= 1'000'000) {
            ASSERT_EQ(CyclesToChange(env, until), until) << op;
            shadow.Clock(until - 1);
            ASSERT_EQ(shadow.Output(), before) << op;
            shadow.Clock(1);
            ++checked;
        }
        ASSERT_EQ(shadow.Output(), env.Output()) << op;
        const std::uint32_t length = session.RunLength();
        env.Clock(length);
        shadow.Clock(length);
    }
    EXPECT_GT(checked, 1000);
}

TEST(EnvelopeRuns, ResetRestoresThePowerOnState) {
    RandomSession session(7);
    EnvelopeGenerator used, fresh, sink;
    used.Reset();
    for (int op = 0; op < 50; ++op) {
        session.Write(used, sink);
        used.Clock(session.RunLength());
    }
    used.Reset();
    fresh.Reset();
    for (int op = 0; op < 200; ++op) {
        session.Write(used, fresh);
        const std::uint32_t length = session.RunLength();
        used.Clock(length);
        fresh.Clock(length);
        ASSERT_EQ(used.Output(), fresh.Output()) << op;
        ASSERT_EQ(used.CyclesUntilOutputMayChange(), fresh.CyclesUntilOutputMayChange()) << op;
    }
}

}  // namespace
}  // namespace chipbox::sidchip
