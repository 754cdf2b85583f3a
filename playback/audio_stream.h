// SPDX-License-Identifier: GPL-2.0-or-later
// The double-buffered 44,100 Hz stream to the sound device. Its buffer-done
// notifications are the clock of software playback: each one refills the
// buffer that just played and queues it again.
//
// Threads: everything here runs on the thread that owns the player; the
// device's own thread only posts notifications to it.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/audio_device.h"

namespace chipbox {

constexpr std::uint32_t STREAM_BUFFER_SAMPLES = 7056;  // 160 ms at 44,100 Hz
constexpr std::uint32_t RENDER_BUFFER_SAMPLES = 4 * STREAM_BUFFER_SAMPLES;

// The channels a stream opened now has: two for a tune for several SIDs on
// the real machine, one for everything else; and its buffers' samples, of
// all channels, so that a buffer is 160 ms either way.
std::uint32_t StreamChannels();
std::uint32_t StreamBufferSamples();

enum class StreamState { Closed, Opening, Running, Held, Closing };

// The five blocks of an open stream: two headers, two buffers and the render
// buffer. They live from the open to the close.
struct StreamBlocks {
    WaveHeader headerA;
    WaveHeader headerB;
    std::unique_ptr<std::int16_t[]> bufferA;
    std::unique_ptr<std::int16_t[]> bufferB;
    std::unique_ptr<std::int16_t[]> renderBuffer;
};

struct AudioStream {
    AudioDevice* device = nullptr;  // the device the next open uses
    bool open = false;              // a device handle exists
    StreamState state = StreamState::Closed;
    std::unique_ptr<StreamBlocks> blocks;
    std::uint64_t stream = 0;         // counts the openings; notifications carry it
    std::uint64_t buffersPlayed = 0;  // by the stream that is open
};

extern AudioStream audioStream;

// Chooses the device for the streams that follow; it must outlive them.
void UseAudioDevice(AudioDevice& device);

// Does nothing while a stream exists. Otherwise allocates the blocks and opens
// the device with notifications to `target`. False when the device cannot be
// opened; nothing is left allocated then.
bool OpenStream(StreamEventTarget& target);
void PauseStream();
void RestartStream();
// Hands every queued buffer back, closes the device and releases the blocks:
// the stream is Closed when this returns, so a Play right after a Stop opens
// a new one. The handed-back buffers are refilled once more, which renders
// the samples carried from the last frame and makes no play call.
void ResetAndCloseStream();

// A notification, on the thread that owns the stream. Notifications of a
// stream that has since closed are ignored.
void HandleStreamEvent(const StreamEvent& event);

// The buffers the open stream has played; 0 while none is open. A stream
// opened anew, as after a stop or a subsong change, counts from 0.
std::uint64_t BuffersPlayed();

// Back to program start (no stream, no device), for ResetEngine.
void ResetAudioStream();

}  // namespace chipbox
