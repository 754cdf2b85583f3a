// SPDX-License-Identifier: GPL-2.0-or-later
#include "cli_run.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace chipbox::test {

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

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

}  // namespace chipbox::test
