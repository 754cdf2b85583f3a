// SPDX-License-Identifier: GPL-2.0-or-later
#include "recording.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace chipbox::test {

namespace {

constexpr std::size_t WAV_HEADER_BYTES = 44;
constexpr std::size_t ANCHOR_SAMPLES = 64;  // long enough to occur once

std::vector<std::int16_t> SamplesOf(const std::string& bytes) {
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                               static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8);
    return samples;
}

std::string BytesOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

std::vector<std::int16_t> ReadRawSamples(const std::string& path) {
    return SamplesOf(BytesOf(path));
}

std::vector<std::int16_t> ReadWavSamples(const std::string& path) {
    const std::string bytes = BytesOf(path);
    return SamplesOf(bytes.size() > WAV_HEADER_BYTES ? bytes.substr(WAV_HEADER_BYTES) : "");
}

std::string RecordingMatch::Describe(std::size_t wanted) const {
    if (!found) return "the render's start is not in the recording";
    return "from sample " + std::to_string(start) + " of the recording, " +
           std::to_string(sameSamples) + " of " + std::to_string(wanted) +
           " samples are the render's" +
           (sameSamples < wanted ? "; the first difference is at " +
                                       std::to_string(sameSamples * 1000 / 44100) + " ms"
                                 : "") +
           (resumesAfter ? " and it goes on " + std::to_string(*resumesAfter) +
                               " samples later (a negative count: earlier)"
                         : "");
}

RecordingMatch MatchRecording(const std::vector<std::int16_t>& render,
                              const std::vector<std::int16_t>& recording) {
    RecordingMatch match;
    const auto sounding =
        std::find_if(render.begin(), render.end(), [](std::int16_t sample) { return sample != 0; });
    const auto first = static_cast<std::size_t>(sounding - render.begin());
    if (first + ANCHOR_SAMPLES > render.size()) return match;
    const auto anchor =
        std::search(recording.begin(), recording.end(), sounding, sounding + ANCHOR_SAMPLES);
    if (anchor == recording.end() || static_cast<std::size_t>(anchor - recording.begin()) < first)
        return match;
    match.found = true;
    match.start = static_cast<std::size_t>(anchor - recording.begin()) - first;
    const std::size_t available = std::min(render.size(), recording.size() - match.start);
    const auto differs =
        std::mismatch(render.begin(), render.begin() + available, recording.begin() + match.start);
    match.sameSamples = static_cast<std::size_t>(differs.first - render.begin());
    if (match.sameSamples + ANCHOR_SAMPLES <= available) {
        const auto rest = render.begin() + static_cast<std::ptrdiff_t>(match.sameSamples);
        const auto near = recording.begin() + static_cast<std::ptrdiff_t>(match.start);
        const auto again = std::search(near, recording.end(), rest, rest + ANCHOR_SAMPLES);
        if (again != recording.end())
            match.resumesAfter = (again - near) - static_cast<std::ptrdiff_t>(match.sameSamples);
    }
    return match;
}

}  // namespace chipbox::test
