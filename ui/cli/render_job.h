// SPDX-License-Identifier: GPL-2.0-or-later
// Rendering one song of a render plan into its file.
//
// Threads: the thread that owns the player.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/cli/cli_options.h"
#include "ui/cli/render_plan.h"
#include "ui/common/song_lengths.h"
#include "ui/cli/terminal_view.h"

namespace chipbox::cli {

struct SongResult {
    int status = 0;       // an exit status; 0 when the file was written
    std::string message;  // what went wrong, for a line of its own
};

class JobRunner {
public:
    JobRunner(const CliOptions& options, const SongLengths* lengths, TerminalView& view,
              bool inList)
        : options_(options), lengths_(lengths), view_(view), inList_(inList) {}

    // Renders the job's song into its file; `rendered` hears the frames
    // written so far after each buffer.
    SongResult Render(const RenderJob& job,
                      const std::function<void(std::uint64_t frames)>& rendered);
    // Renders the job's song as Render would, into nothing: what it leaves in
    // the engine for the next song is then the same as after Render.
    void RenderIntoNothing(const RenderJob& job);

    TerminalView& view() { return view_; }

private:
    // Loads the job's tune unless it is the one loaded, and selects the song.
    bool Prepare(const RenderJob& job);

    const CliOptions& options_;
    const SongLengths* lengths_;
    TerminalView& view_;
    bool inList_;
    std::string loadedTune_;
};

}  // namespace chipbox::cli
