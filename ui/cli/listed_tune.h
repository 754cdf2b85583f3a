// SPDX-License-Identifier: GPL-2.0-or-later
// A tune of the command line's list, loaded, with its song lengths and the
// subsong it starts with.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "playback/tune_loading.h"
#include "ui/cli/cli_options.h"
#include "ui/common/song_lengths.h"
#include "ui/cli/terminal_view.h"

namespace chipbox::cli {

enum class ListedTuneStatus { Loaded, NotLoaded, NoSuchSong };

struct ListedTune {
    ListedTuneStatus status = ListedTuneStatus::NotLoaded;
    std::string md5;
    const std::vector<std::uint32_t>* lengths = nullptr;  // per subsong, when known
};

// Loads the tune into the player and selects the song to start with: the
// first with --all-songs, else --song or the tune's start song. A tune that
// cannot be loaded, or lacks the song asked for, is reported: in a list in
// one line, alone with its message and the reason on a line of its own.
ListedTune LoadListedTune(const std::string& path, const CliOptions& options,
                          const SongLengths* lengths, TerminalView& view, bool inList);

inline constexpr const char* NOT_REGULAR_REASON = "not a regular file";

// "chipbox-cli: skipping PATH: REASON", on a line of its own.
void ReportSkipped(const std::string& path, const std::string& reason);

// Why a tune file was not loaded, in a few words.
std::string LoadFailureReason(const LoadResult& result);

// The current subsong's length in microseconds when known, else 0.
std::int64_t KnownLengthMicros(const ListedTune& tune);

}  // namespace chipbox::cli
