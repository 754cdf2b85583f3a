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

// Where the stand-in waits once its reset is done.
constexpr std::uint16_t STAND_IN_IDLE_LOOP = 0xE000;

class C64 {
public:
    C64(VideoStandard standard, const RomImages& roms,
        sidchip::ChipModel sidModel = sidchip::ChipModel::Mos6581);
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

private:
    Bus bus_;
    Cpu6510 cpu_;
    VicII vic_;
    Cia6526 cia1_;
    Cia6526 cia2_;
    SidChip sid_;
    bool ownKernal_ = false;
    bool hasBasic_ = false;
    std::array<std::uint8_t, KERNAL_SIZE> kernal_{};
    std::array<std::uint8_t, BASIC_SIZE> basic_{};
    std::array<std::uint8_t, CHARACTER_ROM_SIZE> characters_{};
};

}  // namespace chipbox::machine
