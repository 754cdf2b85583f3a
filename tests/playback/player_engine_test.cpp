// SPDX-License-Identifier: GPL-2.0-or-later
// The engine driven through its commands, its view and the texts it shows;
// its stream on the step-by-step device and a WAV file; tunes that try to
// keep it busy; the complete machine's play rate.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "core/c64_memory.h"
#include "core/machine_model.h"
#include "core/routine_call.h"
#include "core/tune_info.h"
#include "platform/wav_file_device.h"
#include "playback/play_rate.h"
#include "playback/player_engine.h"
#include "playback/player_texts.h"
#include "playback_fixture.h"
#include "sid/sid_render.h"
#include "sid/sid_state.h"
#include "test_support.h"

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
    EXPECT_EQ(LoadTune(bad, true).problem, TuneFileProblem::Rsid);
    EXPECT_EQ(currentTunePath, bad);
    EXPECT_EQ(view.messages.back(), bad + "\nis not a valid PSID File!");
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

TEST_F(PlaybackTest, UndocumentedOpcodesEndEachPlayCallAtTheInstructionLimit) {
    Load("undocumented_spin");
    StartPlayback();
    EXPECT_EQ(InstructionsForOneBuffer(), 8u * ROUTINE_INSTRUCTION_LIMIT);  // 8 frames
    EXPECT_EQ(playerState.cycleTally, 0);  // cut-off calls add nothing to the bar
}

TEST_F(PlaybackTest, TinyCiaFramesGetTheirShareOfTheLimitsOnly) {
    Load("tiny_cia_frame");
    StartPlayback();
    const int before = PlayCalls();
    const std::uint64_t instructions = InstructionsForOneBuffer();
    EXPECT_EQ((PlayCalls() - before) & 0xFF, STREAM_BUFFER_SAMPLES & 0xFF);  // one call a sample
    EXPECT_LE(instructions, MOST_INSTRUCTIONS_PER_SECOND * STREAM_BUFFER_SAMPLES / OUTPUT_RATE);
    // A frame of 2 microseconds: a hundredth of a percent of the default limits.
    EXPECT_EQ(PlayCallLimits(2).cycles, 200u);
    EXPECT_EQ(PlayCallLimits(2).instructions, 400u);
    EXPECT_EQ(PlayCallLimits(2500).cycles, 250'000u);
    EXPECT_EQ(PlayCallLimits(DEFAULT_FRAME_MICROS).cycles, std::uint32_t{ROUTINE_CYCLE_LIMIT});
    EXPECT_EQ(PlayCallLimits(67367).instructions, std::uint32_t{ROUTINE_INSTRUCTION_LIMIT});
}

// The tally of a buffer's play calls once overflowed 32 bits; whatever it
// reaches, the bar shows a full 100.
TEST(CpuLoadTest, ShowsOneForNoCyclesAndAFullBarFrom31504On) {
    EXPECT_EQ(CpuLoadValue(0), 1);
    EXPECT_EQ(CpuLoadValue(31503), 99);
    EXPECT_EQ(CpuLoadValue(31504), 100);
    EXPECT_EQ(CpuLoadValue(std::int64_t{STREAM_BUFFER_SAMPLES} * ROUTINE_CYCLE_LIMIT), 100);
}

TEST(PlayerTextsTest, RecordedPathKeepsSlashedPathsAndPutsBareNamesInTheDirectory) {
    EXPECT_EQ(RecordTunePath("/music/tune.sid", "/home/user"), "/music/tune.sid");
    EXPECT_EQ(RecordTunePath("sub/tune.sid", "/home/user"), "sub/tune.sid");
    EXPECT_EQ(RecordTunePath("tune.sid", "/home/user"), "/home/user/tune.sid");
    EXPECT_EQ(RecordTunePath("tune.sid", "/"), "/tune.sid");
    std::string directory(301, 'd');
    directory.front() = '/';
    const std::string recorded = RecordTunePath("tune.sid", directory);
    EXPECT_EQ(recorded.size(), directory.size() + 9);  // kept whole
    EXPECT_EQ(TuneWindowTitle(recorded), "tune.sid - Chipbox v0.965");
}

TEST(PlayerTextsTest, LoadMessagesNameThePathAsGiven) {
    const LoadMessage missing = LoadFailureMessage(TuneFileProblem::CannotOpen, "x.sid");
    EXPECT_EQ(missing.text, "x.sid\ncould not be loaded...");
    EXPECT_EQ(missing.caption, "Warning");
    EXPECT_EQ(LoadFailureMessage(TuneFileProblem::IsDirectory, "d").caption, "Warning");
    for (TuneFileProblem problem :
         {TuneFileProblem::NotPsid, TuneFileProblem::Rsid, TuneFileProblem::TooLarge}) {
        const LoadMessage invalid = LoadFailureMessage(problem, "x.sid");
        EXPECT_EQ(invalid.text, "x.sid\nis not a valid PSID File!");
        EXPECT_EQ(invalid.caption, "?! Load Error");
    }
}

TEST(PlayerTextsTest, SubsongsCountFromOneAndSongInformationWithoutATuneAndForOne) {
    EXPECT_EQ(SubsongText(255, 255), "256 / 256");
    test::ResetMachine();
    EXPECT_EQ(SongInformationText(),
              "Start Address: $0000\nEnd Address: $0000\n\nInit Address: $1000\n"
              "Play Address: $1003\n\nSong Size: 0 bytes (0 blocks)");
    tuneInfo.loadAddress = 0xFF00;
    tuneInfo.dataSize = 0x101;
    tuneInfo.playAddress = 0xC01F;
    EXPECT_EQ(SongInformationText(),
              "Start Address: $FF00\nEnd Address: $10001\n\nInit Address: $1000\n"
              "Play Address: $C01F\n\nSong Size: 257 bytes (2 blocks)");
}

// The complete machine's play rate: the clock and frame of the tune's video
// standard, CIA frames of timer + 1 cycles, and no time lost to truncation.
constexpr std::uint16_t NTSC_FLAGS = 2 << 2;

class PlayRateTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::ResetMachine();
        ResetPlayer();
        completeMachine = true;
    }
    void TearDown() override { test::ResetMachine(); }

    void Tune(bool cia, std::uint16_t flags, std::uint16_t timer) {
        tuneInfo.ciaTiming = cia;
        tuneInfo.flags = flags;
        c64Memory.bytes[CIA1_TIMER_A_LOW] = static_cast<std::uint8_t>(timer);
        c64Memory.bytes[CIA1_TIMER_A_HIGH] = static_cast<std::uint8_t>(timer >> 8);
    }
};

