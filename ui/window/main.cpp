// SPDX-License-Identifier: GPL-2.0-or-later
// chipbox: the desktop player. Answers --help and --version on the terminal,
// then starts the application, which hands the file to a running Chipbox or
// shows the window.
#include <cstdio>
#include <cstring>

#include "playback/player_texts.h"
#include "ui/window/chipbox_app.h"
#include "ui/window/exit_status.h"

namespace {

constexpr const char* USAGE =
    "Usage: chipbox [TUNE.sid]\n"
    "Plays a Commodore 64 tune (PSID) in a small window; without a tune it opens\n"
    "the last one. While Chipbox runs, a second start hands its tune to the open\n"
    "window and ends. A tune whose name starts with -- is given as ./--NAME.\n"
    "\n"
    "  --help      show this text and end\n"
    "  --version   show the version and end\n"
    "\n"
    "chipbox-cli plays and renders tunes on the terminal; see chipbox-cli --help.\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace chipbox::window;
    // Before Qt, so that they work without a display.
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(USAGE, stdout);
        return EXIT_DONE;
    }
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", chipbox::PROGRAM_CAPTION);
        return EXIT_DONE;
    }
    if (argc > 1 && std::strncmp(argv[1], "--", 2) == 0) {
        std::fprintf(stderr,
                     "chipbox: unknown option %s (a tune of that name is ./%s)\n"
                     "Try 'chipbox --help' for more information.\n",
                     argv[1], argv[1]);
        return EXIT_USAGE;
    }
    // Qt would abort without a display; say so in our words instead.
    if (!DisplayAvailable()) {
        std::fputs("chipbox: no display to show the window on; chipbox-cli plays without one\n",
                   stderr);
        return EXIT_START_FAILED;
    }
    CChipboxApp app(argc, argv);
    return app.InitInstance();
}
