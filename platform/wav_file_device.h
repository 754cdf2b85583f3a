// SPDX-License-Identifier: GPL-2.0-or-later
// A WAV file as the sound device: a queued buffer is written at once and
// handed back, so rendering runs as fast as the machine allows and gives the
// same file on every run.
//
// The length is fixed in advance, so the header is written first with its
// final sizes and the file is written front to back: it can go to a pipe.
// A file appears whole or not at all: it is written beside its target and
// takes the target's place only in Commit.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/audio_device.h"

namespace chipbox {

class WavFileDevice : public AudioDevice {
public:
    // Writes exactly `sampleCount` samples at `sampleRate`; the buffer that
    // reaches the count is cut. The path "-" is standard output.
    WavFileDevice(std::string path, std::uint64_t sampleCount, std::uint32_t sampleRate);

    // Creates the file and writes its header; false with error() set when it
    // cannot. Must come before the stream opens the device.
    bool Create();
    // Renames the finished file over its target. False (and the target left
    // as it was) when the file is not complete or any write failed.
    bool Commit();

    bool Open(StreamEventTarget& target, std::uint32_t sampleRate, std::uint64_t stream) override;
    void Queue(WaveHeader& header) override;
    void Pause() override {}
    void Restart() override {}
    std::vector<WaveHeader*> Reset() override { return {}; }
    void Close() override {}

    std::uint64_t samplesWritten() const { return written_; }
    bool complete() const { return written_ >= limit_; }
    bool failed() const { return error_ != 0; }
    int error() const { return error_; }  // errno of the first failure

private:
    bool WriteBytes(const void* data, std::size_t size);

    std::string path_;
    std::uint64_t limit_;
    std::uint32_t rate_;
    std::uint64_t written_ = 0;
    std::unique_ptr<AtomicFile> file_;  // empty for standard output
    bool created_ = false;
    int error_ = 0;
    std::vector<std::uint8_t> bytes_;  // one buffer in file order
    StreamEventTarget* target_ = nullptr;
    std::uint64_t stream_ = 0;
};

}  // namespace chipbox
