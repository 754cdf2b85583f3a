// The terminal while the player runs: single keys without Enter, and a status
// line that is rewritten in place.
#pragma once

#include <optional>

namespace chipbox::cli {

class RawKeyboard {
public:
    RawKeyboard();  // switches stdin to single keys when it is a terminal
    ~RawKeyboard();
    RawKeyboard(const RawKeyboard&) = delete;
    RawKeyboard& operator=(const RawKeyboard&) = delete;

    std::optional<char> PollKey();  // never waits

private:
    bool active_ = false;
};

// Ctrl-C and SIGTERM end the player cleanly instead of killing it.
void CatchStopSignals();
bool StopSignalled();

}  // namespace chipbox::cli
