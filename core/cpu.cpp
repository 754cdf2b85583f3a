// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/cpu.h"

#include "core/c64_memory.h"

namespace chipbox {

CpuState cpuState;

namespace {

constexpr std::uint64_t ONE_INSTRUCTION = std::uint64_t{1} << 32;
constexpr std::uint64_t LOW_BITS = 0xFFFFFFFF;
// A total starts this far below bit 31 of its half of the clock, so that the
// half's top bit sets exactly when the total passes its limit.
constexpr std::uint64_t LIMIT_BIT = std::uint64_t{1} << 31;
constexpr std::uint64_t PAST_A_LIMIT = LIMIT_BIT | LIMIT_BIT << 32;

// The interpreter works on its own copy of the registers for as long as it
// runs, so the compiler can keep them in machine registers: stores into the
// emulated memory could otherwise overwrite them, as far as it can tell.
// Nothing else reads the CPU state while a routine runs.
struct Interpreter {
    // N and Z are kept as the values they were last set from, and packed into
    // p only when p is pushed or the interpreter hands its registers back:
    // most instructions then set them with two moves.
    explicit Interpreter(const CpuState& state, std::uint64_t startClock = 0)
        : cpu(state),
          clock(startClock),
          negativeSource(state.p & flag::N),
          zeroSource((state.p & flag::Z) ? 0 : 1) {}

    CpuState cpu;
    // Cycles in the low 32 bits and instructions in the high 32 bits, so that
    // one addition per instruction and one test per instruction keep both
    // totals and both limits of a routine call.
    std::uint64_t clock = 0;

    std::uint8_t negativeSource;  // N is its bit 7
    std::uint8_t zeroSource;      // Z is set while it is 0

    void Spend(std::uint32_t cycles) { clock += cycles; }

    std::uint8_t PackedFlags() const {
        return static_cast<std::uint8_t>((cpu.p & ~(flag::N | flag::Z)) |
                                         (negativeSource & flag::N) |
                                         (zeroSource == 0 ? flag::Z : 0));
    }

    void UnpackFlags(std::uint8_t p) {
        cpu.p = p;
        negativeSource = p & flag::N;
        zeroSource = (p & flag::Z) ? 0 : 1;
    }

    CpuState State() const {
        CpuState state = cpu;
        state.p = PackedFlags();
        return state;
    }

    // Reads a little-endian word whose high byte wraps from $FFFF to $0000.
    std::uint16_t ReadWord(std::uint16_t address) {
        return static_cast<std::uint16_t>(ReadMemory(address) |
                                          ReadMemory(static_cast<std::uint16_t>(address + 1)) << 8);
    }

    // Reads a pointer from page zero; the high byte wraps within page 0.
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

    bool OnDifferentPages(std::uint16_t first, std::uint16_t second) {
        return ((first ^ second) & 0xFF00) != 0;
    }

    std::uint16_t Indexed(std::uint16_t base, std::uint8_t index) {
        const auto address = static_cast<std::uint16_t>(base + index);
        cpu.operandCrossedPage = OnDifferentPages(base, address);
        return address;
    }

    // Works out the effective address of a memory operand and advances pc past the
    // operand bytes. Returns the cycles of a read in that mode.
    std::uint32_t ResolveAddress(std::int32_t mode) {
        cpu.operandCrossedPage = false;
        switch (mode) {
            case ZeroPage: cpu.operandAddress = NextByte(); return 3;
            case ZeroPageX:
                cpu.operandAddress = static_cast<std::uint8_t>(NextByte() + cpu.x);
                return 4;
            case ZeroPageY:
                cpu.operandAddress = static_cast<std::uint8_t>(NextByte() + cpu.y);
                return 4;
            case Absolute: cpu.operandAddress = NextWord(); return 4;
            case AbsoluteX:
                cpu.operandAddress = Indexed(NextWord(), cpu.x);
                return 4 + cpu.operandCrossedPage;
            case AbsoluteY:
                cpu.operandAddress = Indexed(NextWord(), cpu.y);
                return 4 + cpu.operandCrossedPage;
            case IndexedIndirect:
                cpu.operandAddress =
                    ReadZeroPageWord(static_cast<std::uint8_t>(NextByte() + cpu.x));
                return 6;
            case IndirectIndexed:
                cpu.operandAddress = Indexed(ReadZeroPageWord(NextByte()), cpu.y);
                return 5 + cpu.operandCrossedPage;
            default: return 0;
        }
    }

