// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/resampler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "sid/chip/chip_model.h"

namespace chipbox::sidchip {
namespace {

constexpr double PAL_FAST_HZ = 4 * PAL_CLOCK_HZ;  // a player running four times fast

std::vector<float> Sine(double rateHz, double hz, std::size_t count, double amplitude,
                        double startSeconds = 0.0) {
    std::vector<float> samples(count);
    for (std::size_t k = 0; k < count; ++k) {
        const double cycles = hz * (startSeconds + static_cast<double>(k) / rateHz);
        const double angle = 2.0 * std::numbers::pi * (cycles - std::floor(cycles));
        samples[k] = static_cast<float>(amplitude * std::sin(angle));
    }
    return samples;
}

std::size_t InputCount(double rateHz, double seconds) {
    return static_cast<std::size_t>(rateHz * seconds);
}

// Pushes in pieces and takes as it goes, so no output is lost to the queue.
void PushAndTake(Resampler& resampler, const std::vector<float>& input, std::vector<float>& out) {
    constexpr std::size_t piece = 100'000;
    for (std::size_t at = 0; at < input.size(); at += piece) {
        resampler.Push(input.data() + at, std::min(piece, input.size() - at));
        const std::size_t before = out.size();
        out.resize(before + resampler.Available());
        resampler.Take(out.data() + before, out.size() - before);
    }
}

std::vector<float> Resample(double rateHz, const std::vector<float>& input) {
    Resampler resampler(rateHz);
    std::vector<float> out;
    PushAndTake(resampler, input, out);
    return out;
}

// Least-squares fit of a sine at the known frequency, plus an offset, over
// out[start..].
double FittedAmplitude(const std::vector<float>& out, std::size_t start, double hz) {
    double normal[3][4] = {};
    const double step = 2.0 * std::numbers::pi * hz / OUTPUT_HZ;
    for (std::size_t n = start; n < out.size(); ++n) {
        const double angle = step * static_cast<double>(n);
        const double basis[3] = {std::sin(angle), std::cos(angle), 1.0};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) normal[i][j] += basis[i] * basis[j];
            normal[i][3] += basis[i] * out[n];
        }
    }
    for (int pivot = 0; pivot < 3; ++pivot) {
        for (int row = pivot + 1; row < 3; ++row) {
            const double factor = normal[row][pivot] / normal[pivot][pivot];
            for (int col = pivot; col < 4; ++col) normal[row][col] -= factor * normal[pivot][col];
        }
    }
    double solution[3];
    for (int row = 2; row >= 0; --row) {
        double sum = normal[row][3];
        for (int col = row + 1; col < 3; ++col) sum -= normal[row][col] * solution[col];
        solution[row] = sum / normal[row][row];
    }
    return std::hypot(solution[0], solution[1]);
}

double Rms(const std::vector<float>& out, std::size_t start) {
    double sum = 0.0;
    for (std::size_t n = start; n < out.size(); ++n) sum += double{out[n]} * out[n];
    return std::sqrt(sum / static_cast<double>(out.size() - start));
}

double Decibels(double ratio) { return 20.0 * std::log10(ratio); }

const std::size_t SETTLED = OUTPUT_HZ / 40;  // 25 ms: well past the filters' delay

class ResamplerResponseTest : public testing::TestWithParam<double> {};

TEST_P(ResamplerResponseTest, PassbandIsFlatTo18Khz) {
    const double rate = GetParam();
    for (double hz : {20.0, 100.0, 440.0, 1000.0, 5000.0, 10000.0, 15000.0, 17000.0, 18000.0}) {
        const auto out = Resample(rate, Sine(rate, hz, InputCount(rate, 0.3), 0.5));
        EXPECT_NEAR(Decibels(FittedAmplitude(out, SETTLED, hz) / 0.5), 0.0, 0.1) << hz << " Hz";
    }
}

