// SPDX-License-Identifier: GPL-2.0-or-later
// Binding the HardSID card's library, libhardsid.so, at run time.
//
// Threads: binding runs on the window's thread; the write entry it installs
// is then called from whichever thread runs the tune's code and from the
// HardSID sample thread.
#pragma once

namespace chipbox {

constexpr const char* HARDSID_LIBRARY = "libhardsid.so";

enum class HardSidBindResult {
    Bound,     // the library is loaded and its write entry found
    NotFound,  // no library could be loaded
    Corrupt,   // the library lacks WriteToHardSID
};

// Loads the library (the system's search, then beside the executable), looks
// up its four entry points by name and, when the write entry is there, calls
// InitHardSID_Mapper (if the library has it) and marks the card bound. A
// successful bind happens at most once per run and is never undone; a failed
// one may be tried again.
HardSidBindResult BindHardSid();

// The library is loaded and its write entry found.
bool HardSidBound();

// Forgets a bind, for tests: the next BindHardSid loads again. The library
// itself stays loaded.
void ResetHardSidBinding();

}  // namespace chipbox
