// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/listed_tune.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/tune_file.h"
#include "core/tune_info.h"
#include "playback/player_engine.h"
#include "playback/player_texts.h"
#include "ui/cli/terminal.h"

namespace chipbox::cli {

namespace {

// A path the user typed may be a FIFO or /dev/stdin, read as it comes; one
// that a folder gave must be a regular file, or reading it could wait forever.
FileKinds KindsFor(const std::string& path, const CliOptions& options) {
    const bool named =
        std::find(options.inputs.begin(), options.inputs.end(), path) != options.inputs.end();
    return named ? FileKinds::AnyReadable : FileKinds::RegularOnly;
}

}  // namespace

void ReportSkipped(const std::string& path, const std::string& reason) {
    EndStatusLine();
    std::fprintf(stderr, "chipbox-cli: skipping %s: %s\n", PathText(path).c_str(), reason.c_str());
}

std::string LoadFailureReason(const LoadResult& result) {
    switch (result.problem) {
        case TuneFileProblem::CannotOpen: return std::strerror(result.error);
        case TuneFileProblem::IsDirectory: return "is a directory";
        case TuneFileProblem::NotRegularFile: return NOT_REGULAR_REASON;
        case TuneFileProblem::NotPsid: return "not a PSID or RSID file";
        case TuneFileProblem::InvalidRsid: return "not a valid RSID file";
        case TuneFileProblem::TooLarge: return "file too large";
        case TuneFileProblem::NeedsBasic: return BASIC_PROGRAM_REASON;
        case TuneFileProblem::None: break;
    }
    return {};
}

ListedTune LoadListedTune(const std::string& path, const CliOptions& options,
                          const SongLengths* lengths, TerminalView& view, bool inList) {
    ListedTune tune;
    const TuneFile file = ReadTuneFile(path, KindsFor(path, options));
    view.showMessages = !inList;
    const LoadResult result = LoadTune(path, file, false);
    view.showMessages = true;
    if (!result.loaded()) {
        const std::string reason = LoadFailureReason(result);
        if (inList)
            ReportSkipped(path, reason);
        else if (result.problem != TuneFileProblem::NotPsid)
            std::fprintf(stderr, "%s\n", reason.c_str());
        return tune;
    }
    tune.md5 = TuneMd5(file.bytes);
    tune.lengths = lengths ? lengths->Find(tune.md5) : nullptr;
    const int songs = tuneInfo.lastSong + 1;
    if (options.allSongs) {
        SelectSong(0);
    } else if (options.song && *options.song > songs) {
        const std::string reason =
            "--song must lie between 1 and " + std::to_string(songs) + " for this tune";
        if (inList)
            ReportSkipped(path, reason);
        else
            std::fprintf(stderr, "chipbox-cli: %s\n", reason.c_str());
        tune.status = ListedTuneStatus::NoSuchSong;
        return tune;
    } else if (options.song) {
        SelectSong(*options.song - 1);
    }
    tune.status = ListedTuneStatus::Loaded;
    return tune;
}

std::int64_t KnownLengthMicros(const ListedTune& tune) {
    if (!tune.lengths || tuneInfo.currentSong >= tune.lengths->size()) return 0;
    return std::int64_t{(*tune.lengths)[tuneInfo.currentSong]} * 1000;
}

}  // namespace chipbox::cli
