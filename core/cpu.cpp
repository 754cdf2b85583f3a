// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/cpu.h"

#include <algorithm>

#include "core/interpreter.h"
#include "core/interpreter_dispatch.h"
#include "core/machine_model.h"
#include "core/repeating_loop.h"

namespace chipbox {

CpuState cpuState;
RelaxedAtomic<bool> completeMachine{false};
DefaultModelShortfall defaultModelShortfall;

void ClearDefaultModelShortfall() {
    defaultModelShortfall.undocumentedOpcode = false;
    defaultModelShortfall.sidMirrorStore = false;
}

void SetMachineModel(MachineModel model) { completeMachine = model == MachineModel::Complete; }

MachineModel CurrentMachineModel() {
    return completeMachine ? MachineModel::Complete : MachineModel::Default;
}

namespace {

using interpreter::Interpreter;
using interpreter::LIMIT_BIT;
using interpreter::LOW_BITS;
using interpreter::NoStoreWatch;
using interpreter::PAST_A_LIMIT;
using interpreter::RepeatingLoop;

// Play routines end long before this; only a call that runs this long (or
// this many instructions, as undocumented opcodes take no cycles) is watched
// for a loop that repeats the machine's state.
constexpr std::uint32_t WATCH_AFTER_CYCLES = 32768;
constexpr std::uint32_t WATCH_AFTER_INSTRUCTIONS = 65536;

// Where a routine call stands, with the clock's halves biased for its limits.
class CallClock {
public:
    CallClock(std::uint32_t cycleLimit, std::uint32_t instructionLimit)
        : cycleLimit_(cycleLimit),
          instructionLimit_(instructionLimit),
          cycleBias_(LIMIT_BIT - 1 - cycleLimit),
          instructionBias_(LIMIT_BIT - instructionLimit) {}

    std::uint64_t Encode(const RoutineRun& run) const {
        return (instructionBias_ + run.instructions) << 32 | (cycleBias_ + run.cycles);
    }

    RoutineRun Decode(std::uint64_t clock) const {
        return {static_cast<std::uint32_t>((clock & LOW_BITS) - cycleBias_),
                static_cast<std::uint32_t>((clock >> 32) - instructionBias_)};
    }

    bool Passed(const RoutineRun& run) const {
        return run.cycles > cycleLimit_ || run.instructions >= instructionLimit_;
    }

    // How many whole rounds of `round` fit before a limit: a round that
    // starts from `run` is safe while its last instruction stays within both.
    std::uint64_t RoundsThatFit(const RoutineRun& run, std::uint64_t round) const {
        const std::uint64_t roundCycles = round & LOW_BITS;
        const std::uint64_t roundInstructions = round >> 32;
        const std::uint64_t byInstructions =
            (instructionLimit_ - 1 - run.instructions) / roundInstructions;
        if (roundCycles == 0) return byInstructions;
        return std::min<std::uint64_t>(byInstructions, (cycleLimit_ - run.cycles) / roundCycles);
    }

private:
    std::uint32_t cycleLimit_, instructionLimit_;
    std::uint64_t cycleBias_, instructionBias_;
};

template <class Watch, bool complete>
void RunToALimit(Interpreter<Watch, complete>& machine) {
    while (machine.cpu.pc >= 2) {
        machine.Execute();
        if (machine.clock & PAST_A_LIMIT) break;
    }
}

// Runs on, anchoring at each jump or branch backwards; when the machine comes
// back to the anchor in the same state, the rounds that fit before a limit
// are counted at once and the rest is run.
template <bool complete>
void RunSkippingRepeatedRounds(Interpreter<RepeatingLoop, complete>& machine, RepeatingLoop& loop,
                               const CallClock& limits) {
    while (machine.cpu.pc >= 2) {
        const std::uint16_t before = machine.cpu.pc;
        machine.Execute();
        if (machine.clock & PAST_A_LIMIT) break;
        if (loop.anchored()) {
            if (loop.broken()) {
                loop.Drop();
            } else if (machine.cpu.pc == loop.pc() && loop.Repeats(machine.State())) {
                const std::uint64_t round = machine.clock - loop.clock();
                machine.clock += round * limits.RoundsThatFit(limits.Decode(machine.clock), round);
                loop.Drop();
            }
        }
        if (!loop.anchored() && machine.cpu.pc < before)
            loop.Anchor(machine.State(), machine.clock);
    }
}

// Each machine's interpreter is flattened: all of it is inlined into these,
// so its registers stay in machine registers.
template <bool complete>
[[gnu::flatten]] std::uint32_t Step() {
    Interpreter<NoStoreWatch, complete> machine(cpuState);
    machine.Execute();
    cpuState = machine.State();
    cpuState.cycles = static_cast<std::uint32_t>(machine.clock & LOW_BITS);
    return cpuState.cycles;
}

template <bool complete>
[[gnu::flatten]] RoutineRun Run(std::uint32_t cycleLimit, std::uint32_t instructionLimit,
                                bool skipRepeatedRounds) {
    const CallClock limits(cycleLimit, instructionLimit);
    const CallClock plainLimits =
        skipRepeatedRounds ? CallClock(std::min(cycleLimit, WATCH_AFTER_CYCLES),
                                       std::min(instructionLimit, WATCH_AFTER_INSTRUCTIONS))
                           : limits;
    Interpreter<NoStoreWatch, complete> plain(cpuState, plainLimits.Encode({}));
    RunToALimit(plain);
    cpuState = plain.State();
    const RoutineRun run = plainLimits.Decode(plain.clock);
    if (cpuState.pc < 2 || limits.Passed(run)) return run;

    RepeatingLoop loop;
    Interpreter<RepeatingLoop, complete> watched(cpuState, limits.Encode(run), &loop);
    RunSkippingRepeatedRounds(watched, loop, limits);
    cpuState = watched.State();
    return limits.Decode(watched.clock);
}

}  // namespace

std::uint32_t StepInstruction() { return completeMachine ? Step<true>() : Step<false>(); }

RoutineRun RunUntilReturn(std::uint32_t cycleLimit, std::uint32_t instructionLimit,
                          bool skipRepeatedRounds) {
    return completeMachine ? Run<true>(cycleLimit, instructionLimit, skipRepeatedRounds)
                           : Run<false>(cycleLimit, instructionLimit, skipRepeatedRounds);
}

void PushStack(std::uint8_t value) {
    Interpreter<> machine(cpuState);
    machine.PushStack(value);
    cpuState = machine.State();
}

std::uint8_t PullStack() {
    Interpreter<> machine(cpuState);
    const std::uint8_t value = machine.PullStack();
    cpuState = machine.State();
    return value;
}

}  // namespace chipbox
