// SPDX-License-Identifier: GPL-2.0-or-later
// The complete machine: the undocumented opcodes as the NMOS 6510 runs them,
// decimal mode, and the SID's mirrors from $D420.
#include "core/machine_model.h"
#include "core/routine_call.h"
#include "core/tune_info.h"
#include "complete_machine_rows.h"
#include "sid/sid_state.h"

namespace chipbox {
namespace {

using namespace flag;

class CompleteMachineTest : public test::CpuTest {
protected:
    void SetUp() override {
        CpuTest::SetUp();
        SetMachineModel(MachineModel::Complete);
        for (const test::Poked& poked : test::CompleteMachineMemory())
            for (std::size_t i = 0; i < poked.bytes.size(); ++i)
                c64Memory.bytes[static_cast<std::uint16_t>(poked.address + i)] = poked.bytes[i];
    }
    void TearDown() override { SetMachineModel(MachineModel::Default); }
};

// The rows that the real machine's processor runs too.
TEST_F(CompleteMachineTest, ReadModifyWritePairsChangeMemoryThenCombine) {
    Run(test::ReadModifyWritePairRows());
}
TEST_F(CompleteMachineTest, LoadsAndStores) { Run(test::LoadAndStoreRows()); }
TEST_F(CompleteMachineTest, ImmediateOperationsAndNops) { Run(test::ImmediateAndNopRows()); }
TEST_F(CompleteMachineTest, DecimalAdditionAndSubtraction) { Run(test::DecimalRows()); }

TEST_F(CompleteMachineTest, AJamStopsTheCallAsTheCycleLimitDoes) {
    for (const std::uint8_t jam :
         {0x02, 0x12, 0x22, 0x32, 0x42, 0x52, 0x62, 0x72, 0x92, 0xB2, 0xD2, 0xF2}) {
        test::Poke(0x1000, {0xEA, jam, 0x60});
        tuneInfo.playAddress = 0x1003;
        test::Poke(0x0314, {0x00, 0xC0});
        EXPECT_EQ(CallRoutine(0x1000, 0), 0) << int(jam);
        EXPECT_EQ(tuneInfo.playAddress, 0x1003);
    }
}

// Our own test tune runs every undocumented opcode but the JAMs and checks
// the results; in the default model it derails at its first check.
TEST_F(CompleteMachineTest, TheUndocumentedOpcodeTunePassesEveryCheck) {
    test::LoadTune(test::TunePath("undocumented_selftest"));
    EXPECT_GT(CallRoutine(tuneInfo.initAddress, 0), 0);
    EXPECT_EQ(ReadMemory(0x0380), 0xAA) << "failed check " << int(ReadMemory(0x0381));
    SetMachineModel(MachineModel::Default);
    test::LoadTune(test::TunePath("undocumented_selftest"));
    CallRoutine(tuneInfo.initAddress, 0);
    EXPECT_NE(ReadMemory(0x0380), 0xAA);
    EXPECT_EQ(ReadMemory(0x0381), 1);
}

TEST_F(CompleteMachineTest, SidMirrorsFromD420ReachTheSidButNotTheSampleRegisters) {
    registerImage.values.fill(0xEE);
    WriteMemory(0xD424, 0x41);  // voice 1's control, mirrored
    EXPECT_EQ(registerImage.values[4], 0x41);
    WriteMemory(0xD43D, 0x12);  // a sample register
    EXPECT_EQ(registerImage.values[29], 0xEE);
    WriteMemory(0xD41B, 0x12);  // the read-only registers below the mirrors stay memory only
    EXPECT_EQ(registerImage.values[27], 0xEE);
    SetMachineModel(MachineModel::Default);
    WriteMemory(0xD428, 0x42);
    EXPECT_EQ(registerImage.values[8], 0xEE);
}

}  // namespace
}  // namespace chipbox
