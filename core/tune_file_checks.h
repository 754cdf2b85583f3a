// The steps of loading a tune that come before the emulated machine is
// touched: recording the path, checking the file, and the texts shown for it.
#pragma once

#include <cstdint>
#include <string>

namespace chipbox {

// The full path recorded as the current tune: a path with a '/' anywhere is
// kept as it is, any other is put after the working directory. Kept whole,
// however long.
std::string RecordTunePath(const std::string& path, const std::string& workingDirectory);

// The same, against the process's current working directory.
std::string RecordTunePath(const std::string& path);

enum class TuneFileCheck { Ok, CannotOpen, NotPsid };

// Opens the file and compares its first four bytes with "PSID". The version is
// not checked.
TuneFileCheck CheckTuneFile(const std::string& path);

struct LoadMessage {
    std::string text;
    std::string caption;
};

// The warning shown for a failed check; path is shown as it was given.
LoadMessage LoadFailureMessage(TuneFileCheck check, const std::string& path);

// The part of the path after its last '/', or all of it.
std::string TuneFileName(const std::string& path);

// "<file name> - Chipbox v0.965"
std::string TuneWindowTitle(const std::string& path);

// "current / count", both 1-based, each between 1 and 256.
std::string SubsongText(std::uint8_t currentSong, std::uint8_t lastSong);

}  // namespace chipbox
