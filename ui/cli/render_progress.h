// SPDX-License-Identifier: GPL-2.0-or-later
// What a render shows on standard error while it runs. One song gets a bar
// of its own; a list gets one line with the songs done of all, the sound
// rendered of all, an estimate of the time left and the file being written,
// above which each finished file gets a line. Nothing but the finished
// files' lines when standard error is no terminal; nothing at all with
// --quiet.
//
// Threads: the thread that renders (or that reads the render processes'
// reports).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/cli/render_plan.h"

namespace chipbox::cli {

class RenderProgress {
public:
    RenderProgress(const std::vector<RenderJob>& jobs, bool inList, bool quiet);

    void Started(std::size_t job);
    void Rendered(std::size_t job, std::uint64_t frames);  // that song's frames so far
    void Finished(std::size_t job, bool written);
    // A message of its own line, printed where the progress line was.
    void Say(const std::string& text);
    // Takes the progress line away until the next report, for other output.
    void Clear();

private:
    void Show(bool force);
    void ShowListLine();

    const std::vector<RenderJob>& jobs_;
    bool inList_;
    bool quiet_;
    bool terminal_;
    std::vector<std::uint64_t> framesDone_;
    std::uint64_t framesAll_ = 0;
    std::uint64_t framesSum_ = 0;
    std::size_t songsDone_ = 0;
    std::size_t current_ = 0;
    bool lineShown_ = false;
    std::chrono::steady_clock::time_point start_, lastShown_;
};

// "1:02:03" or "2:03".
std::string ClockText(double seconds);

}  // namespace chipbox::cli
