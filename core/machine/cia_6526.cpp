// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/machine/cia_6526.h"

#include <algorithm>

namespace chipbox::machine {

namespace {

enum Register : std::uint8_t {
    PORT_A = 0x0,
    PORT_B = 0x1,
    DIRECTION_A = 0x2,
    DIRECTION_B = 0x3,
    TIMER_A_LOW = 0x4,
    TIMER_A_HIGH = 0x5,
    TIMER_B_LOW = 0x6,
    TIMER_B_HIGH = 0x7,
    TOD_TENTHS = 0x8,
    TOD_SECONDS = 0x9,
    TOD_MINUTES = 0xA,
    TOD_HOURS = 0xB,
    SERIAL_DATA = 0xC,
    INTERRUPT_CONTROL = 0xD,
    CONTROL_A = 0xE,
    CONTROL_B = 0xF,
};

namespace control {
constexpr std::uint8_t START = 0x01;
constexpr std::uint8_t ONE_SHOT = 0x08;
constexpr std::uint8_t FORCE_LOAD = 0x10;
constexpr std::uint8_t COUNT_CNT = 0x20;       // timer A: count the CNT pin
constexpr std::uint8_t TOD_50HZ = 0x80;        // control A
constexpr std::uint8_t B_COUNTS_A = 0x40;      // control B, with or without CNT
constexpr std::uint8_t B_WRITES_ALARM = 0x80;  // control B
}  // namespace control

constexpr std::uint8_t FLAG_TIMER_A = 0x01;
constexpr std::uint8_t FLAG_TIMER_B = 0x02;
constexpr std::uint8_t FLAG_ALARM = 0x04;
constexpr std::uint8_t INTERRUPT_REQUESTED = 0x80;
constexpr int HOURS = 3;
constexpr int TENTHS = 0;
constexpr std::uint8_t PM = 0x80;

// Starting and forced loads reach the counter after the chip's pipeline.
constexpr std::uint64_t START_DELAY = 2;

std::uint8_t IncrementBcd(std::uint8_t value) {
    return static_cast<std::uint8_t>((value & 0x0F) == 9 ? (value & 0xF0) + 0x10 : value + 1);
}

}  // namespace

Cia6526::Cia6526(Bus& bus, CiaLine line, std::uint32_t clockHz, std::uint32_t powerLineHz)
    : bus_(bus), line_(line), clockHz_(clockHz), powerLineHz_(powerLineHz) {
    Reset(0);
}

void Cia6526::Reset(std::uint64_t cycle) {
    timers_ = {};
    for (Timer& timer : timers_) timer.since = cycle;
    flags_ = mask_ = 0;
    lineAsserted_ = false;
    lineDue_ = NEVER;
    portA_ = portB_ = directionA_ = directionB_ = 0;
    serialData_ = 0;
    timeOfDay_ = {0x00, 0x00, 0x00, 0x01};
    alarm_ = {};
    readLatched_ = stoppedForWrite_ = false;
    ticksPerTenth_ = 6;
    tickCount_ = 0;
    tickRemainder_ = 0;
    nextTick_ = cycle + clockHz_ / powerLineHz_;
    UpdateLine();
    Reschedule();
}

// Counts of the cycles before `cycle`; the underflows among them are events
// and have been run, so the counter only runs down here.
void Cia6526::AdvanceTimer(Timer& timer, std::uint64_t cycle) {
    const bool counting =
        timer.running && !timer.countsTimerA && !(timer.control & control::COUNT_CNT);
    if (counting && cycle > timer.since) {
        const std::uint64_t counts = cycle - timer.since;
        timer.counter =
            static_cast<std::uint16_t>(counts <= timer.counter ? timer.counter - counts : 0);
    }
    if (cycle > timer.since) timer.since = cycle;
}

std::uint16_t Cia6526::TimerValue(int timer, std::uint64_t cycle) {
    AdvanceTimer(timers_[timer], cycle);
    return timers_[timer].counter;
}

void Cia6526::ScheduleTimer(Timer& timer) {
    const bool counting =
        timer.running && !timer.countsTimerA && !(timer.control & control::COUNT_CNT);
    // The count that finds the counter at 0 reloads it; it shows on the cycle after.
    timer.nextUnderflow = counting ? timer.since + timer.counter + 1 : NEVER;
}

void Cia6526::Underflow(int timerIndex, std::uint64_t cycle) {
    Timer& timer = timers_[timerIndex];
    timer.counter = timer.latch;
    timer.since = cycle;
    if (timer.oneShot) {
        timer.running = false;
        timer.control &= static_cast<std::uint8_t>(~control::START);
    }
    ScheduleTimer(timer);
    RaiseFlag(timerIndex == 0 ? FLAG_TIMER_A : FLAG_TIMER_B, cycle);
    if (timerIndex == 0) CountTimerAUnderflow(cycle);
}

void Cia6526::CountTimerAUnderflow(std::uint64_t cycle) {
    Timer& b = timers_[1];
    if (!b.running || !b.countsTimerA) return;
    if (b.counter == 0)
        Underflow(1, cycle);
    else
        --b.counter;
}

void Cia6526::RaiseFlag(std::uint8_t flag, std::uint64_t cycle) {
    flags_ |= flag;
    if ((flags_ & mask_) && !lineAsserted_ && lineDue_ == NEVER) lineDue_ = cycle + 1;
}

void Cia6526::UpdateLine() {
    if (line_ == CiaLine::Irq)
        bus_.SetIrq(FROM_CIA1, lineAsserted_);
    else
        bus_.SetNmi(FROM_CIA2, lineAsserted_);
}

std::uint64_t Cia6526::RunEvents(std::uint64_t cycle) {
    for (;;) {
        const std::uint64_t next =
            std::min({timers_[0].nextUnderflow, timers_[1].nextUnderflow, lineDue_, nextTick_});
        if (next > cycle) return next;
        if (timers_[0].nextUnderflow == next) {
            Underflow(0, next);
        } else if (timers_[1].nextUnderflow == next) {
            Underflow(1, next);
        } else if (lineDue_ == next) {
            lineDue_ = NEVER;
            lineAsserted_ = true;
            UpdateLine();
        } else {
            TickPowerLine();
            CheckAlarm(next);
        }
    }
}

void Cia6526::Reschedule() {
    bus_.Reschedule(
        this, std::min({timers_[0].nextUnderflow, timers_[1].nextUnderflow, lineDue_, nextTick_}));
}

std::uint8_t Cia6526::ReadInterrupts(std::uint64_t /*cycle*/) {
    const bool requested = lineAsserted_ || lineDue_ != NEVER;
    const std::uint8_t value =
        static_cast<std::uint8_t>(flags_ | (requested ? INTERRUPT_REQUESTED : 0));
    flags_ = 0;
    lineDue_ = NEVER;
    if (lineAsserted_) {
        lineAsserted_ = false;
        UpdateLine();
    }
    return value;
}

void Cia6526::WriteMask(std::uint8_t value, std::uint64_t cycle) {
    if (value & 0x80)
        mask_ |= value & 0x1F;
    else
        mask_ &= static_cast<std::uint8_t>(~value & 0x1F);
    if ((flags_ & mask_) && !lineAsserted_ && lineDue_ == NEVER) lineDue_ = cycle + 1;
}

void Cia6526::WriteControl(int timerIndex, std::uint8_t value, std::uint64_t cycle) {
    Timer& timer = timers_[timerIndex];
    AdvanceTimer(timer, cycle);
    const bool wasRunning = timer.running;
    timer.control = static_cast<std::uint8_t>(value & ~control::FORCE_LOAD);
    timer.running = (value & control::START) != 0;
    timer.oneShot = (value & control::ONE_SHOT) != 0;
    if (timerIndex == 1) timer.countsTimerA = (value & control::B_COUNTS_A) != 0;
    if (timerIndex == 0) ticksPerTenth_ = (value & control::TOD_50HZ) ? 5 : 6;
    if (value & control::FORCE_LOAD) {
        timer.counter = timer.latch;
        timer.since = cycle + START_DELAY;
    } else if (timer.running && !wasRunning) {
        timer.since = cycle + START_DELAY;
    }
    ScheduleTimer(timer);
}

void Cia6526::WriteTimerByte(int timerIndex, bool high, std::uint8_t value, std::uint64_t cycle) {
    Timer& timer = timers_[timerIndex];
    AdvanceTimer(timer, cycle);
    timer.latch = high ? static_cast<std::uint16_t>((timer.latch & 0x00FF) | value << 8)
                       : static_cast<std::uint16_t>((timer.latch & 0xFF00) | value);
    // A stopped timer takes the whole latch when its high byte is written.
    if (high && !timer.running) timer.counter = timer.latch;
    ScheduleTimer(timer);
}

void Cia6526::TickPowerLine() {
    const std::uint64_t whole = clockHz_ / powerLineHz_;
    tickRemainder_ += clockHz_ % powerLineHz_;
    nextTick_ += whole + tickRemainder_ / powerLineHz_;
    tickRemainder_ %= powerLineHz_;
    if (stoppedForWrite_) return;
    if (++tickCount_ < ticksPerTenth_) return;
    tickCount_ = 0;
    AdvanceTimeOfDay();
}

// Tenths, then seconds and minutes in BCD to 59, then the hours 1 to 12 with
// the PM flag turning over from 11 to 12.
void Cia6526::AdvanceTimeOfDay() {
    std::array<std::uint8_t, 4>& t = timeOfDay_;
    t[0] = static_cast<std::uint8_t>((t[0] + 1) & 0x0F);
    if (t[0] < 10) return;
    t[0] = 0;
    for (int unit = 1; unit <= 2; ++unit) {
        t[unit] = IncrementBcd(t[unit]);
        if (t[unit] < 0x60) return;
        t[unit] = 0;
    }
    const std::uint8_t pm = t[HOURS] & PM;
    std::uint8_t hour = t[HOURS] & 0x1F;
    if (hour == 0x11) {
        t[HOURS] = static_cast<std::uint8_t>(0x12 | (pm ^ PM));
        return;
    }
    hour = hour == 0x12 ? 0x01 : IncrementBcd(hour);
    t[HOURS] = static_cast<std::uint8_t>(hour | pm);
}

void Cia6526::CheckAlarm(std::uint64_t cycle) {
    if (timeOfDay_ == alarm_ && !(flags_ & FLAG_ALARM)) RaiseFlag(FLAG_ALARM, cycle);
}

// Reading the hours holds all four registers until the tenths are read, so
// that a time read in four steps belongs together.
std::uint8_t Cia6526::ReadTimeOfDay(int index) {
    if (index == HOURS) {
        readLatch_ = timeOfDay_;
        readLatched_ = true;
    }
    const std::uint8_t value = readLatched_ ? readLatch_[index] : timeOfDay_[index];
    if (index == TENTHS) readLatched_ = false;
    return value;
}

// Writing the hours stops the clock until the tenths are written.
void Cia6526::WriteTimeOfDay(int index, std::uint8_t value, std::uint64_t cycle) {
    static constexpr std::array<std::uint8_t, 4> widths = {0x0F, 0x7F, 0x7F, 0x9F};
    value &= widths[index];
    if (timers_[1].control & control::B_WRITES_ALARM) {
        alarm_[index] = value;
    } else {
        timeOfDay_[index] = value;
        if (index == HOURS) stoppedForWrite_ = true;
        if (index == TENTHS) {
            stoppedForWrite_ = false;
            tickCount_ = 0;
        }
    }
    CheckAlarm(cycle);
}

std::uint8_t Cia6526::ReadRegister(std::uint16_t offset, std::uint64_t cycle) {
    const int reg = offset & 0x0F;
    switch (reg) {
        // Nothing pulls a line low: inputs read 1, outputs what was written.
        case PORT_A: return static_cast<std::uint8_t>(portA_ | ~directionA_);
        case PORT_B: return static_cast<std::uint8_t>(portB_ | ~directionB_);
        case DIRECTION_A: return directionA_;
        case DIRECTION_B: return directionB_;
        case TIMER_A_LOW: return static_cast<std::uint8_t>(TimerValue(0, cycle));
        case TIMER_A_HIGH: return static_cast<std::uint8_t>(TimerValue(0, cycle) >> 8);
        case TIMER_B_LOW: return static_cast<std::uint8_t>(TimerValue(1, cycle));
        case TIMER_B_HIGH: return static_cast<std::uint8_t>(TimerValue(1, cycle) >> 8);
        case TOD_TENTHS:
        case TOD_SECONDS:
        case TOD_MINUTES:
        case TOD_HOURS: return ReadTimeOfDay(reg - TOD_TENTHS);
        case SERIAL_DATA: return serialData_;
        case INTERRUPT_CONTROL: {
            const std::uint8_t value = ReadInterrupts(cycle);
            Reschedule();
            return value;
        }
        case CONTROL_A: return timers_[0].control;
        default: return timers_[1].control;
    }
}

void Cia6526::WriteRegister(std::uint16_t offset, std::uint8_t value, std::uint64_t cycle) {
    const int reg = offset & 0x0F;
    switch (reg) {
        case PORT_A: portA_ = value; break;
        case PORT_B: portB_ = value; break;
        case DIRECTION_A: directionA_ = value; break;
        case DIRECTION_B: directionB_ = value; break;
        case TIMER_A_LOW: WriteTimerByte(0, false, value, cycle); break;
        case TIMER_A_HIGH: WriteTimerByte(0, true, value, cycle); break;
        case TIMER_B_LOW: WriteTimerByte(1, false, value, cycle); break;
        case TIMER_B_HIGH: WriteTimerByte(1, true, value, cycle); break;
        case TOD_TENTHS:
        case TOD_SECONDS:
        case TOD_MINUTES:
        case TOD_HOURS: WriteTimeOfDay(reg - TOD_TENTHS, value, cycle); break;
        case SERIAL_DATA: serialData_ = value; break;
        case INTERRUPT_CONTROL: WriteMask(value, cycle); break;
        case CONTROL_A: WriteControl(0, value, cycle); break;
        default: WriteControl(1, value, cycle); break;
    }
    Reschedule();
}

}  // namespace chipbox::machine
