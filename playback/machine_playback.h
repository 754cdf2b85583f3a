// SPDX-License-Identifier: GPL-2.0-or-later
// The engine's side of the real machine: RSID tunes always play on it, PSID
// tunes when the complete machine is chosen and the sound card plays. The
// machine runs exactly its clock's cycles for each second of sound (two or
// four times as many at 2x and 4x), whatever the tune asks for; nothing
// calls a play routine.
//
// Threads: the thread that owns the player, like the rest of the engine.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/machine/c64.h"
#include "core/machine/sid_header.h"
#include "core/machine/tune_start.h"
#include "sid/chip/chip_model.h"

namespace chipbox {

// The engine's commands: ROM images the user owns (empty ones: our
// stand-in, no BASIC), and the video standard (from the tune's header when
// none is forced). Both hold for the songs started from now on.
void SetRomImages(machine::RomImages images);
enum class VideoChoice { FromTune, Pal, Ntsc };
void SetVideoChoice(VideoChoice choice);
// The SID chip: the one the tune's header names (the 6581 unless it names
// the 8580 alone), or the one the user chose.
enum class SidChoice { FromTune, Mos6581, Mos8580 };
void SetSidChoice(SidChoice choice);
// The chip the next song starts with.
sidchip::ChipModel MachineSidModel();

// Keeps a copy of the tune file for the machine; false (keeping the tune
// before) when its header breaks the rules.
machine::HeaderProblem LoadMachineTune(std::span<const std::uint8_t> file);
void ForgetMachineTune();
const machine::SidHeader& MachineTuneHeader();
bool MachineTuneIsRsid();
// Whether the loaded tune would play on the real machine now.
bool MachinePlays();
// The standard the next song starts in.
machine::VideoStandard MachineVideoStandard();
// Whether the ROM images given can run a BASIC program.
bool RomImagesRunBasic();

// The chips the loaded tune plays on, the first at $D400, with their
// models as the next song starts them.
struct MachineSidInfo {
    std::uint16_t address;
    sidchip::ChipModel model;
};
std::vector<MachineSidInfo> MachineSids();

// Tunes for several SIDs play in stereo: two chips left and right, three
// left, middle and right; one chip, or with mono chosen, one channel.
void SetMachineMono(bool mono);
int MachineChannels();

// The mixer's mutes of the further chips' voices, 3 .. 8 (the first chip's
// three are the mixer settings'). Set from any thread.
void SetFurtherVoiceMuted(int voice, bool muted);
bool FurtherVoiceMuted(int voice);

// A fresh machine, powered on, with song `song` (0-based) started.
machine::StartProblem StartMachineSong(int song);

// The next `count` output samples into `out` at `speed`, the voices the
// mixer mutes not heard; with two channels the samples are frames of left
// and right, `count` their samples, which must then be even (the stream's
// buffers are; an odd last sample would be silent).
// Returns the machine cycles they took.
std::uint64_t RenderMachineSamples(std::int16_t* out, std::int32_t count, std::int32_t speed);

// The machine the current song runs on, or none.
const machine::C64* PlayingMachine();

// Machine time since the song started, in microseconds.
std::int64_t MachineMicros();

// The CPU bar: the share of the machine's cycles since the last call that
// the tune's code used outside its idle loops, 1 to 100.
int TakeMachineLoad();

// Back to program start: no machine, no tune, no images, the tune's standard.
void ResetMachinePlayback();

}  // namespace chipbox
