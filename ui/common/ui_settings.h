// SPDX-License-Identifier: GPL-2.0-or-later
// The values the interface keeps between runs: where each lives in the
// settings file (section, key, default), the copy the windows share while the
// program runs, and the two moments the file is used: read once while the main
// window initialises, written once when it closes.
//
// Positions and sizes are screen pixels of a window's outer rectangle.
#pragma once

#include <string>
#include <string_view>

#include "ui/common/collector_settings.h"
#include "ui/common/profile_store.h"

namespace chipbox {

inline constexpr std::string_view SECTION_PLAYER_WINDOW = "PlayerWindow";
inline constexpr std::string_view SECTION_FILE_BROWSER = "FileBrowser";
inline constexpr std::string_view SECTION_MIXER = "Mixer";

// A window's left and top, in each window's own section.
inline constexpr std::string_view KEY_X = "x";
inline constexpr std::string_view KEY_Y = "y";
// PlayerWindow: non-zero while HardSID output is on; the path of the tune last
// handed to loading, whether or not it loaded.
inline constexpr std::string_view KEY_HARDSID_SUPPORT = "HardSID_Support";
inline constexpr std::string_view KEY_LAST_TUNE = "LastTune";
// The user's choice of the complete machine: written only by View > Complete
// Machine, at once, and otherwise kept as the user wrote it.
inline constexpr std::string_view KEY_COMPLETE_MACHINE = "CompleteMachine";
// Read only, for the real machine: the user's own ROM images (paths), and
// the video standard, "PAL" or "NTSC" (otherwise the tune's own).
inline constexpr std::string_view KEY_KERNAL_ROM = "KernalRom";
inline constexpr std::string_view KEY_BASIC_ROM = "BasicRom";
inline constexpr std::string_view KEY_CHARACTER_ROM = "CharacterRom";
inline constexpr std::string_view KEY_VIDEO_STANDARD = "VideoStandard";
// Read only, for the real machine: its SID chip, "6581" or "8580"
// (otherwise the one the tune names).
inline constexpr std::string_view KEY_SID_MODEL = "SidModel";
// FileBrowser: its size, its folder, the list text (no folder) of the file last
// chosen in it, and its font.
inline constexpr std::string_view KEY_HEIGHT = "Height";
inline constexpr std::string_view KEY_WIDTH = "Width";
inline constexpr std::string_view KEY_DIRECTORY = "Directory";
inline constexpr std::string_view KEY_LAST_SID = "Last_SID";
inline constexpr std::string_view KEY_FONT_HEIGHT = "FontHeight";
inline constexpr std::string_view KEY_FONT_NAME = "FontName";

// Any negative x means no stored position: the window goes where its layout
// puts it. A negative y alone does not.
inline constexpr int NO_POSITION = -1;
inline constexpr int DEFAULT_BROWSER_SIZE = 200;  // height and width
// With an empty face name: no font was chosen, the browser uses its own.
inline constexpr int NO_FONT_HEIGHT = 0;

// Every value of the file. Defaults are those of a missing file or key.
struct StoredSettings {
    bool hardSidSupport = false;
    int browserHeight = DEFAULT_BROWSER_SIZE;
    int browserWidth = DEFAULT_BROWSER_SIZE;
    int browserX = NO_POSITION;
    int browserY = NO_POSITION;
    int playerX = NO_POSITION;
    int playerY = NO_POSITION;
    std::string lastChosenFile;  // FileBrowser "Last_SID"
    std::string lastTune;        // empty: no tune to load
    std::string directory;       // empty: stay in the start-up folder
    int mixerX = NO_POSITION;
    int mixerY = NO_POSITION;
    int browserFontHeight = NO_FONT_HEIGHT;
    std::string browserFontName;
    bool completeMachine = false;  // read at start; the menu item writes it itself
    std::string kernalRom, basicRom, characterRom, videoStandard, sidModel;  // the same

