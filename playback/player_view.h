// What the player shows and asks of the program's face (the window, or the
// command-line player), and the only way the engine reaches it.
#pragma once

#include <string>

namespace chipbox {

class PlayerView {
public:
    virtual ~PlayerView() = default;
    virtual void SetPlayButtonText(const std::string& text) = 0;  // "&Play" / "&Pause"
    virtual void SetCpuLoad(int percent) = 0;                     // 0..100, more shows full
    virtual void SetSubsongText(const std::string& text) = 0;     // "%d / %d"
    virtual void SetTitle(const std::string& title) = 0;
    virtual void SetTuneTexts(const std::string& name, const std::string& author,
                              const std::string& released) = 0;  // Latin-1 bytes
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // Queues the Play command behind everything already posted to the player.
    virtual void PostPlayCommand() = 0;
    // The sound device cannot be opened: tell the user and end the program.
    [[noreturn]] virtual void FailAudioOpen(const std::string& text,
                                            const std::string& caption) = 0;
};

}  // namespace chipbox
