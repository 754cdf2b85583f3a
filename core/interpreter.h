// SPDX-License-Identifier: GPL-2.0-or-later
// The 6502 interpreter's inner workings, for the entry points in cpu.cpp:
// one handler per opcode, its addressing mode fixed at compile time.
#pragma once

#include <cstdint>

#include "core/c64_memory.h"
#include "core/cpu.h"

namespace chipbox::interpreter {

constexpr std::uint64_t ONE_INSTRUCTION = std::uint64_t{1} << 32;
constexpr std::uint64_t LOW_BITS = 0xFFFFFFFF;
// A total starts this far below bit 31 of its half of the clock, so that the
// half's top bit sets exactly when the total passes its limit.
constexpr std::uint64_t LIMIT_BIT = std::uint64_t{1} << 31;
constexpr std::uint64_t PAST_A_LIMIT = LIMIT_BIT | LIMIT_BIT << 32;

// Sees every store before it happens; the plain interpreter's does nothing.
struct NoStoreWatch {
    void BeforeStore(std::uint16_t) {}
};

// The interpreter works on its own copy of the registers for as long as it
// runs, so the compiler can keep them in machine registers: stores into the
// emulated memory could otherwise overwrite them, as far as it can tell.
// Nothing else reads the CPU state while a routine runs.
//
// Flags are kept apart and packed into p only when p is pushed or the
// registers are handed back: C and V as 0 or 1, N and Z as the value they
// were last set from.
//
// The complete machine also runs the undocumented opcodes as the NMOS 6510
// does and honours decimal mode; the default model does neither.
template <class StoreWatch = NoStoreWatch, bool complete = false>
struct Interpreter {
    explicit Interpreter(const CpuState& state, std::uint64_t startClock = 0,
                         StoreWatch* storeWatch = nullptr)
        : cpu(state), clock(startClock), watch(storeWatch) {
        UnpackFlags(state.p);
    }

    CpuState cpu;
    // Cycles in the low 32 bits and instructions in the high 32 bits, so that
    // one addition per instruction and one test per instruction keep both
    // totals and both limits of a routine call.
    std::uint64_t clock = 0;
    StoreWatch* watch;
    std::uint8_t carry = 0;
    std::uint8_t overflow = 0;
    std::uint8_t negativeSource = 0;  // N is its bit 7
    std::uint8_t zeroSource = 1;      // Z is set while it is 0
    std::uint8_t otherFlags = 0;      // I, D, B and bit 5, which no instruction reads

    std::uint8_t PackedFlags() const {
        return static_cast<std::uint8_t>(otherFlags | carry | overflow << 6 |
                                         (negativeSource & flag::N) |
                                         (zeroSource == 0 ? flag::Z : 0));
    }

    void UnpackFlags(std::uint8_t p) {
        carry = p & flag::C;
        overflow = (p >> 6) & 1;
        negativeSource = p & flag::N;
        zeroSource = (p & flag::Z) ? 0 : 1;
        otherFlags = p & (flag::I | flag::D | flag::B | 0x20);
    }

    CpuState State() const {
        CpuState state = cpu;
        state.p = PackedFlags();
        return state;
    }

    void Spend(std::uint32_t cycles) { clock += cycles; }

    void Store(std::uint16_t address, std::uint8_t value) {
        if (watch) watch->BeforeStore(address);
        WriteMemory(address, value);
    }

    // A little-endian word whose high byte wraps from $FFFF to $0000.
    std::uint16_t ReadWord(std::uint16_t address) {
        return static_cast<std::uint16_t>(ReadMemory(address) |
                                          ReadMemory(static_cast<std::uint16_t>(address + 1)) << 8);
    }

    // A pointer in page zero; its high byte wraps within page 0.
    std::uint16_t ReadZeroPageWord(std::uint8_t zp) {
        return static_cast<std::uint16_t>(ReadMemory(zp) |
                                          ReadMemory(static_cast<std::uint8_t>(zp + 1)) << 8);
    }

    std::uint8_t NextByte() { return ReadMemory(cpu.pc++); }

