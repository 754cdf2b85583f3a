// SPDX-License-Identifier: GPL-2.0-or-later
// Rendering the command line's songs into sound files, as fast as the machine
// allows, without a sound device or an event loop.
#pragma once

#include <string>
#include <vector>

#include "ui/cli/cli_options.h"
#include "ui/common/song_lengths.h"
#include "ui/cli/terminal_view.h"

namespace chipbox::cli {

// One song goes to -o's file (or standard output); several need -o FOLDER/
// and get NAME.EXT, or NAME-SONG.EXT with --all-songs, -j of them at once.
// Each song renders --seconds, else its known length, else in a list the
// default length, else 60 seconds. One that fails does not stop the others;
// returns the worst exit status of any.
int RenderTunes(const std::vector<std::string>& tunes, const CliOptions& options,
                const SongLengths* lengths, TerminalView& view);

// Whether -o names a folder: it ends in '/', or for several songs is one.
bool IsOutputFolder(const std::string& output, bool inList);

}  // namespace chipbox::cli
