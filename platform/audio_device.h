// SPDX-License-Identifier: GPL-2.0-or-later
// The sound device layer under the audio stream: open with a notification
// target, prepare, queue, pause, restart, reset, close, unprepare.
//
// What the stream relies on: queued buffers play in order, back to back; each
// played buffer comes back as a BufferDone notification, posted (never
// delivered inside the call that caused it) from whatever thread the device
// plays on. Reset hands every buffer still queued back to the caller at once,
// and Close returns only when the device will post nothing more.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace chipbox {

// A buffer as the device sees it: the samples and their count.
struct WaveHeader {
    std::int16_t* data = nullptr;
    std::uint32_t sampleCount = 0;
    bool prepared = false;
};

enum class StreamEventKind { Opened, BufferDone };

struct StreamEvent {
    StreamEventKind kind;
    WaveHeader* header = nullptr;  // the finished buffer, for BufferDone
    // Which opening of the stream posted it: a notification that is still on
    // its way when its stream has closed is recognised as stale by this.
    std::uint64_t stream = 0;
};

// Receives the device's notifications; Post may be called from any thread and
// hands the event on to the thread that owns the stream, in order.
class StreamEventTarget {
public:
    virtual ~StreamEventTarget() = default;
    virtual void Post(StreamEvent event) = 0;
};

class AudioDevice {
public:
    virtual ~AudioDevice() = default;
    // Signed 16-bit at `sampleRate`, `channels` 1 (mono) or 2 (frames of
    // left and right; a buffer's sampleCount counts both); every event it
    // posts carries `stream`. False when the device cannot be opened;
    // failureReason() then says why in the sound system's words.
    virtual bool Open(StreamEventTarget& target, std::uint32_t sampleRate, std::uint32_t channels,
                      std::uint64_t stream) = 0;
    virtual std::string failureReason() const { return {}; }
    virtual void Prepare(WaveHeader& header) { header.prepared = true; }
    virtual void Unprepare(WaveHeader& header) { header.prepared = false; }
    virtual void Queue(WaveHeader& header) = 0;
    virtual void Pause() = 0;
    virtual void Restart() = 0;
    // Stops playing and returns the buffers still queued, in queue order.
    virtual std::vector<WaveHeader*> Reset() = 0;
    virtual void Close() = 0;
};

}  // namespace chipbox
