// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback_fixture.h"

namespace chipbox {
namespace {

using test::PlaybackTest;

TEST_F(PlaybackTest, StreamAllocatesAtOpenAndFirstSoundComesFromBufferA) {
    Load("minimal");
    StartPlayback();
    EXPECT_EQ(audioStream.state, StreamState::Opening);
    ASSERT_TRUE(audioStream.blocks);
    EXPECT_TRUE(audioStream.blocks->headerA.prepared);
    EXPECT_TRUE(device.queued.empty());  // nothing before the open notification
    Pump();
    EXPECT_EQ(audioStream.state, StreamState::Running);
    ASSERT_EQ(device.queued.size(), 2u);
    EXPECT_EQ(device.queued[0], &audioStream.blocks->headerA);
    EXPECT_EQ(device.queued[1], &audioStream.blocks->headerB);
    EXPECT_EQ(device.queued[0]->sampleCount, STREAM_BUFFER_SAMPLES);
}

TEST_F(PlaybackTest, BuffersAlternateAndEachDoneOneIsRefilledAndQueuedAgain) {
    Load("minimal");
    StartPlayback();
    Pump();
    WaveHeader* a = &audioStream.blocks->headerA;
    WaveHeader* b = &audioStream.blocks->headerB;
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(PlayOneBuffer());
    EXPECT_EQ(device.played.size(), 4u);
    ASSERT_EQ(device.queued.size(), 2u);
    EXPECT_EQ(device.queued[0], a);
    EXPECT_EQ(device.queued[1], b);
    EXPECT_EQ(PlayCalls(), 6 * 8);
}

TEST_F(PlaybackTest, NoPlayCallWhileHeldAndRestartContinues) {
    Load("minimal");
    StartPlayback();
    Pump();
    TogglePause();
    EXPECT_EQ(audioStream.state, StreamState::Held);
    const int calls = PlayCalls();
    EXPECT_FALSE(PlayOneBuffer());
    EXPECT_EQ(PlayCalls(), calls);
    TogglePause();
    EXPECT_EQ(audioStream.state, StreamState::Running);
    EXPECT_TRUE(PlayOneBuffer());
    EXPECT_EQ(PlayCalls(), calls + 8);
}

TEST_F(PlaybackTest, StopWhileHeldHandsBackEveryBufferAndClosesAtOnce) {
    Load("minimal");
    StartPlayback();
    Pump();
    TogglePause();
    const int calls = PlayCalls();
    StopPlayback();
    EXPECT_EQ(PlayCalls(), calls);  // the handed-back buffers made no play call
    EXPECT_TRUE(device.queued.empty());
    EXPECT_FALSE(audioStream.blocks);
    EXPECT_FALSE(audioStream.open);
    EXPECT_EQ(audioStream.state, StreamState::Closed);
    EXPECT_FALSE(device.open);
    Pump();
    EXPECT_TRUE(device.queued.empty());
}

// A subsong change stops and starts again straight away; so may any caller.
TEST_F(PlaybackTest, PlayStraightAfterStopHasAnOpenStreamAndSound) {
    Load("minimal");
    StartPlayback();
    Pump();
    StopPlayback();
    StartPlayback();
    EXPECT_TRUE(playerState.playing);
    Pump();
    EXPECT_TRUE(audioStream.open);
    EXPECT_EQ(audioStream.state, StreamState::Running);
    ASSERT_TRUE(PlayOneBuffer());
    const std::vector<std::int16_t>& sound = device.played.back();
    EXPECT_NE(*std::max_element(sound.begin(), sound.end()), 0);
}

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
    StartPlayback();  // a new stream; the old one's buffer finishes late
    queue.Post({StreamEventKind::BufferDone, stale, audioStream.stream - 1});
    const int calls = PlayCalls();
    Pump();
    EXPECT_EQ(device.queued.size(), 2u);  // only the new stream's own two buffers
    EXPECT_EQ(PlayCalls(), calls + 16);
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

}  // namespace
}  // namespace chipbox
