// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/play_session.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "core/tune_info.h"
#include "platform/sdl_audio_device.h"
#include "playback/audio_stream.h"
#include "playback/machine_playback.h"
#include "playback/player_engine.h"
#include "sid/sid_render.h"
#include "sid/sid_state.h"
#include "ui/cli/cli_player.h"
#include "ui/cli/listed_tune.h"
#include "ui/cli/terminal.h"

namespace chipbox::cli {

namespace {

constexpr double BUFFER_SECONDS = static_cast<double>(STREAM_BUFFER_SAMPLES) / OUTPUT_RATE;

enum class TuneEnd { Next, Previous, Quit, NoSound };

struct Session {
    const std::vector<std::string>& tunes;
    const CliOptions& options;
    const SongLengths* lengths;
    TerminalView& view;
    PlayerLoop& loop;
    RawKeyboard& keyboard;
    bool inList;
    std::size_t index = 0;
    std::vector<bool> notLoaded;  // tunes of the list that could not be loaded
};

// The place among the tunes that play: those that could not be loaded do not
// count.
int PlayingTuneNumber(const Session& session) {
    const auto skippedBefore =
        std::count(session.notLoaded.begin(),
                   session.notLoaded.begin() + static_cast<std::ptrdiff_t>(session.index), true);
    return static_cast<int>(session.index - static_cast<std::size_t>(skippedBefore) + 1);
}

int PlayingTuneCount(const Session& session) {
    const auto skipped = std::count(session.notLoaded.begin(), session.notLoaded.end(), true);
    return static_cast<int>(session.tunes.size() - static_cast<std::size_t>(skipped));
}

std::string MutedVoices() {
    std::string text;
    for (int voice = 0; voice < 9; ++voice) {
        const bool muted = voice < 3 ? mixerSettings.voiceMuted[static_cast<std::size_t>(voice)] != 0
                                     : FurtherVoiceMuted(voice);
        if (!muted) continue;
        if (!text.empty()) text.push_back(' ');
        text.append(std::to_string(voice + 1));
    }
    return text;
}

// How long the current song plays: --seconds of sound, else its known
// length, else in a list the default length, else until stopped (0).
std::int64_t SongLengthMicros(const Session& session, const ListedTune& tune) {
    if (const std::int64_t known = KnownLengthMicros(tune)) return known;
    return session.inList ? std::int64_t{session.options.defaultLengthMillis} * 1000 : 0;
}

void ShowStatus(const Session& session, std::int64_t lengthMicros) {
    if (!isatty(STDOUT_FILENO)) return;
    StatusLine status;
    status.tuneNumber = PlayingTuneNumber(session);
    status.tuneCount = PlayingTuneCount(session);
    status.subsong = session.view.subsong;
    status.tuneMicros = playerState.tuneMicros;
    status.lengthMicros = lengthMicros;
    status.speed = playbackSpeed;
    status.mutedVoices = MutedVoices();
    status.cpuLoad = session.view.cpuLoad;
    status.playing = session.view.playing();
    ShowStatusLine(StatusText(status));
}

bool SongOver(const Session& session, std::int64_t lengthMicros) {
    if (session.options.seconds)
        return static_cast<double>(BuffersPlayed()) * BUFFER_SECONDS >= *session.options.seconds;
    return lengthMicros > 0 && playerState.tuneMicros >= lengthMicros;
}

// A key: what the player does, or how the tune ends.
std::optional<TuneEnd> HandleKey(char key) {
    switch (key) {
        case ' ': ConnectedPlayerView().PostPlayCommand(); break;
        case 'n': ChangeSong(+1); break;
        case 'p': ChangeSong(-1); break;
        case '1': SetPlaybackSpeed(1); break;
        case '2': SetPlaybackSpeed(2); break;
        case '4': SetPlaybackSpeed(4); break;
        case '>': return TuneEnd::Next;
        case '<': return TuneEnd::Previous;
        case 'q': return TuneEnd::Quit;
        default: break;
    }
    return std::nullopt;
}

TuneEnd PlayTune(Session& session, const ListedTune& tune) {
    StartPlayback();
    if (!playerState.playing) return TuneEnd::NoSound;
    while (!StopSignalled()) {
        session.loop.DispatchNext();
        while (const std::optional<char> key = session.keyboard.PollKey())
            if (const std::optional<TuneEnd> end = HandleKey(*key)) return *end;
        const std::int64_t lengthMicros = SongLengthMicros(session, tune);
        ShowStatus(session, lengthMicros);
        if (!SongOver(session, lengthMicros)) continue;
        if (!session.options.allSongs || tuneInfo.currentSong >= tuneInfo.lastSong)
            return TuneEnd::Next;
        ChangeSong(+1);
    }
    return TuneEnd::Quit;
}

}  // namespace

int PlayTunes(const std::vector<std::string>& tunes, const CliOptions& options,
              const SongLengths* lengths, TerminalView& view, PlayerLoop& loop) {
    SdlAudioDevice device;
    UseAudioDevice(device);
    RawKeyboard keyboard;
    Session session{tunes,
                    options,
                    lengths,
                    view,
                    loop,
                    keyboard,
                    tunes.size() > 1 || options.allSongs,
                    0,
                    std::vector<bool>(tunes.size())};
    bool played = false;
    ApplyStartOptions(options);
    int direction = +1;
    TuneEnd end = TuneEnd::Next;
    while (session.index < tunes.size() && end != TuneEnd::Quit && end != TuneEnd::NoSound) {
        const ListedTune tune =
            LoadListedTune(tunes[session.index], options, lengths, view, session.inList);
        if (tune.status != ListedTuneStatus::Loaded && !session.inList)
            return tune.status == ListedTuneStatus::NoSuchSong ? EXIT_USAGE : EXIT_LOAD_FAILED;
        session.notLoaded[session.index] = tune.status != ListedTuneStatus::Loaded;
        if (tune.status == ListedTuneStatus::Loaded) {
            played = true;
            end = PlayTune(session, tune);
            loop.Finish();
            direction = end == TuneEnd::Previous ? -1 : +1;
        }
        if (direction < 0 && session.index == 0) direction = 0;  // the first tune again
        session.index += static_cast<std::size_t>(direction);
        if (direction == 0) direction = +1;
    }
    EndStatusLine();
    CloseSoundOutput();
    if (end == TuneEnd::NoSound) {
        std::fprintf(stderr, "%s\n", view.audioFailure.c_str());
        return EXIT_NO_SOUND_DEVICE;
    }
    return played ? 0 : EXIT_LOAD_FAILED;
}

}  // namespace chipbox::cli
