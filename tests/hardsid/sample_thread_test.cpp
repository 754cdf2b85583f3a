// SPDX-License-Identifier: GPL-2.0-or-later
// The sample thread's values, one at a time, on a clock the test moves: the
// nybble order, the address step, repeats, the level and the late flag.
#include <gtest/gtest.h>

#include <vector>

#include "core/c64_memory.h"
#include "playback/hardsid_timing.h"
#include "playback/sample_thread.h"
#include "sid/digi_registers.h"
#include "sid/hardsid_link.h"
#include "sid/sid_state.h"
#include "test_support.h"

namespace chipbox {
namespace {

std::vector<int> volumeWrites;

void RecordVolume(std::uint8_t, std::uint8_t reg, std::uint8_t value) {
    if (reg == 24) volumeWrites.push_back(value);
}

class FakeClock : public SampleClock {
public:
    std::int64_t Now() override { return now; }
    void WaitUntil(std::int64_t deadline, const std::atomic<bool>&) override { now = deadline; }
    std::int64_t now = 0;
};

class SampleThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetEngine();
        hardSidMode = true;
        writeToHardSid = RecordVolume;
        volumeWrites.clear();
        sampleDeadline = 0;
    }
    void TearDown() override { ResetEngine(); }

    // A sample of `bytes` at $2000 with `period` cycles per value.
    void StartSample(std::initializer_list<std::uint8_t> bytes, int order, int step = 0,
                     int period = 985) {
        test::Poke(0x2000, bytes);
        DigiRegisters& d = digiRegisters;
        d.startAddress.live = 0x2000;
        d.endAddress.live = 0x2000 + static_cast<int>(bytes.size());
        d.currentAddress = 0x2000;
        d.nybbleOrder.live = order;
        d.nybbleSelector = order == 0 ? 0 : 1;
        d.addressStep.live = step;
        d.period.live = period;
        d.sampleActive = 1;
    }

    std::vector<int> PlayAll() {
        while (PlaySampleValue(late, clock)) {
        }
        return volumeWrites;
    }

    FakeClock clock;
    bool late = false;
};

// The nybble order, an address step (one nybble per step: the second value
// on, the low nybbles), repeats from $2001, and the level on top of the saved
// filter bits.
TEST_F(SampleThreadTest, EachValueFollowsOrderStepRepeatsAndLevel) {
    struct Row {
        const char* name;
        std::initializer_list<std::uint8_t> bytes;
        int order, step, repeats, level, filterBits;
        std::vector<int> values;
    };
    const Row rows[] = {
        {"low first", {0x21, 0x43}, 0, 0, 0, 1, 0, {1, 2, 3, 4}},
        {"high first", {0x21, 0x43}, 1, 0, 0, 1, 0, {2, 1, 4, 3}},
        {"address step", {0x21, 0x43, 0x65, 0x87}, 0, 2, 0, 1, 0, {1, 5}},
        {"repeats", {0x21, 0x43}, 0, 0, 2, 1, 0, {1, 2, 3, 4, 3, 4, 3, 4}},
        {"the lowest level", {0xF0}, 0, 0, 0, 15, 0xF0, {0xF0 | 14, 0xF0 | 15}},
    };
    for (const Row& row : rows) {
        volumeWrites.clear();
        savedVolumeHigh = static_cast<std::uint8_t>(row.filterBits);
        SetDigiLevel(row.level);
        StartSample(row.bytes, row.order, row.step);
        digiRegisters.repeatCount.live = row.repeats;
        digiRegisters.repeatAddress.live = 0x2001;
        EXPECT_EQ(PlayAll(), row.values) << row.name;
        EXPECT_EQ(digiRegisters.repeatCount.live, 0) << row.name;
    }
}

// Each value has its moment, period x 1e9 / 985,248 counts after the last.
// A thread that falls behind skips values but keeps advancing, so the
// sample still ends on time.
TEST_F(SampleThreadTest, ALateValueIsSkippedAndTheScheduleKept) {
    StartSample({0x21, 0x43, 0x65}, 0);
    ASSERT_TRUE(PlaySampleValue(late, clock));
    EXPECT_EQ(clock.now, 985 * 1'000'000'000LL / 985248);
    clock.now += 5'000'000;  // the thread was held up for 5 ms
    ASSERT_TRUE(PlaySampleValue(late, clock));
    EXPECT_TRUE(late);
    ASSERT_TRUE(PlaySampleValue(late, clock));  // consumed without a write
    EXPECT_EQ(volumeWrites, (std::vector<int>{1, 2}));
    EXPECT_EQ(digiRegisters.currentAddress, 0x2001);
    EXPECT_EQ(sampleDeadline, 3 * (985 * 1'000'000'000LL / 985248));
}

TEST_F(SampleThreadTest, NothingPlaysWhileNoSampleSounds) {
    StartSample({0x21}, 0);
    digiRegisters.sampleActive = 0;
    EXPECT_FALSE(PlaySampleValue(late, clock));
    digiRegisters.sampleActive = 1;
    digiRegisters.currentAddress = 0x1FFF;  // before the start
    EXPECT_FALSE(PlaySampleValue(late, clock));
    EXPECT_TRUE(volumeWrites.empty());
}

TEST(HardSidClockTest, EachTimingGetsItsClock) {
    struct Row {
        bool cia;
        std::uint16_t timer;
        HardSidClockKind kind;
        int millis, micros;
        PriorityClass priority;
    };
    using enum HardSidClockKind;
    const Row rows[] = {
        {false, 0x1234, Timer, 20, 0, PriorityClass::High},
        {true, 19656, Timer, 20, 0, PriorityClass::High},  // 20.2 ms, truncated
        {true, 9728, Timer, 10, 0, PriorityClass::High},
        {true, 9727, TimingThread, 0, 9998, PriorityClass::Normal},
        {true, 1, TimingThread, 0, 1, PriorityClass::Normal},
        {true, 0, Timer, 16, 0, PriorityClass::High},
    };
    for (const Row& row : rows) {
        const HardSidClock clock = ChooseHardSidClock(row.cia, row.timer);
        EXPECT_EQ(clock.kind, row.kind) << row.timer;
        EXPECT_EQ(clock.timerMillis, row.millis) << row.timer;
        EXPECT_EQ(clock.threadPeriodMicros, row.micros) << row.timer;
        EXPECT_EQ(clock.priorityClass, row.priority) << row.timer;
    }
}

}  // namespace
}  // namespace chipbox
