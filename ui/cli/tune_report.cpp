#include "ui/cli/tune_report.h"

#include <cstdio>

#include "core/song_information.h"
#include "core/tune_file_checks.h"
#include "core/tune_info.h"
#include "ui/cli/latin1.h"

namespace chipbox::cli {

std::string TuneReport() {
    char numbers[160];
    std::snprintf(numbers, sizeof numbers,
                  "Load:     $%04X\nInit:     $%04X\nPlay:     $%04X\nSongs:    %s\nTiming:   %s\n",
                  tuneInfo.loadAddress, tuneInfo.initAddress, tuneInfo.playAddress,
                  SubsongText(tuneInfo.currentSong, tuneInfo.lastSong).c_str(),
                  tuneInfo.ciaTiming ? "CIA timer" : "50 Hz");
    return "Name:     " + Latin1ToUtf8(tuneInfo.name) +
           "\nAuthor:   " + Latin1ToUtf8(tuneInfo.author) +
           "\n(c):      " + Latin1ToUtf8(tuneInfo.released) + "\n" + numbers + "\n" +
           SongInformationText() + "\n";
}

}  // namespace chipbox::cli
