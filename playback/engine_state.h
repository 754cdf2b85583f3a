// SPDX-License-Identifier: GPL-2.0-or-later
// The engine's state, in one place. There is one of each, process-wide, and
// it lives for the whole run; free functions operate on it:
//
//   the machine (core/)    c64Memory, cpuState, tuneInfo and tuneImage, and
//                          the machine model (machine_model.h);
//   the SID (sid/)         sidState, registerImage, mixerSettings, the output
//                          stage and the decimator, the digi registers, and
//                          the HardSID link (hardSidMode, writeToHardSid, the
//                          sample thread's flags);
//   the real machine       the machine that plays RSID tunes (and PSID tunes
//                          in the complete machine), its copy of the tune,
//                          the ROM images and video standard chosen
//                          (machine_playback.h);
//   the player (playback/) playerState and playbackSpeed, audioStream, the
//                          connected view, the HardSID binding and
//                          currentTunePath.
//
// The faces (the window, the command-line player) read it and change it only
// through the engine's commands (player_engine.h, machine_model.h).
//
// Threads: ResetEngine runs on the thread that owns the player while nothing
// plays, and no HardSID clock or sample thread runs.
#pragma once

#include "core/c64_memory.h"
#include "core/cpu.h"
#include "core/machine_model.h"
#include "core/tune_info.h"
#include "playback/audio_stream.h"
#include "playback/player_engine.h"
#include "playback/tune_loading.h"
#include "sid/digi_registers.h"
#include "sid/hardsid_link.h"
#include "sid/sid_render.h"
#include "sid/sid_state.h"

namespace chipbox {

// Puts all of it back to program start: memory, CPU and tune cleared, the
// default model, no real machine, tune or ROM images, the SID, mixer and
// digi state as at power-up, software
// output with no card bound and no sample thread, the player stopped at 1x,
// no stream and no sound device, no view connected, no tune path recorded.
void ResetEngine();

}  // namespace chipbox