    std::uint8_t FetchOperand(std::int32_t mode) {
        switch (mode) {
            case Implied: Spend(2); return 0;
            case Immediate: Spend(2); return NextByte();
            case Accumulator: Spend(2); return cpu.a;
            default: Spend(ResolveAddress(mode)); return ReadMemory(cpu.operandAddress);
        }
    }

    void WriteBack(std::int32_t mode, std::uint8_t value) {
        switch (mode) {
            case Accumulator: cpu.a = value; return;
            case AbsoluteX:
                WriteMemory(cpu.operandAddress, value);
                Spend(3 - cpu.operandCrossedPage);
                return;
            default:
                WriteMemory(cpu.operandAddress, value);
                Spend(2);
                return;
        }
    }

    // Indexed stores count the cycles of a read without its page-crossing cycle,
    // except AbsoluteY, which keeps it.
    void StoreRegister(std::int32_t mode, std::uint8_t value) {
        const std::uint32_t readCycles = ResolveAddress(mode);
        const bool keepsCrossingCycle = mode == AbsoluteY;
        Spend(readCycles - (cpu.operandCrossedPage && !keepsCrossingCycle));
        WriteMemory(cpu.operandAddress, value);
    }

    void SetFlag(std::uint8_t mask, bool on) {
        cpu.p = static_cast<std::uint8_t>(on ? (cpu.p | mask) : (cpu.p & ~mask));
    }

    std::uint8_t SetNZ(std::uint8_t value) {
        negativeSource = zeroSource = value;
        return value;
    }

    // Binary addition with carry; V is the signed overflow of the operation. SBC
    // comes here with its operand inverted.
    void AddWithCarry(std::uint8_t operand) {
        const unsigned sum = cpu.a + operand + (cpu.p & flag::C);
        const auto result = static_cast<std::uint8_t>(sum);
        SetFlag(flag::C, sum > 0xFF);
        SetFlag(flag::V, ((cpu.a ^ result) & (operand ^ result) & 0x80) != 0);
        cpu.a = SetNZ(result);
    }

    void Compare(std::uint8_t reg, std::uint8_t operand) {
        SetFlag(flag::C, reg >= operand);
        SetNZ(static_cast<std::uint8_t>(reg - operand));
    }

    void BranchIf(bool condition) {
        const auto offset = static_cast<std::int8_t>(FetchOperand(Immediate));
        if (!condition) return;
        const auto target = static_cast<std::uint16_t>(cpu.pc + offset);
        Spend(1 + (((target ^ cpu.pc) & 0x100) != 0));
        cpu.pc = target;
    }

    void ReadModifyWrite(std::int32_t mode, std::uint8_t (Interpreter::*change)(std::uint8_t)) {
        const std::uint8_t value = FetchOperand(mode);
        WriteBack(mode, (this->*change)(value));
    }

    std::uint8_t ShiftLeft(std::uint8_t v) {
        SetFlag(flag::C, (v & 0x80) != 0);
        return SetNZ(static_cast<std::uint8_t>(v << 1));
    }
    std::uint8_t ShiftRight(std::uint8_t v) {
        SetFlag(flag::C, (v & 0x01) != 0);
        return SetNZ(static_cast<std::uint8_t>(v >> 1));
    }
    std::uint8_t RotateLeft(std::uint8_t v) {
        const std::uint8_t carryIn = cpu.p & flag::C;
        SetFlag(flag::C, (v & 0x80) != 0);
        return SetNZ(static_cast<std::uint8_t>((v << 1) | carryIn));
    }
    std::uint8_t RotateRight(std::uint8_t v) {
        const std::uint8_t carryIn = cpu.p & flag::C;
        SetFlag(flag::C, (v & 0x01) != 0);
        return SetNZ(static_cast<std::uint8_t>((v >> 1) | (carryIn << 7)));
    }
    std::uint8_t Increment(std::uint8_t v) { return SetNZ(static_cast<std::uint8_t>(v + 1)); }
    std::uint8_t Decrement(std::uint8_t v) { return SetNZ(static_cast<std::uint8_t>(v - 1)); }

