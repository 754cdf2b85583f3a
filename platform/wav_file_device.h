// A WAV file as the sound device: a queued buffer is written at once and
// handed back, so rendering runs as fast as the machine allows and gives the
// same file on every run.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/audio_device.h"

namespace chipbox {

class WavFileDevice : public AudioDevice {
public:
    // Writes at most `sampleLimit` samples; the buffer that reaches it is cut.
    WavFileDevice(std::string path, std::uint64_t sampleLimit);
    ~WavFileDevice() override;

    bool Open(StreamEventTarget& target) override;
    void Queue(WaveHeader& header) override;
    void Pause() override {}
    void Restart() override {}
    void Reset() override {}
    void Close() override;

    std::uint64_t samplesWritten() const { return written_; }
    bool complete() const { return written_ >= limit_; }
    bool failed() const { return failed_; }

private:
    void WriteHeader();

    std::string path_;
    std::uint64_t limit_;
    std::uint64_t written_ = 0;
    std::FILE* file_ = nullptr;
    std::vector<std::uint8_t> bytes_;  // one buffer in file order
    StreamEventTarget* target_ = nullptr;
    bool failed_ = false;
};

}  // namespace chipbox
