// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/render_workers.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <type_traits>

#include "sid/carried_state.h"
#include "sid/sid_render.h"
#include "ui/cli/cli_player.h"
#include "ui/cli/terminal.h"

namespace chipbox::cli {

namespace {

// A process warms its output stages up on at least this much sound before
// its stretch; they forget what came before within milliseconds.
constexpr std::uint64_t WARM_UP_FRAMES = 2 * OUTPUT_RATE;
constexpr auto REPORT_INTERVAL = std::chrono::milliseconds(100);
constexpr int POLL_MILLIS = 100;
constexpr std::size_t MESSAGE_BYTES = 512;

// What a render process tells the one that started it, one record per write
// (smaller than PIPE_BUF, so never torn).
struct Report {
    enum Kind : std::uint32_t { Started, Rendered, Finished, StartState, EndState } kind;
    std::uint32_t job;
    std::uint64_t frames;
    std::int32_t status;
    CarriedSidState state;
    char message[MESSAGE_BYTES];
};
static_assert(std::is_trivially_copyable_v<Report> && sizeof(Report) <= PIPE_BUF);

struct Stretch {
    std::size_t begin = 0, end = 0;
    pid_t process = -1;
    int reports = -1;  // the read end of its pipe
    std::optional<CarriedSidState> startState, endState;
};

// Contiguous stretches of about equal sound.
std::vector<Stretch> Stretches(const std::vector<RenderJob>& jobs, int processes) {
    std::uint64_t all = 0;
    for (const RenderJob& job : jobs) all += job.frames;
    std::vector<Stretch> stretches;
    std::size_t begin = 0;
    std::uint64_t done = 0;
    for (int i = 1; i <= processes && begin < jobs.size(); ++i) {
        const std::uint64_t until = all / processes * i;
        std::size_t end = begin + 1;
        done += jobs[begin].frames;
        while (end < jobs.size() && (i == processes || done + jobs[end].frames / 2 <= until))
            done += jobs[end++].frames;
        Stretch stretch;
        stretch.begin = begin;
        stretch.end = end;
        stretches.push_back(stretch);
        begin = end;
    }
    return stretches;
}

void Send(int pipe, Report report) {
    const char* bytes = reinterpret_cast<const char*>(&report);
    std::size_t left = sizeof report;
    while (left > 0) {
        const ssize_t written = write(pipe, bytes, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        bytes += written;
        left -= static_cast<std::size_t>(written);
    }
}

Report MakeReport(Report::Kind kind, std::size_t job) {
    Report report{};
    report.kind = kind;
    report.job = static_cast<std::uint32_t>(job);
    return report;
}

void WarmUp(const std::vector<RenderJob>& jobs, JobRunner& runner, std::size_t begin) {
    std::size_t from = begin;
    for (std::uint64_t frames = 0; from > 0 && frames < WARM_UP_FRAMES;)
        frames += jobs[--from].frames;
    for (std::size_t i = from; i < begin && !StopSignalled(); ++i) runner.RenderIntoNothing(jobs[i]);
}

// The render process: its stretch in order, reporting as it goes.
[[noreturn]] void RunStretch(const std::vector<RenderJob>& jobs, JobRunner& runner,
                             const Stretch& stretch, int pipe) {
    WarmUp(jobs, runner, stretch.begin);
    Report start = MakeReport(Report::StartState, stretch.begin);
    start.state = TakeCarriedSidState();
    Send(pipe, start);
    for (std::size_t i = stretch.begin; i < stretch.end && !StopSignalled(); ++i) {
        Send(pipe, MakeReport(Report::Started, i));
        auto last = std::chrono::steady_clock::now();
        const SongResult result = runner.Render(jobs[i], [&](std::uint64_t frames) {
            if (std::chrono::steady_clock::now() - last < REPORT_INTERVAL) return;
            last = std::chrono::steady_clock::now();
            Report rendered = MakeReport(Report::Rendered, i);
            rendered.frames = frames;
            Send(pipe, rendered);
        });
        Report finished = MakeReport(Report::Finished, i);
        finished.status = result.status;
        std::snprintf(finished.message, sizeof finished.message, "%s", result.message.c_str());
        Send(pipe, finished);
    }
    Report end = MakeReport(Report::EndState, stretch.end);
    end.state = TakeCarriedSidState();
    if (!StopSignalled()) Send(pipe, end);
    std::fflush(nullptr);
    _exit(0);
}

bool StartStretch(const std::vector<RenderJob>& jobs, JobRunner& runner, Stretch& stretch) {
    int ends[2];
    if (pipe(ends) != 0) return false;
    std::fflush(nullptr);
    const pid_t process = fork();
    if (process < 0) {
        close(ends[0]);
        close(ends[1]);
        return false;
    }
    if (process == 0) {
        close(ends[0]);
        runner.view().showTexts = false;
        RunStretch(jobs, runner, stretch, ends[1]);
    }
    close(ends[1]);
    stretch.process = process;
    stretch.reports = ends[0];
    return true;
}

class Collector {
public:
    Collector(const std::vector<RenderJob>& jobs, TerminalView& view,
              std::vector<Stretch>& stretches, RenderProgress& progress)
        : jobs_(jobs), view_(view), stretches_(stretches), progress_(progress),
          status_(jobs.size(), -1) {}

    // Reads every process's reports until all have ended.
    void Run() {
        bool forwarded = false;
        for (;;) {
            std::vector<pollfd> open;
            for (const Stretch& stretch : stretches_)
                if (stretch.reports >= 0) open.push_back({stretch.reports, POLLIN, 0});
            if (open.empty()) return;
            if (StopSignalled() && !forwarded) {
                // A signal sent to this process alone stops the others too.
                for (const Stretch& stretch : stretches_) kill(stretch.process, SIGTERM);
                forwarded = true;
            }
            if (poll(open.data(), open.size(), POLL_MILLIS) <= 0) continue;
            for (Stretch& stretch : stretches_)
                if (stretch.reports >= 0) ReadFrom(stretch, open);
        }
    }

    // A song's status; -1 for one no process finished.
    int StatusOf(std::size_t job) const { return status_[job]; }

private:
    void ReadFrom(Stretch& stretch, const std::vector<pollfd>& polled) {
        const auto entry = std::find_if(polled.begin(), polled.end(),
                                        [&](const pollfd& p) { return p.fd == stretch.reports; });
        if (entry == polled.end() || entry->revents == 0) return;
        Report report;
        const ssize_t got = read(stretch.reports, &report, sizeof report);
        if (got < 0 && errno == EINTR) return;
        if (got != static_cast<ssize_t>(sizeof report)) {
            close(stretch.reports);
            stretch.reports = -1;
            waitpid(stretch.process, nullptr, 0);
            return;
        }
        Take(stretch, report);
    }

    void Take(Stretch& stretch, const Report& report) {
        switch (report.kind) {
            case Report::Started: Started(report.job); break;
            case Report::Rendered: progress_.Rendered(report.job, report.frames); break;
            case Report::Finished:
                if (report.message[0] != '\0') progress_.Say(report.message);
                status_[report.job] = report.status;
                progress_.Finished(report.job, report.status == 0);
                break;
            case Report::StartState: stretch.startState = report.state; break;
            case Report::EndState: stretch.endState = report.state; break;
        }
    }

    // The texts of a tune are shown as a process loads it: at its first song,
    // or where a stretch starts.
    void Started(std::size_t job) {
        const RenderJob& song = jobs_[job];
        const bool loads = song.firstOfTune ||
                           std::any_of(stretches_.begin(), stretches_.end(),
                                       [&](const Stretch& stretch) { return stretch.begin == job; });
        if (loads) {
            progress_.Clear();
            view_.PrintTuneTexts(song.name, song.author, song.released);
        }
        progress_.Started(job);
    }

    const std::vector<RenderJob>& jobs_;
    TerminalView& view_;
    std::vector<Stretch>& stretches_;
    RenderProgress& progress_;
    std::vector<int> status_;
};

// Renders a stretch here, from the state the one before it ended in.
void RenderAgain(const std::vector<RenderJob>& jobs, JobRunner& runner, RenderProgress& progress,
                 Stretch& stretch, const CarriedSidState& from, std::vector<int>& status) {
    RestoreCarriedSidState(from);
    for (std::size_t i = stretch.begin; i < stretch.end && !StopSignalled(); ++i) {
        const SongResult result = runner.Render(jobs[i], [](std::uint64_t) {});
        if (!result.message.empty()) progress.Say(result.message);
        status[i] = result.status;
    }
    stretch.endState = TakeCarriedSidState();
}

}  // namespace

int ProcessorCount() {
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online < 1 ? 1 : static_cast<int>(std::min<long>(online, 64));
}

int RenderInProcesses(const std::vector<RenderJob>& jobs, JobRunner& runner,
                      RenderProgress& progress, int processes) {
    std::vector<Stretch> stretches = Stretches(jobs, processes);
    std::vector<int> status(jobs.size(), EXIT_WRITE_FAILED);
    std::vector<bool> started(stretches.size(), false);
    for (std::size_t s = 0; s < stretches.size(); ++s)
        started[s] = StartStretch(jobs, runner, stretches[s]);
    Collector collector(jobs, runner.view(), stretches, progress);
    collector.Run();
    for (std::size_t i = 0; i < jobs.size(); ++i)
        if (collector.StatusOf(i) >= 0) status[i] = collector.StatusOf(i);
    // The first stretch started from this process's own state; each next one
    // must have started from the state the one before it ended in.
    std::optional<CarriedSidState> before = TakeCarriedSidState();
    for (std::size_t s = 0; s < stretches.size() && !StopSignalled(); ++s) {
        Stretch& stretch = stretches[s];
        const bool rightStart = started[s] && stretch.startState && before &&
                                *stretch.startState == *before;
        // A process that ended without its last report left its songs unsure.
        if (before && (!rightStart || !stretch.endState))
            RenderAgain(jobs, runner, progress, stretch, *before, status);
        before = stretch.endState;
    }
    return *std::max_element(status.begin(), status.end());
}

}  // namespace chipbox::cli
