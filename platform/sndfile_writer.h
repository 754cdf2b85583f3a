// SPDX-License-Identifier: GPL-2.0-or-later
// FLAC (lossless 16-bit) and Ogg Vorbis files, encoded by libsndfile into
// the temporary file of an AtomicFile, with their tags as Vorbis comments.
//
// One thread uses a writer at a time.
#pragma once

#include <memory>
#include <string>

#include "platform/encoded_file_writer.h"

struct sf_private_tag;

namespace chipbox {

class SndfileWriter : public EncodedFileWriter {
public:
    SndfileWriter(std::string path, bool flac, const SoundFileShape& shape, AudioTags tags);
    ~SndfileWriter() override;  // an unfinished file is discarded

    bool Create() override;
    bool Write(const std::int16_t* samples, std::size_t count) override;
    bool Commit() override;

private:
    bool FailWithErrno(const char* step);
    void SetTags();
    bool CloseEncoder();

    bool flac_;
    sf_private_tag* encoder_ = nullptr;
};

}  // namespace chipbox
