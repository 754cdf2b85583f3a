// SPDX-License-Identifier: GPL-2.0-or-later
// Our own 6502 code that the real machine carries, assembled at build time:
// the stand-in for the system ROM, and the driver that starts tunes,
// assembled at two origins so that it can be moved to any page.
#pragma once

#include <cstdint>
#include <span>

namespace chipbox::machine::rom {

extern const std::span<const std::uint8_t> kernal;       // $E000-$FFFF
extern const std::span<const std::uint8_t> driverAt1000;  // at $1034
extern const std::span<const std::uint8_t> driverAt2000;  // at $2034

}  // namespace chipbox::machine::rom
