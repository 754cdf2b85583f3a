// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/common/m3u_file.h"

#include <cerrno>
#include <filesystem>
#include <string_view>

#include "platform/atomic_file.h"
#include "platform/bounded_read.h"

namespace chipbox {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t LARGEST_PLAYLIST = 64 << 20;

std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    return line;
}

std::string FromFolder(const fs::path& folder, std::string_view line) {
    const fs::path path(line);
    return (path.is_absolute() ? path : folder / path).lexically_normal().string();
}

std::string EntryText(const M3uEntry& entry) {
    std::string text;
    if (!entry.title.empty() || entry.millis) {
        text.append("#EXTINF:");
        text.append(entry.millis ? std::to_string(*entry.millis / 1000) : std::string("-1"));
        text.append(",");
        text.append(entry.title);
        text.append("\n");
    }
    text.append(entry.path);
    text.append("\n");
    return text;
}

}  // namespace

M3uRead ReadM3u(const std::string& path) {
    M3uRead read;
    // One byte past the limit tells a file that is too large.
    const BoundedRead file = ReadBoundedFile(path, LARGEST_PLAYLIST + 1, FileKinds::RegularOnly);
    if (!file.ok()) {
        read.error = file.error != 0 ? file.error : file.isDirectory ? EISDIR : EINVAL;
        return read;
    }
    if (file.bytes.size() > LARGEST_PLAYLIST) {
        read.tooLarge = true;
        return read;
    }
    const std::string text(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
    read.paths = ParseM3u(text, fs::absolute(fs::path(path)).parent_path().string());
    return read;
}

std::vector<std::string> ParseM3u(std::string_view text, const std::string& folder) {
    std::vector<std::string> paths;
    while (!text.empty() && paths.size() < M3U_MOST_ENTRIES) {
        const std::size_t end = text.find('\n');
        const std::string_view line = WithoutLineEnd(text.substr(0, end));
        if (!line.empty() && line.front() != '#' && line.find('\0') == std::string_view::npos)
            paths.push_back(FromFolder(folder, line));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return paths;
}

bool WriteM3u(const std::string& path, const std::vector<M3uEntry>& entries, int& error) {
    AtomicFile file(path);
    if (!file.Open()) {
        error = file.error();
        return false;
    }
    std::string text = "#EXTM3U\n";
    for (const M3uEntry& entry : entries) {
        // A path with a line break cannot stand on its line; it is left out.
        if (entry.path.find_first_of("\r\n") != std::string::npos) continue;
        text.append(EntryText(entry));
    }
    if (!file.Write(text.data(), text.size()) || !file.Commit()) {
        error = file.error() != 0 ? file.error() : EIO;
        return false;
    }
    return true;
}

}  // namespace chipbox
