// SPDX-License-Identifier: GPL-2.0-or-later
// One voice's oscillator and waveform selector, cycle by cycle: the 24-bit
// phase accumulator, the 12-bit triangle, sawtooth and pulse drawn from it,
// the 23-bit noise shift register clocked by accumulator bit 19, sync and
// ring modulation from the voice before, and the combinations of several
// waveforms (see combined_waveforms.h).
//
// The test bit holds the accumulator at 0, keeps the pulse high and fills
// the noise register with ones. Noise selected with another waveform is
// their AND, and the zeros the combination puts on the noise bits are
// written back into the register, so after a while it holds only zeros and
// the noise stays silent until a test-bit reset, as on the chip.
//
// With no waveform selected the DAC's input lines float: they keep the
// last value for a while and then leak away to 0. How long they keep it is
// our choice (about a fifth of a second), not a measured figure.
#pragma once

#include <array>
#include <cstdint>

#include "sid/chip/combined_waveforms.h"
#include "sid/chip/waveform_levels.h"

namespace chipbox::sidchip {

constexpr std::uint32_t ACCUMULATOR_MASK = 0xFFFFFF;
constexpr std::uint32_t ACCUMULATOR_TOP = 0x800000;
constexpr std::uint32_t NOISE_CLOCK_BIT = 0x080000;
constexpr std::uint32_t NOISE_RESET = 0x7FFFFF;
constexpr std::uint32_t FLOATING_HOLD_CYCLES = 200'000;

enum ControlBits : std::uint8_t { GATE = 1, SYNC = 2, RING = 4, TEST = 8 };

class WaveformGenerator {
public:
    void Reset();
    void WriteFrequencyLow(std::uint8_t value) { frequency_ = (frequency_ & 0xFF00) | value; }
    void WriteFrequencyHigh(std::uint8_t value) {
        frequency_ = (frequency_ & 0x00FF) | static_cast<std::uint32_t>(value) << 8;
    }
    void WritePulseLow(std::uint8_t value) { pulseWidth_ = (pulseWidth_ & 0xF00) | value; }
    void WritePulseHigh(std::uint8_t value) {
        pulseWidth_ = static_cast<std::uint16_t>((pulseWidth_ & 0x0FF) | (value & 0x0F) << 8);
    }
    void WriteControl(std::uint8_t value);

    // The first half of a cycle: the accumulator moves on (and the noise
    // register shifts when bit 19 rises); whether its top bit rose, for the
    // voice it syncs.
    bool Advance() {
        if (control_ & TEST) return false;
        const std::uint32_t before = accumulator_;
        accumulator_ = (accumulator_ + frequency_) & ACCUMULATOR_MASK;
        const std::uint32_t rose = ~before & accumulator_;
        if (rose & NOISE_CLOCK_BIT) ShiftNoise();
        return (rose & ACCUMULATOR_TOP) != 0;
    }
    // The second half: a sync from the voice before resets the accumulator.
    void SyncIfRising(bool sourceRose) {
        if (sourceRose && (control_ & SYNC)) accumulator_ = 0;
    }
    // The 12-bit value on the DAC's lines this cycle; `sourceTop` is the top
    // bit of the voice before, which ring modulation takes.
    std::uint16_t Output(bool sourceTop, const CombinedTables& tables);
    std::uint16_t Output(const WaveformGenerator& source, const CombinedTables& tables) {
        return Output((source.accumulator_ & ACCUMULATOR_TOP) != 0, tables);
    }

