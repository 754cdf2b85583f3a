// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/c64_memory.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sid/hardsid_link.h"
#include "sid/sid_state.h"
#include "test_support.h"

namespace chipbox {
namespace {

class MemoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetEngine();
        registerImage.values.fill(0xEE);  // marks registers that no write reached
    }

    static bool NoRegisterReached() {
        return std::ranges::all_of(registerImage.values, [](std::uint8_t v) { return v == 0xEE; });
    }
};

// The sample window, $D419 to $D4FF, among them: the SID never sees it.
TEST_F(MemoryTest, OutsideTheSidRegistersAStoreOnlyStores) {
    for (std::uint16_t address : {0x0001, 0xD012, 0xD3FF, 0xD419, 0xD41B, 0xD41C, 0xD420, 0xD438,
                                  0xD4FF, 0xD800, 0xDC05, 0xFFFF}) {
        WriteMemory(address, 0x5C);
        EXPECT_EQ(ReadMemory(address), 0x5C) << std::hex << address;
    }
    EXPECT_TRUE(NoRegisterReached());
}

// While the sample thread runs, volume writes, mirrored or not, stop at memory.
TEST_F(MemoryTest, SidRegistersAndUpperMirrorsReachSidWriteButTheSampleThreadsVolume) {
    WriteMemory(0xD418, 0x1F);
    EXPECT_EQ(ReadMemory(0xD418), 0x1F);
    EXPECT_EQ(registerImage.values[24], 0x1F);
    EXPECT_EQ(sidState.filterRegisters.modeVolume, 0x1F);
    WriteMemory(0xD51F, 0x07);  // mirror of register 31
    EXPECT_EQ(registerImage.values[31], 0x07);
    WriteMemory(0xD7E1, 0x12);  // mirror of register 1
    EXPECT_EQ(sidState.voiceRegisters[0].frequency, 0x1200);

    sampleThreadRunning = true;
    WriteMemory(0xD418, 0x0F);
    WriteMemory(0xD538, 0x0F);  // a mirror of register 24
    EXPECT_EQ(ReadMemory(0xD418), 0x0F);
    EXPECT_EQ(registerImage.values[24], 0x1F);
    WriteMemory(0xD7E1, 0x34);  // other registers still pass
    EXPECT_EQ(sidState.voiceRegisters[0].frequency, 0x3400);
}

}  // namespace
}  // namespace chipbox
