// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/offline_render.h"

#include <algorithm>
#include <vector>

#include "playback/audio_stream.h"
#include "playback/player_engine.h"

namespace chipbox {

namespace {

// The stream fills both of its buffers when it opens, then one per buffer
// played.
std::uint64_t BuffersFilledFor(std::uint64_t samples) {
    if (samples == 0) return 0;
    const std::uint64_t buffer = StreamBufferSamples();
    return std::max<std::uint64_t>(2, (samples + buffer - 1) / buffer);
}

}  // namespace

bool RenderSong(std::uint64_t samples, const SampleSink& sink) {
    std::vector<std::int16_t> buffer(StreamBufferSamples()), renderBuffer(RENDER_BUFFER_SAMPLES);
    StartRendering();
    bool whole = true;
    std::uint64_t left = samples;
    for (std::uint64_t fill = BuffersFilledFor(samples); fill > 0 && whole; --fill) {
        RenderSamples(buffer.data(), static_cast<std::int32_t>(buffer.size()), renderBuffer.data());
        const std::size_t taken =
            static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
        left -= taken;
        if (taken > 0) whole = sink(buffer.data(), taken);
    }
    StopPlayback();
    return whole;
}

}  // namespace chipbox
