// SPDX-License-Identifier: GPL-2.0-or-later
// What the listener hears at this moment, for the windows that show it (the
// scope, the playlist's time): the engine publishes, as it renders each
// stream buffer, the SID registers and envelope levels of every chip after
// each play call (each 20 ms slice on the real machine) and the output
// samples; the stream notes when each buffer starts playing. A window then
// asks for the state at the frame being heard, which lies up to two buffers
// behind what was rendered.
//
// Threads: published on the thread that fills the stream's buffers (the
// window's), read on the window's thread too; every value is an atomic, in
// rings whose slots a reader checks were not overwritten while it read, so
// that neither side ever waits for the other.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

namespace chipbox {

// The chip models a frame can name.
enum class ScopeChipModel : std::uint8_t { DefaultModel, Mos6581, Mos8580 };

struct ScopeChip {
    std::uint16_t address = 0xD400;
    ScopeChipModel model = ScopeChipModel::DefaultModel;
    std::array<std::uint8_t, 25> registers{};  // as last written
    std::array<std::uint8_t, 3> envelopes{};   // each voice's level, 0..255
    bool operator==(const ScopeChip&) const = default;
};

struct ScopeFrame {
    std::int64_t frame = 0;       // the stream frame from which this holds
    std::int64_t songMicros = 0;  // how far the song had played there
    double clockHz = 985248.0;    // what the frequency registers count in
    int chipCount = 1;
    std::array<ScopeChip, 3> chips{};
};

// Frames of output kept for the traces: the two buffers in flight, the one
// being filled, and a trace's length.
inline constexpr std::int64_t SCOPE_SAMPLE_FRAMES = 32768;

// The producer's side, called by the engine.
// A stream opened anew: frames count from 0, what was kept is forgotten.
void BeginScopeStream(int channels);
void PublishScopeFrame(const ScopeFrame& frame);
// `count` samples of `channels` interleaved, following those before.
void PublishScopeSamples(const std::int16_t* samples, std::int64_t frames);
// The stream started playing the buffer that begins at `frame` now; while
// paused the heard position stands still.
void NoteBufferStarted(std::int64_t frame, std::int64_t bufferFrames);
void NoteScopePaused(bool paused);

// The reader's side.
// The frame being heard now; none before the stream played.
std::optional<std::int64_t> HeardFrame();
// The last frame published at or before `frame`; none when it was
// overwritten already or none exists.
std::optional<ScopeFrame> ScopeFrameAt(std::int64_t frame);
// `count` output frames ending at `end` of `channel` (0 left, 1 right; of a
// mono stream both are the one), or the mean of both by default; fewer when
// they are not (or no longer) kept. For the traces.
std::vector<std::int16_t> ScopeSamplesBefore(std::int64_t end, std::int64_t count,
                                             int channel = -1);
int ScopeChannels();

// How far the song heard has played: the song time of the frame heard, in
// microseconds; none while nothing plays through the stream.
std::optional<std::int64_t> HeardSongMicros();

}  // namespace chipbox
