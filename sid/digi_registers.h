// SPDX-License-Identifier: GPL-2.0-or-later
// 4-bit "digi" samples that tunes announce through extended registers in the
// SID's window ($D41D-$D47F), and their playback in the software renderer.
//
// Threads: the register decoder runs on whichever thread runs the tune's code
// (the window's thread, or in HardSID mode the play timer). The live values,
// sampleActive, currentAddress and nybbleSelector are shared with the HardSID
// sample thread, which advances them while the tune may write a command:
// they are relaxed atomics. The latches are written and read only by the
// decoder. The software renderer's state (DigiPlayback) is the window
// thread's alone; the sample thread never runs in software mode.
#pragma once

#include <cstdint>
#include <span>

#include "sid/relaxed_atomic.h"
#include "sid/sid_state.h"

namespace chipbox {

// The C64's CPU clock in Hz; sample periods are counted in its cycles.
constexpr std::int32_t DIGI_CLOCK = 985248;
constexpr std::int32_t DIGI_VALUE_SCALE = 1024;  // per nybble step

// The 64 KB of tune memory that samples are read from, handed in by the
// caller: the SID knows nothing of the machine around it.
using SampleMemory = std::span<const std::uint8_t, 65536>;

// One parameter of a sample: the tune writes the latch a byte at a time, and a
// command copies it into the live value that playback uses and advances.
struct DigiParameter {
    std::int32_t latched = 0;
    RelaxedAtomic<std::int32_t> live;
};

struct DigiRegisters {
    DigiParameter startAddress;   // $D41E/$D41F: first byte of the sample
    DigiParameter endAddress;     // $D43D/$D43E: first byte after it
    DigiParameter repeatCount;    // $D43F
    DigiParameter period;         // $D45D/$D45E: C64 cycles per nybble
    DigiParameter addressStep;    // $D45F: used only by the HardSID sample thread
    DigiParameter nybbleOrder;    // $D47D: 0 low nybble first, else high first
    DigiParameter repeatAddress;  // $D47E/$D47F
    RelaxedAtomic<std::uint8_t> sampleActive;
    RelaxedAtomic<std::int32_t> currentAddress;
    RelaxedAtomic<std::int32_t> nybbleSelector;  // 1 high nybble, 0 low; never reset
};

extern DigiRegisters digiRegisters;

// The software renderer's side of sample playback.
struct DigiPlayback {
    std::int32_t digiPhase = 0;  // reset by SidInit
    std::int32_t digiValue = 0;  // added to every rendered sample; never reset
    std::uint32_t rate = 0;      // the renderer's rate, set by SidInit
};

extern DigiPlayback digiPlayback;

// Whether a store to `address` goes to the sample decoder rather than the
// SID: all of $D419-$D4FF in the default model; where the mirrors reach the
// SID, only $D419-$D41F and the sample registers among them.
bool ReachesSampleDecoder(std::uint16_t address, bool mirrorsReachSid);

// Decodes a store of `value` to `address` in $D419-$D4FF (after the byte was
// stored in memory). A command at $D41D loads every live value from its latch;
// $FD stops the sample, $FE and $FF start it, other values only reload.
void DecodeDigiRegisterWrite(std::uint16_t address, std::uint8_t value);

// The mixer's digi level: slider position 1..15 (1 at the top) sets the
// divisor 15 / (16 - p) and the card offset p - 1.
void SetDigiLevel(int sliderPosition);

// Returns the digi state to program start: latches, live values, selector and
// value all zero.
void ResetDigiState();

// The playing sample as one render call works on it: a plain copy of the
// shared values, taken at the start of the call and put back at its end.
// Nothing else changes them meanwhile, since in software mode the tune's code
// and the mixer run on the renderer's thread, between render calls.
struct DigiCursor {
    bool active;
    std::int32_t startAddress, endAddress, repeatAddress, repeatCount, period, nybbleOrder;
    std::int32_t currentAddress, nybbleSelector;
    std::int32_t digiPhase, digiValue, rate;
    double divisor;
    SampleMemory memory;

    explicit DigiCursor(SampleMemory sampleMemory);
    void StoreBack() const;

    bool Sounding() const {
        return active && currentAddress < endAddress && currentAddress >= startAddress;
    }

    // Once per rendered sample: y plus the current digi value while a sample
    // sounds, else y. At most one nybble step per sample; the new value is
    // heard from the next sample on. A period of 0 adds the value but never
    // advances.
    std::int32_t Step(std::int32_t y) {
        if (!Sounding()) return y;
        const std::int32_t result = y + digiValue;
        if (period == 0) return result;
        digiPhase += DIGI_CLOCK / period;
        if (digiPhase <= rate) return result;
        digiPhase %= rate;
        AdvanceNybble();
        return result;
    }

private:
    void AdvanceNybble();
};

}  // namespace chipbox
