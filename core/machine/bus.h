// SPDX-License-Identifier: GPL-2.0-or-later
// The real machine's bus, as the 6510 sees it: one access per cycle, the
// memory map the processor port selects (RAM, BASIC, KERNAL, character ROM,
// I/O), the chips' events on their cycles, the cycles the VIC takes from the
// processor, and the interrupt lines.
//
// Time is the machine's clock: `now()` is the cycle of the next access. The
// chips say when their next event is; an access on or after it runs the
// events first, in order, so each chip changes state on its own cycle while
// the processor runs at full speed in between.
//
// Threads: the thread that runs the machine, alone.
#pragma once

#include <array>
#include <cstdint>

namespace chipbox::machine {

constexpr std::uint64_t NEVER = ~std::uint64_t{0};

// A chip on the bus: its registers in the I/O area, and its events.
class BusDevice {
public:
    virtual ~BusDevice() = default;
    // `offset` within the chip's window; `cycle` is the access's.
    virtual std::uint8_t ReadRegister(std::uint16_t offset, std::uint64_t cycle) = 0;
    virtual void WriteRegister(std::uint16_t offset, std::uint8_t value, std::uint64_t cycle) = 0;
    // Runs what is due at `cycle` and returns the chip's next event (NEVER).
    virtual std::uint64_t RunEvents(std::uint64_t cycle) = 0;
};

// Interrupt sources, as bits of the lines' state.
enum InterruptSource : std::uint8_t {
    FROM_VIC = 1,
    FROM_CIA1 = 2,
    FROM_CIA2 = 4,
};

// The I/O windows of $D000-$DFFF.
enum class IoWindow { Vic, Sid, ColorRam, Cia1, Cia2, Expansion };

class Bus {
public:
    Bus();
    Bus(const Bus&) = delete;
    Bus& operator=(const Bus&) = delete;

    // The 6510's accesses; each takes one cycle.
    __attribute__((always_inline)) std::uint8_t Read(std::uint16_t address) {
        if (clock_ >= attention_) Attend(true);
        const std::uint8_t* page = readPages_[address >> 8];
        const std::uint8_t value = page ? page[address & 0xFF] : ReadSlow(address);
        data_ = value;
        ++clock_;
        return value;
    }
    __attribute__((always_inline)) void Write(std::uint16_t address, std::uint8_t value) {
        if (clock_ >= attention_) Attend(false);
        data_ = value;
        if (std::uint8_t* page = writePages_[address >> 8])
            page[address & 0xFF] = value;
        else
            WriteSlow(address, value);
        ++clock_;
    }
    // Cycles in which the processor does nothing on the bus (a jammed
    // processor); events still run.
    void Idle(std::uint64_t untilCycle);
    // The first cycle on which an access has more to do than touch memory:
    // an event, or a stretch in which the VIC holds the bus. Until then a
    // loop that reads only RAM or ROM changes nothing but the clock.
    std::uint64_t NextAttention() const { return attention_; }
    // Moves the clock on by cycles that end before NextAttention().
    void Skip(std::uint64_t cycles) { clock_ += cycles; }
    // The byte at `address` when it is RAM or ROM, read without a cycle;
    // false for I/O and the port.
    bool Peek(std::uint16_t address, std::uint8_t& value) const {
        const std::uint8_t* page = readPages_[address >> 8];
        if (!page) return false;
        value = page[address & 0xFF];
        return true;
    }

    std::uint64_t now() const { return clock_; }

    // The processor port ($00 direction, $01 data) and the map it selects.
    std::uint8_t portDirection() const { return portDirection_; }
    std::uint8_t portData() const { return portData_; }
    // The bank bits as the PLA sees them: outputs as written, inputs high.
    std::uint8_t BankBits() const;

    std::array<std::uint8_t, 65536>& ram() { return ram_; }
    const std::array<std::uint8_t, 65536>& ram() const { return ram_; }
    std::array<std::uint8_t, 1024>& colorRam() { return colorRam_; }
    // ROM images; a missing one reads as zeros.
    void SetKernal(const std::uint8_t* image) { kernal_ = image; Remap(); }
    void SetBasic(const std::uint8_t* image) { basic_ = image; Remap(); }
    void SetCharacterRom(const std::uint8_t* image) { characterRom_ = image; Remap(); }

    void Attach(IoWindow window, BusDevice* device);
    // A device's next event changed outside its RunEvents (a register write).
    void Reschedule(BusDevice* device, std::uint64_t next);

    // The interrupt lines. IRQ is the OR of its sources; NMI latches each
    // falling edge until the processor takes it.
    void SetIrq(InterruptSource source, bool asserted);
    void SetNmi(InterruptSource source, bool asserted);
    bool irq() const { return irqSources_ != 0; }
    bool nmiLatched() const { return nmiLatched_; }
    void TakeNmi() { nmiLatched_ = false; }

    // From `start` until `end` the VIC holds BA low: a read waits until
    // `end`; the processor's writes go on (it never makes more than three
    // in a row).
    void HoldBa(std::uint64_t start, std::uint64_t end);

    // The last value on the data bus: what a register that drives nothing
    // reads as.
    std::uint8_t data() const { return data_; }

    // Back to power-on: RAM cleared, port $2F/$37, no events, lines high.
    void Reset();

private:
    std::uint8_t ReadSlow(std::uint16_t address);
    void WriteSlow(std::uint16_t address, std::uint8_t value);
    std::uint8_t ReadIo(std::uint16_t address);
    void WriteIo(std::uint16_t address, std::uint8_t value);
    void Attend(bool reading);
    void RunDueEvents();
    void UpdateAttention();
    void Remap();
    void MapPages(int firstPage);
    void WritePort(std::uint16_t address, std::uint8_t value);
    static IoWindow WindowOf(std::uint16_t address);

    std::uint64_t clock_ = 0;
    std::uint64_t attention_ = 0;  // the first cycle an access must look at
    std::uint64_t nextEvent_ = NEVER;
    std::uint64_t baStart_ = NEVER;
    std::uint64_t baEnd_ = NEVER;

    std::array<std::uint8_t, 65536> ram_{};
    std::array<std::uint8_t, 1024> colorRam_{};
    const std::uint8_t* kernal_ = nullptr;
    const std::uint8_t* basic_ = nullptr;
    const std::uint8_t* characterRom_ = nullptr;
    std::array<const std::uint8_t*, 256> readPages_{};  // null: I/O, the port or a missing ROM
    std::array<std::uint8_t*, 256> writePages_{};       // null: I/O or the port
    bool ioVisible_ = true;

    std::uint8_t portDirection_ = 0x2F;
    std::uint8_t portData_ = 0x37;
    std::uint8_t data_ = 0;

    struct Slot {
        BusDevice* device = nullptr;
        std::uint64_t next = NEVER;
    };
    std::array<Slot, 6> devices_{};  // by IoWindow

    std::uint8_t irqSources_ = 0;
    std::uint8_t nmiSources_ = 0;
    bool nmiLatched_ = false;
};

}  // namespace chipbox::machine
