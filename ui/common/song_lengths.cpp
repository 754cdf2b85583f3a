// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/common/song_lengths.h"

#include <nettle/md5.h>

#include <cstdio>

#include "platform/bounded_read.h"
#include "ui/common/collection.h"
#include "ui/common/parse_number.h"

namespace chipbox {

namespace {

constexpr std::size_t MD5_HEX_DIGITS = 32;
// Longer than any song a collection lists: 40,000 seconds.
constexpr std::uint32_t LONGEST_SONG_MILLIS = 40000 * 1000;
// The whole collection's file is a few megabytes; more is no song length list.
constexpr std::size_t LARGEST_FILE = 64 << 20;

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

// One byte past the limit tells a file too large; only a regular file is
// read, so a FIFO named like one never holds its reader.
bool SongLengths::Load(const std::string& path) {
    const BoundedRead read = ReadBoundedFile(path, LARGEST_FILE + 1, FileKinds::RegularOnly);
    if (!read.ok() || read.bytes.size() > LARGEST_FILE) return false;
    Parse({reinterpret_cast<const char*>(read.bytes.data()), read.bytes.size()});
    return true;
}

void SongLengths::Parse(std::string_view text) {
    lengths_.reserve(lengths_.size() + text.size() / 64);
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        ParseLine(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
}

const std::vector<std::uint32_t>* SongLengths::Find(const std::string& md5) const {
    const auto found = lengths_.find(md5);
    return found == lengths_.end() ? nullptr : &found->second;
}

std::optional<std::string> FindSongLengthsFile(const std::optional<std::string>& chosen,
                                               const std::string& tunePath) {
    return FindCollectionDocument(chosen, tunePath, SONG_LENGTHS_DOCUMENT);
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

std::optional<std::uint32_t> ParseSongLength(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    std::size_t end = text.find('(');
    if (end == std::string::npos) end = text.size();
    const std::size_t dot = text.find('.', colon);
    const std::size_t secondsEnd = dot == std::string::npos ? end : dot;
    if (secondsEnd - colon != 3 || (dot != std::string::npos && dot > end)) return std::nullopt;
    const auto minutes = ParseNumber<std::uint32_t>(text.substr(0, colon));
    const auto seconds = ParseNumber<std::uint32_t>(text.substr(colon + 1, 2));
    std::optional<std::uint32_t> millis = 0;
    if (dot != std::string::npos) {
        const std::string fraction = text.substr(dot + 1, end - dot - 1);
        millis = fraction.size() == 3 ? ParseNumber<std::uint32_t>(fraction) : std::nullopt;
    }
    if (!minutes || !seconds || !millis || *seconds > 59) return std::nullopt;
    const std::uint64_t total = (std::uint64_t{*minutes} * 60 + *seconds) * 1000 + *millis;
    if (total > LONGEST_SONG_MILLIS) return std::nullopt;
    return static_cast<std::uint32_t>(total);
}

std::string SongLengthText(std::uint32_t millis) {
    char text[32];
    const unsigned seconds = millis / 1000;
    if (millis % 1000 == 0)
        std::snprintf(text, sizeof text, "%u:%02u", seconds / 60, seconds % 60);
    else
        std::snprintf(text, sizeof text, "%u:%02u.%03u", seconds / 60, seconds % 60, millis % 1000);
    return text;
}

}  // namespace chipbox
