// SPDX-License-Identifier: GPL-2.0-or-later
// What the waveform DAC sees when more than one of sawtooth, triangle and
// pulse is selected. The selector does not mix the waveforms: it connects
// each chosen waveform's output bit onto the same DAC input line, and in
// NMOS a bit at 0 pulls the line down harder than a bit at 1 holds it up.
// The lines also leak into their neighbours through the selector's shared
// wiring, so a bit survives only where the chosen waveforms hold ones at it
// and mostly around it. That is how the model works: each line settles at
// the weighted share of ones among the chosen waveforms' bits, its own bit
// weighing most and each step away weighing less by a coupling factor, and
// it reads as 1 above a threshold. The 6581's lines couple further and its
// pull-down wins more often, so its combined waveforms come out thin and
// quiet; the 8580's couple less and keep more bits, so its are louder, as
// listeners know them. The two parameter sets are our choice, made to give
// that character; they are not fitted to a measured chip.
//
// Noise combined with the others is the AND of its bits with theirs, and
// the zeros it meets are written back into the noise shift register (see
// the waveform generator).
#pragma once

#include <cstdint>
#include <vector>

#include "sid/chip/chip_model.h"

namespace chipbox::sidchip {

// The waveform bits of the selector (control register bits 4-6).
enum WaveformBits : std::uint8_t { TRIANGLE = 1, SAWTOOTH = 2, PULSE = 4, NOISE = 8 };

// One line's neighbourhood rule for a model.
struct Coupling {
    double neighbourWeight;  // weight of a bit one step away, squared two steps away, ...
    double threshold;        // the share of ones above which a line reads 1
};
Coupling CouplingOf(ChipModel model);

// The combined output of the waveforms whose 12-bit outputs are given,
// by the rule above.
std::uint16_t CombineOutputs(const std::uint16_t* outputs, int count, Coupling coupling);

// Tables for the combinations with the triangle, indexed by the
// accumulator's bits 23-11 with the triangle's MSB after ring modulation
// (which can differ from the sawtooth's) above them, 14 bits in all; pulse
// with sawtooth by the sawtooth. The pulse in them is
// high; a low pulse makes every combination with it 0. The 12-bit values
// are held in 32-bit entries, which the run loops can fetch as vectors.
using CombinedTable = std::vector<std::uint32_t>;
struct CombinedTables {
    CombinedTable sawTriangle;       // 16384
    CombinedTable pulseSaw;          // 4096
    CombinedTable pulseTriangle;     // 16384
    CombinedTable pulseSawTriangle;  // 16384
};
const CombinedTables& CombinedTablesOf(ChipModel model);

constexpr std::uint32_t COMBINED_INDEXES = 1 << 14;

// The index of an accumulator and the triangle's MSB.
inline std::uint32_t CombinedIndex(std::uint32_t accumulator, bool triangleTop) {
    return (accumulator >> 11 & 0x1FFF) | (triangleTop ? 1u << 13 : 0u);
}
// The sawtooth's and the triangle's 12 bits at an index.
inline std::uint16_t SawtoothOfIndex(std::uint32_t index) { return index >> 1 & 0xFFF; }
inline std::uint16_t TriangleOfIndex(std::uint32_t index) {
    const std::uint32_t bits = index & 0xFFF;  // accumulator bits 22-11
    return static_cast<std::uint16_t>((index >> 13 & 1 ? ~bits : bits) & 0xFFF);
}

}  // namespace chipbox::sidchip
