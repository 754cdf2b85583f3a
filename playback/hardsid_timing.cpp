// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/hardsid_timing.h"

#include <chrono>
#include <thread>
#include <utility>

#include "core/c64_memory.h"
#include "core/routine_call.h"
#include "core/tune_info.h"
#include "platform/periodic_timer.h"
#include "playback/player_engine.h"
#include "sid/hardsid_link.h"
#include "sid/sid_write.h"

namespace chipbox {

namespace {

constexpr std::int32_t VERTICAL_BLANK_MILLIS = 20;
constexpr std::int32_t ZERO_TIMER_MILLIS = 16;  // a CIA tune that left its timer at 0
constexpr std::int32_t SHORTEST_TIMER_MILLIS = 10;
constexpr auto PAUSE_POLL = std::chrono::milliseconds(20);
constexpr std::uint8_t FULL_VOLUME = 0x0F;

// The machine's time: a periodic timer of the platform, the steady clock.
class MachineTime final : public HardSidTime {
public:
    void StartTicks(std::chrono::nanoseconds period, std::function<void()> tick) override {
        timer_.Start(period, std::move(tick));
    }
    void StopTicks() override { timer_.Kill(); }
    std::int64_t Now() override { return SampleClockNow(); }

private:
    PeriodicTimer timer_;
};

struct HardSidTiming {
    MachineTime machineTime;
    HardSidTime* time = &machineTime;
    std::thread timingThread;
    std::int32_t frameMicros = DEFAULT_FRAME_MICROS;  // what each play call may use
};

HardSidTiming& Timing() {
    static HardSidTiming timing;
    return timing;
}

std::int32_t ThreadPeriodMicros(std::uint16_t timer) {
    return static_cast<std::int32_t>(timer * double(DEFAULT_FRAME_MICROS) / TIMER_COUNTS_PER_FRAME);
}

void PlayFrames(std::int32_t frameMicros) {
    const std::int32_t speed = playbackSpeed;
    const RoutineLimits limits = PlayCallLimits(frameMicros, speed);
    for (int call = 0; call < speed; ++call) CallRoutine(tuneInfo.playAddress, 0, limits);
}

// The deadlines are absolute: a late frame does not shift the ones after it.
// After a pause the schedule restarts from the moment of resuming.
void TimingThread(std::int32_t periodMicros) {
    SetCurrentThreadPriority(ThreadPriority::Lowest);
    HardSidTime& time = *Timing().time;
    std::int64_t ticks = std::int64_t{periodMicros} * 1000;
    std::int64_t deadline = time.Now();
    while (playerState.playing) {
        deadline += ticks;
        PlayFrames(periodMicros);
        while (time.Now() <= deadline && playerState.playing) {
        }
        while (playerState.paused && playerState.playing) {
            std::this_thread::sleep_for(PAUSE_POLL);
            deadline = time.Now();
        }
        if (const std::uint16_t timer = ReadCiaTimerA(); timer > 0) {
            periodMicros = ThreadPeriodMicros(timer);
            ticks = std::int64_t{periodMicros} * 1000;
        }
    }
}

// A second init for the software model: its writes must not reach the card,
// and no sample thread may start from it.
void RunInitOffTheCard() {
    hardSidMode = false;
    RestoreTuneImage();
    CallRoutine(tuneInfo.initAddress, tuneInfo.currentSong);
    hardSidMode = true;
}

}  // namespace

void UseHardSidTime(HardSidTime* time) {
    HardSidTiming& timing = Timing();
    timing.time = time ? time : &timing.machineTime;
}

HardSidClock ChooseHardSidClock(bool ciaTiming, std::uint16_t timer) {
    if (!ciaTiming) {
        return {HardSidClockKind::Timer, VERTICAL_BLANK_MILLIS, 0, PriorityClass::High};
    }
    if (timer == 0) return {HardSidClockKind::Timer, ZERO_TIMER_MILLIS, 0, PriorityClass::High};
    const auto delay = static_cast<std::int32_t>(timer * 20.0 / TIMER_COUNTS_PER_FRAME);
    if (delay >= SHORTEST_TIMER_MILLIS)
        return {HardSidClockKind::Timer, delay, 0, PriorityClass::High};
    return {HardSidClockKind::TimingThread, 0, ThreadPeriodMicros(timer), PriorityClass::Normal};
}

void StartHardSidTiming() {
    for (int reg = 0; reg < VOLUME_REGISTER; ++reg) SidWrite(reg, 0);
    SidWrite(VOLUME_REGISTER, FULL_VOLUME);
    RunInitOffTheCard();
    const HardSidClock clock = ChooseHardSidClock(tuneInfo.ciaTiming, ReadCiaTimerA());
    HardSidTiming& timing = Timing();
    if (clock.kind == HardSidClockKind::Timer) {
        timing.frameMicros = clock.timerMillis * 1000;
        CallRoutine(tuneInfo.playAddress, 0, PlayCallLimits(timing.frameMicros, playbackSpeed));
        timing.time->StartTicks(std::chrono::milliseconds(clock.timerMillis), PlayTimerTick);
        SetProcessPriorityClass(clock.priorityClass);
    } else {
        CallRoutine(tuneInfo.playAddress, 0,
                    PlayCallLimits(clock.threadPeriodMicros, playbackSpeed));
        SetProcessPriorityClass(clock.priorityClass);
        timing.timingThread = std::thread(TimingThread, clock.threadPeriodMicros);
    }
}

void StopHardSidTiming() {
    HardSidTiming& timing = Timing();
    timing.time->StopTicks();
    if (timing.timingThread.joinable()) timing.timingThread.join();
}

void PlayTimerTick() {
    if (!playerState.paused) PlayFrames(Timing().frameMicros);
}

}  // namespace chipbox
