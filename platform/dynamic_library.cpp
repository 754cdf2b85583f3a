// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace chipbox {

// Entry points handed out stay callable for the rest of the run, so the
// library is never unloaded.
DynamicLibrary::~DynamicLibrary() = default;

bool DynamicLibrary::Load(const std::string& name, const std::vector<std::string>& folders) {
    handle_ = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    for (const std::string& folder : folders) {
        if (handle_ || folder.empty()) break;
        const std::string path = (std::filesystem::path(folder) / name).string();
        handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

std::string ExecutableFolder() {
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : executable.parent_path().string();
}

}  // namespace chipbox
