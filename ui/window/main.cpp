// SPDX-License-Identifier: GPL-2.0-or-later
// chipbox: the desktop player. Starts the application, which hands the file
// to a running Chipbox or shows the window.
#include <cstdio>

#include "ui/window/chipbox_app.h"
#include "ui/window/exit_status.h"

int main(int argc, char** argv) {
    using namespace chipbox::window;
    // Qt would abort without a display; say so in our words instead.
    if (!DisplayAvailable()) {
        std::fputs("chipbox: no display to show the window on; chipbox-cli plays without one\n",
                   stderr);
        return EXIT_START_FAILED;
    }
    CChipboxApp app(argc, argv);
    return app.InitInstance();
}
