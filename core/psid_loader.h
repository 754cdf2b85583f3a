// Reads a PSID file into the emulated machine.
#pragma once

#include <cstdint>
#include <string>

namespace chipbox {

// Parses the header, places the C64 data in memory (wrapping past $FFFF),
// takes the TuneImage and fills TuneInfo. Bytes missing at the end of a short
// file read as $FF. When the header's play address is 0 the init routine runs
// once with A = 0 and the IRQ vector at $0314/$0315 becomes the play address.
// The three texts are handed back as raw Latin-1 bytes.
// Expects StartEngine to have run just before. Returns the load address, or 0
// when the file cannot be opened (nothing changes then).
std::uint16_t LoadPsidFile(const std::string& path, std::string& name, std::string& author,
                           std::string& released);

}  // namespace chipbox
