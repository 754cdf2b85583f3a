// SPDX-License-Identifier: GPL-2.0-or-later
// Loading a tune, as every way of choosing one ends: record the path, read
// and check the file, stop what plays, reset the machine, place the tune,
// show it, and with autoPlay post the Play command.
#pragma once

#include <string>

#include "core/tune_file.h"
#include "platform/bounded_read.h"

namespace chipbox {

// The full path of the tune most recently handed to LoadTune, recorded before
// the file is even opened.
extern std::string currentTunePath;

// The path recorded as the current tune: a path with a '/' anywhere is kept
// as it is, any other is put after the working directory. Kept whole, however
// long.
std::string RecordTunePath(const std::string& path, const std::string& workingDirectory);

// The same, against the process's current working directory.
std::string RecordTunePath(const std::string& path);

// Reads the file through one open descriptor, never more than the longest
// tune can be, and checks its bytes. Under FileKinds::RegularOnly anything
// but a regular file is refused at once, without waiting for a writer.
TuneFile ReadTuneFile(const std::string& path, FileKinds kinds);

struct LoadResult {
    TuneFileProblem problem = TuneFileProblem::None;
    int error = 0;  // errno, when the file could not be opened
    bool loaded() const { return problem == TuneFileProblem::None; }
};

// When the file could not be read or is no PSID tune, its message has been
// shown and nothing changed but the recorded path. Only a regular file is
// read: this is how the window loads what it is handed.
LoadResult LoadTune(const std::string& path, bool autoPlay);

// The same for a file its caller has read already.
LoadResult LoadTune(const std::string& path, const TuneFile& file, bool autoPlay);

}  // namespace chipbox
