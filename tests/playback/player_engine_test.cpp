// SPDX-License-Identifier: GPL-2.0-or-later
#include <utility>

#include "playback_fixture.h"
#include "sid/sid_state.h"

namespace chipbox {
namespace {

using test::PlaybackTest;

TEST(FrameLengthTest, FollowsTheCiaTimerForCiaTunesOnly) {
    test::ResetMachine();
    struct Row {
        int timer;
        bool cia;
        std::int32_t micros, at1, at2, at4;
    };
    const Row rows[] = {
        {0x1234, false, 20000, 882, 441, 220},
        {0, true, 20000, 882, 441, 220},
        {19456, true, 20000, 882, 441, 220},
        {19656, true, 20205, 891, 445, 222},
        {9728, true, 10000, 441, 220, 110},
        {48640, true, 50000, 2204, 1102, 551},
        {65535, true, 67367, 2970, 1485, 742},
        {22, true, 22, 1, 1, 1},  // shorter than a sample: still one per play call
        {1, true, 1, 1, 1, 1},
    };
    for (const Row& row : rows) {
        c64Memory.bytes[0xDC04] = static_cast<std::uint8_t>(row.timer);
        c64Memory.bytes[0xDC05] = static_cast<std::uint8_t>(row.timer >> 8);
        tuneInfo.ciaTiming = row.cia;
        const std::int32_t micros = FrameMicros();
        EXPECT_EQ(micros, row.micros) << row.timer;
        EXPECT_EQ(SamplesPerPlayCall(micros, 1), row.at1) << row.timer;
        EXPECT_EQ(SamplesPerPlayCall(micros, 2), row.at2) << row.timer;
        EXPECT_EQ(SamplesPerPlayCall(micros, 4), row.at4) << row.timer;
    }
}

// A speed change acts at the next frame and keeps the carried samples.
TEST_F(PlaybackTest, CiaTuneCarriesTheRestOfAFrameIntoTheNextBuffer) {
    Load("cia_timed");
    StartPlayback();
    const int before = PlayCalls();
    test::FillOneBuffer();
    EXPECT_EQ(PlayCalls() - before, 8);  // 7 whole frames of 891 and 819 samples of the 8th
    EXPECT_EQ(playerState.carrySamples, 72);
    test::FillOneBuffer();
    EXPECT_EQ(PlayCalls() - before, 16);  // (7056 - 72) / 891 = 7.8: 8 more calls
    EXPECT_EQ(playerState.carrySamples, 8 * 891 - (7056 - 72));
    SetPlaybackSpeed(2);
    test::FillOneBuffer();
    EXPECT_EQ(PlayCalls() - before, 32);  // 144 carried, then frames of 445
    EXPECT_EQ(playerState.carrySamples, 16 * 445 - (7056 - 144));
}

// A second stop writes nothing more.
TEST_F(PlaybackTest, StopSilencesTheChipOnce) {
    Load("minimal");
    StartPlayback();
    Pump();
    StopPlayback();
    EXPECT_EQ(registerImage.values[24], 0);
    EXPECT_FALSE(playerState.playing);
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

TEST_F(PlaybackTest, NextAndPreviousStopAtTheEnds) {
    Load("subsongs");  // three songs, starting at the second
    ChangeSong(+1);
    EXPECT_EQ(tuneInfo.currentSong, 2);
    EXPECT_EQ(ReadMemory(0x0380), 2);  // init ran with the new song
    EXPECT_EQ(view.subsong, "3 / 3");
    ChangeSong(+1);
    EXPECT_EQ(tuneInfo.currentSong, 2);
    ChangeSong(-1);
    ChangeSong(-1);
    ChangeSong(-1);
    EXPECT_EQ(tuneInfo.currentSong, 0);
    EXPECT_EQ(view.subsong, "1 / 3");
    EXPECT_TRUE(queue.empty());  // stopped: no Play was posted
}

TEST_F(PlaybackTest, SongChangeWhilePlayingRestartsWithTheNewSong) {
    Load("subsongs");
    StartPlayback();
    Pump();
    ChangeSong(+1);
    Pump();  // the old stream's notifications, then the posted Play
    EXPECT_TRUE(playerState.playing);
    EXPECT_TRUE(audioStream.open);
    EXPECT_EQ(audioStream.state, StreamState::Running);
    EXPECT_EQ(device.queued.size(), 2u);
    EXPECT_EQ(sidState.voiceRegisters[0].frequency >> 8, 0x40);
}

TEST_F(PlaybackTest, LoadTuneRecordsThePathEvenWhenTheFileIsRejected) {
    Load("minimal");
    const std::string bad = test::WriteTempFile("bad.sid", {'R', 'S', 'I', 'D'});
    EXPECT_EQ(LoadTune(bad, true).problem, TuneFileProblem::Rsid);
    EXPECT_EQ(currentTunePath, bad);
    EXPECT_EQ(view.messages.back(), bad + "\nis not a valid PSID File!");
    EXPECT_EQ(tuneInfo.name, "Minimal");  // the previous tune stays loaded
    EXPECT_TRUE(queue.empty());
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
    Load("minimal");
    StartPlayback();
    Pump();
    ExitPlayback();
    EXPECT_FALSE(playerState.playing);
    EXPECT_EQ(ReadMemory(0x0380), 0);  // memory restored and init run
    EXPECT_EQ(audioStream.state, StreamState::Closed);
}

TEST_F(PlaybackTest, LoadingATuneWhileOnePlaysStopsItAndStartsTheNewOne) {
    Load("minimal");
    PlayPauseCommand();
    Pump();
    const std::string bad = test::WriteTempFile("bad.sid", {'P', 'S', 'I'});
    EXPECT_FALSE(LoadTune(bad, true).loaded());
    EXPECT_TRUE(playerState.playing);  // a file that is no tune leaves it playing
    ASSERT_TRUE(LoadTune(test::TunePath("subsongs"), true).loaded());
    EXPECT_FALSE(playerState.playing);
    EXPECT_FALSE(device.open);
    Pump();  // the posted Play
    EXPECT_TRUE(playerState.playing);
    EXPECT_EQ(view.title, "subsongs.sid - Chipbox v0.965");
    EXPECT_EQ(view.subsong, "2 / 3");
    EXPECT_EQ(sidState.voiceRegisters[0].frequency >> 8, 0x20);  // the second song's init ran
}

TEST_F(PlaybackTest, AStopDropsTheSamplesCarriedFromTheLastFrame) {
    Load("cia_timed");
    StartPlayback();
    Pump();
    ASSERT_NE(playerState.carrySamples, 0);
    StopPlayback();
    EXPECT_EQ(playerState.carrySamples, 0);
    StartPlayback();
    test::FillOneBuffer();
    EXPECT_EQ(PlayCalls(), 8);  // a fresh start: 7 whole frames and part of the 8th
    EXPECT_EQ(playerState.carrySamples, 72);
}

}  // namespace
}  // namespace chipbox
