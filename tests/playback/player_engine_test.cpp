// SPDX-License-Identifier: GPL-2.0-or-later
// The engine driven through its commands and its view, and tunes that try
// to keep it busy.
#include <gtest/gtest.h>

#include <utility>

#include "core/routine_call.h"
#include "playback/player_engine.h"
#include "playback_fixture.h"
#include "sid/sid_render.h"
#include "sid/sid_state.h"
#include "test_support.h"

namespace chipbox {
namespace {

using test::PlaybackTest;

// A speed change acts at the next frame and keeps the carried samples.
TEST_F(PlaybackTest, CiaTuneCarriesTheRestOfAFrameIntoTheNextBuffer) {
    Load("cia_timed");
    StartPlayback();
    test::FillOneBuffer();
    EXPECT_EQ(PlayCalls(), 8);  // 7 whole frames of 891 and 819 samples of the 8th
    EXPECT_EQ(playerState.carrySamples, 72);
    test::FillOneBuffer();
    EXPECT_EQ(PlayCalls(), 16);  // (7056 - 72) / 891 = 7.8: 8 more calls
    EXPECT_EQ(playerState.carrySamples, 8 * 891 - (7056 - 72));
    SetPlaybackSpeed(2);
    test::FillOneBuffer();
    EXPECT_EQ(PlayCalls(), 32);  // 144 carried, then frames of 445
    EXPECT_EQ(playerState.carrySamples, 16 * 445 - (7056 - 144));
}

// The buffers handed back at a stop take what was carried, and a fresh start
// begins with whole frames.
TEST_F(PlaybackTest, AStopDropsTheSamplesCarriedFromTheLastFrame) {
    Play("cia_timed");
    ASSERT_NE(playerState.carrySamples, 0);
    StopPlayback();
    EXPECT_EQ(playerState.carrySamples, 0);
    StartPlayback();
    test::FillOneBuffer();
    EXPECT_EQ(PlayCalls(), 8);
    EXPECT_EQ(playerState.carrySamples, 72);
}

// A second stop writes nothing more.
TEST_F(PlaybackTest, StopSilencesTheChipOnce) {
    Play("minimal");
    StopPlayback();
    EXPECT_EQ(registerImage.values[24], 0);
    registerImage.values.fill(0xEE);
    view.calls.clear();
    StopPlayback();
    for (std::uint8_t value : registerImage.values) EXPECT_EQ(value, 0xEE);
    EXPECT_TRUE(view.calls.empty());
}

TEST_F(PlaybackTest, PauseThenStopThenPlayStartsAgainFromInit) {
    Load("minimal");
    PlayPauseCommand();
    Pump();
    PlayOneBuffer();
    EXPECT_EQ(PlayCalls(), 24);
    PlayPauseCommand();  // pause
    EXPECT_TRUE(playerState.paused);
    StopPlayback();
    Pump();
    PlayPauseCommand();  // a fresh start, not a resume
    EXPECT_FALSE(playerState.paused);
    Pump();
    EXPECT_EQ(PlayCalls(), 16);  // init reset the counter
}

// At the ends Next and Previous change nothing; while stopped a change posts
// no Play, while playing it restarts with the new song.
TEST_F(PlaybackTest, SongChangesStopAtTheEndsAndRestartAPlayingTune) {
    Load("subsongs");  // three songs, starting at the second
    ChangeSong(+1);
    EXPECT_EQ(tuneInfo.currentSong, 2);
    EXPECT_EQ(ReadMemory(0x0380), 2);  // init ran with the new song
    EXPECT_EQ(view.subsong, "3 / 3");
    ChangeSong(+1);
    EXPECT_EQ(tuneInfo.currentSong, 2);
    for (int i = 0; i < 3; ++i) ChangeSong(-1);
    EXPECT_EQ(tuneInfo.currentSong, 0);
    EXPECT_EQ(view.subsong, "1 / 3");
    EXPECT_TRUE(queue.empty());

    StartPlayback();
    Pump();
    ChangeSong(+1);
    Pump();  // the old stream's notifications, then the posted Play
    EXPECT_TRUE(playerState.playing);
    EXPECT_EQ(audioStream.state, StreamState::Running);
    EXPECT_EQ(device.queued.size(), 2u);
    EXPECT_EQ(sidState.voiceRegisters[0].frequency >> 8, 0x20);  // the second song's
}

// A file that is no tune is reported with its path recorded, and the tune
// before stays loaded and playing; a tune that loads stops it and starts.
TEST_F(PlaybackTest, LoadingWhilePlayingKeepsTheTuneOnABadFileAndChangesOnAGoodOne) {
    Load("minimal");
    PlayPauseCommand();
    Pump();
    const std::string bad = test::WriteTempFile("bad.sid", {'R', 'S', 'I', 'D'});
    EXPECT_EQ(LoadTune(bad, true).problem, TuneFileProblem::InvalidRsid);
    EXPECT_EQ(currentTunePath, bad);
    EXPECT_EQ(view.messages.back(), bad + "\nis not a valid RSID File!");
    EXPECT_EQ(tuneInfo.name, "Minimal");
    EXPECT_TRUE(playerState.playing);
    EXPECT_TRUE(queue.empty());
    ASSERT_TRUE(LoadTune(test::TunePath("subsongs"), true).loaded());
    EXPECT_FALSE(playerState.playing);
    EXPECT_FALSE(device.open);
    Pump();  // the posted Play
    EXPECT_TRUE(playerState.playing);
    EXPECT_EQ(view.title, "subsongs.sid - Chipbox v0.965");
    EXPECT_EQ(view.subsong, "2 / 3");
    EXPECT_EQ(sidState.voiceRegisters[0].frequency >> 8, 0x20);  // the second song's init ran
}

// Every call the engine makes of its view, in order, through a load, a play,
// a pause and resume, and a stop: the bar shows each fill's predecessor.
TEST_F(PlaybackTest, ViewCallsFollowTheCommandsInOrder) {
    using Calls = std::vector<std::string>;
    const auto taken = [this] { return std::exchange(view.calls, {}); };
    view.calls.clear();
    Load("minimal");
    EXPECT_EQ(taken(),
              (Calls{"Title minimal.sid - Chipbox v0.965", "Texts Minimal", "Subsong 1 / 1"}));
    PlayPauseCommand();
    Pump();  // the open notification fills A (no calls yet), then B (8 calls)
    EXPECT_EQ(taken(), (Calls{"Button &Pause", "Bar 1", "Bar 2"}));
    TogglePause();
    EXPECT_EQ(taken(), (Calls{"Button &Play", "Bar 0"}));
    TogglePause();
    EXPECT_EQ(taken(), (Calls{"Button &Pause"}));
    StopPlayback();  // the handed-back buffers take the carried samples only
    EXPECT_EQ(taken(), (Calls{"Bar 2", "Bar 1", "Bar 0", "Button &Play", "Bar 0"}));
}

TEST_F(PlaybackTest, ExitWhilePlayingStopsAndRunsInitOnceMore) {
    Play("minimal");
    ExitPlayback();
    EXPECT_FALSE(playerState.playing);
    EXPECT_EQ(ReadMemory(0x0380), 0);  // memory restored and init run
    EXPECT_EQ(audioStream.state, StreamState::Closed);
}

// Tunes built to make the player work without end. The work per second of
// audio stays bounded: counted in executed instructions, not in time.
// At 1x a second of audio has fifty default frames, each allowed one play
// call's limits; shorter frames share the same allowance.
constexpr double MOST_INSTRUCTIONS_PER_SECOND = 50.0 * ROUTINE_INSTRUCTION_LIMIT;

std::uint64_t InstructionsForOneBuffer() {
    const std::uint64_t before = ExecutedInstructions();
    test::FillOneBuffer();
    return ExecutedInstructions() - before;
}

// At 4x a buffer holds four times the play calls, each allowed a quarter. A
// default frame makes 220 samples at 4x, not 220.5, so a buffer takes 33
// calls: within that rounding a second of audio costs what it does at 1x,
// whether the instruction limit ends the calls (undocumented opcodes) or the
// cycle limit (stores into the SID or the digi registers, which no skipped
// round can stand for).
TEST_F(PlaybackTest, HostileTunesCostTheSameWorkPerBufferAtEverySpeed) {
    for (const char* tune : {"undocumented_spin", "sid_write_storm", "digi_storm"}) {
        Load(tune);
        std::uint64_t atOneX = 0;
        for (const std::int32_t speed : {1, 2, 4}) {
            SetPlaybackSpeed(speed);
            StartPlayback();
            const std::uint64_t instructions = InstructionsForOneBuffer();
            if (speed == 1) atOneX = instructions;
            EXPECT_LE(instructions, 1.05 * atOneX) << tune << " at " << speed << "x";
            EXPECT_GE(instructions, 0.95 * atOneX) << tune << " at " << speed << "x";
            EXPECT_EQ(playerState.cycleTally, 0);  // cut-off calls add nothing to the bar
            StopPlayback();
        }
    }
    Load("undocumented_spin");
    SetPlaybackSpeed(4);
    StartPlayback();
    const std::uint64_t calls = (STREAM_BUFFER_SAMPLES + 219) / 220;
    EXPECT_EQ(InstructionsForOneBuffer(), calls * ROUTINE_INSTRUCTION_LIMIT / 4);
}

TEST_F(PlaybackTest, TinyCiaFramesGetTheirShareOfTheLimitsOnlyAtEverySpeed) {
    Load("tiny_cia_frame");
    for (const std::int32_t speed : {1, 4}) {
        SetPlaybackSpeed(speed);
        StartPlayback();
        const int before = PlayCalls();
        const std::uint64_t instructions = InstructionsForOneBuffer();
        EXPECT_EQ((PlayCalls() - before) & 0xFF, STREAM_BUFFER_SAMPLES & 0xFF);  // one a sample
        EXPECT_LE(instructions, MOST_INSTRUCTIONS_PER_SECOND * STREAM_BUFFER_SAMPLES / OUTPUT_RATE)
            << speed << "x";
        StopPlayback();
    }
    // A frame of 2 microseconds: a hundredth of a percent of the default limits.
    EXPECT_EQ(PlayCallLimits(2, 1).cycles, 200u);
    EXPECT_EQ(PlayCallLimits(2, 1).instructions, 400u);
    EXPECT_EQ(PlayCallLimits(2500, 1).cycles, 250'000u);
    EXPECT_EQ(PlayCallLimits(DEFAULT_FRAME_MICROS, 1).cycles, std::uint32_t{ROUTINE_CYCLE_LIMIT});
    EXPECT_EQ(PlayCallLimits(67367, 1).instructions, std::uint32_t{ROUTINE_INSTRUCTION_LIMIT});
    // A default frame at 4x stands for 5 ms of audio; 80 ms at 4x for 20 ms.
    EXPECT_EQ(PlayCallLimits(DEFAULT_FRAME_MICROS, 4).cycles, 500'000u);
    EXPECT_EQ(PlayCallLimits(2500, 2).instructions, 250'000u);
    EXPECT_EQ(PlayCallLimits(4 * DEFAULT_FRAME_MICROS, 4).cycles,
              std::uint32_t{ROUTINE_CYCLE_LIMIT});
}

}  // namespace
}  // namespace chipbox
