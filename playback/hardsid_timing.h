// SPDX-License-Identifier: GPL-2.0-or-later
// The clock of HardSID output: with no audio stream to pace them, the play
// calls come from a periodic timer, or for CIA frames shorter than 10 ms from
// a busy-waiting timing thread that follows the tune's timer as it changes.
//
// Threads: Start and Stop run on the window's thread; the play calls run on
// the timer's thread or the timing thread, never on two threads at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "platform/priority.h"

namespace chipbox {

// The time the HardSID clocks keep: the timer's ticks and the counter the
// timing thread waits on. The program keeps the machine's; a test puts in
// one it moves itself.
class HardSidTime {
public:
    virtual ~HardSidTime() = default;
    // Calls `tick` every `period` from another thread, the first time one
    // period from now, until StopTicks.
    virtual void StartTicks(std::chrono::nanoseconds period, std::function<void()> tick) = 0;
    // Returns when no tick runs and none will.
    virtual void StopTicks() = 0;
    // The timing thread's counter, in nanoseconds.
    virtual std::int64_t Now() = 0;
};

// Until the next call, the clocks keep `time`; null: the machine's own. Only
// while no HardSID clock runs.
void UseHardSidTime(HardSidTime* time);

enum class HardSidClockKind { Timer, TimingThread };

struct HardSidClock {
    HardSidClockKind kind;
    std::int32_t timerMillis = 0;         // the timer's period
    std::int32_t threadPeriodMicros = 0;  // the timing thread's first frame
    PriorityClass priorityClass = PriorityClass::Normal;
};

// The clock of a start, from the tune's timing flag and the CIA timer value
// its init left: 20 ms for a vertical-blank tune; for a CIA tune 16 ms when
// the timer is 0, its frame in whole milliseconds from 10 ms on, and the
// timing thread below that.
HardSidClock ChooseHardSidClock(bool ciaTiming, std::uint16_t timer);

// After StartPlayback's reset and init: zeroes the card's registers, runs
// init once more for the software model, makes the first play call and
// starts the clock.
void StartHardSidTiming();

// Kills the timer and ends the timing thread; returns when no play call runs
// and none will. The timing thread ends once playing is cleared, also from
// its pause loop.
void StopHardSidTiming();

// The timer's tick: PlaybackSpeed play calls back to back, unless paused.
void PlayTimerTick();

}  // namespace chipbox
