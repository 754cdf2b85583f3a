// SPDX-License-Identifier: GPL-2.0-or-later
// Ogg Opus files, encoded by libopusenc (which takes 44,100 Hz and resamples
// to Opus's 48,000 Hz itself) into an AtomicFile, with their tags as Opus
// comments.
//
// One thread uses a writer at a time.
#pragma once

#include <string>

#include "platform/atomic_file.h"
#include "platform/sample_file_writer.h"

struct OggOpusEnc;

namespace chipbox {

class OpusFileWriter : public SampleFileWriter {
public:
    OpusFileWriter(std::string path, const SoundFileShape& shape, AudioTags tags);
    ~OpusFileWriter() override;  // an unfinished file is discarded
    OpusFileWriter(const OpusFileWriter&) = delete;
    OpusFileWriter& operator=(const OpusFileWriter&) = delete;

    bool Create() override;
    bool Write(const std::int16_t* samples, std::size_t count) override;
    bool Commit() override;
    std::uint64_t samplesWritten() const override { return written_; }
    std::string errorText() const override { return errorText_; }

private:
    static int WritePage(void* writer, const unsigned char* bytes, int size);
    static int Close(void* writer);
    bool Fail(const std::string& why);

    std::string path_;
    SoundFileShape shape_;
    AudioTags tags_;
    AtomicFile file_;
    OggOpusEnc* encoder_ = nullptr;
    std::uint64_t written_ = 0;
    std::string errorText_;
};

}  // namespace chipbox
