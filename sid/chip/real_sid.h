// SPDX-License-Identifier: GPL-2.0-or-later
// The real SID: three waveform generators and envelope generators, their
// DACs, the filter and mixer, and the output resampled to 44.1 kHz, clocked
// by the machine's clock. Register writes land between Clock calls, so the
// machine clocks the chip up to a write's cycle before it writes.
//
// Clock renders by runs: the oscillators do not depend on the envelopes, so
// the envelopes are walked first through a stretch of cycles, jumping from
// one step to the next, which gives each voice its level for every cycle;
// then the oscillators run through the whole stretch and sound at those
// levels.
// ClockEachCycle steps everything every cycle; both give the same samples,
// which the tests hold them to.
//
// A voice's analogue output is its waveform's level out of the waveform
// DAC (see waveform_levels.h) times its envelope DAC's value.
//
// Threads: the thread that runs the machine.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "sid/chip/audio_output.h"
#include "sid/chip/chip_model.h"
#include "sid/chip/combined_waveforms.h"
#include "sid/chip/envelope_generator.h"
#include "sid/chip/filter.h"
#include "sid/chip/waveform_generator.h"
#include "sid/chip/waveform_levels.h"

namespace chipbox::sidchip {

// One voice's full sawtooth at full volume comes out with its peaks near
// -12 dBFS (a fifth of the 16-bit range per unit of the chip's output, and
// the edges' overshoot once band-limited):
// about as loud as listeners know C64 music from other players, with room
// for three voices at full level. The last few dB are rounded off rather
// than clipped (see the audio output) for the filter's resonant peaks.
constexpr float CHIP_OUTPUT_GAIN = 0.2f * 32'767.0f;

// Takes a chip's output, one float per cycle, a block at a time, instead of
// the chip's own resampler.
class BlockSink {
public:
    virtual ~BlockSink() = default;
    virtual void TakeBlock(const float* samples, std::size_t count) = 0;
};

class RealSid {
public:
    RealSid(ChipModel model, double clockHz);

    ChipModel model() const { return model_; }
    // The cycles per second of sound: the machine's clock times the speed.
    void SetClock(double clockHz);
    void Reset();

    void Write(std::uint8_t reg, std::uint8_t value);
    // A muted voice runs on (voice 3 still reads) but is not heard.
    void SetVoiceMuted(int voice, bool muted) { muted_[static_cast<std::size_t>(voice)] = muted; }
    std::uint8_t ReadOscillator3() const { return static_cast<std::uint8_t>(lastOutput_[2] >> 4); }
    std::uint8_t ReadEnvelope3() const { return envelopes_[2].Output(); }

    void Clock(std::uint32_t cycles);
    void ClockEachCycle(std::uint32_t cycles);

    // The cycles clocked so far reach the filter only when a filter register
    // is written or a block is full, and the resampler only in whole blocks,
    // which keeps the short runs between writes cheap; asking for the sound
    // hands over the part block too.
    std::size_t Available() {
        Flush();
        return audio_.Available();
    }
    std::size_t Take(std::int16_t* out, std::size_t maxCount) {
        Flush();
        return audio_.Take(out, maxCount);
    }
    std::uint64_t ClippedSamples() const { return audio_.ClippedSamples(); }

    // From now on the output goes to `sink` (none: the chip's own
    // resampler, and Available and Take); the cycles clocked so far go
    // where it went before.
    void SetBlockSink(BlockSink* sink) {
        Flush();
        sink_ = sink;
    }
    // Hands the cycles clocked so far over to the sink.
    void HandOver() { Flush(); }

    const WaveformGenerator& waveform(int voice) const { return waveforms_[voice]; }
    const EnvelopeGenerator& envelope(int voice) const { return envelopes_[voice]; }

private:
    static constexpr std::size_t BLOCK = 512;

    using Outputs = std::array<std::array<std::uint16_t, BLOCK>, 3>;

    // Each voice's gain for each cycle of a stretch; `steady` where the
    // voice holds one gain through it, which is then only in the row's
    // first place.
    struct StretchGains {
        std::array<std::array<float, BLOCK>, 3> perCycle;
        std::array<bool, 3> steady;
    };
    float VoiceGain(std::size_t voice) const;
    void ClockEnvelopes(std::uint32_t count, StretchGains& gains);
    void ClockEnvelope(std::size_t voice, std::uint32_t count, StretchGains& gains);
    void RenderCycles(std::uint32_t count, const StretchGains& gains);
    void StepVoices(Outputs& outputs, std::uint32_t k);
    // Each voice's levels out of the waveform DAC, for the voices whose
    // waveform went straight through it (`ThroughDac`).
    using DacLevels = std::array<std::array<float, BLOCK>, 3>;
    using ThroughDac = std::array<bool, 3>;
    void StepVoicesApart(Outputs& outputs, DacLevels& dacLevels, ThroughDac& throughDac,
                         std::uint32_t count);
    bool SyncOrder(std::array<int, 3>& order) const;
    void StepVoicesInOrder(Outputs& outputs, std::uint32_t count, const std::array<int, 3>& order);
    void StepVoicesAllRound(Outputs& outputs, std::uint32_t count);
    using Accumulators = std::array<std::array<std::uint32_t, BLOCK>, 3>;
    using Rises = std::array<std::array<std::uint8_t, BLOCK>, 3>;
    void OutputVoices(Outputs& outputs, std::uint32_t count, const Accumulators& accumulators,
                      const Rises& rose);
    void VoiceLevels(std::size_t voice, const std::uint16_t* output, std::uint32_t count,
                     const StretchGains& gains, float* level) const;
    void GainLevels(std::size_t voice, const float* dacLevel, std::uint32_t count,
                    const StretchGains& gains, float* level) const;
    void Sound(const Outputs& outputs, const DacLevels& dacLevels, const ThroughDac& throughDac,
               std::uint32_t count, const StretchGains& gains);
    void FilterPending();
    void Flush();
    void WriteVoice(int voice, std::uint8_t reg, std::uint8_t value);

    ChipModel model_;
    const CombinedTables& tables_;
    const WaveformLevels& waveformLevels_;
    // waveformLevels_.ofValue copied into the chip: read through the reference,
    // the look-up loops take over a third more instructions.
    std::array<float, 4096> waveformLevel_{};
    const float* envelopeDac_;
    std::array<WaveformGenerator, 3> waveforms_{};
    std::array<EnvelopeGenerator, 3> envelopes_{};
    std::array<std::uint16_t, 3> lastOutput_{};
    std::array<bool, 3> muted_{};
    Filter filter_;
    AudioOutput audio_;
    // The block's cycles mixed for the filter, and the filter's output for
    // the first `filtered_` of them.
    std::array<float, BLOCK> direct_{};
    std::array<float, BLOCK> input_{};
    std::array<float, BLOCK> block_{};
    std::size_t blockUsed_ = 0;
    std::size_t filtered_ = 0;
    BlockSink* sink_ = nullptr;
};

}  // namespace chipbox::sidchip
