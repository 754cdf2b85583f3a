// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/machine_playback.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/machine_model.h"
#include "sid/chip/chip_mix.h"
#include "sid/relaxed_atomic.h"
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
    std::unique_ptr<sidchip::ChipMix> mix;  // with several SIDs: their sound
    std::unique_ptr<machine::C64> c64;
    SidChoice sidChoice = SidChoice::FromTune;
    std::uint64_t renderedSamples = 0;  // of the output, since the song started
    std::int32_t speed = 1;
    std::uint64_t speedCycle = 0;  // where the speed was last set, in cycles
    std::uint64_t speedSample = 0;  // and in output samples
    std::uint64_t songStartCycle = 0;
    std::uint64_t loadCycle = 0;  // where the CPU bar's last reading ended
    std::uint64_t loadIdle = 0;
    bool mono = false;
};

MachinePlayback playback;

constexpr int FURTHER_VOICES = 6;
std::array<RelaxedAtomic<std::uint8_t>, FURTHER_VOICES> furtherMuted{};

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
    c64.CatchUpSids(std::max(c64.now(), playback.speedCycle));
    if (playback.mix) {
        // What the chips made at the old speed is mixed before the new one.
        for (int chip = 0; chip < c64.sidCount(); ++chip) c64.sid(chip).HandOver();
        playback.mix->SetClock(double(c64.timing().clockHz) * speed);
    }
    for (int chip = 0; chip < c64.sidCount(); ++chip) c64.sid(chip).SetSpeed(speed);
    playback.speed = speed;
}

constexpr std::uint8_t ONLY_6581 = 1, ONLY_8580 = 2;

sidchip::ChipModel ModelOfHeader(const machine::SidHeader& header) {
    return header.modelBits() == ONLY_8580 ? sidchip::ChipModel::Mos8580
                                           : sidchip::ChipModel::Mos6581;
}

// A further chip's model: the one its bits name alone, else the first's;
// the user's choice holds for every chip.
sidchip::ChipModel FurtherModel(std::uint8_t modelBits, sidchip::ChipModel first) {
    if (playback.sidChoice != SidChoice::FromTune) return first;
    if (modelBits == ONLY_6581) return sidchip::ChipModel::Mos6581;
    if (modelBits == ONLY_8580) return sidchip::ChipModel::Mos8580;
    return first;
}

std::vector<machine::SidSocket> FurtherSockets();


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

namespace {

std::vector<machine::SidSocket> FurtherSockets() {
    std::vector<machine::SidSocket> sockets;
    for (const machine::ExtraSid& sid : playback.header.extraSids)
        sockets.push_back({sid.address, FurtherModel(sid.modelBits, MachineSidModel())});
    return sockets;
}

}  // namespace

std::vector<MachineSidInfo> MachineSids() {
    std::vector<MachineSidInfo> sids = {{machine::FIRST_SID_ADDRESS, MachineSidModel()}};
    for (const machine::SidSocket& socket : FurtherSockets())
        sids.push_back({socket.address, socket.model});
    return sids;
}

void SetMachineMono(bool mono) { playback.mono = mono; }

int MachineChannels() {
    const bool several = playback.loaded && !playback.header.extraSids.empty();
    return several && !playback.mono ? 2 : 1;
}

void SetFurtherVoiceMuted(int voice, bool muted) {
    if (voice >= 3 && voice < 3 + FURTHER_VOICES)
        furtherMuted[static_cast<std::size_t>(voice - 3)] = muted ? 1 : 0;
}

bool FurtherVoiceMuted(int voice) {
    return voice >= 3 && voice < 3 + FURTHER_VOICES &&
           furtherMuted[static_cast<std::size_t>(voice - 3)] != 0;
}

