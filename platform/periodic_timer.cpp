// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/periodic_timer.h"

namespace chipbox {

PeriodicTimer::~PeriodicTimer() { Kill(); }

void PeriodicTimer::Start(std::chrono::nanoseconds period, std::function<void()> tick) {
    Kill();
    stop_ = false;
    thread_ = std::thread([this, period, tick = std::move(tick)] { Run(period, tick); });
}

void PeriodicTimer::Kill() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

// Waits for each deadline on the steady clock; a kill wakes the wait at once.
void PeriodicTimer::Run(std::chrono::nanoseconds period, const std::function<void()>& tick) {
    auto deadline = std::chrono::steady_clock::now() + period;
    std::unique_lock lock(mutex_);
    while (!wake_.wait_until(lock, deadline, [this] { return stop_; })) {
        lock.unlock();
        tick();
        deadline += period;
        lock.lock();
    }
}

}  // namespace chipbox
