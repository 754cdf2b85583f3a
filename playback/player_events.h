#pragma once

#include "platform/event_queue.h"

namespace chipbox {

// The Play/Pause command: a fresh start when stopped, else pause or resume.
void PlayPauseCommand();

// Hands one posted event to the engine or the stream.
void DispatchPlayerEvent(const PlayerEvent& event);

}  // namespace chipbox
