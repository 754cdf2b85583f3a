// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/audio_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

#include "sid/chip/board_output.h"
#include "sid/chip/chip_model.h"
#include "sid/chip/resampler.h"

namespace chipbox::sidchip {
namespace {

// The board's gain at `hz`: a sine through it, measured by projecting the
// settled output onto sine and cosine over whole periods.
double BoardGain(double hz) {
    BoardOutput board;
    const double step = 2.0 * std::numbers::pi * hz / OUTPUT_HZ;
    const auto settle = static_cast<std::size_t>(OUTPUT_HZ);  // 1 s: past the 32 ms time constant
    const auto periods = static_cast<std::size_t>(std::ceil(4.0 * hz));
    const auto measured = static_cast<std::size_t>(std::llround(periods * OUTPUT_HZ / hz));
    double inPhase = 0.0;
    double quadrature = 0.0;
    for (std::size_t n = 0; n < settle + measured; ++n) {
        const double angle = step * static_cast<double>(n);
        const float out = board.Process(static_cast<float>(0.5 * std::sin(angle)));
        if (n < settle) continue;
        inPhase += out * std::sin(angle);
        quadrature += out * std::cos(angle);
    }
    return 2.0 * std::hypot(inPhase, quadrature) / static_cast<double>(measured) / 0.5;
}

double Decibels(double ratio) { return 20.0 * std::log10(ratio); }

TEST(BoardOutputTest, CornersAreWhereTheHeaderSays) {
    const double halfPower = Decibels(std::sqrt(0.5));
    EXPECT_NEAR(Decibels(BoardGain(BOARD_LOWPASS_HZ)), halfPower, 0.05);
    EXPECT_NEAR(Decibels(BoardGain(BOARD_HIGHPASS_HZ)), halfPower, 0.05);
    EXPECT_NEAR(Decibels(BoardGain(1000.0)), 0.0, 0.05);
    // One pole each: about 6 dB per octave beyond the corners.
    EXPECT_LT(Decibels(BoardGain(BOARD_HIGHPASS_HZ / 4)), -10.0);
    EXPECT_LT(Decibels(BoardGain(20'000.0)), -4.5);
}

TEST(BoardOutputTest, BlocksDcButPassesTheStep) {
    BoardOutput board;
    float largest = 0.0f;
    float last = 0.0f;
    for (int n = 0; n < OUTPUT_HZ; ++n) {
        last = board.Process(0.7f);
        largest = std::max(largest, last);
    }
    EXPECT_GT(largest, 0.6f);
    EXPECT_NEAR(last, 0.0f, 1e-6f);
}

TEST(BoardOutputTest, ResetAndNonFiniteInputLeaveNoTrace) {
    BoardOutput board;
    BoardOutput fresh;
    for (int n = 0; n < 1000; ++n) board.Process(0.9f);
    board.Reset();
    for (int n = 0; n < 100; ++n) ASSERT_EQ(board.Process(0.1f), fresh.Process(0.1f));

    board.Process(std::numeric_limits<float>::quiet_NaN());
    board.Process(std::numeric_limits<float>::infinity());
    for (int n = 0; n < 100; ++n) ASSERT_TRUE(std::isfinite(board.Process(0.1f))) << n;
}

// Blocks of uneven lengths, one with a NaN in its middle, against the
// same samples one at a time: the states carry over between blocks and the
// reset a non-finite sample causes takes effect inside a block.
TEST(BoardOutputTest, ABlockGivesWhatSampleBySampleGives) {
    std::vector<float> input(3000);
    for (std::size_t n = 0; n < input.size(); ++n)
        input[n] = static_cast<float>(0.8 * std::sin(0.013 * n) + 0.3);
    input[1234] = std::numeric_limits<float>::quiet_NaN();
    BoardOutput single;
    std::vector<float> expected;
    for (const float sample : input) expected.push_back(single.Process(sample));

    BoardOutput blocks;
    std::vector<float> output = input;
    std::size_t start = 0;
    for (const std::size_t length : {1u, 255u, 1000u, 7u, 1737u}) {
        blocks.ProcessBlock(output.data() + start, length);
        start += length;
    }
    ASSERT_EQ(start, input.size());
    EXPECT_EQ(output[1234], 0.0f);
    for (std::size_t n = 0; n < input.size(); ++n) ASSERT_EQ(output[n], expected[n]) << n;
    EXPECT_EQ(blocks.Process(0.25f), single.Process(0.25f));
}

TEST(AudioOutputTest, RoundsHalfAwayFromZeroAndSaturates) {
    struct Case {
        float value;
        std::int16_t expected;
        bool clipped;
    };
    const Case cases[] = {{0.0f, 0, false},
                          {0.49f, 0, false},
                          {0.5f, 1, false},
                          {-0.5f, -1, false},
                          {1.5f, 2, false},
                          {-2.5f, -3, false},
                          {-2.49f, -2, false},
                          {32'767.4f, 32'767, false},
                          {32'767.5f, 32'767, true},
                          {-32'768.4f, -32'768, false},
                          {-32'768.5f, -32'768, true},
                          {1e9f, 32'767, true},
                          {-std::numeric_limits<float>::infinity(), -32'768, true},
                          {std::numeric_limits<float>::quiet_NaN(), 0, true}};
    for (const Case& c : cases) {
        bool clipped = !c.clipped;
        EXPECT_EQ(audio_output_detail::RoundToInt16(c.value, clipped), c.expected) << c.value;
        EXPECT_EQ(clipped, c.clipped) << c.value;
    }
}

std::vector<float> Sine(double rateHz, double hz, std::size_t count, double amplitude) {
    std::vector<float> samples(count);
    for (std::size_t k = 0; k < count; ++k) {
        samples[k] = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(k) / rateHz));
    }
    return samples;
}

// The chain built by hand from its parts, rounded with the standard library.
// Below and at the knee nothing changes; above it the curve rises with
// the slope 1 at the knee, ever more slowly, toward full scale (which
// floats reach only far beyond it); it is odd; NaN stays NaN.
TEST(AudioOutputTest, TheSoftCeilingBendsOnlyAboveTheKnee) {
    using audio_output_detail::SoftCeiling;
    const auto knee = static_cast<float>(SOFT_CEILING_KNEE * 32'767.0);
    for (const float value : {0.0f, 1000.0f, -20'000.0f, knee, -knee})
        EXPECT_EQ(SoftCeiling(value), value);
    const float justAbove = std::nextafter(knee, 40'000.0f);
    EXPECT_NEAR(SoftCeiling(justAbove), justAbove, 0.01f);
    float previous = knee;
    for (float value = knee + 100.0f; value < 200'000.0f; value *= 1.1f) {
        const float bent = SoftCeiling(value);
        if (value < 40'000.0f)
            EXPECT_GT(bent, previous) << value;
        else
            EXPECT_GE(bent, previous) << value;
        EXPECT_LT(bent, value) << value;
        EXPECT_LE(bent, 32'767.0f) << value;
        EXPECT_EQ(SoftCeiling(-value), -bent) << value;
        previous = bent;
    }
    EXPECT_GT(previous, 32'700.0f);
    EXPECT_TRUE(std::isnan(SoftCeiling(std::numeric_limits<float>::quiet_NaN())));
}

TEST(AudioOutputTest, IsResamplerThenBoardThenGainThenRounding) {
    const float gain = 40'000.0f;  // a full-scale sine overdrives 16 bits
    const auto input = Sine(PAL_CLOCK_HZ, 1000.0, 200'000, 1.0);
    AudioOutput audio(PAL_CLOCK_HZ);
    audio.SetGain(gain);
    audio.Push(input.data(), input.size());
    std::vector<std::int16_t> out(audio.Available());
    ASSERT_EQ(audio.Take(out.data(), out.size()), out.size());

    Resampler resampler(PAL_CLOCK_HZ);
    BoardOutput board;
    resampler.Push(input.data(), input.size());
    std::vector<float> floats(resampler.Available());
    resampler.Take(floats.data(), floats.size());
    ASSERT_EQ(floats.size(), out.size());
    std::uint64_t clipped = 0;
    for (std::size_t n = 0; n < floats.size(); ++n) {
        const double rounded = std::round(double{board.Process(floats[n]) * gain});
        const double limited = std::clamp(rounded, -32'768.0, 32'767.0);
        clipped += limited != rounded;
        ASSERT_EQ(out[n], static_cast<std::int16_t>(limited)) << n;
    }
    EXPECT_GT(clipped, 0u);
    EXPECT_EQ(audio.ClippedSamples(), clipped);

    audio.Reset();
    EXPECT_EQ(audio.ClippedSamples(), 0u);
    EXPECT_EQ(audio.Available(), 0u);
}

TEST(AudioOutputTest, DefaultGainMapsFullScaleTo16Bits) {
    AudioOutput audio(NTSC_CLOCK_HZ);
    const auto input = Sine(NTSC_CLOCK_HZ, 1000.0, 300'000, 0.5);
    audio.Push(input.data(), input.size());
    std::vector<std::int16_t> out(audio.Available());
    audio.Take(out.data(), out.size());
    const auto peak = *std::max_element(out.begin() + 2000, out.end());
    EXPECT_NEAR(peak, 16'384, 40);
    EXPECT_EQ(audio.ClippedSamples(), 0u);
}

}  // namespace
}  // namespace chipbox::sidchip
