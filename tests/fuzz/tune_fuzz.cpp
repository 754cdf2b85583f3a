// SPDX-License-Identifier: GPL-2.0-or-later
// Arbitrary bytes as a tune file, played: the checks and the loader from
// memory, the init and play routines on the CPU, the SID and sample
// registers they write, the frame timing from the CIA timer, and the
// renderer, for a few buffers. The file's last bytes also choose the
// machine, the subsong, the speed, the mutes and the digi level, so that a
// real tune is an input as it is.
#include <array>
#include <vector>

#include "core/machine_model.h"
#include "core/tune_file.h"
#include "core/tune_info.h"
#include "fuzz_engine.h"
#include "playback/audio_stream.h"
#include "playback/player_engine.h"
#include "playback/tune_loading.h"
#include "sid/digi_registers.h"
#include "sid/sid_write.h"

namespace {

using namespace chipbox;

constexpr int BUFFERS = 2;
constexpr std::array<int, 4> SPEEDS = {1, 2, 4, 1};

void ChooseFromInput(fuzz::InputBytes& input) {
    const std::uint8_t song = input.Next();
    const std::uint8_t choices = input.Next();
    tuneInfo.currentSong = static_cast<std::uint8_t>(song % (tuneInfo.lastSong + 1));
    SetPlaybackSpeed(SPEEDS[choices & 3]);
    for (int voice = 0; voice < 3; ++voice)
        if (choices & (4 << voice)) SetVoiceMute(voice, true);
    SetDigiLevel(1 + input.Next() % 15);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::StartInput();
    const std::size_t choiceBytes = std::min<std::size_t>(size, 4);
    fuzz::InputBytes choices(data + size - choiceBytes, choiceBytes);
    // Before loading: a loader's init runs on it.
    SetMachineModel((choices.Next() & 1) != 0 ? MachineModel::Complete : MachineModel::Default);
    TuneFile file;
    file.bytes.assign(data, data + size);
    file.problem = CheckTuneContents(file.bytes);
    if (!LoadTune("fuzz.sid", file, false).loaded()) return 0;
    ChooseFromInput(choices);
    StartPlayback();
    std::vector<std::int16_t> buffer(StreamBufferSamples()), render(RENDER_BUFFER_SAMPLES);
    for (int i = 0; i < BUFFERS; ++i)
        FillBuffer(buffer.data(), static_cast<std::uint32_t>(buffer.size()), render.data());
    ExitPlayback();  // closes the stream and runs init once more, as closing the window does
    return 0;
}