// The RMS of everything that comes out bounds the folded tone and any spur.
TEST_P(ResamplerResponseTest, NothingAbove22KhzFoldsBack) {
    const double rate = GetParam();
    const double seconds = 0.1;
    const double reference = FittedAmplitude(
        Resample(rate, Sine(rate, 1000.0, InputCount(rate, seconds), 0.5)), SETTLED, 1000.0);
    std::vector<double> tones = {22'100, 25'000, 30'000, 50'000, 100'000, 200'000, 490'000};
    // Folding is worst near multiples of the rates inside the cascade.
    const double intermediateHz = rate / std::floor(rate / 120'000.0) / 2.0;
    for (int k = 1; k <= 5; ++k) {
        for (double offset : {-21'000.0, -3'000.0, 3'000.0, 21'000.0}) {
            tones.push_back(k * intermediateHz + offset);
        }
    }
    for (double hz : tones) {
        if (hz >= rate / 2) continue;
        const auto out = Resample(rate, Sine(rate, hz, InputCount(rate, seconds), 0.5));
        const double level = Decibels(std::sqrt(2.0) * Rms(out, SETTLED) / reference);
        EXPECT_LT(level, -80.0) << hz << " Hz";
    }
}

INSTANTIATE_TEST_SUITE_P(MachineRates, ResamplerResponseTest,
                         testing::Values(PAL_CLOCK_HZ, NTSC_CLOCK_HZ, PAL_FAST_HZ));

std::vector<float> Noise(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> level(-1.0f, 1.0f);
    std::vector<float> samples(count);
    for (float& sample : samples) sample = level(generator);
    return samples;
}

// Outputs after pushing `input` in random pieces of 1 up to `largest`,
// taking at random moments.
std::vector<float> ResampleChunked(double rateHz, const std::vector<float>& input,
                                   std::size_t largest, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<std::size_t> size(1, largest);
    Resampler resampler(rateHz);
    std::vector<float> out;
    for (std::size_t at = 0; at < input.size();) {
        const std::size_t piece = std::min(size(generator), input.size() - at);
        resampler.Push(input.data() + at, piece);
        at += piece;
        if (generator() % 3 == 0) {
            const std::size_t before = out.size();
            out.resize(before + resampler.Available());
            resampler.Take(out.data() + before, out.size() - before);
        }
    }
    const std::size_t before = out.size();
    out.resize(before + resampler.Available());
    resampler.Take(out.data() + before, out.size() - before);
    return out;
}

TEST(ResamplerTest, OutputCountFollowsTheInputClockExactly) {
    struct Case {
        double rate;
        std::uint64_t numerator;  // output per input, as a ratio of whole numbers
        std::uint64_t denominator;
    };
    const Case cases[] = {{PAL_CLOCK_HZ, 44'100, 985'248},
                          {NTSC_CLOCK_HZ, 44'100, 1'022'727},
                          {2 * PAL_CLOCK_HZ, 44'100, 1'970'496},
                          {4 * NTSC_CLOCK_HZ, 44'100, 4'090'908},
                          {1'000'000.5, 88'200, 2'000'001}};
    for (const Case& c : cases) {
        std::mt19937 generator(7);
        std::uniform_int_distribution<std::size_t> size(1, 7000);
        Resampler resampler(c.rate);
        const std::vector<float> block(7000, 0.25f);
        std::vector<float> out(RESAMPLER_QUEUE_SAMPLES);
        std::uint64_t pushed = 0;
        std::uint64_t produced = 0;
        while (pushed < 3'000'000) {
            const std::size_t piece = size(generator);
            resampler.Push(block.data(), piece);
            pushed += piece;
            produced += resampler.Take(out.data(), out.size());
            ASSERT_EQ(produced, pushed * c.numerator / c.denominator) << c.rate << " Hz";
        }
    }
}

TEST(ResamplerTest, ChunkingDoesNotChangeTheOutputBits) {
    const auto input = Noise(InputCount(NTSC_CLOCK_HZ, 0.5), 1);
    const auto whole = Resample(NTSC_CLOCK_HZ, input);
    ASSERT_EQ(whole.size(), input.size() * 44'100 / 1'022'727);
    for (std::size_t largest : {1, 5, 37, 3000, 70'000}) {
        const auto chunked = ResampleChunked(NTSC_CLOCK_HZ, input, largest, 11);
        ASSERT_EQ(chunked.size(), whole.size()) << largest;
        EXPECT_EQ(std::memcmp(chunked.data(), whole.data(), whole.size() * sizeof(float)), 0)
            << "pieces up to " << largest;
    }
}

TEST(ResamplerTest, OutputStartsFromTheZeroStateAndPassesDc) {
    const std::vector<float> ones(InputCount(PAL_CLOCK_HZ, 0.02), 1.0f);
    const auto out = Resample(PAL_CLOCK_HZ, ones);
    EXPECT_NEAR(out.front(), 0.0f, 1e-3f);  // the content is delayed, not the count
    for (std::size_t n = OUTPUT_HZ / 200; n < out.size(); ++n) ASSERT_NEAR(out[n], 1.0f, 1e-4f);
}

TEST(ResamplerTest, UntakenOutputKeepsTheNewest) {
    const auto input = Noise(InputCount(PAL_CLOCK_HZ, 4.0), 4);
    const auto reference = Resample(PAL_CLOCK_HZ, input);
    ASSERT_GT(reference.size(), RESAMPLER_QUEUE_SAMPLES);
    Resampler resampler(PAL_CLOCK_HZ);
    resampler.Push(input.data(), input.size());
    ASSERT_EQ(resampler.Available(), RESAMPLER_QUEUE_SAMPLES);
    std::vector<float> out(RESAMPLER_QUEUE_SAMPLES);
    EXPECT_EQ(resampler.Take(out.data(), out.size()), out.size());
    EXPECT_EQ(std::memcmp(out.data(), &reference[reference.size() - out.size()],
                          out.size() * sizeof(float)),
              0);
}

TEST(ResamplerTest, RatesOutOfRangeAreClamped) {
    const std::vector<float> block(250'000, 0.5f);
    struct Case {
        double asked;
        std::uint64_t clampedHz;
    };
    const Case cases[] = {{0.0, 120'000},
                          {-5.0, 120'000},
                          {std::numeric_limits<double>::quiet_NaN(), 120'000},
                          {1e12, 20'000'000},
                          {std::numeric_limits<double>::infinity(), 20'000'000}};
    for (const Case& c : cases) {
        Resampler resampler(c.asked);
        resampler.Push(block.data(), block.size());
        EXPECT_EQ(resampler.Available(), block.size() * 44'100 / c.clampedHz) << c.asked;
        std::vector<float> out(resampler.Available());
        resampler.Take(out.data(), out.size());
        for (float sample : out) ASSERT_TRUE(std::isfinite(sample)) << c.asked;
    }
}

TEST(ResamplerTest, NonFiniteInputPassesAndLeavesNoTrace) {
    Resampler resampler(PAL_CLOCK_HZ);
    std::vector<float> input(InputCount(PAL_CLOCK_HZ, 0.02), 0.0f);
    input[100] = std::numeric_limits<float>::quiet_NaN();
    input[200] = std::numeric_limits<float>::infinity();
    std::vector<float> out;
    PushAndTake(resampler, input, out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), 0.0f);
}

// Count and position: the output clock goes on across the change as if the
// new rate had held from the last output on.
TEST(ResamplerTest, RateChangeKeepsTheCount) {
    const std::uint64_t first = 1'234'567;
    const std::uint64_t second = 2'345'678;
    Resampler resampler(PAL_CLOCK_HZ);
    const std::vector<float> block(second, 0.1f);
    std::vector<float> out(RESAMPLER_QUEUE_SAMPLES);
    resampler.Push(block.data(), first);
    std::uint64_t produced = resampler.Take(out.data(), out.size());
    ASSERT_EQ(produced, first * 44'100 / 985'248);

    resampler.SetInputRate(NTSC_CLOCK_HZ);
    const long double phase = static_cast<long double>(first * 44'100 % 985'248) / 985'248;
    const long double expected = phase + static_cast<long double>(second) * 44'100 / 1'022'727;
    ASSERT_GT(expected - std::floor(expected), 1e-6L);  // not at an edge
    resampler.Push(block.data(), second);
    produced += resampler.Take(out.data(), out.size());
    EXPECT_EQ(produced, first * 44'100 / 985'248 + static_cast<std::uint64_t>(expected));
}

// A reset, or the rate set again to what it is, leaves no trace: the
// output is a fresh resampler's, bit for bit.
TEST(ResamplerTest, NeitherAResetNorTheSameRateAgainLeavesATrace) {
    const auto input = Noise(InputCount(PAL_CLOCK_HZ, 0.1), 5);
    const auto reference = Resample(PAL_CLOCK_HZ, input);
    const auto same = [&](const std::vector<float>& out) {
        return out.size() == reference.size() &&
               std::memcmp(out.data(), reference.data(), out.size() * sizeof(float)) == 0;
    };
    Resampler reset(PAL_CLOCK_HZ);
    const auto other = Noise(12'345, 3);
    reset.Push(other.data(), other.size());
    reset.Reset();
    EXPECT_EQ(reset.Available(), 0u);
    std::vector<float> afterReset;
    PushAndTake(reset, input, afterReset);
    EXPECT_TRUE(same(afterReset));

    Resampler again(PAL_CLOCK_HZ);
    std::vector<float> out;
    PushAndTake(again, {input.begin(), input.begin() + 33'333}, out);
    again.SetInputRate(PAL_CLOCK_HZ);
    PushAndTake(again, {input.begin() + 33'333, input.end()}, out);
    EXPECT_TRUE(same(out));
}

// The worst distance of outputs from the ideal: the input sine delayed by the
// constant delay. Output n is made as the input count reaches
// (n + 1) * rate / 44100; input sample k stands at k / rate, so the output
// instant lies one input period before (n + 1) / 44100 s.
double WorstError(const std::vector<float>& out, std::size_t from, std::size_t to, double hz,
                  double amplitude, double firstRateHz) {
    double worst = 0.0;
    for (std::size_t n = from; n < to; ++n) {
        const double instant = static_cast<double>(n + 1) / OUTPUT_HZ - 1.0 / firstRateHz;
        const double cycles = hz * (instant - RESAMPLER_DELAY_SECONDS);
        const double ideal = amplitude * std::sin(2.0 * std::numbers::pi * cycles);
        worst = std::max(worst, std::fabs(out[n] - ideal));
    }
    return worst;
}

// The sound goes on as if the new rate had always held: no jump in time, no
// burst while the filters refill, and the delay is the same before and after.
TEST(ResamplerTest, RateChangeMidStreamMakesNoClick) {
    const double amplitude = 0.8;
    const double pairs[][2] = {{PAL_CLOCK_HZ, NTSC_CLOCK_HZ},
                               {PAL_CLOCK_HZ, PAL_FAST_HZ},
                               {4 * NTSC_CLOCK_HZ, PAL_CLOCK_HZ}};
    for (double hz : {1000.0, 15000.0}) {
        for (const auto& pair : pairs) {
            const double before = pair[0];
            const double after = pair[1];
            const std::size_t firstCount = InputCount(before, 0.0503);
            Resampler resampler(before);
            std::vector<float> out;
            PushAndTake(resampler, Sine(before, hz, firstCount, amplitude), out);
            const std::size_t switchedAt = out.size();
            resampler.SetInputRate(after);
            const double resumeSeconds = (firstCount - 1.0) / before + 1.0 / after;
            PushAndTake(resampler,
                        Sine(after, hz, InputCount(after, 0.03), amplitude, resumeSeconds), out);

            const double steady = WorstError(out, SETTLED, switchedAt, hz, amplitude, before);
            const double across = WorstError(out, switchedAt, out.size(), hz, amplitude, before);
            EXPECT_LT(steady, amplitude * 1e-3) << hz << " Hz at " << before;
            EXPECT_LT(across, amplitude * 1e-3) << hz << " Hz, " << before << " to " << after;
            double largest = 0.0;
            for (std::size_t n = SETTLED; n < out.size(); ++n) {
                largest = std::max(largest, std::fabs(double{out[n]}));
            }
            EXPECT_LT(largest, amplitude * 1.001) << hz << " Hz, " << before << " to " << after;
        }
    }
}

}  // namespace
}  // namespace chipbox::sidchip
