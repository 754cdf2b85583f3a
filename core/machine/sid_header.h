// SPDX-License-Identifier: GPL-2.0-or-later
// A PSID or RSID file's header as the real machine needs it, and the rules
// an RSID file must keep: it asks for nothing but the power-on C64, so its
// load and play addresses and speed are 0, its data lie at $07E8 or above
// and its init routine in RAM.
//
// Threads: any; it works on the bytes it is given.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace chipbox::machine {

enum class HeaderProblem {
    None,
    TooShort,          // shorter than its header, or no data after it
    RsidFieldsNotZero, // an RSID with a load address, play address or speed in the header
    RsidLoadTooLow,    // an RSID whose data start below $07E8
    RsidInitInRom,     // an RSID whose init lies under ROM or I/O, or below $07E8
};

// A further SID chip that a version 3 or 4 header names: where it sits and
// its model bits (0 unknown, 1 the 6581, 2 the 8580, 3 either).
struct ExtraSid {
    std::uint16_t address = 0;
    std::uint8_t modelBits = 0;
};

struct SidHeader {
    bool rsid = false;
    std::uint16_t version = 0;
    std::uint16_t loadAddress = 0;  // where the data go (the file's own when the header says 0)
    std::uint16_t initAddress = 0;  // the load address when the header says 0
    std::uint16_t playAddress = 0;
    int songs = 1;
    int startSong = 1;  // 1-based
    std::uint32_t speed = 0;
    std::uint16_t flags = 0;
    std::uint8_t startPage = 0;
    std::uint8_t pageLength = 0;
    // The second and third SID at valid addresses, in that order; the
    // addresses named that are not valid ($D420-$D7E0 or $DE00-$DFE0 in
    // steps of $20, not the first chip's $D400, not taken twice) are ignored.
    std::vector<ExtraSid> extraSids;
    std::vector<std::uint16_t> ignoredSidAddresses;
    std::span<const std::uint8_t> data;  // after the load address
    std::string name, author, released;

    // The v2NG flags: the first chip's model bits, as ExtraSid's.
    std::uint8_t modelBits() const { return (flags >> 4) & 3; }
    bool ntsc() const { return ((flags >> 2) & 3) == 2; }
    // An RSID that is a BASIC program, to be RUN rather than called.
    bool basicProgram() const { return rsid && (flags & 0x02) != 0; }
    // Song `song` (0-based) is timed by CIA 1 timer A; from song 32 on, bit 31 says.
    bool ciaTimed(int song) const { return (speed >> (song < 31 ? song : 31)) & 1; }
    // The first address past the data; may be $10000.
    std::uint32_t endAddress() const { return loadAddress + static_cast<std::uint32_t>(data.size()); }
};

struct ParsedHeader {
    SidHeader header;
    HeaderProblem problem = HeaderProblem::None;
};

// Reads the header of a whole file whose magic is "PSID" or "RSID". Data
// past $FFFF are cut off.
ParsedHeader ParseSidHeader(std::span<const std::uint8_t> file);

// The bank register the format promises a PSID routine at `address`: BASIC
// and the KERNAL visible below $A000, the KERNAL alone up to $CFFF, above
// that only I/O.
std::uint8_t PsidBankFor(std::uint16_t address);

}  // namespace chipbox::machine
