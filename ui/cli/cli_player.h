// SPDX-License-Identifier: GPL-2.0-or-later
// Runs a loaded tune from the command line: on the sound card with keys and a
// status line, or into a WAV file as fast as the machine allows.
#pragma once

#include "ui/cli/cli_options.h"

namespace chipbox::cli {

constexpr int EXIT_LOAD_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_NO_SOUND_DEVICE = 3;
constexpr int EXIT_WRITE_FAILED = 4;

int RunCliPlayer(const CliOptions& options);

}  // namespace chipbox::cli
