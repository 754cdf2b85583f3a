// SPDX-License-Identifier: GPL-2.0-or-later
// The SID on the real machine's bus: the real chip (a 6581 or an 8580),
// clocked by the machine's clock. Before a register write lands, the chip
// is clocked up to the write's cycle, so every write takes effect on the
// cycle it happens: a volume register written eight thousand times a second
// changes the sound eight thousand times a second. A write of the value a
// register already holds changes nothing and is passed over. Reads of
// voice 3's oscillator and envelope catch the chip up to their cycle first;
// the other registers read as what the bus last held, the paddles as none
// attached.
// The chip's 32 registers repeat through $D400-$D7FF, as on the C64.
//
// The sound comes out at 44.1 kHz as the chip makes it; the player takes it
// in the counts it asks for, and what the machine ran past stays queued for
// the next time.
//
// Threads: the thread that runs the machine.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/machine/bus.h"
#include "sid/chip/real_sid.h"

namespace chipbox::machine {

class SidChip : public BusDevice {
public:
    SidChip(Bus& bus, sidchip::ChipModel model, double clockHz);

    std::uint8_t ReadRegister(std::uint16_t offset, std::uint64_t cycle) override;
    void WriteRegister(std::uint16_t offset, std::uint8_t value, std::uint64_t cycle) override;
    std::uint64_t RunEvents(std::uint64_t) override { return NEVER; }
    // The chip's registers are latches: writing one the value it holds
    // changes nothing the chip does.
    bool Holds(std::uint16_t offset, std::uint8_t value) const {
        return written_[offset & 0x1F] == value;
    }

    sidchip::ChipModel model() const { return chip_.model(); }
    // The sound's speed: the machine's cycles per second of sound are its
    // clock times `speed`. Takes effect from the cycle the chip is at.
    void SetSpeed(int speed);
    void SetVoiceMuted(int voice, bool muted) { chip_.SetVoiceMuted(voice, muted); }

    // Clocks the chip up to `cycle`.
    void CatchUp(std::uint64_t cycle);
    std::uint64_t clockedTo() const { return clockedTo_; }
    // The chip's output to `sink` instead of its own resampler (none: back
    // to its own), and what it has clocked so far handed over to it.
    void SetBlockSink(sidchip::BlockSink* sink) { chip_.SetBlockSink(sink); }
    void HandOver() { chip_.HandOver(); }
    std::size_t Available() { return chip_.Available(); }
    std::size_t Take(std::int16_t* out, std::size_t count) { return chip_.Take(out, count); }
    // Drops the sound made so far.
    void DiscardSound();

    const sidchip::RealSid& chip() const { return chip_; }
    // The values last written to the chip's 32 registers, for showing what
    // it plays; the chip itself keeps no copy.
    const std::array<std::uint8_t, 32>& writtenRegisters() const { return written_; }

private:
    Bus& bus_;
    double clockHz_;
    sidchip::RealSid chip_;
    std::uint64_t clockedTo_ = 0;
    std::array<std::uint8_t, 32> written_{};
};

}  // namespace chipbox::machine
