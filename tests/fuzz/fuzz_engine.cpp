// SPDX-License-Identifier: GPL-2.0-or-later
#include "fuzz_engine.h"

#include "core/c64_memory.h"
#include "core/cpu.h"
#include "core/machine_model.h"
#include "core/tune_info.h"
#include "playback/audio_stream.h"
#include "playback/player_engine.h"
#include "sid/hardsid_link.h"
#include "sid/sid_render.h"

namespace chipbox::fuzz {

namespace {

class DroppedEvents : public StreamEventTarget {
public:
    void Post(StreamEvent) override {}
};

}  // namespace

void ResetEngine() {
    static SilentPlayerView view;
    static SilentDevice device;
    static DroppedEvents events;
    completeMachine = false;
    hardSidMode = false;
    writeToHardSid = nullptr;
    ResetSidModule();
    ClearMemory();
    cpuState = CpuState{};
    ResetTuneState();
    ResetPlayer();
    ResetAudioStream();
    ConnectPlayer(view, events);
    startSampleThreadHandler = nullptr;  // no threads: each input runs alone
    UseAudioDevice(device);
}

}  // namespace chipbox::fuzz
