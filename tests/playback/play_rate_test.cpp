// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <cmath>

#include "core/c64_memory.h"
#include "core/machine_model.h"
#include "core/tune_info.h"
#include "playback/play_rate.h"
#include "playback/player_engine.h"
#include "test_support.h"

namespace chipbox {
namespace {

// How long a frame is. The default model: 20 ms, or the CIA timer's period
// for CIA tunes. The complete machine: the clock and frame of the tune's video
// standard, CIA frames of timer + 1 cycles, and no time lost to truncation.
constexpr std::uint16_t NTSC_FLAGS = 2 << 2;

class PlayRateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetEngine();
        SetMachineModel(MachineModel::Complete);
    }
    void TearDown() override { ResetEngine(); }

    void Tune(bool cia, std::uint16_t flags, std::uint16_t timer) {
        tuneInfo.ciaTiming = cia;
        tuneInfo.flags = flags;
        c64Memory.bytes[CIA1_TIMER_A_LOW] = static_cast<std::uint8_t>(timer);
        c64Memory.bytes[CIA1_TIMER_A_HIGH] = static_cast<std::uint8_t>(timer >> 8);
    }
};

TEST_F(PlayRateTest, TheDefaultModelFollowsTheCiaTimerForCiaTunesOnly) {
    SetMachineModel(MachineModel::Default);
    struct Row {
        int timer;
        bool cia;
        std::int32_t micros, at1, at2, at4;
    };
    // clang-format off
    const Row rows[] = {
        {0x1234, false, 20000, 882, 441, 220}, {0, true, 20000, 882, 441, 220},
        {19456, true, 20000, 882, 441, 220},   {19656, true, 20205, 891, 445, 222},
        {9728, true, 10000, 441, 220, 110},    {48640, true, 50000, 2204, 1102, 551},
        {65535, true, 67367, 2970, 1485, 742},
        {22, true, 22, 1, 1, 1}, {1, true, 1, 1, 1, 1},  // shorter than a sample: one per call
    };
    // clang-format on
    for (const Row& row : rows) {
        Tune(row.cia, 0, row.timer);
        const std::int32_t micros = FrameMicros();
        EXPECT_EQ(micros, row.micros) << row.timer;
        EXPECT_EQ(SamplesPerPlayCall(micros, 1), row.at1) << row.timer;
        EXPECT_EQ(SamplesPerPlayCall(micros, 2), row.at2) << row.timer;
        EXPECT_EQ(SamplesPerPlayCall(micros, 4), row.at4) << row.timer;
    }
}

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

}  // namespace
}  // namespace chipbox
