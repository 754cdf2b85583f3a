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
// turned into the terminal's encoding (UTF-8 unless the locale's character
// set is Latin-1 itself), and control characters (C0, DEL and C1, ESC among
// them) shown as '?', so no tune can move the cursor or retitle the terminal.
// Line breaks are kept where a message has them.
std::string TerminalText(const std::string& latin1, bool keepLineBreaks = false);

// A path as the terminal may show it: a path is bytes and is printed as it is,
// whatever its encoding, with control characters shown as '?' (C0 and DEL;
// C1 as UTF-8 spells it, and as single bytes that are no UTF-8).
std::string PathText(const std::string& path, bool keepLineBreaks = false);

// Reads the terminal's character set from the environment's locale; without
// this call tune texts are written in UTF-8.
void TakeTerminalEncoding();

// The status line is rewritten in place on stdout, cleared to the end of the
// line each time, so a shorter text leaves nothing of a longer one behind.
void ShowStatusLine(const std::string& text);
// Ends the status line when one is shown, so that what is printed next starts
// on a line of its own. Everything else the player prints calls this first.
void EndStatusLine();

}  // namespace chipbox::cli