machine::StartProblem StartMachineSong(int song) {
    playback.c64.reset();  // its chips hand their sound to the mix
    playback.c64 = std::make_unique<machine::C64>(MachineVideoStandard(), playback.roms,
                                                  MachineSidModel(), FurtherSockets());
    const machine::StartProblem problem = machine::StartTune(*playback.c64, playback.header, song);
    machine::C64& c64 = *playback.c64;
    playback.renderedSamples = 0;
    playback.songStartCycle = playback.loadCycle = c64.now();
    playback.loadIdle = c64.cpu().idleCycles();
    c64.CatchUpSids(c64.now());
    for (int chip = 0; chip < c64.sidCount(); ++chip) c64.sid(chip).DiscardSound();
    playback.mix.reset();
    if (c64.sidCount() > 1) {
        playback.mix = std::make_unique<sidchip::ChipMix>(c64.sidCount(), MachineChannels(),
                                                          double(c64.timing().clockHz));
        for (int chip = 0; chip < c64.sidCount(); ++chip)
            c64.sid(chip).SetBlockSink(&playback.mix->InputOf(chip));
    }
    playback.speed = 1;
    playback.speedCycle = c64.now();
    playback.speedSample = 0;
    return problem;
}

namespace {

void ApplyMutes(machine::C64& c64) {
    for (int chip = 0; chip < c64.sidCount(); ++chip) {
        for (int voice = 0; voice < 3; ++voice) {
            const bool muted = chip == 0
                                   ? mixerSettings.voiceMuted[static_cast<std::size_t>(voice)] != 0
                                   : FurtherVoiceMuted(chip * 3 + voice);
            c64.sid(chip).SetVoiceMuted(voice, muted);
        }
    }
}

// The frames ready: the mix's, once every chip has handed over its part.
std::size_t FramesReady(machine::C64& c64) {
    if (!playback.mix) return c64.sid().Available();
    for (int chip = 0; chip < c64.sidCount(); ++chip) c64.sid(chip).HandOver();
    return playback.mix->Available();
}


}  // namespace

// The machine runs to the cycle the last sample asked for ends on; the chips
// may give one sample fewer than counted there, since their resamplers count
// from their own start, so the machine runs on by a sample's cycles until
// every chip has them all (a few rounds at most).
std::uint64_t RenderMachineSamples(std::int16_t* out, std::int32_t count, std::int32_t speed) {
    if (!playback.c64 || count <= 0) return 0;
    if (speed != playback.speed) SetSpeed(speed);
    machine::C64& c64 = *playback.c64;
    ApplyMutes(c64);
    const auto channels = static_cast<std::size_t>(playback.mix ? playback.mix->channels() : 1);
    const auto wanted = static_cast<std::size_t>(count);
    const std::size_t frames = wanted / channels;
    const std::uint64_t before = c64.now();
    playback.renderedSamples += frames;
    std::uint64_t target = CycleOfSample(playback.renderedSamples);
    constexpr int MOST_ROUNDS = 8;
    for (int round = 0; round < MOST_ROUNDS && FramesReady(c64) < frames; ++round) {
        c64.RunUntil(target);
        c64.CatchUpSids(c64.now());
        target = c64.now() + CycleOfSample(1) - CycleOfSample(0);
    }
    std::vector<std::int16_t> samples(frames * channels);
    const std::size_t taken = playback.mix ? playback.mix->Take(samples.data(), frames) * channels
                                           : c64.sid().Take(samples.data(), frames);
    // A short count repeats the last frame.
    for (std::size_t i = taken; i < samples.size(); ++i)
        samples[i] = i >= channels ? samples[i - channels] : std::int16_t{0};
    std::copy(samples.begin(), samples.end(), out);
    std::fill(out + samples.size(), out + wanted, std::int16_t{0});  // half a frame: silent
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

void ResetMachinePlayback() {
    playback.c64.reset();  // its chips hand their sound to the mix
    playback = MachinePlayback{};
    for (auto& muted : furtherMuted) muted = 0;
}

}  // namespace chipbox
