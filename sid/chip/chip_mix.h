// SPDX-License-Identifier: GPL-2.0-or-later
// The sound of several chips played together, mixed before it is resampled
// so that two or three chips cost one or two resamplers, not one each. Each
// chip hands over its per-cycle output a block at a time; the chips must be
// clocked through the same cycles, in any order and in any blocks, and the
// mix goes as far as the chip that is furthest behind.
//
// Two channels: the first chip left, the last right, a chip between them in
// both at -3 dB. One channel: the mix of those two, left and right averaged.
//
// Threads: the thread that runs the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sid/chip/audio_output.h"
#include "sid/chip/real_sid.h"

namespace chipbox::sidchip {

class ChipMix {
public:
    ChipMix(int chips, int channels, double clockHz);
    ChipMix(const ChipMix&) = delete;
    ChipMix& operator=(const ChipMix&) = delete;

    // Where chip `chip` sends its blocks (RealSid::SetBlockSink).
    BlockSink& InputOf(int chip) { return inputs_[static_cast<std::size_t>(chip)]; }
    void SetClock(double clockHz);

    int channels() const { return static_cast<int>(outputs_.size()); }
    // Whole frames ready, of every channel.
    std::size_t Available() const;
    // Up to `frames` frames into `out`, the channels interleaved.
    std::size_t Take(std::int16_t* out, std::size_t frames);
    // Drops what is ready and what waits for the other chips.
    void Discard();

    // How loud chip `chip` of `chips` is in channel `channel` of `channels`.
    static float Weight(int chip, int chips, int channel, int channels);

private:
    struct Input final : BlockSink {
        ChipMix* mix = nullptr;
        int chip = 0;
        void TakeBlock(const float* samples, std::size_t count) override {
            mix->Add(chip, samples, count);
        }
    };
    void Add(int chip, const float* samples, std::size_t count);
    void MixWhatAllHave();

    std::vector<Input> inputs_;
    std::vector<std::vector<float>> waiting_;  // per chip, not yet mixed
    std::vector<std::vector<float>> weights_;  // per channel, per chip
    std::vector<std::unique_ptr<AudioOutput>> outputs_;
    std::vector<float> mixed_;
};

}  // namespace chipbox::sidchip
