// SPDX-License-Identifier: GPL-2.0-or-later
// Instructions one at a time as table rows: the bytes, the registers before
// and after, the memory left and the cycles.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/c64_memory.h"
#include "core/cpu.h"
#include "test_support.h"

namespace chipbox::test {

constexpr std::uint16_t ORIGIN = 0x1000;

// Registers before a row (unset: 0, s $FF, pc ORIGIN) and after it (unset: as
// before, pc just past the instruction).
struct Registers {
    int a = -1, x = -1, y = -1, s = -1, p = -1, pc = -1;
};

struct Row {
    std::string name;
    std::vector<std::uint8_t> code;
    Registers in, out;
    std::uint32_t cycles;
    std::uint16_t storedAt = 0;
    std::vector<std::uint8_t> stored = {};  // the memory from storedAt on afterwards
};

// Works for both processors' register sets.
template <class State>
State With(const Registers& r, State state) {
    if (r.a >= 0) state.a = static_cast<std::uint8_t>(r.a);
    if (r.x >= 0) state.x = static_cast<std::uint8_t>(r.x);
    if (r.y >= 0) state.y = static_cast<std::uint8_t>(r.y);
    if (r.s >= 0) state.s = static_cast<std::uint8_t>(r.s);
    if (r.p >= 0) state.p = static_cast<std::uint8_t>(r.p);
    if (r.pc >= 0) state.pc = static_cast<std::uint16_t>(r.pc);
    return state;
}

template <class State>
std::string Describe(const State& cpu) {
    char text[48];
    std::snprintf(text, sizeof text, "A=%02X X=%02X Y=%02X S=%02X P=%02X PC=%04X", cpu.a, cpu.x,
                  cpu.y, cpu.s, cpu.p, cpu.pc);
    return text;
}

class CpuTest : public ::testing::Test {
protected:
    void SetUp() override { ResetEngine(); }

    // Runs every row on the memory the test set up, restored before each row.
    void Run(const std::vector<Row>& rows) {
        const auto memory = std::make_unique<C64Memory>(c64Memory);
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            c64Memory = *memory;
            const CpuState before = With(row.in, CpuState{.pc = ORIGIN});
            for (std::size_t i = 0; i < row.code.size(); ++i)
                c64Memory.bytes[static_cast<std::uint16_t>(before.pc + i)] = row.code[i];
            CpuState expected = before;
            expected.pc = static_cast<std::uint16_t>(before.pc + row.code.size());
            expected = With(row.out, expected);
            cpuState = before;
            EXPECT_EQ(StepInstruction(), row.cycles);
            EXPECT_EQ(Describe(cpuState), Describe(expected));
            for (std::size_t i = 0; i < row.stored.size(); ++i)
                EXPECT_EQ(ReadMemory(static_cast<std::uint16_t>(row.storedAt + i)), row.stored[i])
                    << std::hex << row.storedAt + i;
        }
    }
};

}  // namespace chipbox::test
