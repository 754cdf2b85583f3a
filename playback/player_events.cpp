#include "playback/player_events.h"

#include "playback/audio_stream.h"
#include "playback/player_engine.h"

namespace chipbox {

void PlayPauseCommand() {
    if (playerState.playing)
        TogglePause();
    else
        StartPlayback();
}

void DispatchPlayerEvent(const PlayerEvent& event) {
    if (event.kind == PlayerEventKind::PlayCommand)
        PlayPauseCommand();
    else
        HandleStreamEvent(event.stream);
}

}  // namespace chipbox
