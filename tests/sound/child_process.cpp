// SPDX-License-Identifier: GPL-2.0-or-later
#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "test_support.h"

namespace chipbox::test {

ChildProcess::ChildProcess(const std::vector<std::string>& command,
                           const std::map<std::string, std::string>& environment,
                           const std::string& output) {
    pid_ = fork();
    if (pid_ != 0) return;
    for (const auto& [name, value] : environment) {
        if (value.empty())
            unsetenv(name.c_str());
        else
            setenv(name.c_str(), value.c_str(), 1);
    }
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    setpgid(0, 0);  // a group of its own: the terminal's signals do not reach it
    ExecOrExit(command);
}

ChildProcess::~ChildProcess() {
    if (pid_ <= 0 || reaped_) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

void ChildProcess::Signal(int signal) {
    if (pid_ > 0 && !reaped_) kill(pid_, signal);
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            reaped_ = true;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int RunToEnd(const std::vector<std::string>& command,
             const std::map<std::string, std::string>& environment,
             std::chrono::milliseconds timeout, const std::string& output) {
    ChildProcess child(command, environment, output);
    return child.Wait(timeout).value_or(-1);
}

}  // namespace chipbox::test
