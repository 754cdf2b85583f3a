// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/waveform_generator.h"

#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <vector>

#include "sid/chip/ladder_dac.h"
#include "sid/chip/waveform_levels.h"

namespace chipbox::sidchip {
namespace {

const CombinedTables& Tables() { return CombinedTablesOf(ChipModel::Mos6581); }

// A generator whose accumulator stands at `phase` (a multiple of $100),
// reached by stepping it.
WaveformGenerator AtPhase(std::uint32_t phase, std::uint8_t waveforms, std::uint16_t pulse = 0) {
    WaveformGenerator generator;
    generator.WritePulseLow(static_cast<std::uint8_t>(pulse));
    generator.WritePulseHigh(static_cast<std::uint8_t>(pulse >> 8));
    generator.WriteFrequencyLow(0x00);
    generator.WriteFrequencyHigh(0x01);
    while (generator.accumulator() != phase) generator.Advance();
    generator.WriteControl(static_cast<std::uint8_t>(waveforms << 4));
    return generator;
}

TEST(WaveformGeneratorTest, EachWaveformHasItsShapeAtAFewPhases) {
    const WaveformGenerator none;
    struct Row {
        std::uint32_t phase;
        std::uint16_t sawtooth, triangle, pulse;
    };
    // The sawtooth is the accumulator's top 12 bits; the triangle its bits
    // 22-11, inverted while the top bit is set; the pulse high from the
    // pulse width (here $800) on.
    for (const Row& row :
         {Row{0x000000, 0x000, 0x000, 0x000}, Row{0x400000, 0x400, 0x800, 0x000},
          Row{0x7FF800, 0x7FF, 0xFFF, 0x000}, Row{0x800000, 0x800, 0xFFF, 0xFFF},
          Row{0xC00000, 0xC00, 0x7FF, 0xFFF}, Row{0xFFF800, 0xFFF, 0x000, 0xFFF}}) {
        auto saw = AtPhase(row.phase, SAWTOOTH);
        auto triangle = AtPhase(row.phase, TRIANGLE);
        auto pulse = AtPhase(row.phase, PULSE, 0x800);
        EXPECT_EQ(saw.Output(none, Tables()), row.sawtooth) << std::hex << row.phase;
        EXPECT_EQ(triangle.Output(none, Tables()), row.triangle) << std::hex << row.phase;
        EXPECT_EQ(pulse.Output(none, Tables()), row.pulse) << std::hex << row.phase;
    }
}

TEST(WaveformGeneratorTest, RingModulationInvertsTheTriangleWithTheSourcesTopBit) {
    auto source = AtPhase(0x900000, SAWTOOTH);
    auto ringed = AtPhase(0x400000, TRIANGLE);
    ringed.WriteControl((TRIANGLE << 4) | RING);
    EXPECT_EQ(ringed.Output(source, Tables()), 0x7FF);
    EXPECT_EQ(ringed.Output(AtPhase(0x100000, SAWTOOTH), Tables()), 0x800);
}

TEST(WaveformGeneratorTest, SyncResetsTheAccumulatorOnTheCycleTheSourcesTopBitRises) {
    WaveformGenerator source, synced;
    source.WriteFrequencyHigh(0x80);  // $8000 a cycle: the top bit rises every 512 cycles
    synced.WriteFrequencyLow(0x01);
    synced.WriteControl((SAWTOOTH << 4) | SYNC);
    int risenAt = -1;
    for (int cycle = 1; cycle <= 300 && risenAt < 0; ++cycle) {
        const bool rose = source.Advance();
        synced.Advance();
        synced.SyncIfRising(rose);
        if (rose)
            risenAt = cycle;
        else
            EXPECT_EQ(synced.accumulator(), static_cast<std::uint32_t>(cycle));
    }
    EXPECT_EQ(risenAt, 256);
    EXPECT_EQ(synced.accumulator(), 0u);
}

// The register as the documentation gives it: 23 bits shifting left with
// bits 22 and 17 fed back, eight of them wired to the output's top bits.
std::uint16_t DocumentedNoiseOutput(std::uint32_t reg) {
    static constexpr int taps[8] = {20, 18, 14, 11, 9, 5, 2, 0};
    std::uint16_t out = 0;
    for (int bit = 0; bit < 8; ++bit)
        out |= static_cast<std::uint16_t>((reg >> taps[bit] & 1) << (11 - bit));
    return out;
}

TEST(WaveformGeneratorTest, NoiseFollowsTheShiftRegisterFromItsResetAndShiftsWhenBit19Rises) {
    WaveformGenerator noise;
    const WaveformGenerator none;
    noise.WriteControl((NOISE << 4) | TEST);
    noise.WriteControl(NOISE << 4);
    noise.WriteFrequencyHigh(0x10);  // bit 19 rises at cycle 128 and then every 256
    std::uint32_t reg = 0x7FFFFF;
    for (int cycle = 1; cycle <= 256 * 40; ++cycle) {
        noise.Advance();
        if (cycle % 256 == 128) reg = ((reg << 1) | ((reg >> 22 ^ reg >> 17) & 1)) & 0x7FFFFF;
        ASSERT_EQ(noise.Output(none, Tables()), DocumentedNoiseOutput(reg)) << cycle;
    }
}

TEST(WaveformGeneratorTest, NoiseWithAnotherWaveformLocksUpUntilTheTestBit) {
    WaveformGenerator noise;
    const WaveformGenerator none;
    noise.WriteFrequencyHigh(0x10);
    noise.WriteControl((NOISE | PULSE) << 4);  // pulse width 0: the pulse is high
    noise.WritePulseHigh(0x0F);
    noise.WritePulseLow(0xFF);  // now the pulse stays low
    for (int cycle = 0; cycle < 128 * 30; ++cycle) {
        noise.Advance();
        noise.Output(none, Tables());
    }
    EXPECT_EQ(noise.noiseRegister() & 0x7FFFFF, 0u)
        << "every bit was pulled low and shifted through";
    noise.WriteControl(NOISE << 4);
    noise.Advance();
    EXPECT_EQ(noise.Output(none, Tables()), 0) << "noise alone stays silent";
    noise.WriteControl((NOISE << 4) | TEST);
    noise.WriteControl(NOISE << 4);
    EXPECT_EQ(noise.Output(none, Tables()), 0xFF0) << "the test bit fills the register with ones";
}

TEST(WaveformGeneratorTest, WithNoWaveformTheLastValueHoldsAndThenLeaksAway) {
    auto saw = AtPhase(0xABC000, SAWTOOTH);
    const WaveformGenerator none;
    EXPECT_EQ(saw.Output(none, Tables()), 0xABC);
    saw.WriteControl(0);
    EXPECT_EQ(saw.Output(none, Tables()), 0xABC);
    for (std::uint32_t i = 0; i < FLOATING_HOLD_CYCLES; ++i) saw.Output(none, Tables());
    EXPECT_EQ(saw.Output(none, Tables()), 0);
}

TEST(CombinedWaveformsTest, EachModelKeepsFewerBitsThanTheAndAndThe6581FewerThanThe8580) {
    for (ChipModel model : {ChipModel::Mos6581, ChipModel::Mos8580}) {
        const CombinedTables& tables = CombinedTablesOf(model);
        for (std::uint32_t index = 0; index < COMBINED_INDEXES; ++index) {
            const std::uint16_t both = SawtoothOfIndex(index) & TriangleOfIndex(index);
            // A line at 0 in every chosen waveform can never read 1.
            const std::uint16_t anyOne = SawtoothOfIndex(index) | TriangleOfIndex(index);
            ASSERT_EQ(tables.sawTriangle[index] & ~anyOne, 0) << index;
            if (model == ChipModel::Mos6581) {
                ASSERT_EQ(tables.sawTriangle[index] & ~both, 0) << index;
            }
        }
    }
    auto ones = [](const CombinedTable& table) {
        long count = 0;
        for (std::uint32_t value : table) count += std::popcount(value);
        return count;
    };
    const CombinedTables& mos6581 = CombinedTablesOf(ChipModel::Mos6581);
    const CombinedTables& mos8580 = CombinedTablesOf(ChipModel::Mos8580);
    EXPECT_GT(ones(mos6581.sawTriangle), 0);
    EXPECT_GT(ones(mos8580.sawTriangle), 2 * ones(mos6581.sawTriangle));
    EXPECT_GT(ones(mos8580.pulseSaw), ones(mos6581.pulseSaw));
    EXPECT_GT(ones(mos8580.pulseTriangle), ones(mos6581.pulseTriangle));
    // Pulse with sawtooth sounds at the ramp's top, where the sawtooth is
    // nearly all ones, and not at its bottom.
    EXPECT_EQ(mos6581.pulseSaw[0x100], 0);
    EXPECT_GT(mos6581.pulseSaw[0xFFE], 0xF00);
}

TEST(CombinedWaveformsTest, ALowPulseSilencesEveryCombinationWithIt) {
    for (std::uint8_t waveforms :
         {PULSE | SAWTOOTH, PULSE | TRIANGLE, PULSE | SAWTOOTH | TRIANGLE}) {
        auto generator = AtPhase(0x7F0000, waveforms, 0xFFF);
        EXPECT_EQ(generator.Output(WaveformGenerator{}, Tables()), 0) << int(waveforms);
    }
}

// Each run loop against Advance and Output a cycle at a time: every
// waveform selection with and without ring modulation and the test bit, at
// frequencies from 0 to the top (noise shifting every 16 cycles there), on
// runs that cross the accumulator's wrap, after the noise has run for a
// while so that its write-back has bits to clear.
TEST(WaveformGeneratorTest, RenderRunGivesTheValuesOfSteppingEachCycle) {
    std::mt19937 random(7);
    for (const ChipModel model : {ChipModel::Mos6581, ChipModel::Mos8580}) {
        const CombinedTables& tables = CombinedTablesOf(model);
        for (unsigned control = 0; control < 256; control += 2) {  // sync plays no part here
            for (const std::uint32_t frequency : {0u, 0x0123u, 0x4567u, 0xFFFFu}) {
                WaveformGenerator generator;
                generator.WriteFrequencyLow(0xFF);
                generator.WriteFrequencyHigh(0x7F);
                generator.WriteControl(NOISE << 4);
                for (std::uint32_t i = random() % 50'000; i > 0; --i) generator.Advance();
                generator.WriteFrequencyLow(static_cast<std::uint8_t>(frequency));
                generator.WriteFrequencyHigh(static_cast<std::uint8_t>(frequency >> 8));
                generator.WritePulseLow(static_cast<std::uint8_t>(random()));
                generator.WritePulseHigh(static_cast<std::uint8_t>(random()));
                generator.WriteControl(static_cast<std::uint8_t>(control));
                std::vector<std::uint8_t> tops(3000);
                for (std::size_t k = 0; k < tops.size(); ++k) tops[k] = (k / 37 + random() % 2) % 2;
                WaveformGenerator stepped = generator;
                std::vector<std::uint16_t> runs(tops.size()), cycles(tops.size());
                for (std::size_t start = 0; start < tops.size(); start += 1000)
                    generator.RenderRun(1000, &tops[start], &runs[start], tables);
                for (std::size_t k = 0; k < tops.size(); ++k) {
                    stepped.Advance();
                    cycles[k] = stepped.Output(tops[k] != 0, tables);
                }
                ASSERT_EQ(runs, cycles) << "control " << control << " frequency " << frequency;
                ASSERT_EQ(generator.accumulator(), stepped.accumulator());
                ASSERT_EQ(generator.noiseRegister(), stepped.noiseRegister());
            }
        }
    }
}

// The waveform DAC's levels: the DAC's value about its middle, the 6581's
// a quarter of a swing above it and the 8580's on it; and each combined
// table's levels, entry by entry, the levels of its values.
TEST(WaveformLevelsTest, AreTheDacsValuesOnEachModelsDcLevel) {
    for (const ChipModel model : {ChipModel::Mos6581, ChipModel::Mos8580}) {
        const WaveformLevels& levels = WaveformLevelsOf(model);
        const std::vector<float>& dac = WaveformDac(model);
        const float dc = model == ChipModel::Mos6581 ? 0.25f : 0.0f;
        for (std::size_t w = 0; w < 4096; ++w) ASSERT_EQ(levels.ofValue[w], dac[w] - 0.5f + dc);
        const CombinedTables& tables = CombinedTablesOf(model);
        const auto expectLevels = [&](const std::vector<float>& tabled,
                                      const CombinedTable& values) {
            ASSERT_EQ(tabled.size(), values.size());
            for (std::size_t i = 0; i < values.size(); ++i)
                ASSERT_EQ(tabled[i], levels.ofValue[values[i]]) << i;
        };
        expectLevels(levels.sawTriangle, tables.sawTriangle);
        expectLevels(levels.pulseSaw, tables.pulseSaw);
        expectLevels(levels.pulseTriangle, tables.pulseTriangle);
        expectLevels(levels.pulseSawTriangle, tables.pulseSawTriangle);
    }
}

// Bit for bit, so that -0 and +0 count as different.
std::uint32_t Bits(float value) { return std::bit_cast<std::uint32_t>(value); }

// The combined waveforms' levels, looked up at once from the accumulator,
// against their values from RenderRun put through the DAC: every
// combination with and without ring, in both models, and the generator left
// in the same state. The generator has floated before, and floats after:
// the lines must then keep the combination's last value as long as after
// RenderRun.
TEST(WaveformGeneratorTest, CombinedLevelsAreTheValuesThroughTheDac) {
    std::mt19937 random(11);
    for (const ChipModel model : {ChipModel::Mos6581, ChipModel::Mos8580}) {
        const CombinedTables& tables = CombinedTablesOf(model);
        const WaveformLevels& levels = WaveformLevelsOf(model);
        int combinations = 0;
        for (unsigned control = 0; control < 256; control += 2) {
            WaveformGenerator generator;
            generator.WriteControl(static_cast<std::uint8_t>(control));
            const unsigned waveforms = control >> 4;
            const bool combines =
                !(control & TEST) && waveforms < NOISE && std::popcount(waveforms) >= 2;
            ASSERT_EQ(generator.CombinesWaveforms(), combines) << control;
            if (!combines) continue;
            ++combinations;
            std::vector<std::uint16_t> floating(FLOATING_HOLD_CYCLES / 2);
            generator.WriteControl(0);
            generator.RenderRun(static_cast<std::uint32_t>(floating.size()), nullptr,
                                floating.data(), tables);
            generator.WriteControl(static_cast<std::uint8_t>(control));
            WaveformGenerator valued = generator;
            for (const std::uint32_t frequency : {0x0123u, 0x4567u, 0xFFFFu}) {
                for (WaveformGenerator* g : {&generator, &valued}) {
                    g->WriteFrequencyLow(static_cast<std::uint8_t>(frequency));
                    g->WriteFrequencyHigh(static_cast<std::uint8_t>(frequency >> 8));
                }
                const auto pulse = static_cast<std::uint16_t>(random());
                for (WaveformGenerator* g : {&generator, &valued}) {
                    g->WritePulseLow(static_cast<std::uint8_t>(pulse));
                    g->WritePulseHigh(static_cast<std::uint8_t>(pulse >> 8));
                }
                std::vector<std::uint8_t> tops(1500);
                for (std::size_t k = 0; k < tops.size(); ++k) tops[k] = (k / 29 + random() % 2) % 2;
                std::vector<std::uint16_t> values(tops.size());
                std::vector<float> levelled(tops.size());
                for (std::size_t start = 0; start < tops.size(); start += 500) {
                    valued.RenderRun(500, &tops[start], &values[start], tables);
                    generator.RenderCombinedLevels(500, &tops[start], levels, tables,
                                                   &levelled[start]);
                    ASSERT_EQ(generator.lastValue(), values[start + 499]);
                }
                for (std::size_t k = 0; k < tops.size(); ++k)
                    ASSERT_EQ(Bits(levelled[k]), Bits(levels.ofValue[values[k]]))
                        << "control " << control << " frequency " << frequency << " cycle " << k;
                ASSERT_EQ(generator.accumulator(), valued.accumulator());
                ASSERT_EQ(generator.noiseRegister(), valued.noiseRegister());
            }
            std::vector<std::uint16_t> floatedAfterValues(FLOATING_HOLD_CYCLES * 3 / 4);
            std::vector<std::uint16_t> floatedAfterLevels(floatedAfterValues.size());
            valued.WriteControl(0);
            generator.WriteControl(0);
            const auto cycles = static_cast<std::uint32_t>(floatedAfterValues.size());
            valued.RenderRun(cycles, nullptr, floatedAfterValues.data(), tables);
            generator.RenderRun(cycles, nullptr, floatedAfterLevels.data(), tables);
            ASSERT_EQ(floatedAfterLevels, floatedAfterValues) << control;
        }
        // Four combinations, with and without ring, and with the sync bit,
        // which a run without a source ignores.
        EXPECT_EQ(combinations, 4 * 2 * 2);
    }
}

TEST(LadderDacTest, The8580IsLinearAndThe6581WeighsBit0LikeBit1) {
    const std::vector<float>& linear = WaveformDac(ChipModel::Mos8580);
    for (std::size_t code = 0; code < linear.size(); code += 97)
        EXPECT_NEAR(linear[code], static_cast<double>(code) / 4095.0, 1e-6) << code;
    for (ChipModel model : {ChipModel::Mos6581, ChipModel::Mos8580}) {
        EXPECT_EQ(EnvelopeDac(model)[0], 0.0f);
        EXPECT_FLOAT_EQ(EnvelopeDac(model)[255], 1.0f);
    }
    const std::vector<float>& bent = WaveformDac(ChipModel::Mos6581);
    // Unterminated, bit 0's leg reaches node 1 through 2R + R against bit
    // 1's 2R: two thirds of its weight, where a terminated ladder gives half.
    EXPECT_NEAR(bent[1] / bent[2], 2.0 / 3.0, 0.01);
    double worst = 0;
    for (std::size_t code = 0; code < bent.size(); ++code)
        worst = std::max(worst, std::abs(bent[code] - static_cast<double>(code) / 4095.0));
    EXPECT_GT(worst, 1e-4) << "the 6581's ladder bends";
    EXPECT_LT(worst, 0.02) << "but stays a DAC";
}

}  // namespace
}  // namespace chipbox::sidchip
