// SPDX-License-Identifier: GPL-2.0-or-later
// The real machine: a C64 of one video standard with its 6510, VIC-II, two
// CIAs and the SID on one bus, and the ROMs it was given or our stand-in
// for the system ROM.
//
// Threads: the thread that runs the machine.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/machine/bus.h"
#include "core/machine/cia_6526.h"
#include "core/machine/cpu_6510.h"
#include "core/machine/sid_chip.h"
#include "core/machine/sid_sockets.h"
#include "core/machine/vic_ii.h"

namespace chipbox::machine {

constexpr std::size_t KERNAL_SIZE = 8192;
constexpr std::size_t BASIC_SIZE = 8192;
constexpr std::size_t CHARACTER_ROM_SIZE = 4096;

// Images a user owns of the C64's own ROMs; an empty one is not given.
struct RomImages {
    std::vector<std::uint8_t> kernal;
    std::vector<std::uint8_t> basic;
    std::vector<std::uint8_t> characters;
};

constexpr std::uint16_t FIRST_SID_ADDRESS = 0xD400;

// Where the stand-in waits once its reset is done.
constexpr std::uint16_t STAND_IN_IDLE_LOOP = 0xE000;

// A SID beyond the first: where it sits ($D420-$D7E0 or $DE00-$DFE0 in
// steps of $20) and its model.
struct SidSocket {
    std::uint16_t address;
    sidchip::ChipModel model;
};

class C64 {
public:
    C64(VideoStandard standard, const RomImages& roms,
        sidchip::ChipModel sidModel = sidchip::ChipModel::Mos6581,
        const std::vector<SidSocket>& furtherSids = {});
    C64(const C64&) = delete;
    C64& operator=(const C64&) = delete;

    // Switches on and runs the system ROM's reset until it waits: the
    // stand-in's idle loop, or with a ROM image the time it takes to start.
    void PowerOn();
    // Runs whole instructions until the clock reaches `cycle`.
    void RunUntil(std::uint64_t cycle) { cpu_.Run(cycle); }

    std::uint64_t now() const { return bus_.now(); }
    const VideoTiming& timing() const { return vic_.timing(); }
    bool standInKernal() const { return !ownKernal_; }
    bool hasBasic() const { return hasBasic_; }

    Bus& bus() { return bus_; }
    const Bus& bus() const { return bus_; }
    Cpu6510& cpu() { return cpu_; }
    VicII& vic() { return vic_; }
    Cia6526& cia1() { return cia1_; }
    Cia6526& cia2() { return cia2_; }
    SidChip& sid() { return sid_; }
    const SidChip& sid() const { return sid_; }
    // All its SIDs, the first at 0, in the order the tune names them.
    int sidCount() const { return 1 + static_cast<int>(furtherSids_.size()); }
    SidChip& sid(int index) { return index == 0 ? sid_ : *furtherSids_[static_cast<std::size_t>(index - 1)]; }
    const SidChip& sid(int index) const {
        return index == 0 ? sid_ : *furtherSids_[static_cast<std::size_t>(index - 1)];
    }
    // Clocks every SID up to `cycle`, together.
    void CatchUpSids(std::uint64_t cycle) {
        if (sockets_)
            sockets_->CatchUpTogether(cycle);
        else
            sid_.CatchUp(cycle);
    }
    std::uint16_t sidAddress(int index) const {
        return index == 0 ? FIRST_SID_ADDRESS : furtherAddresses_[static_cast<std::size_t>(index - 1)];
    }

private:
    void AttachSids(const std::vector<SidSocket>& furtherSids, double clockHz);

    Bus bus_;
    Cpu6510 cpu_;
    VicII vic_;
    Cia6526 cia1_;
    Cia6526 cia2_;
    SidChip sid_;
    std::vector<std::unique_ptr<SidChip>> furtherSids_;
    std::vector<std::uint16_t> furtherAddresses_;
    std::unique_ptr<SidSockets> sockets_;  // with further SIDs only
    bool ownKernal_ = false;
    bool hasBasic_ = false;
    std::array<std::uint8_t, KERNAL_SIZE> kernal_{};
    std::array<std::uint8_t, BASIC_SIZE> basic_{};
    std::array<std::uint8_t, CHARACTER_ROM_SIZE> characters_{};
};

}  // namespace chipbox::machine
