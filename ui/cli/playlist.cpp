// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/playlist.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace chipbox::cli {

namespace {

namespace fs = std::filesystem;

bool EndsInSid(const std::string& name) {
    if (name.size() < 4) return false;
    std::string suffix = name.substr(name.size() - 4);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return suffix == ".sid";
}

void CollectFolder(const fs::path& folder, bool recursive, std::vector<std::string>& tunes,
                   std::vector<std::string>& notRegular) {
    std::vector<std::string> files, folders;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        std::error_code ignored;
        if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) {
            folders.push_back(name);
        } else if (EndsInSid(name) && entry.is_regular_file(ignored)) {
            files.push_back(name);
        } else if (EndsInSid(name) && !entry.is_directory(ignored)) {
            notRegular.push_back((folder / name).string());
        }
    }
    std::sort(files.begin(), files.end(), BrowserOrder);
    for (const std::string& name : files) tunes.push_back((folder / name).string());
    if (!recursive) return;
    std::sort(folders.begin(), folders.end(), BrowserOrder);
    for (const std::string& name : folders)
        CollectFolder(folder / name, recursive, tunes, notRegular);
}

}  // namespace

bool BrowserOrder(const std::string& first, const std::string& second) {
    return std::lexicographical_compare(first.begin(), first.end(), second.begin(), second.end(),
                                        [](char a, char b) {
                                            return std::tolower(static_cast<unsigned char>(a)) <
                                                   std::tolower(static_cast<unsigned char>(b));
                                        });
}

std::vector<std::string> CollectTunes(const std::vector<std::string>& inputs, bool recursive,
                                      std::vector<std::string>& notRegular) {
    std::vector<std::string> tunes;
    for (const std::string& input : inputs) {
        std::error_code error;
        if (fs::is_directory(input, error))
            CollectFolder(input, recursive, tunes, notRegular);
        else
            tunes.push_back(input);
    }
    return tunes;
}

}  // namespace chipbox::cli
