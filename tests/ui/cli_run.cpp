// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli_run.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <thread>

#include "test_support.h"

namespace chipbox::test {

namespace fs = std::filesystem;

CliRun RunCli(const std::string& arguments, const std::string& environment) {
    const std::string command =
        environment + " " + std::string(CHIPBOX_CLI) + " " + arguments + " 2>&1 </dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    std::array<char, 4096> chunk;
    while (const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe))
        output.append(chunk.data(), n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

void ExpectRuns(const std::string& arguments, const std::string& environment) {
    const CliRun run = RunCli(arguments, environment);
    EXPECT_EQ(run.status, 0) << arguments << '\n' << run.output;
}

testing::AssertionResult Holds(const std::string& text, const std::string& part) {
    if (text.find(part) != std::string::npos) return testing::AssertionSuccess();
    return testing::AssertionFailure() << '"' << part << "\" is not in:\n" << text;
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

std::string Copy(const std::string& tune, const fs::path& to) {
    fs::create_directories(to.parent_path());
    fs::copy_file(TunePath(tune), to, fs::copy_options::overwrite_existing);
    return to.string();
}

std::string NoFile(const std::string& name) { return (FreshFolder(name) / name).string(); }

std::size_t EntriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TerminalSession::TerminalSession(const char* soundDriver, const std::vector<std::string>& command) {
    child_ = forkpty(&terminal_, nullptr, nullptr, nullptr);
    if (child_ != 0) return;
    setenv("SDL_AUDIODRIVER", soundDriver, 1);
    ExecOrExit(command);
}

TerminalSession::~TerminalSession() {
    if (child_ > 0 && !ended_) {
        kill(child_, SIGKILL);
        waitpid(child_, nullptr, 0);
    }
    if (terminal_ >= 0) close(terminal_);
}

bool TerminalSession::Echoing() {
    termios settings{};
    tcgetattr(terminal_, &settings);
    return (settings.c_lflag & ECHO) != 0;
}

void TerminalSession::Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

void TerminalSession::Drain() {
    pollfd readable{terminal_, POLLIN, 0};
    char chunk[1024];
    while (poll(&readable, 1, 0) > 0) {
        const ssize_t got = read(terminal_, chunk, sizeof chunk);
        if (got <= 0) break;
        output.append(chunk, static_cast<std::size_t>(got));
    }
}

void TerminalSession::Type(const std::string& keys) {
    ASSERT_EQ(write(terminal_, keys.data(), keys.size()), ssize_t(keys.size()));
}

int TerminalSession::WaitForExit() {
    int status = 0;
    WaitFor([&] { return waitpid(child_, &status, WNOHANG) != 0; });
    Drain();
    ended_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace chipbox::test
