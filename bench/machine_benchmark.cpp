// SPDX-License-Identifier: GPL-2.0-or-later
// How fast the real machine plays tunes: 60 seconds of sound per tune, the
// machine with its real SID resampled to 44.1 kHz as playback does, as a
// multiple of real time, the best of three runs; with each tune's chip and
// with the other one.
//
// Usage: chipbox-machine-benchmark [--seconds S] [--runs N] [TUNE.sid...]
// (fewer seconds and one run for a profiler or an instruction counter)
// Without tunes: our RSID test players (one for three SIDs, all sounding)
// and hostile tunes, then the tunes in
// ../shared/tunes (PSID, played under the driver) and its real-machine/
// folder (RSID), when they are there.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/machine/sid_header.h"
#include "playback/machine_playback.h"
#include "sid/chip/resampler.h"

namespace {

using namespace chipbox;
namespace fs = std::filesystem;

int secondsPerTune = 60;
int runsPerTune = 3;
constexpr std::int32_t BUFFER = 7056;  // a stream buffer

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

template <class Work>
double BestSeconds(Work work) {
    double best = 1e9;
    for (int run = 0; run < runsPerTune; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

double MachineWithSid(const std::vector<std::uint8_t>& file, int song, SidChoice chip) {
    std::vector<std::int16_t> out(BUFFER);
    return BestSeconds([&] {
        LoadMachineTune(file);
        SetSidChoice(chip);
        StartMachineSong(song);
        const std::int64_t samples = std::int64_t{secondsPerTune} * sidchip::OUTPUT_HZ;
        for (std::int64_t done = 0; done < samples; done += BUFFER)
            RenderMachineSamples(out.data(), BUFFER, 1);
    });
}

const char* ChipName(sidchip::ChipModel model) {
    return model == sidchip::ChipModel::Mos8580 ? "8580" : "6581";
}

std::vector<std::string> DefaultTunes(const fs::path& program) {
    std::vector<std::string> tunes;
    const fs::path testTunes = program.parent_path().parent_path() / "tests" / "tunes";
    for (const char* name : {"rsid_cia_player", "rsid_raster_player", "rsid_nmi_digi",
                             "three_sids", "hostile_nmi_storm", "hostile_raster_storm"})
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
    std::vector<std::string> tunes;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--seconds" || arg == "--runs") && i + 1 < argc) {
            int& setting = arg == "--seconds" ? secondsPerTune : runsPerTune;
            setting = std::clamp(std::atoi(argv[++i]), 1, 3600);
            continue;
        }
        tunes.push_back(arg);
    }
    if (tunes.empty()) tunes = DefaultTunes(fs::absolute(argv[0]));
    std::printf("%d s of sound per tune, best of %d, as multiples of real time\n", secondsPerTune,
                runsPerTune);
    std::printf("%-46s %5s %10s %12s\n", "tune", "chip", "its chip", "the other");
    double logOwn = 0, slowest = 1e9;
    int measured = 0;
    for (const std::string& path : tunes) {
        const std::vector<std::uint8_t> file = ReadBytes(path);
        const machine::ParsedHeader parsed = machine::ParseSidHeader(file);
        if (file.size() < 4 || parsed.problem != machine::HeaderProblem::None) {
            std::printf("%-46s not a tune the machine plays\n", fs::path(path).filename().c_str());
            continue;
        }
        const int song = parsed.header.startSong - 1;
        LoadMachineTune(file);
        SetSidChoice(SidChoice::FromTune);
        const sidchip::ChipModel own = MachineSidModel();
        const SidChoice other =
            own == sidchip::ChipModel::Mos8580 ? SidChoice::Mos6581 : SidChoice::Mos8580;
        const double withOwn = secondsPerTune / MachineWithSid(file, song, SidChoice::FromTune);
        const double withOther = secondsPerTune / MachineWithSid(file, song, other);
        std::printf("%-46s %5s %9.0fx %11.0fx\n", fs::path(path).filename().c_str(), ChipName(own),
                    withOwn, withOther);
        logOwn += std::log(withOwn);
        slowest = std::min(slowest, withOwn);
        ++measured;
    }
    if (measured > 0)
        std::printf("%-46s %5s %9.0fx\n%-46s %5s %9.0fx\n", "geometric mean", "",
                    std::exp(logOwn / measured), "slowest", "", slowest);
    return 0;
}
