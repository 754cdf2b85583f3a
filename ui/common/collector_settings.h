// SPDX-License-Identifier: GPL-2.0-or-later
// The values of the collector's windows (the playlist and the scope) and of
// the complete-machine menu item, in sections of their own beside the main
// window's. A section is written only when one of its values changed in
// this run, so a user who never opens these windows keeps the settings file
// exactly as before.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ui/common/profile_store.h"
#include "ui/common/song_lengths.h"

namespace chipbox {

inline constexpr std::string_view SECTION_PLAYLIST = "Playlist";
inline constexpr std::string_view SECTION_SCOPE = "Scope";
// Playlist: whether every subsong of a tune plays before the next tune (1)
// or only its start song (0); how long a song without a known length plays,
// as m:ss; repeat and shuffle (0 or 1); the song length file and the tune
// information list chosen in the window (empty: found beside the tunes).
// Both windows: x, y, Width and Height, as the file browser's.
inline constexpr std::string_view KEY_ALL_SUBSONGS = "AllSubsongs";
inline constexpr std::string_view KEY_DEFAULT_LENGTH = "DefaultLength";
inline constexpr std::string_view KEY_REPEAT = "Repeat";
inline constexpr std::string_view KEY_SHUFFLE = "Shuffle";
inline constexpr std::string_view KEY_SONG_LENGTHS = "SongLengths";
inline constexpr std::string_view KEY_STIL = "STIL";

// A tool window's outer rectangle; a negative x means none stored.
struct WindowPlace {
    int x = -1;
    int y = -1;
    int width = 0;  // 0: the window's own size
    int height = 0;
    bool operator==(const WindowPlace&) const = default;
};

struct CollectorSettings {
    WindowPlace playlist;
    WindowPlace scope;
    bool allSubsongs = true;
    std::uint32_t defaultLengthMillis = DEFAULT_SONG_MILLIS;
    bool repeat = false;
    bool shuffle = false;
    std::string songLengthsFile;
    std::string stilFile;
    bool operator==(const CollectorSettings&) const = default;
};

// One per process, shared by the windows while the program runs.
extern CollectorSettings collectorSettings;

CollectorSettings ReadCollectorSettings(const CProfileStore& store);
// Writes the values of each section that differ from `read` section by
// section: a changed section is written whole. False when a value could
// not be stored (a line break in a path).
bool WriteCollectorSettings(CProfileStore& store, const CollectorSettings& now,
                            const CollectorSettings& read);

}  // namespace chipbox
