// SPDX-License-Identifier: GPL-2.0-or-later
// chipbox-cli started as a user starts it, from a shell.
#pragma once

#include <string>

namespace chipbox::test {

struct CliRun {
    int status;          // the exit status, or -1 when a signal ended the program
    std::string output;  // what the program wrote (stdout and stderr unless redirected)
};

// Runs `chipbox-cli ARGUMENTS` through the shell, with `environment`
// assignments (or other shell commands) in front, and stdin from /dev/null.
// Output redirections in `arguments` are the shell's.
CliRun RunCli(const std::string& arguments, const std::string& environment = "");

std::string Quoted(const std::string& path);

}  // namespace chipbox::test
