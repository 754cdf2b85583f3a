// SPDX-License-Identifier: GPL-2.0-or-later
// Playlists as M3U files: one path per line, '#' lines for comments (an
// "#EXTM3U" header and "#EXTINF:seconds,title" lines before an entry, which
// other players show). Paths are written absolute; a relative one read is
// taken from the playlist's own folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chipbox {

struct M3uEntry {
    std::string path;
    std::string title;                  // "Author - Name", for other players
    std::optional<std::uint32_t> millis;  // the whole tune's length when known
};

struct M3uRead {
    std::vector<std::string> paths;
    int error = 0;  // errno when the file could not be read
    bool tooLarge = false;
};

// More entries than any collection holds are not read.
inline constexpr std::size_t M3U_MOST_ENTRIES = 200'000;

M3uRead ReadM3u(const std::string& path);
// The paths of a playlist's text, relative ones taken from `folder`.
std::vector<std::string> ParseM3u(std::string_view text, const std::string& folder);
// The file appears whole or not at all; false, with errno in `error`, when
// it could not be written.
bool WriteM3u(const std::string& path, const std::vector<M3uEntry>& entries, int& error);

}  // namespace chipbox
