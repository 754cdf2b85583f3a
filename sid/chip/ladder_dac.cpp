// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/ladder_dac.h"

namespace chipbox::sidchip {

namespace {

constexpr double MATCHED_RATIO = 2.0;
constexpr double RATIO_6581 = 2.02;

// The voltage at the ladder's top node when only bit `driven` sees 1 V and
// every other leg sits at 0 V. The nodes form a chain: node k has its 2R
// leg to its bit and an R to each neighbour; node 0 ends in a 2R leg to
// ground only where the ladder is terminated. The chain's equations are
// tridiagonal, solved in one sweep down and one up.
double SingleBitOutput(int bits, int driven, double ratio, bool terminated) {
    const double legConductance = 1.0 / ratio;  // R = 1
    std::vector<double> diagonal(static_cast<std::size_t>(bits));
    std::vector<double> right(static_cast<std::size_t>(bits), 0.0);
    for (int k = 0; k < bits; ++k) {
        double g = legConductance;
        if (k > 0) g += 1.0;
        if (k < bits - 1) g += 1.0;
        if (k == 0 && terminated) g += legConductance;
        diagonal[static_cast<std::size_t>(k)] = g;
    }
    right[static_cast<std::size_t>(driven)] = legConductance;
    // Each neighbour couples by -1 (the R between them).
    for (int k = 1; k < bits; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const double factor = -1.0 / diagonal[i - 1];
        diagonal[i] -= factor * -1.0;
        right[i] -= factor * right[i - 1];
    }
    return right.back() / diagonal.back();
}

}  // namespace

std::vector<float> LadderOutputs(ChipModel model, int bits) {
    const bool is6581 = model == ChipModel::Mos6581;
    const double ratio = is6581 ? RATIO_6581 : MATCHED_RATIO;
    std::vector<double> weight(static_cast<std::size_t>(bits));
    double full = 0.0;
    for (int k = 0; k < bits; ++k) {
        weight[static_cast<std::size_t>(k)] = SingleBitOutput(bits, k, ratio, !is6581);
        full += weight[static_cast<std::size_t>(k)];
    }
    std::vector<float> outputs(std::size_t{1} << bits);
    for (std::size_t code = 0; code < outputs.size(); ++code) {
        double sum = 0.0;
        for (int k = 0; k < bits; ++k)
            if (code >> k & 1) sum += weight[static_cast<std::size_t>(k)];
        outputs[code] = static_cast<float>(sum / full);
    }
    return outputs;
}

const std::vector<float>& WaveformDac(ChipModel model) {
    static const std::vector<float> dac6581 = LadderOutputs(ChipModel::Mos6581, 12);
    static const std::vector<float> dac8580 = LadderOutputs(ChipModel::Mos8580, 12);
    return model == ChipModel::Mos6581 ? dac6581 : dac8580;
}

const std::vector<float>& EnvelopeDac(ChipModel model) {
    static const std::vector<float> dac6581 = LadderOutputs(ChipModel::Mos6581, 8);
    static const std::vector<float> dac8580 = LadderOutputs(ChipModel::Mos8580, 8);
    return model == ChipModel::Mos6581 ? dac6581 : dac8580;
}

}  // namespace chipbox::sidchip
