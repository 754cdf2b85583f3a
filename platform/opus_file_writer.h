// SPDX-License-Identifier: GPL-2.0-or-later
// Ogg Opus files, encoded by libopusenc (which takes 44,100 Hz and resamples
// to Opus's 48,000 Hz itself) into an AtomicFile, with their tags as Opus
// comments.
//
// One thread uses a writer at a time.
#pragma once

#include <string>

#include "platform/encoded_file_writer.h"

struct OggOpusEnc;

namespace chipbox {

class OpusFileWriter : public EncodedFileWriter {
public:
    OpusFileWriter(std::string path, const SoundFileShape& shape, AudioTags tags);
    ~OpusFileWriter() override;  // an unfinished file is discarded

    bool Create() override;
    bool Write(const std::int16_t* samples, std::size_t count) override;
    bool Commit() override;

private:
    static int WritePage(void* writer, const unsigned char* bytes, int size);
    static int Close(void* writer);

    OggOpusEnc* encoder_ = nullptr;
};

}  // namespace chipbox
