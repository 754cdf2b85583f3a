// SPDX-License-Identifier: GPL-2.0-or-later
// The application: decides whether this start is the first. A later start
// hands its tune path to the running instance and ends without showing
// anything; the first start shows the main window until it closes.
#pragma once

#include <QApplication>
#include <functional>
#include <string>

namespace chipbox::window {

class CChipboxApp final : public QApplication {
    Q_OBJECT
public:
    // `argc` and `argv` as main has them; Qt takes its own options out.
    CChipboxApp(int& argc, char** argv);
    ~CChipboxApp() override;

    // Runs the program; the result is its exit status.
    int InitInstance();

private:
    std::string commandLineArgument_;
    std::string executablePath_;
};

class CChipboxDlg;

// Initialises and shows the window, then runs until the program is to end:
// the window closed (by the user, the desktop, or SIGTERM, SIGINT or SIGHUP,
// also while a box or another window of it is open) or the sound device
// failed. That may happen while a box of the initialisation is open, before
// the main loop runs; the loop then does not start. `shown` runs once the
// window is shown. Returns the exit status.
int RunMainWindow(CChipboxDlg& dialog, const std::function<void()>& shown);

// Whether a desktop to show windows on can be reached: a display named in
// the environment, or a platform chosen explicitly.
bool DisplayAvailable();

}  // namespace chipbox::window
