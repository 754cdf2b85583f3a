// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/render_job.h"

#include "playback/machine_playback.h"
#include "playback/offline_render.h"
#include "playback/player_engine.h"
#include "sid/sid_render.h"
#include "ui/cli/cli_player.h"
#include "ui/cli/listed_tune.h"
#include "ui/cli/terminal.h"

namespace chipbox::cli {

namespace {

std::uint16_t Channels() {
    return static_cast<std::uint16_t>(MachinePlays() ? MachineChannels() : 1);
}

SongResult WriteFailure(const std::string& path, const std::string& reason) {
    return {EXIT_WRITE_FAILED, "chipbox-cli: could not write " + PathText(path) + ": " + reason};
}

}  // namespace

bool JobRunner::Prepare(const RenderJob& job) {
    if (job.firstOfTune || loadedTune_ != job.tunePath) {
        loadedTune_.clear();
        const ListedTune tune = LoadListedTune(job.tunePath, options_, lengths_, view_, inList_);
        if (tune.status != ListedTuneStatus::Loaded) return false;
        loadedTune_ = job.tunePath;
    }
    SelectSong(job.song);
    return true;
}

SongResult JobRunner::Render(const RenderJob& job,
                             const std::function<void(std::uint64_t frames)>& rendered) {
    if (!Prepare(job)) return {inList_ ? 0 : EXIT_LOAD_FAILED, {}};
    const std::uint16_t channels = Channels();
    const auto file = MakeSampleFileWriter(job.output, job.format,
                                           {job.frames * channels, OUTPUT_RATE, channels}, job.tags);
    if (!file->Create()) return WriteFailure(job.output, file->errorText());
    const bool whole = RenderSong(job.frames * channels, [&](const std::int16_t* samples,
                                                             std::size_t count) {
        const bool written = file->Write(samples, count);
        rendered(file->samplesWritten() / channels);
        return written && !StopSignalled();
    });
    if (StopSignalled()) return {EXIT_WRITE_FAILED, {}};  // the program ends as signalled
    if (!whole || !file->Commit()) return WriteFailure(job.output, file->errorText());
    return {};
}

void JobRunner::RenderIntoNothing(const RenderJob& job) {
    if (!Prepare(job)) return;
    RenderSong(job.frames * Channels(), [](const std::int16_t*, std::size_t) {
        return !StopSignalled();
    });
}

}  // namespace chipbox::cli
