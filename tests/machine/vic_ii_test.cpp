// SPDX-License-Identifier: GPL-2.0-or-later
// The VIC-II as the processor meets it: the raster counter of each video
// standard, the raster interrupt's line and cycle, and the cycles it takes
// for bad lines and sprites.
#include <gtest/gtest.h>

#include "core/machine/bus.h"
#include "core/machine/vic_ii.h"

namespace chipbox {
namespace {

using machine::Bus;
using machine::VicII;
using machine::VideoStandard;

constexpr std::uint16_t CONTROL_1 = 0x11, RASTER = 0x12, SPRITE_ENABLE = 0x15,
                        INTERRUPT_FLAGS = 0x19, INTERRUPT_MASK = 0x1A;
constexpr std::uint64_t PAL_LINE = 63;

class VicTest : public ::testing::TestWithParam<VideoStandard> {
protected:
    VicTest() : vic(bus, GetParam()) { bus.Attach(machine::IoWindow::Vic, &vic); }

    std::uint64_t LineStart(std::uint32_t line) const {
        return std::uint64_t{line} * vic.timing().cyclesPerLine;
    }
    void Write(std::uint16_t reg, std::uint8_t value) {
        vic.WriteRegister(reg, value, bus.now());
    }
    std::uint8_t Read(std::uint16_t reg) { return vic.ReadRegister(reg, bus.now()); }
    // A read on `cycle`: returns the cycle it happened on.
    std::uint64_t ReadAt(std::uint64_t cycle) {
        bus.Idle(cycle);
        bus.Read(0x1000);
        return bus.now() - 1;
    }

    Bus bus;
    VicII vic;
};

TEST_P(VicTest, TheRasterCounterRunsThroughTheFrameWithItsNinthBitInD011) {
    const std::uint32_t lines = vic.timing().lines;
    EXPECT_EQ(vic.timing().cyclesPerLine, GetParam() == VideoStandard::Pal ? 63u : 65u);
    EXPECT_EQ(lines, GetParam() == VideoStandard::Pal ? 312u : 263u);
    bus.Idle(LineStart(0x105) + 30);
    EXPECT_EQ(Read(RASTER), 0x05);
    EXPECT_EQ(Read(CONTROL_1) & 0x80, 0x80);
    bus.Idle(LineStart(lines) + 1);  // the next frame
    EXPECT_EQ(Read(RASTER), 0x00);
    EXPECT_EQ(Read(CONTROL_1) & 0x80, 0x00);
}

// The compare fires in cycle 1 of its line (counted from 1), in line 0 a
// cycle later; $D019 shows it, $D01A lets it through to the IRQ line, and
// writing a 1 acknowledges it.
TEST_P(VicTest, TheRasterInterruptFiresAtTheStartOfItsLine) {
    Write(INTERRUPT_MASK, 0x01);
    Write(RASTER, 0x40);
    bus.Idle(LineStart(0x40));
    EXPECT_FALSE(bus.irq());
    bus.Idle(LineStart(0x40) + 1);
    EXPECT_TRUE(bus.irq());
    EXPECT_EQ(Read(INTERRUPT_FLAGS), 0xF1);
    Write(INTERRUPT_FLAGS, 0x01);
    EXPECT_FALSE(bus.irq());
    EXPECT_EQ(Read(INTERRUPT_FLAGS), 0x70);
    Write(RASTER, 0x00);
    const std::uint64_t frame = vic.timing().cyclesPerFrame();
    bus.Idle(frame + 1);
    EXPECT_FALSE(bus.irq());
    bus.Idle(frame + 2);
    EXPECT_TRUE(bus.irq());
}

// Setting the compare to the line the beam is in fires at once.
TEST_P(VicTest, ACompareWrittenForTheCurrentLineFiresAtOnce) {
    bus.Idle(LineStart(0x80) + 20);
    Write(RASTER, 0x80);
    EXPECT_EQ(Read(INTERRUPT_FLAGS) & 0x01, 0x01);
}

// With the display on in line $30, each line whose low bits match YSCROLL is
// a bad line: reads from cycle 12 (11 here) wait until cycle 55 (54 here);
// writes go on. With the display off, nothing is taken.
TEST_P(VicTest, BadLinesHoldReadsFromCycleTwelveToFiftyFive) {
    Write(CONTROL_1, 0x1B);  // display on, YSCROLL 3
    const std::uint64_t line = LineStart(0x33);
    EXPECT_EQ(ReadAt(line + 10), line + 10);
    EXPECT_EQ(ReadAt(line + 11), line + 54);
    EXPECT_EQ(ReadAt(LineStart(0x34) + 30), LineStart(0x34) + 30);  // no bad line
    bus.Idle(LineStart(0x3B) + 20);
    bus.Write(0x1000, 0);  // a write passes
    EXPECT_EQ(bus.now(), LineStart(0x3B) + 21);
    EXPECT_EQ(ReadAt(LineStart(0x3B) + 30), LineStart(0x3B) + 54);
}

TEST_P(VicTest, NoBadLinesWhenTheDisplayWasOffInLine30) {
    Write(CONTROL_1, 0x0B);
    bus.Idle(LineStart(0x31));
    Write(CONTROL_1, 0x1B);  // too late for this frame
    EXPECT_EQ(ReadAt(LineStart(0x33) + 30), LineStart(0x33) + 30);
    const std::uint64_t nextFrame = vic.timing().cyclesPerFrame();
    EXPECT_EQ(ReadAt(nextFrame + LineStart(0x33) + 30), nextFrame + LineStart(0x33) + 54);
}

// A sprite whose Y is the line fetches at the end of it: BA falls three
// cycles before its pointer access, and the processor gets the bus back two
// cycles after it, for 21 lines.
TEST_P(VicTest, ASpriteTakesCyclesAtTheEndOfEachOfItsLines) {
    Write(0x01, 0x60);  // sprite 0 at line $60
    Write(SPRITE_ENABLE, 0x01);
    const std::uint32_t pointer = vic.timing().spritePointerCycle[0];
    for (const std::uint32_t line : {0x60u, 0x74u}) {
        EXPECT_EQ(ReadAt(LineStart(line) + pointer - 4), LineStart(line) + pointer - 4);
        EXPECT_EQ(ReadAt(LineStart(line) + pointer - 3), LineStart(line) + pointer + 2);
    }
    EXPECT_EQ(ReadAt(LineStart(0x75) + pointer - 2), LineStart(0x75) + pointer - 2);
}

INSTANTIATE_TEST_SUITE_P(BothStandards, VicTest,
                         ::testing::Values(VideoStandard::Pal, VideoStandard::Ntsc));

TEST(VicTimingTest, PalAndNtscClocksAndFrames) {
    EXPECT_EQ(machine::TimingOf(VideoStandard::Pal).clockHz, 985248u);
    EXPECT_EQ(machine::TimingOf(VideoStandard::Ntsc).clockHz, 1022727u);
    EXPECT_EQ(machine::TimingOf(VideoStandard::Pal).cyclesPerFrame(), 312 * PAL_LINE);
    EXPECT_EQ(machine::TimingOf(VideoStandard::Ntsc).cyclesPerFrame(), 263u * 65u);
}

}  // namespace
}  // namespace chipbox