    std::uint16_t NextWord() {
        const std::uint16_t word = ReadWord(cpu.pc);
        cpu.pc = static_cast<std::uint16_t>(cpu.pc + 2);
        return word;
    }

    std::uint16_t Indexed(std::uint16_t base, std::uint8_t index) {
        const auto address = static_cast<std::uint16_t>(base + index);
        cpu.operandCrossedPage = ((base ^ address) & 0xFF00) != 0;
        return address;
    }

    // The effective address of a memory operand; pc moves past the operand
    // bytes. Returns the cycles of a read in that mode.
    template <AddressingMode mode>
    std::uint32_t Resolve() {
        cpu.operandCrossedPage = false;
        if constexpr (mode == ZeroPage) {
            cpu.operandAddress = NextByte();
            return 3;
        } else if constexpr (mode == ZeroPageX) {
            cpu.operandAddress = static_cast<std::uint8_t>(NextByte() + cpu.x);
            return 4;
        } else if constexpr (mode == ZeroPageY) {
            cpu.operandAddress = static_cast<std::uint8_t>(NextByte() + cpu.y);
            return 4;
        } else if constexpr (mode == Absolute) {
            cpu.operandAddress = NextWord();
            return 4;
        } else if constexpr (mode == AbsoluteX) {
            cpu.operandAddress = Indexed(NextWord(), cpu.x);
            return 4 + cpu.operandCrossedPage;
        } else if constexpr (mode == AbsoluteY) {
            cpu.operandAddress = Indexed(NextWord(), cpu.y);
            return 4 + cpu.operandCrossedPage;
        } else if constexpr (mode == IndexedIndirect) {
            cpu.operandAddress = ReadZeroPageWord(static_cast<std::uint8_t>(NextByte() + cpu.x));
            return 6;
        } else {
            static_assert(mode == IndirectIndexed);
            cpu.operandAddress = Indexed(ReadZeroPageWord(NextByte()), cpu.y);
            return 5 + cpu.operandCrossedPage;
        }
    }

    template <AddressingMode mode>
    std::uint8_t Fetch() {
        if constexpr (mode == Immediate) {
            Spend(2);
            return NextByte();
        } else if constexpr (mode == Accumulator) {
            Spend(2);
            return cpu.a;
        } else {
            Spend(Resolve<mode>());
            return ReadMemory(cpu.operandAddress);
        }
    }

    // The write of a read-modify-write instruction, to where Fetch read. The
    // indexed modes take 3 cycles whether the read crossed a page or not.
    template <AddressingMode mode>
    void WriteBack(std::uint8_t value) {
        if constexpr (mode == Accumulator) {
            cpu.a = value;
        } else if constexpr (mode == AbsoluteX || mode == AbsoluteY || mode == IndirectIndexed) {
            Store(cpu.operandAddress, value);
            Spend(3 - cpu.operandCrossedPage);
        } else {
            Store(cpu.operandAddress, value);
            Spend(2);
        }
    }

    // Indexed stores count the cycles of a read without its page-crossing
    // cycle, except AbsoluteY, which keeps it.
    template <AddressingMode mode>
    void StoreRegister(std::uint8_t value) {
        const std::uint32_t readCycles = Resolve<mode>();
        Spend(readCycles - (cpu.operandCrossedPage && mode != AbsoluteY));
        Store(cpu.operandAddress, value);
    }

    std::uint8_t SetNZ(std::uint8_t value) {
        negativeSource = zeroSource = value;
        return value;
    }

    // Binary addition with carry; V is the signed overflow of the operation.
    void AddBinary(std::uint8_t operand) {
        const unsigned sum = cpu.a + operand + carry;
        const auto result = static_cast<std::uint8_t>(sum);
        carry = sum > 0xFF;
        overflow = ((cpu.a ^ result) & (operand ^ result)) >> 7;
        cpu.a = SetNZ(result);
    }

    bool Decimal() const { return complete && (otherFlags & flag::D); }

    void AddWithCarry(std::uint8_t operand) {
        if (Decimal())
            AddDecimal(operand);
        else
            AddBinary(operand);
    }

