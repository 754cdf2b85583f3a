// SPDX-License-Identifier: GPL-2.0-or-later
// A periodic timer: a thread of its own calls the tick at absolute deadlines,
// so a late tick does not shift the ones after it.
//
// Threads: Start and Kill come from one controlling thread; the tick runs on
// the timer's thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace chipbox {

class PeriodicTimer {
public:
    PeriodicTimer() = default;
    ~PeriodicTimer();  // kills the timer
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;

    // Calls `tick` every `period`, the first time one period from now. A
    // running timer is killed first.
    void Start(std::chrono::nanoseconds period, std::function<void()> tick);
    // Returns once the timer's thread has ended: no tick is running then, and
    // none will run again.
    void Kill();
    bool running() const { return thread_.joinable(); }

private:
    void Run(std::chrono::nanoseconds period, const std::function<void()>& tick);

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;  // guarded by mutex_
};

}  // namespace chipbox
