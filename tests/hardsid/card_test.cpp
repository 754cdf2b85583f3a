// SPDX-License-Identifier: GPL-2.0-or-later
// The player against the stand-in card library, found through
// LD_LIBRARY_PATH: one suite per variant (see CMakeLists.txt).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <utility>

#include "playback/hardsid_binding.h"
#include "playback/hardsid_timing.h"
#include "playback/sample_thread.h"
#include "playback_fixture.h"
#include "sid/hardsid_link.h"
#include "sid/sid_write.h"
#include "stand_in_card.h"

namespace chipbox {
namespace {

using test::CardCall;

std::vector<CardCall> WritesTo(int reg) {
    std::vector<CardCall> writes;
    for (const CardCall& call : test::StandInCardCalls())
        if (call.kind == CardCall::Write && call.reg == reg) writes.push_back(call);
    return writes;
}

// HardSID time that the test moves: it makes the timer's ticks itself, on
// its own thread, and sets the counter the timing thread waits on.
class DrivenTime final : public HardSidTime {
public:
    void StartTicks(std::chrono::nanoseconds every, std::function<void()> tick) override {
        period = every;
        tick_ = std::move(tick);
    }
    void StopTicks() override { tick_ = nullptr; }
    std::int64_t Now() override { return now; }

    void Tick(int count) {
        for (int i = 0; i < count && tick_; ++i) tick_();
    }

