// SPDX-License-Identifier: GPL-2.0-or-later
// What a recording of the sound server holds against a WAV render of the
// same music: where the render starts in it, and where the two first differ.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace chipbox::test {

// 16-bit mono samples: a raw recording, or a WAV file's data.
std::vector<std::int16_t> ReadRawSamples(const std::string& path);
std::vector<std::int16_t> ReadWavSamples(const std::string& path);

struct RecordingMatch {
    bool found = false;           // the render's start is in the recording
    std::size_t start = 0;        // where, in the recording
    std::size_t sameSamples = 0;  // how many of the render follow unchanged from there
    // Where the render goes on after the first difference, against where it
    // should: positive when the recording holds a gap (the player was late),
    // negative when it lost samples (the recorder was); none when it does not
    // go on.
    std::optional<std::ptrdiff_t> resumesAfter;
    std::string Describe(std::size_t wanted) const;
};

// Finds the render's first sounding samples in the recording and counts how
// many of the render follow there sample for sample: a late buffer shows as
// the first difference, the silence the device played while it waited.
RecordingMatch MatchRecording(const std::vector<std::int16_t>& render,
                              const std::vector<std::int16_t>& recording);

}  // namespace chipbox::test
