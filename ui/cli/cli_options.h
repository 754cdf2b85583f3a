// SPDX-License-Identifier: GPL-2.0-or-later
// The command line of chipbox-cli.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "ui/common/song_lengths.h"

namespace chipbox::cli {

struct CliOptions {
    std::vector<std::string> inputs;                          // tunes and folders, in order
    bool recursive = false;                                   // -r: folders' subfolders too
    bool allSongs = false;                                    // --all-songs
    std::optional<std::string> outputPath;                    // -o: a sound file, "-", or a folder
    std::optional<std::string> format;                        // --format wav|flac|opus|ogg
    int jobs = 0;                                             // -j: 0 for the number of cores
    bool quiet = false;                                       // --quiet: no progress shown
    std::optional<double> seconds;                            // --seconds
    std::optional<int> song;                                  // --song, 1-based
    int speed = 1;                                            // --speed 1|2|4
    std::vector<int> mutedVoices;                             // --mute 1-9, 1-based
    std::optional<int> digiLevel;                             // --digi-level 1..15
    std::optional<std::string> songLengths;                   // --songlengths FILE
    std::uint32_t defaultLengthMillis = DEFAULT_SONG_MILLIS;  // --default-length
    bool completeMachine = false;                             // --complete
    bool mono = false;                                        // --mono
    std::string kernalRom, basicRom, characterRom;            // --kernal, --basic, --chargen
    enum class Video { FromTune, Pal, Ntsc } video = Video::FromTune;  // --pal, --ntsc
    enum class Sid { FromTune, Mos6581, Mos8580 } sid = Sid::FromTune;  // --sid
    bool info = false;
    bool help = false;
    bool version = false;
};

struct UsageError {
    std::string message;  // says what is allowed
};

std::variant<CliOptions, UsageError> ParseCliOptions(const std::vector<std::string>& arguments);

std::string UsageText();

}  // namespace chipbox::cli
