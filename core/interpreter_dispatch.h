// SPDX-License-Identifier: GPL-2.0-or-later
// The dispatch of the 6502 interpreter: one case per documented opcode, in
// the order of the opcode matrix, each with its addressing mode fixed.
#pragma once

#include "core/interpreter.h"
#include "core/machine_model.h"
#include "core/interpreter_undocumented.h"

namespace chipbox::interpreter {

template <class StoreWatch, bool complete>
inline void Interpreter<StoreWatch, complete>::Execute() {
    clock += ONE_INSTRUCTION;
    const std::uint8_t opcode = NextByte();
    switch (opcode) {
        case 0x00:  // BRK
            cpu.pc = 0;
            Spend(7);
            break;
        case 0x01: cpu.a = SetNZ(cpu.a | Fetch<IndexedIndirect>()); break;       // ORA
        case 0x05: cpu.a = SetNZ(cpu.a | Fetch<ZeroPage>()); break;              // ORA
        case 0x06: ReadModifyWrite<ZeroPage, &Interpreter::ShiftLeft>(); break;  // ASL
        case 0x08:                                                               // PHP
            PushStack(PackedFlags());
            Spend(3);
            break;
        case 0x09: cpu.a = SetNZ(cpu.a | Fetch<Immediate>()); break;                // ORA
        case 0x0A: ReadModifyWrite<Accumulator, &Interpreter::ShiftLeft>(); break;  // ASL
        case 0x0D: cpu.a = SetNZ(cpu.a | Fetch<Absolute>()); break;                 // ORA
        case 0x0E: ReadModifyWrite<Absolute, &Interpreter::ShiftLeft>(); break;     // ASL
        case 0x10: BranchIf(!(negativeSource & flag::N)); break;                    // BPL
        case 0x11: cpu.a = SetNZ(cpu.a | Fetch<IndirectIndexed>()); break;          // ORA
        case 0x15: cpu.a = SetNZ(cpu.a | Fetch<ZeroPageX>()); break;                // ORA
        case 0x16: ReadModifyWrite<ZeroPageX, &Interpreter::ShiftLeft>(); break;    // ASL
        case 0x18: SetFlag(carry, 0); break;                                        // CLC
        case 0x19: cpu.a = SetNZ(cpu.a | Fetch<AbsoluteY>()); break;                // ORA
        case 0x1D: cpu.a = SetNZ(cpu.a | Fetch<AbsoluteX>()); break;                // ORA
        case 0x1E: ReadModifyWrite<AbsoluteX, &Interpreter::ShiftLeft>(); break;    // ASL
        case 0x20: CallSubroutine(); break;                                         // JSR
        case 0x21: cpu.a = SetNZ(cpu.a & Fetch<IndexedIndirect>()); break;          // AND
        case 0x24: TestBits(Fetch<ZeroPage>()); break;                              // BIT
        case 0x25: cpu.a = SetNZ(cpu.a & Fetch<ZeroPage>()); break;                 // AND
        case 0x26: ReadModifyWrite<ZeroPage, &Interpreter::RotateLeft>(); break;    // ROL
        case 0x28:                                                                  // PLP
            UnpackFlags(PullStack());
            Spend(4);
            break;
        case 0x29: cpu.a = SetNZ(cpu.a & Fetch<Immediate>()); break;                 // AND
        case 0x2A: ReadModifyWrite<Accumulator, &Interpreter::RotateLeft>(); break;  // ROL
        case 0x2C: TestBits(Fetch<Absolute>()); break;                               // BIT
        case 0x2D: cpu.a = SetNZ(cpu.a & Fetch<Absolute>()); break;                  // AND
        case 0x2E: ReadModifyWrite<Absolute, &Interpreter::RotateLeft>(); break;     // ROL
        case 0x30: BranchIf(negativeSource & flag::N); break;                        // BMI
        case 0x31: cpu.a = SetNZ(cpu.a & Fetch<IndirectIndexed>()); break;           // AND
        case 0x35: cpu.a = SetNZ(cpu.a & Fetch<ZeroPageX>()); break;                 // AND
        case 0x36: ReadModifyWrite<ZeroPageX, &Interpreter::RotateLeft>(); break;    // ROL
        case 0x38: SetFlag(carry, 1); break;                                         // SEC
        case 0x39: cpu.a = SetNZ(cpu.a & Fetch<AbsoluteY>()); break;                 // AND
        case 0x3D: cpu.a = SetNZ(cpu.a & Fetch<AbsoluteX>()); break;                 // AND
        case 0x3E: ReadModifyWrite<AbsoluteX, &Interpreter::RotateLeft>(); break;    // ROL
        case 0x40: ReturnFromInterrupt(); break;                                     // RTI
        case 0x41: cpu.a = SetNZ(cpu.a ^ Fetch<IndexedIndirect>()); break;           // EOR
        case 0x45: cpu.a = SetNZ(cpu.a ^ Fetch<ZeroPage>()); break;                  // EOR
        case 0x46: ReadModifyWrite<ZeroPage, &Interpreter::ShiftRight>(); break;     // LSR
        case 0x48:                                                                   // PHA
            PushStack(cpu.a);
            Spend(3);
            break;
        case 0x49: cpu.a = SetNZ(cpu.a ^ Fetch<Immediate>()); break;                 // EOR
        case 0x4A: ReadModifyWrite<Accumulator, &Interpreter::ShiftRight>(); break;  // LSR
        case 0x4C:                                                                   // JMP
            cpu.pc = NextWord();
            Spend(3);
            break;
        case 0x4D: cpu.a = SetNZ(cpu.a ^ Fetch<Absolute>()); break;                // EOR
        case 0x4E: ReadModifyWrite<Absolute, &Interpreter::ShiftRight>(); break;   // LSR
        case 0x50: BranchIf(!overflow); break;                                     // BVC
        case 0x51: cpu.a = SetNZ(cpu.a ^ Fetch<IndirectIndexed>()); break;         // EOR
        case 0x55: cpu.a = SetNZ(cpu.a ^ Fetch<ZeroPageX>()); break;               // EOR
        case 0x56: ReadModifyWrite<ZeroPageX, &Interpreter::ShiftRight>(); break;  // LSR
        case 0x58: SetOtherFlag(flag::I, false); break;                            // CLI
        case 0x59: cpu.a = SetNZ(cpu.a ^ Fetch<AbsoluteY>()); break;               // EOR
        case 0x5D: cpu.a = SetNZ(cpu.a ^ Fetch<AbsoluteX>()); break;               // EOR
        case 0x5E: ReadModifyWrite<AbsoluteX, &Interpreter::ShiftRight>(); break;  // LSR
        case 0x60:                                                                 // RTS
            ReturnFromSubroutine();
            Spend(6);
            break;
        case 0x61: AddWithCarry(Fetch<IndexedIndirect>()); break;                  // ADC
        case 0x65: AddWithCarry(Fetch<ZeroPage>()); break;                         // ADC
        case 0x66: ReadModifyWrite<ZeroPage, &Interpreter::RotateRight>(); break;  // ROR
        case 0x68:                                                                 // PLA
            cpu.a = SetNZ(PullStack());
            Spend(4);
            break;
        case 0x69: AddWithCarry(Fetch<Immediate>()); break;                           // ADC
        case 0x6A: ReadModifyWrite<Accumulator, &Interpreter::RotateRight>(); break;  // ROR
        case 0x6C:                                                                    // JMP
            cpu.pc = ReadWord(NextWord());
            Spend(5);
            break;
        case 0x6D: AddWithCarry(Fetch<Absolute>()); break;                          // ADC
        case 0x6E: ReadModifyWrite<Absolute, &Interpreter::RotateRight>(); break;   // ROR
        case 0x70: BranchIf(overflow); break;                                       // BVS
        case 0x71: AddWithCarry(Fetch<IndirectIndexed>()); break;                   // ADC
        case 0x75: AddWithCarry(Fetch<ZeroPageX>()); break;                         // ADC
        case 0x76: ReadModifyWrite<ZeroPageX, &Interpreter::RotateRight>(); break;  // ROR
        case 0x78: SetOtherFlag(flag::I, true); break;                              // SEI
        case 0x79: AddWithCarry(Fetch<AbsoluteY>()); break;                         // ADC
        case 0x7D: AddWithCarry(Fetch<AbsoluteX>()); break;                         // ADC
        case 0x7E: ReadModifyWrite<AbsoluteX, &Interpreter::RotateRight>(); break;  // ROR
        case 0x81: StoreRegister<IndexedIndirect>(cpu.a); break;                    // STA
        case 0x84: StoreRegister<ZeroPage>(cpu.y); break;                           // STY
        case 0x85: StoreRegister<ZeroPage>(cpu.a); break;                           // STA
        case 0x86: StoreRegister<ZeroPage>(cpu.x); break;                           // STX
        case 0x88: Transfer(cpu.y, static_cast<std::uint8_t>(cpu.y - 1)); break;    // DEY
        case 0x8A: Transfer(cpu.a, cpu.x); break;                                   // TXA
        case 0x8C: StoreRegister<Absolute>(cpu.y); break;                           // STY
        case 0x8D: StoreRegister<Absolute>(cpu.a); break;                           // STA
        case 0x8E: StoreRegister<Absolute>(cpu.x); break;                           // STX
        case 0x90: BranchIf(!carry); break;                                         // BCC
        case 0x91: StoreRegister<IndirectIndexed>(cpu.a); break;                    // STA
        case 0x94: StoreRegister<ZeroPageX>(cpu.y); break;                          // STY
        case 0x95: StoreRegister<ZeroPageX>(cpu.a); break;                          // STA
        case 0x96: StoreRegister<ZeroPageY>(cpu.x); break;                          // STX
        case 0x98: Transfer(cpu.a, cpu.y); break;                                   // TYA
        case 0x99: StoreRegister<AbsoluteY>(cpu.a); break;                          // STA
        case 0x9A:                                                                  // TXS
            cpu.s = cpu.x;
            Spend(2);
            break;
        case 0x9D: StoreRegister<AbsoluteX>(cpu.a); break;                        // STA
        case 0xA0: cpu.y = SetNZ(Fetch<Immediate>()); break;                      // LDY
        case 0xA1: cpu.a = SetNZ(Fetch<IndexedIndirect>()); break;                // LDA
        case 0xA2: cpu.x = SetNZ(Fetch<Immediate>()); break;                      // LDX
        case 0xA4: cpu.y = SetNZ(Fetch<ZeroPage>()); break;                       // LDY
        case 0xA5: cpu.a = SetNZ(Fetch<ZeroPage>()); break;                       // LDA
        case 0xA6: cpu.x = SetNZ(Fetch<ZeroPage>()); break;                       // LDX
        case 0xA8: Transfer(cpu.y, cpu.a); break;                                 // TAY
        case 0xA9: cpu.a = SetNZ(Fetch<Immediate>()); break;                      // LDA
        case 0xAA: Transfer(cpu.x, cpu.a); break;                                 // TAX
        case 0xAC: cpu.y = SetNZ(Fetch<Absolute>()); break;                       // LDY
        case 0xAD: cpu.a = SetNZ(Fetch<Absolute>()); break;                       // LDA
        case 0xAE: cpu.x = SetNZ(Fetch<Absolute>()); break;                       // LDX
        case 0xB0: BranchIf(carry); break;                                        // BCS
        case 0xB1: cpu.a = SetNZ(Fetch<IndirectIndexed>()); break;                // LDA
        case 0xB4: cpu.y = SetNZ(Fetch<ZeroPageX>()); break;                      // LDY
        case 0xB5: cpu.a = SetNZ(Fetch<ZeroPageX>()); break;                      // LDA
        case 0xB6: cpu.x = SetNZ(Fetch<ZeroPageY>()); break;                      // LDX
        case 0xB8: SetFlag(overflow, 0); break;                                   // CLV
        case 0xB9: cpu.a = SetNZ(Fetch<AbsoluteY>()); break;                      // LDA
        case 0xBA: Transfer(cpu.x, cpu.s); break;                                 // TSX
        case 0xBC: cpu.y = SetNZ(Fetch<AbsoluteX>()); break;                      // LDY
        case 0xBD: cpu.a = SetNZ(Fetch<AbsoluteX>()); break;                      // LDA
        case 0xBE: cpu.x = SetNZ(Fetch<AbsoluteY>()); break;                      // LDX
        case 0xC0: Compare(cpu.y, Fetch<Immediate>()); break;                     // CPY
        case 0xC1: Compare(cpu.a, Fetch<IndexedIndirect>()); break;               // CMP
        case 0xC4: Compare(cpu.y, Fetch<ZeroPage>()); break;                      // CPY
        case 0xC5: Compare(cpu.a, Fetch<ZeroPage>()); break;                      // CMP
        case 0xC6: ReadModifyWrite<ZeroPage, &Interpreter::Decrement>(); break;   // DEC
        case 0xC8: Transfer(cpu.y, static_cast<std::uint8_t>(cpu.y + 1)); break;  // INY
        case 0xC9: Compare(cpu.a, Fetch<Immediate>()); break;                     // CMP
        case 0xCA: Transfer(cpu.x, static_cast<std::uint8_t>(cpu.x - 1)); break;  // DEX
        case 0xCC: Compare(cpu.y, Fetch<Absolute>()); break;                      // CPY
        case 0xCD: Compare(cpu.a, Fetch<Absolute>()); break;                      // CMP
        case 0xCE: ReadModifyWrite<Absolute, &Interpreter::Decrement>(); break;   // DEC
        case 0xD0: BranchIf(zeroSource != 0); break;                              // BNE
        case 0xD1: Compare(cpu.a, Fetch<IndirectIndexed>()); break;               // CMP
        case 0xD5: Compare(cpu.a, Fetch<ZeroPageX>()); break;                     // CMP
        case 0xD6: ReadModifyWrite<ZeroPageX, &Interpreter::Decrement>(); break;  // DEC
        case 0xD8: SetOtherFlag(flag::D, false); break;                           // CLD
        case 0xD9: Compare(cpu.a, Fetch<AbsoluteY>()); break;                     // CMP
        case 0xDD: Compare(cpu.a, Fetch<AbsoluteX>()); break;                     // CMP
        case 0xDE: ReadModifyWrite<AbsoluteX, &Interpreter::Decrement>(); break;  // DEC
        case 0xE0: Compare(cpu.x, Fetch<Immediate>()); break;                     // CPX
        case 0xE1: SubtractWithBorrow(Fetch<IndexedIndirect>()); break;           // SBC
        case 0xE4: Compare(cpu.x, Fetch<ZeroPage>()); break;                      // CPX
        case 0xE5: SubtractWithBorrow(Fetch<ZeroPage>()); break;                  // SBC
        case 0xE6: ReadModifyWrite<ZeroPage, &Interpreter::Increment>(); break;   // INC
        case 0xE8: Transfer(cpu.x, static_cast<std::uint8_t>(cpu.x + 1)); break;  // INX
        case 0xE9: SubtractWithBorrow(Fetch<Immediate>()); break;                 // SBC
        case 0xEA: Spend(2); break;                                               // NOP
        case 0xEC: Compare(cpu.x, Fetch<Absolute>()); break;                      // CPX
        case 0xED: SubtractWithBorrow(Fetch<Absolute>()); break;                  // SBC
        case 0xEE: ReadModifyWrite<Absolute, &Interpreter::Increment>(); break;   // INC
        case 0xF0: BranchIf(zeroSource == 0); break;                              // BEQ
        case 0xF1: SubtractWithBorrow(Fetch<IndirectIndexed>()); break;           // SBC
        case 0xF5: SubtractWithBorrow(Fetch<ZeroPageX>()); break;                 // SBC
        case 0xF6: ReadModifyWrite<ZeroPageX, &Interpreter::Increment>(); break;  // INC
        case 0xF8: SetOtherFlag(flag::D, true); break;                            // SED
        case 0xF9: SubtractWithBorrow(Fetch<AbsoluteY>()); break;                 // SBC
        case 0xFD: SubtractWithBorrow(Fetch<AbsoluteX>()); break;                 // SBC
        case 0xFE:                                                                // INC
            ReadModifyWrite<AbsoluteX, &Interpreter::Increment>();
            break;
        // Undocumented opcodes: in the default model one byte, no effect and
        // no cycles, their operand bytes running as the next instructions.
        default:
            if constexpr (complete)
                ExecuteUndocumented(opcode);
            else
                defaultModelShortfall.undocumentedOpcode = true;
            break;
    }
}

}  // namespace chipbox::interpreter
