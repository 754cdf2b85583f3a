// SPDX-License-Identifier: GPL-2.0-or-later
// What the loader knows about the current tune, and the pristine memory image
// every subsong start begins from.
//
// Threads: written by loading and subsong changes on the window's thread.
// The play address is also rewritten after every play call, which in HardSID
// mode runs on the play timer while the window may show it: it is a relaxed
// atomic. The rest is read by play calls only while no load can run (a load
// stops playback first).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sid/relaxed_atomic.h"

namespace chipbox {

struct TuneInfo {
    std::uint16_t loadAddress = 0;
    std::uint16_t initAddress = 0x1000;
    // Also followed from the IRQ vector at $0314/$0315 after every routine call.
    RelaxedAtomic<std::uint16_t> playAddress{0x1003};
    std::uint8_t lastSong = 0;       // song count - 1, 0-based
    std::uint8_t currentSong = 0;    // 0-based; passed to the init routine
    bool ciaTiming = false;          // one flag for all subsongs
    std::uint16_t dataSize = 0;      // data bytes placed in memory, modulo 65536
    bool playFromIrqVector = false;  // the header had no play address
    std::uint16_t version = 0;       // of the header
    bool rsid = false;               // an RSID file: it plays on the real machine only
    // The header's flags (version 2 on): the tune's own claims about the SID
    // model (bits 4-5) and video standard (bits 2-3). Playback ignores them.
    std::uint16_t flags = 0;
    // Header texts: 8-bit Latin-1 bytes as the file holds them, never decoded.
    std::string name;
    std::string author;
    std::string released;
};

extern TuneInfo tuneInfo;

// A copy of the memory taken after loading, before any tune code has run.
struct TuneImage {
    std::array<std::uint8_t, 65536> bytes{};
};

extern TuneImage tuneImage;

void TakeTuneImage();     // C64Memory -> TuneImage
void RestoreTuneImage();  // TuneImage -> C64Memory, without I/O hooks

// Returns TuneInfo and TuneImage to their state at program start.
void ResetTuneState();

}  // namespace chipbox
