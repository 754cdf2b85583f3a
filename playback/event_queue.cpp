// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/event_queue.h"

#include "playback/audio_stream.h"
#include "playback/player_engine.h"

namespace chipbox {

void EventQueue::Push(PlayerEvent event) {
    {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
    }
    ready_.notify_one();
}

std::optional<PlayerEvent> EventQueue::Next(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!ready_.wait_for(lock, timeout, [this] { return !events_.empty(); })) return std::nullopt;
    const PlayerEvent event = events_.front();
    events_.pop_front();
    return event;
}

bool EventQueue::empty() const {
    std::lock_guard lock(mutex_);
    return events_.empty();
}

void DispatchPlayerEvent(const PlayerEvent& event) {
    if (event.kind == PlayerEventKind::PlayCommand)
        PlayPauseCommand();
    else
        HandleStreamEvent(event.stream);
}

}  // namespace chipbox