    void SubtractWithBorrow(std::uint8_t operand) {
        if (Decimal())
            SubtractDecimal(operand);
        else
            AddBinary(static_cast<std::uint8_t>(~operand));
    }

    // Decimal addition as the NMOS chip does it: Z comes from the binary sum,
    // N and V from the sum before the high digit is adjusted.
    void AddDecimal(std::uint8_t operand) {
        const unsigned binary = cpu.a + operand + carry;
        unsigned low = (cpu.a & 0x0F) + (operand & 0x0F) + carry;
        if (low > 9) low += 6;
        unsigned sum = (low & 0x0F) + (cpu.a & 0xF0) + (operand & 0xF0) + (low > 0x0F ? 0x10 : 0);
        zeroSource = static_cast<std::uint8_t>(binary);
        negativeSource = static_cast<std::uint8_t>(sum);
        overflow = ((cpu.a ^ sum) & ~(cpu.a ^ operand) & 0x80) != 0;
        if ((sum & 0x1F0) > 0x90) sum += 0x60;
        carry = (sum & 0xFF0) > 0xF0;
        cpu.a = static_cast<std::uint8_t>(sum);
    }

    // Decimal subtraction as the NMOS chip does it: every flag comes from the
    // binary difference; only the accumulator is adjusted.
    void SubtractDecimal(std::uint8_t operand) {
        const std::uint8_t borrow = 1 - carry;
        int low = (cpu.a & 0x0F) - (operand & 0x0F) - borrow;
        int difference = (low & 0x10)
                             ? ((low - 6) & 0x0F) | ((cpu.a & 0xF0) - (operand & 0xF0) - 0x10)
                             : (low & 0x0F) | ((cpu.a & 0xF0) - (operand & 0xF0));
        if (difference & 0x100) difference -= 0x60;
        const std::uint8_t result = static_cast<std::uint8_t>(difference);
        AddBinary(static_cast<std::uint8_t>(~operand));
        cpu.a = result;
    }

    void Compare(std::uint8_t reg, std::uint8_t operand) {
        carry = reg >= operand;
        SetNZ(static_cast<std::uint8_t>(reg - operand));
    }

    void BranchIf(bool condition) {
        const auto offset = static_cast<std::int8_t>(Fetch<Immediate>());
        if (!condition) return;
        const auto target = static_cast<std::uint16_t>(cpu.pc + offset);
        Spend(1 + (((target ^ cpu.pc) & 0x100) != 0));
        cpu.pc = target;
    }

    std::uint8_t ShiftLeft(std::uint8_t v) {
        carry = v >> 7;
        return SetNZ(static_cast<std::uint8_t>(v << 1));
    }
    std::uint8_t ShiftRight(std::uint8_t v) {
        carry = v & 1;
        return SetNZ(static_cast<std::uint8_t>(v >> 1));
    }
    std::uint8_t RotateLeft(std::uint8_t v) {
        const std::uint8_t carryIn = carry;
        carry = v >> 7;
        return SetNZ(static_cast<std::uint8_t>((v << 1) | carryIn));
    }
    std::uint8_t RotateRight(std::uint8_t v) {
        const std::uint8_t carryIn = carry;
        carry = v & 1;
        return SetNZ(static_cast<std::uint8_t>((v >> 1) | (carryIn << 7)));
    }
    std::uint8_t Increment(std::uint8_t v) { return SetNZ(static_cast<std::uint8_t>(v + 1)); }
    std::uint8_t Decrement(std::uint8_t v) { return SetNZ(static_cast<std::uint8_t>(v - 1)); }

    template <AddressingMode mode, std::uint8_t (Interpreter::*change)(std::uint8_t)>
    void ReadModifyWrite() {
        const std::uint8_t value = Fetch<mode>();
        WriteBack<mode>((this->*change)(value));
    }

    void TestBits(std::uint8_t operand) {
        zeroSource = cpu.a & operand;
        negativeSource = operand;
        overflow = (operand >> 6) & 1;
    }

