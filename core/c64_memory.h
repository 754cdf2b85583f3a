// SPDX-License-Identifier: GPL-2.0-or-later
// The emulated C64: one flat 64 KB of RAM and the write path into the SID.
//
// Threads: one thread at a time runs the tune's code and reads the memory
// plainly. In HardSID mode the sample thread reads sample bytes while that
// thread may store into them, so every store is a relaxed atomic one and the
// sample thread reads through ReadMemoryShared.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

namespace chipbox {

// Every address is RAM: no ROMs, no VIC-II, no CIAs, no bank switching. The I/O
// area reads back whatever was last stored there.
struct C64Memory {
    std::array<std::uint8_t, 65536> bytes{};
};

extern C64Memory c64Memory;

// A plain array access; reads never have side effects.
inline std::uint8_t ReadMemory(std::uint16_t address) { return c64Memory.bytes[address]; }

// Handles a store into $D400-$D7FF after the byte has been stored: $D419-$D4FF
// goes to the digi register decoder, the rest to SidWrite as register
// (address AND $1F). Register 24 stops here while the HardSID sample thread
// owns the volume register.
void RouteSidAreaWrite(std::uint16_t address, std::uint8_t value);

// A store without hooks; as cheap as a plain one.
inline void StoreMemory(std::uint16_t address, std::uint8_t value) {
    std::atomic_ref<std::uint8_t>(c64Memory.bytes[address]).store(value, std::memory_order_relaxed);
}

// A read from another thread than the one running the tune's code.
inline std::uint8_t ReadMemoryShared(std::uint16_t address) {
    return std::atomic_ref<std::uint8_t>(c64Memory.bytes[address]).load(std::memory_order_relaxed);
}

// Stores the byte at every address (so the tune reads back what it wrote) and
// forwards stores into the SID's window. Any address outside $D400-$D7FF costs
// one store and one comparison.
inline void WriteMemory(std::uint16_t address, std::uint8_t value) {
    StoreMemory(address, value);
    if ((address & 0xFC00) == 0xD400) RouteSidAreaWrite(address, value);
}

// Fills all 65,536 bytes with zero, without any hooks.
void ClearMemory();

// Copies 65,536 bytes over the memory, without any hooks.
void FillMemory(std::span<const std::uint8_t, 65536> bytes);

// CIA 1 timer A, as the tune programs it: no timer runs, but the player times
// the play calls of CIA tunes from the value stored here.
constexpr std::uint16_t CIA1_TIMER_A_LOW = 0xDC04;
constexpr std::uint16_t CIA1_TIMER_A_HIGH = 0xDC05;

inline std::uint16_t ReadCiaTimerA() {
    return static_cast<std::uint16_t>(256 * ReadMemory(CIA1_TIMER_A_HIGH) +
                                      ReadMemory(CIA1_TIMER_A_LOW));
}

}  // namespace chipbox
