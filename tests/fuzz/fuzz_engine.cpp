// SPDX-License-Identifier: GPL-2.0-or-later
#include "fuzz_engine.h"

#include <optional>

#include "playback/engine_state.h"

namespace chipbox::fuzz {

namespace {

class DroppedEvents : public StreamEventTarget {
public:
    void Post(StreamEvent) override {}
};

}  // namespace

void StartInput() {
    static SilentPlayerView view;
    static SilentDevice device;
    static DroppedEvents events;
    static std::optional<PlayerConnection> connection;
    connection.reset();
    ResetEngine();
    connection.emplace(view, events);
    startSampleThreadHandler = nullptr;  // no threads: each input runs alone
    UseAudioDevice(device);
}

}  // namespace chipbox::fuzz
