// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/machine/cpu_6510.h"

#include <algorithm>
#include <array>
#include <utility>

namespace chipbox::machine {

// The decoding steps: inlined into each opcode's own Execute, where the
// opcode is a constant and they fold away.
#define CHIPBOX_DECODE_INLINE __attribute__((always_inline)) inline

namespace {

constexpr std::uint16_t NMI_VECTOR = 0xFFFA;
constexpr std::uint16_t RESET_VECTOR = 0xFFFC;
constexpr std::uint16_t IRQ_VECTOR = 0xFFFE;
constexpr std::uint8_t JMP_ABSOLUTE = 0x4C;

std::uint16_t Word(std::uint8_t low, std::uint8_t high) {
    return static_cast<std::uint16_t>(low | high << 8);
}

}  // namespace

void Cpu6510::Reset() {
    jammed_ = false;
    interruptDue_ = false;
    for (int cycle = 0; cycle < 2; ++cycle) bus_.Read(registers.pc);
    // Three pushes that the reset line turns into reads.
    for (int cycle = 0; cycle < 3; ++cycle)
        bus_.Read(static_cast<std::uint16_t>(0x100 | registers.s--));
    registers.p |= flags::I;
    const std::uint8_t low = bus_.Read(RESET_VECTOR);
    registers.pc = Word(low, bus_.Read(RESET_VECTOR + 1));
}

void Cpu6510::Run(std::uint64_t untilCycle) {
    runUntil_ = untilCycle;
    while (bus_.now() < untilCycle) {
        if (jammed_) {
            idleCycles_ += untilCycle - bus_.now();
            bus_.Idle(untilCycle);
            return;
        }
        Step();
    }
}

void Cpu6510::Step() {
    if (interruptDue_) {
        Interrupt();
        return;
    }
    if (jammed_) return;
    HANDLERS[Fetch()](*this);
}

// A JMP to itself with nothing due waits for the next event: the rounds
// until then read only the loop's own three bytes, so they are counted, not
// run. It must lie in RAM or ROM, where a read has no effect. A line that
// went low in the JMP's last cycle is due too: the next round takes it.
void Cpu6510::SkipIdleRounds() {
    if (interruptDue_ || bus_.nmiLatched() || (bus_.irq() && !(registers.p & flags::I))) return;
    std::uint8_t opcode;
    if (!bus_.Peek(registers.pc, opcode) || opcode != JMP_ABSOLUTE) return;
    const std::uint64_t until = std::min(bus_.NextAttention(), runUntil_);
    if (until <= bus_.now()) return;
    const std::uint64_t rounds = (until - bus_.now()) / 3;
    bus_.Skip(3 * rounds);
    idleCycles_ += 3 * rounds;
}

void Cpu6510::Interrupt() {
    bus_.Read(registers.pc);
    bus_.Read(registers.pc);
    Push(static_cast<std::uint8_t>(registers.pc >> 8));
    Push(static_cast<std::uint8_t>(registers.pc));
    Push(static_cast<std::uint8_t>((registers.p & ~flags::B) | flags::U));
    const bool nmi = bus_.nmiLatched();
    if (nmi) bus_.TakeNmi();
    const std::uint16_t vector = nmi ? NMI_VECTOR : IRQ_VECTOR;
    const std::uint8_t low = bus_.Read(vector);
    registers.p |= flags::I;
    registers.pc = Word(low, bus_.Read(static_cast<std::uint16_t>(vector + 1)));
    interruptDue_ = false;
}

// BRK: the byte after it is skipped; an NMI that arrives before the vector is
// read takes the vector over.
void Cpu6510::Break() {
    Fetch();
    Push(static_cast<std::uint8_t>(registers.pc >> 8));
    Push(static_cast<std::uint8_t>(registers.pc));
    Push(registers.p | flags::B | flags::U);
    const bool nmi = bus_.nmiLatched();
    if (nmi) bus_.TakeNmi();
    const std::uint16_t vector = nmi ? NMI_VECTOR : IRQ_VECTOR;
    const std::uint8_t low = bus_.Read(vector);
    registers.p |= flags::I;
    registers.pc = Word(low, bus_.Read(static_cast<std::uint16_t>(vector + 1)));
}

std::uint16_t Cpu6510::Immediate() { return registers.pc++; }

CHIPBOX_DECODE_INLINE std::uint16_t Cpu6510::ZeroPageIndexed(std::uint8_t index) {
    const std::uint8_t base = Fetch();
    bus_.Read(base);
    return static_cast<std::uint8_t>(base + index);
}

CHIPBOX_DECODE_INLINE std::uint16_t Cpu6510::Absolute() {
    const std::uint8_t low = Fetch();
    return Word(low, Fetch());
}

// The high byte is fixed a cycle later: a read that crosses a page, and
// every write, first reads the address with the old high byte.
CHIPBOX_DECODE_INLINE std::uint16_t Cpu6510::AbsoluteIndexed(std::uint8_t index,
                                                             bool alwaysExtraCycle) {
    const std::uint8_t low = Fetch();
    const std::uint8_t high = Fetch();
    const unsigned sum = low + index;
    if (alwaysExtraCycle || sum > 0xFF) bus_.Read(Word(static_cast<std::uint8_t>(sum), high));
    return static_cast<std::uint16_t>(Word(low, high) + index);
}

std::uint16_t Cpu6510::AbsoluteIndexedBase(std::uint8_t index) {
    const std::uint8_t low = Fetch();
    const std::uint8_t high = Fetch();
    bus_.Read(Word(static_cast<std::uint8_t>(low + index), high));
    return Word(low, high);
}

std::uint16_t Cpu6510::IndexedIndirect() {
    std::uint8_t pointer = Fetch();
    bus_.Read(pointer);
    pointer = static_cast<std::uint8_t>(pointer + registers.x);
    const std::uint8_t low = bus_.Read(pointer);
    return Word(low, bus_.Read(static_cast<std::uint8_t>(pointer + 1)));
}

CHIPBOX_DECODE_INLINE std::uint16_t Cpu6510::IndirectIndexed(bool alwaysExtraCycle) {
    const std::uint8_t pointer = Fetch();
    const std::uint8_t low = bus_.Read(pointer);
    const std::uint8_t high = bus_.Read(static_cast<std::uint8_t>(pointer + 1));
    const unsigned sum = low + registers.y;
    if (alwaysExtraCycle || sum > 0xFF) bus_.Read(Word(static_cast<std::uint8_t>(sum), high));
    return static_cast<std::uint16_t>(Word(low, high) + registers.y);
}

std::uint16_t Cpu6510::IndirectIndexedBase() {
    const std::uint8_t pointer = Fetch();
    const std::uint8_t low = bus_.Read(pointer);
    const std::uint8_t high = bus_.Read(static_cast<std::uint8_t>(pointer + 1));
    bus_.Read(Word(static_cast<std::uint8_t>(low + registers.y), high));
    return Word(low, high);
}

// The old value is written back while the new one is worked out.
std::uint8_t Cpu6510::ReadModifyWrite(std::uint16_t address, Change change) {
    const std::uint8_t old = bus_.Read(address);
    bus_.Write(address, old);
    const std::uint8_t value = (this->*change)(old);
    LastWrite(address, value);
    return value;
}

// SHA, SHX, SHY and TAS store their value ANDed with the high byte of the
// base address plus one.
void Cpu6510::StoreAndedWithHighByte(std::uint16_t base, std::uint8_t index, std::uint8_t value) {
    LastWrite(static_cast<std::uint16_t>(base + index),
              static_cast<std::uint8_t>(value & ((base >> 8) + 1)));
}

void Cpu6510::Implied() {
    Poll();
    bus_.Read(registers.pc);
}

void Cpu6510::PushRegister(std::uint8_t value) {
    bus_.Read(registers.pc);
    Poll();
    Push(value);
}

std::uint8_t Cpu6510::PullRegister() {
    bus_.Read(registers.pc);
    bus_.Read(static_cast<std::uint16_t>(0x100 | registers.s));
    ++registers.s;
    return LastRead(static_cast<std::uint16_t>(0x100 | registers.s));
}

void Cpu6510::SetStatus(std::uint8_t value) {
    registers.p = static_cast<std::uint8_t>((value & ~flags::B) | flags::U);
}

void Cpu6510::JumpToSubroutine() {
    const std::uint8_t low = Fetch();
    bus_.Read(static_cast<std::uint16_t>(0x100 | registers.s));
    Push(static_cast<std::uint8_t>(registers.pc >> 8));
    Push(static_cast<std::uint8_t>(registers.pc));
    registers.pc = Word(low, LastRead(registers.pc));
}

void Cpu6510::ReturnFromSubroutine() {
    bus_.Read(registers.pc);
    bus_.Read(static_cast<std::uint16_t>(0x100 | registers.s));
    const std::uint8_t low = bus_.Read(static_cast<std::uint16_t>(0x100 | ++registers.s));
    const std::uint8_t high = bus_.Read(static_cast<std::uint16_t>(0x100 | ++registers.s));
    registers.pc = Word(low, high);
    LastRead(registers.pc);
    ++registers.pc;
}

// P comes back before the last cycle, so its I decides there.
void Cpu6510::ReturnFromInterrupt() {
    bus_.Read(registers.pc);
    bus_.Read(static_cast<std::uint16_t>(0x100 | registers.s));
    SetStatus(bus_.Read(static_cast<std::uint16_t>(0x100 | ++registers.s)));
    const std::uint8_t low = bus_.Read(static_cast<std::uint16_t>(0x100 | ++registers.s));
    registers.pc = Word(low, LastRead(static_cast<std::uint16_t>(0x100 | ++registers.s)));
}

void Cpu6510::JumpAbsolute() {
    const std::uint16_t self = static_cast<std::uint16_t>(registers.pc - 1);
    const std::uint8_t low = Fetch();
    registers.pc = Word(low, LastRead(registers.pc));
    if (registers.pc != self) return;
    idleCycles_ += 3;
    SkipIdleRounds();
}

// The pointer's high byte comes from the same page: JMP ($10FF) reads $10FF
// and $1000.
void Cpu6510::JumpIndirect() {
    const std::uint16_t pointer = Absolute();
    const std::uint8_t low = bus_.Read(pointer);
    registers.pc = Word(
        low, LastRead(static_cast<std::uint16_t>((pointer & 0xFF00) | ((pointer + 1) & 0xFF))));
}

CHIPBOX_DECODE_INLINE void Cpu6510::Branch(bool taken) {
    Poll();
    const auto offset = static_cast<std::int8_t>(Fetch());
    if (!taken) return;
    bus_.Read(registers.pc);
    const auto target = static_cast<std::uint16_t>(registers.pc + offset);
    if ((target & 0xFF00) != (registers.pc & 0xFF00))
        LastRead(static_cast<std::uint16_t>((registers.pc & 0xFF00) | (target & 0xFF)));
    registers.pc = target;
}

std::uint8_t Cpu6510::SetNZ(std::uint8_t value) {
    registers.p = static_cast<std::uint8_t>((registers.p & ~(flags::N | flags::Z)) |
                                            (value & flags::N) | (value == 0 ? flags::Z : 0));
    return value;
}

void Cpu6510::Carry(bool set) {
    registers.p = static_cast<std::uint8_t>((registers.p & ~flags::C) | (set ? flags::C : 0));
}

void Cpu6510::Overflow(bool set) {
    registers.p = static_cast<std::uint8_t>((registers.p & ~flags::V) | (set ? flags::V : 0));
}

void Cpu6510::AddBinary(std::uint8_t operand) {
    const unsigned a = registers.a;
    const unsigned sum = a + operand + (registers.p & flags::C);
    Overflow(((a ^ sum) & (operand ^ sum) & 0x80) != 0);
    Carry(sum > 0xFF);
    registers.a = SetNZ(static_cast<std::uint8_t>(sum));
}

// Decimal addition as the NMOS chip does it: Z comes from the binary sum,
// N and V from the sum before the high digit is adjusted.
void Cpu6510::AddWithCarry(std::uint8_t operand) {
    if (!(registers.p & flags::D)) {
        AddBinary(operand);
        return;
    }
    const unsigned a = registers.a;
    const unsigned carry = registers.p & flags::C;
    const unsigned binary = a + operand + carry;
    unsigned low = (a & 0x0F) + (operand & 0x0F) + carry;
    if (low > 9) low += 6;
    unsigned sum = (low & 0x0F) + (a & 0xF0) + (operand & 0xF0) + (low > 0x0F ? 0x10 : 0);
    SetNZ(static_cast<std::uint8_t>(binary));
    registers.p = static_cast<std::uint8_t>((registers.p & ~flags::N) | (sum & flags::N));
    Overflow(((a ^ sum) & ~(a ^ operand) & 0x80) != 0);
    if ((sum & 0x1F0) > 0x90) sum += 0x60;
    Carry((sum & 0xFF0) > 0xF0);
    registers.a = static_cast<std::uint8_t>(sum);
}

// Decimal subtraction as the NMOS chip does it: every flag comes from the
// binary difference; only the accumulator is adjusted.
void Cpu6510::SubtractWithBorrow(std::uint8_t operand) {
    if (!(registers.p & flags::D)) {
        AddBinary(static_cast<std::uint8_t>(~operand));
        return;
    }
    const unsigned a = registers.a;
    const int borrow = 1 - (registers.p & flags::C);
    const int low = static_cast<int>(a & 0x0F) - (operand & 0x0F) - borrow;
    int difference =
        (low & 0x10) ? ((low - 6) & 0x0F) | (static_cast<int>(a & 0xF0) - (operand & 0xF0) - 0x10)
                     : (low & 0x0F) | (static_cast<int>(a & 0xF0) - (operand & 0xF0));
    if (difference & 0x100) difference -= 0x60;
    AddBinary(static_cast<std::uint8_t>(~operand));
    registers.a = static_cast<std::uint8_t>(difference);
}

void Cpu6510::Compare(std::uint8_t reg, std::uint8_t operand) {
    Carry(reg >= operand);
    SetNZ(static_cast<std::uint8_t>(reg - operand));
}

void Cpu6510::Bit(std::uint8_t operand) {
    registers.p = static_cast<std::uint8_t>((registers.p & ~(flags::N | flags::V | flags::Z)) |
                                            (operand & (flags::N | flags::V)) |
                                            ((registers.a & operand) == 0 ? flags::Z : 0));
}

std::uint8_t Cpu6510::ShiftLeft(std::uint8_t v) {
    Carry(v & 0x80);
    return SetNZ(static_cast<std::uint8_t>(v << 1));
}

std::uint8_t Cpu6510::ShiftRight(std::uint8_t v) {
    Carry(v & 1);
    return SetNZ(static_cast<std::uint8_t>(v >> 1));
}

std::uint8_t Cpu6510::RotateLeft(std::uint8_t v) {
    const std::uint8_t carry = registers.p & flags::C;
    Carry(v & 0x80);
    return SetNZ(static_cast<std::uint8_t>(v << 1 | carry));
}

std::uint8_t Cpu6510::RotateRight(std::uint8_t v) {
    const std::uint8_t carry = registers.p & flags::C;
    Carry(v & 1);
    return SetNZ(static_cast<std::uint8_t>(v >> 1 | carry << 7));
}

std::uint8_t Cpu6510::Increment(std::uint8_t v) { return SetNZ(static_cast<std::uint8_t>(v + 1)); }

std::uint8_t Cpu6510::Decrement(std::uint8_t v) { return SetNZ(static_cast<std::uint8_t>(v - 1)); }

void Cpu6510::AndSetCarry(std::uint8_t operand) {
    registers.a = SetNZ(registers.a & operand);
    Carry(registers.a & 0x80);
}

void Cpu6510::AndRotateRight(std::uint8_t operand) {
    const auto value =
        static_cast<std::uint8_t>((registers.a & operand) >> 1 | (registers.p & flags::C) << 7);
    registers.a = SetNZ(value);
    Carry((value >> 6) & 1);
    Overflow(((value >> 6) ^ (value >> 5)) & 1);
}

void Cpu6510::AndXSubtract(std::uint8_t operand) {
    const auto masked = static_cast<std::uint8_t>(registers.a & registers.x);
    Carry(masked >= operand);
    registers.x = SetNZ(static_cast<std::uint8_t>(masked - operand));
}

// The addressing mode that bits 2-4 of an opcode name in the rows whose low
// bits are 01 or 11: (zp,X), zp, #, abs, (zp),Y, zp,X, abs,Y, abs,X. Reads
// take the page-crossing cycle only when they cross; writes always take it.
CHIPBOX_DECODE_INLINE std::uint16_t Cpu6510::ColumnAddress(std::uint8_t column, bool writes) {
    switch (column) {
        case 0: return IndexedIndirect();
        case 1: return Fetch();
        case 2: return Immediate();
        case 3: return Absolute();
        case 4: return IndirectIndexed(writes);
        case 5: return ZeroPageIndexed(registers.x);
        case 6: return AbsoluteIndexed(registers.y, writes);
        default: return AbsoluteIndexed(registers.x, writes);
    }
}

// ORA, AND, EOR, ADC, STA, LDA, CMP and SBC in their eight modes; STA's
// immediate column is a NOP that reads its operand.
CHIPBOX_DECODE_INLINE void Cpu6510::AccumulatorRow(std::uint8_t operation, std::uint8_t column) {
    if (operation == 4) {
        if (column == 2)
            LastRead(Immediate());
        else
            LastWrite(ColumnAddress(column, true), registers.a);
        return;
    }
    Combine(operation, LastRead(ColumnAddress(column, false)));
}

// A with a value, as the accumulator row's operation says: the same
// operations finish SLO, RLA, SRE, RRA, DCP and ISC.
CHIPBOX_DECODE_INLINE void Cpu6510::Combine(std::uint8_t operation, std::uint8_t value) {
    switch (operation) {
        case 0: registers.a = SetNZ(registers.a | value); break;
        case 1: registers.a = SetNZ(registers.a & value); break;
        case 2: registers.a = SetNZ(registers.a ^ value); break;
        case 3: AddWithCarry(value); break;
        case 5: registers.a = SetNZ(value); break;
        case 6: Compare(registers.a, value); break;
        default: SubtractWithBorrow(value); break;
    }
}

// ASL, ROL, LSR, ROR, DEC and INC by their row (0-3, 6, 7).
CHIPBOX_DECODE_INLINE Cpu6510::Change Cpu6510::ChangeOfRow(std::uint8_t operation) {
    static constexpr std::array<Change, 8> changes = {&Cpu6510::ShiftLeft,
                                                      &Cpu6510::RotateLeft,
                                                      &Cpu6510::ShiftRight,
                                                      &Cpu6510::RotateRight,
                                                      nullptr,
                                                      nullptr,
                                                      &Cpu6510::Decrement,
                                                      &Cpu6510::Increment};
    return changes[operation];
}

// The opcodes that follow the rows and columns of the matrix: the
// accumulator row (low bits 01), the shifts, rotations, DEC and INC on
// memory (10), and their undocumented combinations with the accumulator row
// (11). False for the rest.
CHIPBOX_DECODE_INLINE bool Cpu6510::ExecuteFromMatrix(std::uint8_t opcode) {
    const auto operation = static_cast<std::uint8_t>(opcode >> 5);
    const auto column = static_cast<std::uint8_t>((opcode >> 2) & 7);
    const bool changesMemory = operation <= 3 || operation >= 6;
    switch (opcode & 3) {
        case 1: AccumulatorRow(operation, column); return true;
        case 2:
            if (!changesMemory || !(column & 1)) return false;
            ReadModifyWrite(ColumnAddress(column, true), ChangeOfRow(operation));
            return true;
        case 3:
            if (!changesMemory || column == 2) return false;
            Combine(operation,
                    ReadModifyWrite(ColumnAddress(column, true), ChangeOfRow(operation)));
            return true;
        default: return false;
    }
}

// The undocumented opcodes that do nothing but their bus cycles: the JAMs,
// which halt the processor, and the NOPs in the columns zp,X, implied and
// abs,X of the rows that change memory.
CHIPBOX_DECODE_INLINE bool Cpu6510::ExecuteDoingNothing(std::uint8_t opcode) {
    const auto operation = static_cast<std::uint8_t>(opcode >> 5);
    const auto position = static_cast<std::uint8_t>(opcode & 0x1F);
    if (position == 0x12 || (position == 0x02 && operation <= 3)) {
        jammed_ = true;
        return true;
    }
    if (operation == 4 || operation == 5) return false;
    switch (position) {
        case 0x14: LastRead(ZeroPageIndexed(registers.x)); return true;
        case 0x1A: Implied(); return true;
        case 0x1C: LastRead(AbsoluteIndexed(registers.x, false)); return true;
        default: return false;
    }
}

// The branches (xxy10000: branch on flag xx being y), the flag
// instructions in the column of CLC (xxy11000: flag xx set to y, where V
// can only be cleared and $98 is TYA), and CPY and CPX in their immediate,
// zero-page and absolute columns.
CHIPBOX_DECODE_INLINE bool Cpu6510::ExecuteFlagColumns(std::uint8_t opcode) {
    static constexpr std::array<std::uint8_t, 4> branchFlags = {flags::N, flags::V, flags::C,
                                                                flags::Z};
    static constexpr std::array<std::uint8_t, 4> setFlags = {flags::C, flags::I, flags::V,
                                                             flags::D};
    const auto row = static_cast<std::size_t>(opcode >> 6);
    const bool value = opcode & 0x20;
    switch (opcode & 0x1F) {
        case 0x10: Branch(((registers.p & branchFlags[row]) != 0) == value); return true;
        case 0x18:
            if (opcode == 0x98) return false;
            Implied();
            if (value && setFlags[row] != flags::V)
                registers.p |= setFlags[row];
            else
                registers.p &= static_cast<std::uint8_t>(~setFlags[row]);
            return true;
        default: break;
    }
    const auto operation = opcode >> 5;
    const auto column = (opcode >> 2) & 7;
    if ((opcode & 3) != 0 || operation < 6 || (column != 0 && column != 1 && column != 3))
        return false;
    const std::uint8_t reg = operation == 6 ? registers.y : registers.x;
    Compare(reg, LastRead(column == 0 ? Immediate() : column == 1 ? Fetch() : Absolute()));
    return true;
}

// The load and store rows outside the accumulator's: LDY and STY (low bits
// 00), LDX and STX (10), LAX and SAX (11), in the columns they share. The
// registers other than Y index by Y where X would be the one stored or
// loaded.
CHIPBOX_DECODE_INLINE bool Cpu6510::ExecuteLoadsAndStores(std::uint8_t opcode) {
    const int operation = opcode >> 5, low = opcode & 3, column = (opcode >> 2) & 7;
    const bool loads = operation == 5, stores = operation == 4;
    const bool loadColumn = column == 0 || column == 1 || column == 3 || column == 5 ||
                            column == 7 || (column == 4 && low == 3);
    const bool storeColumn = column == 1 || column == 3 || column == 5 || (column == 0 && low == 3);
    if (low == 1 || !((loads && loadColumn) || (stores && storeColumn))) return false;
    const std::uint8_t index = low == 0 ? registers.x : registers.y;
    std::uint16_t address;
    switch (column) {
        case 0: address = low == 3 ? IndexedIndirect() : Immediate(); break;
        case 1: address = Fetch(); break;
        case 3: address = Absolute(); break;
        case 4: address = IndirectIndexed(false); break;
        case 5: address = ZeroPageIndexed(index); break;
        default: address = AbsoluteIndexed(index, false); break;
    }
    if (stores) {
        LastWrite(address, low == 0   ? registers.y
                           : low == 2 ? registers.x
                                      : registers.a & registers.x);
        return true;
    }
    const std::uint8_t value = SetNZ(LastRead(address));
    if (low == 0) registers.y = value;
    if (low >= 2) registers.x = value;
    if (low == 3) registers.a = value;
    return true;
}

CHIPBOX_DECODE_INLINE void Cpu6510::Execute(std::uint8_t opcode) {
    if (ExecuteFromMatrix(opcode) || ExecuteDoingNothing(opcode) || ExecuteFlagColumns(opcode) ||
        ExecuteLoadsAndStores(opcode))
        return;
    switch (opcode) {
        case 0x00:  // BRK
            Break();
            break;
        case 0x04:  // NOP zp
            LastRead(Fetch());
            break;
        case 0x08:  // PHP
            PushRegister(registers.p | flags::B | flags::U);
            break;
        case 0x0A:  // ASL A
            Implied();
            registers.a = ShiftLeft(registers.a);
            break;
        case 0x0B:  // ANC #
            AndSetCarry(LastRead(Immediate()));
            break;
        case 0x0C:  // NOP abs
            LastRead(Absolute());
            break;
        case 0x20:  // JSR abs
            JumpToSubroutine();
            break;
        case 0x24:  // BIT zp
            Bit(LastRead(Fetch()));
            break;
        case 0x28:  // PLP
            SetStatus(PullRegister());
            break;
        case 0x2A:  // ROL A
            Implied();
            registers.a = RotateLeft(registers.a);
            break;
        case 0x2B:  // ANC #
            AndSetCarry(LastRead(Immediate()));
            break;
        case 0x2C:  // BIT abs
            Bit(LastRead(Absolute()));
            break;
        case 0x40:  // RTI
            ReturnFromInterrupt();
            break;
        case 0x44:  // NOP zp
            LastRead(Fetch());
            break;
        case 0x48:  // PHA
            PushRegister(registers.a);
            break;
        case 0x4A:  // LSR A
            Implied();
            registers.a = ShiftRight(registers.a);
            break;
        case 0x4B:  // ALR #
            registers.a = ShiftRight(registers.a & LastRead(Immediate()));
            break;
        case 0x4C:  // JMP abs
            JumpAbsolute();
            break;
        case 0x60:  // RTS
            ReturnFromSubroutine();
            break;
        case 0x64:  // NOP zp
            LastRead(Fetch());
            break;
        case 0x68:  // PLA
            registers.a = SetNZ(PullRegister());
            break;
        case 0x6A:  // ROR A
            Implied();
            registers.a = RotateRight(registers.a);
            break;
        case 0x6B:  // ARR #
            AndRotateRight(LastRead(Immediate()));
            break;
        case 0x6C:  // JMP (abs)
            JumpIndirect();
            break;
        case 0x80:  // NOP #
            LastRead(Immediate());
            break;
        case 0x82:  // NOP #
            LastRead(Immediate());
            break;
        case 0x88:  // DEY
            Implied();
            registers.y = SetNZ(registers.y - 1);
            break;
        case 0x8A:  // TXA
            Implied();
            registers.a = SetNZ(registers.x);
            break;
        case 0x8B:  // ANE #
            registers.a = SetNZ((registers.a | 0xEE) & registers.x & LastRead(Immediate()));
            break;
        case 0x93:  // SHA (zp),Y
            StoreAndedWithHighByte(IndirectIndexedBase(), registers.y, registers.a & registers.x);
            break;
        case 0x98:  // TYA
            Implied();
            registers.a = SetNZ(registers.y);
            break;
        case 0x9A:  // TXS
            Implied();
            registers.s = registers.x;
            break;
        case 0x9B:  // TAS abs,Y
            registers.s = registers.a & registers.x;
            StoreAndedWithHighByte(AbsoluteIndexedBase(registers.y), registers.y, registers.s);
            break;
        case 0x9C:  // SHY abs,X
            StoreAndedWithHighByte(AbsoluteIndexedBase(registers.x), registers.x, registers.y);
            break;
        case 0x9E:  // SHX abs,Y
            StoreAndedWithHighByte(AbsoluteIndexedBase(registers.y), registers.y, registers.x);
            break;
        case 0x9F:  // SHA abs,Y
            StoreAndedWithHighByte(AbsoluteIndexedBase(registers.y), registers.y,
                                   registers.a & registers.x);
            break;
        case 0xA8:  // TAY
            Implied();
            registers.y = SetNZ(registers.a);
            break;
        case 0xAA:  // TAX
            Implied();
            registers.x = SetNZ(registers.a);
            break;
        case 0xAB:  // LXA #
            registers.a = registers.x = SetNZ((registers.a | 0xEE) & LastRead(Immediate()));
            break;
        case 0xBA:  // TSX
            Implied();
            registers.x = SetNZ(registers.s);
            break;
        case 0xBB:  // LAS abs,Y
            registers.a = registers.x = registers.s =
                SetNZ(LastRead(AbsoluteIndexed(registers.y, false)) & registers.s);
            break;
        case 0xC2:  // NOP #
            LastRead(Immediate());
            break;
        case 0xC8:  // INY
            Implied();
            registers.y = SetNZ(registers.y + 1);
            break;
        case 0xCA:  // DEX
            Implied();
            registers.x = SetNZ(registers.x - 1);
            break;
        case 0xCB:  // SBX #
            AndXSubtract(LastRead(Immediate()));
            break;
        case 0xE2:  // NOP #
            LastRead(Immediate());
            break;
        case 0xE8:  // INX
            Implied();
            registers.x = SetNZ(registers.x + 1);
            break;
        case 0xEA:  // NOP
            Implied();
            break;
        case 0xEB:  // SBC #
            SubtractWithBorrow(LastRead(Immediate()));
            break;
    }
}

template <std::uint8_t OPCODE>
void Cpu6510::ExecuteOpcode(Cpu6510& cpu) {
    cpu.Execute(OPCODE);
}

constinit const std::array<Cpu6510::Handler, 256> Cpu6510::HANDLERS =
    []<std::size_t... OPCODES>(std::index_sequence<OPCODES...>) {
        return std::array<Handler, 256>{&Cpu6510::ExecuteOpcode<OPCODES>...};
    }(std::make_index_sequence<256>());

}  // namespace chipbox::machine
