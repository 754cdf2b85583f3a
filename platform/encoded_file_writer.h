// SPDX-License-Identifier: GPL-2.0-or-later
// What the encoded formats' writers share: the AtomicFile they write into,
// the shape and tags of the file, the samples written so far and the first
// failure's reason.
//
// One thread uses a writer at a time.
#pragma once

#include <algorithm>
#include <string>

#include "platform/atomic_file.h"
#include "platform/sample_file_writer.h"

namespace chipbox {

class EncodedFileWriter : public SampleFileWriter {
public:
    EncodedFileWriter(const EncodedFileWriter&) = delete;
    EncodedFileWriter& operator=(const EncodedFileWriter&) = delete;

    std::uint64_t samplesWritten() const override { return written_; }
    std::string errorText() const override { return errorText_; }

protected:
    EncodedFileWriter(const std::string& path, const SoundFileShape& shape, AudioTags tags)
        : shape_(shape), tags_(std::move(tags)), file_(path) {}

    // Keeps the first reason; always false.
    bool Fail(const std::string& why) {
        if (errorText_.empty()) errorText_ = why;
        return false;
    }
    bool failed() const { return !errorText_.empty(); }
    bool complete() const { return written_ >= shape_.sampleCount; }
    // How many of `count` samples the file still takes.
    std::size_t Fitting(std::size_t count) const {
        return static_cast<std::size_t>(std::min<std::uint64_t>(count, shape_.sampleCount - written_));
    }

    SoundFileShape shape_;
    AudioTags tags_;
    AtomicFile file_;
    std::uint64_t written_ = 0;

private:
    std::string errorText_;
};

}  // namespace chipbox
