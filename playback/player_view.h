// SPDX-License-Identifier: GPL-2.0-or-later
// What the player shows and asks of the program's face (the window, or the
// command-line player), and the only way the engine reaches it. Called on
// the thread that owns the player.
#pragma once

#include <string>

namespace chipbox {

class PlayerView {
public:
    virtual ~PlayerView() = default;
    virtual void SetPlayButtonText(const std::string& text) = 0;  // "&Play" / "&Pause"
    virtual void SetCpuLoad(int percent) = 0;                     // 0..100
    virtual void SetSubsongText(const std::string& text) = 0;     // "%d / %d"
    virtual void SetTitle(const std::string& title) = 0;
    virtual void SetTuneTexts(const std::string& name, const std::string& author,
                              const std::string& released) = 0;  // Latin-1 bytes
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // Queues the Play command behind everything already posted to the player.
    virtual void PostPlayCommand() = 0;
    // The sound device could not be opened and the engine has stopped again;
    // `reason` is the sound system's own explanation. The face tells the user
    // and decides how the program ends.
    virtual void ReportAudioOpenFailure(const std::string& text, const std::string& caption,
                                        const std::string& reason) = 0;
};

// A face that shows nothing, for players without one (benchmarks, fuzzing).
class SilentPlayerView : public PlayerView {
public:
    void SetPlayButtonText(const std::string&) override {}
    void SetCpuLoad(int) override {}
    void SetSubsongText(const std::string&) override {}
    void SetTitle(const std::string&) override {}
    void SetTuneTexts(const std::string&, const std::string&, const std::string&) override {}
    void ShowMessage(const std::string&, const std::string&) override {}
    void PostPlayCommand() override {}
    void ReportAudioOpenFailure(const std::string&, const std::string&,
                                const std::string&) override {}
};

}  // namespace chipbox
