// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace chipbox::sidchip {
namespace {

constexpr std::uint8_t LOW = 0x10, BAND = 0x20, HIGH = 0x40, VOICE3_OFF = 0x80;
constexpr std::uint8_t FULL_VOLUME = 0x0F;
constexpr double AMPLITUDE = 0.5;
constexpr ChipModel MODELS[] = {ChipModel::Mos6581, ChipModel::Mos8580};

void WriteCutoff(Filter& filter, std::uint16_t cutoff) {
    filter.WriteCutoffLow(static_cast<std::uint8_t>(cutoff & 7));
    filter.WriteCutoffHigh(static_cast<std::uint8_t>(cutoff >> 3));
}

// Voice 1 through the filter in `modes` at full volume.
Filter Routed(ChipModel model, std::uint16_t cutoff, std::uint8_t modes, int resonance = 0,
              double clockHz = PAL_CLOCK_HZ) {
    Filter filter(model, clockHz);
    WriteCutoff(filter, cutoff);
    filter.WriteResonanceRouting(static_cast<std::uint8_t>(resonance << 4 | 0x01));
    filter.WriteModeVolume(modes | FULL_VOLUME);
    return filter;
}

// The gain from one voice (0..2) to the output at `hz`: a sine plays for 40
// cycles to settle, then 40 more are correlated with the sine and cosine.
// The frequency is nudged so the window holds whole cycles, which cancels
// the output's DC exactly.
double GainAt(Filter& filter, double hz, int voice = 0, double clockHz = PAL_CLOCK_HZ) {
    constexpr int CYCLES = 40;
    const long samples = std::lround(CYCLES * clockHz / hz);
    const double step = 2.0 * std::numbers::pi * CYCLES / samples;
    double sine = 0.0, cosine = 0.0;
    for (long n = 0; n < 2 * samples; ++n) {
        float in[3] = {0.0f, 0.0f, 0.0f};
        in[voice] = static_cast<float>(AMPLITUDE * std::sin(step * n));
        const double out = filter.Clock(in[0], in[1], in[2]);
        if (n < samples) continue;
        sine += out * std::sin(step * n);
        cosine += out * std::cos(step * n);
    }
    return 2.0 * std::hypot(sine, cosine) / samples / AMPLITUDE;
}

double Decibels(double gain) { return 20.0 * std::log10(gain); }

// At resonance 0 the loop is a Butterworth: the low- and high-pass are 3.01 dB
// down at the cutoff and the gain falls 0.087 dB per 1% of frequency there,
// so 0.05 dB holds the -3 dB point to 0.6% of the curve's value; float
// rounding of the voices and the output is far below that.
constexpr double HALF_POWER_DB = -3.0103;
constexpr double HALF_POWER_TOLERANCE_DB = 0.05;
constexpr std::uint16_t SWEEP_CUTOFFS[] = {256, 1024, 1536};

TEST(SidChipFilterResponse, LowAndHighPassAreThreeDecibelsDownAtTheCurvesCutoff) {
    for (ChipModel model : MODELS) {
        for (std::uint16_t cutoff : SWEEP_CUTOFFS) {
            const double hz = Filter::CutoffCurveHz(model, cutoff);
            for (std::uint8_t mode : {LOW, HIGH}) {
                Filter filter = Routed(model, cutoff, mode);
                EXPECT_NEAR(Decibels(GainAt(filter, hz)), HALF_POWER_DB, HALF_POWER_TOLERANCE_DB)
                    << int(model) << " " << cutoff << " " << int(mode);
            }
            Filter low = Routed(model, cutoff, LOW);
            EXPECT_GT(GainAt(low, hz / 8), 0.99) << cutoff;
            EXPECT_LT(GainAt(low, hz * 4), 0.07) << cutoff;  // 12 dB per octave
        }
    }
}

TEST(SidChipFilterResponse, CutoffFollowsTheClockItIsStepped) {
    for (ChipModel model : MODELS) {
        Filter filter = Routed(model, 1024, LOW);
        filter.SetClock(NTSC_CLOCK_HZ);
        filter.SetClock(0.0);  // not a clock rate: ignored
        filter.SetClock(std::numeric_limits<double>::quiet_NaN());
        const double hz = Filter::CutoffCurveHz(model, 1024);
        EXPECT_NEAR(Decibels(GainAt(filter, hz, 0, NTSC_CLOCK_HZ)), HALF_POWER_DB,
                    HALF_POWER_TOLERANCE_DB);
    }
}

// A quarter tone either side of the cutoff the band-pass is lower; the 8580
// peaks far higher at full resonance than the 6581, and resonance raises both.
TEST(SidChipFilterResponse, BandPassPeaksAtTheCutoffAndResonanceRaisesThePeak) {
    const double quarterTone = std::pow(2.0, 1.0 / 24.0);
    double peakAtFull[2] = {};
    for (int m = 0; m < 2; ++m) {
        for (std::uint16_t cutoff : SWEEP_CUTOFFS) {
            const double hz = Filter::CutoffCurveHz(MODELS[m], cutoff);
            Filter filter = Routed(MODELS[m], cutoff, BAND, 15);
            const double peak = GainAt(filter, hz);
            EXPECT_GT(peak, GainAt(filter, hz / quarterTone)) << cutoff;
            EXPECT_GT(peak, GainAt(filter, hz * quarterTone)) << cutoff;
            Filter flat = Routed(MODELS[m], cutoff, BAND, 0);
            EXPECT_GT(peak, 1.5 * GainAt(flat, hz)) << cutoff;
            peakAtFull[m] = peak;
        }
    }
    EXPECT_GT(peakAtFull[1], 2.0 * peakAtFull[0]);
}

TEST(SidChipFilterResponse, LowPlusHighPassIsANotchAtTheCutoff) {
    for (ChipModel model : MODELS) {
        const double hz = Filter::CutoffCurveHz(model, 1024);
        Filter filter = Routed(model, 1024, LOW | HIGH);
        EXPECT_LT(GainAt(filter, hz), 0.01);
        EXPECT_GT(GainAt(filter, hz / 4), 0.9);
        EXPECT_GT(GainAt(filter, hz * 4), 0.9);
    }
}

// The 8580 against its data sheet, "approximately 30 Hz - 12 kHz", swept
// evenly; the 6581 against what owners report: it never closes, a few
// hundred Hz at 0, and its rise is steep in the middle and flat at the ends.
TEST(SidChipFilterCurves, Published8580RangeIsSweptLinearly) {
    constexpr double LOW_HZ = 30.0, HIGH_HZ = 12'000.0;
    EXPECT_NEAR(Filter::CutoffCurveHz(ChipModel::Mos8580, 0), LOW_HZ, 15.0);
    EXPECT_NEAR(Filter::CutoffCurveHz(ChipModel::Mos8580, 2047), HIGH_HZ, 0.05 * HIGH_HZ);
    for (std::uint16_t cutoff : {256, 512, 1024, 1536, 1792}) {
        const double line = LOW_HZ + (HIGH_HZ - LOW_HZ) * cutoff / 2047.0;
        EXPECT_NEAR(Filter::CutoffCurveHz(ChipModel::Mos8580, cutoff), line, 0.03 * line) << cutoff;
    }
}

TEST(SidChipFilterCurves, The6581CurveIsAnSCurveAboveAFloor) {
    const auto hz = [](int cutoff) {
        return Filter::CutoffCurveHz(ChipModel::Mos6581, static_cast<std::uint16_t>(cutoff));
    };
    EXPECT_GE(hz(0), 100.0);
    EXPECT_LE(hz(0), 500.0);
    const double bottomSlope = (hz(256) - hz(0)) / 256;
    const double middleSlope = (hz(1280) - hz(1024)) / 256;
    const double topSlope = (hz(2047) - hz(1792)) / 255;
    EXPECT_GT(middleSlope, 5.0 * topSlope);
    EXPECT_GT(middleSlope, 100.0 * bottomSlope);
    EXPECT_GT(hz(2047), 10'000.0);
    for (ChipModel model : MODELS) {
        for (int cutoff = 1; cutoff < 2048; ++cutoff) {
            ASSERT_GE(Filter::CutoffCurveHz(model, static_cast<std::uint16_t>(cutoff)),
                      Filter::CutoffCurveHz(model, static_cast<std::uint16_t>(cutoff - 1)));
        }
    }
}

TEST(SidChipFilterRegisters, CutoffIsHighByteTimesEightPlusLowThreeBits) {
    for (ChipModel model : MODELS) {
        Filter filter(model, PAL_CLOCK_HZ);
        filter.WriteCutoffHigh(0xAB);
        filter.WriteCutoffLow(0xFF);
        EXPECT_EQ(filter.CutoffHz(), Filter::CutoffCurveHz(model, 0xAB * 8 + 7));
        filter.WriteCutoffLow(0x05);
        EXPECT_EQ(filter.CutoffHz(), Filter::CutoffCurveHz(model, 0xAB * 8 + 5));
        EXPECT_EQ(Filter::CutoffCurveHz(model, 0x0805), Filter::CutoffCurveHz(model, 5));
    }
}

// Voice 1 is routed through a low-pass at the 6581's floor; 5 kHz is far
// above it.
TEST(SidChipFilterMixer, OnlyRoutedVoicesAreFilteredAndVoice3OffCutsOnlyAnUnroutedVoice3) {
    Filter filter = Routed(ChipModel::Mos6581, 0, LOW);
    EXPECT_LT(GainAt(filter, 5000.0, 0), 0.01);
    EXPECT_NEAR(GainAt(filter, 5000.0, 1), 1.0, 1e-4);
    EXPECT_NEAR(GainAt(filter, 5000.0, 2), 1.0, 1e-4);

    filter.WriteModeVolume(LOW | VOICE3_OFF | FULL_VOLUME);
    EXPECT_LT(GainAt(filter, 5000.0, 2), 1e-6);
    EXPECT_NEAR(GainAt(filter, 5000.0, 1), 1.0, 1e-4);

    filter.WriteResonanceRouting(0x04);  // voice 3 through the filter: 3 off no longer applies
    EXPECT_NEAR(GainAt(filter, 20.0, 2), 1.0, 0.01);
    EXPECT_NEAR(GainAt(filter, 5000.0, 0), 1.0, 1e-4);
}

// Any set of routed voices goes into the filter as their sum: the same
// voices added up and sent in as voice 1 alone come out the same.
TEST(SidChipFilterMixer, RoutedVoicesEnterTheFilterAsTheirSum) {
    for (std::uint8_t routing = 1; routing < 8; ++routing) {
        Filter apart = Routed(ChipModel::Mos8580, 700, LOW | BAND, 9);
        Filter summed = Routed(ChipModel::Mos8580, 700, LOW | BAND, 9);
        apart.WriteResonanceRouting(static_cast<std::uint8_t>(0x90 | routing));
        double largest = 0.0;
        for (int n = 0; n < 5000; ++n) {
            float voices[3];
            float sum = 0.0f;
            for (int v = 0; v < 3; ++v) {
                const bool routed = routing >> v & 1;
                voices[v] = routed ? static_cast<float>(std::sin(n * 0.01 * (v + 1))) : 0.0f;
                sum += voices[v];
            }
            const float a = apart.Clock(voices[0], voices[1], voices[2]);
            const float b = summed.Clock(sum, 0.0f, 0.0f);
            largest = std::max(largest, std::fabs(double{a}));
            ASSERT_NEAR(a, b, 1e-4) << "routing " << int{routing} << " cycle " << n;
        }
        EXPECT_GT(largest, 0.3) << "routing " << int{routing};
    }
}

TEST(SidChipFilterMixer, WithNoModeBitTheFilteredVoicesAreNotHeard) {
    for (ChipModel model : MODELS) {
        Filter filter = Routed(model, 1024, 0);
        filter.WriteResonanceRouting(0x07);
        float lowest = 1e9f, highest = -1e9f;
        for (int n = 0; n < 20000; ++n) {
            const auto in = static_cast<float>(std::sin(n * 0.01));
            const float out = filter.Clock(in, -in, in);
            lowest = std::min(lowest, out);
            highest = std::max(highest, out);
        }
        EXPECT_LT(highest - lowest, 1e-6f);
    }
}

double SilentOutput(ChipModel model, int volume) {
    Filter filter(model, PAL_CLOCK_HZ);
    filter.WriteModeVolume(static_cast<std::uint8_t>(volume));
    return filter.Clock(0.0f, 0.0f, 0.0f);
}

TEST(SidChipFilterMixer, VolumeScalesVoicesAndTheMixersDc) {
    for (ChipModel model : MODELS) {
        Filter filter(model, PAL_CLOCK_HZ);
        for (int volume : {15, 7, 1, 0}) {
            filter.WriteModeVolume(static_cast<std::uint8_t>(volume));
            EXPECT_NEAR(GainAt(filter, 1000.0, 0), volume / 15.0, 1e-5) << volume;
        }
    }
    // What a tune writing only $D418 plays: the DC as a 4-bit DAC.
    double swing[2] = {};
    for (int m = 0; m < 2; ++m) {
        swing[m] = SilentOutput(MODELS[m], 15) - SilentOutput(MODELS[m], 0);
        for (int volume = 1; volume < 15; ++volume) {
            EXPECT_NEAR(SilentOutput(MODELS[m], volume) - SilentOutput(MODELS[m], 0),
                        swing[m] * volume / 15, 1e-6);
        }
    }
    EXPECT_GT(swing[0], 0.25);
    EXPECT_GT(swing[0], 10.0 * std::abs(swing[1]));
}

TEST(SidChipFilterMixer, ResetSilencesAndReturnsToPowerOn) {
    for (ChipModel model : MODELS) {
        Filter used = Routed(model, 900, LOW | BAND, 15);
        for (int n = 0; n < 5000; ++n) used.Clock(1.0f, 0.5f, -1.0f);
        used.Reset();
        EXPECT_EQ(used.Clock(1.0f, 1.0f, 1.0f), 0.0f);  // volume 0
        used.Reset();
        Filter fresh(model, PAL_CLOCK_HZ);
        for (Filter* filter : {&used, &fresh}) {
            WriteCutoff(*filter, 900);
            filter->WriteResonanceRouting(0xF1);
            filter->WriteModeVolume(LOW | BAND | FULL_VOLUME);
        }
        for (int n = 0; n < 2000; ++n) {
            const auto in = static_cast<float>(n % 50 < 25 ? 1.0 : -1.0);
            ASSERT_EQ(used.Clock(in, 0.0f, 0.0f), fresh.Clock(in, 0.0f, 0.0f)) << n;
        }
    }
}

constexpr double STABILITY_CLOCKS[] = {PAL_CLOCK_HZ, NTSC_CLOCK_HZ, 2 * PAL_CLOCK_HZ,
                                       4 * PAL_CLOCK_HZ};

// Full-level square waves on all three voices, every cutoff in turn at full
// resonance: a band-pass peak of Q 4 on three voices stays well inside 40.
TEST(SidChipFilterStability, FullResonanceAtEveryCutoffStaysBounded) {
    for (ChipModel model : MODELS) {
        for (double clockHz : STABILITY_CLOCKS) {
            for (std::uint8_t modes : {LOW, BAND, std::uint8_t(LOW | BAND | HIGH)}) {
                Filter filter(model, clockHz);
                filter.WriteResonanceRouting(0xF7);
                filter.WriteModeVolume(modes | FULL_VOLUME);
                float largest = 0.0f;
                long n = 0;
                for (int cutoff = 0; cutoff < 2048; ++cutoff) {
                    WriteCutoff(filter, static_cast<std::uint16_t>(cutoff));
                    for (int i = 0; i < 300; ++i, ++n) {
                        const float in = (n / 250) % 2 ? 1.0f : -1.0f;
                        const float out = filter.Clock(in, in, in);
                        ASSERT_TRUE(std::isfinite(out));
                        largest = std::max(largest, std::abs(out));
                    }
                }
                EXPECT_LT(largest, 40.0f) << int(model) << " " << clockHz;
            }
        }
    }
}

// After four periods of a square wave at the cutoff stop, the ring of a
// full-resonance band-pass dies away: a window of four periods, two windows
// later, holds a small fraction of the first.
TEST(SidChipFilterStability, FullResonanceRingingDecaysAtSampledCutoffs) {
    for (ChipModel model : MODELS) {
        for (double clockHz : {PAL_CLOCK_HZ, 4 * PAL_CLOCK_HZ}) {
            for (int cutoff = 0; cutoff < 2048; cutoff += 127) {
                Filter filter =
                    Routed(model, static_cast<std::uint16_t>(cutoff), BAND, 15, clockHz);
                const double silent = filter.Clock(0.0f, 0.0f, 0.0f);
                const long period = std::lround(clockHz / filter.CutoffHz());
                const long window = 4 * period;
                for (long n = 0; n < window; ++n) {
                    filter.Clock(n % period < period / 2 ? 1.0f : -1.0f, 0.0f, 0.0f);
                }
                double first = 0.0, third = 0.0;
                for (long n = 0; n < 3 * window; ++n) {
                    const double ring = std::abs(filter.Clock(0.0f, 0.0f, 0.0f) - silent);
                    if (n < window) first = std::max(first, ring);
                    if (n >= 2 * window) third = std::max(third, ring);
                }
                EXPECT_LT(third, 0.1 * first) << int(model) << " " << cutoff << " " << clockHz;
            }
        }
    }
}

TEST(SidChipFilterStability, RandomRegisterWritesNeverBlowUp) {
    std::mt19937 random(6581);
    std::uniform_real_distribution<float> voice(-1.5f, 1.5f);
    for (ChipModel model : MODELS) {
        Filter filter(model, 4 * PAL_CLOCK_HZ);
        float largest = 0.0f;
        for (int n = 0; n < 1'000'000; ++n) {
            if (random() % 64 == 0) {
                const auto value = static_cast<std::uint8_t>(random());
                switch (random() % 4) {
                    case 0: filter.WriteCutoffLow(value); break;
                    case 1: filter.WriteCutoffHigh(value); break;
                    case 2: filter.WriteResonanceRouting(value); break;
                    default: filter.WriteModeVolume(value); break;
                }
            }
            const float out = filter.Clock(voice(random), voice(random), voice(random));
            ASSERT_TRUE(std::isfinite(out)) << n;
            largest = std::max(largest, std::abs(out));
        }
        EXPECT_LT(largest, 100.0f);
    }
}

}  // namespace
}  // namespace chipbox::sidchip

