// SPDX-License-Identifier: GPL-2.0-or-later
// Rendering the loaded tune without a sound device and without an event
// loop, as fast as the machine allows, into whatever takes the samples (a
// WAV file, a test).
//
// Threads: the thread that owns the player.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace chipbox {

// Takes the next samples; false stops the render.
using SampleSink = std::function<bool(const std::int16_t* samples, std::size_t count)>;

// Starts the current song and renders its first `samples` output samples into
// `sink`, in stream buffers of 7,056 frames (the last one cut), then stops
// playback. It renders as many whole buffers as playing the song on a sound
// card for that long would fill (the stream fills two at its start), so that
// what a song leaves in the SID's output stages for the next is the same
// either way. False when the sink stopped it.
bool RenderSong(std::uint64_t samples, const SampleSink& sink);

}  // namespace chipbox
