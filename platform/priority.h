// SPDX-License-Identifier: GPL-2.0-or-later
// Scheduling priorities for the HardSID clocks, as near as this process may
// set them. A failure (an ordinary user may not raise a priority) is ignored.
#pragma once

namespace chipbox {

enum class PriorityClass { Normal, High };
enum class ThreadPriority { Normal, BelowNormal, Lowest };

// The priority of every thread of the process, and of those it starts later.
void SetProcessPriorityClass(PriorityClass priorityClass);

// The calling thread's priority relative to the process's class.
void SetCurrentThreadPriority(ThreadPriority priority);

}  // namespace chipbox
