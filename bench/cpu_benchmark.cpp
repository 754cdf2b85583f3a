// SPDX-License-Identifier: GPL-2.0-or-later
// How fast the 6502 interpreter runs: routines that use up the whole cycle cap
// of every call, as some tunes do on every play call.
//
// Usage: chipbox-cpu-benchmark [TUNE.sid ...]
// Prints emulated cycles per second and their multiple of the C64's clock for
// two built-in routines and for the play routine of each tune given.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "core/c64_memory.h"
#include "core/psid_loader.h"
#include "core/routine_call.h"
#include "core/tune_file.h"
#include "core/tune_info.h"
#include "playback/tune_loading.h"
#include "sid/digi_registers.h"

namespace {

using namespace chipbox;

constexpr double C64_CLOCK = DIGI_CLOCK;
constexpr int CALLS = 150;

void Poke(std::uint16_t address, std::initializer_list<std::uint8_t> bytes) {
    for (std::uint8_t byte : bytes) c64Memory.bytes[address++] = byte;
}

// A wait for a raster line that never comes.
void PlaceRasterWait() {
    StartEngine();
    Poke(0x1000, {0xAD, 0x12, 0xD0, 0xC9, 0x80, 0xD0, 0xF9, 0x60});
}

// A busy loop of loads, arithmetic, indexed stores into the SID and branches.
void PlaceMixedWork() {
    StartEngine();
    // clang-format off
    Poke(0x1000, {
        0xA2, 0x00,        // loop: LDX #0
        0xBD, 0x00, 0x20,  // next: LDA $2000,X
        0x18,              //       CLC
        0x69, 0x03,        //       ADC #3
        0x9D, 0x00, 0x20,  //       STA $2000,X
        0x4A,              //       LSR
        0x8D, 0x01, 0xD4,  //       STA $D401
        0xE8,              //       INX
        0xD0, 0xF0,        //       BNE next
        0x4C, 0x00, 0x10,  //       JMP loop
    });
    // clang-format on
}

// The interpreter itself: no loop's rounds are counted instead of run.
RoutineLimits InterpretedOnly() {
    RoutineLimits limits;
    limits.skipRepeatedRounds = false;
    return limits;
}

void Measure(const char* label, const std::function<void()>& place, std::uint16_t address) {
    place();
    std::int64_t cycles = 0;
    int cappedCalls = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int call = 0; call < CALLS; ++call) {
        const std::int32_t used = CallRoutine(address, 0, InterpretedOnly());
        cycles += used ? used : ROUTINE_CYCLE_LIMIT;
        cappedCalls += used == 0;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double perSecond = cycles / seconds;
    std::printf("%-34s %6.1f M cycles/s  %7.0fx C64 speed  (%d of %d calls capped)\n", label,
                perSecond / 1e6, perSecond / C64_CLOCK, cappedCalls, CALLS);
}

}  // namespace

int main(int argc, char** argv) {
    std::printf("Emulated cycles per second, as a multiple of the C64's %.0f Hz\n", C64_CLOCK);
    Measure("raster wait (LDA/CMP/BNE)", PlaceRasterWait, 0x1000);
    Measure("mixed loads, stores, arithmetic", PlaceMixedWork, 0x1000);
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        const auto load = [&path] {
            StartEngine();
            const TuneFile file = ReadTuneFile(path, FileKinds::AnyReadable);
            if (file.problem != TuneFileProblem::None) return;
            std::string name, author, released;
            LoadPsidFile(file.bytes, name, author, released);
            RestoreTuneImage();
            CallRoutine(tuneInfo.initAddress, tuneInfo.currentSong);
        };
        load();
        const std::string label = path.substr(path.rfind('/') + 1);
        Measure(label.c_str(), load, tuneInfo.playAddress);
    }
    return 0;
}
