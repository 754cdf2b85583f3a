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
    EXPECT_EQ(view.cpuLoad, 0);
    const int calls = PlayCalls();
    EXPECT_FALSE(PlayOneBuffer());
    EXPECT_EQ(PlayCalls(), calls);
    TogglePause();
    EXPECT_EQ(audioStream.state, StreamState::Running);
    EXPECT_TRUE(PlayOneBuffer());
    EXPECT_EQ(PlayCalls(), calls + 8);
}

TEST_F(PlaybackTest, StopHandsBackEveryQueuedBufferThenReleasesTheBlocks) {
    Load("minimal");
    StartPlayback();
    Pump();
    TogglePause();  // stop while held
    const int calls = PlayCalls();
    StopPlayback();
    EXPECT_EQ(audioStream.state, StreamState::Closing);
    EXPECT_TRUE(device.queued.empty());
    EXPECT_TRUE(audioStream.blocks);  // kept until the close notification
    Pump();
    EXPECT_EQ(PlayCalls(), calls);  // the handed-back buffers made no play call
    EXPECT_TRUE(device.queued.empty());
    EXPECT_FALSE(audioStream.blocks);
    EXPECT_FALSE(audioStream.open);
    EXPECT_EQ(audioStream.state, StreamState::Closed);
    EXPECT_FALSE(device.open);
}

TEST_F(PlaybackTest, StopThenPlayAtOnceEndsWithAnOpenStreamAndSound) {
    Load("minimal");
    StartPlayback();
    Pump();
    StopPlayback();
    view.PostPlayCommand();
    Pump();
    EXPECT_TRUE(audioStream.open);
    EXPECT_EQ(audioStream.state, StreamState::Running);
    ASSERT_TRUE(PlayOneBuffer());
    const std::vector<std::int16_t>& sound = device.played.back();
    EXPECT_NE(*std::max_element(sound.begin(), sound.end()), 0);
}

TEST_F(PlaybackTest, StopBeforeTheOpenNotificationQueuesNothing) {
    Load("minimal");
    StartPlayback();
    StopPlayback();
    Pump();
    EXPECT_TRUE(device.queued.empty());
    EXPECT_FALSE(audioStream.open);
}

TEST_F(PlaybackTest, ADeviceThatCannotOpenIsReportedWithTheFixedText) {
    Load("minimal");
    device.failOpen = true;
    try {
        StartPlayback();
        FAIL() << "the failure was not reported";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Unable to use wave-mapper!");
    }
    EXPECT_FALSE(audioStream.blocks);
}

}  // namespace
}  // namespace chipbox
