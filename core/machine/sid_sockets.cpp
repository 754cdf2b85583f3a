// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/machine/sid_sockets.h"

#include <algorithm>

namespace chipbox::machine {

namespace {

constexpr std::uint16_t IO_BASE = 0xD000;
constexpr std::uint16_t FIRST_WINDOW = 0xD400, FIRST_WINDOW_END = 0xD800;
constexpr std::uint16_t EXPANSION_WINDOW = 0xDE00;
constexpr int SLOT_SHIFT = 5;  // 32 bytes a chip
// The cycles each chip makes before the next takes its turn: a chip's block.
constexpr std::uint64_t SLICE_CYCLES = 512;

}  // namespace

SidSockets::SidSockets(Bus& bus, SidChip& first, const std::vector<SidChip*>& further,
                       const std::vector<std::uint16_t>& addresses)
    : bus_(bus), chips_{&first} {
    chips_.insert(chips_.end(), further.begin(), further.end());
    for (int slot = 0; slot < SLOTS_AT_D400; ++slot) slots_[static_cast<std::size_t>(slot)] = &first;
    for (std::size_t i = 0; i < further.size() && i < addresses.size(); ++i) {
        const int slot = SlotOf(addresses[i]);
        if (slot >= 0) slots_[static_cast<std::size_t>(slot)] = further[i];
    }
}

int SidSockets::SlotOf(std::uint16_t address) {
    if (address >= FIRST_WINDOW && address < FIRST_WINDOW_END)
        return (address - FIRST_WINDOW) >> SLOT_SHIFT;
    if (address >= EXPANSION_WINDOW) return SLOTS_AT_D400 + ((address - EXPANSION_WINDOW) >> SLOT_SHIFT);
    return -1;
}

SidChip* SidSockets::ChipAt(std::uint16_t address) const {
    const int slot = SlotOf(address);
    return slot < 0 ? nullptr : slots_[static_cast<std::size_t>(slot)];
}

void SidSockets::CatchUpTogether(std::uint64_t cycle) {
    while (chips_.front()->clockedTo() < cycle) {
        const std::uint64_t slice = std::min(cycle, chips_.front()->clockedTo() + SLICE_CYCLES);
        for (SidChip* chip : chips_) chip->CatchUp(slice);
    }
}

std::uint8_t SidSockets::ReadRegister(std::uint16_t offset, std::uint64_t cycle) {
    CatchUpTogether(cycle);
    SidChip* chip = ChipAt(static_cast<std::uint16_t>(IO_BASE + offset));
    return chip ? chip->ReadRegister(offset, cycle) : bus_.data();
}

// A write that changes no chip leaves them all where they are.
void SidSockets::WriteRegister(std::uint16_t offset, std::uint8_t value, std::uint64_t cycle) {
    SidChip* chip = ChipAt(static_cast<std::uint16_t>(IO_BASE + offset));
    if (!chip || chip->Holds(offset, value)) return;
    CatchUpTogether(cycle);
    chip->WriteRegister(offset, value, cycle);
}

}  // namespace chipbox::machine
