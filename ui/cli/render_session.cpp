// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/render_session.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "core/tune_info.h"
#include "platform/wav_file_writer.h"
#include "playback/machine_playback.h"
#include "playback/offline_render.h"
#include "playback/player_engine.h"
#include "sid/sid_render.h"
#include "ui/cli/cli_player.h"
#include "ui/cli/listed_tune.h"
#include "ui/cli/player_loop.h"
#include "ui/cli/terminal.h"
#include "ui/common/tune_files.h"

namespace chipbox::cli {

namespace {

namespace fs = std::filesystem;

constexpr double DEFAULT_RENDER_SECONDS = 60.0;

struct Renders {
    const CliOptions& options;
    const SongLengths* lengths;
    TerminalView& view;
    bool inList;
    bool folder;  // -o names a folder that gets a file per song
    std::set<std::string> namesUsed;
    bool rendered = false;
};

std::uint64_t SongSamples(const Renders& renders, const ListedTune& tune) {
    if (renders.options.seconds)
        return static_cast<std::uint64_t>(*renders.options.seconds * OUTPUT_RATE);
    std::int64_t micros = KnownLengthMicros(tune);
    if (micros == 0 && renders.inList)
        micros = std::int64_t{renders.options.defaultLengthMillis} * 1000;
    if (micros == 0) return static_cast<std::uint64_t>(DEFAULT_RENDER_SECONDS * OUTPUT_RATE);
    return static_cast<std::uint64_t>(micros) * OUTPUT_RATE / 1'000'000 / renders.options.speed;
}

// NAME.wav or NAME-SONG.wav in the folder; a name that two tunes share gets
// a number so that no file of this run overwrites another.
std::string OutputFile(Renders& renders, const std::string& tunePath) {
    const std::string& output = *renders.options.outputPath;
    if (!renders.folder) return output;
    std::string name = fs::path(tunePath).stem().string();
    if (renders.options.allSongs) name.append("-").append(std::to_string(tuneInfo.currentSong + 1));
    std::string unique = name;
    for (int copy = 2; !renders.namesUsed.insert(unique).second; ++copy)
        unique = std::string(name).append("-").append(std::to_string(copy));
    return (fs::path(output) / (unique + ".wav")).string();
}

int ReportWriteFailure(const std::string& path, int error) {
    std::fprintf(stderr, "chipbox-cli: could not write %s: %s\n", PathText(path).c_str(),
                 std::strerror(error));
    return EXIT_WRITE_FAILED;
}

void ShowProgress(const std::string& name, double done, double total, bool finished) {
    const int width = 40;
    const int filled = static_cast<int>(width * done / total);
    std::fprintf(stderr, "\r[%s%s] %3d%% %s%s", std::string(filled, '#').c_str(),
                 std::string(width - filled, '.').c_str(), static_cast<int>(100 * done / total),
                 PathText(name).c_str(), finished ? "\n" : "");
}

// Renders the current song into `path`; returns the exit status so far.
int RenderSongInto(Renders& renders, const std::string& path, std::uint64_t frames) {
    const auto channels = static_cast<std::uint16_t>(MachinePlays() ? MachineChannels() : 1);
    const std::uint64_t samples = frames * channels;
    WavFileWriter file(path, samples, OUTPUT_RATE, channels);
    if (!file.Create()) return ReportWriteFailure(path, file.error());
    const bool progress = isatty(STDERR_FILENO);
    RenderSong(samples, [&](const std::int16_t* rendered, std::size_t count) {
        const bool written = file.Write(rendered, count);
        if (progress) ShowProgress(path, double(file.samplesWritten()), double(samples), false);
        return written && !StopSignalled();
    });
    if (StopSignalled()) return EXIT_WRITE_FAILED;  // the caller ends as signalled
    if (!file.Commit()) return ReportWriteFailure(path, file.error());
    if (progress || renders.inList) ShowProgress(path, 1, 1, true);
    renders.rendered = true;
    return 0;
}

int RenderTune(Renders& renders, const std::string& tunePath) {
    const ListedTune tune =
        LoadListedTune(tunePath, renders.options, renders.lengths, renders.view, renders.inList);
    if (tune.status != ListedTuneStatus::Loaded)
        return renders.inList                                ? 0
               : tune.status == ListedTuneStatus::NoSuchSong ? EXIT_USAGE
                                                             : EXIT_LOAD_FAILED;
    for (;;) {
        const std::string output = OutputFile(renders, tunePath);
        if (output != "-" && IsSameFile(output, tunePath)) {
            std::fprintf(stderr, "chipbox-cli: %s is the tune itself; choose another output\n",
                         PathText(output).c_str());
            return EXIT_USAGE;
        }
        if (const int status = RenderSongInto(renders, output, SongSamples(renders, tune)))
            return status;
        if (!renders.options.allSongs || tuneInfo.currentSong >= tuneInfo.lastSong) return 0;
        SelectSong(tuneInfo.currentSong + 1);
    }
}

}  // namespace

bool IsOutputFolder(const std::string& output, bool inList) {
    std::error_code error;
    return (!output.empty() && output.back() == '/') || (inList && fs::is_directory(output, error));
}

int RenderTunes(const std::vector<std::string>& tunes, const CliOptions& options,
                const SongLengths* lengths, TerminalView& view) {
    const bool inList = tunes.size() > 1 || options.allSongs;
    const std::string& output = *options.outputPath;
    Renders renders{options, lengths, view, inList, IsOutputFolder(output, inList), {}};
    if (inList && !renders.folder) {
        std::fprintf(stderr,
                     "chipbox-cli: -o takes a folder ending in / when several songs are "
                     "rendered\nTry 'chipbox-cli --help' for more information.\n");
        return EXIT_USAGE;
    }
    if (renders.folder) {
        std::error_code error;
        fs::create_directories(output, error);
        if (error) return ReportWriteFailure(output, error.value());
    }
    ApplyStartOptions(options);
    for (const std::string& tune : tunes)
        if (const int status = RenderTune(renders, tune)) return status;
    return renders.rendered ? 0 : EXIT_LOAD_FAILED;
}

}  // namespace chipbox::cli
