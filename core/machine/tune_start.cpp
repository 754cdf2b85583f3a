// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/machine/tune_start.h"

#include <algorithm>
#include <array>

#include "core/machine/rom/roms.h"

namespace chipbox::machine {

namespace {

// The driver's parameters and entries, as driver.a lays them out.
enum DriverLayout : std::uint16_t {
    INIT_ADDRESS = 0,
    PLAY_ADDRESS = 2,
    SONG = 4,
    INIT_BANK = 5,
    PLAY_BANK = 6,
    TIMING = 7,
    RSID_ENTRY = 8,
    PSID_ENTRY = 11,
};
constexpr std::uint8_t TIMING_RASTER = 0, TIMING_CIA = 1, TIMING_OWN_INTERRUPTS = 0x80;
// The driver was assembled at $1034 and $2034.
constexpr int ASSEMBLED_PAGE = 0x10;

constexpr int FIRST_FREE_PAGE = 0x04;  // the screen and the system's pages below
constexpr int FALLBACK_PAGE = 0x03;    // the cassette buffer, past the vectors

struct PageRange {
    int first, end;  // pages [first, end)
};
// RAM in which code can run with BASIC and the KERNAL in.
constexpr std::array<PageRange, 2> DRIVER_RAM = {{{FIRST_FREE_PAGE, 0xA0}, {0xC0, 0xD0}}};

// BASIC keeps the start of variables, arrays and free memory at these.
constexpr std::array<std::uint16_t, 3> BASIC_END_POINTERS = {0x2D, 0x2F, 0x31};
constexpr std::uint16_t BASIC_SONG_NUMBER = 0x030C;  // where SYS takes A from
constexpr std::uint16_t KEYBOARD_BUFFER = 0x0277;
constexpr std::uint16_t KEYS_WAITING = 0x00C6;
constexpr std::array<std::uint8_t, 4> RUN_RETURN = {'R', 'U', 'N', 0x0D};

bool NamedPagesUsable(const SidHeader& header) {
    if (header.startPage == 0 || header.startPage == 0xFF || header.pageLength == 0) return false;
    const int page = header.startPage;
    return std::any_of(DRIVER_RAM.begin(), DRIVER_RAM.end(),
                       [page](const PageRange& r) { return page >= r.first && page < r.end; });
}

void PlaceData(Bus& bus, const SidHeader& header) {
    std::copy(header.data.begin(), header.data.end(), bus.ram().begin() + header.loadAddress);
}

void PlaceDriver(Bus& bus, std::uint8_t page) {
    const std::uint16_t base = static_cast<std::uint16_t>(page << 8 | DRIVER_OFFSET);
    for (std::size_t i = 0; i < rom::driverAt1000.size(); ++i) {
        std::uint8_t byte = rom::driverAt1000[i];
        if (byte != rom::driverAt2000[i]) byte = static_cast<std::uint8_t>(byte - ASSEMBLED_PAGE + page);
        bus.ram()[static_cast<std::uint16_t>(base + i)] = byte;
    }
}

void SetWord(Bus& bus, std::uint16_t address, std::uint16_t value) {
    bus.ram()[address] = static_cast<std::uint8_t>(value);
    bus.ram()[static_cast<std::uint16_t>(address + 1)] = static_cast<std::uint8_t>(value >> 8);
}

std::uint8_t PsidTiming(const SidHeader& header, int song) {
    if (header.playAddress == 0) return TIMING_OWN_INTERRUPTS;
    return header.ciaTimed(song) ? TIMING_CIA : TIMING_RASTER;
}

// BASIC waits for a line; the program is put where LOAD would put it and
// RUN typed for it.
void RunBasicProgram(Bus& bus, const SidHeader& header, int song) {
    PlaceData(bus, header);
    const auto end = static_cast<std::uint16_t>(std::min<std::uint32_t>(header.endAddress(), 0xFFFF));
    for (const std::uint16_t pointer : BASIC_END_POINTERS) SetWord(bus, pointer, end);
    bus.ram()[BASIC_SONG_NUMBER] = static_cast<std::uint8_t>(song);
    std::copy(RUN_RETURN.begin(), RUN_RETURN.end(), bus.ram().begin() + KEYBOARD_BUFFER);
    bus.ram()[KEYS_WAITING] = RUN_RETURN.size();
}

}  // namespace

std::uint8_t DriverPage(const SidHeader& header) {
    if (NamedPagesUsable(header)) return header.startPage;
    const int loadFirst = header.loadAddress >> 8;
    const int loadEnd = static_cast<int>((header.endAddress() + 0xFF) >> 8);
    PageRange best{0, 0};
    for (const PageRange& ram : DRIVER_RAM) {
        // The RAM below the data, then above it.
        for (const PageRange& part : {PageRange{ram.first, std::min(ram.end, loadFirst)},
                                      PageRange{std::max(ram.first, loadEnd), ram.end}}) {
            const bool outside = part.end <= loadFirst || part.first >= loadEnd;
            if (outside && part.end - part.first > best.end - best.first) best = part;
        }
    }
    // Its last page: a tune that keeps tables past its data keeps them at the start.
    if (best.end > best.first) return static_cast<std::uint8_t>(best.end - 1);
    return FALLBACK_PAGE;
}

StartProblem StartTune(C64& machine, const SidHeader& header, int song) {
    if (header.basicProgram() && (machine.standInKernal() || !machine.hasBasic()))
        return StartProblem::NeedsBasic;
    machine.PowerOn();
    Bus& bus = machine.bus();
    if (header.basicProgram()) {
        RunBasicProgram(bus, header, song);
        return StartProblem::None;
    }
    PlaceData(bus, header);
    const std::uint8_t page = DriverPage(header);
    PlaceDriver(bus, page);
    const std::uint16_t base = static_cast<std::uint16_t>(page << 8 | DRIVER_OFFSET);
    SetWord(bus, base + INIT_ADDRESS, header.initAddress);
    SetWord(bus, base + PLAY_ADDRESS, header.playAddress);
    bus.ram()[base + SONG] = static_cast<std::uint8_t>(song);
    bus.ram()[base + INIT_BANK] = PsidBankFor(header.initAddress);
    bus.ram()[base + PLAY_BANK] = PsidBankFor(header.playAddress);
    bus.ram()[base + TIMING] = PsidTiming(header, song);
    machine.cpu().registers.pc =
        static_cast<std::uint16_t>(base + (header.rsid ? RSID_ENTRY : PSID_ENTRY));
    return StartProblem::None;
}

}  // namespace chipbox::machine
