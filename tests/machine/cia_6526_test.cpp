// SPDX-License-Identifier: GPL-2.0-or-later
// The 6526 on its own bus, driven register by register at chosen cycles:
// the timers and their delays, the interrupt register, the time of day and
// the ports.
#include <gtest/gtest.h>

#include "core/machine/bus.h"
#include "core/machine/cia_6526.h"

namespace chipbox {
namespace {

using machine::Bus;
using machine::Cia6526;
using machine::CiaLine;

constexpr std::uint32_t PAL_CLOCK = 985248;
enum : std::uint16_t {
    PRA = 0xC00, PRB, DDRA, DDRB, TA_LOW, TA_HIGH, TB_LOW, TB_HIGH,
    TOD_TENTHS, TOD_SECONDS, TOD_MINUTES, TOD_HOURS, SDR, ICR, CRA, CRB
};

class CiaTest : public ::testing::Test {
protected:
    CiaTest() : cia(bus, CiaLine::Irq, PAL_CLOCK, 50) { bus.Attach(machine::IoWindow::Cia1, &cia); }

    // Runs the chip's events up to `cycle`, as the bus does before an access.
    void At(std::uint64_t cycle) { bus.Idle(cycle + 1); }
    void Write(std::uint64_t cycle, std::uint16_t reg, std::uint8_t value) {
        At(cycle);
        cia.WriteRegister(reg, value, cycle);
    }
    std::uint8_t Read(std::uint64_t cycle, std::uint16_t reg) {
        At(cycle);
        return cia.ReadRegister(reg, cycle);
    }
    void SetLatch(std::uint64_t cycle, std::uint16_t low, std::uint16_t latch) {
        Write(cycle, low, latch & 0xFF);
        Write(cycle, static_cast<std::uint16_t>(low + 1), latch >> 8);
    }

