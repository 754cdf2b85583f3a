// SPDX-License-Identifier: GPL-2.0-or-later
// The player's face on a terminal: what the engine shows is kept for the
// status line, and posted commands go through the same queue as the stream's
// notifications.
#pragma once

#include <cstdio>
#include <string>

#include "playback/event_queue.h"
#include "playback/player_view.h"

namespace chipbox::cli {

class TerminalView : public PlayerView {
public:
    // Tune texts go to `texts` (stderr when stdout carries a WAV, or nowhere).
    TerminalView(EventQueue& queue, std::FILE* texts) : queue_(queue), texts_(texts) {}

    void SetPlayButtonText(const std::string& text) override { playText = text; }
    void SetCpuLoad(int percent) override { cpuLoad = percent; }
    void SetSubsongText(const std::string& text) override { subsong = text; }
    void SetTitle(const std::string&) override {}
    void SetTuneTexts(const std::string& name, const std::string& author,
                      const std::string& released) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    // Name, author and release text, as a tune shows them when it loads.
    void PrintTuneTexts(const std::string& name, const std::string& author,
                        const std::string& released);
    void PostPlayCommand() override { queue_.PostPlayCommand(); }
    void ReportAudioOpenFailure(const std::string& text, const std::string& caption,
                                const std::string& reason) override;

    bool playing() const { return playText == "&Pause"; }

    std::string playText = "&Play";
    std::string subsong;
    int cpuLoad = 0;
    std::string audioFailure;
    bool showMessages = true;  // a playlist reports failed loads in one line instead
    bool showTexts = true;     // false while a render list is being planned
    // The last tune's header texts, Latin-1 as the file holds them.
    std::string tuneName, tuneAuthor, tuneReleased;

private:
    EventQueue& queue_;
    std::FILE* texts_;
};

// The status line: the tune's place in the list, the subsong, the song's
// time (and length when known), the speed, the muted voices and the emulated
// CPU's load.
struct StatusLine {
    int tuneNumber = 1, tuneCount = 1;
    std::string subsong;
    std::int64_t tuneMicros = 0;
    std::int64_t lengthMicros = 0;  // 0: unknown
    int speed = 1;
    std::string mutedVoices;  // "1 3", or empty
    int cpuLoad = 0;
    bool playing = false;
};

std::string StatusText(const StatusLine& status);

}  // namespace chipbox::cli
