// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/engine_state.h"

#include "playback/hardsid_binding.h"
#include "playback/hardsid_timing.h"
#include "playback/machine_playback.h"

namespace chipbox {

void ResetEngine() {
    SetMachineModel(MachineModel::Default);
    hardSidMode = false;
    sampleThreadRunning = false;
    ResetHardSidBinding();
    UseHardSidTime(nullptr);
    ResetSidModule();
    ClearMemory();
    cpuState = CpuState{};
    ResetTuneState();
    ResetMachinePlayback();
    ResetPlayer();
    ResetAudioStream();
    DisconnectPlayer();
    currentTunePath.clear();
}

}  // namespace chipbox
