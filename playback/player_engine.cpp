// SPDX-License-Identifier: GPL-2.0-or-later
#include "playback/player_engine.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "core/c64_memory.h"
#include "core/machine_model.h"
#include "core/tune_info.h"
#include "playback/audio_stream.h"
#include "playback/hardsid_timing.h"
#include "playback/machine_playback.h"
#include "playback/play_rate.h"
#include "playback/player_texts.h"
#include "playback/player_view.h"
#include "playback/sample_thread.h"
#include "playback/scope_feed.h"
#include "playback/scope_sources.h"
#include "sid/hardsid_link.h"
#include "sid/sid_render.h"
#include "sid/sid_write.h"

namespace chipbox {

PlayerState playerState;
std::atomic<std::int32_t> playbackSpeed{1};

namespace {

constexpr auto STOP_SETTLE_TIME = std::chrono::milliseconds(10);
constexpr std::uint8_t FULL_VOLUME = 0x0F;
constexpr std::uint8_t RESUME_VOLUME = 0xFF;  // what the card gets on resume
constexpr int FULL_BAR = 100;

SilentPlayerView noView;
PlayerView* playerView = &noView;
StreamEventTarget* streamTarget = nullptr;

bool HardSidOutput() { return hardSidMode.load(std::memory_order_relaxed); }

// The real machine renders a stream buffer in slices this long, each with
// the chips' state published before it, as a play call's would be.
constexpr std::int32_t MACHINE_SLICE_FRAMES = 882;  // 20 ms

// Frames rendered into the open stream so far, and where the buffer being
// filled begins (negative outside a fill, so that offline renders publish
// nothing).
std::int64_t streamFrames = 0;
std::int64_t fillFrame = -1;

// A seek under way: the song time to reach, and whether to pause there.
struct SeekState {
    bool active = false;
    std::int64_t targetMicros = 0;
    bool pauseThere = false;
    std::unique_ptr<std::int16_t[]> silent;  // one slice, thrown away
    std::unique_ptr<std::int16_t[]> render;
};
SeekState seek;

std::optional<MachineModel> chosenModel;  // for the next start
// A seek renders in 10 ms slices, so it lands within 10 ms of its target.
constexpr std::int32_t SEEK_SLICE_FRAMES = 441;

// On the real machine a song starts on a machine of its own, just switched on.
void RunInitRoutine() {
    if (MachinePlays()) {
        StartMachineSong(tuneInfo.currentSong);
        return;
    }
    RestoreTuneImage();
    CallRoutine(tuneInfo.initAddress, tuneInfo.currentSong);
}

// Renders 4n samples at the render rate and reduces them to n output samples
// at the write position.
void RenderSlice(std::int16_t* out, std::int16_t* renderBuffer, std::int32_t n) {
    SidRenderDecimated(renderBuffer, out, static_cast<std::uint32_t>(4 * n), c64Memory.bytes);
}

void StartSoftwareOutput(bool keepCarry = false) {
    if (!streamTarget || !OpenStream(*streamTarget)) {
        playerState.playing = false;
        playerState.stopRequested = true;
        const std::string reason = audioStream.device ? audioStream.device->failureReason() : "";
        playerView->ReportAudioOpenFailure(AUDIO_OPEN_FAILURE_TEXT, AUDIO_OPEN_FAILURE_CAPTION,
                                           reason);
        return;
    }
    if (!keepCarry) playerState.carrySamples = 0;
    playerState.stopRequested = false;
    streamFrames = 0;
    BeginScopeStream(static_cast<int>(StreamChannels()));
    playerView->SetPlayButtonText("&Pause");
}

// The buffer in slices, each after the chips' state at its start.
void RenderMachineBuffer(std::int16_t* buffer, std::int32_t samples, std::int16_t* renderBuffer) {
    const auto channels = static_cast<std::int32_t>(StreamChannels());
    const std::int32_t slice = MACHINE_SLICE_FRAMES * channels;
    for (std::int32_t done = 0; done < samples; done += slice) {
        PublishScopeFrame(MachineScopeFrame(streamFrames + done / channels, MachineMicros()));
        RenderSamples(buffer + done, std::min(slice, samples - done), renderBuffer);
    }
}

}  // namespace

PlayerConnection::PlayerConnection(PlayerView& view, StreamEventTarget& target) : view_(&view) {
    playerView = &view;
    streamTarget = &target;
    InstallSampleThread();
}

PlayerConnection::~PlayerConnection() {
    if (playerView == view_) DisconnectPlayer();
}

void DisconnectPlayer() {
    playerView = &noView;
    streamTarget = nullptr;
}

PlayerView& ConnectedPlayerView() { return *playerView; }

void SetOutput(Output output) {
    if (output == CurrentOutput()) return;
    StopPlayback();
    hardSidMode = output == Output::HardSid;
}

Output CurrentOutput() { return HardSidOutput() ? Output::HardSid : Output::Software; }

void SelectSong(int song) {
    const int last = tuneInfo.lastSong;
    tuneInfo.currentSong = static_cast<std::uint8_t>(song < 0 ? 0 : song > last ? last : song);
}

std::int32_t FrameMicros() {
    const double timer = ReadCiaTimerA();
    auto micros = static_cast<std::int32_t>(timer * DEFAULT_FRAME_MICROS / TIMER_COUNTS_PER_FRAME);
    if (micros == 0 || !tuneInfo.ciaTiming) micros = DEFAULT_FRAME_MICROS;
    return micros;
}

// The product is formed in single precision, as the frame table expects:
// 50,000 microseconds give 2,204 samples, not 2,205. Very short CIA frames
// still get one sample per play call, so every buffer is finished.
std::int32_t SamplesPerPlayCall(std::int32_t frameMicros, std::int32_t speed) {
    const float product = static_cast<float>(frameMicros) * static_cast<float>(OUTPUT_RATE);
    const auto samples = static_cast<std::int32_t>(product / 1000000.0) / speed;
    return samples > 0 ? samples : 1;
}

RoutineLimits PlayCallLimits(std::int32_t frameMicros, std::int32_t speed) {
    RoutineLimits limits;
    const std::int64_t defaultOutput = std::int64_t{DEFAULT_FRAME_MICROS} * speed;
    if (frameMicros >= defaultOutput) return limits;
    limits.cycles =
        static_cast<std::uint32_t>(std::int64_t{limits.cycles} * frameMicros / defaultOutput);
    limits.instructions =
        static_cast<std::uint32_t>(std::int64_t{limits.instructions} * frameMicros / defaultOutput);
    return limits;
}

int CpuLoadValue(std::int64_t cycles) {
    const std::int64_t value = (cycles / 8 + 62) / 40;
    return value < FULL_BAR ? static_cast<int>(value) : FULL_BAR;
}

void ShowCpuLoad(int value) {
    if (playerView) playerView->SetCpuLoad(value);
}

// What every start does before its output starts: the play state, the SID
// at the render rate with full volume, and the init routine.
void BeginPlaying() {
    playerState.playing = true;
    playerState.paused = false;
    playerState.tuneMicros = 0;
    playerState.sampleFraction = 0;
    ClearDefaultModelShortfall();
    SidInit(RENDER_RATE);
    SidWrite(VOLUME_REGISTER, FULL_VOLUME);
    RunInitRoutine();
}

void ChooseMachineModel(MachineModel model) { chosenModel = model; }

void StartPlayback() {
    if (chosenModel) {
        SetMachineModel(*chosenModel);
        chosenModel.reset();
    }
    if (HardSidOutput() && MachineTuneIsRsid()) {
        playerView->ShowMessage(RSID_ON_HARDSID_TEXT, RSID_ON_HARDSID_CAPTION);
        return;
    }
    BeginPlaying();
    if (!HardSidOutput()) {
        StartSoftwareOutput();
        return;
    }
    StartHardSidTiming();
    playerView->SetPlayButtonText("&Pause");
}

void StartRendering() {
    BeginPlaying();
    playerState.carrySamples = 0;
    playerState.stopRequested = false;
}

void TogglePause() {
    if (!playerState.paused) {
        playerView->SetPlayButtonText("&Play");
        if (HardSidOutput())
            SidWrite(VOLUME_REGISTER, 0);
        else
            PauseStream();
        ShowCpuLoad(0);
        NoteScopePaused(true);
    } else {
        NoteScopePaused(false);
        playerView->SetPlayButtonText("&Pause");
        if (HardSidOutput())
            SidWrite(VOLUME_REGISTER, RESUME_VOLUME);
        else
            RestartStream();
    }
    playerState.paused = !playerState.paused;
}

void StopOutput() {
    StopHardSidTiming();
    if (HardSidOutput()) {
        std::this_thread::sleep_for(STOP_SETTLE_TIME);
        SidWrite(VOLUME_REGISTER, 0);
    } else {
        ResetAndCloseStream();
    }
}

void StopPlayback() {
    if (!playerState.playing) return;
    playerState.stopRequested = true;
    playerState.playing = false;
    const bool cardPlaying = HardSidOutput();
    StopOutput();
    playerView->SetPlayButtonText("&Play");
    ShowCpuLoad(0);
    // The card's writes may still be settling; a closed sound stream renders
    // nothing more, so software output need not wait.
    if (cardPlaying) std::this_thread::sleep_for(STOP_SETTLE_TIME);
    SidWrite(VOLUME_REGISTER, 0);
    StopSampleThread();
}

void PlayPauseCommand() {
    if (playerState.playing)
        TogglePause();
    else
        StartPlayback();
}

void ChangeSong(int step) {
    if (step > 0 && tuneInfo.currentSong >= tuneInfo.lastSong) return;
    if (step < 0 && tuneInfo.currentSong == 0) return;
    if (playerState.playing) {
        StopPlayback();
        playerView->PostPlayCommand();
    }
    tuneInfo.currentSong = static_cast<std::uint8_t>(tuneInfo.currentSong + step);
    RunInitRoutine();
    playerView->SetSubsongText(SubsongText(tuneInfo.currentSong, tuneInfo.lastSong));
}

void StartSong(int song) {
    StopPlayback();
    SelectSong(song);
    playerView->SetSubsongText(SubsongText(tuneInfo.currentSong, tuneInfo.lastSong));
    StartPlayback();
}

void BeginSeek(std::int64_t micros) {
    if (!playerState.playing || HardSidOutput() || !audioStream.open) return;
    const bool paused = playerState.paused;
    StopPlayback();
    StartRendering();
    seek.active = true;
    seek.targetMicros = micros < 0 ? 0 : micros;
    seek.pauseThere = paused;
    const std::size_t slice = SEEK_SLICE_FRAMES * StreamChannels();
    seek.silent = std::make_unique<std::int16_t[]>(slice);
    seek.render = std::make_unique<std::int16_t[]>(4 * slice);
    playerView->SetPlayButtonText("&Pause");
}

bool Seeking() { return seek.active; }

bool ContinueSeek(int buffers) {
    if (!seek.active) return true;
    // A stop or another tune meanwhile ends the seek.
    if (!playerState.playing || playerState.stopRequested) {
        seek.active = false;
        return true;
    }
    const auto slice = static_cast<std::int32_t>(SEEK_SLICE_FRAMES * StreamChannels());
    const std::int64_t slices =
        std::int64_t{buffers} * STREAM_BUFFER_SAMPLES / SEEK_SLICE_FRAMES;
    for (std::int64_t i = 0; i < slices && playerState.tuneMicros < seek.targetMicros; ++i)
        RenderSamples(seek.silent.get(), slice, seek.render.get());
    if (playerState.tuneMicros < seek.targetMicros) return false;
    seek.active = false;
    StartSoftwareOutput(true);
    if (seek.pauseThere && playerState.playing) TogglePause();
    return true;
}

void SetPlaybackSpeed(std::int32_t speed) { playbackSpeed = speed; }

void RenderSamples(std::int16_t* out, std::int32_t count, std::int16_t* renderBuffer) {
    if (MachinePlays()) {
        if (playerState.stopRequested) return;
        RenderMachineSamples(out, count, playbackSpeed);
        playerState.tuneMicros = MachineMicros();
        return;
    }
    std::int32_t position = 0;
    if (playerState.carrySamples != 0) {
        position = playerState.carrySamples < count ? playerState.carrySamples : count;
        RenderSlice(out, renderBuffer, position);
        playerState.carrySamples -= position;
    }
    while (position < count && !playerState.stopRequested) {
        const PlayFrame frame = NextPlayFrame(playerState.sampleFraction);
        playerState.frameMicros = frame.micros;
        const std::int32_t n = frame.samples < count - position ? frame.samples : count - position;
        playerState.cycleTally += CallRoutine(
            tuneInfo.playAddress, 0, PlayCallLimits(playerState.frameMicros, playbackSpeed));
        if (fillFrame >= 0)
            PublishScopeFrame(DefaultModelScopeFrame(fillFrame + position, playerState.tuneMicros));
        playerState.tuneMicros += playerState.frameMicros;
        RenderSlice(out + position, renderBuffer, n);
        position += n;
        playerState.carrySamples = frame.samples - n;
    }
}

void FillBuffer(std::int16_t* buffer, std::uint32_t samples, std::int16_t* renderBuffer) {
    ShowCpuLoad(MachinePlays() ? TakeMachineLoad() : CpuLoadValue(playerState.cycleTally));
    playerState.cycleTally = 0;
    const auto count = static_cast<std::int32_t>(samples);
    if (MachinePlays()) {
        RenderMachineBuffer(buffer, count, renderBuffer);
    } else {
        fillFrame = streamFrames;
        RenderSamples(buffer, count, renderBuffer);
        fillFrame = -1;
    }
    const std::int64_t frames = samples / StreamChannels();
    PublishScopeSamples(buffer, frames);
    streamFrames += frames;
}

// No more play calls: the buffers the stream hands back on closing only take
// the carried samples.
void ExitPlayback() {
    if (!playerState.playing) return;
    playerState.playing = false;
    playerState.stopRequested = true;
    StopOutput();
    RunInitRoutine();
}

void CloseSoundOutput() {
    StopPlayback();
    ResetAndCloseStream();
    audioStream.device = nullptr;
}

void ResetPlayer() {
    playerState.playing = false;
    playerState.paused = false;
    playerState.stopRequested = false;
    playerState.carrySamples = 0;
    playerState.cycleTally = 0;
    playerState.frameMicros = 0;
    playerState.tuneMicros = 0;
    playbackSpeed = 1;
    chosenModel.reset();
    seek.active = false;
}

}  // namespace chipbox
