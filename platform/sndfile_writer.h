// SPDX-License-Identifier: GPL-2.0-or-later
// FLAC (lossless 16-bit) and Ogg Vorbis files, encoded by libsndfile into
// the temporary file of an AtomicFile, with their tags as Vorbis comments.
//
// One thread uses a writer at a time.
#pragma once

#include <memory>
#include <string>

#include "platform/atomic_file.h"
#include "platform/sample_file_writer.h"

struct sf_private_tag;

namespace chipbox {

class SndfileWriter : public SampleFileWriter {
public:
    SndfileWriter(std::string path, bool flac, const SoundFileShape& shape, AudioTags tags);
    ~SndfileWriter() override;  // an unfinished file is discarded
    SndfileWriter(const SndfileWriter&) = delete;
    SndfileWriter& operator=(const SndfileWriter&) = delete;

    bool Create() override;
    bool Write(const std::int16_t* samples, std::size_t count) override;
    bool Commit() override;
    std::uint64_t samplesWritten() const override { return written_; }
    std::string errorText() const override { return errorText_; }

private:
    bool Fail(const std::string& why);
    bool FailWithErrno(const char* step);
    void SetTags();
    bool CloseEncoder();

    std::string path_;
    bool flac_;
    SoundFileShape shape_;
    AudioTags tags_;
    AtomicFile file_;
    sf_private_tag* encoder_ = nullptr;
    std::uint64_t written_ = 0;
    std::string errorText_;
};

}  // namespace chipbox
