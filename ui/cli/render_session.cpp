// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/render_session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "ui/cli/cli_player.h"
#include "ui/cli/player_loop.h"
#include "ui/cli/render_job.h"
#include "ui/cli/render_plan.h"
#include "ui/cli/render_progress.h"
#include "ui/cli/render_workers.h"
#include "ui/cli/terminal.h"

namespace chipbox::cli {

namespace {

namespace fs = std::filesystem;

int UsageFailure(const char* message) {
    std::fprintf(stderr, "chipbox-cli: %s\nTry 'chipbox-cli --help' for more information.\n",
                 message);
    return EXIT_USAGE;
}

// Every song in turn, here; one that fails does not stop the others.
int RenderHere(const std::vector<RenderJob>& jobs, JobRunner& runner, RenderProgress& progress) {
    int worst = 0;
    for (std::size_t i = 0; i < jobs.size() && !StopSignalled(); ++i) {
        if (jobs[i].firstOfTune) progress.Clear();
        progress.Started(i);
        const SongResult result =
            runner.Render(jobs[i], [&](std::uint64_t frames) { progress.Rendered(i, frames); });
        if (StopSignalled()) break;
        if (!result.message.empty()) progress.Say(result.message);
        progress.Finished(i, result.status == 0);
        worst = std::max(worst, result.status);
    }
    return worst;
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
    const bool folder = IsOutputFolder(output, inList);
    if (inList && !folder)
        return UsageFailure("-o takes a folder ending in / when several songs are rendered");
    if (output == "-" && options.format && *options.format != "wav")
        return UsageFailure("-o - writes WAV only");
    if (folder) {
        std::error_code error;
        fs::create_directories(output, error);
        if (error) {
            std::fprintf(stderr, "chipbox-cli: could not write %s: %s\n", PathText(output).c_str(),
                         std::strerror(error.value()));
            return EXIT_WRITE_FAILED;
        }
    }
    ApplyStartOptions(options);
    const RenderPlan plan = PlanRenders(tunes, options, lengths, view, inList, folder);
    if (plan.status != 0) return plan.status;
    if (plan.jobs.empty()) return EXIT_LOAD_FAILED;
    JobRunner runner(options, lengths, view, inList);
    RenderProgress progress(plan.jobs, inList, options.quiet);
    const int processes = std::min<int>(options.jobs > 0 ? options.jobs : ProcessorCount(),
                                        static_cast<int>(plan.jobs.size()));
    if (processes > 1) return RenderInProcesses(plan.jobs, runner, progress, processes);
    return RenderHere(plan.jobs, runner, progress);
}

}  // namespace chipbox::cli
