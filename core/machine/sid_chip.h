// SPDX-License-Identifier: GPL-2.0-or-later
// The SID on the real machine's bus. Each register write takes effect at the
// point of the audio that its cycle falls on: while a stretch of samples is
// being made, the samples up to a write are rendered before the write lands,
// so a volume register written eight thousand times a second changes the
// sound eight thousand times a second. A write whose cycle lies past the
// stretch (the processor finishes its last instruction beyond it) waits for
// the next one, so the sound does not depend on how it is asked for. Reads
// of voice 3's oscillator and envelope render up to their cycle first; the
// other registers read as what the bus last held.
//
// Writes to the mirrors reach the SID as the complete machine's always have:
// from $D420 on, except for the sample registers.
//
// Threads: the thread that runs the machine.
#pragma once

#include <cstdint>
#include <vector>

#include "core/machine/bus.h"

namespace chipbox::machine {

// Which render sample a machine cycle falls in: from an origin on, samples
// at `samplesPerSecond` against cycles at `cyclesPerSecond` (the machine's
// clock times the speed).
struct AudioClock {
    std::uint64_t originCycle = 0;
    std::uint64_t originSample = 0;
    std::uint64_t cyclesPerSecond = 1;
    std::uint64_t samplesPerSecond = 1;

    std::uint64_t SampleAt(std::uint64_t cycle) const {
        if (cycle <= originCycle) return originSample;
        return originSample + (cycle - originCycle) * samplesPerSecond / cyclesPerSecond;
    }
    // The first cycle of `sample`.
    std::uint64_t CycleOf(std::uint64_t sample) const {
        if (sample <= originSample) return originCycle;
        return originCycle +
               ((sample - originSample) * cyclesPerSecond + samplesPerSecond - 1) / samplesPerSecond;
    }
};

class SidChip : public BusDevice {
public:
    explicit SidChip(Bus& bus) : bus_(bus) {}

    std::uint8_t ReadRegister(std::uint16_t offset, std::uint64_t cycle) override;
    void WriteRegister(std::uint16_t offset, std::uint8_t value, std::uint64_t cycle) override;
    std::uint64_t RunEvents(std::uint64_t) override { return NEVER; }

    void SetAudioClock(const AudioClock& clock) { clock_ = clock; }
    const AudioClock& audioClock() const { return clock_; }

    // Render samples [firstSample, firstSample + count) go to `renderBuffer`.
    // Until EndStretch the writes in them are rendered up to; without a
    // stretch they only change the registers.
    void BeginStretch(std::int16_t* renderBuffer, std::uint64_t firstSample, std::uint32_t count);
    // Renders what is left of the stretch.
    void EndStretch();

private:
    struct Write {
        std::uint64_t cycle;
        std::uint16_t address;
        std::uint8_t value;
    };

    void RenderUpTo(std::uint64_t cycle);
    void Apply(std::uint16_t address, std::uint8_t value);

    Bus& bus_;
    AudioClock clock_;
    std::int16_t* buffer_ = nullptr;
    std::uint64_t first_ = 0;
    std::uint32_t count_ = 0;
    std::uint32_t rendered_ = 0;
    std::vector<Write> waiting_;  // past the stretch, for the next
};

}  // namespace chipbox::machine
