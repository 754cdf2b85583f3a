// SPDX-License-Identifier: GPL-2.0-or-later
// The command line of chipbox-cli.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace chipbox::cli {

struct CliOptions {
    std::string tunePath;
    std::optional<std::string> outputPath;  // -o: render to a WAV file
    std::optional<double> seconds;          // --seconds
    std::optional<int> song;                // --song, 1-based
    int speed = 1;                          // --speed 1|2|4
    std::vector<int> mutedVoices;           // --mute 1|2|3, 1-based
    std::optional<int> digiLevel;           // --digi-level 1..15
    bool info = false;
    bool help = false;
    bool version = false;
};

struct UsageError {
    std::string message;
};

std::variant<CliOptions, UsageError> ParseCliOptions(const std::vector<std::string>& arguments);

std::string UsageText();

}  // namespace chipbox::cli
