// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/render_plan.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <set>

#include "core/tune_info.h"
#include "playback/player_engine.h"
#include "sid/sid_render.h"
#include "ui/cli/cli_player.h"
#include "ui/cli/listed_tune.h"
#include "ui/cli/terminal.h"
#include "ui/common/tune_files.h"

namespace chipbox::cli {

namespace {

namespace fs = std::filesystem;

constexpr double DEFAULT_RENDER_SECONDS = 60.0;

struct Planner {
    const CliOptions& options;
    const SongLengths* lengths;
    TerminalView& view;
    bool inList;
    bool folder;
    AudioFormat format;
    std::set<std::string> namesUsed;
    RenderPlan plan;
};

std::uint64_t SongFrames(const Planner& planner, const ListedTune& tune) {
    const CliOptions& options = planner.options;
    if (options.seconds) return static_cast<std::uint64_t>(*options.seconds * OUTPUT_RATE);
    std::int64_t micros = KnownLengthMicros(tune);
    if (micros == 0 && planner.inList)
        micros = std::int64_t{options.defaultLengthMillis} * 1000;
    if (micros == 0) return static_cast<std::uint64_t>(DEFAULT_RENDER_SECONDS * OUTPUT_RATE);
    return static_cast<std::uint64_t>(micros) * OUTPUT_RATE / 1'000'000 / options.speed;
}

// NAME.EXT or NAME-SONG.EXT in the folder; a name that two tunes share gets
// a number so that no file of this run overwrites another.
std::string OutputFile(Planner& planner, const std::string& tunePath) {
    const std::string& output = *planner.options.outputPath;
    if (!planner.folder) return output;
    std::string name = fs::path(tunePath).stem().string();
    if (planner.options.allSongs)
        name.append("-").append(std::to_string(tuneInfo.currentSong + 1));
    std::string unique = name;
    for (int copy = 2; !planner.namesUsed.insert(unique).second; ++copy)
        unique = std::string(name).append("-").append(std::to_string(copy));
    return (fs::path(output) / (unique + FormatExtension(planner.format))).string();
}

// The length of the UTF-8 sequence that starts at `bytes[i]`, 0 when none does.
std::size_t Utf8SequenceAt(const std::string& bytes, std::size_t i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead & 0xE0) == 0xC0 ? 2
                               : (lead & 0xF0) == 0xE0 ? 3
                               : (lead & 0xF8) == 0xF0 ? 4
                                                       : 0;
    if (length == 0 || i + length > bytes.size()) return 0;
    for (std::size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return 0;
    return length;
}

// A folder's name is bytes; a tag must be UTF-8, so a name that is no UTF-8
// is read as Latin-1.
std::string FolderTag(const std::string& tunePath) {
    std::error_code error;
    const std::string name = fs::absolute(tunePath, error).parent_path().filename().string();
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = Utf8SequenceAt(name, i);
        if (length == 0) return TagText(name);
        i += length;
    }
    return name;
}

// A release text starts with its year ("1987 Hewson"), or with "198?".
std::string YearOf(const std::string& released) {
    if (released.size() >= 4 && std::isdigit(static_cast<unsigned char>(released[0])))
        return released.substr(0, 4);
    return released;
}

AudioTags SongTags(const Planner& planner, const std::string& tunePath) {
    AudioTags tags;
    tags.title = TagText(planner.view.tuneName);
    if (tuneInfo.lastSong > 0) tags.title += " #" + std::to_string(tuneInfo.currentSong + 1);
    tags.artist = TagText(planner.view.tuneAuthor);
    tags.copyright = TagText(planner.view.tuneReleased);
    tags.date = YearOf(tags.copyright);
    tags.album = FolderTag(tunePath);
    tags.trackNumber = tuneInfo.currentSong + 1;
    return tags;
}

// False when the plan ends here with its status set.
bool PlanTune(Planner& planner, const std::string& tunePath) {
    const ListedTune tune = LoadListedTune(tunePath, planner.options, planner.lengths,
                                           planner.view, planner.inList);
    if (tune.status != ListedTuneStatus::Loaded) {
        if (planner.inList) return true;
        planner.plan.status =
            tune.status == ListedTuneStatus::NoSuchSong ? EXIT_USAGE : EXIT_LOAD_FAILED;
        return false;
    }
    const int first = tuneInfo.currentSong;
    const int last = planner.options.allSongs ? tuneInfo.lastSong : first;
    for (int song = first; song <= last; ++song) {
        SelectSong(song);
        RenderJob job{tunePath, song, song == first, OutputFile(planner, tunePath),
                      planner.format, SongFrames(planner, tune), SongTags(planner, tunePath),
                      planner.view.tuneName, planner.view.tuneAuthor, planner.view.tuneReleased};
        if (job.output != "-" && IsSameFile(job.output, tunePath)) {
            std::fprintf(stderr, "chipbox-cli: %s is the tune itself; choose another output\n",
                         PathText(job.output).c_str());
            planner.plan.status = EXIT_USAGE;
            return false;
        }
        planner.plan.jobs.push_back(std::move(job));
    }
    return true;
}

}  // namespace

std::string TagText(const std::string& latin1) {
    std::string text;
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) continue;
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

AudioFormat OutputFormat(const CliOptions& options, bool folder) {
    const AudioFormat chosen =
        options.format ? FormatNamed(*options.format).value_or(AudioFormat::Wav) : AudioFormat::Wav;
    if (folder || !options.outputPath) return chosen;
    if (*options.outputPath == "-") return AudioFormat::Wav;
    return FormatOfPath(*options.outputPath).value_or(chosen);
}

RenderPlan PlanRenders(const std::vector<std::string>& tunes, const CliOptions& options,
                       const SongLengths* lengths, TerminalView& view, bool inList,
                       bool folder) {
    Planner planner{options, lengths, view, inList, folder, OutputFormat(options, folder), {}, {}};
    view.showTexts = false;
    for (const std::string& tune : tunes)
        if (!PlanTune(planner, tune)) break;
    view.showTexts = true;
    return std::move(planner.plan);
}

}  // namespace chipbox::cli