    bool operator==(const StoredSettings&) const = default;
};
// What the main window's initialisation applies: it ticks the HardSID box,
// moves itself when playerX is not negative, changes to `directory` when that
// works, and loads lastTune without playing it.
using StartSettings = StoredSettings;
// What the main window hands over at closing: `directory` is the working
// folder, playerX/Y its own place at that moment, hardSidSupport hardSidMode.
using ExitSettings = StoredSettings;

// The values the windows share for the store; one per process, `uiSettings`.
struct UiSettings {
    int browserX = NO_POSITION;  // the browser sets these when it closes
    int browserY = NO_POSITION;
    int browserWidth = DEFAULT_BROWSER_SIZE;
    int browserHeight = DEFAULT_BROWSER_SIZE;
    int mixerX = NO_POSITION;  // the mixer sets these whenever it moves
    int mixerY = NO_POSITION;
    std::string lastChosenFile;              // choosing a file in the browser sets it
    int browserFontHeight = NO_FONT_HEIGHT;  // the browser's Font button sets both
    std::string browserFontName;
};

extern UiSettings uiSettings;

// Back to the values at program start.
void ResetUiSettings();

// Copies the values that UiSettings keeps from what was read at start.
void KeepStartSettings(const StartSettings& start, UiSettings& ui);
// Fills the values that UiSettings keeps into what is written at exit; the
// window's own values are left as they are.
void FillExitSettings(const UiSettings& ui, ExitSettings& exit);

// Reads every value at start, in the order the window's initialisation uses
// them: PlayerWindow HardSID_Support; FileBrowser Height, Width, x, y;
// PlayerWindow x, y; FileBrowser Last_SID; PlayerWindow LastTune; FileBrowser
// Directory; Mixer x, y; FileBrowser FontHeight, FontName (read back so that
// the browser keeps its font between runs).
StartSettings ReadStartSettings(const CProfileStore& store);

// Writes every value, changed or not, in this order: FileBrowser Height,
// Width, x, y, Directory, Last_SID; Mixer x, y; PlayerWindow x, y, LastTune,
// HardSID_Support (0 or 1); FileBrowser FontHeight, FontName. A file written
// for the first time so holds FileBrowser with Height, Width, x, y, Directory,
// Last_SID, FontHeight, FontName, then Mixer, then PlayerWindow. False when a
// value could not be stored (a line break in a path); the others are written.
bool WriteExitSettings(CProfileStore& store, const ExitSettings& exit);

// Where the settings file lives: $XDG_CONFIG_HOME/NAME.INI, NAME being the
// executable's file name without its extension ("chipbox.INI"). Without an
// absolute XDG_CONFIG_HOME the folder is $HOME/.config, and without HOME the
// working folder at the time of the call. The result is absolute in the last
// case too, because the start-up settings change the working folder.
std::string SettingsFilePath(const std::string& executablePath);

// What the main window programs against, so that tests can give it a file of
// their own.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual StartSettings ReadStart() = 0;
    // The window ignores the result; a failed write is reported nowhere.
    virtual bool WriteExit(const ExitSettings& exit) = 0;
    // The collector's windows' values, read at start and written after the
    // exit settings; a store without them gives the defaults.
    virtual CollectorSettings ReadCollector() { return {}; }
    virtual bool WriteCollector(const CollectorSettings&) { return true; }
    // View > Complete Machine: the one key, written when the item changes.
    virtual bool WriteCompleteMachine(bool) { return true; }
    // Where the playlist is kept; empty: nowhere.
    virtual std::string PlaylistFilePath() { return {}; }
};

// The settings file. Each call reads the file afresh, so lines a user added
// while the program ran are kept at exit. A file too large to read whole is
// not written: stderr says so, once, at exit.
class IniSettingsStore final : public SettingsStore {
public:
    explicit IniSettingsStore(std::string path);
    StartSettings ReadStart() override;
    bool WriteExit(const ExitSettings& exit) override;
    CollectorSettings ReadCollector() override;
    bool WriteCollector(const CollectorSettings& now) override;
    bool WriteCompleteMachine(bool on) override;
    // Beside the settings file, by the same name: "chipbox.m3u".
    std::string PlaylistFilePath() override;
    const std::string& path() const { return path_; }

private:
    // Writes through `write` and saves, unless the file is too large to
    // replace (said on stderr, once per kind of write).
    template <class Write>
    bool Update(const char* what, Write write);

    std::string path_;
    CollectorSettings collectorRead_;  // as ReadCollector found them
};

}  // namespace chipbox
