// SPDX-License-Identifier: GPL-2.0-or-later
#include "sid/chip/chip_mix.h"

#include <algorithm>
#include <cmath>

namespace chipbox::sidchip {

namespace {

constexpr float MIDDLE = 0.70710678f;  // -3 dB

}  // namespace

float ChipMix::Weight(int chip, int chips, int channel, int channels) {
    const float left = chip == 0 ? 1.0f : chip == chips - 1 ? 0.0f : MIDDLE;
    const float right = chip == chips - 1 ? 1.0f : chip == 0 ? 0.0f : MIDDLE;
    if (channels == 1) return (left + right) / 2.0f;
    return channel == 0 ? left : right;
}

ChipMix::ChipMix(int chips, int channels, double clockHz)
    : inputs_(static_cast<std::size_t>(chips)), waiting_(static_cast<std::size_t>(chips)) {
    for (int chip = 0; chip < chips; ++chip) {
        inputs_[static_cast<std::size_t>(chip)].mix = this;
        inputs_[static_cast<std::size_t>(chip)].chip = chip;
    }
    for (int channel = 0; channel < channels; ++channel) {
        std::vector<float> weights;
        for (int chip = 0; chip < chips; ++chip)
            weights.push_back(Weight(chip, chips, channel, channels));
        weights_.push_back(weights);
        auto output = std::make_unique<AudioOutput>(clockHz);
        output->SetGain(CHIP_OUTPUT_GAIN);
        output->SetSoftCeiling(true);
        outputs_.push_back(std::move(output));
    }
}

void ChipMix::SetClock(double clockHz) {
    for (auto& output : outputs_) output->SetInputRate(clockHz);
}

void ChipMix::Add(int chip, const float* samples, std::size_t count) {
    auto& waiting = waiting_[static_cast<std::size_t>(chip)];
    waiting.insert(waiting.end(), samples, samples + count);
    MixWhatAllHave();
}

void ChipMix::MixWhatAllHave() {
    std::size_t ready = waiting_[0].size();
    for (const auto& waiting : waiting_) ready = std::min(ready, waiting.size());
    if (ready == 0) return;
    mixed_.resize(ready);
    for (std::size_t channel = 0; channel < outputs_.size(); ++channel) {
        std::fill(mixed_.begin(), mixed_.end(), 0.0f);
        for (std::size_t chip = 0; chip < waiting_.size(); ++chip) {
            const float weight = weights_[channel][chip];
            const float* from = waiting_[chip].data();
            for (std::size_t k = 0; k < ready; ++k) mixed_[k] += weight * from[k];
        }
        outputs_[channel]->Push(mixed_.data(), ready);
    }
    for (auto& waiting : waiting_)
        waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(ready));
}

std::size_t ChipMix::Available() const {
    std::size_t ready = outputs_[0]->Available();
    for (const auto& output : outputs_) ready = std::min(ready, output->Available());
    return ready;
}

std::size_t ChipMix::Take(std::int16_t* out, std::size_t frames) {
    const std::size_t count = std::min(frames, Available());
    const std::size_t channels = outputs_.size();
    if (channels == 1) return outputs_[0]->Take(out, count);
    std::vector<std::int16_t> channel(count);
    for (std::size_t c = 0; c < channels; ++c) {
        outputs_[c]->Take(channel.data(), count);
        for (std::size_t k = 0; k < count; ++k) out[k * channels + c] = channel[k];
    }
    return count;
}

void ChipMix::Discard() {
    for (auto& waiting : waiting_) waiting.clear();
    std::vector<std::int16_t> dropped(Available() * outputs_.size());
    Take(dropped.data(), Available());
}

}  // namespace chipbox::sidchip
