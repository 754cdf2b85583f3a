// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/common/ui_settings.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

namespace chipbox {

UiSettings uiSettings;

void ResetUiSettings() { uiSettings = UiSettings{}; }

namespace {

// The values UiSettings keeps go by the same names in the stored settings.
template <typename From, typename To>
void CopyWindowValues(const From& from, To& to) {
    to.browserX = from.browserX;
    to.browserY = from.browserY;
    to.browserWidth = from.browserWidth;
    to.browserHeight = from.browserHeight;
    to.mixerX = from.mixerX;
    to.mixerY = from.mixerY;
    to.lastChosenFile = from.lastChosenFile;
    to.browserFontHeight = from.browserFontHeight;
    to.browserFontName = from.browserFontName;
}

}  // namespace

void KeepStartSettings(const StartSettings& start, UiSettings& ui) { CopyWindowValues(start, ui); }

void FillExitSettings(const UiSettings& ui, ExitSettings& exit) { CopyWindowValues(ui, exit); }

StartSettings ReadStartSettings(const CProfileStore& store) {
    const StartSettings none;
    StartSettings start;
    start.hardSidSupport =
        store.ReadInt(SECTION_PLAYER_WINDOW, KEY_HARDSID_SUPPORT, none.hardSidSupport) != 0;
    start.browserHeight = store.ReadInt(SECTION_FILE_BROWSER, KEY_HEIGHT, none.browserHeight);
    start.browserWidth = store.ReadInt(SECTION_FILE_BROWSER, KEY_WIDTH, none.browserWidth);
    start.browserX = store.ReadInt(SECTION_FILE_BROWSER, KEY_X, none.browserX);
    start.browserY = store.ReadInt(SECTION_FILE_BROWSER, KEY_Y, none.browserY);
    start.playerX = store.ReadInt(SECTION_PLAYER_WINDOW, KEY_X, none.playerX);
    start.playerY = store.ReadInt(SECTION_PLAYER_WINDOW, KEY_Y, none.playerY);
    start.lastChosenFile = store.ReadString(SECTION_FILE_BROWSER, KEY_LAST_SID);
    start.lastTune = store.ReadString(SECTION_PLAYER_WINDOW, KEY_LAST_TUNE);
    start.directory = store.ReadString(SECTION_FILE_BROWSER, KEY_DIRECTORY);
    start.mixerX = store.ReadInt(SECTION_MIXER, KEY_X, none.mixerX);
    start.mixerY = store.ReadInt(SECTION_MIXER, KEY_Y, none.mixerY);
    start.browserFontHeight =
        store.ReadInt(SECTION_FILE_BROWSER, KEY_FONT_HEIGHT, none.browserFontHeight);
    start.browserFontName = store.ReadString(SECTION_FILE_BROWSER, KEY_FONT_NAME);
    start.completeMachine =
        store.ReadInt(SECTION_PLAYER_WINDOW, KEY_COMPLETE_MACHINE, none.completeMachine) != 0;
    start.kernalRom = store.ReadString(SECTION_PLAYER_WINDOW, KEY_KERNAL_ROM);
    start.basicRom = store.ReadString(SECTION_PLAYER_WINDOW, KEY_BASIC_ROM);
    start.characterRom = store.ReadString(SECTION_PLAYER_WINDOW, KEY_CHARACTER_ROM);
    start.videoStandard = store.ReadString(SECTION_PLAYER_WINDOW, KEY_VIDEO_STANDARD);
    start.sidModel = store.ReadString(SECTION_PLAYER_WINDOW, KEY_SID_MODEL);
    return start;
}

bool WriteExitSettings(CProfileStore& store, const ExitSettings& exit) {
    bool stored = true;
    const auto writeInt = [&](std::string_view section, std::string_view key, int value) {
        stored = store.WriteInt(section, key, value) && stored;
    };
    const auto writeString = [&](std::string_view section, std::string_view key,
                                 const std::string& text) {
        stored = store.WriteString(section, key, text) && stored;
    };
    writeInt(SECTION_FILE_BROWSER, KEY_HEIGHT, exit.browserHeight);
    writeInt(SECTION_FILE_BROWSER, KEY_WIDTH, exit.browserWidth);
    writeInt(SECTION_FILE_BROWSER, KEY_X, exit.browserX);
    writeInt(SECTION_FILE_BROWSER, KEY_Y, exit.browserY);
    writeString(SECTION_FILE_BROWSER, KEY_DIRECTORY, exit.directory);
    writeString(SECTION_FILE_BROWSER, KEY_LAST_SID, exit.lastChosenFile);
    writeInt(SECTION_MIXER, KEY_X, exit.mixerX);
    writeInt(SECTION_MIXER, KEY_Y, exit.mixerY);
    writeInt(SECTION_PLAYER_WINDOW, KEY_X, exit.playerX);
    writeInt(SECTION_PLAYER_WINDOW, KEY_Y, exit.playerY);
    writeString(SECTION_PLAYER_WINDOW, KEY_LAST_TUNE, exit.lastTune);
    writeInt(SECTION_PLAYER_WINDOW, KEY_HARDSID_SUPPORT, exit.hardSidSupport ? 1 : 0);
    writeInt(SECTION_FILE_BROWSER, KEY_FONT_HEIGHT, exit.browserFontHeight);
    writeString(SECTION_FILE_BROWSER, KEY_FONT_NAME, exit.browserFontName);
    return stored;
}

std::string SettingsFilePath(const std::string& executablePath) {
    std::filesystem::path name = std::filesystem::path(executablePath).filename();
    if (name.empty() || name == "." || name == "..") name = "chipbox";
    name.replace_extension(".INI");
    std::filesystem::path folder;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    // A relative XDG_CONFIG_HOME would follow the working folder, which the
    // start-up settings change; it counts as unset.
    if (configHome != nullptr && configHome[0] == '/') {
        folder = configHome;
    } else if (home != nullptr && home[0] != '\0') {
        folder = std::filesystem::path(home) / ".config";
    } else {
        std::error_code error;
        folder = std::filesystem::current_path(error);
    }
    return (folder / name).string();
}

IniSettingsStore::IniSettingsStore(std::string path) : path_(std::move(path)) {}

StartSettings IniSettingsStore::ReadStart() { return ReadStartSettings(CProfileStore(path_)); }

template <class Write>
bool IniSettingsStore::Update(const char* what, Write write) {
    CProfileStore store(path_);
    if (store.tooLarge()) {
        std::fprintf(stderr,
                     "chipbox: %s is larger than %zu MiB; it is left as it is and %s "
                     "not saved\n",
                     path_.c_str(), PROFILE_READ_LIMIT >> 20, what);
        return false;
    }
    const bool stored = write(store);
    return store.Save() && stored;
}

bool IniSettingsStore::WriteExit(const ExitSettings& exit) {
    return Update("this run's settings are",
                  [&](CProfileStore& store) { return WriteExitSettings(store, exit); });
}

CollectorSettings IniSettingsStore::ReadCollector() {
    collectorRead_ = ReadCollectorSettings(CProfileStore(path_));
    return collectorRead_;
}

bool IniSettingsStore::WriteCollector(const CollectorSettings& now) {
    if (now == collectorRead_) return true;
    return Update("the playlist's and scope's settings are", [&](CProfileStore& store) {
        return WriteCollectorSettings(store, now, collectorRead_);
    });
}

std::string IniSettingsStore::PlaylistFilePath() {
    return std::filesystem::path(path_).replace_extension(".m3u").string();
}

bool IniSettingsStore::WriteCompleteMachine(bool on) {
    return Update("the complete machine's choice is", [&](CProfileStore& store) {
        return store.WriteInt(SECTION_PLAYER_WINDOW, KEY_COMPLETE_MACHINE, on ? 1 : 0);
    });
}

}  // namespace chipbox
