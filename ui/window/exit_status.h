// SPDX-License-Identifier: GPL-2.0-or-later
// How the window program ends.
#pragma once

namespace chipbox::window {

inline constexpr int EXIT_DONE = 0;
// A start that handed its path over but was not answered, or that could not
// start at all (no display).
inline constexpr int EXIT_START_FAILED = 1;
// An option the program does not know (the same status as chipbox-cli's).
inline constexpr int EXIT_USAGE = 2;
// The sound device could not be opened (the same status as chipbox-cli's).
inline constexpr int EXIT_NO_SOUND_DEVICE = 3;

}  // namespace chipbox::window
