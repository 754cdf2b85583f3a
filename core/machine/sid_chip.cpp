// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/machine/sid_chip.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace chipbox::machine {

namespace {

constexpr int POT_X = 0x19, POT_Y = 0x1A, OSCILLATOR_3 = 0x1B, ENVELOPE_3 = 0x1C;

}  // namespace

SidChip::SidChip(Bus& bus, sidchip::ChipModel model, double clockHz)
    : bus_(bus), clockHz_(clockHz), chip_(model, clockHz) {}

void SidChip::SetSpeed(int speed) { chip_.SetClock(clockHz_ * speed); }

void SidChip::CatchUp(std::uint64_t cycle) {
    constexpr std::uint64_t MOST_AT_ONCE = std::numeric_limits<std::uint32_t>::max();
    while (clockedTo_ < cycle) {
        const auto run = static_cast<std::uint32_t>(std::min(cycle - clockedTo_, MOST_AT_ONCE));
        chip_.Clock(run);
        clockedTo_ += run;
    }
}

void SidChip::DiscardSound() {
    std::vector<std::int16_t> dropped(chip_.Available());
    chip_.Take(dropped.data(), dropped.size());
}

std::uint8_t SidChip::ReadRegister(std::uint16_t offset, std::uint64_t cycle) {
    switch (offset & 0x1F) {
        case POT_X:
        case POT_Y: return 0xFF;  // no paddles
        case OSCILLATOR_3: CatchUp(cycle); return chip_.ReadOscillator3();
        case ENVELOPE_3: CatchUp(cycle); return chip_.ReadEnvelope3();
        default: return bus_.data();
    }
}

// Players rewrite most registers unchanged at every tick. Such a write
// does not clock the chip up to its cycle: that would only cut the chip's
// run in two, which sounds the same.
void SidChip::WriteRegister(std::uint16_t offset, std::uint8_t value, std::uint64_t cycle) {
    if (Holds(offset, value)) return;
    CatchUp(cycle);
    const auto reg = static_cast<std::uint8_t>(offset & 0x1F);
    written_[reg] = value;
    chip_.Write(reg, value);
}

}  // namespace chipbox::machine
