// SPDX-License-Identifier: GPL-2.0-or-later
// The songs a render writes, worked out before the first is rendered: which
// tune and subsong, into which file and format, how long, with which tags.
// Knowing them all first lets a list show its progress in full and lets
// several processes share the work.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sample_file_writer.h"
#include "ui/cli/cli_options.h"
#include "ui/common/song_lengths.h"
#include "ui/cli/terminal_view.h"

namespace chipbox::cli {

struct RenderJob {
    std::string tunePath;
    int song = 0;              // 0-based
    bool firstOfTune = true;   // the tune is loaded for this song
    std::string output;        // a file, or "-"
    AudioFormat format = AudioFormat::Wav;
    std::uint64_t frames = 0;  // output samples per channel
    AudioTags tags;
    std::string name, author, released;  // the header's texts, Latin-1
};

struct RenderPlan {
    std::vector<RenderJob> jobs;
    int status = 0;  // an exit status that ends the run before any render
};

// Loads each tune (texts not shown) and lists its songs: one file for one
// song, NAME.EXT or NAME-SONG.EXT in -o's folder for several. Tunes that
// cannot be loaded are reported as a list reports them.
RenderPlan PlanRenders(const std::vector<std::string>& tunes, const CliOptions& options,
                       const SongLengths* lengths, TerminalView& view, bool inList,
                       bool folder);

// The format -o asks for: its extension's, else --format's, else WAV; a
// folder's files get --format's, else WAV.
AudioFormat OutputFormat(const CliOptions& options, bool folder);

// Latin-1 header text as UTF-8 for a tag, control characters left out.
std::string TagText(const std::string& latin1);

}  // namespace chipbox::cli
