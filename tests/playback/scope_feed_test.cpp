// SPDX-License-Identifier: GPL-2.0-or-later
// What the engine hands the scope and the playlist's clock: frames found by
// the frame heard, samples kept for the traces, the heard position from the
// stream's buffers; and seeking within a song.
#include <algorithm>
#include <thread>

#include "core/machine_model.h"
#include "playback/scope_feed.h"
#include "playback_fixture.h"
#include "sid/sid_state.h"

namespace chipbox::test {
namespace {

ScopeFrame FrameAt(std::int64_t frame, std::int64_t micros) {
    ScopeFrame scope;
    scope.frame = frame;
    scope.songMicros = micros;
    return scope;
}

TEST(ScopeFeedTest, FramesAreFoundByTheFrameHeardUntilOverwritten) {
    BeginScopeStream(1);
    EXPECT_EQ(ScopeFrameAt(0), std::nullopt);
    for (std::int64_t i = 0; i < 3; ++i) PublishScopeFrame(FrameAt(i * 882, i * 20'000));
    EXPECT_EQ(ScopeFrameAt(900)->songMicros, 20'000);
    EXPECT_EQ(ScopeFrameAt(881)->songMicros, 0);
    EXPECT_EQ(ScopeFrameAt(100'000)->songMicros, 40'000);
    EXPECT_EQ(ScopeFrameAt(-1), std::nullopt);
    for (std::int64_t i = 3; i < 200; ++i) PublishScopeFrame(FrameAt(i * 882, i * 20'000));
    EXPECT_EQ(ScopeFrameAt(900), std::nullopt) << "long overwritten";
    EXPECT_EQ(ScopeFrameAt(199 * 882)->songMicros, 199 * 20'000);
    BeginScopeStream(1);
    EXPECT_EQ(ScopeFrameAt(199 * 882), std::nullopt) << "a new stream forgets";
}

TEST(ScopeFeedTest, SamplesAreKeptAsTheMeanOfTheirChannels) {
    BeginScopeStream(2);
    std::vector<std::int16_t> stereo;
    for (int i = 0; i < 3000; ++i) {
        stereo.push_back(static_cast<std::int16_t>(i));
        stereo.push_back(static_cast<std::int16_t>(i + 2));
    }
    PublishScopeSamples(stereo.data(), 3000);
    const std::vector<std::int16_t> traced = ScopeSamplesBefore(1500, 3);
    EXPECT_EQ(traced, (std::vector<std::int16_t>{1498, 1499, 1500}));
    EXPECT_EQ(ScopeSamplesBefore(5000, 2), (std::vector<std::int16_t>{2999, 3000}))
        << "not past what was published";
    EXPECT_TRUE(ScopeSamplesBefore(0, 10).empty());
    EXPECT_EQ(ScopeChannels(), 2);
    // Each channel alone, for a chip that plays on one side.
    EXPECT_EQ(ScopeSamplesBefore(1500, 2, 0), (std::vector<std::int16_t>{1498, 1499}));
    EXPECT_EQ(ScopeSamplesBefore(1500, 2, 1), (std::vector<std::int16_t>{1500, 1501}));
    BeginScopeStream(1);
    const std::int16_t mono[] = {7, -7};
    PublishScopeSamples(mono, 2);
    EXPECT_EQ(ScopeSamplesBefore(2, 2, 1), (std::vector<std::int16_t>{7, -7}));
}

TEST(ScopeFeedTest, TheHeardFrameRunsWithinItsBufferAndStandsStillWhilePaused) {
    BeginScopeStream(1);
    EXPECT_EQ(HeardFrame(), std::nullopt);
    NoteBufferStarted(7056, 7056);
    const std::int64_t first = *HeardFrame();
    EXPECT_GE(first, 7056);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const std::int64_t later = *HeardFrame();
    EXPECT_GT(later, first);
    EXPECT_LE(later, 2 * 7056) << "never past the buffer playing";
    NoteScopePaused(true);
    const std::int64_t paused = *HeardFrame();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(*HeardFrame(), paused);
    NoteScopePaused(false);
    EXPECT_GE(*HeardFrame(), paused);
}

using ScopePlaybackTest = PlaybackTest;

// Each fill publishes the registers after every play call, and the samples.
TEST_F(ScopePlaybackTest, PlayingPublishesTheRegistersAndTheSongTime) {
    Play("subsongs");
    EXPECT_LT(*HeardFrame(), 7056) << "the first buffer plays";
    ASSERT_TRUE(PlayOneBuffer());
    ASSERT_TRUE(PlayOneBuffer());
    const std::optional<ScopeFrame> frame = ScopeFrameAt(*HeardFrame());
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->chipCount, 1);
    EXPECT_EQ(frame->chips[0].registers[1], 0x20);
    EXPECT_EQ(frame->chips[0].model, ScopeChipModel::DefaultModel);
    EXPECT_GE(frame->songMicros, 300'000);
    EXPECT_LE(frame->songMicros, 340'000);
    EXPECT_EQ(HeardSongMicros(), frame->songMicros);
    EXPECT_EQ(ScopeSamplesBefore(*HeardFrame(), 100).size(), 100u);
    StopPlayback();
    EXPECT_EQ(HeardFrame(), std::nullopt);
}

// The real machine's buffers are rendered in slices with the chips' state
// before each: every chip of a tune for three SIDs.
TEST_F(ScopePlaybackTest, TheRealMachinePublishesEveryChip) {
    SetMachineModel(MachineModel::Complete);
    Play("three_sids");
    ASSERT_TRUE(PlayOneBuffer());
    const std::optional<ScopeFrame> frame = ScopeFrameAt(*HeardFrame() + 3000);
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->chipCount, 3);
    EXPECT_EQ(frame->chips[0].address, 0xD400);
    EXPECT_NE(frame->chips[1].address, 0xD400);
    EXPECT_NE(frame->chips[0].model, ScopeChipModel::DefaultModel);
    EXPECT_NEAR(frame->clockHz, 985248.0, 1.0);
}

// A seek starts the song again without sound and renders up to its target;
// what follows is the song from there, as a render that never stopped has it.
TEST_F(ScopePlaybackTest, SeekingLandsOnTheSongTimeAndPlaysOnFromThere) {
    constexpr std::int64_t target = 1'234'000;
    std::vector<std::int16_t> reference(7056), render(4 * 7056);
    Load("subsongs");
    StartRendering();
    std::vector<std::int16_t> slice(441), sliceRender(4 * 441);
    while (playerState.tuneMicros < target) RenderSamples(slice.data(), 441, sliceRender.data());
    RenderSamples(reference.data(), 7056, render.data());
    StopPlayback();

    Restart();
    Play("subsongs");
    ASSERT_TRUE(PlayOneBuffer());
    BeginSeek(target);
    EXPECT_TRUE(Seeking());
    EXPECT_EQ(HeardFrame(), std::nullopt) << "silent while it seeks";
    int calls = 0;
    while (!ContinueSeek(1)) ++calls;
    EXPECT_GT(calls, 3) << "a buffer's worth at a time";
    EXPECT_FALSE(Seeking());
    EXPECT_TRUE(playerState.playing);
    EXPECT_GE(playerState.tuneMicros, target);
    EXPECT_LT(playerState.tuneMicros, target + 20'000);
    std::vector<std::int16_t> after(7056);
    FillBuffer(after.data(), 7056, render.data());
    // The output stage carries what played before the seek for its first
    // samples; after them the song is the same.
    EXPECT_TRUE(std::equal(after.begin() + 200, after.end(), reference.begin() + 200));
    // A stop in the middle ends the seek.
    BeginSeek(target);
    StopPlayback();
    EXPECT_TRUE(ContinueSeek(1));
    EXPECT_FALSE(playerState.playing);
}

}  // namespace
}  // namespace chipbox::test
