// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/common/tune_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace chipbox {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool IsTuneName(const std::string& name) {
    constexpr std::string_view SUFFIX = ".sid";
    if (name.size() < SUFFIX.size()) return false;
    return std::equal(SUFFIX.begin(), SUFFIX.end(), name.end() - SUFFIX.size(),
                      [](char wanted, char found) { return wanted == LowerAscii(found); });
}

bool BrowserOrder(const std::string& first, const std::string& second) {
    const auto byLowerByte = [](char a, char b) {
        return static_cast<unsigned char>(LowerAscii(a)) <
               static_cast<unsigned char>(LowerAscii(b));
    };
    if (std::lexicographical_compare(first.begin(), first.end(), second.begin(), second.end(),
                                     byLowerByte))
        return true;
    if (std::lexicographical_compare(second.begin(), second.end(), first.begin(), first.end(),
                                     byLowerByte))
        return false;
    return first < second;
}

std::string WorkingDirectory() {
    std::error_code error;
    const std::filesystem::path cwd = std::filesystem::current_path(error);
    return error ? std::string() : cwd.string();
}

bool IsSameFile(const std::string& first, const std::string& second) {
    struct stat a {
    }, b{};
    return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

}  // namespace chipbox
