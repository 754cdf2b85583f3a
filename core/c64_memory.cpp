// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/c64_memory.h"

#include "core/machine_model.h"

#include "sid/digi_registers.h"
#include "sid/hardsid_link.h"
#include "sid/sid_write.h"

namespace chipbox {

C64Memory c64Memory;

namespace {
constexpr std::uint16_t DIGI_WINDOW_FIRST = 0xD419;
constexpr std::uint16_t DIGI_WINDOW_LAST = 0xD4FF;
constexpr std::uint16_t DIGI_MIRRORS_FIRST = 0xD420;

// The twelve addresses of the extended sample registers: $D41D-$D41F,
// $D43D-$D43F, $D45D-$D45F and $D47D-$D47F.
bool IsSampleRegister(std::uint16_t address) {
    return address < 0xD480 && (address & 0x1F) >= 0x1D;
}

// The default model keeps $D419-$D4FF from the SID; the complete machine
// forwards the mirrors from $D420 on, as it does those from $D500.
bool ReachesSampleDecoder(std::uint16_t address) {
    if (address < DIGI_WINDOW_FIRST || address > DIGI_WINDOW_LAST) return false;
    return !completeMachine || address < DIGI_MIRRORS_FIRST || IsSampleRegister(address);
}

}  // namespace

void RouteSidAreaWrite(std::uint16_t address, std::uint8_t value) {
    if (ReachesSampleDecoder(address)) {
        DecodeDigiRegisterWrite(address, value);
        return;
    }
    const int registerNumber = address & 0x1F;
    if (registerNumber == VOLUME_REGISTER && sampleThreadRunning.load(std::memory_order_relaxed))
        return;
    SidWrite(registerNumber, value);
}

void ClearMemory() {
    for (int address = 0; address < 65536; ++address)
        StoreMemory(static_cast<std::uint16_t>(address), 0);
}

void FillMemory(std::span<const std::uint8_t, 65536> bytes) {
    for (int address = 0; address < 65536; ++address)
        StoreMemory(static_cast<std::uint16_t>(address), bytes[address]);
}

}  // namespace chipbox