    void PushStack(std::uint8_t value) {
        Store(static_cast<std::uint16_t>(0x0100 + cpu.s), value);
        if (cpu.s != 0) --cpu.s;
    }

    std::uint8_t PullStack() {
        if (cpu.s != 0xFF) ++cpu.s;
        return ReadMemory(static_cast<std::uint16_t>(0x0100 + cpu.s));
    }

    // Pushes the address of the instruction's last byte, high byte first.
    void CallSubroutine() {
        const std::uint16_t target = NextWord();
        const auto lastByte = static_cast<std::uint16_t>(cpu.pc - 1);
        PushStack(static_cast<std::uint8_t>(lastByte >> 8));
        PushStack(static_cast<std::uint8_t>(lastByte));
        cpu.pc = target;
        Spend(6);
    }

    void ReturnFromSubroutine() {
        const std::uint8_t low = PullStack();
        const std::uint8_t high = PullStack();
        cpu.pc = static_cast<std::uint16_t>((low | high << 8) + 1);
    }

    void ReturnFromInterrupt() {
        UnpackFlags(PullStack());
        cpu.y = PullStack();
        cpu.x = PullStack();
        cpu.a = PullStack();
        ReturnFromSubroutine();
        Spend(6);
    }

    void Transfer(std::uint8_t& to, std::uint8_t value) {
        to = SetNZ(value);
        Spend(2);
    }

    void SetFlag(std::uint8_t& flagValue, std::uint8_t value) {
        flagValue = value;
        Spend(2);
    }

    void SetOtherFlag(std::uint8_t mask, bool on) {
        otherFlags = static_cast<std::uint8_t>(on ? (otherFlags | mask) : (otherFlags & ~mask));
        Spend(2);
    }

    // The undocumented opcodes of the complete machine.

    template <AddressingMode mode, std::uint8_t (Interpreter::*change)(std::uint8_t),
              void (Interpreter::*combine)(std::uint8_t)>
    void ChangeThenCombine() {
        const std::uint8_t value = (this->*change)(Fetch<mode>());
        WriteBack<mode>(value);
        (this->*combine)(value);
    }

    void Or(std::uint8_t value) { cpu.a = SetNZ(cpu.a | value); }
    void And(std::uint8_t value) { cpu.a = SetNZ(cpu.a & value); }
    void ExclusiveOr(std::uint8_t value) { cpu.a = SetNZ(cpu.a ^ value); }
    void CompareAccumulator(std::uint8_t value) { Compare(cpu.a, value); }

    template <AddressingMode mode>
    void LoadAccumulatorAndX() {
        cpu.a = cpu.x = SetNZ(Fetch<mode>());
    }

    // SHA, SHX, SHY and TAS store their value ANDed with the high byte of the
    // base address plus one.
    template <AddressingMode mode>
    void StoreAndedWithHighByte(std::uint8_t value) {
        const std::uint16_t base =
            mode == IndirectIndexed ? ReadZeroPageWord(NextByte()) : NextWord();
        const std::uint8_t index = mode == AbsoluteX ? cpu.x : cpu.y;
        const auto address = static_cast<std::uint16_t>(base + index);
        Store(address, static_cast<std::uint8_t>(value & ((base >> 8) + 1)));
        Spend(mode == IndirectIndexed ? 6 : 5);
    }

    void AndThenRotateRight(std::uint8_t operand) {
        const auto value = static_cast<std::uint8_t>((cpu.a & operand) >> 1 | carry << 7);
        cpu.a = SetNZ(value);
        carry = (value >> 6) & 1;
        overflow = ((value >> 6) ^ (value >> 5)) & 1;
    }

    void AndXThenSubtract(std::uint8_t operand) {
        const auto masked = static_cast<std::uint8_t>(cpu.a & cpu.x);
        carry = masked >= operand;
        cpu.x = SetNZ(static_cast<std::uint8_t>(masked - operand));
    }

    // A JAM stops the processor: the call ends as at the cycle limit.
    void Jam() { clock |= LIMIT_BIT; }

    void ExecuteUndocumented(std::uint8_t opcode);
    void Execute();
};

}  // namespace chipbox::interpreter
