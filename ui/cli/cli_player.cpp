// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/cli_player.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>

#include "core/machine_model.h"
#include "playback/engine_state.h"
#include "playback/machine_playback.h"
#include "playback/event_queue.h"
#include "playback/player_engine.h"
#include "ui/cli/listed_tune.h"
#include "ui/cli/play_session.h"
#include "ui/cli/player_loop.h"
#include "ui/common/collect_tunes.h"
#include "ui/cli/render_session.h"
#include "ui/common/song_lengths.h"
#include "ui/cli/terminal.h"
#include "ui/cli/terminal_view.h"
#include "ui/cli/tune_report.h"
#include "ui/common/rom_images.h"
#include "ui/common/tune_files.h"

namespace chipbox::cli {

namespace {

constexpr const char* STANDARD_OUTPUT = "-";

// Writing the WAV over the tune it renders would destroy the tune: refused
// before anything is loaded or written.
bool OutputIsATune(const CliOptions& options) {
    if (!options.outputPath || *options.outputPath == STANDARD_OUTPUT) return false;
    return std::any_of(options.inputs.begin(), options.inputs.end(), [&](const std::string& input) {
        return IsSameFile(*options.outputPath, input);
    });
}

// A file that cannot be read is said so, and playing goes on without lengths.
// Without a file named, the first tune's collection gives it.
std::optional<SongLengths> LoadSongLengths(const CliOptions& options,
                                           const std::string& firstTune) {
    const std::optional<std::string> path = FindSongLengthsFile(options.songLengths, firstTune);
    if (!path) return std::nullopt;
    SongLengths lengths;
    if (lengths.Load(*path)) return lengths;
    std::fprintf(stderr, "chipbox-cli: could not read the song lengths in %s\n",
                 PathText(*path).c_str());
    return std::nullopt;
}

int ShowInfo(const std::vector<std::string>& tunes, const CliOptions& options,
             const SongLengths* lengths, TerminalView& view) {
    const bool inList = tunes.size() > 1;
    bool shown = false;
    for (const std::string& path : tunes) {
        const ListedTune tune = LoadListedTune(path, options, lengths, view, inList);
        if (tune.status == ListedTuneStatus::NotLoaded) continue;
        if (inList) std::printf("%s%s\n", shown ? "\n" : "", PathText(path).c_str());
        std::fputs(TuneReport(lengths ? tune.lengths : nullptr, lengths != nullptr).c_str(),
                   stdout);
        shown = true;
    }
    return shown ? 0 : EXIT_LOAD_FAILED;
}

// The ROM images and the video standard the user gave; false, with the
// reasons told, when an image could not be taken.
bool UseRealMachineOptions(const CliOptions& options) {
    const ReadRoms roms =
        ReadRomImages({options.kernalRom, options.basicRom, options.characterRom});
    for (const std::string& problem : roms.problems)
        std::fprintf(stderr, "chipbox-cli: %s\n", PathText(problem).c_str());
    if (!roms.problems.empty()) return false;
    SetRomImages(roms.images);
    SetVideoChoice(options.video == CliOptions::Video::Pal    ? VideoChoice::Pal
                   : options.video == CliOptions::Video::Ntsc ? VideoChoice::Ntsc
                                                              : VideoChoice::FromTune);
    SetSidChoice(options.sid == CliOptions::Sid::Mos6581   ? SidChoice::Mos6581
                 : options.sid == CliOptions::Sid::Mos8580 ? SidChoice::Mos8580
                                                           : SidChoice::FromTune);
    return true;
}

}  // namespace

int RunCliPlayer(const CliOptions& options) {
    ResetEngine();
    if (OutputIsATune(options)) {
        std::fprintf(stderr, "chipbox-cli: %s is the tune itself; choose another output file\n",
                     PathText(*options.outputPath).c_str());
        return EXIT_USAGE;
    }
    std::vector<std::string> notRegular;
    const std::vector<std::string> tunes =
        CollectTunes(options.inputs, options.recursive, notRegular);
    for (const std::string& path : notRegular) ReportSkipped(path, NOT_REGULAR_REASON);
    if (tunes.empty()) {
        std::fprintf(stderr, "chipbox-cli: no .sid files in %s\n",
                     PathText(options.inputs.front()).c_str());
        return EXIT_LOAD_FAILED;
    }
    SetMachineModel(options.completeMachine ? MachineModel::Complete : MachineModel::Default);
    if (!UseRealMachineOptions(options)) return EXIT_USAGE;
    const std::optional<SongLengths> lengths = LoadSongLengths(options, tunes.front());
    const SongLengths* known = lengths ? &*lengths : nullptr;
    const bool toStandardOutput = options.outputPath == STANDARD_OUTPUT;
    EventQueue queue;
    TerminalView view(queue, options.info ? nullptr : toStandardOutput ? stderr : stdout);
    const PlayerConnection connection = ConnectPlayer(view, queue);
    if (options.info) return ShowInfo(tunes, options, known, view);
    CatchStopSignals();
    if (!options.outputPath) {
        PlayerLoop loop(queue);
        return PlayTunes(tunes, options, known, view, loop);
    }
    // A reader that goes away (a pipe, a FIFO, a socket) fails the write with
    // EPIPE, which is reported like any failed write.
    std::signal(SIGPIPE, SIG_IGN);
    const int status = RenderTunes(tunes, options, known, view);
    if (StopSignalled()) EndAsSignalled();
    return status;
}

}  // namespace chipbox::cli
