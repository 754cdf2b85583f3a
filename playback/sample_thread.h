// SPDX-License-Identifier: GPL-2.0-or-later
// Digi samples on a HardSID card: a thread of its own writes each 4-bit
// value into the card's volume register at the moment the tune's period
// says, busy-waiting on the counter between values.
//
// Threads: the thread is started by the tune's sample command on whichever
// thread runs its code, and stopped by the window's thread after the play
// calls have ended. It shares the live sample registers (relaxed atomics)
// and the tune's memory (read through ReadMemoryShared) with the code that
// writes them.
#pragma once

#include <atomic>
#include <cstdint>

namespace chipbox {

// Lets the sample registers' start and stop commands start the thread.
void InstallSampleThread();

// Starts the thread when HardSID output is on and none runs.
void StartSampleThreadNow();

// Tells the thread to end and waits until it has: it ends after its current
// wait and writes 0 to the volume register on its way out.
void StopSampleThread();

// The counter the thread waits on, in nanoseconds.
class SampleClock {
public:
    virtual ~SampleClock() = default;
    virtual std::int64_t Now() = 0;
    // Returns when Now() reaches `deadline`, or earlier once `running` is
    // cleared.
    virtual void WaitUntil(std::int64_t deadline, const std::atomic<bool>& running) = 0;
};

// One value of a sounding sample: read its nybble, advance, write it to the
// card unless the last wait came too late (the value is then skipped, so the
// sample keeps its pace), and wait for the next one. Returns false, doing
// nothing, while no sample sounds.
bool PlaySampleValue(bool& late, SampleClock& clock);

}  // namespace chipbox
