// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/waveform_levels.h"

#include <cstddef>

#include "sid/chip/ladder_dac.h"

namespace chipbox::sidchip {
namespace {

constexpr float WAVEFORM_MIDDLE = 0.5f;
constexpr float WAVEFORM_DC_6581 = 0.25f;
constexpr float WAVEFORM_DC_8580 = 0.0f;

std::vector<float> LevelsOfEntries(const std::array<float, 4096>& ofValue,
                                   const CombinedTable& table) {
    std::vector<float> levels(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) levels[i] = ofValue[table[i]];
    return levels;
}

WaveformLevels BuildLevels(ChipModel model) {
    const float dc = model == ChipModel::Mos6581 ? WAVEFORM_DC_6581 : WAVEFORM_DC_8580;
    const std::vector<float>& dac = WaveformDac(model);
    WaveformLevels levels;
    for (std::size_t w = 0; w < levels.ofValue.size(); ++w)
        levels.ofValue[w] = dac[w] - WAVEFORM_MIDDLE + dc;
    const CombinedTables& tables = CombinedTablesOf(model);
    levels.sawTriangle = LevelsOfEntries(levels.ofValue, tables.sawTriangle);
    levels.pulseSaw = LevelsOfEntries(levels.ofValue, tables.pulseSaw);
    levels.pulseTriangle = LevelsOfEntries(levels.ofValue, tables.pulseTriangle);
    levels.pulseSawTriangle = LevelsOfEntries(levels.ofValue, tables.pulseSawTriangle);
    return levels;
}

}  // namespace

const WaveformLevels& WaveformLevelsOf(ChipModel model) {
    if (model == ChipModel::Mos6581) {
        static const WaveformLevels levels6581 = BuildLevels(ChipModel::Mos6581);
        return levels6581;
    }
    static const WaveformLevels levels8580 = BuildLevels(ChipModel::Mos8580);
    return levels8580;
}

}  // namespace chipbox::sidchip
