// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/hardsid_link.h"

#include <chrono>

namespace chipbox {

std::atomic<bool> hardSidMode{false};
std::atomic<WriteToHardSidFunction> writeToHardSid{nullptr};
std::atomic<bool> sampleThreadRunning{false};
std::atomic<std::int64_t> sampleDeadline{0};
std::atomic<StartSampleThreadFunction> startSampleThreadHandler{nullptr};

void StartSampleThread() {
    if (!hardSidMode.load(std::memory_order_relaxed)) return;
    if (const StartSampleThreadFunction start = startSampleThreadHandler.load()) start();
}

std::int64_t SampleClockNow() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void ForwardToHardSid(int reg, std::uint8_t value) {
    if (const WriteToHardSidFunction write = writeToHardSid.load(std::memory_order_relaxed))
        write(0, static_cast<std::uint8_t>(reg), value);
}

}  // namespace chipbox