    Bus bus;
    Cia6526 cia;
};

// Started at cycle 10, the timer counts from cycle 12; with latch N it shows
// 0 at 12 + N, and from the next cycle on it is reloaded and its flag set:
// a period of N + 1. The interrupt line follows the flag a cycle later.
TEST_F(CiaTest, AContinuousTimerUnderflowsEveryLatchPlusOneCycles) {
    SetLatch(0, TA_LOW, 100);
    Write(1, ICR, 0x81);
    Write(10, CRA, 0x01);
    EXPECT_EQ(cia.TimerValue(0, 12), 100);
    EXPECT_EQ(cia.TimerValue(0, 13), 99);
    EXPECT_EQ(cia.TimerValue(0, 112), 0);
    At(113);
    EXPECT_EQ(cia.TimerValue(0, 113), 100);
    EXPECT_FALSE(bus.irq());
    At(114);
    EXPECT_TRUE(bus.irq());
    EXPECT_EQ(Read(114, ICR), 0x81);
    EXPECT_FALSE(bus.irq());  // read, and so acknowledged
    EXPECT_EQ(Read(115, ICR), 0x00);
    At(113 + 101);
    EXPECT_FALSE(bus.irq());  // the next underflow's flag, the line a cycle later
    EXPECT_EQ(Read(113 + 102, ICR), 0x81);
}

TEST_F(CiaTest, AOneShotTimerStopsAtItsUnderflowWithItsLatchReloaded) {
    SetLatch(0, TA_LOW, 20);
    Write(10, CRA, 0x09);
    At(1000);
    EXPECT_EQ(Read(1000, ICR), 0x01);
    EXPECT_EQ(cia.TimerValue(0, 1000), 20);
    EXPECT_FALSE(cia.TimerRunning(0));
    EXPECT_EQ(Read(1000, CRA) & 0x01, 0);
    EXPECT_EQ(Read(2000, ICR), 0x00);  // no second underflow
}

// A forced load puts the latch in the counter without starting the timer;
// writing a stopped timer's high byte loads it too, a running one's not.
TEST_F(CiaTest, ForcedLoadsAndHighByteWritesReloadTheCounter) {
    SetLatch(0, TA_LOW, 0x1234);
    EXPECT_EQ(cia.TimerValue(0, 1), 0x1234);
    Write(2, CRA, 0x01);
    Write(500, TA_HIGH, 0x40);
    EXPECT_EQ(cia.TimerValue(0, 501), 0x1234 - (501 - 4));
    Write(600, CRA, 0x11);
    EXPECT_EQ(cia.TimerValue(0, 601), 0x4034);
    EXPECT_EQ(cia.TimerValue(0, 603), 0x4033);
}

// Timer B in its mode 2 counts timer A's underflows: latch M underflows
// after M + 1 of them.
TEST_F(CiaTest, TimerBCountsTimerAsUnderflows) {
    SetLatch(0, TA_LOW, 9);   // A underflows every 10 cycles
    SetLatch(0, TB_LOW, 4);   // B after 5 of those
    Write(1, CRB, 0x41);
    Write(1, CRA, 0x01);
    // A's underflows show at 13, 23, 33, 43, 53; B's with the fifth.
    At(52);
    EXPECT_EQ(Read(52, ICR) & 0x02, 0);
    At(53);
    EXPECT_EQ(Read(53, ICR), 0x03);
    EXPECT_EQ(cia.TimerValue(1, 53), 4);
}

// Mask bits are set with bit 7 and cleared without it; a flag already set
// pulls the line once its mask bit is set.
TEST_F(CiaTest, TheMaskSetsAndClearsAndAFlagWaitingPullsTheLine) {
    SetLatch(0, TA_LOW, 5);
    Write(0, CRA, 0x09);
    At(100);
    EXPECT_FALSE(bus.irq());
    Write(100, ICR, 0x81);
    EXPECT_EQ(cia.interruptMask(), 0x01);
    At(101);
    EXPECT_TRUE(bus.irq());
    Write(102, ICR, 0x01);
    EXPECT_EQ(cia.interruptMask(), 0x00);
    EXPECT_TRUE(bus.irq());  // clearing the mask does not let go of the line
    EXPECT_EQ(Read(103, ICR), 0x81);
    EXPECT_FALSE(bus.irq());
}

// The clock counts tenths from the power line: five cycles of 50 Hz each
// with CRA bit 7 set, six without (so on a PAL machine it runs slow).
TEST_F(CiaTest, TheTimeOfDayCountsFromThePowerLineAndRingsItsAlarm) {
    Write(0, CRA, 0x80);
    Write(0, TOD_HOURS, 0x11);
    Write(0, TOD_MINUTES, 0x59);
    Write(0, TOD_SECONDS, 0x59);
    Write(0, TOD_TENTHS, 0x08);
    Write(0, CRB, 0x80);  // the alarm at 12:00:00.0 PM
    Write(0, TOD_HOURS, 0x92);
    Write(0, TOD_MINUTES, 0x00);
    Write(0, TOD_SECONDS, 0x00);
    Write(0, TOD_TENTHS, 0x00);
    Write(0, CRB, 0x00);
    const std::uint64_t tenth = PAL_CLOCK / 10;
    EXPECT_EQ(Read(tenth + 100, TOD_TENTHS), 0x09);
    EXPECT_EQ(Read(2 * tenth + 100, ICR) & 0x04, 0x04);
    EXPECT_EQ(Read(2 * tenth + 100, TOD_HOURS), 0x92);  // PM from 11 to 12
    EXPECT_EQ(Read(2 * tenth + 100, TOD_TENTHS), 0x00);
    // Reading the hours holds the time until the tenths are read.
    EXPECT_EQ(Read(12 * tenth + tenth / 2, TOD_SECONDS), 0x01);
    const std::uint8_t hours = Read(12 * tenth + tenth / 2, TOD_HOURS);
    EXPECT_EQ(Read(25 * tenth + tenth / 2, TOD_SECONDS), 0x01);
    EXPECT_EQ(Read(25 * tenth + tenth / 2, TOD_TENTHS), 0x00);
    EXPECT_EQ(hours, 0x92);
    EXPECT_EQ(Read(25 * tenth + tenth / 2, TOD_SECONDS), 0x02);
    Write(26 * tenth, CRA, 0x00);  // 60 Hz counting on a 50 Hz line: a tenth takes 0.12 s
    Write(26 * tenth, TOD_TENTHS, 0x00);
    EXPECT_EQ(Read(27 * tenth, TOD_TENTHS), 0x00);
    EXPECT_EQ(Read(26 * tenth + 14 * tenth / 10, TOD_TENTHS), 0x01);
}

// No key is pressed and no joystick moved: inputs read 1, outputs as
// written.
TEST_F(CiaTest, PortsReadTheirOutputsAndHighInputs) {
    EXPECT_EQ(Read(0, PRA), 0xFF);
    EXPECT_EQ(Read(0, PRB), 0xFF);
    Write(1, DDRA, 0x03);
    Write(1, PRA, 0x01);
    EXPECT_EQ(Read(2, PRA), 0xFD);
    EXPECT_EQ(cia.PortAOutput() & 0x03, 0x01);
}

}  // namespace
}  // namespace chipbox
