// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/terminal_view.h"

#include "ui/cli/terminal.h"

namespace chipbox::cli {

namespace {

std::string MinutesAndSeconds(std::int64_t micros) {
    const std::int64_t seconds = micros / 1'000'000;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

}  // namespace

void TerminalView::SetTuneTexts(const std::string& name, const std::string& author,
                                const std::string& released) {
    tuneName = name;
    tuneAuthor = author;
    tuneReleased = released;
    if (showTexts) PrintTuneTexts(name, author, released);
}

void TerminalView::PrintTuneTexts(const std::string& name, const std::string& author,
                                  const std::string& released) {
    if (!texts_) return;
    EndStatusLine();
    std::fprintf(texts_, "Name:   %s\nAuthor: %s\n(c):    %s\n", TerminalText(name).c_str(),
                 TerminalText(author).c_str(), TerminalText(released).c_str());
}

void TerminalView::ShowMessage(const std::string& text, const std::string& caption) {
    if (!showMessages) return;
    EndStatusLine();
    // The engine's messages name the file as it was given: a path, not a tune text.
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), PathText(text, true).c_str());
}

void TerminalView::ReportAudioOpenFailure(const std::string& text, const std::string& caption,
                                          const std::string& reason) {
    audioFailure = caption + ": " + text;
    if (!reason.empty()) audioFailure += " (" + reason + ")";
}

std::string StatusText(const StatusLine& status) {
    std::string text = "  ";
    if (status.tuneCount > 1)
        text += "Tune " + std::to_string(status.tuneNumber) + "/" +
                std::to_string(status.tuneCount) + "  ";
    text += "Song " + status.subsong + "  " + MinutesAndSeconds(status.tuneMicros);
    if (status.lengthMicros > 0) text += " / " + MinutesAndSeconds(status.lengthMicros);
    if (status.speed != 1) text += "  " + std::to_string(status.speed) + "x";
    if (!status.mutedVoices.empty()) text += "  muted " + status.mutedVoices;
    char load[32];
    std::snprintf(load, sizeof load, "  C64 CPU %3d%%", status.cpuLoad);
    text += load;
    text += status.playing ? "  [playing]  " : "  [paused]  ";
    return text;
}

}  // namespace chipbox::cli
