// Loading a tune, as every way of choosing one ends: record the path, check
// the file, stop what plays, reset the machine, read the tune, show it, and
// with autoPlay post the Play command.
#pragma once

#include <string>

namespace chipbox {

// The full path of the tune most recently handed to LoadTune, recorded before
// the file is even opened.
extern std::string currentTunePath;

// Returns false when the file could not be opened or is no PSID file; the
// message has been shown then and nothing else changed but the recorded path.
bool LoadTune(const std::string& path, bool autoPlay);

}  // namespace chipbox
