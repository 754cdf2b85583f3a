// SPDX-License-Identifier: GPL-2.0-or-later
// Arbitrary text as a collection's documents and a playlist: the tune
// information list, the song length file and an M3U file are read from it,
// and what they give is looked up as the playlist does.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ui/common/m3u_file.h"
#include "ui/common/song_lengths.h"
#include "ui/common/stil.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace chipbox;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    StilIndex stil;
    stil.Parse(text);
    if (stil.size() > size) std::abort();
    // Every line that names a tune is looked up for a few of its songs.
    for (std::string_view rest = text; !rest.empty();) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        if (!line.empty() && line.front() == '/') {
            for (const int song : {0, 1, 2, 256, 257}) stil.FieldsFor(line, song);
            stil.FolderComment(line);
        }
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    SongLengths lengths;
    lengths.Parse(text);
    if (lengths.size() > size / 33 + 1) std::abort();  // each entry takes an MD5 and '='
    const std::vector<std::string> paths = ParseM3u(text, "/music");
    if (paths.size() > size) std::abort();
    for (const std::string& path : paths)
        if (path.empty() || path.find('\0') != std::string::npos) std::abort();
    return 0;
}
