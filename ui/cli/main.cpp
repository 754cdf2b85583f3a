// SPDX-License-Identifier: GPL-2.0-or-later
// chipbox-cli: the command-line face of Chipbox. Parses the command line and
// hands over to the player.
#include <cstdio>
#include <string>
#include <vector>

#include "playback/player_texts.h"
#include "ui/cli/cli_options.h"
#include "ui/cli/cli_player.h"
#include "ui/cli/terminal.h"

int main(int argc, char** argv) {
    using namespace chipbox;
    cli::TakeTerminalEncoding();
    const auto parsed = cli::ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* error = std::get_if<cli::UsageError>(&parsed)) {
        std::fprintf(stderr, "chipbox-cli: %s\nTry 'chipbox-cli --help' for more information.\n",
                     error->message.c_str());
        return cli::EXIT_USAGE;
    }
    const auto& options = std::get<cli::CliOptions>(parsed);
    if (options.help) {
        std::fputs(cli::UsageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", PROGRAM_CAPTION);
        return 0;
    }
    return cli::RunCliPlayer(options);
}
