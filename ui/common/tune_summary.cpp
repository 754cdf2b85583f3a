// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/common/tune_summary.h"

#include <algorithm>
#include <cstring>

#include "core/machine/sid_header.h"
#include "core/tune_file.h"
#include "platform/bounded_read.h"
#include "ui/common/song_lengths.h"

namespace chipbox {

namespace {

std::string ProblemText(const BoundedRead& read) {
    if (read.isDirectory) return "a folder";
    if (read.notRegular) return "no regular file";
    return std::strerror(read.error);
}

}  // namespace

TuneSummary ReadTuneSummary(const std::string& path) {
    TuneSummary tune;
    tune.path = path;
    const BoundedRead read = ReadBoundedFile(path, TUNE_READ_LIMIT, FileKinds::RegularOnly);
    if (!read.ok()) {
        tune.problem = ProblemText(read);
        return tune;
    }
    const TuneFileProblem problem = CheckTuneContents(read.bytes);
    if (problem == TuneFileProblem::NotPsid || problem == TuneFileProblem::TooLarge) {
        tune.problem = "no SID tune";
        return tune;
    }
    const machine::ParsedHeader parsed = machine::ParseSidHeader(read.bytes);
    if (parsed.problem != machine::HeaderProblem::None) {
        tune.problem = "a broken header";
        return tune;
    }
    const machine::SidHeader& header = parsed.header;
    tune.readable = true;
    tune.name = header.name;
    tune.author = header.author;
    tune.released = header.released;
    tune.songs = std::clamp(header.songs, 1, 256);
    tune.startSong = std::clamp(header.startSong, 1, tune.songs) - 1;
    tune.rsid = header.rsid;
    tune.chips = 1 + static_cast<int>(header.extraSids.size());
    tune.md5 = TuneMd5(read.bytes);
    return tune;
}

}  // namespace chipbox
