// SPDX-License-Identifier: GPL-2.0-or-later
// The complete machine's undocumented opcodes, as the NMOS 6510 runs them,
// with their real lengths and cycles. The read-modify-write pairs change
// memory and then combine the new value with the accumulator; the NOPs read
// their operand (reads have no side effects here); a JAM stops the processor.
#pragma once

#include "core/interpreter.h"

namespace chipbox::interpreter {

template <class StoreWatch, bool complete>
inline void Interpreter<StoreWatch, complete>::ExecuteUndocumented(std::uint8_t opcode) {
    switch (opcode) {
        case 0x02: Jam(); break;  // JAM
        case 0x03:
            ChangeThenCombine<IndexedIndirect, &Interpreter::ShiftLeft, &Interpreter::Or>();
            break;                            // SLO
        case 0x04: Fetch<ZeroPage>(); break;  // NOP
        case 0x07:
            ChangeThenCombine<ZeroPage, &Interpreter::ShiftLeft, &Interpreter::Or>();
            break;  // SLO
        case 0x0B:
            And(Fetch<Immediate>());
            carry = negativeSource >> 7;
            break;                            // ANC
        case 0x0C: Fetch<Absolute>(); break;  // NOP
        case 0x0F:
            ChangeThenCombine<Absolute, &Interpreter::ShiftLeft, &Interpreter::Or>();
            break;                // SLO
        case 0x12: Jam(); break;  // JAM
        case 0x13:
            ChangeThenCombine<IndirectIndexed, &Interpreter::ShiftLeft, &Interpreter::Or>();
            break;                             // SLO
        case 0x14: Fetch<ZeroPageX>(); break;  // NOP
        case 0x17:
            ChangeThenCombine<ZeroPageX, &Interpreter::ShiftLeft, &Interpreter::Or>();
            break;                   // SLO
        case 0x1A: Spend(2); break;  // NOP
        case 0x1B:
            ChangeThenCombine<AbsoluteY, &Interpreter::ShiftLeft, &Interpreter::Or>();
            break;                             // SLO
        case 0x1C: Fetch<AbsoluteX>(); break;  // NOP
        case 0x1F:
            ChangeThenCombine<AbsoluteX, &Interpreter::ShiftLeft, &Interpreter::Or>();
            break;                // SLO
        case 0x22: Jam(); break;  // JAM
        case 0x23:
            ChangeThenCombine<IndexedIndirect, &Interpreter::RotateLeft, &Interpreter::And>();
            break;  // RLA
        case 0x27:
            ChangeThenCombine<ZeroPage, &Interpreter::RotateLeft, &Interpreter::And>();
            break;  // RLA
        case 0x2B:
            And(Fetch<Immediate>());
            carry = negativeSource >> 7;
            break;  // ANC
        case 0x2F:
            ChangeThenCombine<Absolute, &Interpreter::RotateLeft, &Interpreter::And>();
            break;                // RLA
        case 0x32: Jam(); break;  // JAM
        case 0x33:
            ChangeThenCombine<IndirectIndexed, &Interpreter::RotateLeft, &Interpreter::And>();
            break;                             // RLA
        case 0x34: Fetch<ZeroPageX>(); break;  // NOP
        case 0x37:
            ChangeThenCombine<ZeroPageX, &Interpreter::RotateLeft, &Interpreter::And>();
            break;                   // RLA
        case 0x3A: Spend(2); break;  // NOP
        case 0x3B:
            ChangeThenCombine<AbsoluteY, &Interpreter::RotateLeft, &Interpreter::And>();
            break;                             // RLA
        case 0x3C: Fetch<AbsoluteX>(); break;  // NOP
        case 0x3F:
            ChangeThenCombine<AbsoluteX, &Interpreter::RotateLeft, &Interpreter::And>();
            break;                // RLA
        case 0x42: Jam(); break;  // JAM
        case 0x43:
            ChangeThenCombine<IndexedIndirect, &Interpreter::ShiftRight,
                              &Interpreter::ExclusiveOr>();
            break;                            // SRE
        case 0x44: Fetch<ZeroPage>(); break;  // NOP
        case 0x47:
            ChangeThenCombine<ZeroPage, &Interpreter::ShiftRight, &Interpreter::ExclusiveOr>();
            break;  // SRE
        case 0x4B:
            cpu.a = ShiftRight(static_cast<std::uint8_t>(cpu.a & Fetch<Immediate>()));
            break;  // ALR
        case 0x4F:
            ChangeThenCombine<Absolute, &Interpreter::ShiftRight, &Interpreter::ExclusiveOr>();
            break;                // SRE
        case 0x52: Jam(); break;  // JAM
        case 0x53:
            ChangeThenCombine<IndirectIndexed, &Interpreter::ShiftRight,
                              &Interpreter::ExclusiveOr>();
            break;                             // SRE
        case 0x54: Fetch<ZeroPageX>(); break;  // NOP
        case 0x57:
            ChangeThenCombine<ZeroPageX, &Interpreter::ShiftRight, &Interpreter::ExclusiveOr>();
            break;                   // SRE
        case 0x5A: Spend(2); break;  // NOP
        case 0x5B:
            ChangeThenCombine<AbsoluteY, &Interpreter::ShiftRight, &Interpreter::ExclusiveOr>();
            break;                             // SRE
        case 0x5C: Fetch<AbsoluteX>(); break;  // NOP
        case 0x5F:
            ChangeThenCombine<AbsoluteX, &Interpreter::ShiftRight, &Interpreter::ExclusiveOr>();
            break;                // SRE
        case 0x62: Jam(); break;  // JAM
        case 0x63:
            ChangeThenCombine<IndexedIndirect, &Interpreter::RotateRight,
                              &Interpreter::AddWithCarry>();
            break;                            // RRA
        case 0x64: Fetch<ZeroPage>(); break;  // NOP
        case 0x67:
            ChangeThenCombine<ZeroPage, &Interpreter::RotateRight, &Interpreter::AddWithCarry>();
            break;                                                 // RRA
        case 0x6B: AndThenRotateRight(Fetch<Immediate>()); break;  // ARR
        case 0x6F:
            ChangeThenCombine<Absolute, &Interpreter::RotateRight, &Interpreter::AddWithCarry>();
            break;                // RRA
        case 0x72: Jam(); break;  // JAM
        case 0x73:
            ChangeThenCombine<IndirectIndexed, &Interpreter::RotateRight,
                              &Interpreter::AddWithCarry>();
            break;                             // RRA
        case 0x74: Fetch<ZeroPageX>(); break;  // NOP
        case 0x77:
            ChangeThenCombine<ZeroPageX, &Interpreter::RotateRight, &Interpreter::AddWithCarry>();
            break;                   // RRA
        case 0x7A: Spend(2); break;  // NOP
        case 0x7B:
            ChangeThenCombine<AbsoluteY, &Interpreter::RotateRight, &Interpreter::AddWithCarry>();
            break;                             // RRA
        case 0x7C: Fetch<AbsoluteX>(); break;  // NOP
        case 0x7F:
            ChangeThenCombine<AbsoluteX, &Interpreter::RotateRight, &Interpreter::AddWithCarry>();
            break;                             // RRA
        case 0x80: Fetch<Immediate>(); break;  // NOP
        case 0x82: Fetch<Immediate>(); break;  // NOP
        case 0x83:
            StoreRegister<IndexedIndirect>(static_cast<std::uint8_t>(cpu.a & cpu.x));
            break;                                                                            // SAX
        case 0x87: StoreRegister<ZeroPage>(static_cast<std::uint8_t>(cpu.a & cpu.x)); break;  // SAX
        case 0x89: Fetch<Immediate>(); break;                                                 // NOP
        case 0x8B:
            cpu.a = SetNZ(static_cast<std::uint8_t>((cpu.a | 0xEE) & cpu.x & Fetch<Immediate>()));
            break;                                                                            // ANE
        case 0x8F: StoreRegister<Absolute>(static_cast<std::uint8_t>(cpu.a & cpu.x)); break;  // SAX
        case 0x92: Jam(); break;                                                              // JAM
        case 0x93:
            StoreAndedWithHighByte<IndirectIndexed>(static_cast<std::uint8_t>(cpu.a & cpu.x));
            break;  // SHA
        case 0x97:
            StoreRegister<ZeroPageY>(static_cast<std::uint8_t>(cpu.a & cpu.x));
            break;  // SAX
        case 0x9B:
            cpu.s = static_cast<std::uint8_t>(cpu.a & cpu.x);
            StoreAndedWithHighByte<AbsoluteY>(cpu.s);
            break;                                                   // TAS
        case 0x9C: StoreAndedWithHighByte<AbsoluteX>(cpu.y); break;  // SHY
        case 0x9E: StoreAndedWithHighByte<AbsoluteY>(cpu.x); break;  // SHX
        case 0x9F:
            StoreAndedWithHighByte<AbsoluteY>(static_cast<std::uint8_t>(cpu.a & cpu.x));
            break;                                                 // SHA
        case 0xA3: LoadAccumulatorAndX<IndexedIndirect>(); break;  // LAX
        case 0xA7: LoadAccumulatorAndX<ZeroPage>(); break;         // LAX
        case 0xAB:
            cpu.a = cpu.x = SetNZ(static_cast<std::uint8_t>((cpu.a | 0xEE) & Fetch<Immediate>()));
            break;                                                 // LXA
        case 0xAF: LoadAccumulatorAndX<Absolute>(); break;         // LAX
        case 0xB2: Jam(); break;                                   // JAM
        case 0xB3: LoadAccumulatorAndX<IndirectIndexed>(); break;  // LAX
        case 0xB7: LoadAccumulatorAndX<ZeroPageY>(); break;        // LAX
        case 0xBB:
            cpu.a = cpu.x = cpu.s = SetNZ(static_cast<std::uint8_t>(Fetch<AbsoluteY>() & cpu.s));
            break;                                           // LAS
        case 0xBF: LoadAccumulatorAndX<AbsoluteY>(); break;  // LAX
        case 0xC2: Fetch<Immediate>(); break;                // NOP
        case 0xC3:
            ChangeThenCombine<IndexedIndirect, &Interpreter::Decrement,
                              &Interpreter::CompareAccumulator>();
            break;  // DCP
        case 0xC7:
            ChangeThenCombine<ZeroPage, &Interpreter::Decrement,
                              &Interpreter::CompareAccumulator>();
            break;                                               // DCP
        case 0xCB: AndXThenSubtract(Fetch<Immediate>()); break;  // SBX
        case 0xCF:
            ChangeThenCombine<Absolute, &Interpreter::Decrement,
                              &Interpreter::CompareAccumulator>();
            break;                // DCP
        case 0xD2: Jam(); break;  // JAM
        case 0xD3:
            ChangeThenCombine<IndirectIndexed, &Interpreter::Decrement,
                              &Interpreter::CompareAccumulator>();
            break;                             // DCP
        case 0xD4: Fetch<ZeroPageX>(); break;  // NOP
        case 0xD7:
            ChangeThenCombine<ZeroPageX, &Interpreter::Decrement,
                              &Interpreter::CompareAccumulator>();
            break;                   // DCP
        case 0xDA: Spend(2); break;  // NOP
        case 0xDB:
            ChangeThenCombine<AbsoluteY, &Interpreter::Decrement,
                              &Interpreter::CompareAccumulator>();
            break;                             // DCP
        case 0xDC: Fetch<AbsoluteX>(); break;  // NOP
        case 0xDF:
            ChangeThenCombine<AbsoluteX, &Interpreter::Decrement,
                              &Interpreter::CompareAccumulator>();
            break;                             // DCP
        case 0xE2: Fetch<Immediate>(); break;  // NOP
        case 0xE3:
            ChangeThenCombine<IndexedIndirect, &Interpreter::Increment,
                              &Interpreter::SubtractWithBorrow>();
            break;  // ISC
        case 0xE7:
            ChangeThenCombine<ZeroPage, &Interpreter::Increment,
                              &Interpreter::SubtractWithBorrow>();
            break;                                                 // ISC
        case 0xEB: SubtractWithBorrow(Fetch<Immediate>()); break;  // SBC
        case 0xEF:
            ChangeThenCombine<Absolute, &Interpreter::Increment,
                              &Interpreter::SubtractWithBorrow>();
            break;                // ISC
        case 0xF2: Jam(); break;  // JAM
        case 0xF3:
            ChangeThenCombine<IndirectIndexed, &Interpreter::Increment,
                              &Interpreter::SubtractWithBorrow>();
            break;                             // ISC
        case 0xF4: Fetch<ZeroPageX>(); break;  // NOP
        case 0xF7:
            ChangeThenCombine<ZeroPageX, &Interpreter::Increment,
                              &Interpreter::SubtractWithBorrow>();
            break;                   // ISC
        case 0xFA: Spend(2); break;  // NOP
        case 0xFB:
            ChangeThenCombine<AbsoluteY, &Interpreter::Increment,
                              &Interpreter::SubtractWithBorrow>();
            break;                             // ISC
        case 0xFC: Fetch<AbsoluteX>(); break;  // NOP
        case 0xFF:
            ChangeThenCombine<AbsoluteX, &Interpreter::Increment,
                              &Interpreter::SubtractWithBorrow>();
            break;  // ISC
        default: break;
    }
}

}  // namespace chipbox::interpreter
