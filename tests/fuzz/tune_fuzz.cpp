// SPDX-License-Identifier: GPL-2.0-or-later
// Feeds arbitrary bytes to the player as a tune file: the loader, the CPU
// running the tune's init and play routines, the SID and digi register writes
// and the renderer must take anything without a crash or undefined behaviour.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/c64_memory.h"
#include "core/psid_loader.h"
#include "core/routine_call.h"
#include "core/tune_info.h"
#include "sid/sid_render.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace chipbox;
    StartEngine();
    std::string name, author, released;
    LoadPsidFile({data, size}, name, author, released);
    SidInit(RENDER_RATE);
    RestoreTuneImage();
    CallRoutine(tuneInfo.initAddress, tuneInfo.currentSong);
    std::vector<std::int16_t> render(4 * 441), output(441);
    for (int frame = 0; frame < 2; ++frame) {
        CallRoutine(tuneInfo.playAddress, 0);
        SidRenderDecimated(render.data(), output.data(), static_cast<std::uint32_t>(render.size()),
                           c64Memory.bytes);
    }
    return 0;
}
