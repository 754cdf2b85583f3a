#include "core/song_information.h"

#include <cstdio>

#include "core/tune_info.h"

namespace chipbox {

std::string SongInformationText() {
    const int start = tuneInfo.loadAddress;
    const int size = tuneInfo.dataSize;
    const int blocks = (size + 255) / 256;
    char text[200];
    std::snprintf(text, sizeof text,
                  "Start Address: $%04X\nEnd Address: $%04X\n\nInit Address: $%04X\n"
                  "Play Address: $%04X\n\nSong Size: %d bytes (%d blocks)",
                  start, start + size, tuneInfo.initAddress, tuneInfo.playAddress, size, blocks);
    return text;
}

}  // namespace chipbox
