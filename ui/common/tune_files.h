// SPDX-License-Identifier: GPL-2.0-or-later
// Tune files as both faces list and name them: which names are tunes, the
// order a folder is listed in, the folder the program stands in, and whether
// two paths are the same file. Qt-free, so the window and the terminal player
// share it.
#pragma once

#include <string>

namespace chipbox {

// Ends in ".sid" in any letter case.
bool IsTuneName(const std::string& name);

// The browsing order: ascending, ignoring ASCII letter case over the whole
// text; names that differ only in letter case by their bytes, so that every
// run lists them the same way.
bool BrowserOrder(const std::string& first, const std::string& second);

// The process's working folder, or "" when it has no name any more (it was
// removed).
std::string WorkingDirectory();

// Both paths name one existing file (links followed).
bool IsSameFile(const std::string& first, const std::string& second);

}  // namespace chipbox
