// SPDX-License-Identifier: GPL-2.0-or-later
// Reading a tune file: opened once, read whole into memory and checked before
// the emulated machine is touched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace chipbox {

// The header's data offset is one byte and the data fill at most the 64 KB of
// memory plus a load address in front: a file longer than its data offset
// plus this is no tune.
constexpr std::size_t LONGEST_TUNE_DATA = 65536 + 2;

enum class TuneFileProblem {
    None,
    CannotOpen,  // `error` tells why
    IsDirectory,
    NotPsid,   // the first four bytes are not "PSID" (also a file shorter than four)
    Rsid,      // "RSID": a tune that needs a complete C64
    TooLarge,  // longer than its data offset plus LONGEST_TUNE_DATA
};

struct TuneFile {
    TuneFileProblem problem = TuneFileProblem::None;
    int error = 0;                    // errno, for CannotOpen
    std::vector<std::uint8_t> bytes;  // the whole file when there is no problem
};

// The checks of a file's bytes, once read: the magic, and a length no longer
// than its data offset allows.
TuneFileProblem CheckTuneContents(const std::vector<std::uint8_t>& bytes);

// Reads the file through one open stream, so a pipe or /dev/stdin works, and
// never more than the longest tune can be, so an endless or huge input costs
// a bounded read.
TuneFile ReadTuneFile(const std::string& path);

}  // namespace chipbox
