// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/player_loop.h"

#include <chrono>

#include "playback/machine_playback.h"
#include "playback/player_engine.h"
#include "sid/digi_registers.h"
#include "sid/sid_write.h"
#include "ui/cli/cli_options.h"

namespace chipbox::cli {

namespace {
constexpr auto EVENT_WAIT = std::chrono::milliseconds(50);
}  // namespace

void PlayerLoop::DispatchNext() {
    if (const std::optional<PlayerEvent> event = queue_.Next(EVENT_WAIT))
        DispatchPlayerEvent(*event);
}

void PlayerLoop::Finish() {
    StopPlayback();
    while (!queue_.empty()) DispatchNext();
}

void ApplyStartOptions(const CliOptions& options) {
    for (int voice : options.mutedVoices) {
        if (voice <= 3)
            SetVoiceMute(voice - 1, true);
        else
            SetFurtherVoiceMuted(voice - 1, true);
    }
    SetMachineMono(options.mono);
    if (options.digiLevel) SetDigiLevel(*options.digiLevel);
    SetPlaybackSpeed(options.speed);
}

}  // namespace chipbox::cli
