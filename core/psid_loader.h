// SPDX-License-Identifier: GPL-2.0-or-later
// Reads a PSID file into the emulated machine.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace chipbox {

// Parses the header of `file` (the whole file's bytes), places the C64 data
// in memory (wrapping past $FFFF), takes the TuneImage and fills TuneInfo.
// Bytes missing at the end of a short file read as $FF. When the header's
// play address is 0 the init routine runs once with A = 0 and the IRQ vector
// at $0314/$0315 becomes the play address. A song count of 0 counts as 1, and
// a start song of 0 or above the song count starts at the first song. The
// three texts are handed back as raw Latin-1 bytes. Expects StartEngine to
// have run just before. Returns the load address.
std::uint16_t LoadPsidFile(std::span<const std::uint8_t> file, std::string& name,
                           std::string& author, std::string& released);

}  // namespace chipbox
