// SPDX-License-Identifier: GPL-2.0-or-later
// SIGTERM, SIGINT and SIGHUP (kill, Ctrl-C in the terminal the window was
// started from, the desktop's logout) as a Qt signal on the window's thread,
// so that the window ends as closing it does: playback stopped, the settings
// written. The handler only writes the signal's number into a pipe; the
// window's event loop reads it, also the loop of a message box or another
// modal window that is open.
//
// One per process, made and destroyed on the window's thread.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace chipbox::window {

class StopSignals final : public QObject {
    Q_OBJECT
public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;  // the signals' default actions again

    // The pipe and the handlers are in place.
    bool watching() const { return notifier_ != nullptr; }

signals:
    void stopRequested(int signal);

private:
    void ReadPipe();

    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace chipbox::window
