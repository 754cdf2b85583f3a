// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/machine/bus.h"

#include <algorithm>

namespace chipbox::machine {

namespace {

constexpr std::uint8_t LORAM = 1, HIRAM = 2, CHAREN = 4;
// What a ROM that is not there reads as.
const std::array<std::uint8_t, 8192> NO_ROM{};

}  // namespace

Bus::Bus() { Reset(); }

void Bus::Reset() {
    ram_.fill(0);
    colorRam_.fill(0);
    clock_ = 0;
    portDirection_ = 0x2F;
    portData_ = 0x37;
    data_ = 0;
    irqSources_ = nmiSources_ = 0;
    nmiLatched_ = false;
    baStart_ = baEnd_ = NEVER;
    for (Slot& slot : devices_) slot.next = NEVER;
    nextEvent_ = NEVER;
    Remap();
    UpdateAttention();
}

std::uint8_t Bus::BankBits() const {
    return static_cast<std::uint8_t>((portData_ | ~portDirection_) & 7);
}

// The PLA of a C64 without a cartridge: BASIC needs LORAM and HIRAM, the
// KERNAL HIRAM, and $D000-$DFFF shows I/O or the character ROM (CHAREN) once
// either is set; with neither, all is RAM.
void Bus::Remap() { MapPages(0x00); }

// Below $A000 and at $C000-$CFFF there is only RAM, so a change of the bank
// bits maps from $A000 on.
void Bus::MapPages(int firstPage) {
    const std::uint8_t bits = BankBits();
    const bool basic = (bits & (LORAM | HIRAM)) == (LORAM | HIRAM);
    const bool kernal = (bits & HIRAM) != 0;
    const bool upper = (bits & (LORAM | HIRAM)) != 0;
    ioVisible_ = upper && (bits & CHAREN);
    const bool characters = upper && !(bits & CHAREN);
    for (int page = firstPage; page < 256; ++page) {
        const std::uint16_t base = static_cast<std::uint16_t>(page << 8);
        std::uint8_t* ramPage = &ram_[base];
        const std::uint8_t* read = ramPage;
        std::uint8_t* write = ramPage;
        if (page >= 0xA0 && page < 0xC0 && basic) {
            read = (basic_ ? basic_ : NO_ROM.data()) + (base - 0xA000);
        } else if (page >= 0xE0 && kernal) {
            read = (kernal_ ? kernal_ : NO_ROM.data()) + (base - 0xE000);
        } else if (page >= 0xD0 && page < 0xE0 && characters) {
            read = (characterRom_ ? characterRom_ : NO_ROM.data()) + (base - 0xD000);
        } else if (page >= 0xD0 && page < 0xE0 && ioVisible_) {
            read = nullptr;
            write = nullptr;
        }
        readPages_[page] = read;
        writePages_[page] = write;
    }
    // The port: $00 and $01 read as the port, and a store there sets it.
    readPages_[0] = nullptr;
    writePages_[0] = nullptr;
}

std::uint8_t Bus::ReadSlow(std::uint16_t address) {
    if (address < 0x0100) {
        if (address == 0) return portDirection_;
        // Outputs read back as written; of the inputs, the bank lines'
        // pull-ups and the cassette sense (no button down) read 1.
        if (address == 1)
            return static_cast<std::uint8_t>((portData_ & portDirection_) |
                                             (~portDirection_ & 0x17));
        return ram_[address];
    }
    return ReadIo(address);
}

void Bus::WriteSlow(std::uint16_t address, std::uint8_t value) {
    if (address < 2) {
        WritePort(address, value);
        ram_[address] = value;  // the VIC sees the RAM beneath the port
        return;
    }
    if (address < 0x0100) {
        ram_[address] = value;
        return;
    }
    WriteIo(address, value);
}

void Bus::WritePort(std::uint16_t address, std::uint8_t value) {
    const std::uint8_t bitsBefore = BankBits();
    if (address == 0)
        portDirection_ = value;
    else
        portData_ = value;
    if (BankBits() != bitsBefore) MapPages(0xA0);
}

IoWindow Bus::WindowOf(std::uint16_t address) {
    switch ((address >> 8) & 0x0F) {
        case 0x0:
        case 0x1:
        case 0x2:
        case 0x3: return IoWindow::Vic;
        case 0x4:
        case 0x5:
        case 0x6:
        case 0x7: return IoWindow::Sid;
        case 0x8:
        case 0x9:
        case 0xA:
        case 0xB: return IoWindow::ColorRam;
        case 0xC: return IoWindow::Cia1;
        case 0xD: return IoWindow::Cia2;
        default: return IoWindow::Expansion;
    }
}

std::uint8_t Bus::ReadIo(std::uint16_t address) {
    const IoWindow window = WindowOf(address);
    if (window == IoWindow::ColorRam)  // four bits; the rest is what the bus held
        return static_cast<std::uint8_t>((colorRam_[address & 0x3FF] & 0x0F) | (data_ & 0xF0));
    BusDevice* device = devices_[static_cast<int>(window)].device;
    if (!device) return data_;
    return device->ReadRegister(static_cast<std::uint16_t>(address - 0xD000), clock_);
}

void Bus::WriteIo(std::uint16_t address, std::uint8_t value) {
    ram_[address] = value;  // writes to I/O also reach the RAM beneath
    const IoWindow window = WindowOf(address);
    if (window == IoWindow::ColorRam) {
        colorRam_[address & 0x3FF] = value & 0x0F;
        return;
    }
    if (BusDevice* device = devices_[static_cast<int>(window)].device)
        device->WriteRegister(static_cast<std::uint16_t>(address - 0xD000), value, clock_);
}

void Bus::Attach(IoWindow window, BusDevice* device) {
    devices_[static_cast<int>(window)] = {device, NEVER};
    Reschedule(device, device->RunEvents(clock_));
}

void Bus::Reschedule(BusDevice* device, std::uint64_t next) {
    for (Slot& slot : devices_)
        if (slot.device == device) slot.next = next;
    nextEvent_ = NEVER;
    for (const Slot& slot : devices_) nextEvent_ = std::min(nextEvent_, slot.next);
    UpdateAttention();
}

void Bus::RunDueEvents() {
    while (nextEvent_ <= clock_) {
        std::uint64_t next = NEVER;
        for (Slot& slot : devices_) {
            if (slot.next <= clock_) slot.next = slot.device->RunEvents(clock_);
            next = std::min(next, slot.next);
        }
        nextEvent_ = next;
    }
}

// Inside a BA-low stretch every access is looked at.
void Bus::UpdateAttention() {
    std::uint64_t attention = nextEvent_;
    if (clock_ < baEnd_) attention = std::min(attention, std::max(baStart_, clock_));
    attention_ = attention;
}

// Events first; then a read inside a BA-low stretch waits it out, the events
// of the cycles it waits running on their own cycles.
void Bus::Attend(bool reading) {
    for (;;) {
        RunDueEvents();
        if (!reading || clock_ < baStart_ || clock_ >= baEnd_) break;
        clock_ = std::min(baEnd_, std::max(nextEvent_, clock_ + 1));
    }
    UpdateAttention();
}

void Bus::HoldBa(std::uint64_t start, std::uint64_t end) {
    baStart_ = start;
    baEnd_ = end;
    UpdateAttention();
}

void Bus::Idle(std::uint64_t untilCycle) {
    while (clock_ < untilCycle) {
        RunDueEvents();
        clock_ = std::min(untilCycle, std::max(nextEvent_, clock_ + 1));
    }
    UpdateAttention();
}

void Bus::SetIrq(InterruptSource source, bool asserted) {
    if (asserted)
        irqSources_ |= source;
    else
        irqSources_ &= static_cast<std::uint8_t>(~source);
}

void Bus::SetNmi(InterruptSource source, bool asserted) {
    const bool before = nmiSources_ != 0;
    if (asserted)
        nmiSources_ |= source;
    else
        nmiSources_ &= static_cast<std::uint8_t>(~source);
    if (!before && nmiSources_ != 0) nmiLatched_ = true;
}

}  // namespace chipbox::machine
