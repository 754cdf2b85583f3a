// SPDX-License-Identifier: GPL-2.0-or-later
// The player engine: the play state of the loaded tune, when its code runs,
// pause, stop, subsong change, speed and the CPU-load value.
//
// In software mode there is no clock of its own: the stream asks for a buffer
// of 7,056 samples and FillBuffer fills it by alternating play calls with
// rendering. The commands and FillBuffer run on the thread that owns the
// player (the window's). playing, paused and the speed are also read by the
// HardSID play timer, so they are atomics; the other fields are that
// thread's alone.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/machine_model.h"
#include "core/routine_call.h"
#include "platform/audio_device.h"

namespace chipbox {

class PlayerView;

struct PlayerState {
    std::atomic<bool> playing{false};
    std::atomic<bool> paused{false};
    std::atomic<bool> stopRequested{false};
    std::int32_t carrySamples = 0;  // owed to the last frame of the previous fill
    // Play-call cycles since the last bar update. 64 bits: one buffer may hold
    // thousands of play calls, each of up to two million cycles.
    std::int64_t cycleTally = 0;
    std::int32_t frameMicros = 0;  // frame length as last computed
    // How much of the tune has played since the start: a frame per play call,
    // so it runs at 2x and 4x as the music does.
    std::int64_t tuneMicros = 0;
    std::uint64_t sampleFraction = 0;  // a sample's part owed, in the complete machine
};

extern PlayerState playerState;

// 1, 2 or 4 play calls' worth of speed; read afresh at every frame.
extern std::atomic<std::int32_t> playbackSpeed;

constexpr std::int32_t DEFAULT_FRAME_MICROS = 20000;  // the vertical blank: 50 Hz
constexpr double TIMER_COUNTS_PER_FRAME = 19456.0;    // CIA counts in a default frame

// The engine's tie to the program's face: while it exists, the engine shows
// what happens on `view` and the stream's notifications go to the target.
// Its end disconnects both, so the engine never reaches a face that is gone;
// a face connected after it keeps its own tie.
class PlayerConnection {
public:
    PlayerConnection(PlayerView& view, StreamEventTarget& streamTarget);
    ~PlayerConnection();
    PlayerConnection(const PlayerConnection&) = delete;
    PlayerConnection& operator=(const PlayerConnection&) = delete;

private:
    PlayerView* view_;
};

[[nodiscard]] inline PlayerConnection ConnectPlayer(PlayerView& view,
                                                    StreamEventTarget& streamTarget) {
    return PlayerConnection(view, streamTarget);
}

// Without a face connected the engine shows nothing, and a stream it would
// open has nobody to notify: it does not open.
void DisconnectPlayer();

PlayerView& ConnectedPlayerView();

// Where software playback and HardSID output part: the sound card's stream,
// or the card with its play timer. Switching passes through Stopped.
enum class Output { Software, HardSid };
void SetOutput(Output output);
Output CurrentOutput();

// The subsong the next start plays (0-based), clamped to the tune's songs;
// nothing is run.
void SelectSong(int song);

// Frame length from the CIA 1 timer A value at $DC04/$DC05 (CIA tunes only;
// 20,000 microseconds otherwise or when the timer is 0), and the output
// samples per play call at the current speed (at least 1).
std::int32_t FrameMicros();
std::int32_t SamplesPerPlayCall(std::int32_t frameMicros, std::int32_t speed);

// What one play call may use: the routine call's limits for a default frame
// at 1x, and otherwise the same limits in proportion to the output time the
// call stands for (its frame divided by the speed), so that a tune cannot buy
// more emulation per second of audio by asking for very short frames or by
// being played faster.
RoutineLimits PlayCallLimits(std::int32_t frameMicros, std::int32_t speed);

// The CPU-load bar's value for a tally of play-call cycles: 1 for none, 100
// at 31,504 cycles and for anything more.
int CpuLoadValue(std::int64_t cycles);

// The machine the next start plays on (View > Complete Machine); the song
// playing keeps the one it started with.
void ChooseMachineModel(MachineModel model);
void StartPlayback();
// Starts the loaded tune as StartPlayback does, but for rendering without a
// sound device: nothing is opened, and RenderSamples makes the sound.
void StartRendering();
// The next `count` output samples of what plays, into `out`, rendering
// through `renderBuffer` (4 x count samples). Play calls happen where their
// frames begin; a frame that the count cuts goes on in the next call, so
// that the samples do not depend on how they are asked for.
void RenderSamples(std::int16_t* out, std::int32_t count, std::int16_t* renderBuffer);
void TogglePause();
void StopPlayback();
// The Play/Pause button: a fresh start when stopped, else pause or resume.
void PlayPauseCommand();
void ChangeSong(int step);
// Song `song` (0-based) of the loaded tune from its start: what plays stops,
// the subsong is shown and playback starts.
void StartSong(int song);
// Moves the song playing through the sound card to `micros` of song time:
// the song starts afresh without sound and ContinueSeek renders it silently
// up to there, a few buffers a call, so that the window's thread is never
// held long; then the sound goes on from there (paused if it was). Does
// nothing unless software output plays.
void BeginSeek(std::int64_t micros);
// True when no seek is under way (any more); false while it goes on.
bool ContinueSeek(int buffers);
bool Seeking();
void SetPlaybackSpeed(std::int32_t speed);
// Fills a stream buffer of `samples` output samples (7,056 frames of the
// stream's channels) and shows the CPU load of the buffer before; renders
// through `renderBuffer` (28,224 samples).
void FillBuffer(std::int16_t* buffer, std::uint32_t samples, std::int16_t* renderBuffer);
void ExitPlayback();
void StopOutput();
// Ends playback and the sound output for good: the stream is closed and its
// device forgotten, so that the device may be destroyed.
void CloseSoundOutput();

// For the stream: the bar.
void ShowCpuLoad(int value);

// Back to program start (see ResetEngine).
void ResetPlayer();

}  // namespace chipbox
