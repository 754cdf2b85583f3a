// SPDX-License-Identifier: GPL-2.0-or-later
// The real machine's 6510: the published cycle counts, the bus accesses of
// indexing and read-modify-write, the interrupts where the chip takes them,
// and the complete machine's undocumented opcodes and decimal mode.
#include <array>
#include <cstdio>

#include "core/complete_machine_rows.h"
#include "machine_fixture.h"

namespace chipbox {
namespace {

using machine::Registers;
namespace flags = machine::flags;

constexpr std::uint16_t ORIGIN = 0x1000;
constexpr std::uint16_t HANDLER = 0x3000;
constexpr std::uint8_t NOP = 0xEA;

class Cpu6510Test : public test::MachineTest {
protected:
    // One instruction per row, on the memory the rows expect, restored each time.
    void RunRows(const std::vector<test::Row>& rows) {
        for (const test::Poked& poked : test::CompleteMachineMemory()) {
            std::uint16_t address = poked.address;
            for (const std::uint8_t byte : poked.bytes) bus().ram()[address++] = byte;
        }
        const auto memory = bus().ram();
        for (const test::Row& row : rows) {
            SCOPED_TRACE(row.name);
            bus().ram() = memory;
            const Registers before = test::With(
                row.in, Registers{.a = 0, .x = 0, .y = 0, .s = 0xFF, .p = 0, .pc = ORIGIN});
            for (std::size_t i = 0; i < row.code.size(); ++i)
                bus().ram()[static_cast<std::uint16_t>(before.pc + i)] = row.code[i];
            Registers expected = before;
            expected.pc = static_cast<std::uint16_t>(before.pc + row.code.size());
            expected = test::With(row.out, expected);
            cpu().registers = before;
            const std::uint64_t start = bus().now();
            cpu().Step();
            EXPECT_EQ(bus().now() - start, row.cycles);
            EXPECT_EQ(test::Describe(cpu().registers), test::Describe(expected));
            for (std::size_t i = 0; i < row.stored.size(); ++i)
                EXPECT_EQ(bus().ram()[static_cast<std::uint16_t>(row.storedAt + i)], row.stored[i])
                    << std::hex << row.storedAt + i;
        }
    }

    // All RAM below the I/O, so the vectors at $FFFA-$FFFF are ours.
    void InterruptsToHandler() {
        Poke(0x0000, {0x2F, 0x35});
        bus().Write(0x0001, 0x35);
        Poke(0xFFFA, {0x00, HANDLER >> 8, 0x00, 0x00, 0x00, HANDLER >> 8});
        Poke(HANDLER, {0x8D, 0x01, 0xDE});  // STA $DE01: the probe sees the handler begin
        for (std::uint16_t a = ORIGIN; a < ORIGIN + 0x100; ++a) bus().ram()[a] = NOP;
        cpu().registers = Registers{.s = 0xFF, .p = flags::U, .pc = ORIGIN};
    }

