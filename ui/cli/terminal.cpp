// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/terminal.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

namespace chipbox::cli {

namespace {

termios savedTerminal{};
termios rawTerminal{};
std::atomic<bool> keyboardActive{false};
std::atomic<int> stopSignal{0};

void OnStopSignal(int signal) { stopSignal = signal; }

// tcsetattr and raise are async-signal-safe.
void OnSuspend(int) {
    if (keyboardActive) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    std::signal(SIGTSTP, SIG_DFL);
    raise(SIGTSTP);
}

void OnResume(int) {
    std::signal(SIGTSTP, OnSuspend);
    if (keyboardActive) tcsetattr(STDIN_FILENO, TCSANOW, &rawTerminal);
}

}  // namespace

RawKeyboard::RawKeyboard() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
    rawTerminal = savedTerminal;
    rawTerminal.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    rawTerminal.c_cc[VMIN] = 0;
    rawTerminal.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &rawTerminal) != 0) return;
    keyboardActive = true;
    std::signal(SIGTSTP, OnSuspend);
    std::signal(SIGCONT, OnResume);
}

RawKeyboard::~RawKeyboard() {
    if (!keyboardActive) return;
    std::signal(SIGTSTP, SIG_DFL);
    std::signal(SIGCONT, SIG_DFL);
    keyboardActive = false;
    tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
}

std::optional<char> RawKeyboard::PollKey() {
    if (!keyboardActive) return std::nullopt;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0) return std::nullopt;
    char key = 0;
    if (read(STDIN_FILENO, &key, 1) != 1) return std::nullopt;
    return key;
}

void CatchStopSignals() {
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
}

bool StopSignalled() { return stopSignal != 0; }

int StopSignal() { return stopSignal; }

void EndAsSignalled() {
    const int signal = stopSignal;
    std::signal(signal, SIG_DFL);
    raise(signal);
    _exit(128 + signal);  // not reached: the signal's default action ends the process
}

std::string TerminalText(const std::string& latin1, bool keepLineBreaks) {
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\n' && keepLineBreaks) {
            utf8.push_back(c);
        } else if (byte < 0x20 || (byte >= 0x7F && byte < 0xA0)) {
            utf8.push_back('?');
        } else if (byte < 0x80) {
            utf8.push_back(c);
        } else {
            utf8.push_back(static_cast<char>(0xC0 | byte >> 6));
            utf8.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return utf8;
}

}  // namespace chipbox::cli
