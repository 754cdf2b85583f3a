// SPDX-License-Identifier: GPL-2.0-or-later
// How fast the real machine runs tunes: 60 seconds of machine time per tune,
// first the machine alone (the SID's registers written, nothing rendered),
// then the machine with the SID rendering as playback does, both as
// multiples of real time, the best of three runs.
//
// Usage: chipbox-machine-benchmark [TUNE.sid...]
// Without tunes: our RSID test players and hostile tunes, then the tunes in
// ../shared/tunes (PSID, played under the driver) and its real-machine/
// folder (RSID), when they are there.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/machine/c64.h"
#include "core/machine/sid_header.h"
#include "core/machine/tune_start.h"
#include "playback/machine_playback.h"
#include "sid/sid_render.h"
#include "sid/sid_write.h"

namespace {

using namespace chipbox;
namespace fs = std::filesystem;

constexpr int SECONDS = 60;
constexpr int RUNS = 3;
constexpr std::int32_t BUFFER = 7056;  // a stream buffer

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

template <class Work>
double BestSeconds(Work work) {
    double best = 1e9;
    for (int run = 0; run < RUNS; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                            start).count());
    }
    return best;
}

double MachineAlone(const machine::SidHeader& header) {
    return BestSeconds([&] {
        machine::C64 c64(header.ntsc() ? machine::VideoStandard::Ntsc : machine::VideoStandard::Pal,
                         {});
        machine::StartTune(c64, header, header.startSong - 1);
        c64.RunUntil(c64.now() + std::uint64_t{SECONDS} * c64.timing().clockHz);
    });
}

double MachineWithSid(const std::vector<std::uint8_t>& file, int song) {
    std::vector<std::int16_t> out(BUFFER), render(4 * BUFFER);
    return BestSeconds([&] {
        LoadMachineTune(file);
        ResetSidModule();
        SidInit(RENDER_RATE);
        SidWrite(VOLUME_REGISTER, 0x0F);
        StartMachineSong(song);
        for (std::int64_t done = 0; done < std::int64_t{SECONDS} * OUTPUT_RATE; done += BUFFER)
            RenderMachineSamples(out.data(), BUFFER, render.data(), 1);
    });
}

std::vector<std::string> DefaultTunes(const fs::path& program) {
    std::vector<std::string> tunes;
    const fs::path testTunes = program.parent_path().parent_path() / "tests" / "tunes";
    for (const char* name : {"rsid_cia_player", "rsid_raster_player", "rsid_nmi_digi",
                             "hostile_nmi_storm", "hostile_raster_storm"})
        tunes.push_back((testTunes / (std::string(name) + ".sid")).string());
    const fs::path shared = fs::path(CHIPBOX_SOURCE_DIR) / ".." / "shared" / "tunes";
    for (const fs::path& folder : {shared, shared / "real-machine"}) {
        std::vector<std::string> found;
        if (fs::is_directory(folder))
            for (const auto& entry : fs::directory_iterator(folder))
                if (entry.path().extension() == ".sid") found.push_back(entry.path().string());
        std::sort(found.begin(), found.end());
        tunes.insert(tunes.end(), found.begin(), found.end());
    }
    return tunes;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> tunes(argv + 1, argv + argc);
    if (tunes.empty()) tunes = DefaultTunes(fs::absolute(argv[0]));
    std::printf("%d s of machine time per tune, best of %d, as multiples of real time\n", SECONDS,
                RUNS);
    std::printf("%-46s %10s %12s\n", "tune", "machine", "machine+SID");
    double logAlone = 0, logWithSid = 0, slowestAlone = 1e9;
    int measured = 0;
    for (const std::string& path : tunes) {
        const std::vector<std::uint8_t> file = ReadBytes(path);
        const machine::ParsedHeader parsed = machine::ParseSidHeader(file);
        if (file.size() < 4 || parsed.problem != machine::HeaderProblem::None) {
            std::printf("%-46s not a tune the machine plays\n", fs::path(path).filename().c_str());
            continue;
        }
        const double alone = SECONDS / MachineAlone(parsed.header);
        const double withSid = SECONDS / MachineWithSid(file, parsed.header.startSong - 1);
        std::printf("%-46s %9.0fx %11.0fx\n", fs::path(path).filename().c_str(), alone, withSid);
        logAlone += std::log(alone);
        logWithSid += std::log(withSid);
        slowestAlone = std::min(slowestAlone, alone);
        ++measured;
    }
    if (measured > 0)
        std::printf("%-46s %9.0fx %11.0fx\n%-46s %9.0fx\n", "geometric mean",
                    std::exp(logAlone / measured), std::exp(logWithSid / measured),
                    "slowest, machine alone", slowestAlone);
    return 0;
}
