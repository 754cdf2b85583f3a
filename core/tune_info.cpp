// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/tune_info.h"

#include "core/c64_memory.h"

namespace chipbox {

TuneInfo tuneInfo;
TuneImage tuneImage;

void TakeTuneImage() { tuneImage.bytes = c64Memory.bytes; }

void RestoreTuneImage() { FillMemory(tuneImage.bytes); }

void ResetTuneState() {
    tuneInfo = TuneInfo{};
    tuneImage.bytes.fill(0);
}

}  // namespace chipbox
