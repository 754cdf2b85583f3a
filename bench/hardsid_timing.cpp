// SPDX-License-Identifier: GPL-2.0-or-later
// How evenly the HardSID clocks make their play calls: the 20 ms timer of a
// vertical-blank tune and the timing thread of a CIA tune with 9,998
// microsecond frames. Each play call of the two tunes writes voice 1's
// frequency once; the intervals between those writes are the ticks.
//
// Usage: chipbox-hardsid-timing [SECONDS]   (default 5 per clock)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio_device.h"
#include "playback/player_engine.h"
#include "playback/player_view.h"
#include "playback/tune_loading.h"
#include "sid/hardsid_link.h"

namespace {

using namespace chipbox;

std::mutex mutex;
std::vector<std::int64_t> ticks;

void RecordWrite(std::uint8_t, std::uint8_t reg, std::uint8_t) {
    if (reg != 0) return;
    std::lock_guard lock(mutex);
    ticks.push_back(SampleClockNow());
}

// Load failures still show, on the terminal.
class SilentView : public SilentPlayerView {
public:
    void ShowMessage(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};

class NoStream : public StreamEventTarget {
public:
    void Post(StreamEvent) override {}
};

void Measure(const char* label, const std::string& tune, double expectedMillis, double seconds) {
    if (!LoadTune(tune, false).loaded()) return;
    StartPlayback();  // makes the first play call itself; the clock's ticks follow
    {
        std::lock_guard lock(mutex);
        ticks.clear();
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    StopPlayback();
    std::lock_guard lock(mutex);
    double sum = 0, worst = 0;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        const double interval = (ticks[i] - ticks[i - 1]) / 1e6;
        sum += interval;
        worst = std::max(worst, std::abs(interval - expectedMillis));
    }
    const auto count = ticks.size() > 1 ? ticks.size() - 1 : 0;
    std::printf("%-34s %5zu ticks  mean %8.4f ms  (aim %.3f)  worst off by %7.4f ms\n", label,
                count, count ? sum / count : 0.0, expectedMillis, worst);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    SilentView view;
    NoStream stream;
    const PlayerConnection connection = ConnectPlayer(view, stream);
    hardSidMode = true;
    writeToHardSid = RecordWrite;
    const std::string tunes = CHIPBOX_TEST_TUNE_DIR;
    std::printf("Intervals between play calls over %.0f s per clock\n", seconds);
    Measure("timer, vertical blank (20 ms)", tunes + "/minimal.sid", 20.0, seconds);
    Measure("timing thread, CIA timer 9727", tunes + "/cia_short_frame.sid", 9.998, seconds);
    return 0;
}
