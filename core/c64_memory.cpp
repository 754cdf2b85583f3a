// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/c64_memory.h"

#include "core/machine_model.h"

#include "sid/digi_registers.h"
#include "sid/hardsid_link.h"
#include "sid/sid_write.h"

namespace chipbox {

C64Memory c64Memory;

void RouteSidAreaWrite(std::uint16_t address, std::uint8_t value) {
    if (ReachesSampleDecoder(address, completeMachine)) {
        if (!completeMachine && !ReachesSampleDecoder(address, true))
            defaultModelShortfall.sidMirrorStore = true;
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
