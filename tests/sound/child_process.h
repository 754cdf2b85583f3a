// SPDX-License-Identifier: GPL-2.0-or-later
// A program the sound tests start: its arguments, environment changes and
// output file, a signal to end it, and a bounded wait for its end.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace chipbox::test {

class ChildProcess {
public:
    // `environment`: variables to set; an empty value removes the variable.
    // The program's stdout and stderr go to `output` (or /dev/null).
    ChildProcess(const std::vector<std::string>& command,
                 const std::map<std::string, std::string>& environment,
                 const std::string& output = "/dev/null");
    ~ChildProcess();  // kills it when it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void Signal(int signal);
    // The exit status once it has ended, -1 when a signal ended it, or
    // nothing when it still runs after `timeout`.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

// Runs `command` to its end (at most `timeout`); its exit status, or -1.
int RunToEnd(const std::vector<std::string>& command,
             const std::map<std::string, std::string>& environment,
             std::chrono::milliseconds timeout, const std::string& output = "/dev/null");

}  // namespace chipbox::test
