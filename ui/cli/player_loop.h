// SPDX-License-Identifier: GPL-2.0-or-later
// The command-line player's event loop: every posted event, on this thread,
// in order.
#pragma once

#include <cstdint>

#include "playback/event_queue.h"
#include "ui/cli/cli_options.h"

namespace chipbox::cli {

class PlayerLoop {
public:
    explicit PlayerLoop(EventQueue& queue) : queue_(queue) {}

    // Delivers the next event, waiting a moment for one.
    void DispatchNext();
    // Stops playback and drops what is still on its way.
    void Finish();

private:
    EventQueue& queue_;
};

// Applies --mute, --digi-level and --speed before the first song starts.
void ApplyStartOptions(const CliOptions& options);

}  // namespace chipbox::cli
