// SPDX-License-Identifier: GPL-2.0-or-later
// A shared library loaded at run time, and the entry points looked up in it.
#pragma once

#include <string>
#include <vector>

namespace chipbox {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();  // the library stays loaded; see Release
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads `name` the way the system searches for libraries, then from each
    // folder of `folders` in turn. False when none of them has it.
    bool Load(const std::string& name, const std::vector<std::string>& folders);
    bool loaded() const { return handle_ != nullptr; }

    // The address of an entry point with C linkage, or null when the library
    // lacks it.
    void* Symbol(const char* name) const;

private:
    void* handle_ = nullptr;
};

// The folder the running program's executable lies in, or empty.
std::string ExecutableFolder();

}  // namespace chipbox
