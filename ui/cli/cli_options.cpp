// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/cli_options.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

#include "ui/common/parse_number.h"

namespace chipbox::cli {

namespace {

// A WAV file's sizes are 32-bit: 40,000 s of 16-bit mono at 44,100 Hz fit.
constexpr double LONGEST_SECONDS = 40000;
constexpr int MOST_JOBS = 64;

std::optional<int> InRange(const std::string& text, int low, int high) {
    const std::optional<int> value = ParseNumber<int>(text);
    if (!value || *value < low || *value > high) return std::nullopt;
    return value;
}

std::optional<double> ParseSeconds(const std::string& text) {
    const std::optional<double> value = ParseNumber<double>(text);
    if (!value || !std::isfinite(*value) || *value <= 0 || *value > LONGEST_SECONDS)
        return std::nullopt;
    return value;
}

// An option that takes a value: it sets the options from the text, or says
// what it takes.
struct ValueOption {
    std::function<bool(CliOptions&, const std::string&)> apply;
    const char* allowed;
};

const std::map<std::string, ValueOption>& ValueOptions() {
    static const std::map<std::string, ValueOption> options = {
        {"-o",
         {[](CliOptions& o, const std::string& v) {
              return !v.empty() && (o.outputPath = v, true);
          },
          "a sound file, - for standard output, or a folder ending in /"}},
        {"--format",
         {[](CliOptions& o, const std::string& v) {
              const bool known = v == "wav" || v == "flac" || v == "opus" || v == "ogg";
              return known && (o.format = v, true);
          },
          "wav, flac, opus or ogg"}},
        {"-j",
         {[](CliOptions& o, const std::string& v) {
              const std::optional<int> jobs = InRange(v, 1, MOST_JOBS);
              return jobs && (o.jobs = *jobs, true);
          },
          "a number of songs to render at once, from 1 to 64"}},
        {"--seconds",
         {[](CliOptions& o, const std::string& v) { return bool(o.seconds = ParseSeconds(v)); },
          "a number of seconds above 0 and up to 40000"}},
        {"--song",
         {[](CliOptions& o, const std::string& v) { return bool(o.song = InRange(v, 1, 256)); },
          "a subsong number from 1 to 256"}},
        {"--speed",
         {[](CliOptions& o, const std::string& v) {
              const std::optional<int> speed = InRange(v, 1, 4);
              return speed && *speed != 3 && (o.speed = *speed, true);
          },
          "1, 2 or 4"}},
        {"--mute",
         {[](CliOptions& o, const std::string& v) {
              const std::optional<int> voice = InRange(v, 1, 9);
              return voice && (o.mutedVoices.push_back(*voice), true);
          },
          "a voice from 1 to 9 (4-6 and 7-9: a second and third SID's)"}},
        {"--digi-level",
         {[](CliOptions& o, const std::string& v) { return bool(o.digiLevel = InRange(v, 1, 15)); },
          "a level from 1 (loudest) to 15"}},
        {"--songlengths",
         {[](CliOptions& o, const std::string& v) {
              return !v.empty() && (o.songLengths = v, true);
          },
          "the path of a song length file"}},
        {"--kernal",
         {[](CliOptions& o, const std::string& v) { return !v.empty() && (o.kernalRom = v, true); },
          "the path of a KERNAL ROM image"}},
        {"--basic",
         {[](CliOptions& o, const std::string& v) { return !v.empty() && (o.basicRom = v, true); },
          "the path of a BASIC ROM image"}},
        {"--chargen",
         {[](CliOptions& o, const std::string& v) {
              return !v.empty() && (o.characterRom = v, true);
          },
          "the path of a character ROM image"}},
        {"--sid",
         {[](CliOptions& o, const std::string& v) {
              if (v == "6581") return o.sid = CliOptions::Sid::Mos6581, true;
              if (v == "8580") return o.sid = CliOptions::Sid::Mos8580, true;
              return false;
          },
          "6581 or 8580"}},
        {"--default-length",
         {[](CliOptions& o, const std::string& v) {
              const std::optional<std::uint32_t> millis = ParseSongLength(v);
              return millis && *millis > 0 && (o.defaultLengthMillis = *millis, true);
          },
          "a time as m:ss"}},
    };
    return options;
}

bool ApplyFlag(CliOptions& options, const std::string& argument) {
    if (argument == "--help" || argument == "-h") return options.help = true;
    if (argument == "--version") return options.version = true;
    if (argument == "--info") return options.info = true;
    if (argument == "--quiet" || argument == "-q") return options.quiet = true;
    if (argument == "-r") return options.recursive = true;
    if (argument == "--all-songs") return options.allSongs = true;
    if (argument == "--complete") return options.completeMachine = true;
    if (argument == "--mono") return options.mono = true;
    if (argument == "--pal") return options.video = CliOptions::Video::Pal, true;
    if (argument == "--ntsc") return options.video = CliOptions::Video::Ntsc, true;
    return false;
}

}  // namespace

std::variant<CliOptions, UsageError> ParseCliOptions(const std::vector<std::string>& arguments) {
    CliOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (ApplyFlag(options, argument)) continue;
        if (const auto option = ValueOptions().find(argument); option != ValueOptions().end()) {
            const ValueOption& takes = option->second;
            if (i + 1 >= arguments.size() || !takes.apply(options, arguments[++i]))
                return UsageError{argument + " takes " + takes.allowed};
        } else if (argument.size() > 1 && argument[0] == '-') {
            return UsageError{"there is no option " + argument};
        } else {
            options.inputs.push_back(argument);
        }
    }
    if (options.help || options.version) return options;
    if (options.inputs.empty()) return UsageError{"no tune file or folder given"};
    return options;
}