    std::uint64_t HandlerWrite() const {
        const std::vector<std::uint64_t> writes = probe.WritesOf(0);
        return writes.empty() ? 0 : writes.front();
    }
    // The address the interrupt will return to.
    std::uint16_t PushedReturn() {
        return static_cast<std::uint16_t>(bus().ram()[0x01FE] | bus().ram()[0x01FF] << 8);
    }
};

TEST_F(Cpu6510Test, UndocumentedOpcodesAndDecimalModeAsTheCompleteMachineRunsThem) {
    RunRows(test::ReadModifyWritePairRows());
    RunRows(test::LoadAndStoreRows());
    RunRows(test::ImmediateAndNopRows());
    RunRows(test::DecimalRows());
}

// The NMOS 6502's cycle counts as the data sheets and the undocumented
// opcodes' descriptions give them, without a page crossed; with the flags
// all clear, BPL, BVC, BCC and BNE are taken (3) and the others not (2). 0:
// the JAMs, which never end.
// clang-format off
constexpr std::array<std::uint8_t, 256> PUBLISHED_CYCLES = {
    7, 6, 0, 8, 3, 3, 5, 5, 3, 2, 2, 2, 4, 4, 6, 6,   3, 5, 0, 8, 4, 4, 6, 6, 2, 4, 2, 7, 4, 4, 7, 7,
    6, 6, 0, 8, 3, 3, 5, 5, 4, 2, 2, 2, 4, 4, 6, 6,   2, 5, 0, 8, 4, 4, 6, 6, 2, 4, 2, 7, 4, 4, 7, 7,
    6, 6, 0, 8, 3, 3, 5, 5, 3, 2, 2, 2, 3, 4, 6, 6,   3, 5, 0, 8, 4, 4, 6, 6, 2, 4, 2, 7, 4, 4, 7, 7,
    6, 6, 0, 8, 3, 3, 5, 5, 4, 2, 2, 2, 5, 4, 6, 6,   2, 5, 0, 8, 4, 4, 6, 6, 2, 4, 2, 7, 4, 4, 7, 7,
    2, 6, 2, 6, 3, 3, 3, 3, 2, 2, 2, 2, 4, 4, 4, 4,   3, 6, 0, 6, 4, 4, 4, 4, 2, 5, 2, 5, 5, 5, 5, 5,
    2, 6, 2, 6, 3, 3, 3, 3, 2, 2, 2, 2, 4, 4, 4, 4,   2, 5, 0, 5, 4, 4, 4, 4, 2, 4, 2, 4, 4, 4, 4, 4,
    2, 6, 2, 8, 3, 3, 5, 5, 2, 2, 2, 2, 4, 4, 6, 6,   3, 5, 0, 8, 4, 4, 6, 6, 2, 4, 2, 7, 4, 4, 7, 7,
    2, 6, 2, 8, 3, 3, 5, 5, 2, 2, 2, 2, 4, 4, 6, 6,   2, 5, 0, 8, 4, 4, 6, 6, 2, 4, 2, 7, 4, 4, 7, 7,
};
// clang-format on

TEST_F(Cpu6510Test, EveryOpcodeTakesItsPublishedCycles) {
    Poke(0x0010, {0x10, 0x20});  // ($10) points at $2010
    const auto memory = bus().ram();
    for (int opcode = 0; opcode < 256; ++opcode) {
        if (PUBLISHED_CYCLES[opcode] == 0) continue;
        bus().ram() = memory;
        Poke(ORIGIN, {static_cast<std::uint8_t>(opcode), 0x10, 0x20});
        cpu().registers = Registers{.s = 0xFF, .p = flags::U | flags::I, .pc = ORIGIN};
        const std::uint64_t start = bus().now();
        cpu().Step();
        EXPECT_EQ(bus().now() - start, PUBLISHED_CYCLES[opcode])
            << "opcode $" << std::hex << opcode;
    }
}

// A read that crosses a page takes a cycle more; a store always takes it; a
// taken branch to another page takes two more.
TEST_F(Cpu6510Test, IndexingAcrossAPageCostsReadsACycleAndStoresNothingMore) {
    Poke(0x0010, {0xF0, 0x20});
    struct Case {
        const char* name;
        std::vector<std::uint8_t> code;
        std::uint8_t index;
        std::uint64_t cycles;
    };
    for (const Case& c : std::vector<Case>{{"LDA abs,X", {0xBD, 0xF0, 0x20}, 0x20, 5},
                                           {"STA abs,X", {0x9D, 0xF0, 0x20}, 0x20, 5},
                                           {"LDA (zp),Y", {0xB1, 0x10}, 0x20, 6},
                                           {"STA (zp),Y", {0x91, 0x10}, 0x20, 6},
                                           {"ROL abs,X", {0x3E, 0xF0, 0x20}, 0x20, 7},
                                           {"BNE to the page before", {0xD0, 0x80}, 0, 4}}) {
        SCOPED_TRACE(c.name);
        for (std::size_t i = 0; i < c.code.size(); ++i) bus().ram()[ORIGIN + i] = c.code[i];
        cpu().registers =
            Registers{.x = c.index, .y = c.index, .s = 0xFF, .p = flags::U, .pc = ORIGIN};
        const std::uint64_t start = bus().now();
        cpu().Step();
        EXPECT_EQ(bus().now() - start, c.cycles);
    }
}

// Every access on its cycle: INC reads, writes the old value back and then
// the new one; STA abs,X first reads from the address before its high byte
// is fixed.
TEST_F(Cpu6510Test, ReadModifyWriteWritesTwiceAndIndexingReadsTheUnfixedAddress) {
    Poke(ORIGIN, {0xEE, 0x00, 0xDE, 0x9D, 0xFF, 0xDE});  // INC $DE00; STA $DEFF,X
    cpu().registers = Registers{.a = 0x55, .x = 1, .s = 0xFF, .p = flags::U, .pc = ORIGIN};
    const std::uint64_t start = bus().now();
    cpu().Step();
    cpu().Step();
    using Access = test::BusProbe::Access;
    const std::vector<Access> expected = {{start + 3, 0xE00, -1},
                                          {start + 4, 0xE00, 0x00},
                                          {start + 5, 0xE00, 0x01},
                                          {start + 9, 0xE00, -1},
                                          {start + 10, 0xF00, 0x55}};
    ASSERT_EQ(probe.accesses.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(probe.accesses[i].cycle, expected[i].cycle) << i;
        EXPECT_EQ(probe.accesses[i].offset, expected[i].offset) << i;
        EXPECT_EQ(probe.accesses[i].value, expected[i].value) << i;
    }
}

// The line is looked at before an instruction's last cycle: asserted in a
// NOP's first cycle it is taken after that NOP, in its second only after the
// next. The entry takes seven cycles; the handler's STA writes in its fourth.
TEST_F(Cpu6510Test, AnInterruptIsTakenAfterTheInstructionItArrivesBeforeTheLastCycleOf) {
    for (const std::uint64_t delay : {4u, 5u}) {
        SCOPED_TRACE(delay);
        probe.accesses.clear();
        InterruptsToHandler();
        const std::uint64_t start = bus().now();  // NOPs at start, start + 2, ...
        probe.DriveLineAt(start + delay, false, true);
        c64->RunUntil(start + 40);
        probe.DriveLineAt(bus().now(), false, false);
        const std::uint64_t nopsRun = delay == 4 ? 3 : 4;
        EXPECT_EQ(HandlerWrite(), start + 2 * nopsRun + 7 + 3);
        EXPECT_EQ(PushedReturn(), ORIGIN + nopsRun);
        EXPECT_EQ(bus().ram()[0x01FD] & flags::B, 0);
    }
}

// CLI lets an interrupt in only after the next instruction.
TEST_F(Cpu6510Test, CliLetsTheInterruptInAfterTheNextInstruction) {
    InterruptsToHandler();
    Poke(ORIGIN, {0x58});  // CLI, then NOPs
    cpu().registers.p |= flags::I;
    probe.DriveLineAt(bus().now(), false, true);
    c64->RunUntil(bus().now() + 20);
    EXPECT_EQ(PushedReturn(), ORIGIN + 2);
}

// After SEI an interrupt that was already due is still taken, with I set in
// the status pushed.
TEST_F(Cpu6510Test, SeiStillTakesTheInterruptThatWasDue) {
    InterruptsToHandler();
    Poke(ORIGIN, {0x78});  // SEI, then NOPs
    probe.DriveLineAt(bus().now(), false, true);
    c64->RunUntil(bus().now() + 20);
    EXPECT_EQ(PushedReturn(), ORIGIN + 1);
    EXPECT_NE(bus().ram()[0x01FD] & flags::I, 0);
}

// A taken branch that stays in its page looks at the line only before its
// second cycle: a line that falls in its second cycle waits one instruction.
TEST_F(Cpu6510Test, ATakenBranchInItsPageHidesAnInterruptFromItsLastCycle) {
    InterruptsToHandler();
    Poke(ORIGIN, {0xD0, 0x00});  // BNE to the next instruction: 3 cycles, taken
    const std::uint64_t start = bus().now();
    probe.DriveLineAt(start + 1, false, true);
    c64->RunUntil(start + 30);
    EXPECT_EQ(PushedReturn(), ORIGIN + 3);  // after the NOP that follows
    probe.DriveLineAt(bus().now(), false, false);
}

// NMI is taken on the line's falling edge, once however long it stays low,
// and again on the next edge; a BRK under way when it comes takes its vector
// (the status pushed still says B).
TEST_F(Cpu6510Test, NmiFollowsEdgesAndTakesOverABrk) {
    InterruptsToHandler();
    Poke(HANDLER, {0x8D, 0x01, 0xDE, 0x40});  // STA $DE01; RTI
    cpu().registers.p |= flags::I;            // NMI does not care
    const std::uint64_t start = bus().now();
    probe.DriveLineAt(start + 2, true, true);
    c64->RunUntil(start + 200);
    EXPECT_EQ(probe.WritesOf(0).size(), 1u);
    probe.DriveLineAt(bus().now(), true, false);
    probe.DriveLineAt(bus().now() + 10, true, true);
    c64->RunUntil(bus().now() + 100);
    EXPECT_EQ(probe.WritesOf(0).size(), 2u);
    probe.DriveLineAt(bus().now(), true, false);

    InterruptsToHandler();
    Poke(0xFFFE, {0x00, 0x40});  // BRK's own vector would lead to $4000
    Poke(ORIGIN, {0x00, 0x00});
    const std::uint64_t brk = bus().now();
    probe.DriveLineAt(brk + 4, true, true);  // during BRK's pushes
    cpu().Step();
    EXPECT_EQ(cpu().registers.pc, HANDLER);
    EXPECT_NE(bus().ram()[0x01FD] & flags::B, 0);
    EXPECT_FALSE(bus().nmiLatched());
    probe.DriveLineAt(bus().now(), true, false);
}

// A loop that jumps to itself is not run round by round while it waits, but
// an interrupt still comes after the round it arrives in, also one whose line
// falls in a JMP's last cycle.
TEST_F(Cpu6510Test, AnIdleLoopWaitsForTheNextEventAndTakesItsInterruptInTime) {
    for (const std::uint64_t arrival : {3u, 4u, 5u, 3000u}) {
        SCOPED_TRACE(arrival);
        probe.accesses.clear();
        InterruptsToHandler();
        Poke(ORIGIN, {0x4C, ORIGIN & 0xFF, ORIGIN >> 8});  // JMP to itself, rounds of 3 cycles
        const std::uint64_t start = bus().now();
        probe.DriveLineAt(start + 2 + arrival, true, true);
        c64->RunUntil(start + 4000);
        // Round k has its last cycle at start + 2 + 3k and sees a line that
        // fell by the cycle before.
        const std::uint64_t round = (arrival + 1 + 2) / 3;
        EXPECT_EQ(HandlerWrite(), start + 2 + 3 * round + 7 + 4);
        EXPECT_GT(cpu().idleCycles(), 0u);
        probe.DriveLineAt(bus().now(), true, false);
        c64->RunUntil(bus().now() + 10);
    }
}

// A JAM stops the processor for good, interrupts included, while the clock
// and the chips run on.
TEST_F(Cpu6510Test, AJamHaltsTheProcessorButNotTheMachine) {
    InterruptsToHandler();
    Poke(ORIGIN, {0x02});
    probe.DriveLineAt(bus().now() + 10, true, true);
    const std::uint64_t start = bus().now();
    c64->RunUntil(start + 100'000);
    EXPECT_TRUE(cpu().jammed());
    EXPECT_EQ(bus().now(), start + 100'000);
    EXPECT_TRUE(probe.WritesOf(0).empty());
    EXPECT_GE(cpu().idleCycles(), 100'000u - 2);
}

}  // namespace
}  // namespace chipbox
