#include "ui/cli/cli_player.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/tune_info.h"
#include "platform/event_queue.h"
#include "platform/sdl_audio_device.h"
#include "platform/wav_file_device.h"
#include "playback/audio_stream.h"
#include "playback/player_engine.h"
#include "playback/player_events.h"
#include "playback/player_view.h"
#include "playback/tune_loading.h"
#include "sid/digi_registers.h"
#include "sid/sid_render.h"
#include "sid/sid_write.h"
#include "ui/cli/latin1.h"
#include "ui/cli/terminal.h"
#include "ui/cli/tune_report.h"

namespace chipbox::cli {

namespace {

constexpr double DEFAULT_RENDER_SECONDS = 60.0;
constexpr double BUFFER_SECONDS = static_cast<double>(STREAM_BUFFER_SAMPLES) / OUTPUT_RATE;
constexpr auto EVENT_WAIT = std::chrono::milliseconds(50);

// The player's face on a terminal: everything the engine shows is kept for the
// status line, and posted commands go through the same queue as the stream's
// notifications.
class TerminalView : public PlayerView {
public:
    TerminalView(EventQueue& queue, bool showTexts) : queue_(queue), showTexts_(showTexts) {}

    void SetPlayButtonText(const std::string& text) override { playText = text; }
    void SetCpuLoad(int percent) override { cpuLoad = percent; }
    void SetSubsongText(const std::string& text) override { subsong = text; }
    void SetTitle(const std::string&) override {}
    void SetTuneTexts(const std::string& name, const std::string& author,
                      const std::string& released) override {
        if (!showTexts_) return;
        std::printf("Name:   %s\nAuthor: %s\n(c):    %s\n", Latin1ToUtf8(name).c_str(),
                    Latin1ToUtf8(author).c_str(), Latin1ToUtf8(released).c_str());
    }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
    void PostPlayCommand() override { queue_.PostPlayCommand(); }
    [[noreturn]] void FailAudioOpen(const std::string& text, const std::string& caption) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        std::exit(EXIT_NO_SOUND_DEVICE);
    }

    std::string playText = "&Play";
    std::string subsong;
    int cpuLoad = 0;

private:
    EventQueue& queue_;
    bool showTexts_;
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
                            audioStream.state != StreamState::Closing;
        DispatchPlayerEvent(*event);
        buffersPlayed += played;
    }

    // Stops playback and delivers what the stop set off, up to the close.
    void Finish() {
        StopPlayback();
        while (audioStream.open || !queue_.empty()) DispatchNext();
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

int PlayOnSoundCard(const CliOptions& options, PlayerLoop& loop, TerminalView& view) {
    RawKeyboard keyboard;
    CatchStopSignals();
    StartPlayback();
    bool quit = false;
    while (!quit && !StopSignalled()) {
        loop.DispatchNext();
        while (const std::optional<char> key = keyboard.PollKey()) HandleKey(*key, quit);
        ShowStatus(view, loop.buffersPlayed);
        if (options.seconds && loop.buffersPlayed * BUFFER_SECONDS >= *options.seconds) quit = true;
    }
    loop.Finish();
    std::printf("\n");
    return 0;
}

void ShowProgress(double done, double total) {
    const int width = 40;
    const int filled = static_cast<int>(width * done / total);
    std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                 std::string(width - filled, '.').c_str(), static_cast<int>(100 * done / total));
}

int RenderToFile(const CliOptions& options, PlayerLoop& loop, WavFileDevice& device) {
    const double seconds = options.seconds.value_or(DEFAULT_RENDER_SECONDS);
    const bool progress = isatty(STDERR_FILENO);
    StartPlayback();
    while (!device.complete() && !device.failed()) {
        loop.DispatchNext();
        if (progress)
            ShowProgress(static_cast<double>(device.samplesWritten()), seconds * OUTPUT_RATE);
    }
    loop.Finish();
    if (progress) std::fprintf(stderr, "\n");
    if (device.failed()) {
        std::fprintf(stderr, "Error: could not write %s\n", options.outputPath->c_str());
        return EXIT_WRITE_FAILED;
    }
    return 0;
}

}  // namespace

int RunCliPlayer(const CliOptions& options) {
    EventQueue queue;
    TerminalView view(queue, !options.info);
    ConnectPlayer(view, queue);
    if (!LoadTune(options.tunePath, false)) return EXIT_LOAD_FAILED;
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
    if (options.outputPath) {
        const double seconds = options.seconds.value_or(DEFAULT_RENDER_SECONDS);
        WavFileDevice device(*options.outputPath,
                             static_cast<std::uint64_t>(seconds * OUTPUT_RATE));
        UseAudioDevice(device);
        return RenderToFile(options, loop, device);
    }
    SdlAudioDevice device;
    UseAudioDevice(device);
    return PlayOnSoundCard(options, loop, view);
}

}  // namespace chipbox::cli
