// SPDX-License-Identifier: GPL-2.0-or-later
// The scope's view of the chips as they stand: the default model's register
// shadow and envelopes, or every SID of the real machine.
//
// Threads: the thread that runs the tune's code and renders.
#pragma once

#include <cstdint>

#include "playback/scope_feed.h"

namespace chipbox {

ScopeFrame DefaultModelScopeFrame(std::int64_t frame, std::int64_t songMicros);
// None but the frame and song time when no machine runs.
ScopeFrame MachineScopeFrame(std::int64_t frame, std::int64_t songMicros);

}  // namespace chipbox
