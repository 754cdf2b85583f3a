// SPDX-License-Identifier: GPL-2.0-or-later
// Reading a whole file of bounded size through one open descriptor: a pipe
// or /dev/stdin can be read only once, and an endless or huge input must
// cost no more than the bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace chipbox {

enum class FileKinds {
    // What a user names on a command line: a FIFO or /dev/stdin is read as
    // it comes, waiting for its writer.
    AnyReadable,
    // What a window or a folder listing offers: only a regular file. Opening
    // never waits, so a FIFO or a device named like a tune cannot hang it.
    RegularOnly,
};

struct BoundedRead {
    int error = 0;                    // errno when the file could not be opened or read
    bool isDirectory = false;         // a folder: nothing was read
    bool notRegular = false;          // refused under RegularOnly: nothing was read
    std::vector<std::uint8_t> bytes;  // up to the limit; empty on any failure
    bool ok() const { return error == 0 && !isDirectory && !notRegular; }
};

// Reads until end of file or `limit` bytes, whichever comes first.
BoundedRead ReadBoundedFile(const std::string& path, std::size_t limit, FileKinds kinds);

}  // namespace chipbox
