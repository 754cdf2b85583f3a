// SPDX-License-Identifier: GPL-2.0-or-later
// The real machine under test: a C64 on which code is placed and run, and a
// probe in the expansion area ($DE00-$DFFF) that records every access with
// its cycle, so a test can see what the processor did when.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "core/machine/c64.h"
#include "core/machine/sid_header.h"
#include "core/machine/tune_start.h"

namespace chipbox::test {

constexpr std::uint16_t PROBE = 0xDE00;

class BusProbe : public machine::BusDevice {
public:
    explicit BusProbe(machine::Bus& bus) : bus_(bus) {}

    struct Access {
        std::uint64_t cycle;
        std::uint16_t offset;  // in the I/O area
        int value;             // -1 for a read
    };
    std::uint8_t ReadRegister(std::uint16_t offset, std::uint64_t cycle) override {
        accesses.push_back({cycle, offset, -1});
        return 0;
    }
    void WriteRegister(std::uint16_t offset, std::uint8_t value, std::uint64_t cycle) override {
        accesses.push_back({cycle, offset, value});
    }
    // Drives the IRQ (or NMI) line from `cycle` on.
    void DriveLineAt(std::uint64_t cycle, bool nmi, bool asserted) {
        lineChanges_.push_back({cycle, nmi, asserted});
        bus_.Reschedule(this, NextChange());
    }
    std::uint64_t RunEvents(std::uint64_t cycle) override {
        for (auto change = lineChanges_.begin(); change != lineChanges_.end();) {
            if (change->cycle > cycle) {
                ++change;
                continue;
            }
            if (change->nmi)
                bus_.SetNmi(machine::FROM_CIA2, change->asserted);
            else
                bus_.SetIrq(machine::FROM_VIC, change->asserted);
            change = lineChanges_.erase(change);
        }
        return NextChange();
    }

    // The cycles of the writes of `value`.
    std::vector<std::uint64_t> WritesOf(int value) const {
        std::vector<std::uint64_t> cycles;
        for (const Access& access : accesses)
            if (access.value == value) cycles.push_back(access.cycle);
        return cycles;
    }

    std::vector<Access> accesses;

private:
    struct LineChange {
        std::uint64_t cycle;
        bool nmi, asserted;
    };
    std::uint64_t NextChange() const {
        std::uint64_t next = machine::NEVER;
        for (const LineChange& change : lineChanges_) next = std::min(next, change.cycle);
        return next;
    }

    machine::Bus& bus_;
    std::vector<LineChange> lineChanges_;
};

class MachineTest : public ::testing::Test {
protected:
    explicit MachineTest(machine::VideoStandard standard = machine::VideoStandard::Pal)
        : c64(std::make_unique<machine::C64>(standard, machine::RomImages{})), probe(c64->bus()) {
        c64->bus().Attach(machine::IoWindow::Expansion, &probe);
    }

    machine::Bus& bus() { return c64->bus(); }
    machine::Cpu6510& cpu() { return c64->cpu(); }

    void Poke(std::uint16_t address, std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t byte : bytes) bus().ram()[address++] = byte;
    }
    // The code at `address` with interrupts off, run for `cycles`.
    void RunAt(std::uint16_t address, std::uint64_t cycles) {
        cpu().registers.pc = address;
        cpu().registers.p |= machine::flags::I;
        c64->RunUntil(bus().now() + cycles);
    }

    std::unique_ptr<machine::C64> c64;
    BusProbe probe;
};

// A test program assembled into an RSID file: placed and started on a
// switched-on machine, it reports at $0380 ($AA passed, $EE failed) and
// names the check that ran last at $0381.
struct ProgramResult {
    std::uint8_t verdict = 0;
    std::uint8_t lastCheck = 0;
};

std::vector<std::uint8_t> ReadTuneBytes(const std::string& name);

// Runs the program for up to `seconds` of machine time.
ProgramResult RunTestProgram(const std::string& name,
                             machine::VideoStandard standard = machine::VideoStandard::Pal,
                             double seconds = 2.0);

constexpr std::uint8_t PASSED = 0xAA;

}  // namespace chipbox::test
