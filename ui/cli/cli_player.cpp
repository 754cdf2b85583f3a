// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/cli_player.h"

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/tune_info.h"
#include "platform/sdl_audio_device.h"
#include "platform/wav_file_device.h"
#include "playback/audio_stream.h"
#include "playback/player_engine.h"
#include "playback/player_view.h"
#include "playback/tune_loading.h"
#include "sid/digi_registers.h"
#include "sid/sid_render.h"
#include "sid/sid_write.h"
#include "ui/cli/event_queue.h"
#include "ui/cli/terminal.h"
#include "ui/cli/tune_report.h"

namespace chipbox::cli {

namespace {

constexpr double DEFAULT_RENDER_SECONDS = 60.0;
constexpr double BUFFER_SECONDS = static_cast<double>(STREAM_BUFFER_SAMPLES) / OUTPUT_RATE;
constexpr auto EVENT_WAIT = std::chrono::milliseconds(50);
constexpr const char* STANDARD_OUTPUT = "-";

// The player's face on a terminal: everything the engine shows is kept for the
// status line, and posted commands go through the same queue as the stream's
// notifications. Tune texts go to `texts` (stderr when stdout carries a WAV).
class TerminalView : public PlayerView {
public:
    TerminalView(EventQueue& queue, std::FILE* texts) : queue_(queue), texts_(texts) {}

    void SetPlayButtonText(const std::string& text) override { playText = text; }
    void SetCpuLoad(int percent) override { cpuLoad = percent; }
    void SetSubsongText(const std::string& text) override { subsong = text; }
    void SetTitle(const std::string&) override {}
    void SetTuneTexts(const std::string& name, const std::string& author,
                      const std::string& released) override {
        if (!texts_) return;
        std::fprintf(texts_, "Name:   %s\nAuthor: %s\n(c):    %s\n", TerminalText(name).c_str(),
                     TerminalText(author).c_str(), TerminalText(released).c_str());
    }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), TerminalText(text, true).c_str());
    }
    void PostPlayCommand() override { queue_.PostPlayCommand(); }
    void ReportAudioOpenFailure(const std::string& text, const std::string& caption,
                                const std::string& reason) override {
        audioFailure = caption + ": " + text;
        if (!reason.empty()) audioFailure += " (" + reason + ")";
    }

    std::string playText = "&Play";
    std::string subsong;
    int cpuLoad = 0;
    std::string audioFailure;

private:
    EventQueue& queue_;
    std::FILE* texts_;
};

// Every posted event, on this thread, in order; counts the buffers played.
class PlayerLoop {
public:
    explicit PlayerLoop(EventQueue& queue) : queue_(queue) {}

    void DispatchNext() {
        const std::optional<PlayerEvent> event = queue_.Next(EVENT_WAIT);
        if (!event) return;
        const bool played = event->kind == PlayerEventKind::Stream &&
                            event->stream.kind == StreamEventKind::BufferDone &&
                            event->stream.stream == audioStream.stream && audioStream.open;
        DispatchPlayerEvent(*event);
        buffersPlayed += played;
    }

    // Stops playback and drops what is still on its way.
    void Finish() {
        StopPlayback();
        while (!queue_.empty()) DispatchNext();
    }

    long buffersPlayed = 0;

private:
    EventQueue& queue_;
};

void ApplyStartOptions(const CliOptions& options) {
    if (options.song) tuneInfo.currentSong = static_cast<std::uint8_t>(*options.song - 1);
    for (int voice : options.mutedVoices) SetVoiceMute(voice - 1, true);
    if (options.digiLevel) SetDigiLevel(*options.digiLevel);
    SetPlaybackSpeed(options.speed);
}

// Rewritten in place on a terminal; elsewhere nothing is shown while playing.
void ShowStatus(const TerminalView& view, long buffersPlayed) {
    if (!isatty(STDOUT_FILENO)) return;
    const int seconds = static_cast<int>(buffersPlayed * BUFFER_SECONDS);
    std::printf("\r  Song %s  %02d:%02d  CPU %3d%%  [%s]  ", view.subsong.c_str(), seconds / 60,
                seconds % 60, view.cpuLoad, view.playText == "&Pause" ? "playing" : "paused");
    std::fflush(stdout);
}

void HandleKey(char key, bool& quit) {
    switch (key) {
        case ' ': ConnectedPlayerView().PostPlayCommand(); break;
        case 'n': ChangeSong(+1); break;
        case 'p': ChangeSong(-1); break;
        case '1': SetPlaybackSpeed(1); break;
        case '2': SetPlaybackSpeed(2); break;
        case '4': SetPlaybackSpeed(4); break;
        case 'q': quit = true; break;
        default: break;
    }
}

