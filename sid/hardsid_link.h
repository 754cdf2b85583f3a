// SPDX-License-Identifier: GPL-2.0-or-later
// What the SID write path and the digi register decoder need of HardSID output:
// the mode flag, the card's write entry and the sample thread's controls.
// Binding a real card library and running the sample thread belong to the
// playback layer, which installs its functions here.
#pragma once

#include <atomic>
#include <cstdint>

namespace chipbox {

// On: every register write goes to the card instead of the software model.
extern std::atomic<bool> hardSidMode;

// The card library's write entry: device, register, value. Its result is
// ignored. Empty until a card library is bound.
using WriteToHardSidFunction = void (*)(std::uint8_t device, std::uint8_t reg, std::uint8_t value);
extern std::atomic<WriteToHardSidFunction> writeToHardSid;

// True while the HardSID sample thread exists and owns the volume register.
extern std::atomic<bool> sampleThreadRunning;

// When the sample thread writes its next value, in steady-clock nanoseconds.
extern std::atomic<std::int64_t> sampleDeadline;

// The sample thread's start, as the playback layer provides it. Empty: no
// thread is started.
using StartSampleThreadFunction = void (*)();
extern std::atomic<StartSampleThreadFunction> startSampleThreadHandler;

// Starts the sample thread; does nothing unless HardSID output is on and a
// handler is installed.
void StartSampleThread();

// The current time on the clock that sampleDeadline counts in.
std::int64_t SampleClockNow();

// Forwards one write to the card, when a card library is bound.
void ForwardToHardSid(int reg, std::uint8_t value);

}  // namespace chipbox