    // `count` cycles of Advance and Output without sync, the source's top
    // bit for each cycle in `sourceTops`, the values into `out`. The plain
    // waveforms take a loop of their own; the same values either way.
    void RenderRun(std::uint32_t count, const std::uint8_t* sourceTops, std::uint16_t* out,
                   const CombinedTables& tables);
    // Two or three of sawtooth, triangle and pulse, without the test bit or
    // noise: the waveforms RenderCombinedLevels takes.
    bool CombinesWaveforms() const {
        const std::uint8_t waveforms = control_ >> 4;
        return !(control_ & TEST) && waveforms < NOISE && (waveforms & (waveforms - 1)) != 0;
    }
    // RenderRun for those, each cycle's value put through the waveform DAC:
    // `out` gets the levels.
    void RenderCombinedLevels(std::uint32_t count, const std::uint8_t* sourceTops,
                              const WaveformLevels& levels, const CombinedTables& tables,
                              float* out);
    // The value on the DAC's lines in the last cycle clocked.
    std::uint16_t lastValue() const { return held_; }
    // For runs with sync, in two passes. First the accumulator after each of
    // `count` cycles (reset where `sourceRose` says the source's top bit rose
    // and this voice syncs; null: no source), with what rose in each cycle
    // before the reset: TOP_ROSE, NOISE_CLOCKED. The generator stays as it
    // is. Then the values from those accumulators, the noise register
    // shifting where it was clocked.
    static constexpr std::uint8_t TOP_ROSE = 1, NOISE_CLOCKED = 2;
    void AccumulateRun(std::uint32_t count, const std::uint8_t* sourceRose,
                       std::uint32_t* accumulators, std::uint8_t* rose) const;
    // The first pass for three voices each synced by the one before it
    // (voice v by voice (v + 2) % 3), so that none can go first: their
    // accumulators worked out together, cycle by cycle.
    static void AccumulateAllRound(const std::array<WaveformGenerator, 3>& voices,
                                   std::uint32_t count,
                                   const std::array<std::uint32_t*, 3>& accumulators,
                                   const std::array<std::uint8_t*, 3>& rose);
    void OutputRun(std::uint32_t count, const std::uint32_t* accumulators, const std::uint8_t* rose,
                   const std::uint32_t* sourceAccumulators, std::uint16_t* out,
                   const CombinedTables& tables);

    // The top bit of the accumulator after each of the next `count` cycles
    // (without sync), leaving the generator as it is.
    void TopBitsAhead(std::uint32_t count, std::uint8_t* tops) const;

    std::uint32_t accumulator() const { return accumulator_; }
    std::uint32_t frequency() const { return frequency_; }
    std::uint32_t noiseRegister() const { return noise_; }
    std::uint8_t control() const { return control_; }

private:
    void ShiftNoise() {
        const std::uint32_t feedback = (noise_ >> 22 ^ noise_ >> 17) & 1;
        noise_ = (noise_ << 1 | feedback) & NOISE_RESET;
    }
    std::uint16_t NoiseOutput() const;
    std::uint32_t PulledFromNoise(std::uint16_t output) const;
    void WriteBackIntoNoise(std::uint16_t output);
    bool WritesBackIntoNoise() const;
    std::uint16_t Value(bool sourceTop, const CombinedTables& tables) const;
    template <class SourceTopAt>
    void HeldRun(std::uint32_t count, SourceTopAt sourceTopAt, std::uint16_t* out,
                 const CombinedTables& tables);
    std::uint16_t Floating();
    bool RunsPlain() const;
    void RenderNoise(std::uint32_t count, std::uint16_t* out);
    void FloatingRun(std::uint32_t count, std::uint16_t* out);
    void AdvanceBy(std::uint32_t count);
    void OutputFloatingOrNoiseRun(std::uint32_t count, const std::uint32_t* accumulators,
                                  const std::uint8_t* rose, std::uint16_t* out);

    std::uint32_t accumulator_ = 0;
    std::uint32_t frequency_ = 0;
    std::uint16_t pulseWidth_ = 0;
    std::uint8_t control_ = 0;
    std::uint32_t noise_ = NOISE_RESET;
    std::uint16_t held_ = 0;  // what the floating lines keep
    std::uint32_t floatingFor_ = 0;
};

}  // namespace chipbox::sidchip
