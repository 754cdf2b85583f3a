// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/common/collector_settings.h"

namespace chipbox {

CollectorSettings collectorSettings;

namespace {

constexpr std::string_view KEY_PLACE_X = "x";
constexpr std::string_view KEY_PLACE_Y = "y";
constexpr std::string_view KEY_PLACE_WIDTH = "Width";
constexpr std::string_view KEY_PLACE_HEIGHT = "Height";

WindowPlace ReadPlace(const CProfileStore& store, std::string_view section) {
    const WindowPlace none;
    return {store.ReadInt(section, KEY_PLACE_X, none.x), store.ReadInt(section, KEY_PLACE_Y, none.y),
            store.ReadInt(section, KEY_PLACE_WIDTH, none.width),
            store.ReadInt(section, KEY_PLACE_HEIGHT, none.height)};
}

bool WritePlace(CProfileStore& store, std::string_view section, const WindowPlace& place) {
    bool stored = store.WriteInt(section, KEY_PLACE_X, place.x);
    stored = store.WriteInt(section, KEY_PLACE_Y, place.y) && stored;
    stored = store.WriteInt(section, KEY_PLACE_WIDTH, place.width) && stored;
    return store.WriteInt(section, KEY_PLACE_HEIGHT, place.height) && stored;
}

bool ReadFlag(const CProfileStore& store, std::string_view key, bool defaultValue) {
    return store.ReadInt(SECTION_PLAYLIST, key, defaultValue ? 1 : 0) != 0;
}

// The playlist's own values, everything but its place.
bool SamePlaylistValues(const CollectorSettings& a, const CollectorSettings& b) {
    return a.playlist == b.playlist && a.allSubsongs == b.allSubsongs &&
           a.defaultLengthMillis == b.defaultLengthMillis && a.repeat == b.repeat &&
           a.shuffle == b.shuffle && a.songLengthsFile == b.songLengthsFile &&
           a.stilFile == b.stilFile;
}

}  // namespace

CollectorSettings ReadCollectorSettings(const CProfileStore& store) {
    const CollectorSettings none;
    CollectorSettings read;
    read.playlist = ReadPlace(store, SECTION_PLAYLIST);
    read.scope = ReadPlace(store, SECTION_SCOPE);
    read.allSubsongs = ReadFlag(store, KEY_ALL_SUBSONGS, none.allSubsongs);
    const std::string length = store.ReadString(SECTION_PLAYLIST, KEY_DEFAULT_LENGTH);
    const std::optional<std::uint32_t> millis = ParseSongLength(length);
    read.defaultLengthMillis = millis && *millis > 0 ? *millis : none.defaultLengthMillis;
    read.repeat = ReadFlag(store, KEY_REPEAT, none.repeat);
    read.shuffle = ReadFlag(store, KEY_SHUFFLE, none.shuffle);
    read.songLengthsFile = store.ReadString(SECTION_PLAYLIST, KEY_SONG_LENGTHS);
    read.stilFile = store.ReadString(SECTION_PLAYLIST, KEY_STIL);
    return read;
}

bool WriteCollectorSettings(CProfileStore& store, const CollectorSettings& now,
                            const CollectorSettings& read) {
    bool stored = true;
    if (!SamePlaylistValues(now, read)) {
        stored = WritePlace(store, SECTION_PLAYLIST, now.playlist);
        stored = store.WriteInt(SECTION_PLAYLIST, KEY_ALL_SUBSONGS, now.allSubsongs) && stored;
        stored = store.WriteString(SECTION_PLAYLIST, KEY_DEFAULT_LENGTH,
                                   SongLengthText(now.defaultLengthMillis)) &&
                 stored;
        stored = store.WriteInt(SECTION_PLAYLIST, KEY_REPEAT, now.repeat) && stored;
        stored = store.WriteInt(SECTION_PLAYLIST, KEY_SHUFFLE, now.shuffle) && stored;
        stored = store.WriteString(SECTION_PLAYLIST, KEY_SONG_LENGTHS, now.songLengthsFile) && stored;
        stored = store.WriteString(SECTION_PLAYLIST, KEY_STIL, now.stilFile) && stored;
    }
    if (now.scope != read.scope) stored = WritePlace(store, SECTION_SCOPE, now.scope) && stored;
    return stored;
}

}  // namespace chipbox
