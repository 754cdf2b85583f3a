// SPDX-License-Identifier: GPL-2.0-or-later
// A C64 with more than one SID: the first chip at $D400, each further one at
// the address its tune names ($D420-$D7E0 or $DE00-$DFE0, in steps of $20).
// Every 32-byte slot of $D400-$D7FF that no further chip takes still
// mirrors the first chip, as on a C64 with one; the slots of $DE00-$DFFF
// that no chip takes read as what the bus held and ignore writes.
//
// Whichever chip a read reaches or a write changes, all are first clocked up
// to the cycle together, a slice at a time in turn, so that they have always
// made the same cycles of sound when one is written and none runs far ahead
// of the others.
//
// Threads: the thread that runs the machine.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/machine/bus.h"
#include "core/machine/sid_chip.h"

namespace chipbox::machine {

class SidSockets : public BusDevice {
public:
    // `first` sits at $D400; `further[i]` at `addresses[i]`, each valid.
    SidSockets(Bus& bus, SidChip& first, const std::vector<SidChip*>& further,
               const std::vector<std::uint16_t>& addresses);

    std::uint8_t ReadRegister(std::uint16_t offset, std::uint64_t cycle) override;
    void WriteRegister(std::uint16_t offset, std::uint8_t value, std::uint64_t cycle) override;
    std::uint64_t RunEvents(std::uint64_t) override { return NEVER; }

    // The chip whose registers `address` reaches, or none.
    SidChip* ChipAt(std::uint16_t address) const;
    void CatchUpTogether(std::uint64_t cycle);

private:
    static constexpr int SLOTS_AT_D400 = 32;  // $D400-$D7FF
    static constexpr int SLOTS_AT_DE00 = 16;  // $DE00-$DFFF
    static int SlotOf(std::uint16_t address);

    Bus& bus_;
    std::vector<SidChip*> chips_;  // the first, then the further ones
    std::array<SidChip*, SLOTS_AT_D400 + SLOTS_AT_DE00> slots_{};
};

}  // namespace chipbox::machine
