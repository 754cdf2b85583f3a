// SPDX-License-Identifier: GPL-2.0-or-later
// What the stand-in HardSID card library records, and how a test reads it
// back: the library is built as libhardsid.so from stand_in_card.cpp, and a
// test looks these entries up in the copy the player has loaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace chipbox::test {

struct CardCall {
    enum Kind : std::uint8_t { Write, InitMapper } kind;
    std::uint8_t device, reg, value;
    std::int64_t nanoseconds;  // on the steady clock
};

// The calls the loaded stand-in has recorded so far, in order; empty when no
// stand-in is loaded.
std::vector<CardCall> StandInCardCalls();

// Forgets the calls recorded so far.
void ClearStandInCard();

}  // namespace chipbox::test
