// SPDX-License-Identifier: GPL-2.0-or-later
// Starting a tune on the real machine, as the file format promises: the
// data placed, and from the power-on environment either the RSID's init
// called with the song, after which the tune owns the machine, or the
// PSID's init followed by its play routine on an interrupt once a frame or
// at CIA 1 timer A's rate. Our driver for this lies in a page the tune
// leaves free. An RSID that is a BASIC program is RUN instead.
//
// Threads: the thread that runs the machine.
#pragma once

#include <cstdint>

#include "core/machine/c64.h"
#include "core/machine/sid_header.h"

namespace chipbox::machine {

enum class StartProblem {
    None,
    NeedsBasic,  // a BASIC program, and no BASIC and KERNAL images to run it
};

// Where the driver goes: the free pages the header names, else the last page
// of the largest stretch of RAM outside the tune's data (below $A000 or at
// $C000-$CFFF), else page 3, past the vectors.
std::uint8_t DriverPage(const SidHeader& header);

// The driver's bytes moved to `page`: at offset $34 in it.
constexpr std::uint16_t DRIVER_OFFSET = 0x34;

// Powers the machine on and starts song `song` (0-based) of the tune.
StartProblem StartTune(C64& machine, const SidHeader& header, int song);

}  // namespace chipbox::machine
