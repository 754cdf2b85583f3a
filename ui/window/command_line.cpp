// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/command_line.h"

#include <filesystem>
#include <system_error>

namespace chipbox::window {

std::string CutCommandLinePath(const std::string& argument) {
    if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"')
        return argument.substr(1, argument.size() - 2);
    return argument;
}

std::string AbsoluteTunePath(const std::string& path, const std::string& workingDirectory) {
    if (path.empty() || path.front() == '/' || workingDirectory.empty()) return path;
    std::string full = workingDirectory;
    if (full.back() != '/') full.push_back('/');
    return full + path;
}

std::string AbsoluteTunePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path cwd = std::filesystem::current_path(error);
    return AbsoluteTunePath(path, error ? std::string() : cwd.string());
}

}  // namespace chipbox::window
