// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/common/collect_tunes.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "ui/common/tune_files.h"

namespace chipbox {

namespace {

namespace fs = std::filesystem;

void CollectFolder(const fs::path& folder, bool recursive, std::vector<std::string>& tunes,
                   std::vector<std::string>& notRegular) {
    std::vector<std::string> files, folders;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        std::error_code ignored;
        if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) {
            folders.push_back(name);
        } else if (IsTuneName(name) && entry.is_regular_file(ignored)) {
            files.push_back(name);
        } else if (IsTuneName(name) && !entry.is_directory(ignored)) {
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

}  // namespace chipbox
