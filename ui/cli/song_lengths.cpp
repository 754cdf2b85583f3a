// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/song_lengths.h"

#include <nettle/md5.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "ui/cli/cli_options.h"

namespace chipbox::cli {

namespace {

constexpr std::size_t MD5_HEX_DIGITS = 32;
// The whole collection's file is a few megabytes; more is no song length list.
constexpr std::uintmax_t LARGEST_FILE = 64 << 20;

bool IsLowerHex(std::string_view text) {
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return text;
}

}  // namespace

void SongLengths::ParseLine(std::string_view line) {
    line = Trimmed(line);
    const std::size_t equals = line.find('=');
    if (equals != MD5_HEX_DIGITS || !IsLowerHex(line.substr(0, equals))) return;
    std::vector<std::uint32_t> songs;
    std::string_view rest = line.substr(equals + 1);
    while (!rest.empty()) {
        const std::size_t blank = rest.find(' ');
        const std::string_view word = rest.substr(0, blank);
        if (!word.empty()) {
            const std::optional<std::uint32_t> millis = ParseSongLength(std::string(word));
            if (!millis) return;
            songs.push_back(*millis);
        }
        if (blank == std::string_view::npos) break;
        rest.remove_prefix(blank + 1);
    }
    if (!songs.empty()) lengths_.emplace(std::string(line.substr(0, equals)), std::move(songs));
}

bool SongLengths::Load(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > LARGEST_FILE) return false;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::string text(size, '\0');
    file.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<std::size_t>(file.gcount()));
    lengths_.reserve(text.size() / 64);
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        ParseLine(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return true;
}

const std::vector<std::uint32_t>* SongLengths::Find(const std::string& md5) const {
    const auto found = lengths_.find(md5);
    return found == lengths_.end() ? nullptr : &found->second;
}

std::optional<std::string> FindSongLengthsFile(const std::optional<std::string>& option) {
    if (option) return option;
    const char* base = std::getenv("HVSC_BASE");
    if (!base || !*base) return std::nullopt;
    for (const char* below : {"DOCUMENTS/Songlengths.md5", "C64Music/DOCUMENTS/Songlengths.md5"}) {
        const std::filesystem::path path = std::filesystem::path(base) / below;
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) return path.string();
    }
    return std::nullopt;
}

std::string TuneMd5(std::span<const std::uint8_t> file) {
    md5_ctx context;
    md5_init(&context);
    md5_update(&context, file.size(), file.data());
    std::uint8_t digest[MD5_DIGEST_SIZE];
    md5_digest(&context, MD5_DIGEST_SIZE, digest);
    static const char HEX[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : digest) {
        text.push_back(HEX[byte >> 4]);
        text.push_back(HEX[byte & 0x0F]);
    }
    return text;
}

}  // namespace chipbox::cli
