// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/machine/cpu_6510.h"

#include <algorithm>

namespace chipbox::machine {

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
    Execute(Fetch());
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

std::uint16_t Cpu6510::ZeroPageIndexed(std::uint8_t index) {
    const std::uint8_t base = Fetch();
    bus_.Read(base);
    return static_cast<std::uint8_t>(base + index);
}

std::uint16_t Cpu6510::Absolute() {
    const std::uint8_t low = Fetch();
    return Word(low, Fetch());
}

// The high byte is fixed a cycle later: a read that crosses a page, and
// every write, first reads the address with the old high byte.
std::uint16_t Cpu6510::AbsoluteIndexed(std::uint8_t index, bool alwaysExtraCycle) {
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

std::uint16_t Cpu6510::IndirectIndexed(bool alwaysExtraCycle) {
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
std::uint8_t Cpu6510::ReadModifyWrite(std::uint16_t address,
                                      std::uint8_t (Cpu6510::*change)(std::uint8_t)) {
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
    registers.pc = Word(low, LastRead(static_cast<std::uint16_t>((pointer & 0xFF00) |
                                                                ((pointer + 1) & 0xFF))));
}

void Cpu6510::Branch(bool taken) {
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
    int difference = (low & 0x10) ? ((low - 6) & 0x0F) |
                                         (static_cast<int>(a & 0xF0) - (operand & 0xF0) - 0x10)
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
    const auto value = static_cast<std::uint8_t>((registers.a & operand) >> 1 |
                                                 (registers.p & flags::C) << 7);
    registers.a = SetNZ(value);
    Carry((value >> 6) & 1);
    Overflow(((value >> 6) ^ (value >> 5)) & 1);
}

void Cpu6510::AndXSubtract(std::uint8_t operand) {
    const auto masked = static_cast<std::uint8_t>(registers.a & registers.x);
    Carry(masked >= operand);
    registers.x = SetNZ(static_cast<std::uint8_t>(masked - operand));
}

void Cpu6510::Execute(std::uint8_t opcode) {
    switch (opcode) {
        case 0x00:  // BRK
            Break();
            break;
        case 0x01:  // ORA (zp,X)
            registers.a = SetNZ(registers.a | LastRead(IndexedIndirect()));
            break;
        case 0x02:  // JAM
            jammed_ = true;
            break;
        case 0x03:  // SLO (zp,X)
            registers.a = SetNZ(registers.a | ReadModifyWrite(IndexedIndirect(), &Cpu6510::ShiftLeft));
            break;
        case 0x04:  // NOP zp
            LastRead(Fetch());
            break;
        case 0x05:  // ORA zp
            registers.a = SetNZ(registers.a | LastRead(Fetch()));
            break;
        case 0x06:  // ASL zp
            ReadModifyWrite(Fetch(), &Cpu6510::ShiftLeft);
            break;
        case 0x07:  // SLO zp
            registers.a = SetNZ(registers.a | ReadModifyWrite(Fetch(), &Cpu6510::ShiftLeft));
            break;
        case 0x08:  // PHP
            PushRegister(registers.p | flags::B | flags::U);
            break;
        case 0x09:  // ORA #
            registers.a = SetNZ(registers.a | LastRead(Immediate()));
            break;
        case 0x0A:  // ASL A
            Implied(); registers.a = ShiftLeft(registers.a);
            break;
        case 0x0B:  // ANC #
            AndSetCarry(LastRead(Immediate()));
            break;
        case 0x0C:  // NOP abs
            LastRead(Absolute());
            break;
        case 0x0D:  // ORA abs
            registers.a = SetNZ(registers.a | LastRead(Absolute()));
            break;
        case 0x0E:  // ASL abs
            ReadModifyWrite(Absolute(), &Cpu6510::ShiftLeft);
            break;
        case 0x0F:  // SLO abs
            registers.a = SetNZ(registers.a | ReadModifyWrite(Absolute(), &Cpu6510::ShiftLeft));
            break;
        case 0x10:  // BPL
            Branch(!(registers.p & flags::N));
            break;
        case 0x11:  // ORA (zp),Y
            registers.a = SetNZ(registers.a | LastRead(IndirectIndexed(false)));
            break;
        case 0x12:  // JAM
            jammed_ = true;
            break;
        case 0x13:  // SLO (zp),Y
            registers.a = SetNZ(registers.a | ReadModifyWrite(IndirectIndexed(true), &Cpu6510::ShiftLeft));
            break;
        case 0x14:  // NOP zp,X
            LastRead(ZeroPageIndexed(registers.x));
            break;
        case 0x15:  // ORA zp,X
            registers.a = SetNZ(registers.a | LastRead(ZeroPageIndexed(registers.x)));
            break;
        case 0x16:  // ASL zp,X
            ReadModifyWrite(ZeroPageIndexed(registers.x), &Cpu6510::ShiftLeft);
            break;
        case 0x17:  // SLO zp,X
            registers.a = SetNZ(registers.a | ReadModifyWrite(ZeroPageIndexed(registers.x), &Cpu6510::ShiftLeft));
            break;
        case 0x18:  // CLC
            Implied(); registers.p &= ~flags::C;
            break;
        case 0x19:  // ORA abs,Y
            registers.a = SetNZ(registers.a | LastRead(AbsoluteIndexed(registers.y, false)));
            break;
        case 0x1A:  // NOP
            Implied();
            break;
        case 0x1B:  // SLO abs,Y
            registers.a = SetNZ(registers.a | ReadModifyWrite(AbsoluteIndexed(registers.y, true), &Cpu6510::ShiftLeft));
            break;
        case 0x1C:  // NOP abs,X
            LastRead(AbsoluteIndexed(registers.x, false));
            break;
        case 0x1D:  // ORA abs,X
            registers.a = SetNZ(registers.a | LastRead(AbsoluteIndexed(registers.x, false)));
            break;
        case 0x1E:  // ASL abs,X
            ReadModifyWrite(AbsoluteIndexed(registers.x, true), &Cpu6510::ShiftLeft);
            break;
        case 0x1F:  // SLO abs,X
            registers.a = SetNZ(registers.a | ReadModifyWrite(AbsoluteIndexed(registers.x, true), &Cpu6510::ShiftLeft));
            break;
        case 0x20:  // JSR abs
            JumpToSubroutine();
            break;
        case 0x21:  // AND (zp,X)
            registers.a = SetNZ(registers.a & LastRead(IndexedIndirect()));
            break;
        case 0x22:  // JAM
            jammed_ = true;
            break;
        case 0x23:  // RLA (zp,X)
            registers.a = SetNZ(registers.a & ReadModifyWrite(IndexedIndirect(), &Cpu6510::RotateLeft));
            break;
        case 0x24:  // BIT zp
            Bit(LastRead(Fetch()));
            break;
        case 0x25:  // AND zp
            registers.a = SetNZ(registers.a & LastRead(Fetch()));
            break;
        case 0x26:  // ROL zp
            ReadModifyWrite(Fetch(), &Cpu6510::RotateLeft);
            break;
        case 0x27:  // RLA zp
            registers.a = SetNZ(registers.a & ReadModifyWrite(Fetch(), &Cpu6510::RotateLeft));
            break;
        case 0x28:  // PLP
            SetStatus(PullRegister());
            break;
        case 0x29:  // AND #
            registers.a = SetNZ(registers.a & LastRead(Immediate()));
            break;
        case 0x2A:  // ROL A
            Implied(); registers.a = RotateLeft(registers.a);
            break;
        case 0x2B:  // ANC #
            AndSetCarry(LastRead(Immediate()));
            break;
        case 0x2C:  // BIT abs
            Bit(LastRead(Absolute()));
            break;
        case 0x2D:  // AND abs
            registers.a = SetNZ(registers.a & LastRead(Absolute()));
            break;
        case 0x2E:  // ROL abs
            ReadModifyWrite(Absolute(), &Cpu6510::RotateLeft);
            break;
        case 0x2F:  // RLA abs
            registers.a = SetNZ(registers.a & ReadModifyWrite(Absolute(), &Cpu6510::RotateLeft));
            break;
        case 0x30:  // BMI
            Branch(registers.p & flags::N);
            break;
        case 0x31:  // AND (zp),Y
            registers.a = SetNZ(registers.a & LastRead(IndirectIndexed(false)));
            break;
        case 0x32:  // JAM
            jammed_ = true;
            break;
        case 0x33:  // RLA (zp),Y
            registers.a = SetNZ(registers.a & ReadModifyWrite(IndirectIndexed(true), &Cpu6510::RotateLeft));
            break;
        case 0x34:  // NOP zp,X
            LastRead(ZeroPageIndexed(registers.x));
            break;
        case 0x35:  // AND zp,X
            registers.a = SetNZ(registers.a & LastRead(ZeroPageIndexed(registers.x)));
            break;
        case 0x36:  // ROL zp,X
            ReadModifyWrite(ZeroPageIndexed(registers.x), &Cpu6510::RotateLeft);
            break;
        case 0x37:  // RLA zp,X
            registers.a = SetNZ(registers.a & ReadModifyWrite(ZeroPageIndexed(registers.x), &Cpu6510::RotateLeft));
            break;
        case 0x38:  // SEC
            Implied(); registers.p |= flags::C;
            break;
        case 0x39:  // AND abs,Y
            registers.a = SetNZ(registers.a & LastRead(AbsoluteIndexed(registers.y, false)));
            break;
        case 0x3A:  // NOP
            Implied();
            break;
        case 0x3B:  // RLA abs,Y
            registers.a = SetNZ(registers.a & ReadModifyWrite(AbsoluteIndexed(registers.y, true), &Cpu6510::RotateLeft));
            break;
        case 0x3C:  // NOP abs,X
            LastRead(AbsoluteIndexed(registers.x, false));
            break;
        case 0x3D:  // AND abs,X
            registers.a = SetNZ(registers.a & LastRead(AbsoluteIndexed(registers.x, false)));
            break;
        case 0x3E:  // ROL abs,X
            ReadModifyWrite(AbsoluteIndexed(registers.x, true), &Cpu6510::RotateLeft);
            break;
        case 0x3F:  // RLA abs,X
            registers.a = SetNZ(registers.a & ReadModifyWrite(AbsoluteIndexed(registers.x, true), &Cpu6510::RotateLeft));
            break;
        case 0x40:  // RTI
            ReturnFromInterrupt();
            break;
        case 0x41:  // EOR (zp,X)
            registers.a = SetNZ(registers.a ^ LastRead(IndexedIndirect()));
            break;
        case 0x42:  // JAM
            jammed_ = true;
            break;
        case 0x43:  // SRE (zp,X)
            registers.a = SetNZ(registers.a ^ ReadModifyWrite(IndexedIndirect(), &Cpu6510::ShiftRight));
            break;
        case 0x44:  // NOP zp
            LastRead(Fetch());
            break;
        case 0x45:  // EOR zp
            registers.a = SetNZ(registers.a ^ LastRead(Fetch()));
            break;
        case 0x46:  // LSR zp
            ReadModifyWrite(Fetch(), &Cpu6510::ShiftRight);
            break;
        case 0x47:  // SRE zp
            registers.a = SetNZ(registers.a ^ ReadModifyWrite(Fetch(), &Cpu6510::ShiftRight));
            break;
        case 0x48:  // PHA
            PushRegister(registers.a);
            break;
        case 0x49:  // EOR #
            registers.a = SetNZ(registers.a ^ LastRead(Immediate()));
            break;
        case 0x4A:  // LSR A
            Implied(); registers.a = ShiftRight(registers.a);
            break;
        case 0x4B:  // ALR #
            registers.a = ShiftRight(registers.a & LastRead(Immediate()));
            break;
        case 0x4C:  // JMP abs
            JumpAbsolute();
            break;
        case 0x4D:  // EOR abs
            registers.a = SetNZ(registers.a ^ LastRead(Absolute()));
            break;
        case 0x4E:  // LSR abs
            ReadModifyWrite(Absolute(), &Cpu6510::ShiftRight);
            break;
        case 0x4F:  // SRE abs
            registers.a = SetNZ(registers.a ^ ReadModifyWrite(Absolute(), &Cpu6510::ShiftRight));
            break;
        case 0x50:  // BVC
            Branch(!(registers.p & flags::V));
            break;
        case 0x51:  // EOR (zp),Y
            registers.a = SetNZ(registers.a ^ LastRead(IndirectIndexed(false)));
            break;
        case 0x52:  // JAM
            jammed_ = true;
            break;
        case 0x53:  // SRE (zp),Y
            registers.a = SetNZ(registers.a ^ ReadModifyWrite(IndirectIndexed(true), &Cpu6510::ShiftRight));
            break;
        case 0x54:  // NOP zp,X
            LastRead(ZeroPageIndexed(registers.x));
            break;
        case 0x55:  // EOR zp,X
            registers.a = SetNZ(registers.a ^ LastRead(ZeroPageIndexed(registers.x)));
            break;
        case 0x56:  // LSR zp,X
            ReadModifyWrite(ZeroPageIndexed(registers.x), &Cpu6510::ShiftRight);
            break;
        case 0x57:  // SRE zp,X
            registers.a = SetNZ(registers.a ^ ReadModifyWrite(ZeroPageIndexed(registers.x), &Cpu6510::ShiftRight));
            break;
        case 0x58:  // CLI
            Implied(); registers.p &= ~flags::I;
            break;
        case 0x59:  // EOR abs,Y
            registers.a = SetNZ(registers.a ^ LastRead(AbsoluteIndexed(registers.y, false)));
            break;
        case 0x5A:  // NOP
            Implied();
            break;
        case 0x5B:  // SRE abs,Y
            registers.a = SetNZ(registers.a ^ ReadModifyWrite(AbsoluteIndexed(registers.y, true), &Cpu6510::ShiftRight));
            break;
        case 0x5C:  // NOP abs,X
            LastRead(AbsoluteIndexed(registers.x, false));
            break;
        case 0x5D:  // EOR abs,X
            registers.a = SetNZ(registers.a ^ LastRead(AbsoluteIndexed(registers.x, false)));
            break;
        case 0x5E:  // LSR abs,X
            ReadModifyWrite(AbsoluteIndexed(registers.x, true), &Cpu6510::ShiftRight);
            break;
        case 0x5F:  // SRE abs,X
            registers.a = SetNZ(registers.a ^ ReadModifyWrite(AbsoluteIndexed(registers.x, true), &Cpu6510::ShiftRight));
            break;
        case 0x60:  // RTS
            ReturnFromSubroutine();
            break;
        case 0x61:  // ADC (zp,X)
            AddWithCarry(LastRead(IndexedIndirect()));
            break;
        case 0x62:  // JAM
            jammed_ = true;
            break;
        case 0x63:  // RRA (zp,X)
            AddWithCarry(ReadModifyWrite(IndexedIndirect(), &Cpu6510::RotateRight));
            break;
        case 0x64:  // NOP zp
            LastRead(Fetch());
            break;
        case 0x65:  // ADC zp
            AddWithCarry(LastRead(Fetch()));
            break;
        case 0x66:  // ROR zp
            ReadModifyWrite(Fetch(), &Cpu6510::RotateRight);
            break;
        case 0x67:  // RRA zp
            AddWithCarry(ReadModifyWrite(Fetch(), &Cpu6510::RotateRight));
            break;
        case 0x68:  // PLA
            registers.a = SetNZ(PullRegister());
            break;
        case 0x69:  // ADC #
            AddWithCarry(LastRead(Immediate()));
            break;
        case 0x6A:  // ROR A
            Implied(); registers.a = RotateRight(registers.a);
            break;
        case 0x6B:  // ARR #
            AndRotateRight(LastRead(Immediate()));
            break;
        case 0x6C:  // JMP (abs)
            JumpIndirect();
            break;
        case 0x6D:  // ADC abs
            AddWithCarry(LastRead(Absolute()));
            break;
        case 0x6E:  // ROR abs
            ReadModifyWrite(Absolute(), &Cpu6510::RotateRight);
            break;
        case 0x6F:  // RRA abs
            AddWithCarry(ReadModifyWrite(Absolute(), &Cpu6510::RotateRight));
            break;
        case 0x70:  // BVS
            Branch(registers.p & flags::V);
            break;
        case 0x71:  // ADC (zp),Y
            AddWithCarry(LastRead(IndirectIndexed(false)));
            break;
        case 0x72:  // JAM
            jammed_ = true;
            break;
        case 0x73:  // RRA (zp),Y
            AddWithCarry(ReadModifyWrite(IndirectIndexed(true), &Cpu6510::RotateRight));
            break;
        case 0x74:  // NOP zp,X
            LastRead(ZeroPageIndexed(registers.x));
            break;
        case 0x75:  // ADC zp,X
            AddWithCarry(LastRead(ZeroPageIndexed(registers.x)));
            break;
        case 0x76:  // ROR zp,X
            ReadModifyWrite(ZeroPageIndexed(registers.x), &Cpu6510::RotateRight);
            break;
        case 0x77:  // RRA zp,X
            AddWithCarry(ReadModifyWrite(ZeroPageIndexed(registers.x), &Cpu6510::RotateRight));
            break;
        case 0x78:  // SEI
            Implied(); registers.p |= flags::I;
            break;
        case 0x79:  // ADC abs,Y
            AddWithCarry(LastRead(AbsoluteIndexed(registers.y, false)));
            break;
        case 0x7A:  // NOP
            Implied();
            break;
        case 0x7B:  // RRA abs,Y
            AddWithCarry(ReadModifyWrite(AbsoluteIndexed(registers.y, true), &Cpu6510::RotateRight));
            break;
        case 0x7C:  // NOP abs,X
            LastRead(AbsoluteIndexed(registers.x, false));
            break;
        case 0x7D:  // ADC abs,X
            AddWithCarry(LastRead(AbsoluteIndexed(registers.x, false)));
            break;
        case 0x7E:  // ROR abs,X
            ReadModifyWrite(AbsoluteIndexed(registers.x, true), &Cpu6510::RotateRight);
            break;
        case 0x7F:  // RRA abs,X
            AddWithCarry(ReadModifyWrite(AbsoluteIndexed(registers.x, true), &Cpu6510::RotateRight));
            break;
        case 0x80:  // NOP #
            LastRead(Immediate());
            break;
        case 0x81:  // STA (zp,X)
            LastWrite(IndexedIndirect(), registers.a);
            break;
        case 0x82:  // NOP #
            LastRead(Immediate());
            break;
        case 0x83:  // SAX (zp,X)
            LastWrite(IndexedIndirect(), registers.a & registers.x);
            break;
        case 0x84:  // STY zp
            LastWrite(Fetch(), registers.y);
            break;
        case 0x85:  // STA zp
            LastWrite(Fetch(), registers.a);
            break;
        case 0x86:  // STX zp
            LastWrite(Fetch(), registers.x);
            break;
        case 0x87:  // SAX zp
            LastWrite(Fetch(), registers.a & registers.x);
            break;
        case 0x88:  // DEY
            Implied(); registers.y = SetNZ(registers.y - 1);
            break;
        case 0x89:  // NOP #
            LastRead(Immediate());
            break;
        case 0x8A:  // TXA
            Implied(); registers.a = SetNZ(registers.x);
            break;
        case 0x8B:  // ANE #
            registers.a = SetNZ((registers.a | 0xEE) & registers.x & LastRead(Immediate()));
            break;
        case 0x8C:  // STY abs
            LastWrite(Absolute(), registers.y);
            break;
        case 0x8D:  // STA abs
            LastWrite(Absolute(), registers.a);
            break;
        case 0x8E:  // STX abs
            LastWrite(Absolute(), registers.x);
            break;
        case 0x8F:  // SAX abs
            LastWrite(Absolute(), registers.a & registers.x);
            break;
        case 0x90:  // BCC
            Branch(!(registers.p & flags::C));
            break;
        case 0x91:  // STA (zp),Y
            LastWrite(IndirectIndexed(true), registers.a);
            break;
        case 0x92:  // JAM
            jammed_ = true;
            break;
        case 0x93:  // SHA (zp),Y
            StoreAndedWithHighByte(IndirectIndexedBase(), registers.y, registers.a & registers.x);
            break;
        case 0x94:  // STY zp,X
            LastWrite(ZeroPageIndexed(registers.x), registers.y);
            break;
        case 0x95:  // STA zp,X
            LastWrite(ZeroPageIndexed(registers.x), registers.a);
            break;
        case 0x96:  // STX zp,Y
            LastWrite(ZeroPageIndexed(registers.y), registers.x);
            break;
        case 0x97:  // SAX zp,Y
            LastWrite(ZeroPageIndexed(registers.y), registers.a & registers.x);
            break;
        case 0x98:  // TYA
            Implied(); registers.a = SetNZ(registers.y);
            break;
        case 0x99:  // STA abs,Y
            LastWrite(AbsoluteIndexed(registers.y, true), registers.a);
            break;
        case 0x9A:  // TXS
            Implied(); registers.s = registers.x;
            break;
        case 0x9B:  // TAS abs,Y
            registers.s = registers.a & registers.x; StoreAndedWithHighByte(AbsoluteIndexedBase(registers.y), registers.y, registers.s);
            break;
        case 0x9C:  // SHY abs,X
            StoreAndedWithHighByte(AbsoluteIndexedBase(registers.x), registers.x, registers.y);
            break;
        case 0x9D:  // STA abs,X
            LastWrite(AbsoluteIndexed(registers.x, true), registers.a);
            break;
        case 0x9E:  // SHX abs,Y
            StoreAndedWithHighByte(AbsoluteIndexedBase(registers.y), registers.y, registers.x);
            break;
        case 0x9F:  // SHA abs,Y
            StoreAndedWithHighByte(AbsoluteIndexedBase(registers.y), registers.y, registers.a & registers.x);
            break;
        case 0xA0:  // LDY #
            registers.y = SetNZ(LastRead(Immediate()));
            break;
        case 0xA1:  // LDA (zp,X)
            registers.a = SetNZ(LastRead(IndexedIndirect()));
            break;
        case 0xA2:  // LDX #
            registers.x = SetNZ(LastRead(Immediate()));
            break;
        case 0xA3:  // LAX (zp,X)
            registers.a = registers.x = SetNZ(LastRead(IndexedIndirect()));
            break;
        case 0xA4:  // LDY zp
            registers.y = SetNZ(LastRead(Fetch()));
            break;
        case 0xA5:  // LDA zp
            registers.a = SetNZ(LastRead(Fetch()));
            break;
        case 0xA6:  // LDX zp
            registers.x = SetNZ(LastRead(Fetch()));
            break;
        case 0xA7:  // LAX zp
            registers.a = registers.x = SetNZ(LastRead(Fetch()));
            break;
        case 0xA8:  // TAY
            Implied(); registers.y = SetNZ(registers.a);
            break;
        case 0xA9:  // LDA #
            registers.a = SetNZ(LastRead(Immediate()));
            break;
        case 0xAA:  // TAX
            Implied(); registers.x = SetNZ(registers.a);
            break;
        case 0xAB:  // LXA #
            registers.a = registers.x = SetNZ((registers.a | 0xEE) & LastRead(Immediate()));
            break;
        case 0xAC:  // LDY abs
            registers.y = SetNZ(LastRead(Absolute()));
            break;
        case 0xAD:  // LDA abs
            registers.a = SetNZ(LastRead(Absolute()));
            break;
        case 0xAE:  // LDX abs
            registers.x = SetNZ(LastRead(Absolute()));
            break;
        case 0xAF:  // LAX abs
            registers.a = registers.x = SetNZ(LastRead(Absolute()));
            break;
        case 0xB0:  // BCS
            Branch(registers.p & flags::C);
            break;
        case 0xB1:  // LDA (zp),Y
            registers.a = SetNZ(LastRead(IndirectIndexed(false)));
            break;
        case 0xB2:  // JAM
            jammed_ = true;
            break;
        case 0xB3:  // LAX (zp),Y
            registers.a = registers.x = SetNZ(LastRead(IndirectIndexed(false)));
            break;
        case 0xB4:  // LDY zp,X
            registers.y = SetNZ(LastRead(ZeroPageIndexed(registers.x)));
            break;
        case 0xB5:  // LDA zp,X
            registers.a = SetNZ(LastRead(ZeroPageIndexed(registers.x)));
            break;
        case 0xB6:  // LDX zp,Y
            registers.x = SetNZ(LastRead(ZeroPageIndexed(registers.y)));
            break;
        case 0xB7:  // LAX zp,Y
            registers.a = registers.x = SetNZ(LastRead(ZeroPageIndexed(registers.y)));
            break;
        case 0xB8:  // CLV
            Implied(); registers.p &= ~flags::V;
            break;
        case 0xB9:  // LDA abs,Y
            registers.a = SetNZ(LastRead(AbsoluteIndexed(registers.y, false)));
            break;
        case 0xBA:  // TSX
            Implied(); registers.x = SetNZ(registers.s);
            break;
        case 0xBB:  // LAS abs,Y
            registers.a = registers.x = registers.s = SetNZ(LastRead(AbsoluteIndexed(registers.y, false)) & registers.s);
            break;
        case 0xBC:  // LDY abs,X
            registers.y = SetNZ(LastRead(AbsoluteIndexed(registers.x, false)));
            break;
        case 0xBD:  // LDA abs,X
            registers.a = SetNZ(LastRead(AbsoluteIndexed(registers.x, false)));
            break;
        case 0xBE:  // LDX abs,Y
            registers.x = SetNZ(LastRead(AbsoluteIndexed(registers.y, false)));
            break;
        case 0xBF:  // LAX abs,Y
            registers.a = registers.x = SetNZ(LastRead(AbsoluteIndexed(registers.y, false)));
            break;
        case 0xC0:  // CPY #
            Compare(registers.y, LastRead(Immediate()));
            break;
        case 0xC1:  // CMP (zp,X)
            Compare(registers.a, LastRead(IndexedIndirect()));
            break;
        case 0xC2:  // NOP #
            LastRead(Immediate());
            break;
        case 0xC3:  // DCP (zp,X)
            Compare(registers.a, ReadModifyWrite(IndexedIndirect(), &Cpu6510::Decrement));
            break;
        case 0xC4:  // CPY zp
            Compare(registers.y, LastRead(Fetch()));
            break;
        case 0xC5:  // CMP zp
            Compare(registers.a, LastRead(Fetch()));
            break;
        case 0xC6:  // DEC zp
            ReadModifyWrite(Fetch(), &Cpu6510::Decrement);
            break;
        case 0xC7:  // DCP zp
            Compare(registers.a, ReadModifyWrite(Fetch(), &Cpu6510::Decrement));
            break;
        case 0xC8:  // INY
            Implied(); registers.y = SetNZ(registers.y + 1);
            break;
        case 0xC9:  // CMP #
            Compare(registers.a, LastRead(Immediate()));
            break;
        case 0xCA:  // DEX
            Implied(); registers.x = SetNZ(registers.x - 1);
            break;
        case 0xCB:  // SBX #
            AndXSubtract(LastRead(Immediate()));
            break;
        case 0xCC:  // CPY abs
            Compare(registers.y, LastRead(Absolute()));
            break;
        case 0xCD:  // CMP abs
            Compare(registers.a, LastRead(Absolute()));
            break;
        case 0xCE:  // DEC abs
            ReadModifyWrite(Absolute(), &Cpu6510::Decrement);
            break;
        case 0xCF:  // DCP abs
            Compare(registers.a, ReadModifyWrite(Absolute(), &Cpu6510::Decrement));
            break;
        case 0xD0:  // BNE
            Branch(!(registers.p & flags::Z));
            break;
        case 0xD1:  // CMP (zp),Y
            Compare(registers.a, LastRead(IndirectIndexed(false)));
            break;
        case 0xD2:  // JAM
            jammed_ = true;
            break;
        case 0xD3:  // DCP (zp),Y
            Compare(registers.a, ReadModifyWrite(IndirectIndexed(true), &Cpu6510::Decrement));
            break;
        case 0xD4:  // NOP zp,X
            LastRead(ZeroPageIndexed(registers.x));
            break;
        case 0xD5:  // CMP zp,X
            Compare(registers.a, LastRead(ZeroPageIndexed(registers.x)));
            break;
        case 0xD6:  // DEC zp,X
            ReadModifyWrite(ZeroPageIndexed(registers.x), &Cpu6510::Decrement);
            break;
        case 0xD7:  // DCP zp,X
            Compare(registers.a, ReadModifyWrite(ZeroPageIndexed(registers.x), &Cpu6510::Decrement));
            break;
        case 0xD8:  // CLD
            Implied(); registers.p &= ~flags::D;
            break;
        case 0xD9:  // CMP abs,Y
            Compare(registers.a, LastRead(AbsoluteIndexed(registers.y, false)));
            break;
        case 0xDA:  // NOP
            Implied();
            break;
        case 0xDB:  // DCP abs,Y
            Compare(registers.a, ReadModifyWrite(AbsoluteIndexed(registers.y, true), &Cpu6510::Decrement));
            break;
        case 0xDC:  // NOP abs,X
            LastRead(AbsoluteIndexed(registers.x, false));
            break;
        case 0xDD:  // CMP abs,X
            Compare(registers.a, LastRead(AbsoluteIndexed(registers.x, false)));
            break;
        case 0xDE:  // DEC abs,X
            ReadModifyWrite(AbsoluteIndexed(registers.x, true), &Cpu6510::Decrement);
            break;
        case 0xDF:  // DCP abs,X
            Compare(registers.a, ReadModifyWrite(AbsoluteIndexed(registers.x, true), &Cpu6510::Decrement));
            break;
        case 0xE0:  // CPX #
            Compare(registers.x, LastRead(Immediate()));
            break;
        case 0xE1:  // SBC (zp,X)
            SubtractWithBorrow(LastRead(IndexedIndirect()));
            break;
        case 0xE2:  // NOP #
            LastRead(Immediate());
            break;
        case 0xE3:  // ISC (zp,X)
            SubtractWithBorrow(ReadModifyWrite(IndexedIndirect(), &Cpu6510::Increment));
            break;
        case 0xE4:  // CPX zp
            Compare(registers.x, LastRead(Fetch()));
            break;
        case 0xE5:  // SBC zp
            SubtractWithBorrow(LastRead(Fetch()));
            break;
        case 0xE6:  // INC zp
            ReadModifyWrite(Fetch(), &Cpu6510::Increment);
            break;
        case 0xE7:  // ISC zp
            SubtractWithBorrow(ReadModifyWrite(Fetch(), &Cpu6510::Increment));
            break;
        case 0xE8:  // INX
            Implied(); registers.x = SetNZ(registers.x + 1);
            break;
        case 0xE9:  // SBC #
            SubtractWithBorrow(LastRead(Immediate()));
            break;
        case 0xEA:  // NOP
            Implied();
            break;
        case 0xEB:  // SBC #
            SubtractWithBorrow(LastRead(Immediate()));
            break;
        case 0xEC:  // CPX abs
            Compare(registers.x, LastRead(Absolute()));
            break;
        case 0xED:  // SBC abs
            SubtractWithBorrow(LastRead(Absolute()));
            break;
        case 0xEE:  // INC abs
            ReadModifyWrite(Absolute(), &Cpu6510::Increment);
            break;
        case 0xEF:  // ISC abs
            SubtractWithBorrow(ReadModifyWrite(Absolute(), &Cpu6510::Increment));
            break;
        case 0xF0:  // BEQ
            Branch(registers.p & flags::Z);
            break;
        case 0xF1:  // SBC (zp),Y
            SubtractWithBorrow(LastRead(IndirectIndexed(false)));
            break;
        case 0xF2:  // JAM
            jammed_ = true;
            break;
        case 0xF3:  // ISC (zp),Y
            SubtractWithBorrow(ReadModifyWrite(IndirectIndexed(true), &Cpu6510::Increment));
            break;
        case 0xF4:  // NOP zp,X
            LastRead(ZeroPageIndexed(registers.x));
            break;
        case 0xF5:  // SBC zp,X
            SubtractWithBorrow(LastRead(ZeroPageIndexed(registers.x)));
            break;
        case 0xF6:  // INC zp,X
            ReadModifyWrite(ZeroPageIndexed(registers.x), &Cpu6510::Increment);
            break;
        case 0xF7:  // ISC zp,X
            SubtractWithBorrow(ReadModifyWrite(ZeroPageIndexed(registers.x), &Cpu6510::Increment));
            break;
        case 0xF8:  // SED
            Implied(); registers.p |= flags::D;
            break;
        case 0xF9:  // SBC abs,Y
            SubtractWithBorrow(LastRead(AbsoluteIndexed(registers.y, false)));
            break;
        case 0xFA:  // NOP
            Implied();
            break;
        case 0xFB:  // ISC abs,Y
            SubtractWithBorrow(ReadModifyWrite(AbsoluteIndexed(registers.y, true), &Cpu6510::Increment));
            break;
        case 0xFC:  // NOP abs,X
            LastRead(AbsoluteIndexed(registers.x, false));
            break;
        case 0xFD:  // SBC abs,X
            SubtractWithBorrow(LastRead(AbsoluteIndexed(registers.x, false)));
            break;
        case 0xFE:  // INC abs,X
            ReadModifyWrite(AbsoluteIndexed(registers.x, true), &Cpu6510::Increment);
            break;
        case 0xFF:  // ISC abs,X
            SubtractWithBorrow(ReadModifyWrite(AbsoluteIndexed(registers.x, true), &Cpu6510::Increment));
            break;
    }
}

}  // namespace chipbox::machine
