// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/routine_call.h"

#include <atomic>

#include "core/c64_memory.h"
#include "core/cpu.h"
#include "core/tune_info.h"
#include "sid/digi_registers.h"
#include "sid/hardsid_link.h"
#include "sid/sid_render.h"

namespace chipbox {

namespace {
constexpr std::uint16_t IRQ_VECTOR = 0x0314;
std::atomic<std::uint64_t> executedInstructions{0};
}  // namespace

std::uint64_t ExecutedInstructions() {
    return executedInstructions.load(std::memory_order_relaxed);
}

std::uint16_t ReadIrqVector() {
    return static_cast<std::uint16_t>(ReadMemory(IRQ_VECTOR) | ReadMemory(IRQ_VECTOR + 1) << 8);
}

std::int32_t CallRoutine(std::uint16_t address, std::uint8_t accumulator, RoutineLimits limits) {
    cpuState.a = accumulator;
    cpuState.pc = address;
    cpuState.s = 0xFF;
    cpuState.x = 0;
    cpuState.y = 0;
    cpuState.p = 0;
    PushStack(0);  // return address $0000: the final RTS leaves pc at $0001
    PushStack(0);

    const RoutineRun run =
        RunUntilReturn(limits.cycles, limits.instructions, limits.skipRepeatedRounds);
    executedInstructions.fetch_add(run.instructions, std::memory_order_relaxed);
    if (run.cycles > limits.cycles || run.instructions >= limits.instructions) return 0;
    if (const std::uint16_t vector = ReadIrqVector(); vector != 0) tuneInfo.playAddress = vector;
    return static_cast<std::int32_t>(run.cycles);
}

void ResetCpu() {
    cpuState.s = 0xFF;
    cpuState.a = 0;
    cpuState.x = 0;
    cpuState.y = 0;
    cpuState.p = 0;
    cpuState.pc = 0;
}

void StartEngine() {
    if (!hardSidMode.load(std::memory_order_relaxed)) SidInit(OUTPUT_RATE);
    ClearMemory();
    ResetCpu();
    digiRegisters.sampleActive = 0;
}

}  // namespace chipbox
