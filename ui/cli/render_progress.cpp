// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/render_progress.h"

#include <unistd.h>

#include <cstdio>

#include "sid/sid_render.h"
#include "ui/cli/terminal.h"

namespace chipbox::cli {

namespace {

constexpr int BAR_WIDTH = 40;
constexpr auto SHOW_INTERVAL = std::chrono::milliseconds(100);
// Before this much, an estimate of the time left says nothing.
constexpr double SECONDS_BEFORE_ESTIMATE = 1.0;

std::string Bar(double share, int width) {
    const int filled = static_cast<int>(width * share);
    std::string bar(1, '[');
    bar.append(filled, '#').append(width - filled, '.').append(1, ']');
    return bar;
}

void ShowSongBar(const std::string& path, double share, bool finished) {
    std::fprintf(stderr, "\r%s %3d%% %s%s", Bar(share, BAR_WIDTH).c_str(),
                 static_cast<int>(100 * share), PathText(path).c_str(), finished ? "\n" : "");
}

}  // namespace

std::string ClockText(double seconds) {
    const auto whole = static_cast<long long>(seconds < 0 ? 0 : seconds);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

RenderProgress::RenderProgress(const std::vector<RenderJob>& jobs, bool inList, bool quiet)
    : jobs_(jobs),
      inList_(inList),
      quiet_(quiet),
      terminal_(!quiet && isatty(STDERR_FILENO)),
      framesDone_(jobs.size(), 0),
      start_(std::chrono::steady_clock::now()) {
    for (const RenderJob& job : jobs) framesAll_ += job.frames;
}

void RenderProgress::Started(std::size_t job) {
    current_ = job;
    Show(true);
}

void RenderProgress::Rendered(std::size_t job, std::uint64_t frames) {
    framesSum_ += frames - framesDone_[job];
    framesDone_[job] = frames;
    Show(false);
}

void RenderProgress::Finished(std::size_t job, bool written) {
    Rendered(job, jobs_[job].frames);
    ++songsDone_;
    if (!written || quiet_ || (!terminal_ && !inList_)) return;
    Clear();
    ShowSongBar(jobs_[job].output, 1, true);
    Show(true);
}

void RenderProgress::Say(const std::string& text) {
    Clear();
    std::fprintf(stderr, "%s\n", text.c_str());
    Show(true);
}

void RenderProgress::Clear() {
    if (!lineShown_) return;
    std::fputs("\r\033[K", stderr);
    lineShown_ = false;
}

void RenderProgress::Show(bool force) {
    if (!terminal_ || songsDone_ == jobs_.size()) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - lastShown_ < SHOW_INTERVAL) return;
    lastShown_ = now;
    if (inList_) {
        ShowListLine();
    } else {
        const RenderJob& job = jobs_[current_];
        ShowSongBar(job.output, job.frames ? double(framesDone_[current_]) / job.frames : 1, false);
    }
    lineShown_ = true;
}

void RenderProgress::ShowListLine() {
    const double share = framesAll_ ? double(framesSum_) / framesAll_ : 1;
    const double elapsed = std::chrono::duration<double>(lastShown_ - start_).count();
    std::string left;
    if (elapsed >= SECONDS_BEFORE_ESTIMATE && framesSum_ > 0)
        left.append(", about ")
            .append(ClockText(elapsed * (framesAll_ - framesSum_) / framesSum_))
            .append(" left");
    std::fprintf(stderr, "\r\033[K%s %zu/%zu songs, %s of %s%s  %s",
                 Bar(share, BAR_WIDTH / 2).c_str(), songsDone_, jobs_.size(),
                 ClockText(double(framesSum_) / OUTPUT_RATE).c_str(),
                 ClockText(double(framesAll_) / OUTPUT_RATE).c_str(), left.c_str(),
                 PathText(jobs_[current_].output).c_str());
}

}  // namespace chipbox::cli
