// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/play_rate.h"

#include "core/c64_memory.h"
#include "core/machine_model.h"
#include "core/tune_info.h"
#include "playback/player_engine.h"
#include "sid/sid_render.h"

namespace chipbox {

namespace {

// Bits 2-3 of the header's flags: 2 says NTSC only.
bool Ntsc() { return ((tuneInfo.flags >> 2) & 3) == 2; }

// A multiple of every speed, so that each speed divides it exactly.
constexpr std::uint64_t SPEED_UNITS = 4;

}  // namespace

MachineFrame CompleteMachineFrame() {
    const bool ntsc = Ntsc();
    const std::uint32_t clock = ntsc ? NTSC_CLOCK : PAL_CLOCK;
    if (!tuneInfo.ciaTiming) return {clock, ntsc ? NTSC_FRAME_CYCLES : PAL_FRAME_CYCLES};
    std::uint16_t timer = ReadCiaTimerA();
    if (timer == 0) timer = ntsc ? NTSC_RESET_TIMER : PAL_RESET_TIMER;
    return {clock, std::uint32_t{timer} + 1};
}

PlayFrame NextPlayFrame(std::uint64_t& fraction) {
    if (!completeMachine) {
        const std::int32_t micros = FrameMicros();
        return {micros, SamplesPerPlayCall(micros, playbackSpeed)};
    }
    const MachineFrame frame = CompleteMachineFrame();
    const std::uint64_t micros = std::uint64_t{frame.cycles} * 1'000'000 / frame.clock;
    fraction += std::uint64_t{frame.cycles} * OUTPUT_RATE * (SPEED_UNITS / playbackSpeed);
    const std::uint64_t perSample = std::uint64_t{frame.clock} * SPEED_UNITS;
    const std::uint64_t samples = fraction / perSample;
    fraction %= perSample;
    return {static_cast<std::int32_t>(micros > 0 ? micros : 1), static_cast<std::int32_t>(samples)};
}

}  // namespace chipbox
