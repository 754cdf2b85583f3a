// SPDX-License-Identifier: GPL-2.0-or-later
// Playing the command line's tunes on the sound card, with keys and a status
// line.
#pragma once

#include <string>
#include <vector>

#include "ui/cli/cli_options.h"
#include "ui/cli/player_loop.h"
#include "ui/common/song_lengths.h"
#include "ui/cli/terminal_view.h"

namespace chipbox::cli {

// Plays the tunes in order until the last has ended, q or a stop signal. A
// song ends at its known length, in a list also at the default length, or
// after --seconds; a single tune without a length plays until stopped.
// Returns the exit status.
int PlayTunes(const std::vector<std::string>& tunes, const CliOptions& options,
              const SongLengths* lengths, TerminalView& view, PlayerLoop& loop);

}  // namespace chipbox::cli
