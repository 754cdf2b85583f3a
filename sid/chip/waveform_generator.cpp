// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/waveform_generator.h"

#include <algorithm>

#include "sid/chip/vector_clones.h"

namespace chipbox::sidchip {

namespace {

// What the selector puts on the lines for sawtooth, triangle and pulse
// (`waveforms` 1-7, without noise), at a combined index.
// Inlined into the loops that call it a cycle at a time.
[[gnu::always_inline]] inline std::uint16_t SelectorValue(std::uint8_t waveforms,
                                                          std::uint32_t index, bool pulseHigh,
                                                          const CombinedTables& tables) {
    switch (waveforms) {
        case TRIANGLE: return TriangleOfIndex(index);
        case SAWTOOTH: return SawtoothOfIndex(index);
        case TRIANGLE | SAWTOOTH: return tables.sawTriangle[index];
        case PULSE: return pulseHigh ? 0xFFF : 0;
        case PULSE | TRIANGLE: return pulseHigh ? tables.pulseTriangle[index] : 0;
        case PULSE | SAWTOOTH: return pulseHigh ? tables.pulseSaw[SawtoothOfIndex(index)] : 0;
        default: return pulseHigh ? tables.pulseSawTriangle[index] : 0;
    }
}

}  // namespace

void WaveformGenerator::Reset() { *this = WaveformGenerator{}; }

void WaveformGenerator::WriteControl(std::uint8_t value) {
    const bool testRises = (value & TEST) && !(control_ & TEST);
    control_ = value;
    if (control_ & TEST) accumulator_ = 0;
    if (testRises) noise_ = NOISE_RESET;
}

// The register's bits 20, 18, 14, 11, 9, 5, 2 and 0 drive the output's
// bits 11 down to 4.
std::uint16_t WaveformGenerator::NoiseOutput() const {
    const std::uint32_t n = noise_;
    return static_cast<std::uint16_t>((n >> 9 & 0x800) | (n >> 8 & 0x400) | (n >> 5 & 0x200) |
                                      (n >> 3 & 0x100) | (n >> 2 & 0x080) | (n << 1 & 0x040) |
                                      (n << 3 & 0x020) | (n << 4 & 0x010));
}

// The same wires the other way: a 0 on an output bit pulls its register
// bit down.
void WaveformGenerator::WriteBackIntoNoise(std::uint16_t output) {
    const std::uint32_t zeros = ~output & 0xFF0u;
    const std::uint32_t pulled =
        (zeros & 0x800) << 9 | (zeros & 0x400) << 8 | (zeros & 0x200) << 5 | (zeros & 0x100) << 3 |
        (zeros & 0x080) << 2 | (zeros & 0x040) >> 1 | (zeros & 0x020) >> 3 | (zeros & 0x010) >> 4;
    noise_ &= ~pulled;
}

std::uint16_t WaveformGenerator::Floating() {
    if (floatingFor_ < FLOATING_HOLD_CYCLES)
        ++floatingFor_;
    else
        held_ = 0;
    return held_;
}

// `count` cycles of Floating at once.
void WaveformGenerator::FloatingRun(std::uint32_t count, std::uint16_t* out) {
    const std::uint32_t stillHeld = FLOATING_HOLD_CYCLES - std::min(floatingFor_, FLOATING_HOLD_CYCLES);
    const std::uint32_t kept = std::min(count, stillHeld);
    std::fill_n(out, kept, held_);
    floatingFor_ += kept;
    if (kept < count) {
        held_ = 0;
        std::fill_n(out + kept, count - kept, std::uint16_t{0});
    }
}

// `count` cycles of Advance at once. Bit 19 rises each time the count passes
// 2^19 past a multiple of 2^20, once a cycle at most (the frequency is below
// 2^16): the noise register shifts that often, heard or not.
void WaveformGenerator::AdvanceBy(std::uint32_t count) {
    if (control_ & TEST) return;
    constexpr std::uint64_t HALF = 1u << 19, WHOLE = 1u << 20;
    const std::uint64_t start = accumulator_;
    const std::uint64_t end = start + std::uint64_t{count} * frequency_;
    const std::uint64_t noiseClocks = (end + HALF) / WHOLE - (start + HALF) / WHOLE;
    accumulator_ = static_cast<std::uint32_t>(end) & ACCUMULATOR_MASK;
    for (std::uint64_t i = 0; i < noiseClocks; ++i) ShiftNoise();
}

// With sync, the waveforms that need neither the accumulator nor the source:
// no waveform (the lines float) and noise alone (it changes only when the
// register shifts).
void WaveformGenerator::OutputFloatingOrNoiseRun(std::uint32_t count,
                                                 const std::uint32_t* accumulators,
                                                 const std::uint8_t* rose, std::uint16_t* out) {
    if (control_ >> 4 == 0) {
        for (std::uint32_t k = 0; k < count; ++k)
            if (rose[k] & NOISE_CLOCKED) ShiftNoise();
        FloatingRun(count, out);
    } else {
        std::uint16_t value = NoiseOutput();
        for (std::uint32_t k = 0; k < count; ++k) {
            if (rose[k] & NOISE_CLOCKED) {
                ShiftNoise();
                value = NoiseOutput();
            }
            out[k] = value;
        }
        if (count > 0) {
            held_ = value;
            floatingFor_ = 0;
        }
    }
    if (count > 0) accumulator_ = accumulators[count - 1];
}

std::uint16_t WaveformGenerator::Output(bool sourceTop, const CombinedTables& tables) {
    const std::uint8_t waveforms = control_ >> 4;
    if (waveforms == 0) return Floating();
    const bool pulseHigh = (control_ & TEST) || (accumulator_ >> 12) >= pulseWidth_;
    const bool top = accumulator_ & ACCUMULATOR_TOP;
    const bool triangleTop = (control_ & RING) ? top != sourceTop : top;
    const std::uint32_t index = CombinedIndex(accumulator_, triangleTop);
    // Noise alone leaves the other lines high for the AND below.
    std::uint16_t output =
        waveforms & 7 ? SelectorValue(waveforms & 7, index, pulseHigh, tables) : 0xFFF;
    if (waveforms & NOISE) {
        output &= NoiseOutput();
        if (waveforms != NOISE) WriteBackIntoNoise(output);
    }
    held_ = output;
    floatingFor_ = 0;
    return output;
}

void WaveformGenerator::TopBitsAhead(std::uint32_t count, std::uint8_t* tops) const {
    const bool held = control_ & TEST;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint32_t at = held ? accumulator_ : accumulator_ + (k + 1) * frequency_;
        tops[k] = static_cast<std::uint8_t>(at >> 23 & 1);
    }
}

