// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/cli_options.h"

#include <charconv>
#include <cmath>

namespace chipbox::cli {

namespace {

std::optional<int> ParseInt(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || rest != end) return std::nullopt;
    return value;
}

// A WAV file's sizes are 32-bit: 40,000 s of 16-bit mono at 44,100 Hz fit.
constexpr double LONGEST_SECONDS = 40000;

std::optional<double> ParseSeconds(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || rest != end || !std::isfinite(value) || value <= 0 ||
        value > LONGEST_SECONDS)
        return std::nullopt;
    return value;
}

std::optional<int> InRange(std::optional<int> value, int low, int high) {
    if (!value || *value < low || *value > high) return std::nullopt;
    return value;
}

}  // namespace

std::variant<CliOptions, UsageError> ParseCliOptions(const std::vector<std::string>& arguments) {
    CliOptions options;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= arguments.size()) return std::nullopt;
            return arguments[++i];
        };
        const auto missing = [&] { return UsageError{argument + " needs a valid value"}; };
        if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "--info") {
            options.info = true;
        } else if (argument == "-o") {
            const auto path = value();
            if (!path || path->empty()) return missing();
            options.outputPath = *path;
        } else if (argument == "--seconds") {
            const auto text = value();
            options.seconds = text ? ParseSeconds(*text) : std::nullopt;
            if (!options.seconds) return missing();
        } else if (argument == "--song") {
            const auto text = value();
            options.song = text ? InRange(ParseInt(*text), 1, 256) : std::nullopt;
            if (!options.song) return missing();
        } else if (argument == "--speed") {
            const auto text = value();
            const std::optional<int> speed = text ? ParseInt(*text) : std::nullopt;
            if (!speed || (*speed != 1 && *speed != 2 && *speed != 4)) return missing();
            options.speed = *speed;
        } else if (argument == "--mute") {
            const auto text = value();
            const std::optional<int> voice = text ? InRange(ParseInt(*text), 1, 3) : std::nullopt;
            if (!voice) return missing();
            options.mutedVoices.push_back(*voice);
        } else if (argument == "--digi-level") {
            const auto text = value();
            options.digiLevel = text ? InRange(ParseInt(*text), 1, 15) : std::nullopt;
            if (!options.digiLevel) return missing();
        } else if (argument.size() > 1 && argument[0] == '-') {
            return UsageError{"unknown option " + argument};
        } else {
            files.push_back(argument);
        }
    }
    if (options.help || options.version) return options;
    if (files.size() != 1)
        return UsageError{files.empty() ? "no tune file given" : "more than one tune file given"};
    options.tunePath = files.front();
    return options;
}

std::string UsageText() {
    return "Usage: chipbox-cli [options] FILE.sid\n"
           "Plays a C64 PSID tune on the sound card until Ctrl-C, or renders it to a WAV file.\n"
           "\n"
           "  -o OUT.wav         render into a 44,100 Hz 16-bit mono WAV file instead\n"
           "  --seconds S        play or render S seconds, up to 40000 (rendering: 60 by default)\n"
           "  --song N           subsong N, from 1 (default: the tune's start song)\n"
           "  --speed 1|2|4      playback speed\n"
           "  --mute 1|2|3       mute a voice (may be given more than once)\n"
           "  --digi-level P     digi sample level, 1 (loudest) to 15\n"
           "  --info             show the tune's header and song information, then exit\n"
           "  --help             show this text\n"
           "  --version          show the program's version\n"
           "\n"
           "Keys while playing: space Play/Pause, n/p next/previous subsong,\n"
           "1/2/4 speed, q quit.\n";
}

}  // namespace chipbox::cli
