// SPDX-License-Identifier: GPL-2.0-or-later
// How much music each play call stands for, in tune time and in output
// samples.
//
// The default model takes 19,456 CIA timer counts per 20 ms and ignores the
// tune's video standard. The complete machine plays at the real rate: the
// clock of the header's video standard, a frame of a vertical blank or of the
// CIA timer plus one cycles, and the samples' fraction carried from call to
// call so that no time is lost to truncation.
//
// Threads: the thread that owns the player (it fills the buffers).
#pragma once

#include <cstdint>

namespace chipbox {

constexpr std::uint32_t PAL_CLOCK = 985248;
constexpr std::uint32_t NTSC_CLOCK = 1022727;
constexpr std::uint32_t PAL_FRAME_CYCLES = 19656;  // a vertical blank
constexpr std::uint32_t NTSC_FRAME_CYCLES = 17045;
// What the C64's system ROM leaves in CIA 1 timer A at reset.
constexpr std::uint16_t PAL_RESET_TIMER = 0x4025;
constexpr std::uint16_t NTSC_RESET_TIMER = 0x4295;

struct PlayFrame {
    std::int32_t micros;   // tune time
    std::int32_t samples;  // output samples at the current speed
};

// The next play call's frame. In the complete machine `fraction` carries the
// part of a sample owed from call to call (in units of 1/(4 x clock)); a call
// may then get no sample of its own.
PlayFrame NextPlayFrame(std::uint64_t& fraction);

// The complete machine's frame: the clock and cycles of the header's video
// standard, or CIA timer + 1 cycles (the reset value when the timer is 0).
struct MachineFrame {
    std::uint32_t clock;
    std::uint32_t cycles;
};
MachineFrame CompleteMachineFrame();

}  // namespace chipbox
