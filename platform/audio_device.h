// The sound device layer under the audio stream: open with a notification
// target, prepare, queue, pause, restart, reset, close, unprepare.
//
// What the stream relies on: queued buffers play in order, back to back; each
// played buffer comes back as a BufferDone notification; reset hands every
// queued buffer back (a BufferDone each); close is followed by a Closed
// notification after those. Notifications are posted, never delivered inside
// the call that caused them.
#pragma once

#include <cstdint>

namespace chipbox {

// The format every device plays: mono, signed 16-bit, at this rate.
constexpr int DEVICE_RATE = 44100;

// A buffer as the device sees it: the samples and their count.
struct WaveHeader {
    std::int16_t* data = nullptr;
    std::uint32_t sampleCount = 0;
    bool prepared = false;
};

enum class StreamEventKind { Opened, BufferDone, Closed };

struct StreamEvent {
    StreamEventKind kind;
    WaveHeader* header = nullptr;  // the finished buffer, for BufferDone
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
    // 44,100 Hz, mono, signed 16-bit. False when the device cannot be opened.
    virtual bool Open(StreamEventTarget& target) = 0;
    virtual void Prepare(WaveHeader& header) { header.prepared = true; }
    virtual void Unprepare(WaveHeader& header) { header.prepared = false; }
    virtual void Queue(WaveHeader& header) = 0;
    virtual void Pause() = 0;
    virtual void Restart() = 0;
    virtual void Reset() = 0;
    virtual void Close() = 0;
};

}  // namespace chipbox
