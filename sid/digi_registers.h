// 4-bit "digi" samples that tunes announce through extended registers in the
// SID's window ($D41D-$D47F), and their playback in the software renderer.
#pragma once

#include <cstdint>

#include "core/c64_memory.h"
#include "sid/sid_state.h"

namespace chipbox {

// The C64's CPU clock in Hz; sample periods are counted in its cycles.
constexpr std::int32_t DIGI_CLOCK = 985248;
constexpr std::int32_t DIGI_VALUE_SCALE = 1024;  // per nybble step

// One parameter of a sample: the tune writes the latch a byte at a time, and a
// command copies it into the live value that playback uses and advances.
struct DigiParameter {
    std::int32_t latched = 0;
    std::int32_t live = 0;
};

struct DigiRegisters {
    DigiParameter startAddress;   // $D41E/$D41F: first byte of the sample
    DigiParameter endAddress;     // $D43D/$D43E: first byte after it
    DigiParameter repeatCount;    // $D43F
    DigiParameter period;         // $D45D/$D45E: C64 cycles per nybble
    DigiParameter addressStep;    // $D45F: used only by the HardSID sample thread
    DigiParameter nybbleOrder;    // $D47D: 0 low nybble first, else high first
    DigiParameter repeatAddress;  // $D47E/$D47F
    std::uint8_t sampleActive = 0;
    std::int32_t currentAddress = 0;
    std::int32_t nybbleSelector = 0;  // 1 high nybble, 0 low; never reset
};

extern DigiRegisters digiRegisters;

// The software renderer's side of sample playback.
struct DigiPlayback {
    std::int32_t digiPhase = 0;  // reset by SidInit
    std::int32_t digiValue = 0;  // added to every rendered sample; never reset
    std::uint32_t rate = 0;      // the renderer's rate, set by SidInit
};

extern DigiPlayback digiPlayback;

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

namespace digi_detail {

void AdvanceNybble();

inline bool SampleSounding() {
    const DigiRegisters& d = digiRegisters;
    return d.sampleActive && d.currentAddress < d.endAddress.live &&
           d.currentAddress >= d.startAddress.live;
}

}  // namespace digi_detail

// Once per rendered sample: y plus the current digi value while a sample
// sounds, else y. At most one nybble step per sample; the new value is heard
// from the next sample on. A period of 0 adds the value but never advances.
inline std::int32_t DigiStep(std::int32_t y) {
    if (!digi_detail::SampleSounding()) return y;
    const std::int32_t result = y + digiPlayback.digiValue;
    const std::int32_t period = digiRegisters.period.live;
    if (period == 0) return result;
    digiPlayback.digiPhase += DIGI_CLOCK / period;
    if (digiPlayback.digiPhase <= static_cast<std::int32_t>(digiPlayback.rate)) return result;
    digiPlayback.digiPhase %= static_cast<std::int32_t>(digiPlayback.rate);
    digi_detail::AdvanceNybble();
    return result;
}

}  // namespace chipbox
