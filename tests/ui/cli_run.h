// SPDX-License-Identifier: GPL-2.0-or-later
// chipbox-cli as a user runs it: through the shell, or on a terminal of its
// own; and the checks the program's tests share.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace chipbox::test {

struct CliRun {
    int status;          // the exit status, or -1 when a signal ended the program
    std::string output;  // what the program wrote (stdout and stderr unless redirected)
};

// Runs `chipbox-cli ARGUMENTS` through the shell, with `environment`
// assignments (or other shell commands) in front, and stdin from /dev/null.
// Output redirections in `arguments` are the shell's.
CliRun RunCli(const std::string& arguments, const std::string& environment = "");

// RunCli, expecting status 0; a failure shows what the program wrote.
void ExpectRuns(const std::string& arguments, const std::string& environment = "");

// Passes when `text` holds `part`; a failure shows the whole text.
testing::AssertionResult Holds(const std::string& text, const std::string& part);

std::string Quoted(const std::string& path);

// A copy of the test tune `tune` at `to`; returns its path.
std::string Copy(const std::string& tune, const std::filesystem::path& to);

// A path in a fresh folder, where no file is.
std::string NoFile(const std::string& name);

std::size_t EntriesIn(const std::filesystem::path& folder);

// A program on a terminal of its own, with SDL_AUDIODRIVER=`soundDriver`.
class TerminalSession {
public:
    TerminalSession(const char* soundDriver, const std::vector<std::string>& command);
    ~TerminalSession();
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    bool Echoing();

    // Reads what the program writes while waiting for `done`, so it never
    // blocks on a full terminal. Generous, for a machine busy with other tests.
    template <typename Done>
    bool WaitFor(Done done) {
        for (int i = 0; i < 3000; ++i) {
            Drain();
            if (done()) return true;
            Pause();
        }
        return false;
    }
    bool WaitUntilEchoing(bool wanted) {
        return WaitFor([&] { return Echoing() == wanted; });
    }
    void Drain();
    void Type(const std::string& keys);
    // The exit status, or -1 when a signal ended the program.
    int WaitForExit();

    std::string output;

private:
    static void Pause();

    int terminal_ = -1;
    pid_t child_ = -1;
    bool ended_ = false;
};

}  // namespace chipbox::test
