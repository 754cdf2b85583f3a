// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/machine_playback.h"

#include <memory>
#include <vector>

#include "core/machine_model.h"
#include "sid/hardsid_link.h"
#include "sid/sid_render.h"

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
    std::uint64_t renderedSamples = 0;  // at the render rate, since the song started
    std::int32_t speed = 1;
    std::uint64_t songStartCycle = 0;
    std::uint64_t loadCycle = 0;  // where the CPU bar's last reading ended
    std::uint64_t loadIdle = 0;
};

MachinePlayback playback;

// From the current render position on, render samples against the clock at `speed`.
void SetSpeed(std::int32_t speed) {
    machine::SidChip& sid = playback.c64->sid();
    machine::AudioClock clock = sid.audioClock();
    clock.originCycle = clock.CycleOf(playback.renderedSamples);
    clock.originSample = playback.renderedSamples;
    clock.cyclesPerSecond = std::uint64_t{playback.c64->timing().clockHz} * speed;
    clock.samplesPerSecond = RENDER_RATE;
    sid.SetAudioClock(clock);
    playback.speed = speed;
}

}  // namespace

void SetRomImages(machine::RomImages images) { playback.roms = std::move(images); }

void SetVideoChoice(VideoChoice choice) { playback.video = choice; }

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
    playback.c64 = std::make_unique<machine::C64>(MachineVideoStandard(), playback.roms);
    const machine::StartProblem problem = machine::StartTune(*playback.c64, playback.header, song);
    playback.renderedSamples = 0;
    playback.songStartCycle = playback.loadCycle = playback.c64->now();
    playback.loadIdle = playback.c64->cpu().idleCycles();
    machine::AudioClock clock;
    clock.originCycle = playback.songStartCycle;
    playback.c64->sid().SetAudioClock(clock);
    SetSpeed(1);
    return problem;
}

std::uint64_t RenderMachineSamples(std::int16_t* out, std::int32_t count,
                                   std::int16_t* renderBuffer, std::int32_t speed) {
    if (!playback.c64 || count <= 0) return 0;
    if (speed != playback.speed) SetSpeed(speed);
    machine::C64& c64 = *playback.c64;
    const auto renderCount = static_cast<std::uint32_t>(4 * count);
    const std::uint64_t before = c64.now();
    c64.sid().BeginStretch(renderBuffer, playback.renderedSamples, renderCount);
    playback.renderedSamples += renderCount;
    c64.RunUntil(c64.sid().audioClock().CycleOf(playback.renderedSamples));
    c64.sid().EndStretch();
    Decimate4(renderBuffer, out, renderCount);
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
