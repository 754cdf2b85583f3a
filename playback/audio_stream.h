// The double-buffered 44,100 Hz stream to the sound device. Its buffer-done
// notifications are the clock of software playback: each one refills the
// buffer that just played and queues it again.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/audio_device.h"

namespace chipbox {

constexpr std::uint32_t STREAM_BUFFER_SAMPLES = 7056;  // 160 ms at 44,100 Hz
constexpr std::uint32_t RENDER_BUFFER_SAMPLES = 4 * STREAM_BUFFER_SAMPLES;

enum class StreamState { Closed, Opening, Running, Held, Closing };

// The five blocks of an open stream: two headers, two buffers and the render
// buffer. They live from the open to the close notification.
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
};

extern AudioStream audioStream;

// Chooses the device for the streams that follow; it must outlive them.
void UseAudioDevice(AudioDevice& device);

// Does nothing while a stream exists. Otherwise allocates the blocks and opens
// the device with notifications to `target`; a device that cannot be opened
// ends the program through the player view.
void OpenStream(StreamEventTarget& target);
void PauseStream();
void RestartStream();
// Hands every queued buffer back and closes the device; the stream is
// Closing until the close notification arrives.
void ResetAndCloseStream();

// The notifications, on the thread that owns the stream.
void HandleStreamEvent(const StreamEvent& event);

}  // namespace chipbox
