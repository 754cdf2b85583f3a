// SPDX-License-Identifier: GPL-2.0-or-later
// Tells a tune that plays silent in the default model for its first two
// seconds while doing what the default model does not run as a C64 would
// (undocumented opcodes, the SID's mirrors): such a tune wants the complete
// machine, and the window offers it, once per tune.
//
// Threads: the window's.
#pragma once

#include <cstdint>
#include <string>

namespace chipbox::window {

class SilenceWatch {
public:
    // Looks at what was heard since the last call; true once, for the tune
    // at `tunePath`, when it should be offered the complete machine.
    bool Check(const std::string& tunePath);

    // Two seconds of song time decide.
    static constexpr std::int64_t WATCHED_MICROS = 2'000'000;
    // Quieter than this from peak to peak counts as silent: a DC level or
    // the last bit flickering is not music.
    static constexpr int SILENT_SPAN = 16;

private:
    void Restart(const std::string& tunePath);

    std::string watched_;  // the tune being watched
    bool decided_ = false;
    std::int64_t lastFrame_ = -1;
    std::int64_t lastMicros_ = 0;
    int lowest_ = 0;
    int highest_ = 0;
    bool seen_ = false;  // a sample was heard since the song started
};

}  // namespace chipbox::window
