// SPDX-License-Identifier: GPL-2.0-or-later
// The voices rendered a chunk of samples at a time: each voice runs alone over
// the chunk, in an order that has every voice's modulation source done first,
// and within it by runs of samples in which nothing but the oscillator and a
// linear envelope moves. Gives exactly what updating the voices sample by
// sample gives, several times faster.
#pragma once

#include <array>
#include <cstdint>

#include "sid/voice_synth.h"

namespace chipbox {

constexpr std::uint32_t CHUNK_SAMPLES = 512;

struct VoiceChunk {
    std::array<std::int32_t, CHUNK_SAMPLES> filtered;   // sums of the voices routed to the filter
    std::array<std::int32_t, CHUNK_SAMPLES> direct;     // sums of the others
    std::array<std::int32_t, CHUNK_SAMPLES> discarded;  // voice 3's output while switched off
    // Per voice, the accumulator before the chunk and after each of its samples,
    // for voices that sync to it or are ring-modulated by it.
    std::array<std::array<std::uint32_t, CHUNK_SAMPLES + 1>, 3> accumulators;
};

// Fills chunk.filtered and chunk.direct for `count` (at most CHUNK_SAMPLES)
// samples and advances the voices. Muted voices stand still; voice 3 runs but
// is left out of the sums when switched off.
void RenderVoiceChunk(VoiceSet& voices, bool voice3On, std::uint32_t count, VoiceChunk& chunk);

}  // namespace chipbox
