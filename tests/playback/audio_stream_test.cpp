// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "playback/offline_render.h"
#include "playback_fixture.h"

namespace chipbox {
namespace {

using test::PlaybackTest;

// The stream's two buffers on the step-by-step device, and a WAV file.
// Nothing is queued before the open notification; then A and B, and each
// done one is refilled and queued again.
TEST_F(PlaybackTest, StreamQueuesBothBuffersOnceOpenAndRequeuesEachDoneOne) {
    Load("minimal");
    StartPlayback();
    EXPECT_EQ(audioStream.state, StreamState::Opening);
    ASSERT_TRUE(audioStream.blocks);
    EXPECT_TRUE(audioStream.blocks->headerA.prepared);
    EXPECT_TRUE(device.queued.empty());
    Pump();
    EXPECT_EQ(audioStream.state, StreamState::Running);
    const std::deque<WaveHeader*> both{&audioStream.blocks->headerA, &audioStream.blocks->headerB};
    EXPECT_EQ(device.queued, both);
    EXPECT_EQ(device.queued[0]->sampleCount, STREAM_BUFFER_SAMPLES);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(PlayOneBuffer());
    EXPECT_EQ(device.played.size(), 4u);
    EXPECT_EQ(device.queued, both);
    EXPECT_EQ(PlayCalls(), 6 * 8);
}

// Restart continues; a stop while held hands back every buffer and closes
// at once.
TEST_F(PlaybackTest, NoPlayCallWhileHeldAndAStopThenClosesAtOnce) {
    Play("minimal");
    TogglePause();
    EXPECT_EQ(audioStream.state, StreamState::Held);
    const int calls = PlayCalls();
    EXPECT_FALSE(PlayOneBuffer());
    EXPECT_EQ(PlayCalls(), calls);
    TogglePause();
    EXPECT_EQ(audioStream.state, StreamState::Running);
    EXPECT_TRUE(PlayOneBuffer());
    EXPECT_EQ(PlayCalls(), calls + 8);
    TogglePause();
    StopPlayback();
    EXPECT_EQ(PlayCalls(), calls + 8);  // the handed-back buffers made no play call
    EXPECT_TRUE(device.queued.empty());
    EXPECT_FALSE(audioStream.blocks);
    EXPECT_FALSE(audioStream.open);
    EXPECT_EQ(audioStream.state, StreamState::Closed);
    EXPECT_FALSE(device.open);
    Pump();
    EXPECT_TRUE(device.queued.empty());
}

// A subsong change stops and starts again straight away, so may any caller:
// the new stream opens and sounds, and a buffer of the old one that finishes
// late is ignored.
TEST_F(PlaybackTest, NotificationsOfAClosedStreamAreIgnored) {
    Load("minimal");
    StartPlayback();
    StopPlayback();  // the open notification is still on its way
    Pump();
    EXPECT_TRUE(device.queued.empty());
    EXPECT_FALSE(audioStream.open);
    EXPECT_FALSE(device.open);

    StartPlayback();
    Pump();
    WaveHeader* stale = device.queued.front();
    StopPlayback();
    StartPlayback();
    EXPECT_TRUE(playerState.playing);
    queue.Post({StreamEventKind::BufferDone, stale, audioStream.stream - 1});
    const int calls = PlayCalls();
    Pump();
    EXPECT_EQ(audioStream.state, StreamState::Running);
    EXPECT_EQ(device.queued.size(), 2u);  // only the new stream's own two buffers
    EXPECT_EQ(PlayCalls(), calls + 16);
    ASSERT_TRUE(PlayOneBuffer());
    const std::vector<std::int16_t>& sound = device.played.back();
    EXPECT_NE(*std::max_element(sound.begin(), sound.end()), 0);
}

// The engine reports the failure and stops; the program decides how to end.
TEST_F(PlaybackTest, ADeviceThatCannotOpenIsReportedAndLeavesTheEngineStopped) {
    Load("minimal");
    device.failOpen = true;
    view.calls.clear();
    StartPlayback();
    EXPECT_EQ(view.calls, (std::vector<std::string>{
                              "AudioFailure Error: Unable to use wave-mapper! (no test device)"}));
    EXPECT_FALSE(playerState.playing);
    EXPECT_FALSE(audioStream.blocks);
    device.failOpen = false;
    PlayPauseCommand();  // a later Play is a fresh start
    EXPECT_TRUE(playerState.playing);
    EXPECT_TRUE(audioStream.open);
}

// A render without a sound device gives the samples the card would play.
TEST_F(PlaybackTest, AnOfflineRenderIsWhatTheStreamPlays) {
    Load("minimal");
    const std::uint64_t samples = 4 * STREAM_BUFFER_SAMPLES - 100;
    std::vector<std::int16_t> rendered;
    std::vector<std::size_t> counts;
    ASSERT_TRUE(RenderSong(samples, [&](const std::int16_t* part, std::size_t count) {
        rendered.insert(rendered.end(), part, part + count);
        counts.push_back(count);
        return true;
    }));
    EXPECT_EQ(counts, (std::vector<std::size_t>{7056, 7056, 7056, 7056 - 100}));
    EXPECT_FALSE(playerState.playing);

    Restart();
    Play("minimal");
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(PlayOneBuffer());
    std::vector<std::int16_t> played;
    for (const std::vector<std::int16_t>& buffer : device.played)
        played.insert(played.end(), buffer.begin(), buffer.end());
    EXPECT_EQ(rendered, std::vector<std::int16_t>(played.begin(), played.begin() + samples));

    // A sink that says stop ends the render after that part.
    Load("minimal");
    int parts = 0;
    EXPECT_FALSE(
        RenderSong(samples, [&](const std::int16_t*, std::size_t) { return ++parts < 2; }));
    EXPECT_EQ(parts, 2);
}

// The render asks for the buffers playing would fill: two at least, as the
// stream fills both when it opens, then one for each that played.
TEST_F(PlaybackTest, AShortOfflineRenderFillsTheStreamsTwoBuffers) {
    for (const auto& [samples, fills] : {std::pair{100u, 2}, std::pair{7056u * 2 + 1, 3}}) {
        Load("minimal");
        const int before = PlayCalls();
        RenderSong(samples, [](const std::int16_t*, std::size_t) { return true; });
        // The minimal tune counts its play calls: 8 frames of 882 samples per buffer.
        EXPECT_EQ(PlayCalls() - before, 8 * fills) << samples;
    }
}

}  // namespace
}  // namespace chipbox
