// SPDX-License-Identifier: GPL-2.0-or-later
// A message queue for a player without a window system: the stream's
// notifications and the posted Play command, delivered one by one on the
// thread that owns the player, in the order they were posted. Any thread may
// post. The command-line player runs on it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/audio_device.h"

namespace chipbox {

enum class PlayerEventKind { Stream, PlayCommand };

struct PlayerEvent {
    PlayerEventKind kind;
    StreamEvent stream{StreamEventKind::Opened};
};

class EventQueue : public StreamEventTarget {
public:
    void Post(StreamEvent event) override { Push({PlayerEventKind::Stream, event}); }
    void PostPlayCommand() { Push({PlayerEventKind::PlayCommand}); }

    // The oldest event, waiting at most `timeout` for one.
    std::optional<PlayerEvent> Next(std::chrono::milliseconds timeout);
    bool empty() const;

private:
    void Push(PlayerEvent event);

    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<PlayerEvent> events_;
};

// Hands one event to the engine (the posted Play) or the stream.
void DispatchPlayerEvent(const PlayerEvent& event);

}  // namespace chipbox