namespace chipbox::sidchip {
namespace {

// A stretch at a time gives what a cycle at a time gives, bit for bit,
// however the stretches fall against the pairs of cycles the states take.
TEST(SidChipFilterRuns, ClockRunGivesClocksValuesWhateverTheStretches) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> level(-1.2f, 1.2f);
    for (ChipModel model : {ChipModel::Mos6581, ChipModel::Mos8580}) {
        Filter single(model, PAL_CLOCK_HZ), runs(model, PAL_CLOCK_HZ);
        for (int stretch = 0; stretch < 300; ++stretch) {
            const auto value = static_cast<std::uint8_t>(random());
            switch (random() % 4) {
                case 0: single.WriteCutoffHigh(value), runs.WriteCutoffHigh(value); break;
                case 1:
                    single.WriteResonanceRouting(value), runs.WriteResonanceRouting(value);
                    break;
                case 2: single.WriteModeVolume(value), runs.WriteModeVolume(value); break;
                default: break;
            }
            const std::size_t count = 1 + random() % 700;
            std::vector<float> v1(count), v2(count), v3(count), fromRuns(count);
            for (std::size_t i = 0; i < count; ++i)
                v1[i] = level(random), v2[i] = level(random), v3[i] = level(random);
            runs.ClockRun(v1.data(), v2.data(), v3.data(), fromRuns.data(), count);
            for (std::size_t i = 0; i < count; ++i)
                ASSERT_EQ(single.Clock(v1[i], v2[i], v3[i]), fromRuns[i]) << stretch << " " << i;
        }
    }
}

}  // namespace
}  // namespace chipbox::sidchip
