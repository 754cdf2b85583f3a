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
        case 0x03:                // SLO
            ChangeThenCombine<IndexedIndirect, &Interpreter::ShiftLeft, &Interpreter::Or>();
            break;
        case 0x04: Fetch<ZeroPage>(); break;  // NOP
        case 0x07:                            // SLO
            ChangeThenCombine<ZeroPage, &Interpreter::ShiftLeft, &Interpreter::Or>();
            break;
        case 0x0B:  // ANC
            And(Fetch<Immediate>());
            carry = negativeSource >> 7;
            break;
        case 0x0C: Fetch<Absolute>(); break;  // NOP
        case 0x0F:                            // SLO
            ChangeThenCombine<Absolute, &Interpreter::ShiftLeft, &Interpreter::Or>();
            break;
        case 0x12: Jam(); break;  // JAM
        case 0x13:                // SLO
            ChangeThenCombine<IndirectIndexed, &Interpreter::ShiftLeft, &Interpreter::Or>();
            break;
        case 0x14: Fetch<ZeroPageX>(); break;  // NOP
        case 0x17:                             // SLO
            ChangeThenCombine<ZeroPageX, &Interpreter::ShiftLeft, &Interpreter::Or>();
            break;
        case 0x1A: Spend(2); break;  // NOP
        case 0x1B:                   // SLO
            ChangeThenCombine<AbsoluteY, &Interpreter::ShiftLeft, &Interpreter::Or>();
            break;
        case 0x1C: Fetch<AbsoluteX>(); break;  // NOP
        case 0x1F:                             // SLO
            ChangeThenCombine<AbsoluteX, &Interpreter::ShiftLeft, &Interpreter::Or>();
            break;
        case 0x22: Jam(); break;  // JAM
        case 0x23:                // RLA
            ChangeThenCombine<IndexedIndirect, &Interpreter::RotateLeft, &Interpreter::And>();
            break;
        case 0x27:  // RLA
            ChangeThenCombine<ZeroPage, &Interpreter::RotateLeft, &Interpreter::And>();
            break;
        case 0x2B:  // ANC
            And(Fetch<Immediate>());
            carry = negativeSource >> 7;
            break;
        case 0x2F:  // RLA
            ChangeThenCombine<Absolute, &Interpreter::RotateLeft, &Interpreter::And>();
            break;
        case 0x32: Jam(); break;  // JAM
        case 0x33:                // RLA
            ChangeThenCombine<IndirectIndexed, &Interpreter::RotateLeft, &Interpreter::And>();
            break;
        case 0x34: Fetch<ZeroPageX>(); break;  // NOP
        case 0x37:                             // RLA
            ChangeThenCombine<ZeroPageX, &Interpreter::RotateLeft, &Interpreter::And>();
            break;
        case 0x3A: Spend(2); break;  // NOP
        case 0x3B:                   // RLA
            ChangeThenCombine<AbsoluteY, &Interpreter::RotateLeft, &Interpreter::And>();
            break;
        case 0x3C: Fetch<AbsoluteX>(); break;  // NOP
        case 0x3F:                             // RLA
            ChangeThenCombine<AbsoluteX, &Interpreter::RotateLeft, &Interpreter::And>();
            break;
        case 0x42: Jam(); break;  // JAM
        case 0x43:                // SRE
            ChangeThenCombine<IndexedIndirect, &Interpreter::ShiftRight,
                              &Interpreter::ExclusiveOr>();
            break;
        case 0x44: Fetch<ZeroPage>(); break;  // NOP
        case 0x47:                            // SRE
            ChangeThenCombine<ZeroPage, &Interpreter::ShiftRight, &Interpreter::ExclusiveOr>();
            break;
        case 0x4B:  // ALR
            cpu.a = ShiftRight(static_cast<std::uint8_t>(cpu.a & Fetch<Immediate>()));
            break;
        case 0x4F:  // SRE
            ChangeThenCombine<Absolute, &Interpreter::ShiftRight, &Interpreter::ExclusiveOr>();
            break;
        case 0x52: Jam(); break;  // JAM
        case 0x53:                // SRE
            ChangeThenCombine<IndirectIndexed, &Interpreter::ShiftRight,
                              &Interpreter::ExclusiveOr>();
            break;
        case 0x54: Fetch<ZeroPageX>(); break;  // NOP
        case 0x57:                             // SRE
            ChangeThenCombine<ZeroPageX, &Interpreter::ShiftRight, &Interpreter::ExclusiveOr>();
            break;
        case 0x5A: Spend(2); break;  // NOP
        case 0x5B:                   // SRE
            ChangeThenCombine<AbsoluteY, &Interpreter::ShiftRight, &Interpreter::ExclusiveOr>();
            break;
        case 0x5C: Fetch<AbsoluteX>(); break;  // NOP
        case 0x5F:                             // SRE
            ChangeThenCombine<AbsoluteX, &Interpreter::ShiftRight, &Interpreter::ExclusiveOr>();
            break;
        case 0x62: Jam(); break;  // JAM
        case 0x63:                // RRA
            ChangeThenCombine<IndexedIndirect, &Interpreter::RotateRight,
                              &Interpreter::AddWithCarry>();
            break;
        case 0x64: Fetch<ZeroPage>(); break;  // NOP
        case 0x67:                            // RRA
            ChangeThenCombine<ZeroPage, &Interpreter::RotateRight, &Interpreter::AddWithCarry>();
            break;
        case 0x6B: AndThenRotateRight(Fetch<Immediate>()); break;  // ARR
        case 0x6F:                                                 // RRA
            ChangeThenCombine<Absolute, &Interpreter::RotateRight, &Interpreter::AddWithCarry>();
            break;
        case 0x72: Jam(); break;  // JAM
        case 0x73:                // RRA
            ChangeThenCombine<IndirectIndexed, &Interpreter::RotateRight,
                              &Interpreter::AddWithCarry>();
            break;
        case 0x74: Fetch<ZeroPageX>(); break;  // NOP
        case 0x77:                             // RRA
            ChangeThenCombine<ZeroPageX, &Interpreter::RotateRight, &Interpreter::AddWithCarry>();
            break;
        case 0x7A: Spend(2); break;  // NOP
        case 0x7B:                   // RRA
            ChangeThenCombine<AbsoluteY, &Interpreter::RotateRight, &Interpreter::AddWithCarry>();
            break;
        case 0x7C: Fetch<AbsoluteX>(); break;  // NOP
        case 0x7F:                             // RRA
            ChangeThenCombine<AbsoluteX, &Interpreter::RotateRight, &Interpreter::AddWithCarry>();
            break;
        case 0x80: Fetch<Immediate>(); break;  // NOP
        case 0x82: Fetch<Immediate>(); break;  // NOP
        case 0x83:                             // SAX
            StoreRegister<IndexedIndirect>(static_cast<std::uint8_t>(cpu.a & cpu.x));
            break;
        case 0x87: StoreRegister<ZeroPage>(static_cast<std::uint8_t>(cpu.a & cpu.x)); break;  // SAX
        case 0x89: Fetch<Immediate>(); break;                                                 // NOP
        case 0x8B:                                                                            // ANE
            cpu.a = SetNZ(static_cast<std::uint8_t>((cpu.a | 0xEE) & cpu.x & Fetch<Immediate>()));
            break;
        case 0x8F: StoreRegister<Absolute>(static_cast<std::uint8_t>(cpu.a & cpu.x)); break;  // SAX
        case 0x92: Jam(); break;                                                              // JAM
        case 0x93:                                                                            // SHA
            StoreAndedWithHighByte<IndirectIndexed>(static_cast<std::uint8_t>(cpu.a & cpu.x));
            break;
        case 0x97:  // SAX
            StoreRegister<ZeroPageY>(static_cast<std::uint8_t>(cpu.a & cpu.x));
            break;
        case 0x9B:  // TAS
            cpu.s = static_cast<std::uint8_t>(cpu.a & cpu.x);
            StoreAndedWithHighByte<AbsoluteY>(cpu.s);
            break;
        case 0x9C: StoreAndedWithHighByte<AbsoluteX>(cpu.y); break;  // SHY
        case 0x9E: StoreAndedWithHighByte<AbsoluteY>(cpu.x); break;  // SHX
        case 0x9F:                                                   // SHA
            StoreAndedWithHighByte<AbsoluteY>(static_cast<std::uint8_t>(cpu.a & cpu.x));
            break;
        case 0xA3: LoadAccumulatorAndX<IndexedIndirect>(); break;  // LAX
        case 0xA7: LoadAccumulatorAndX<ZeroPage>(); break;         // LAX
        case 0xAB:                                                 // LXA
            cpu.a = cpu.x = SetNZ(static_cast<std::uint8_t>((cpu.a | 0xEE) & Fetch<Immediate>()));
            break;
        case 0xAF: LoadAccumulatorAndX<Absolute>(); break;         // LAX
        case 0xB2: Jam(); break;                                   // JAM
        case 0xB3: LoadAccumulatorAndX<IndirectIndexed>(); break;  // LAX
        case 0xB7: LoadAccumulatorAndX<ZeroPageY>(); break;        // LAX
        case 0xBB:                                                 // LAS
            cpu.a = cpu.x = cpu.s = SetNZ(static_cast<std::uint8_t>(Fetch<AbsoluteY>() & cpu.s));
            break;
        case 0xBF: LoadAccumulatorAndX<AbsoluteY>(); break;  // LAX
        case 0xC2: Fetch<Immediate>(); break;                // NOP
        case 0xC3:                                           // DCP
            ChangeThenCombine<IndexedIndirect, &Interpreter::Decrement,
                              &Interpreter::CompareAccumulator>();
            break;
        case 0xC7:  // DCP
            ChangeThenCombine<ZeroPage, &Interpreter::Decrement,
                              &Interpreter::CompareAccumulator>();
            break;
        case 0xCB: AndXThenSubtract(Fetch<Immediate>()); break;  // SBX
        case 0xCF:                                               // DCP
            ChangeThenCombine<Absolute, &Interpreter::Decrement,
                              &Interpreter::CompareAccumulator>();
            break;
        case 0xD2: Jam(); break;  // JAM
        case 0xD3:                // DCP
            ChangeThenCombine<IndirectIndexed, &Interpreter::Decrement,
                              &Interpreter::CompareAccumulator>();
            break;
        case 0xD4: Fetch<ZeroPageX>(); break;  // NOP
        case 0xD7:                             // DCP
            ChangeThenCombine<ZeroPageX, &Interpreter::Decrement,
                              &Interpreter::CompareAccumulator>();
            break;
        case 0xDA: Spend(2); break;  // NOP
        case 0xDB:                   // DCP
            ChangeThenCombine<AbsoluteY, &Interpreter::Decrement,
                              &Interpreter::CompareAccumulator>();
            break;
        case 0xDC: Fetch<AbsoluteX>(); break;  // NOP
        case 0xDF:                             // DCP
            ChangeThenCombine<AbsoluteX, &Interpreter::Decrement,
                              &Interpreter::CompareAccumulator>();
            break;
        case 0xE2: Fetch<Immediate>(); break;  // NOP
        case 0xE3:                             // ISC
            ChangeThenCombine<IndexedIndirect, &Interpreter::Increment,
                              &Interpreter::SubtractWithBorrow>();
            break;
        case 0xE7:  // ISC
            ChangeThenCombine<ZeroPage, &Interpreter::Increment,
                              &Interpreter::SubtractWithBorrow>();
            break;
        case 0xEB: SubtractWithBorrow(Fetch<Immediate>()); break;  // SBC
        case 0xEF:                                                 // ISC
            ChangeThenCombine<Absolute, &Interpreter::Increment,
                              &Interpreter::SubtractWithBorrow>();
            break;
        case 0xF2: Jam(); break;  // JAM
        case 0xF3:                // ISC
            ChangeThenCombine<IndirectIndexed, &Interpreter::Increment,
                              &Interpreter::SubtractWithBorrow>();
            break;
        case 0xF4: Fetch<ZeroPageX>(); break;  // NOP
        case 0xF7:                             // ISC
            ChangeThenCombine<ZeroPageX, &Interpreter::Increment,
                              &Interpreter::SubtractWithBorrow>();
            break;
        case 0xFA: Spend(2); break;  // NOP
        case 0xFB:                   // ISC
            ChangeThenCombine<AbsoluteY, &Interpreter::Increment,
                              &Interpreter::SubtractWithBorrow>();
            break;
        case 0xFC: Fetch<AbsoluteX>(); break;  // NOP
        case 0xFF:                             // ISC
            ChangeThenCombine<AbsoluteX, &Interpreter::Increment,
                              &Interpreter::SubtractWithBorrow>();
            break;
        default: break;
    }
}

}  // namespace chipbox::interpreter
