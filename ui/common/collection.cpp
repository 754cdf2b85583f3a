// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/common/collection.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace chipbox {

namespace {

namespace fs = std::filesystem;

// Deeper than any real folder tree; a path of more parts is given up on
// rather than walked.
constexpr int DEEPEST_WALK = 128;

bool HoldsDocument(const fs::path& root, std::string_view document) {
    std::error_code error;
    return fs::is_regular_file(root / "DOCUMENTS" / document, error);
}

fs::path Absolute(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return error ? fs::path(path) : absolute.lexically_normal();
}

}  // namespace

std::optional<std::string> CollectionRootAbove(const std::string& tunePath,
                                               std::string_view document) {
    fs::path folder = Absolute(tunePath).parent_path();
    for (int depth = 0; depth < DEEPEST_WALK && !folder.empty(); ++depth) {
        if (HoldsDocument(folder, document)) return folder.string();
        if (folder == folder.root_path()) break;
        folder = folder.parent_path();
    }
    return std::nullopt;
}

std::optional<std::string> CollectionRootFromEnvironment(std::string_view document) {
    const char* base = std::getenv("HVSC_BASE");
    if (base == nullptr || *base == '\0') return std::nullopt;
    for (const fs::path& root : {fs::path(base), fs::path(base) / "C64Music"})
        if (HoldsDocument(root, document)) return root.string();
    return std::nullopt;
}

std::optional<std::string> FindCollectionDocument(const std::optional<std::string>& chosen,
                                                  const std::string& tunePath,
                                                  std::string_view document) {
    if (chosen) return chosen;
    std::optional<std::string> root = CollectionRootFromEnvironment(document);
    if (!root && !tunePath.empty()) root = CollectionRootAbove(tunePath, document);
    if (!root) return std::nullopt;
    return (fs::path(*root) / "DOCUMENTS" / document).string();
}

std::optional<std::string> CollectionPath(const std::string& root, const std::string& tunePath) {
    const fs::path relative = Absolute(tunePath).lexically_relative(Absolute(root));
    if (relative.empty() || *relative.begin() == "..") return std::nullopt;
    std::string name = "/";
    name.append(relative.generic_string());
    return name;
}

}  // namespace chipbox
