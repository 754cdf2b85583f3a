// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/hardsid_timing.h"

#include "sid/hardsid_link.h"

namespace chipbox {

void StartHardSidTiming() {}

void StopHardSidTiming() {}

void StopSampleThread() { sampleThreadRunning = false; }

}  // namespace chipbox
