// SPDX-License-Identifier: GPL-2.0-or-later
// How fast the SID renders: 60 seconds of a busy three-voice register state
// with the filter on, rendered at 176,400 Hz and reduced to 44,100 Hz in
// 160 ms blocks, as playback does. Measured for voices that run on their own
// and for voices linked by sync and ring modulation, and for rendering and
// decimating in one pass (as playback does) or one after the other. Then the
// real machine's chip with the same register states, the 6581 and the 8580,
// clocked at the PAL clock a frame's cycles at a time and resampled to
// 44,100 Hz.
#include <array>
#include <chrono>
#include <cstdio>
#include <vector>

#include "sid/chip/real_sid.h"
#include "sid/sid_render.h"
#include "sid/sid_write.h"

namespace {

using namespace chipbox;

constexpr int SECONDS = 60;
constexpr std::uint32_t BLOCK = 28224;  // 160 ms at the render rate

// Pulse, sawtooth and noise+triangle voices, all gated, all through a
// resonant band-pass; different pitches per block keep the oscillators busy.
template <class Write>
void WriteBusyRegisters(int block, bool linked, Write write) {
    // clang-format off
    const std::uint8_t registers[25] = {
        static_cast<std::uint8_t>(block), 0x1C, 0x00, 0x08, 0x41, 0x22, 0xA8,
        0x40, static_cast<std::uint8_t>(0x30 + block % 7), 0x00, 0x04,
        static_cast<std::uint8_t>(linked ? 0x23 : 0x21), 0x13, 0xC6,
        0x90, 0x05, 0x00, 0x06, static_cast<std::uint8_t>(linked ? 0x95 : 0x91), 0x09, 0xF0,
        0x05, static_cast<std::uint8_t>(0x20 + block % 64), 0xF7, 0x3F};
    // clang-format on
    for (int reg = 0; reg < 25; ++reg) write(reg, registers[reg]);
}

void SetBusyRegisters(int block, bool linked) {
    WriteBusyRegisters(block, linked, [](int reg, std::uint8_t value) { SidWrite(reg, value); });
}

void MeasureRealChip(const char* label, sidchip::ChipModel model, bool linked) {
    sidchip::RealSid chip(model, sidchip::PAL_CLOCK_HZ);
    constexpr std::uint32_t FRAME_CYCLES = 312 * 63;
    const int frames = SECONDS * 50;
    std::vector<std::int16_t> output(1024);
    long long checksum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < frames; ++frame) {
        // New registers every 160 ms, as the default model's blocks get.
        if (frame % 8 == 0)
            WriteBusyRegisters(frame / 8, linked, [&](int reg, std::uint8_t value) {
                chip.Write(static_cast<std::uint8_t>(reg), value);
            });
        chip.Clock(FRAME_CYCLES);
        const std::size_t taken = chip.Take(output.data(), output.size());
        if (taken > 0) checksum += output[static_cast<std::size_t>(frame) % taken];
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double soundSeconds = frames * double{FRAME_CYCLES} / sidchip::PAL_CLOCK_HZ;
    std::printf("%-44s %6.3f s  %5.0fx real time  (checksum %lld)\n", label, seconds,
                soundSeconds / seconds, checksum);
}

void Measure(const char* label, bool linked, bool onePass) {
    ResetSidModule();
    SidInit(RENDER_RATE);
    std::vector<std::int16_t> render(BLOCK), output(BLOCK / 4);
    static const std::array<std::uint8_t, 65536> memory{};  // no digi samples play here
    const int blocks = SECONDS * RENDER_RATE / BLOCK;
    long long checksum = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int block = 0; block < blocks; ++block) {
        SetBusyRegisters(block, linked);
        if (onePass) {
            SidRenderDecimated(render.data(), output.data(), BLOCK, memory);
        } else {
            SidRender(render.data(), BLOCK, memory);
            Decimate4(render.data(), output.data(), BLOCK);
        }
        checksum += output[block % output.size()];
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%-44s %6.3f s  %5.0fx real time  (checksum %lld)\n", label, seconds,
                SECONDS / seconds, checksum);
}

}  // namespace

int main() {
    std::printf("Rendering %d s of audio at %u Hz and reducing it to %u Hz\n", SECONDS, RENDER_RATE,
                OUTPUT_RATE);
    Measure("independent voices, one pass", false, true);
    Measure("independent voices, render then decimate", false, false);
    Measure("sync and ring modulation, one pass", true, true);
    Measure("sync and ring modulation, render then decimate", true, false);
    std::printf("The real chip at the PAL clock, resampled to %d Hz\n", sidchip::OUTPUT_HZ);
    MeasureRealChip("6581, independent voices", sidchip::ChipModel::Mos6581, false);
    MeasureRealChip("6581, sync and ring modulation", sidchip::ChipModel::Mos6581, true);
    MeasureRealChip("8580, independent voices", sidchip::ChipModel::Mos8580, false);
    MeasureRealChip("8580, sync and ring modulation", sidchip::ChipModel::Mos8580, true);
    return 0;
}