// Sawtooth, triangle and pulse, alone or combined, need neither the noise
// register's write-back nor the floating lines; ring modulation only changes
// the triangle's top bit.
bool WaveformGenerator::RunsPlain() const {
    if (control_ & TEST) return false;
    const std::uint8_t waveforms = control_ >> 4;
    return waveforms != 0 && !(waveforms & NOISE);
}

// Noise alone changes only when the register shifts.
CHIPBOX_VECTOR_CLONES void WaveformGenerator::RenderNoise(std::uint32_t count, std::uint16_t* out) {
    std::uint16_t value = NoiseOutput();
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint32_t next = (accumulator_ + frequency_) & ACCUMULATOR_MASK;
        if (~accumulator_ & next & NOISE_CLOCK_BIT) {
            ShiftNoise();
            value = NoiseOutput();
        }
        accumulator_ = next;
        out[k] = value;
    }
    held_ = value;
    floatingFor_ = 0;
}

CHIPBOX_VECTOR_CLONES void WaveformGenerator::RenderCombined(std::uint32_t count, const std::uint8_t* sourceTops,
                                       std::uint16_t* out, const CombinedTables& tables) const {
    const std::uint32_t start = accumulator_, frequency = frequency_, width = pulseWidth_;
    const std::uint32_t ring = control_ & RING ? 1 : 0;
    const std::uint8_t waveforms = control_ >> 4;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint32_t accumulator = (start + (k + 1) * frequency) & ACCUMULATOR_MASK;
        const bool triangleTop = ((accumulator >> 23) ^ (ring & sourceTops[k])) != 0;
        const std::uint32_t index = CombinedIndex(accumulator, triangleTop);
        const bool pulseHigh = (accumulator >> 12) >= width;
        out[k] = SelectorValue(waveforms, index, pulseHigh, tables);
    }
}

CHIPBOX_VECTOR_CLONES void WaveformGenerator::RenderRun(std::uint32_t count, const std::uint8_t* sourceTops,
                                  std::uint16_t* out, const CombinedTables& tables) {
    if (control_ >> 4 == NOISE && !(control_ & TEST)) {
        RenderNoise(count, out);
        return;
    }
    if (control_ >> 4 == 0) {  // no waveform: the lines float, whatever the accumulator does
        AdvanceBy(count);
        FloatingRun(count, out);
        return;
    }
    if (!RunsPlain()) {
        for (std::uint32_t k = 0; k < count; ++k) {
            Advance();
            out[k] = Output(sourceTops[k] != 0, tables);
        }
        return;
    }
    // The accumulator after cycle k is a multiple of the frequency on from
    // where it stands, so the loops carry no value from cycle to cycle.
    const std::uint32_t start = accumulator_;
    const std::uint32_t frequency = frequency_;
    const std::uint8_t waveforms = control_ >> 4;
    const auto at = [&](std::uint32_t k) {
        return (start + (k + 1) * frequency) & ACCUMULATOR_MASK;
    };
    if (waveforms == SAWTOOTH) {
        for (std::uint32_t k = 0; k < count; ++k) out[k] = static_cast<std::uint16_t>(at(k) >> 12);
    } else if (waveforms == PULSE) {
        const std::uint32_t width = pulseWidth_;
        for (std::uint32_t k = 0; k < count; ++k)
            out[k] = static_cast<std::uint16_t>((at(k) >> 12) >= width ? 0xFFF : 0);
    } else if (waveforms == TRIANGLE) {
        const std::uint32_t ring = control_ & RING ? 1 : 0;
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::uint32_t accumulator = at(k);
            const std::uint32_t top = (accumulator >> 23) ^ (ring & sourceTops[k]);
            const std::uint32_t bits = accumulator >> 11 & 0xFFF;
            out[k] = static_cast<std::uint16_t>((top ? ~bits : bits) & 0xFFF);
        }
    } else {
        RenderCombined(count, sourceTops, out, tables);
    }
    AdvanceBy(count);
    if (count > 0) {
        held_ = out[count - 1];
        floatingFor_ = 0;
    }
}