    void ReturnFromSubroutine() {
        const std::uint8_t low = PullStack();
        const std::uint8_t high = PullStack();
        cpu.pc = static_cast<std::uint16_t>((low | high << 8) + 1);
    }

    void PushStack(std::uint8_t value) {
        WriteMemory(static_cast<std::uint16_t>(0x0100 + cpu.s), value);
        if (cpu.s != 0) --cpu.s;
    }

    std::uint8_t PullStack() {
        if (cpu.s != 0xFF) ++cpu.s;
        return ReadMemory(static_cast<std::uint16_t>(0x0100 + cpu.s));
    }

    void ExecuteInstruction() {
        clock += ONE_INSTRUCTION;
        const std::uint8_t opcode = NextByte();
        const std::int32_t mode = modeTable[opcode];
        const std::uint8_t p = cpu.p;  // C and V; N and Z have their sources
        switch (kindTable[opcode]) {
            case LDA: cpu.a = SetNZ(FetchOperand(mode)); break;
            case LDX: cpu.x = SetNZ(FetchOperand(mode)); break;
            case LDY: cpu.y = SetNZ(FetchOperand(mode)); break;
            case AND: cpu.a = SetNZ(cpu.a & FetchOperand(mode)); break;
            case ORA: cpu.a = SetNZ(cpu.a | FetchOperand(mode)); break;
            case EOR: cpu.a = SetNZ(cpu.a ^ FetchOperand(mode)); break;
            case ADC: AddWithCarry(FetchOperand(mode)); break;
            case SBC: AddWithCarry(static_cast<std::uint8_t>(~FetchOperand(mode))); break;
            case CMP: Compare(cpu.a, FetchOperand(mode)); break;
            case CPX: Compare(cpu.x, FetchOperand(mode)); break;
            case CPY: Compare(cpu.y, FetchOperand(mode)); break;
            case BIT: {
                const std::uint8_t operand = FetchOperand(mode);
                zeroSource = cpu.a & operand;
                negativeSource = operand;
                SetFlag(flag::V, (operand & 0x40) != 0);
                break;
            }

            case ASL: ReadModifyWrite(mode, &Interpreter::ShiftLeft); break;
            case LSR: ReadModifyWrite(mode, &Interpreter::ShiftRight); break;
            case ROL: ReadModifyWrite(mode, &Interpreter::RotateLeft); break;
            case ROR: ReadModifyWrite(mode, &Interpreter::RotateRight); break;
            case INC: ReadModifyWrite(mode, &Interpreter::Increment); break;
            case DEC: ReadModifyWrite(mode, &Interpreter::Decrement); break;

            case STA: StoreRegister(mode, cpu.a); break;
            case STX: StoreRegister(mode, cpu.x); break;
            case STY: StoreRegister(mode, cpu.y); break;

            case TAX:
                cpu.x = SetNZ(cpu.a);
                Spend(2);
                break;
            case TAY:
                cpu.y = SetNZ(cpu.a);
                Spend(2);
                break;
            case TXA:
                cpu.a = SetNZ(cpu.x);
                Spend(2);
                break;
            case TYA:
                cpu.a = SetNZ(cpu.y);
                Spend(2);
                break;
            case TSX:
                cpu.x = SetNZ(cpu.s);
                Spend(2);
                break;
            case TXS:
                cpu.s = cpu.x;
                Spend(2);
                break;
            case INX:
                cpu.x = Increment(cpu.x);
                Spend(2);
                break;
            case INY:
                cpu.y = Increment(cpu.y);
                Spend(2);
                break;
            case DEX:
                cpu.x = Decrement(cpu.x);
                Spend(2);
                break;
            case DEY:
                cpu.y = Decrement(cpu.y);
                Spend(2);
                break;

            case CLC:
                SetFlag(flag::C, false);
                Spend(2);
                break;
            case SEC:
                SetFlag(flag::C, true);
                Spend(2);
                break;
            case CLI:
                SetFlag(flag::I, false);
                Spend(2);
                break;
            case SEI:
                SetFlag(flag::I, true);
                Spend(2);
                break;
            case CLD:
                SetFlag(flag::D, false);
                Spend(2);
                break;
            case SED:
                SetFlag(flag::D, true);
                Spend(2);
                break;
            case CLV:
                SetFlag(flag::V, false);
                Spend(2);
                break;
            case NOP: Spend(2); break;

            case PHA:
                PushStack(cpu.a);
                Spend(3);
                break;
            case PHP:
                PushStack(PackedFlags());
                Spend(3);
                break;
            case PLA:
                cpu.a = SetNZ(PullStack());
                Spend(4);
                break;
            case PLP:
                UnpackFlags(PullStack());
                Spend(4);
                break;

            case BCC: BranchIf(!(p & flag::C)); break;
            case BCS: BranchIf(p & flag::C); break;
            case BNE: BranchIf(zeroSource != 0); break;
            case BEQ: BranchIf(zeroSource == 0); break;
            case BPL: BranchIf(!(negativeSource & flag::N)); break;
            case BMI: BranchIf(negativeSource & flag::N); break;
            case BVC: BranchIf(!(p & flag::V)); break;
            case BVS: BranchIf(p & flag::V); break;

            case JMP:
                if (mode == Indirect) {
                    cpu.pc = ReadWord(NextWord());
                    Spend(5);
                } else {
                    cpu.pc = NextWord();
                    Spend(3);
                }
                break;
            case JSR: {
                const std::uint16_t target = NextWord();
                const auto lastByte = static_cast<std::uint16_t>(cpu.pc - 1);
                PushStack(static_cast<std::uint8_t>(lastByte >> 8));
                PushStack(static_cast<std::uint8_t>(lastByte));
                cpu.pc = target;
                Spend(6);
                break;
            }
            case RTS:
                ReturnFromSubroutine();
                Spend(6);
                break;
            case RTI:
                UnpackFlags(PullStack());
                cpu.y = PullStack();
                cpu.x = PullStack();
                cpu.a = PullStack();
                ReturnFromSubroutine();
                Spend(6);
                break;
            // BRK reads no vector: the memory holds no ROM, and jumping to $0000
            // ends the routine call at once.
            case BRK:
                cpu.pc = 0;
                Spend(7);
                break;

            case Unknown: break;  // undocumented opcode: one byte, no effect, no cycles
            default: __builtin_unreachable();  // the kind table holds nothing else
        }
    }
};

}  // namespace

// Both entry points are flattened: the whole interpreter is inlined into them,
// so its registers stay in machine registers.
[[gnu::flatten]] std::uint32_t StepInstruction() {
    Interpreter interpreter(cpuState);
    interpreter.ExecuteInstruction();
    cpuState = interpreter.State();
    cpuState.cycles = static_cast<std::uint32_t>(interpreter.clock & LOW_BITS);
    return cpuState.cycles;
}

[[gnu::flatten]] RoutineRun RunUntilReturn(std::uint32_t cycleLimit,
                                           std::uint32_t instructionLimit) {
    // More cycles than the limit, or as many instructions, set a limit bit.
    const std::uint64_t cycleBias = LIMIT_BIT - 1 - cycleLimit;
    const std::uint64_t instructionBias = LIMIT_BIT - instructionLimit;
    Interpreter interpreter(cpuState, instructionBias << 32 | cycleBias);
    while (interpreter.cpu.pc >= 2) {
        interpreter.ExecuteInstruction();
        if (interpreter.clock & PAST_A_LIMIT) break;
    }
    cpuState = interpreter.State();
    return {static_cast<std::uint32_t>((interpreter.clock & LOW_BITS) - cycleBias),
            static_cast<std::uint32_t>((interpreter.clock >> 32) - instructionBias)};
}

void PushStack(std::uint8_t value) {
    Interpreter interpreter(cpuState);
    interpreter.PushStack(value);
    cpuState = interpreter.State();
}

std::uint8_t PullStack() {
    Interpreter interpreter(cpuState);
    const std::uint8_t value = interpreter.PullStack();
    cpuState = interpreter.State();
    return value;
}

}  // namespace chipbox
