// SPDX-License-Identifier: GPL-2.0-or-later
// The terminal while the player runs: single keys without Enter, a status
// line that is rewritten in place, and the signals that end or suspend it.
#pragma once

#include <optional>
#include <string>

namespace chipbox::cli {

// Switches stdin to single keys without echo while it exists, when stdin is
// a terminal. Ctrl-Z hands the terminal back as it was before stopping, and
// `fg` takes single keys up again.
class RawKeyboard {
public:
    RawKeyboard();
    ~RawKeyboard();
    RawKeyboard(const RawKeyboard&) = delete;
    RawKeyboard& operator=(const RawKeyboard&) = delete;

    std::optional<char> PollKey();  // never waits
};

// Ctrl-C and SIGTERM end the player cleanly instead of killing it; which
// signal it was is kept, so the program can end as that signal would.
void CatchStopSignals();
bool StopSignalled();
int StopSignal();  // 0 while none came
// Ends the process as the signal that stopped it would have.
[[noreturn]] void EndAsSignalled();

// A header text from the tune file as the terminal may show it: Latin-1
// turned into UTF-8, and control characters (C0, DEL and C1, ESC among them)
// shown as '?', so no tune can move the cursor or retitle the terminal.
// Line breaks are kept where a message has them.
std::string TerminalText(const std::string& latin1, bool keepLineBreaks = false);

}  // namespace chipbox::cli
