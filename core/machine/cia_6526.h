// SPDX-License-Identifier: GPL-2.0-or-later
// A 6526 CIA: two interval timers, the interrupt control register, the
// time-of-day clock with its alarm, and the two ports as a C64 with no key
// pressed and no joystick moved reads them.
//
// The timers are not stepped: each keeps its count as of a known cycle and
// works out any later value; its underflows are the chip's events. The
// chip's delays: a timer started counts from the second cycle after the
// write, so a continuous timer with latch N underflows every N + 1 cycles;
// a forced load lands on the cycle after the write; the interrupt line goes
// low one cycle after the flag that caused it is set; reading the interrupt
// register hands back the flags and clears them and the line.
//
// Threads: the thread that runs the machine.
#pragma once

#include <array>
#include <cstdint>

#include "core/machine/bus.h"

namespace chipbox::machine {

// What the chip's interrupt output drives: CIA 1 the IRQ line, CIA 2 the NMI.
enum class CiaLine { Irq, Nmi };

class Cia6526 : public BusDevice {
public:
    // `powerLineHz` drives the time of day: 50 on a PAL machine, 60 on NTSC.
    Cia6526(Bus& bus, CiaLine line, std::uint32_t clockHz, std::uint32_t powerLineHz);

    std::uint8_t ReadRegister(std::uint16_t offset, std::uint64_t cycle) override;
    void WriteRegister(std::uint16_t offset, std::uint8_t value, std::uint64_t cycle) override;
    std::uint64_t RunEvents(std::uint64_t cycle) override;

    // Power-on: timers stopped with latches and counters at $FFFF, no
    // interrupts, ports all inputs, the clock at 1:00:00.0.
    void Reset(std::uint64_t cycle);

    // The counter of timer 0 (A) or 1 (B) as a read at `cycle` gives it.
    std::uint16_t TimerValue(int timer, std::uint64_t cycle);
    std::uint16_t TimerLatch(int timer) const { return timers_[timer].latch; }
    bool TimerRunning(int timer) const { return timers_[timer].running; }
    std::uint8_t interruptMask() const { return mask_; }

    // Port A's output as the VIC bank select sees it (CIA 2).
    std::uint8_t PortAOutput() const {
        return static_cast<std::uint8_t>(portA_ | ~directionA_);
    }

private:
    struct Timer {
        std::uint16_t latch = 0xFFFF;
        std::uint16_t counter = 0xFFFF;  // as of `since`
        std::uint64_t since = 0;         // the first cycle whose count is not in `counter`
        bool running = false;
        bool oneShot = false;
        bool countsTimerA = false;  // timer B in the mode that counts A's underflows
        std::uint8_t control = 0;
        std::uint64_t nextUnderflow = NEVER;
    };

    void AdvanceTimer(Timer& timer, std::uint64_t cycle);
    void Underflow(int timerIndex, std::uint64_t cycle);
    void CountTimerAUnderflow(std::uint64_t cycle);
    void ScheduleTimer(Timer& timer);
    void WriteControl(int timerIndex, std::uint8_t value, std::uint64_t cycle);
    void WriteTimerByte(int timerIndex, bool high, std::uint8_t value, std::uint64_t cycle);
    void RaiseFlag(std::uint8_t flag, std::uint64_t cycle);
    std::uint8_t ReadInterrupts(std::uint64_t cycle);
    void WriteMask(std::uint8_t value, std::uint64_t cycle);
    void UpdateLine();
    void Reschedule();

    // The time of day, in BCD as its registers hold it.
    void TickPowerLine();
    void AdvanceTimeOfDay();
    std::uint8_t ReadTimeOfDay(int index);
    void WriteTimeOfDay(int index, std::uint8_t value, std::uint64_t cycle);
    void CheckAlarm(std::uint64_t cycle);

    Bus& bus_;
    CiaLine line_;
    std::uint32_t clockHz_;
    std::uint32_t powerLineHz_;

    std::array<Timer, 2> timers_{};
    std::uint8_t flags_ = 0;
    std::uint8_t mask_ = 0;
    bool lineAsserted_ = false;
    std::uint64_t lineDue_ = NEVER;  // when the line goes low for a flag already set

    std::uint8_t portA_ = 0, portB_ = 0, directionA_ = 0, directionB_ = 0;
    std::uint8_t serialData_ = 0;

    std::array<std::uint8_t, 4> timeOfDay_{};  // tenths, seconds, minutes, hours
    std::array<std::uint8_t, 4> alarm_{};
    std::array<std::uint8_t, 4> readLatch_{};
    bool readLatched_ = false;
    bool stoppedForWrite_ = false;
    std::uint32_t ticksPerTenth_ = 5;
    std::uint32_t tickCount_ = 0;
    std::uint64_t nextTick_ = NEVER;
    std::uint64_t tickRemainder_ = 0;  // of clockHz / powerLineHz, carried
};

}  // namespace chipbox::machine
