// SPDX-License-Identifier: GPL-2.0-or-later
// The clock and sample thread of HardSID output. Until a card library is
// bound these are stand-ins: timing makes no play calls and no sample thread
// runs.
#pragma once

namespace chipbox {

void StartHardSidTiming();
void StopHardSidTiming();
void StopSampleThread();

}  // namespace chipbox
