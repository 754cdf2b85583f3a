// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/sample_thread.h"

#include <chrono>
#include <thread>

#include "core/c64_memory.h"
#include "platform/priority.h"
#include "sid/digi_registers.h"
#include "sid/hardsid_link.h"
#include "sid/sid_state.h"
#include "sid/sid_write.h"

namespace chipbox {

namespace {

constexpr auto IDLE_WAIT = std::chrono::milliseconds(2);
constexpr std::int64_t COUNTS_PER_SECOND = 1'000'000'000;

std::thread sampleThread;

class SteadyClock : public SampleClock {
public:
    std::int64_t Now() override { return SampleClockNow(); }
    void WaitUntil(std::int64_t deadline, const std::atomic<bool>& running) override {
        while (SampleClockNow() < deadline && running.load(std::memory_order_relaxed)) {
        }
    }
};

bool Sounding(const DigiRegisters& d) {
    const std::int32_t address = d.currentAddress;
    return d.sampleActive && address < d.endAddress.live && address >= d.startAddress.live;
}

// A positive address step plays one nybble per step; otherwise the order
// picks low then high nybble (order 0) or high then low.
void Advance(DigiRegisters& d) {
    if (const std::int32_t step = d.addressStep.live; step > 0) {
        d.currentAddress = d.currentAddress + step;
        d.nybbleSelector = d.nybbleOrder.live.load();
    } else if (d.nybbleOrder.live == 0) {
        if (d.nybbleSelector + 1 == 2) {
            d.nybbleSelector = 0;
            d.currentAddress = d.currentAddress + 1;
        } else {
            d.nybbleSelector = d.nybbleSelector + 1;
        }
    } else if (d.nybbleSelector - 1 < 0) {
        d.nybbleSelector = 1;
        d.currentAddress = d.currentAddress + 1;
    } else {
        d.nybbleSelector = d.nybbleSelector - 1;
    }
}

void WaitForNextValue(bool& late, SampleClock& clock) {
    const std::int32_t period = digiRegisters.period.live;
    if (period <= 0) return;
    const std::int64_t deadline = sampleDeadline + period * COUNTS_PER_SECOND / DIGI_CLOCK;
    sampleDeadline = deadline;
    if (clock.Now() > deadline) {
        late = true;
        return;
    }
    late = false;
    clock.WaitUntil(deadline, sampleThreadRunning);
}

void RepeatAtTheEnd(DigiRegisters& d) {
    if (d.repeatCount.live != 0 && d.currentAddress == d.endAddress.live) {
        d.currentAddress = d.repeatAddress.live.load();
        d.repeatCount.live = d.repeatCount.live - 1;
    }
}

void SampleThread() {
    SetCurrentThreadPriority(ThreadPriority::BelowNormal);
    SteadyClock clock;
    bool late = false;
    while (sampleThreadRunning) {
        if (!PlaySampleValue(late, clock)) std::this_thread::sleep_for(IDLE_WAIT);
    }
    SidWrite(VOLUME_REGISTER, 0);
}

}  // namespace

bool PlaySampleValue(bool& late, SampleClock& clock) {
    DigiRegisters& d = digiRegisters;
    if (!Sounding(d)) return false;
    const std::uint8_t byte = ReadMemoryShared(static_cast<std::uint16_t>(d.currentAddress));
    const int value = d.nybbleSelector == 1 ? byte >> 4 : byte & 0x0F;
    Advance(d);
    if (!late) {
        const double scaled = value / mixerSettings.digiDivisor + mixerSettings.digiOffset;
        SidWriteVolumeNibble(static_cast<std::uint8_t>(static_cast<std::int32_t>(scaled)));
    }
    WaitForNextValue(late, clock);
    RepeatAtTheEnd(d);
    return true;
}

void InstallSampleThread() { startSampleThreadHandler = StartSampleThreadNow; }

void StartSampleThreadNow() {
    if (!hardSidMode || sampleThreadRunning) return;
    if (sampleThread.joinable()) sampleThread.join();  // one that ended on its own
    sampleThreadRunning = true;
    sampleThread = std::thread(SampleThread);
}

void StopSampleThread() {
    sampleThreadRunning = false;
    if (sampleThread.joinable()) sampleThread.join();
}

}  // namespace chipbox
