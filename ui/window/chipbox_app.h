// SPDX-License-Identifier: GPL-2.0-or-later
// The application: decides whether this start is the first. A later start
// hands its tune path to the running instance and ends without showing
// anything; the first start shows the main window until it closes.
#pragma once

#include <QApplication>
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

// Whether a desktop to show windows on can be reached: a display named in
// the environment, or a platform chosen explicitly.
bool DisplayAvailable();

}  // namespace chipbox::window
