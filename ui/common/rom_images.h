// SPDX-License-Identifier: GPL-2.0-or-later
// ROM images a user owns, read for the real machine: the KERNAL and BASIC
// (8,192 bytes each) and the character ROM (4,096). A file that cannot be
// read or has another size is left out, with a message saying why; the
// machine then uses our stand-in for the system ROM, and no BASIC.
#pragma once

#include <string>
#include <vector>

#include "core/machine/c64.h"

namespace chipbox {

struct RomPaths {
    std::string kernal, basic, characters;  // empty: not given
};

struct ReadRoms {
    machine::RomImages images;
    std::vector<std::string> problems;  // one line per file left out
};

ReadRoms ReadRomImages(const RomPaths& paths);

}  // namespace chipbox
