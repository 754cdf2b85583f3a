// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/machine_playback.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/machine_model.h"
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
    for (int chip = 0; chip < c64.sidCount(); ++chip) {
        c64.sid(chip).CatchUp(std::max(c64.now(), playback.speedCycle));
        c64.sid(chip).SetSpeed(speed);
    }
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

// Pan positions in 1/1000 of full: a chip between the others is heard in
// both channels at -3 dB.
constexpr int PAN_SCALE = 1000;
constexpr int PAN_MIDDLE = 707;

struct Pan {
    int left, right;
};

Pan PanOf(int chip, int chips) {
    if (chip == 0) return {PAN_SCALE, 0};
    if (chip == chips - 1) return {0, PAN_SCALE};
    return {PAN_MIDDLE, PAN_MIDDLE};
}

std::int16_t Saturated(std::int64_t value) {
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(value, INT16_MIN, INT16_MAX));
}

// The chips' samples, `frames` of each, into the channels: stereo by their
// pans, or mono as the mix of that stereo, left and right averaged.
void MixChips(const std::vector<std::vector<std::int16_t>>& chips, std::size_t frames,
              int channels, std::int16_t* out) {
    const int count = static_cast<int>(chips.size());
    for (std::size_t frame = 0; frame < frames; ++frame) {
        std::int64_t left = 0, right = 0;
        for (int chip = 0; chip < count; ++chip) {
            const Pan pan = PanOf(chip, count);
            const std::int64_t sample = chips[static_cast<std::size_t>(chip)][frame];
            left += sample * pan.left;
            right += sample * pan.right;
        }
        if (channels == 2) {
            out[2 * frame] = Saturated(left / PAN_SCALE);
            out[2 * frame + 1] = Saturated(right / PAN_SCALE);
        } else {
            out[frame] = Saturated((left + right) / (2 * PAN_SCALE));
        }
    }
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
    playback.c64 = std::make_unique<machine::C64>(MachineVideoStandard(), playback.roms,
                                                  MachineSidModel(), FurtherSockets());
    const machine::StartProblem problem = machine::StartTune(*playback.c64, playback.header, song);
    machine::C64& c64 = *playback.c64;
    playback.renderedSamples = 0;
    playback.songStartCycle = playback.loadCycle = c64.now();
    playback.loadIdle = c64.cpu().idleCycles();
    for (int chip = 0; chip < c64.sidCount(); ++chip) {
        c64.sid(chip).CatchUp(c64.now());
        c64.sid(chip).DiscardSound();
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

std::size_t LeastAvailable(machine::C64& c64) {
    std::size_t least = c64.sid(0).Available();
    for (int chip = 1; chip < c64.sidCount(); ++chip)
        least = std::min(least, c64.sid(chip).Available());
    return least;
}

// `frames` of a chip's samples; a short count repeats the last one.
std::vector<std::int16_t> TakeFrames(machine::SidChip& chip, std::size_t frames) {
    std::vector<std::int16_t> samples(frames);
    const std::size_t taken = chip.Take(samples.data(), frames);
    std::fill(samples.begin() + static_cast<std::ptrdiff_t>(taken), samples.end(),
              taken ? samples[taken - 1] : std::int16_t{0});
    return samples;
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
    const auto channels = static_cast<std::size_t>(MachineChannels());
    const auto wanted = static_cast<std::size_t>(count);
    const std::size_t frames = (wanted + channels - 1) / channels;
    const std::uint64_t before = c64.now();
    playback.renderedSamples += frames;
    std::uint64_t target = CycleOfSample(playback.renderedSamples);
    constexpr int MOST_ROUNDS = 8;
    for (int round = 0; round < MOST_ROUNDS && LeastAvailable(c64) < frames; ++round) {
        c64.RunUntil(target);
        for (int chip = 0; chip < c64.sidCount(); ++chip) c64.sid(chip).CatchUp(c64.now());
        target = c64.now() + CycleOfSample(1) - CycleOfSample(0);
    }
    if (c64.sidCount() == 1) {  // as the chip makes it
        const std::vector<std::int16_t> samples = TakeFrames(c64.sid(), wanted);
        std::copy(samples.begin(), samples.end(), out);
        return c64.now() - before;
    }
    std::vector<std::vector<std::int16_t>> chips;
    for (int chip = 0; chip < c64.sidCount(); ++chip) chips.push_back(TakeFrames(c64.sid(chip), frames));
    std::vector<std::int16_t> mixed(frames * channels);
    MixChips(chips, frames, static_cast<int>(channels), mixed.data());
    std::copy_n(mixed.begin(), wanted, out);
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
    playback = MachinePlayback{};
    for (auto& muted : furtherMuted) muted = 0;
}

}  // namespace chipbox