CHIPBOX_VECTOR_CLONES void WaveformGenerator::AccumulateRun(std::uint32_t count,
                                                            const std::uint8_t* sourceRose,
                                                            std::uint32_t* accumulators,
                                                            std::uint8_t* rose) const {
    std::uint32_t accumulator = accumulator_;
    const bool held = control_ & TEST;
    const bool synced = sourceRose && (control_ & SYNC);
    if (!held && !synced) {
        // Nothing resets it: each cycle's value follows from the first, so
        // the cycles do not wait on each other (the products wrap modulo
        // 2^32, a multiple of the accumulator's 2^24).
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::uint32_t before = (accumulator + k * frequency_) & ACCUMULATOR_MASK;
            const std::uint32_t next = (before + frequency_) & ACCUMULATOR_MASK;
            const std::uint32_t risen = ~before & next;
            rose[k] = static_cast<std::uint8_t>((risen & ACCUMULATOR_TOP ? TOP_ROSE : 0) |
                                                (risen & NOISE_CLOCK_BIT ? NOISE_CLOCKED : 0));
            accumulators[k] = next;
        }
        return;
    }
    for (std::uint32_t k = 0; k < count; ++k) {
        std::uint8_t flags = 0;
        if (!held) {
            const std::uint32_t next = (accumulator + frequency_) & ACCUMULATOR_MASK;
            const std::uint32_t risen = ~accumulator & next;
            flags = static_cast<std::uint8_t>((risen & ACCUMULATOR_TOP ? TOP_ROSE : 0) |
                                              (risen & NOISE_CLOCK_BIT ? NOISE_CLOCKED : 0));
            accumulator = next;
        }
        if (synced && (sourceRose[k] & TOP_ROSE)) accumulator = 0;
        accumulators[k] = accumulator;
        rose[k] = flags;
    }
}

CHIPBOX_VECTOR_CLONES void WaveformGenerator::OutputRun(std::uint32_t count, const std::uint32_t* accumulators,
                                  const std::uint8_t* rose, const std::uint32_t* sourceAccumulators,
                                  std::uint16_t* out, const CombinedTables& tables) {
    if (control_ >> 4 == 0 || control_ >> 4 == NOISE) {
        OutputFloatingOrNoiseRun(count, accumulators, rose, out);
        return;
    }
    if (!RunsPlain()) {
        for (std::uint32_t k = 0; k < count; ++k) {
            if (rose[k] & NOISE_CLOCKED) ShiftNoise();
            accumulator_ = accumulators[k];
            out[k] = Output((sourceAccumulators[k] & ACCUMULATOR_TOP) != 0, tables);
        }
        return;
    }
    const std::uint8_t waveforms = control_ >> 4;
    const std::uint32_t width = pulseWidth_;
    const std::uint32_t ring = control_ & RING ? 1 : 0;
    std::uint32_t noiseClocks = 0;
    for (std::uint32_t k = 0; k < count; ++k) noiseClocks += (rose[k] & NOISE_CLOCKED) != 0;
    // The single waveforms take loops of their own, as in RenderRun.
    if (waveforms == SAWTOOTH) {
        for (std::uint32_t k = 0; k < count; ++k)
            out[k] = static_cast<std::uint16_t>(accumulators[k] >> 12);
    } else if (waveforms == PULSE) {
        for (std::uint32_t k = 0; k < count; ++k)
            out[k] = static_cast<std::uint16_t>((accumulators[k] >> 12) >= width ? 0xFFF : 0);
    } else if (waveforms == TRIANGLE) {
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::uint32_t accumulator = accumulators[k];
            const std::uint32_t top = (accumulator >> 23) ^ (ring & sourceAccumulators[k] >> 23);
            const std::uint32_t bits = accumulator >> 11 & 0xFFF;
            out[k] = static_cast<std::uint16_t>((top ? ~bits : bits) & 0xFFF);
        }
    } else {
        for (std::uint32_t k = 0; k < count; ++k) {
            const std::uint32_t accumulator = accumulators[k];
            const bool triangleTop =
                ((accumulator >> 23) ^ (ring & sourceAccumulators[k] >> 23)) != 0;
            const std::uint32_t index = CombinedIndex(accumulator, triangleTop);
            const bool pulseHigh = (accumulator >> 12) >= width;
            out[k] = SelectorValue(waveforms, index, pulseHigh, tables);
        }
    }
    for (std::uint32_t i = 0; i < noiseClocks; ++i) ShiftNoise();
    accumulator_ = accumulators[count - 1];
    held_ = out[count - 1];
    floatingFor_ = 0;
}

}  // namespace chipbox::sidchip
