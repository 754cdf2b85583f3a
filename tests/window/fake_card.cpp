// SPDX-License-Identifier: GPL-2.0-or-later
// A stand-in for the HardSID card's library: it counts what the player asks
// of it. Built as libhardsid.so, once with the write entry and once without
// it (FAKE_CARD_CORRUPT), each in a folder of its own.
#include <cstdint>

extern "C" {

int fakeCardInits = 0;
int fakeCardWrites = 0;

void InitHardSID_Mapper() { ++fakeCardInits; }

#ifndef FAKE_CARD_CORRUPT
void WriteToHardSID(std::uint8_t, std::uint8_t, std::uint8_t) { ++fakeCardWrites; }
#endif
}
