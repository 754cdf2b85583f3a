// SPDX-License-Identifier: GPL-2.0-or-later
// What a playlist shows of a tune before it plays: its header's texts and
// songs, and the MD5 its song lengths are found by. Reading one touches
// nothing of the engine, so that any thread may read them.
#pragma once

#include <string>

namespace chipbox {

struct TuneSummary {
    std::string path;
    bool readable = false;
    std::string problem;  // why not, for the list's status
    std::string name, author, released;  // Latin-1 bytes, as in the header
    int songs = 0;
    int startSong = 0;  // 0-based
    bool rsid = false;
    int chips = 1;
    std::string md5;
};

TuneSummary ReadTuneSummary(const std::string& path);

}  // namespace chipbox
