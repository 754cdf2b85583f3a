// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/tune_report.h"

#include <cstdio>

#include "core/tune_info.h"
#include "playback/player_texts.h"
#include "ui/cli/cli_options.h"
#include "ui/cli/terminal.h"

namespace chipbox::cli {

namespace {

// Bits 4-5 and 2-3 of the header's flags; 0 means the header does not say.
const char* const SID_MODELS[] = {nullptr, "6581", "8580", "6581 and 8580"};
const char* const VIDEO_STANDARDS[] = {nullptr, "PAL", "NTSC", "PAL and NTSC"};

std::string PlayAddressText() {
    char text[48];
    std::snprintf(text, sizeof text, "$%04X%s", tuneInfo.playAddress.load(),
                  tuneInfo.playFromIrqVector ? " (from $0314/$0315)" : "");
    return text;
}

std::string HeaderClaims() {
    std::string text;
    if (const char* model = SID_MODELS[(tuneInfo.flags >> 4) & 3])
        text += std::string("SID:      ") + model + " (as the tune says)\n";
    if (const char* video = VIDEO_STANDARDS[(tuneInfo.flags >> 2) & 3])
        text += std::string("Video:    ") + video + " (as the tune says)\n";
    return text;
}

std::string LengthsText(const std::vector<std::uint32_t>* lengths) {
    if (!lengths) return "Lengths:  unknown\n";
    std::string text = "Lengths: ";
    for (const std::uint32_t millis : *lengths) text.append(" ").append(SongLengthText(millis));
    return text + "\n";
}

std::string TimingText() {
    if (tuneInfo.rsid) return "its own interrupts";
    return tuneInfo.ciaTiming ? "CIA timer" : "50 Hz";
}

}  // namespace

std::string TuneReport(const std::vector<std::uint32_t>* lengths, bool lengthsInUse) {
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, "Load:     $%04X\nInit:     $%04X\nPlay:     %s\n",
                  tuneInfo.loadAddress, tuneInfo.initAddress, PlayAddressText().c_str());
    return "Name:     " + TerminalText(tuneInfo.name) +
           "\nAuthor:   " + TerminalText(tuneInfo.author) +
           "\n(c):      " + TerminalText(tuneInfo.released) + "\n" + numbers +
           "Songs:    " + SubsongText(tuneInfo.currentSong, tuneInfo.lastSong) + "\n" +
           (lengthsInUse ? LengthsText(lengths) : "") +
           "Timing:   " + TimingText() + "\n" + HeaderClaims() +
           "\n" + SongInformationText() + "\n";
}

}  // namespace chipbox::cli