TEST_F(PlayRateTest, FramesFollowTheVideoStandardAndTheTimer) {
    struct Row {
        bool cia;
        std::uint16_t flags, timer;
        std::uint32_t clock, cycles;
    };
    const Row rows[] = {
        {false, 0, 0x1234, PAL_CLOCK, 19656},
        {false, NTSC_FLAGS, 0, NTSC_CLOCK, 17045},
        {false, 3 << 2, 0, PAL_CLOCK, 19656},  // "PAL and NTSC" plays as PAL
        {true, 0, 0x4CC7, PAL_CLOCK, 0x4CC8},
        {true, 0, 0, PAL_CLOCK, 0x4026},  // the ROM's value after reset
        {true, NTSC_FLAGS, 0, NTSC_CLOCK, 0x4296},
    };
    for (const Row& row : rows) {
        Tune(row.cia, row.flags, row.timer);
        const MachineFrame frame = CompleteMachineFrame();
        EXPECT_EQ(frame.clock, row.clock) << row.timer;
        EXPECT_EQ(frame.cycles, row.cycles) << row.timer;
    }
}

// Over a minute of tune time the samples stay within one of the exact count.
TEST_F(PlayRateTest, AMinuteOfTuneTimeGetsItsExactSamples) {
    struct Row {
        bool cia;
        std::uint16_t flags, timer;
        int speed;
    };
    for (const Row& row :
         {Row{false, 0, 0, 1}, Row{false, NTSC_FLAGS, 0, 1}, Row{true, 0, 0x0100, 1},
          Row{true, NTSC_FLAGS, 0x2F00, 2}, Row{false, 0, 0, 4}}) {
        Tune(row.cia, row.flags, row.timer);
        SetPlaybackSpeed(row.speed);
        const MachineFrame frame = CompleteMachineFrame();
        const std::uint64_t calls = 60ull * frame.clock / frame.cycles;
        std::uint64_t fraction = 0, samples = 0, micros = 0;
        for (std::uint64_t call = 0; call < calls; ++call) {
            const PlayFrame played = NextPlayFrame(fraction);
            samples += played.samples;
            micros += played.micros;
        }
        const double exact = double(calls) * frame.cycles * 44100 / frame.clock / row.speed;
        EXPECT_LT(std::abs(double(samples) - exact), 1.0)
            << row.timer << " at " << row.speed << "x";
        EXPECT_NEAR(micros / 1e6, 60.0, 0.02 + calls / 1e6);
    }
}

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
