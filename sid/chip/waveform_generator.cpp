// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/waveform_generator.h"

#include <algorithm>
#include <cassert>

#include "sid/chip/vector_clones.h"

namespace chipbox::sidchip {

namespace {

// The noise register shifts when accumulator bit 19 rises: each time the
// accumulator, counted on without wrapping, passes NOISE_CLOCK_AT past a
// multiple of NOISE_CLOCK_PERIOD.
constexpr std::uint64_t NOISE_CLOCK_AT = NOISE_CLOCK_BIT, NOISE_CLOCK_PERIOD = 2 * NOISE_CLOCK_BIT;

// What the selector puts on the lines for sawtooth, triangle and pulse
// (`waveforms` 1-7, without noise), at a combined index.
// Inlined into the loops that call it a cycle at a time.
[[gnu::always_inline]] inline std::uint16_t SelectorValue(std::uint8_t waveforms,
                                                          std::uint32_t index, bool pulseHigh,
                                                          const CombinedTables& tables) {
    switch (waveforms) {
        case TRIANGLE: return TriangleOfIndex(index);
        case SAWTOOTH: return SawtoothOfIndex(index);
        case TRIANGLE | SAWTOOTH: return static_cast<std::uint16_t>(tables.sawTriangle[index]);
        case PULSE: return pulseHigh ? 0xFFF : 0;
        case PULSE | TRIANGLE:
            return pulseHigh ? static_cast<std::uint16_t>(tables.pulseTriangle[index]) : 0;
        case PULSE | SAWTOOTH:
            return pulseHigh ? static_cast<std::uint16_t>(tables.pulseSaw[SawtoothOfIndex(index)])
                             : 0;
        default:
            return pulseHigh ? static_cast<std::uint16_t>(tables.pulseSawTriangle[index]) : 0;
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
// bit down. The register bits it would clear that are still set.
std::uint32_t WaveformGenerator::PulledFromNoise(std::uint16_t output) const {
    const std::uint32_t zeros = ~output & 0xFF0u;
    const std::uint32_t pulled =
        (zeros & 0x800) << 9 | (zeros & 0x400) << 8 | (zeros & 0x200) << 5 | (zeros & 0x100) << 3 |
        (zeros & 0x080) << 2 | (zeros & 0x040) >> 1 | (zeros & 0x020) >> 3 | (zeros & 0x010) >> 4;
    return noise_ & pulled;
}

void WaveformGenerator::WriteBackIntoNoise(std::uint16_t output) {
    noise_ &= ~PulledFromNoise(output);
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
    const std::uint64_t start = accumulator_;
    const std::uint64_t end = start + std::uint64_t{count} * frequency_;
    const std::uint64_t noiseClocks = (end + NOISE_CLOCK_AT) / NOISE_CLOCK_PERIOD -
                                      (start + NOISE_CLOCK_AT) / NOISE_CLOCK_PERIOD;
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

// A selected waveform's value this cycle, before the noise register takes
// the write-back.
std::uint16_t WaveformGenerator::Value(bool sourceTop, const CombinedTables& tables) const {
    const std::uint8_t waveforms = control_ >> 4;
    const bool pulseHigh = (control_ & TEST) || (accumulator_ >> 12) >= pulseWidth_;
    const bool top = accumulator_ & ACCUMULATOR_TOP;
    const bool triangleTop = (control_ & RING) ? top != sourceTop : top;
    const std::uint32_t index = CombinedIndex(accumulator_, triangleTop);
    // Noise alone leaves the other lines high for the AND below.
    std::uint16_t output =
        waveforms & 7 ? SelectorValue(waveforms & 7, index, pulseHigh, tables) : 0xFFF;
    if (waveforms & NOISE) output &= NoiseOutput();
    return output;
}

bool WaveformGenerator::WritesBackIntoNoise() const {
    const std::uint8_t waveforms = control_ >> 4;
    return (waveforms & NOISE) && waveforms != NOISE;
}

std::uint16_t WaveformGenerator::Output(bool sourceTop, const CombinedTables& tables) {
    if (control_ >> 4 == 0) return Floating();
    const std::uint16_t output = Value(sourceTop, tables);
    if (WritesBackIntoNoise()) WriteBackIntoNoise(output);
    held_ = output;
    floatingFor_ = 0;
    return output;
}

// The test bit holds the accumulator, so a cycle's value can change only
// with the ring source's top bit and with the noise register, from which
// the write-back can only clear bits. Once neither value would clear one,
// the two values hold for the rest of the run.
template <class SourceTopAt>
void WaveformGenerator::HeldRun(std::uint32_t count, SourceTopAt sourceTopAt, std::uint16_t* out,
                                const CombinedTables& tables) {
    const auto settled = [&] {
        return !WritesBackIntoNoise() ||
               (PulledFromNoise(Value(false, tables)) == 0 &&
                PulledFromNoise(Value(true, tables)) == 0);
    };
    std::uint32_t k = 0;
    for (; k < count && !settled(); ++k) out[k] = Output(sourceTopAt(k), tables);
    if (k == count) return;
    const std::uint16_t low = Value(false, tables), high = Value(true, tables);
    for (; k < count; ++k) out[k] = sourceTopAt(k) ? high : low;
    held_ = out[count - 1];
    floatingFor_ = 0;
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

// Noise alone changes only when the register shifts, which is when the
// accumulator, counted on without wrapping, reaches the next point 2^19 past
// a multiple of 2^20 (the wrap at 2^24 is a multiple of 2^20 and moves no
// such point): the stretches between shifts are filled whole.
void WaveformGenerator::RenderNoise(std::uint32_t count, std::uint16_t* out) {
    const std::uint64_t frequency = frequency_;
    std::uint64_t at = accumulator_;
    std::uint16_t value = NoiseOutput();
    std::uint32_t k = 0;
    while (k < count) {
        const std::uint64_t clockAt =
            ((at + NOISE_CLOCK_AT) / NOISE_CLOCK_PERIOD + 1) * NOISE_CLOCK_PERIOD - NOISE_CLOCK_AT;
        // The cycle that shifts, counted from 1; it puts out the new value.
        const std::uint64_t shiftCycle =
            frequency == 0 ? std::uint64_t{count} + 1 : (clockAt - at + frequency - 1) / frequency;
        if (shiftCycle > count - k) {
            std::fill_n(out + k, count - k, value);
            at += (count - k) * frequency;
            break;
        }
        const auto before = static_cast<std::uint32_t>(shiftCycle - 1);
        std::fill_n(out + k, before, value);
        ShiftNoise();
        value = NoiseOutput();
        out[k + before] = value;
        k += before + 1;
        at += shiftCycle * frequency;
    }
    accumulator_ = static_cast<std::uint32_t>(at) & ACCUMULATOR_MASK;
    held_ = value;
    floatingFor_ = 0;
}

namespace {

// How a combination reads its table: by the combined index, or (pulse with
// sawtooth) by the sawtooth alone; and whether a low pulse makes it 0.
enum class CombinedRead { Index, IndexWithPulse, SawtoothWithPulse };

// A run's accumulator after each cycle k and the ring source's top bit then:
// worked out from where the accumulator stands (no sync), or read from what
// a synced run worked out.
struct AdvancingRun {
    std::uint32_t start, frequency;
    const std::uint8_t* __restrict sourceTops;
    std::uint32_t Accumulator(std::uint32_t k) const {
        return (start + (k + 1) * frequency) & ACCUMULATOR_MASK;
    }
    std::uint32_t SourceTop(std::uint32_t k) const { return sourceTops[k]; }
};

struct WorkedOutRun {
    const std::uint32_t* __restrict accumulators;
    const std::uint32_t* __restrict sourceAccumulators;
    std::uint32_t Accumulator(std::uint32_t k) const { return accumulators[k]; }
    std::uint32_t SourceTop(std::uint32_t k) const { return sourceAccumulators[k] >> 23; }
};

// One combination's loop. The combination is fixed for the run, so each
// gets a loop with no branch in it, which the compiler can run as vectors.
// `table` holds the combination's values, or their levels; `low` is what a
// low pulse gives instead.
template <CombinedRead READ, class Run, class Entry, class Out>
CHIPBOX_INLINE_INTO_CLONES void CombinedLoop(std::uint32_t count, const Run& run,
                                             std::uint32_t ring, std::uint32_t width,
                                             const Entry* __restrict table, Out low,
                                             Out* __restrict out) {
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint32_t accumulator = run.Accumulator(k);
        const std::uint32_t triangleTop = (accumulator >> 23) ^ (ring & run.SourceTop(k));
        const std::uint32_t index = (accumulator >> 11 & 0x1FFF) | triangleTop << 13;
        const auto value = static_cast<Out>(
            table[READ == CombinedRead::SawtoothWithPulse ? accumulator >> 12 : index]);
        const bool pulseHigh = READ == CombinedRead::Index || (accumulator >> 12) >= width;
        out[k] = pulseHigh ? value : low;
    }
}

// A run of two or three of sawtooth, triangle and pulse (`waveforms`), from
// the combined tables (CombinedTables) or their levels (WaveformLevels).
template <class Run, class Tables, class Out>
CHIPBOX_INLINE_INTO_CLONES void CombinedRun(std::uint8_t waveforms, std::uint32_t count,
                                            const Run& run, std::uint32_t ring,
                                            std::uint32_t width, const Tables& tables, Out low,
                                            Out* out) {
    switch (waveforms) {
        case TRIANGLE | SAWTOOTH:
            CombinedLoop<CombinedRead::Index>(count, run, ring, width, tables.sawTriangle.data(),
                                              low, out);
            break;
        case PULSE | TRIANGLE:
            CombinedLoop<CombinedRead::IndexWithPulse>(count, run, ring, width,
                                                       tables.pulseTriangle.data(), low, out);
            break;
        case PULSE | SAWTOOTH:
            CombinedLoop<CombinedRead::SawtoothWithPulse>(count, run, ring, width,
                                                          tables.pulseSaw.data(), low, out);
            break;
        default:
            CombinedLoop<CombinedRead::IndexWithPulse>(count, run, ring, width,
                                                       tables.pulseSawTriangle.data(), low, out);
            break;
    }
}

}  // namespace

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
    if (control_ & TEST) {
        HeldRun(count, [sourceTops](std::uint32_t k) { return sourceTops[k] != 0; }, out, tables);
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
        const std::uint32_t ring = control_ & RING ? 1 : 0;
        CombinedRun(waveforms, count, AdvancingRun{start, frequency, sourceTops}, ring,
                    pulseWidth_, tables, std::uint16_t{0}, out);
    }
    AdvanceBy(count);
    if (count > 0) {
        held_ = out[count - 1];
        floatingFor_ = 0;
    }
}

// The combined tables' entries are looked up once more through the DAC;
// their levels, tabled alike, save that second look-up.
CHIPBOX_VECTOR_CLONES void WaveformGenerator::RenderCombinedLevels(std::uint32_t count,
                                                                   const std::uint8_t* sourceTops,
                                                                   const WaveformLevels& levels,
                                                                   const CombinedTables& tables,
                                                                   float* out) {
    assert(CombinesWaveforms());
    if (count == 0) return;
    const std::uint8_t waveforms = control_ >> 4;
    const std::uint32_t ring = control_ & RING ? 1 : 0;
    CombinedRun(waveforms, count, AdvancingRun{accumulator_, frequency_, sourceTops}, ring,
                pulseWidth_, levels, levels.ofValue[0], out);
    AdvanceBy(count);
    held_ = Value(sourceTops[count - 1] != 0, tables);
    floatingFor_ = 0;
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

void WaveformGenerator::AccumulateAllRound(const std::array<WaveformGenerator, 3>& voices,
                                           std::uint32_t count,
                                           const std::array<std::uint32_t*, 3>& accumulators,
                                           const std::array<std::uint8_t*, 3>& rose) {
    std::array<std::uint32_t, 3> at{};
    for (std::size_t v = 0; v < 3; ++v) at[v] = voices[v].accumulator_;
    for (std::uint32_t k = 0; k < count; ++k) {
        std::array<std::uint8_t, 3> flags{};
        for (std::size_t v = 0; v < 3; ++v) {
            if (voices[v].control_ & TEST) continue;
            const std::uint32_t next = (at[v] + voices[v].frequency_) & ACCUMULATOR_MASK;
            const std::uint32_t risen = ~at[v] & next;
            flags[v] = static_cast<std::uint8_t>((risen & ACCUMULATOR_TOP ? TOP_ROSE : 0) |
                                                 (risen & NOISE_CLOCK_BIT ? NOISE_CLOCKED : 0));
            at[v] = next;
        }
        for (std::size_t v = 0; v < 3; ++v) {
            if ((voices[v].control_ & SYNC) && (flags[(v + 2) % 3] & TOP_ROSE)) at[v] = 0;
            accumulators[v][k] = at[v];
            rose[v][k] = flags[v];
        }
    }
}

CHIPBOX_VECTOR_CLONES void WaveformGenerator::OutputRun(std::uint32_t count, const std::uint32_t* accumulators,
                                  const std::uint8_t* rose, const std::uint32_t* sourceAccumulators,
                                  std::uint16_t* out, const CombinedTables& tables) {
    if (control_ >> 4 == 0 || control_ >> 4 == NOISE) {
        OutputFloatingOrNoiseRun(count, accumulators, rose, out);
        return;
    }
    if (control_ & TEST) {  // held: nothing rose, and a sync reset leaves it at 0
        HeldRun(
            count,
            [sourceAccumulators](std::uint32_t k) {
                return (sourceAccumulators[k] & ACCUMULATOR_TOP) != 0;
            },
            out, tables);
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
        CombinedRun(waveforms, count, WorkedOutRun{accumulators, sourceAccumulators}, ring, width,
                    tables, std::uint16_t{0}, out);
    }
    for (std::uint32_t i = 0; i < noiseClocks; ++i) ShiftNoise();
    accumulator_ = accumulators[count - 1];
    held_ = out[count - 1];
    floatingFor_ = 0;
}

}  // namespace chipbox::sidchip
