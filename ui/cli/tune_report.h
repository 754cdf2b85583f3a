// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace chipbox::cli {

// The loaded tune's header texts, addresses, songs and timing, what its
// header claims about the SID model and video standard, its song lengths
// (when a song length file is in use: `lengths`, or unknown) and its song
// information, as the terminal shows them.
std::string TuneReport(const std::vector<std::uint32_t>* lengths, bool lengthsInUse);

}  // namespace chipbox::cli
