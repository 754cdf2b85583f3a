// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/machine/sid_chip.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

namespace chipbox::machine {
namespace {

struct StampedWrite {
    std::uint64_t cycle;
    std::uint8_t reg, value;
};

// What a player does: every register rewritten at each tick, most of them
// unchanged, a few cycles apart; now and then a change, a gate, a new
// filter value, and reads of voice 3 between them.
std::vector<StampedWrite> TickWrites(unsigned seed, int ticks) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> shadow(25, 0);
    std::vector<StampedWrite> writes;
    std::uint64_t cycle = 100;
    for (int tick = 0; tick < ticks; ++tick) {
        if (random() % 3 == 0) shadow[random() % 25] = static_cast<std::uint8_t>(random());
        for (std::uint8_t reg = 0; reg < 25; ++reg) {
            cycle += 4 + random() % 12;
            writes.push_back({cycle, reg, shadow[reg]});
        }
        cycle += 5'000 + random() % 15'000;
    }
    return writes;
}

std::vector<std::int16_t> TakeAll(SidChip& sid) {
    std::vector<std::int16_t> out(sid.Available());
    out.resize(sid.Take(out.data(), out.size()));
    return out;
}

std::vector<std::int16_t> TakeAll(sidchip::RealSid& sid) {
    std::vector<std::int16_t> out(sid.Available());
    out.resize(sid.Take(out.data(), out.size()));
    return out;
}

// A rewrite of a register's value leaves the chip's run whole: the chip is
// not clocked for it. The sound and voice 3's reads (now and then, as a
// read clocks the chip) must be those of a chip clocked up to every write.
TEST(SidChipTest, RewritingAValueSoundsAsAChipClockedToEveryWrite) {
    for (auto model : {sidchip::ChipModel::Mos6581, sidchip::ChipModel::Mos8580}) {
        const auto writes = TickWrites(static_cast<unsigned>(model) + 7, 400);
        Bus bus;
        SidChip onBus(bus, model, sidchip::PAL_CLOCK_HZ);
        sidchip::RealSid direct(model, sidchip::PAL_CLOCK_HZ);
        std::uint64_t directAt = 0;
        std::vector<std::uint8_t> busReads, directReads;
        int rewrites = 0;
        for (std::size_t i = 0; i < writes.size(); ++i) {
            const StampedWrite& write = writes[i];
            direct.Clock(static_cast<std::uint32_t>(write.cycle - directAt));
            directAt = write.cycle;
            if (i % 37 == 0) {
                busReads.push_back(onBus.ReadRegister(0x1B, write.cycle));
                busReads.push_back(onBus.ReadRegister(0x1C, write.cycle));
                directReads.push_back(direct.ReadOscillator3());
                directReads.push_back(direct.ReadEnvelope3());
            }
            const bool rewrite = onBus.writtenRegisters()[write.reg] == write.value;
            const std::uint64_t clockedBefore = onBus.clockedTo();
            onBus.WriteRegister(write.reg, write.value, write.cycle);
            direct.Write(write.reg, write.value);
            if (rewrite) {
                ++rewrites;
                EXPECT_EQ(onBus.clockedTo(), clockedBefore) << "write " << i;
            } else {
                EXPECT_EQ(onBus.clockedTo(), write.cycle) << "write " << i;
            }
        }
        EXPECT_GT(rewrites, 8'000);
        onBus.CatchUp(directAt + 20'000);
        direct.Clock(20'000);
        const auto heard = TakeAll(onBus);
        EXPECT_GT(heard.size(), 100'000u);
        EXPECT_EQ(heard, TakeAll(direct));
        EXPECT_EQ(busReads, directReads);
        std::array<std::uint8_t, 32> lastWritten{};
        for (const StampedWrite& write : writes) lastWritten[write.reg] = write.value;
        EXPECT_EQ(onBus.writtenRegisters(), lastWritten);
    }
}

}  // namespace
}  // namespace chipbox::machine
