// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/silence_watch.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "core/machine_model.h"
#include "playback/engine_state.h"
#include "playback/machine_playback.h"
#include "playback/scope_feed.h"

namespace chipbox::window {

void SilenceWatch::Restart(const std::string& tunePath) {
    watched_ = tunePath;
    decided_ = false;
    lastFrame_ = -1;
    lastMicros_ = 0;
    lowest_ = 0;
    highest_ = 0;
    seen_ = false;
}

bool SilenceWatch::Check(const std::string& tunePath) {
    if (tunePath != watched_) Restart(tunePath);
    if (decided_ || !playerState.playing || playerState.paused) return false;
    if (MachinePlays() || CurrentMachineModel() == MachineModel::Complete) return false;
    const std::optional<std::int64_t> frame = HeardFrame();
    const std::optional<std::int64_t> micros = HeardSongMicros();
    if (!frame || !micros) return false;
    // The song started again (a stop, another subsong): watch it afresh.
    if (*micros < lastMicros_ || *frame < lastFrame_) {
        const bool decided = decided_;
        Restart(tunePath);
        decided_ = decided;
    }
    const std::int64_t from = lastFrame_ < 0 ? 0 : lastFrame_;
    for (const std::int16_t sample : ScopeSamplesBefore(*frame, *frame - from)) {
        if (!seen_) lowest_ = highest_ = sample, seen_ = true;
        lowest_ = std::min<int>(lowest_, sample);
        highest_ = std::max<int>(highest_, sample);
    }
    lastFrame_ = *frame;
    lastMicros_ = *micros;
    if (*micros < WATCHED_MICROS) return false;
    decided_ = true;
    return highest_ - lowest_ <= SILENT_SPAN && defaultModelShortfall.any();
}

}  // namespace chipbox::window
