// SPDX-License-Identifier: GPL-2.0-or-later
// The real machine's 6510, cycle by cycle: every read and write on the
// cycle it happens, the dummy accesses included (a read-modify-write writes
// the old value and then the new one), interrupts taken where the chip takes
// them, and the undocumented opcodes and decimal mode of the NMOS part.
//
// Interrupts: the lines are looked at before the last cycle of each
// instruction; a taken branch that stays in its page looks only before its
// second cycle, so an interrupt arriving in its last cycle waits one
// instruction more. CLI, SEI and PLP change I after that look, RTI before it.
// NMI is taken on each falling edge and may take over the vector of an IRQ
// or BRK that is on its way. A JAM halts the processor; the machine runs on.
//
// Threads: the thread that runs the machine.
#pragma once

#include <array>
#include <cstdint>

#include "core/machine/bus.h"

namespace chipbox::machine {

namespace flags {
constexpr std::uint8_t C = 0x01, Z = 0x02, I = 0x04, D = 0x08, B = 0x10, U = 0x20, V = 0x40,
                       N = 0x80;
}  // namespace flags

struct Registers {
    std::uint8_t a = 0, x = 0, y = 0, s = 0xFF, p = flags::I | flags::U;
    std::uint16_t pc = 0;
};

class Cpu6510 {
public:
    explicit Cpu6510(Bus& bus) : bus_(bus) {}

    // The reset sequence: seven cycles, I set, pc from $FFFC/$FFFD.
    void Reset();
    // Whole instructions and interrupt entries until the bus clock reaches
    // `untilCycle` (the last may end a few cycles past it).
    void Run(std::uint64_t untilCycle);
    // One instruction, or the entry into an interrupt that is due.
    void Step();

    Registers registers;
    bool jammed() const { return jammed_; }
    // Cycles spent in loops that jump to themselves, waiting for an
    // interrupt: the idle part of the machine's time.
    std::uint64_t idleCycles() const { return idleCycles_; }

private:
    __attribute__((always_inline)) std::uint8_t Fetch() { return bus_.Read(registers.pc++); }
    // Takes in the lines as they are before this cycle.
    void Poll() { interruptDue_ = bus_.nmiLatched() || (bus_.irq() && !(registers.p & flags::I)); }
    __attribute__((always_inline)) std::uint8_t LastRead(std::uint16_t address) {
        Poll();
        return bus_.Read(address);
    }
    __attribute__((always_inline)) void LastWrite(std::uint16_t address, std::uint8_t value) {
        Poll();
        bus_.Write(address, value);
    }
    void Push(std::uint8_t value) {
        bus_.Write(static_cast<std::uint16_t>(0x100 | registers.s--), value);
    }

    using Change = std::uint8_t (Cpu6510::*)(std::uint8_t);
    using Handler = void (*)(Cpu6510&);

    // Execute for one opcode known when compiling, so that each opcode's
    // copy has its row and column worked out and runs no decoding.
    template <std::uint8_t OPCODE>
    static void ExecuteOpcode(Cpu6510& cpu);
    static const std::array<Handler, 256> HANDLERS;

    // The decoding steps and the main addressing modes are inline: each
    // opcode's copy of Execute folds them with its opcode.
    inline void Execute(std::uint8_t opcode);
    inline bool ExecuteFromMatrix(std::uint8_t opcode);
    inline bool ExecuteDoingNothing(std::uint8_t opcode);
    inline bool ExecuteFlagColumns(std::uint8_t opcode);
    inline bool ExecuteLoadsAndStores(std::uint8_t opcode);
    inline std::uint16_t ColumnAddress(std::uint8_t column, bool writes);
    inline void AccumulatorRow(std::uint8_t operation, std::uint8_t column);
    inline void Combine(std::uint8_t operation, std::uint8_t value);
    static inline Change ChangeOfRow(std::uint8_t operation);
    void Interrupt();
    void SkipIdleRounds();

    // Effective addresses: every access but the instruction's last is made.
    std::uint16_t Immediate();
    inline std::uint16_t ZeroPageIndexed(std::uint8_t index);
    inline std::uint16_t Absolute();
    inline std::uint16_t AbsoluteIndexed(std::uint8_t index, bool alwaysExtraCycle);
    std::uint16_t AbsoluteIndexedBase(std::uint8_t index);
    std::uint16_t IndexedIndirect();
    inline std::uint16_t IndirectIndexed(bool alwaysExtraCycle);
    std::uint16_t IndirectIndexedBase();

    // Instructions by how they use the bus.
    std::uint8_t ReadModifyWrite(std::uint16_t address, Change change);
    void StoreAndedWithHighByte(std::uint16_t base, std::uint8_t index, std::uint8_t value);
    void Implied();
    void PushRegister(std::uint8_t value);
    std::uint8_t PullRegister();
    void SetStatus(std::uint8_t value);
    void Break();
    void JumpToSubroutine();
    void ReturnFromSubroutine();
    void ReturnFromInterrupt();
    void JumpAbsolute();
    void JumpIndirect();
    inline void Branch(bool taken);

    // The arithmetic unit.
    std::uint8_t SetNZ(std::uint8_t value);
    void Carry(bool set);
    void Overflow(bool set);
    void AddBinary(std::uint8_t operand);
    void AddWithCarry(std::uint8_t operand);
    void SubtractWithBorrow(std::uint8_t operand);
    void Compare(std::uint8_t reg, std::uint8_t operand);
    void Bit(std::uint8_t operand);
    std::uint8_t ShiftLeft(std::uint8_t v);
    std::uint8_t ShiftRight(std::uint8_t v);
    std::uint8_t RotateLeft(std::uint8_t v);
    std::uint8_t RotateRight(std::uint8_t v);
    std::uint8_t Increment(std::uint8_t v);
    std::uint8_t Decrement(std::uint8_t v);
    void AndSetCarry(std::uint8_t operand);
    void AndRotateRight(std::uint8_t operand);
    void AndXSubtract(std::uint8_t operand);

    Bus& bus_;
    bool interruptDue_ = false;
    bool jammed_ = false;
    std::uint64_t idleCycles_ = 0;
    std::uint64_t runUntil_ = NEVER;  // idle rounds are not counted past it
};

}  // namespace chipbox::machine
