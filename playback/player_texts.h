// SPDX-License-Identifier: GPL-2.0-or-later
// The texts the player shows, the same in the window and on the terminal.
#pragma once

#include <cstdint>
#include <string>

#include "core/tune_file.h"

namespace chipbox {

// The main window's caption, and the program's name wherever it is shown.
constexpr const char* PROGRAM_CAPTION = "Chipbox v0.965";

constexpr const char* AUDIO_OPEN_FAILURE_TEXT = "Unable to use wave-mapper!";
constexpr const char* AUDIO_OPEN_FAILURE_CAPTION = "Error";

// The card library cannot be loaded, or lacks its write entry. The second
// message is shown with the program's name as its caption.
constexpr const char* HARDSID_NOT_FOUND_TEXT =
    "Error: HardSID.DLL not found.\n\nThis feature only works if you\nhave a hardsid soundcard!";
constexpr const char* HARDSID_NOT_FOUND_CAPTION = "Fatal Error";
constexpr const char* HARDSID_CORRUPT_TEXT = "Error: HARDSID.DLL is corrupt!";

// An RSID tune needs the real machine, which plays through the sound card.
constexpr const char* RSID_ON_HARDSID_TEXT =
    "This is an RSID tune: it needs the whole C64, which Chipbox plays\n"
    "through the sound card only.\n\nSwitch HardSID output off to hear it.";
constexpr const char* RSID_ON_HARDSID_CAPTION = "HardSID";

// What a BASIC program among the RSID tunes needs; the CLI says it in short.
constexpr const char* BASIC_PROGRAM_TEXT =
    "is a BASIC program: it plays only with images of the C64's BASIC and KERNAL ROMs.";
constexpr const char* BASIC_PROGRAM_REASON =
    "a BASIC program: it needs the BASIC and KERNAL ROM images (--basic, --kernal)";

struct LoadMessage {
    std::string text;
    std::string caption;
};

// The warning shown for a tune file that was not loaded; the path is shown as
// it was given. A file that cannot be opened (or is a folder, or no regular
// file where only one is taken) "could not be loaded"; an RSID that breaks
// the format's rules is "not a valid RSID File", a BASIC program says what
// it needs, and any other problem makes it "not a valid PSID File".
LoadMessage LoadFailureMessage(TuneFileProblem problem, const std::string& path);

// The part of the path after its last '/', or all of it.
std::string TuneFileName(const std::string& path);

// "<file name> - Chipbox v0.965"
std::string TuneWindowTitle(const std::string& path);

// "current / count", both 1-based, each between 1 and 256.
std::string SubsongText(std::uint8_t currentSong, std::uint8_t lastSong);

// Where the loaded tune sits in memory, its entry points and its size: the
// text of the Song Information box. The end address is the address after the
// last loaded byte and may reach $10000. A tune that plays on the real
// machine adds what it is and the machine's video standard.
std::string SongInformationText();

// "RSID on the real C64 (PAL)", or empty while the default model plays.
std::string MachineText();

}  // namespace chipbox
