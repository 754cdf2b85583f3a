// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/cli/terminal.h"

#include <langinfo.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace chipbox::cli {

namespace {

termios savedTerminal{};
termios rawTerminal{};
std::atomic<bool> keyboardActive{false};
std::atomic<int> stopSignal{0};

bool latin1Terminal = false;
bool statusLineShown = false;

void OnStopSignal(int signal) { stopSignal = signal; }

bool IsControl(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }
bool IsC1(unsigned char byte) { return byte >= 0x80 && byte < 0xA0; }
bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at `at`, or 0.
std::size_t Utf8SequenceLength(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead >= 0xF0 && lead < 0xF5   ? 4
                               : lead >= 0xE0                ? 3
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                                                             : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i)
        if (!IsContinuation(static_cast<unsigned char>(text[at + i]))) return 0;
    return length;
}

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
    // A closed terminal ends the player as SIGTERM does.
    std::signal(SIGHUP, OnStopSignal);
    // Past a file size limit a write fails with EFBIG and is reported, instead
    // of the signal ending the program without a word.
    std::signal(SIGXFSZ, SIG_IGN);
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
    std::string shown;
    shown.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\n' && keepLineBreaks) {
            shown.push_back(c);
        } else if (IsControl(byte) || IsC1(byte)) {
            shown.push_back('?');
        } else if (byte < 0x80 || latin1Terminal) {
            shown.push_back(c);
        } else {
            shown.push_back(static_cast<char>(0xC0 | byte >> 6));
            shown.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return shown;
}

std::string PathText(const std::string& path, bool keepLineBreaks) {
    std::string shown;
    shown.reserve(path.size());
    for (std::size_t at = 0; at < path.size();) {
        const auto byte = static_cast<unsigned char>(path[at]);
        if (byte < 0x80) {
            shown.push_back(IsControl(byte) && !(byte == '\n' && keepLineBreaks) ? '?' : path[at]);
            ++at;
            continue;
        }
        const std::size_t length = Utf8SequenceLength(path, at);
        // U+0080-U+009F, the C1 controls, are C2 80 to C2 9F in UTF-8.
        const bool c1 =
            length == 2 && byte == 0xC2 && IsC1(static_cast<unsigned char>(path[at + 1]));
        if (length == 0) {
            shown.push_back(IsC1(byte) ? '?' : path[at]);
            ++at;
        } else {
            if (c1)
                shown.push_back('?');
            else
                shown.append(path, at, length);
            at += length;
        }
    }
    return shown;
}

void TakeTerminalEncoding() {
    std::setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    latin1Terminal = codeset != nullptr && std::strcmp(codeset, "ISO-8859-1") == 0;
}

void ShowStatusLine(const std::string& text) {
    std::printf("\r%s\033[K", text.c_str());
    std::fflush(stdout);
    statusLineShown = true;
}

void EndStatusLine() {
    if (!statusLineShown) return;
    std::fputs("\n", stdout);
    std::fflush(stdout);
    statusLineShown = false;
}

}  // namespace chipbox::cli
