// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

namespace chipbox::cli {

// The loaded tune's header texts, addresses, songs and timing, and its song
// information, as the terminal shows them.
std::string TuneReport();

}  // namespace chipbox::cli
