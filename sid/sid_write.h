// SPDX-License-Identifier: GPL-2.0-or-later
// The one entry for SID register writes, and the per-voice mutes.
#pragma once

#include <cstdint>

namespace chipbox {

// Master volume and filter mode ($D418): the register that start, pause,
// stop and the HardSID sample thread write.
constexpr int VOLUME_REGISTER = 24;

// Register number 0..31 (address AND $1F). In HardSID mode the write goes to
// the card (with a muted voice's gate cleared); in software mode it updates
// the register shadow. Only gate changes act at once: a clear gate forces
// Release, a set gate turns Release into Attack and leaves other phases alone.
// Everything else takes effect from the next render call.
void SidWrite(int reg, std::uint8_t value);

// HardSID only: writes savedVolumeHigh OR nibble to the volume register.
void SidWriteVolumeNibble(std::uint8_t nibble);

// Mutes or unmutes voice 0..2. Muting releases the voice and remembers its
// gate; unmuting rewrites the control register with the remembered gate.
void SetVoiceMute(int voice, bool muted);

}  // namespace chipbox
