// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/combined_waveforms.h"

#include <array>

namespace chipbox::sidchip {

namespace {

constexpr int BITS = 12;
constexpr std::uint16_t PULSE_HIGH = 0xFFF;

CombinedTables BuildTables(ChipModel model) {
    const Coupling coupling = CouplingOf(model);
    CombinedTables tables;
    tables.sawTriangle.resize(COMBINED_INDEXES);
    tables.pulseSaw.resize(4096);
    tables.pulseTriangle.resize(COMBINED_INDEXES);
    tables.pulseSawTriangle.resize(COMBINED_INDEXES);
    for (std::uint32_t index = 0; index < COMBINED_INDEXES; ++index) {
        const std::uint16_t saw = SawtoothOfIndex(index), triangle = TriangleOfIndex(index);
        const std::array<std::uint16_t, 2> st = {saw, triangle};
        const std::array<std::uint16_t, 2> pt = {PULSE_HIGH, triangle};
        const std::array<std::uint16_t, 3> pst = {PULSE_HIGH, saw, triangle};
        tables.sawTriangle[index] = CombineOutputs(st.data(), 2, coupling);
        tables.pulseTriangle[index] = CombineOutputs(pt.data(), 2, coupling);
        tables.pulseSawTriangle[index] = CombineOutputs(pst.data(), 3, coupling);
    }
    for (std::uint16_t saw = 0; saw < 4096; ++saw) {
        const std::array<std::uint16_t, 2> ps = {PULSE_HIGH, saw};
        tables.pulseSaw[saw] = CombineOutputs(ps.data(), 2, coupling);
    }
    return tables;
}

}  // namespace

Coupling CouplingOf(ChipModel model) {
    return model == ChipModel::Mos6581 ? Coupling{0.6, 0.9} : Coupling{0.35, 0.78};
}

std::uint16_t CombineOutputs(const std::uint16_t* outputs, int count, Coupling coupling) {
    std::array<double, BITS> distanceWeight{};
    distanceWeight[0] = 1.0;
    for (int d = 1; d < BITS; ++d)
        distanceWeight[d] = distanceWeight[d - 1] * coupling.neighbourWeight;
    std::array<int, BITS> onesAt{};  // how many of the waveforms hold a 1 at each bit
    for (int w = 0; w < count; ++w)
        for (int bit = 0; bit < BITS; ++bit) onesAt[bit] += outputs[w] >> bit & 1;
    std::uint16_t combined = 0;
    for (int line = 0; line < BITS; ++line) {
        double ones = 0.0, all = 0.0;
        for (int bit = 0; bit < BITS; ++bit) {
            const double weight = distanceWeight[line > bit ? line - bit : bit - line];
            all += weight * count;
            ones += weight * onesAt[bit];
        }
        if (ones > coupling.threshold * all) combined |= static_cast<std::uint16_t>(1 << line);
    }
    return combined;
}

// Each model's tables are built the first time that model plays.
const CombinedTables& CombinedTablesOf(ChipModel model) {
    if (model == ChipModel::Mos6581) {
        static const CombinedTables tables6581 = BuildTables(ChipModel::Mos6581);
        return tables6581;
    }
    static const CombinedTables tables8580 = BuildTables(ChipModel::Mos8580);
    return tables8580;
}

}  // namespace chipbox::sidchip