    std::chrono::nanoseconds period{0};
    std::atomic<std::int64_t> now{0};

private:
    std::function<void()> tick_;
};

class CardTest : public test::PlaybackTest {
protected:
    void SetUp() override {
        PlaybackTest::SetUp();
        ASSERT_EQ(BindHardSid(), HardSidBindResult::Bound);
        SetOutput(Output::HardSid);
        UseHardSidTime(&time);
        test::ClearStandInCard();
    }
    void TearDown() override {
        StopPlayback();
        UseHardSidTime(nullptr);
        SetOutput(Output::Software);
    }
    // Waits, boundedly, until the play calls reach `count`.
    bool PlayCallsReach(int count) {
        for (int i = 0; i < 2000 && PlayCalls() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return PlayCalls() == count;
    }

    DrivenTime time;
};

using BoundCard = CardTest;

TEST_F(BoundCard, StartZeroesTheRegistersThenPauseResumeAndStopSetTheVolume) {
    Load("minimal");
    test::ClearStandInCard();
    StartPlayback();
    const std::vector<CardCall> start = test::StandInCardCalls();
    // StartPlayback's volume, the tune's init (its last write is the volume),
    // then the card's reset: registers 0 to 23 at 0 and the volume at 15.
    ASSERT_GE(start.size(), 1 + 8 + 25u);
    auto write = [&start](int i) { return std::pair<int, int>(start[i].reg, start[i].value); };
    EXPECT_EQ(write(0), std::pair(24, 0x0F));
    for (int reg = 0; reg < 24; ++reg) EXPECT_EQ(write(9 + reg), std::pair(reg, 0));
    EXPECT_EQ(write(33), std::pair(24, 0x0F));
    EXPECT_EQ(start[34].reg, 0);  // the first play call, straight away
    EXPECT_FALSE(audioStream.open);

    test::ClearStandInCard();
    TogglePause();
    TogglePause();
    StopPlayback();
    const std::vector<CardCall> volume = WritesTo(24);
    ASSERT_EQ(volume.size(), 4u);
    EXPECT_EQ(volume[0].value, 0x00);  // pause
    EXPECT_EQ(volume[1].value, 0xFF);  // resume
    EXPECT_EQ(volume[2].value, 0x00);  // stop, twice, 10 ms apart
    EXPECT_EQ(volume[3].value, 0x00);
    EXPECT_GE(volume[3].nanoseconds - volume[2].nanoseconds, 10'000'000);
}

// A vertical-blank tune is played by a timer of 20 ms: the first call at
// the start, then at 2x two per tick; a paused tick makes none, and after
// the stop no tick comes.
TEST_F(BoundCard, TheTimerMakesThePlayCallsAndAStopEndsThem) {
    Load("minimal");
    SetPlaybackSpeed(2);
    StartPlayback();
    EXPECT_EQ(time.period, std::chrono::milliseconds(20));
    EXPECT_EQ(PlayCalls(), 1);
    time.Tick(3);
    EXPECT_EQ(PlayCalls(), 1 + 2 * 3);
    TogglePause();
    time.Tick(2);
    EXPECT_EQ(PlayCalls(), 7);
    TogglePause();
    StopPlayback();
    time.Tick(1);
    EXPECT_EQ(PlayCalls(), 7);
}

// Frames under 10 ms are played by the timing thread: one call per frame the
// counter passes, none while paused, and a stop ends it from its pause loop.
TEST_F(BoundCard, TheTimingThreadFollowsItsCounterAndAStopDuringPauseEndsIt) {
    Load("cia_short_frame");  // 9,998 microsecond frames
    StartPlayback();
    const std::int64_t frame = 9'998'000;
    // The first call at the start, the thread's first at once, one per frame.
    ASSERT_TRUE(PlayCallsReach(2));
    time.now = 3 * frame + 1;
    ASSERT_TRUE(PlayCallsReach(5));
    TogglePause();
    time.now = 6 * frame + 1;  // ends the thread's wait; it pauses instead of playing
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(PlayCalls(), 5);
    StopPlayback();  // returns only once the thread has ended
    EXPECT_EQ(PlayCalls(), 5);
    EXPECT_EQ(WritesTo(24).back().value, 0);
}

TEST_F(BoundCard, AMutedVoiceReachesTheCardWithoutItsGate) {
    Load("minimal");
    SidWrite(11, 0x41);     // voice 2 gated
    SetVoiceMute(1, true);  // released on the card
    SidWrite(11, 0x41);     // the tune gates it again: the card keeps it released
    SidWrite(4, 0x41);      // voice 1 is not muted
    SidWrite(11, 0x40);
    SetVoiceMute(1, false);  // the gate it had when muted comes back
    std::vector<int> values;
    for (const CardCall& call : test::StandInCardCalls()) values.push_back(call.value);
    EXPECT_EQ(values, (std::vector<int>{0x41, 0x40, 0x40, 0x41, 0x40, 0x41}));
}

// The tune's sample command starts the sample thread; it writes the values
// into the volume register and a stop ends it with a last 0.
TEST_F(BoundCard, TheSampleThreadPlaysTheTunesSampleUntilTheStop) {
    Load("digi");
    StartPlayback();
    EXPECT_TRUE(sampleThreadRunning);
    for (int i = 0; i < 2000 && WritesTo(24).size() < 8; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    StopPlayback();
    EXPECT_FALSE(sampleThreadRunning);
    std::vector<int> values;
    for (const CardCall& call : WritesTo(24)) values.push_back(call.value);
    // $F0 $F0 $0F $0F ...: nybbles 0 and 15 on top of the tune's volume 0. A
    // value whose moment has passed is skipped, as on a busy machine, so
    // their order is not sure.
    ASSERT_GE(values.size(), 8u);
    EXPECT_NE(std::find(values.begin(), values.end(), 0x00), values.end());
    EXPECT_TRUE(
        std::all_of(values.begin(), values.end(), [](int v) { return v == 0x00 || v == 0x0F; }));
    EXPECT_NE(std::find(values.begin(), values.end(), 0x0F), values.end());
    EXPECT_EQ(values.back(), 0);
}

TEST(CorruptCard, ALibraryWithoutItsWriteEntryIsNotBound) {
    ResetHardSidBinding();
    EXPECT_EQ(BindHardSid(), HardSidBindResult::Corrupt);
    EXPECT_FALSE(HardSidBound());
    EXPECT_EQ(writeToHardSid.load(), nullptr);
    EXPECT_TRUE(test::StandInCardCalls().empty());  // the mapper was not initialised
}

TEST(MapperlessCard, ALibraryWithoutTheMapperBindsWithoutIt) {
    ResetHardSidBinding();
    EXPECT_EQ(BindHardSid(), HardSidBindResult::Bound);
    EXPECT_EQ(BindHardSid(), HardSidBindResult::Bound);  // at most once
    EXPECT_TRUE(HardSidBound());
    EXPECT_TRUE(test::StandInCardCalls().empty());
}

TEST(MissingCard, NoLibraryIsNotFound) {
    ResetHardSidBinding();
    EXPECT_EQ(BindHardSid(), HardSidBindResult::NotFound);
    EXPECT_FALSE(HardSidBound());
}

}  // namespace
}  // namespace chipbox
