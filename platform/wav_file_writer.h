// SPDX-License-Identifier: GPL-2.0-or-later
// A WAV file of 16-bit PCM, mono or interleaved stereo, whose length is fixed in advance: the header
// is written first with its final sizes and the file is written front to
// back, so it can go to a pipe. A file appears whole or not at all: it is
// written beside its target and takes the target's place only in Commit (see
// AtomicFile for targets that are no regular file).
//
// One thread uses a writer at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/sample_file_writer.h"

namespace chipbox {

class WavFileWriter : public SampleFileWriter {
public:
    // Holds exactly `sampleCount` samples (of all `channels` together) at
    // `sampleRate`; what is written past the count is cut. The path "-" is
    // standard output.
    WavFileWriter(std::string path, std::uint64_t sampleCount, std::uint32_t sampleRate,
                  std::uint16_t channels = 1);

    // Creates the file and writes its header; false with error() set when it
    // cannot.
    bool Create() override;
    // Writes samples up to the count; false once any write has failed.
    bool Write(const std::int16_t* samples, std::size_t count) override;
    // Renames the finished file over its target. False (and the target left
    // as it was) when the file is not complete or any write failed.
    bool Commit() override;

    std::uint64_t samplesWritten() const override { return written_; }
    std::string errorText() const override;
    bool complete() const { return written_ >= limit_; }
    bool failed() const { return error_ != 0; }
    int error() const { return error_; }  // errno of the first failure

private:
    bool WriteBytes(const void* data, std::size_t size);

    std::string path_;
    std::uint64_t limit_;
    std::uint32_t rate_;
    std::uint16_t channels_;
    std::uint64_t written_ = 0;
    std::unique_ptr<AtomicFile> file_;  // empty for standard output
    bool created_ = false;
    int error_ = 0;
    std::vector<std::uint8_t> bytes_;  // one write in file order
};

}  // namespace chipbox
