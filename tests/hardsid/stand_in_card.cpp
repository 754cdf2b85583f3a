// SPDX-License-Identifier: GPL-2.0-or-later
// A stand-in for the HardSID card's library: it answers the player's calls
// and records each with the moment it came. Built in variants that lack the
// write entry or the mapper's initialisation, as broken or old libraries do.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "stand_in_card.h"

namespace {

using chipbox::test::CardCall;

std::mutex mutex;  // the player writes from its play timer and its sample thread
std::vector<CardCall> calls;

void Record(CardCall::Kind kind, std::uint8_t device, std::uint8_t reg, std::uint8_t value) {
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    std::lock_guard lock(mutex);
    calls.push_back({kind, device, reg, value, now});
}

}  // namespace

extern "C" {

#ifndef STAND_IN_WITHOUT_WRITE
void WriteToHardSID(std::uint8_t device, std::uint8_t reg, std::uint8_t value) {
    Record(CardCall::Write, device, reg, value);
}
#endif

#ifndef STAND_IN_WITHOUT_MAPPER
void InitHardSID_Mapper() { Record(CardCall::InitMapper, 0, 0, 0); }
#endif

std::uint8_t ReadFromHardSID(std::uint8_t, std::uint8_t) { return 0; }
void MuteHardSID_Line(int) {}

std::size_t StandInCardCallCount() {
    std::lock_guard lock(mutex);
    return calls.size();
}

void StandInCardCopyCalls(CardCall* into, std::size_t count) {
    std::lock_guard lock(mutex);
    for (std::size_t i = 0; i < count && i < calls.size(); ++i) into[i] = calls[i];
}

void StandInCardClear() {
    std::lock_guard lock(mutex);
    calls.clear();
}
}
