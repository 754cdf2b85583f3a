// SPDX-License-Identifier: GPL-2.0-or-later
// chipbox-cli on a terminal of its own: the player takes single keys without
// echo while it runs and gives the terminal back as it found it, however it
// stops.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "test_support.h"

namespace chipbox {
namespace {

// A terminal of its own, running `program` with `argument`.
class TerminalSession {
public:
    TerminalSession(const char* soundDriver, const char* program, const char* argument,
                    const char* secondArgument = nullptr) {
        child_ = forkpty(&terminal_, nullptr, nullptr, nullptr);
        if (child_ == 0) {
            setenv("SDL_AUDIODRIVER", soundDriver, 1);
            execl(program, program, argument, secondArgument, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~TerminalSession() {
        if (child_ > 0 && !ended_) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
        if (terminal_ >= 0) close(terminal_);
    }

    bool Echoing() {
        termios settings{};
        tcgetattr(terminal_, &settings);
        return (settings.c_lflag & ECHO) != 0;
    }

    // Reads what the player writes while waiting, so it never blocks on a
    // full terminal. Generous, for a machine busy with other tests.
    bool WaitUntilEchoing(bool wanted) {
        for (int i = 0; i < 3000; ++i) {
            Drain();
            if (Echoing() == wanted) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    void Drain() {
        pollfd readable{terminal_, POLLIN, 0};
        char chunk[1024];
        while (poll(&readable, 1, 0) > 0) {
            const ssize_t got = read(terminal_, chunk, sizeof chunk);
            if (got <= 0) break;
            output.append(chunk, static_cast<std::size_t>(got));
        }
    }

    void Type(const std::string& keys) {
        ASSERT_EQ(write(terminal_, keys.data(), keys.size()), ssize_t(keys.size()));
    }

    int WaitForExit() {
        int status = 0;
        for (int i = 0; i < 3000 && waitpid(child_, &status, WNOHANG) == 0; ++i) {
            Drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Drain();
        ended_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string output;

private:
    int terminal_ = -1;
    pid_t child_ = -1;
    bool ended_ = false;
};

// Ctrl-Z and fg as a user types them into a shell with job control. The shell
// gives the terminal its own settings while the player is stopped, and does
// not give the player's back on fg: the player takes them up itself.
TEST(CliTerminalTest, SuspendAndResumeInAShellKeepTheKeysWorking) {
    // Without line editing the shell leaves echo on, so only the player
    // turns it off.
    TerminalSession shell("dummy", "/bin/bash", "--norc", "--noediting");
    ASSERT_TRUE(shell.WaitUntilEchoing(true));
    shell.Type(std::string(CHIPBOX_CLI) + " " + test::TunePath("minimal") + "\n");
    ASSERT_TRUE(shell.WaitUntilEchoing(false));
    shell.Type("\x1A");  // Ctrl-Z
    ASSERT_TRUE(shell.WaitUntilEchoing(true));
    shell.Type("fg\n");
    EXPECT_TRUE(shell.WaitUntilEchoing(false)) << shell.output;
    shell.Type("q");
    EXPECT_TRUE(shell.WaitUntilEchoing(true));
    shell.Type("exit\n");
    EXPECT_EQ(shell.WaitForExit(), 0);
}

TEST(CliTerminalTest, NoSoundDeviceGivesTheTerminalBackAndSaysWhy) {
    const std::string tune = test::TunePath("minimal");
    TerminalSession session("no-such-driver", CHIPBOX_CLI, tune.c_str());
    EXPECT_EQ(session.WaitForExit(), 3);
    EXPECT_TRUE(session.Echoing());
    EXPECT_NE(session.output.find("Error: Unable to use wave-mapper! ("), std::string::npos)
        << session.output;
}

}  // namespace
}  // namespace chipbox
