// SPDX-License-Identifier: GPL-2.0-or-later
// Arbitrary writes into the SID's I/O area ($D400-$D7FF: the registers, the
// mirrors and the sample registers), with rendering in between, in software
// mode and in HardSID mode with a card that takes every write; the sample
// thread's values are played from the same registers.
#include <atomic>
#include <vector>

#include "core/c64_memory.h"
#include "fuzz_engine.h"
#include "playback/sample_thread.h"
#include "sid/hardsid_link.h"
#include "sid/sid_render.h"

namespace {

using namespace chipbox;

std::uint32_t cardWrites = 0;

void TakeCardWrite(std::uint8_t, std::uint8_t, std::uint8_t) { ++cardWrites; }

// A clock the sample values never wait for.
class InstantClock : public SampleClock {
public:
    std::int64_t Now() override { return now; }
    void WaitUntil(std::int64_t deadline, const std::atomic<bool>&) override { now = deadline; }
    std::int64_t now = 0;
};

constexpr int MOST_SAMPLE_VALUES = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::StartInput();
    fuzz::InputBytes input(data, size);
    const bool card = (input.Next() & 1) != 0;
    hardSidMode = card;
    writeToHardSid = TakeCardWrite;
    SidInit(RENDER_RATE);
    std::vector<std::int16_t> render(1024), output(256);
    InstantClock clock;
    bool late = false;
    while (!input.empty()) {
        const std::uint8_t command = input.Next();
        if (command < 0xF0) {  // a write: ten bits of address, then the value
            const auto address =
                static_cast<std::uint16_t>(0xD400 | (command & 3) << 8 | input.Next());
            WriteMemory(address, input.Next());
        } else if (card) {
            for (int i = 0; i < MOST_SAMPLE_VALUES && PlaySampleValue(late, clock); ++i) {
            }
        } else {
            const std::uint32_t count = 4 * (1 + input.Next());
            SidRenderDecimated(render.data(), output.data(), count, c64Memory.bytes);
        }
    }
    return 0;
}
