// A first-in, first-out queue of events for one thread, that any thread may
// post to: the stream's notifications and the player's posted commands travel
// through it in the order they were posted.
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

}  // namespace chipbox
