#include "ui/cli/terminal.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

namespace chipbox::cli {

namespace {
termios savedTerminal{};
std::atomic<bool> stopSignalled{false};

void OnStopSignal(int) { stopSignalled = true; }
}  // namespace

RawKeyboard::RawKeyboard() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &savedTerminal) != 0) return;
    termios raw = savedTerminal;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    active_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

RawKeyboard::~RawKeyboard() {
    if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
}

std::optional<char> RawKeyboard::PollKey() {
    if (!active_) return std::nullopt;
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

bool StopSignalled() { return stopSignalled; }

}  // namespace chipbox::cli
