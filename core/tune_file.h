// SPDX-License-Identifier: GPL-2.0-or-later
// A tune file's bytes, checked before the emulated machine is touched. The
// file is read elsewhere; the core is handed the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace chipbox {

// The header's data offset is one byte and the data fill at most the 64 KB of
// memory plus a load address in front: a file longer than its data offset
// plus this is no tune.
constexpr std::size_t LONGEST_TUNE_DATA = 65536 + 2;
constexpr std::size_t LARGEST_DATA_OFFSET = 0xFF;
// How much of a file to read: one byte more than any tune, to tell a file
// that is too long.
constexpr std::size_t TUNE_READ_LIMIT = LARGEST_DATA_OFFSET + LONGEST_TUNE_DATA + 1;

enum class TuneFileProblem {
    None,
    CannotOpen,  // `error` tells why
    IsDirectory,
    NotRegularFile,  // a FIFO, socket or device where only a regular file is taken
    NotPsid,         // the first four bytes are neither "PSID" nor "RSID" (or fewer than four)
    InvalidRsid,     // "RSID", but it asks for more than the C64 as it is switched on
    TooLarge,        // longer than its data offset plus LONGEST_TUNE_DATA
    NeedsBasic,      // an RSID that is a BASIC program, without the ROM images to run it
};

struct TuneFile {
    TuneFileProblem problem = TuneFileProblem::None;
    int error = 0;                    // errno, for CannotOpen
    std::vector<std::uint8_t> bytes;  // the whole file when there is no problem
};

// The checks of a file's bytes, once read: the magic, a length no longer
// than its data offset allows, and for RSID the format's rules.
TuneFileProblem CheckTuneContents(const std::vector<std::uint8_t>& bytes);

}  // namespace chipbox
