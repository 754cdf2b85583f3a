// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/tune_report.h"

#include <cstdio>

#include "core/tune_info.h"
#include "playback/player_texts.h"
#include "ui/cli/terminal.h"

namespace chipbox::cli {

std::string TuneReport() {
    char numbers[160];
    std::snprintf(numbers, sizeof numbers,
                  "Load:     $%04X\nInit:     $%04X\nPlay:     $%04X\nSongs:    %s\nTiming:   %s\n",
                  tuneInfo.loadAddress, tuneInfo.initAddress, tuneInfo.playAddress.load(),
                  SubsongText(tuneInfo.currentSong, tuneInfo.lastSong).c_str(),
                  tuneInfo.ciaTiming ? "CIA timer" : "50 Hz");
    return "Name:     " + TerminalText(tuneInfo.name) +
           "\nAuthor:   " + TerminalText(tuneInfo.author) +
           "\n(c):      " + TerminalText(tuneInfo.released) + "\n" + numbers + "\n" +
           SongInformationText() + "\n";
}

}  // namespace chipbox::cli
