// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/machine_playback.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "core/machine_model.h"
#include "sid/hardsid_link.h"
#include "sid/sid_state.h"

namespace chipbox {

namespace {

constexpr int FULL_LOAD = 100;

struct MachinePlayback {
    std::vector<std::uint8_t> file;
    machine::SidHeader header;
    bool loaded = false;
    machine::RomImages roms;
    VideoChoice video = VideoChoice::FromTune;
    std::unique_ptr<machine::C64> c64;
    SidChoice sidChoice = SidChoice::FromTune;
    std::uint64_t renderedSamples = 0;  // of the output, since the song started
    std::int32_t speed = 1;
    std::uint64_t speedCycle = 0;  // where the speed was last set, in cycles
    std::uint64_t speedSample = 0;  // and in output samples
    std::uint64_t songStartCycle = 0;
    std::uint64_t loadCycle = 0;  // where the CPU bar's last reading ended
    std::uint64_t loadIdle = 0;
};

MachinePlayback playback;

// The machine cycle a count of output samples since the song started ends
// on, at the speed set last.
std::uint64_t CycleOfSample(std::uint64_t sample) {
    const std::uint64_t cyclesPerSecond = std::uint64_t{playback.c64->timing().clockHz} * playback.speed;
    const std::uint64_t samples = sample - playback.speedSample;
    return playback.speedCycle + (samples * cyclesPerSecond + sidchip::OUTPUT_HZ - 1) / sidchip::OUTPUT_HZ;
}

// From the current sound position on, the sound runs at `speed`.
void SetSpeed(std::int32_t speed) {
    machine::C64& c64 = *playback.c64;
    playback.speedCycle = CycleOfSample(playback.renderedSamples);
    playback.speedSample = playback.renderedSamples;
    c64.sid().CatchUp(std::max(c64.now(), playback.speedCycle));
    c64.sid().SetSpeed(speed);
    playback.speed = speed;
}

sidchip::ChipModel ModelOfHeader(const machine::SidHeader& header) {
    constexpr int MODEL_SHIFT = 4;
    constexpr std::uint16_t ONLY_8580 = 2;
    return ((header.flags >> MODEL_SHIFT) & 3) == ONLY_8580 ? sidchip::ChipModel::Mos8580
                                                            : sidchip::ChipModel::Mos6581;
}

}  // namespace

void SetRomImages(machine::RomImages images) { playback.roms = std::move(images); }

void SetVideoChoice(VideoChoice choice) { playback.video = choice; }

void SetSidChoice(SidChoice choice) { playback.sidChoice = choice; }

sidchip::ChipModel MachineSidModel() {
    switch (playback.sidChoice) {
        case SidChoice::Mos6581: return sidchip::ChipModel::Mos6581;
        case SidChoice::Mos8580: return sidchip::ChipModel::Mos8580;
        default: return ModelOfHeader(playback.header);
    }
}

machine::HeaderProblem LoadMachineTune(std::span<const std::uint8_t> file) {
    if (const auto problem = machine::ParseSidHeader(file).problem;
        problem != machine::HeaderProblem::None)
        return problem;
    playback.c64.reset();
    playback.file.assign(file.begin(), file.end());
    playback.header = machine::ParseSidHeader(playback.file).header;  // its data: our copy
    playback.loaded = true;
    return machine::HeaderProblem::None;
}

void ForgetMachineTune() {
    playback.c64.reset();
    playback.loaded = false;
    playback.header = {};
    playback.file.clear();
}

const machine::SidHeader& MachineTuneHeader() { return playback.header; }

bool MachineTuneIsRsid() { return playback.loaded && playback.header.rsid; }

bool MachinePlays() {
    if (!playback.loaded) return false;
    if (playback.header.rsid) return true;
    return CurrentMachineModel() == MachineModel::Complete && !hardSidMode;
}

machine::VideoStandard MachineVideoStandard() {
    switch (playback.video) {
        case VideoChoice::Pal: return machine::VideoStandard::Pal;
        case VideoChoice::Ntsc: return machine::VideoStandard::Ntsc;
        default: return playback.header.ntsc() ? machine::VideoStandard::Ntsc : machine::VideoStandard::Pal;
    }
}

bool RomImagesRunBasic() {
    return playback.roms.basic.size() == machine::BASIC_SIZE &&
           playback.roms.kernal.size() == machine::KERNAL_SIZE;
}

machine::StartProblem StartMachineSong(int song) {
    playback.c64 = std::make_unique<machine::C64>(MachineVideoStandard(), playback.roms, MachineSidModel());
    const machine::StartProblem problem = machine::StartTune(*playback.c64, playback.header, song);
    machine::C64& c64 = *playback.c64;
    playback.renderedSamples = 0;
    playback.songStartCycle = playback.loadCycle = c64.now();
    playback.loadIdle = c64.cpu().idleCycles();
    c64.sid().CatchUp(c64.now());
    c64.sid().DiscardSound();
    playback.speed = 1;
    playback.speedCycle = c64.now();
    playback.speedSample = 0;
    return problem;
}

// The machine runs to the cycle the last sample asked for ends on; the chip
// may give one sample fewer than counted there, since its resampler counts
// from its own start, so the machine runs on by a sample's cycles until the
// chip has them all (a few rounds at most).
std::uint64_t RenderMachineSamples(std::int16_t* out, std::int32_t count, std::int32_t speed) {
    if (!playback.c64 || count <= 0) return 0;
    if (speed != playback.speed) SetSpeed(speed);
    machine::C64& c64 = *playback.c64;
    machine::SidChip& sid = c64.sid();
    for (int voice = 0; voice < 3; ++voice)
        sid.SetVoiceMuted(voice, mixerSettings.voiceMuted[static_cast<std::size_t>(voice)]);
    const auto wanted = static_cast<std::size_t>(count);
    const std::uint64_t before = c64.now();
    playback.renderedSamples += wanted;
    std::uint64_t target = CycleOfSample(playback.renderedSamples);
    constexpr int MOST_ROUNDS = 8;
    for (int round = 0; round < MOST_ROUNDS && sid.Available() < wanted; ++round) {
        c64.RunUntil(target);
        sid.CatchUp(c64.now());
        target = c64.now() + CycleOfSample(1) - CycleOfSample(0);
    }
    const std::size_t taken = sid.Take(out, wanted);
    std::fill(out + taken, out + wanted, taken ? out[taken - 1] : std::int16_t{0});
    return c64.now() - before;
}

const machine::C64* PlayingMachine() { return playback.c64.get(); }

std::int64_t MachineMicros() {
    if (!playback.c64) return 0;
    const std::uint64_t cycles = playback.c64->now() - playback.songStartCycle;
    return static_cast<std::int64_t>(cycles * 1'000'000 / playback.c64->timing().clockHz);
}

int TakeMachineLoad() {
    if (!playback.c64) return 1;
    const std::uint64_t now = playback.c64->now();
    const std::uint64_t idle = playback.c64->cpu().idleCycles();
    const std::uint64_t elapsed = now - playback.loadCycle;
    const std::uint64_t idleElapsed = idle - playback.loadIdle;
    playback.loadCycle = now;
    playback.loadIdle = idle;
    if (elapsed == 0) return 1;
    const std::uint64_t busy = idleElapsed < elapsed ? elapsed - idleElapsed : 0;
    const auto value = static_cast<int>((busy * FULL_LOAD + elapsed / 2) / elapsed);
    return value < 1 ? 1 : value > FULL_LOAD ? FULL_LOAD : value;
}

void ResetMachinePlayback() { playback = MachinePlayback{}; }

}  // namespace chipbox
