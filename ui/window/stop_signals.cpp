// SPDX-License-Identifier: GPL-2.0-or-later
#include "ui/window/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <cerrno>
#include <csignal>

namespace chipbox::window {

namespace {

constexpr std::array<int, 3> STOP_SIGNALS{SIGTERM, SIGINT, SIGHUP};

// Written by the handler, read on the window's thread; -1 while none.
int pipeEnds[2] = {-1, -1};

// write() is async-signal-safe; a full pipe already holds a request to stop.
void OnStopSignal(int signal) {
    const int saved = errno;
    const auto number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = write(pipeEnds[1], &number, 1);
    errno = saved;
}

}  // namespace

StopSignals::StopSignals(QObject* parent) : QObject(parent) {
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : STOP_SIGNALS) sigaction(signal, &action, nullptr);
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &StopSignals::ReadPipe);
}

StopSignals::~StopSignals() {
    if (!notifier_) return;
    for (const int signal : STOP_SIGNALS) std::signal(signal, SIG_DFL);
    delete notifier_;
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void StopSignals::ReadPipe() {
    unsigned char number = 0;
    int last = 0;
    while (read(pipeEnds[0], &number, 1) == 1) last = number;
    if (last != 0) emit stopRequested(last);
}

}  // namespace chipbox::window