std::string UsageText() {
    return "Usage: chipbox-cli [options] TUNE.sid|FOLDER...\n"
           "Plays C64 PSID and RSID tunes on the sound card, or renders them to WAV files.\n"
           "\n"
           "  -r                 take the tunes of folders' subfolders too\n"
           "  --all-songs        play every subsong of every tune in turn\n"
           "  -o OUT.wav         render into a 44,100 Hz 16-bit WAV file instead, or a\n"
           "                     FLAC, Opus or Ogg Vorbis file named .flac, .opus, .ogg;\n"
           "                     -o - writes a WAV to standard output; with several\n"
           "                     songs -o FOLDER/ writes NAME.wav or NAME-SONG.wav per song\n"
           "  --format F         wav, flac, opus or ogg, for a folder or a name without\n"
           "                     one of those extensions (default wav)\n"
           "  -j N               render N songs at once (default: the number of cores)\n"
           "  -q, --quiet        show no progress while rendering\n"
           "  --seconds S        play or render S seconds per song, up to 40000\n"
           "  --songlengths FILE the song length file (default: $HVSC_BASE's, else the\n"
           "                     one of the collection the first tune lies in)\n"
           "  --default-length T how long songs without a known length play in a\n"
           "                     list, as m:ss (default 3:00)\n"
           "  --song N           subsong N, from 1 (default: the tune's start song)\n"
           "  --speed 1|2|4      playback speed\n"
           "  --mute N           mute voice N, 1-3 (4-6 and 7-9 are a second and\n"
           "                     third SID's); may be given more than once\n"
           "  --mono             play and render tunes for several SIDs in mono\n"
           "  --digi-level P     digi sample level, 1 (loudest) to 15\n"
           "  --complete         play PSID tunes on the real C64 machine, chip by chip\n"
           "                     and cycle by cycle, as RSID tunes always play\n"
           "  --pal, --ntsc      the real machine's video standard (default: the tune's)\n"
           "  --sid 6581|8580    the real machine's SID chip (default: the tune's)\n"
           "  --kernal FILE      your own image of the C64's KERNAL ROM for the real\n"
           "                     machine (default: Chipbox's own stand-in)\n"
           "  --basic FILE       your image of the BASIC ROM, for RSID BASIC programs\n"
           "  --chargen FILE     your image of the character ROM\n"
           "  --info             show the tunes' headers, song lengths and song\n"
           "                     information, then exit\n"
           "  --help             show this text\n"
           "  --version          show the program's version\n"
           "\n"
           "Keys while playing: space Play/Pause, n/p next/previous subsong,\n"
           "> and < next/previous tune, 1/2/4 speed, q quit.\n";
}

}  // namespace chipbox::cli
