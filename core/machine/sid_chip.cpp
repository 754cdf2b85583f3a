// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/machine/sid_chip.h"

#include <algorithm>

#include "sid/digi_registers.h"
#include "sid/sid_render.h"
#include "sid/sid_write.h"
#include "sid/voice_readback.h"

namespace chipbox::machine {

namespace {

constexpr std::uint16_t SID_BASE = 0xD400;
constexpr std::uint16_t WINDOW_OFFSET = 0x400;  // of the SID's window in the I/O area
constexpr int POT_X = 0x19, POT_Y = 0x1A, OSCILLATOR_3 = 0x1B, ENVELOPE_3 = 0x1C;

}  // namespace

void SidChip::BeginStretch(std::int16_t* renderBuffer, std::uint64_t firstSample,
                           std::uint32_t count) {
    buffer_ = renderBuffer;
    first_ = firstSample;
    count_ = count;
    rendered_ = 0;
    std::vector<Write> waiting;
    waiting.swap(waiting_);
    for (const Write& write : waiting) {
        if (clock_.SampleAt(write.cycle) >= first_ + count_) {
            waiting_.push_back(write);
            continue;
        }
        RenderUpTo(write.cycle);
        Apply(write.address, write.value);
    }
}

void SidChip::EndStretch() {
    if (buffer_ && rendered_ < count_)
        SidRender(buffer_ + rendered_, count_ - rendered_, SampleMemory(bus_.ram()));
    buffer_ = nullptr;
}

void SidChip::RenderUpTo(std::uint64_t cycle) {
    if (!buffer_) return;
    const std::uint64_t sample = clock_.SampleAt(cycle);
    if (sample <= first_ + rendered_) return;
    const auto position = static_cast<std::uint32_t>(std::min<std::uint64_t>(sample - first_, count_));
    if (position <= rendered_) return;
    SidRender(buffer_ + rendered_, position - rendered_, SampleMemory(bus_.ram()));
    rendered_ = position;
}

void SidChip::Apply(std::uint16_t address, std::uint8_t value) {
    if (ReachesSampleDecoder(address, true))
        DecodeDigiRegisterWrite(address, value);
    else
        SidWrite(address & 0x1F, value);
}

std::uint8_t SidChip::ReadRegister(std::uint16_t offset, std::uint64_t cycle) {
    switch (offset & 0x1F) {
        case POT_X:
        case POT_Y: return 0xFF;  // no paddles
        case OSCILLATOR_3: RenderUpTo(cycle); return ReadVoice3Oscillator();
        case ENVELOPE_3: RenderUpTo(cycle); return ReadVoice3Envelope();
        default: return bus_.data();
    }
}

void SidChip::WriteRegister(std::uint16_t offset, std::uint8_t value, std::uint64_t cycle) {
    const auto address = static_cast<std::uint16_t>(SID_BASE + (offset - WINDOW_OFFSET));
    if (buffer_ && clock_.SampleAt(cycle) >= first_ + count_) {
        waiting_.push_back({cycle, address, value});
        return;
    }
    RenderUpTo(cycle);
    Apply(address, value);
}

}  // namespace chipbox::machine
