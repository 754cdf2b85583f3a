// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include "platform/wav_file_device.h"
#include "playback_fixture.h"
#include "sid/sid_render.h"

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

// The WAV file holds exactly the samples the stream's buffers get, the last
// buffer cut at the length asked for.
TEST_F(PlaybackTest, WavFileHoldsWhatFillBufferGives) {
    const std::uint64_t samples = 3 * STREAM_BUFFER_SAMPLES + 100;
    const std::string path = test::WriteTempFile("out.wav", {});
    WavFileDevice wav(path, samples, OUTPUT_RATE);
    ASSERT_TRUE(wav.Create());
    UseAudioDevice(wav);
    Load("minimal");
    StartPlayback();
    for (auto event = queue.Next({}); event && !wav.complete(); event = queue.Next({}))
        cli::DispatchPlayerEvent(*event);
    StopPlayback();
    Pump();
    ASSERT_TRUE(wav.Commit());
    UseAudioDevice(device);
    const std::string text = test::ReadFile(path);
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    ASSERT_EQ(bytes.size(), 44 + 2 * samples);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(bytes[22], 1);  // mono
    EXPECT_EQ(bytes[24] | bytes[25] << 8 | bytes[26] << 16, 44100);
    EXPECT_EQ(bytes[40] | bytes[41] << 8 | bytes[42] << 16, static_cast<int>(2 * samples));

    test::ResetMachine();
    ResetPlayer();
    test::StartTuneAsPlaybackDoes("minimal");
    std::vector<std::int16_t> direct(4 * STREAM_BUFFER_SAMPLES), render(RENDER_BUFFER_SAMPLES);
    for (int i = 0; i < 4; ++i) FillBuffer(&direct[i * STREAM_BUFFER_SAMPLES], render.data());
    for (std::uint64_t i = 0; i < samples; ++i)
        ASSERT_EQ(static_cast<std::int16_t>(bytes[44 + 2 * i] | bytes[45 + 2 * i] << 8), direct[i])
            << i;
}

}  // namespace
}  // namespace chipbox
