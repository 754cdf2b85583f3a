// SPDX-License-Identifier: GPL-2.0-or-later
// Tunes built to make the player work without end. The work per second of
// audio stays bounded: counted in executed instructions, not in time.
#include "core/routine_call.h"
#include "playback_fixture.h"
#include "sid/sid_render.h"

namespace chipbox {
namespace {

using test::PlaybackTest;

// At 1x a second of audio has fifty default frames, each allowed one play
// call's limits; shorter frames share the same allowance.
constexpr double MOST_INSTRUCTIONS_PER_SECOND = 50.0 * ROUTINE_INSTRUCTION_LIMIT;

std::uint64_t InstructionsForOneBuffer() {
    const std::uint64_t before = ExecutedInstructions();
    test::FillOneBuffer();
    return ExecutedInstructions() - before;
}

constexpr double BUFFER_SECONDS = double(STREAM_BUFFER_SAMPLES) / OUTPUT_RATE;

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
    EXPECT_LE(instructions, MOST_INSTRUCTIONS_PER_SECOND * BUFFER_SECONDS);
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

}  // namespace
}  // namespace chipbox