int ReportNoSoundDevice(const TerminalView& view) {
    std::fprintf(stderr, "%s\n", view.audioFailure.c_str());
    return EXIT_NO_SOUND_DEVICE;
}

int PlayOnSoundCard(const CliOptions& options, PlayerLoop& loop, TerminalView& view) {
    bool quit = false;
    {
        RawKeyboard keyboard;
        StartPlayback();
        if (!playerState.playing) quit = true;
        while (!quit && !StopSignalled()) {
            loop.DispatchNext();
            while (const std::optional<char> key = keyboard.PollKey()) HandleKey(*key, quit);
            ShowStatus(view, loop.buffersPlayed);
            if (options.seconds && loop.buffersPlayed * BUFFER_SECONDS >= *options.seconds)
                quit = true;
        }
        loop.Finish();
    }
    if (!view.audioFailure.empty()) return ReportNoSoundDevice(view);
    if (isatty(STDOUT_FILENO)) std::printf("\n");
    return 0;
}

void ShowProgress(double done, double total) {
    const int width = 40;
    const int filled = static_cast<int>(width * done / total);
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                 std::string(width - filled, '.').c_str(), static_cast<int>(100 * done / total));
}

int ReportWriteFailure(const std::string& path, int error) {
    std::fprintf(stderr, "chipbox-cli: could not write %s: %s\n", path.c_str(),
                 std::strerror(error));
    return EXIT_WRITE_FAILED;
}

int RenderToFile(const std::string& path, double seconds, PlayerLoop& loop, WavFileDevice& device) {
    const bool progress = isatty(STDERR_FILENO);
    StartPlayback();
    while (!device.complete() && !device.failed() && !StopSignalled()) {
        loop.DispatchNext();
        if (progress)
            ShowProgress(static_cast<double>(device.samplesWritten()), seconds * OUTPUT_RATE);
    }
    loop.Finish();
    if (progress) std::fprintf(stderr, "\n");
    if (StopSignalled()) return EXIT_WRITE_FAILED;  // the caller ends as signalled
    if (!device.Commit()) return ReportWriteFailure(path, device.error());
    return 0;
}

// Writing the WAV over the tune it renders would destroy the tune.
bool IsSameFile(const std::string& first, const std::string& second) {
    struct stat a {
    }, b{};
    return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

int Render(const CliOptions& options, PlayerLoop& loop) {
    const std::string& path = *options.outputPath;
    const double seconds = options.seconds.value_or(DEFAULT_RENDER_SECONDS);
    WavFileDevice device(path, static_cast<std::uint64_t>(seconds * OUTPUT_RATE), OUTPUT_RATE);
    if (!device.Create()) return ReportWriteFailure(path, device.error());
    UseAudioDevice(device);
    const int status = RenderToFile(path, seconds, loop, device);
    ResetAudioStream();
    return status;
}

}  // namespace

int RunCliPlayer(const CliOptions& options) {
    const bool toStandardOutput = options.outputPath == STANDARD_OUTPUT;
    if (options.outputPath && !toStandardOutput &&
        IsSameFile(*options.outputPath, options.tunePath)) {
        std::fprintf(stderr, "chipbox-cli: %s is the tune itself; choose another output file\n",
                     options.outputPath->c_str());
        return EXIT_USAGE;
    }
    EventQueue queue;
    TerminalView view(queue, options.info ? nullptr : toStandardOutput ? stderr : stdout);
    ConnectPlayer(view, queue);
    if (!LoadTune(options.tunePath, false).loaded()) return EXIT_LOAD_FAILED;
    if (options.info) {
        std::fputs(TuneReport().c_str(), stdout);
        return 0;
    }
    if (options.song && *options.song > tuneInfo.lastSong + 1) {
        std::fprintf(stderr, "chipbox-cli: --song must lie between 1 and %d for this tune\n",
                     tuneInfo.lastSong + 1);
        return EXIT_USAGE;
    }
    ApplyStartOptions(options);
    PlayerLoop loop(queue);
    CatchStopSignals();
    if (options.outputPath) {
        if (toStandardOutput) std::signal(SIGPIPE, SIG_IGN);
        const int status = Render(options, loop);
        if (StopSignalled()) EndAsSignalled();
        return status;
    }
    SdlAudioDevice device;
    UseAudioDevice(device);
    const int status = PlayOnSoundCard(options, loop, view);
    ResetAudioStream();
    return status;
}

}  // namespace chipbox::cli
