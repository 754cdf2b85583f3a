// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

namespace chipbox {

namespace {

// Niceness: lower runs sooner. A thread's own level counts from the class's.
constexpr int HIGH_CLASS_NICE = -10;
constexpr int BELOW_NORMAL_STEP = 5;
constexpr int LOWEST_STEP = 10;

std::atomic<int> classNice{0};

void SetNice(pid_t thread, int nice) { setpriority(PRIO_PROCESS, static_cast<id_t>(thread), nice); }

}  // namespace

// Linux gives each thread its own niceness, so the class is set on every
// thread there is; threads started afterwards inherit their starter's.
void SetProcessPriorityClass(PriorityClass priorityClass) {
    const int nice = priorityClass == PriorityClass::High ? HIGH_CLASS_NICE : 0;
    classNice = nice;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        const std::string name = task.path().filename().string();
        SetNice(static_cast<pid_t>(std::stol(name)), nice);
    }
}

void SetCurrentThreadPriority(ThreadPriority priority) {
    const int step = priority == ThreadPriority::Lowest        ? LOWEST_STEP
                     : priority == ThreadPriority::BelowNormal ? BELOW_NORMAL_STEP
                                                               : 0;
    SetNice(gettid(), classNice + step);
}

}  // namespace chipbox
