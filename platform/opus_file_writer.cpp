// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/opus_file_writer.h"

#include <opusenc.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace chipbox {

namespace {

struct CommentsDeleter {
    void operator()(OggOpusComments* comments) const { ope_comments_destroy(comments); }
};

std::unique_ptr<OggOpusComments, CommentsDeleter> Comments(const AudioTags& tags) {
    std::unique_ptr<OggOpusComments, CommentsDeleter> comments(ope_comments_create());
    if (!comments) return comments;
    const auto add = [&](const char* field, const std::string& text) {
        if (!text.empty()) ope_comments_add(comments.get(), field, text.c_str());
    };
    add("TITLE", tags.title);
    add("ARTIST", tags.artist);
    add("DATE", tags.date);
    add("COPYRIGHT", tags.copyright);
    add("ALBUM", tags.album);
    if (tags.trackNumber > 0) add("TRACKNUMBER", std::to_string(tags.trackNumber));
    return comments;
}

}  // namespace

OpusFileWriter::OpusFileWriter(std::string path, const SoundFileShape& shape, AudioTags tags)
    : EncodedFileWriter(path, shape, std::move(tags)) {}

OpusFileWriter::~OpusFileWriter() {
    if (encoder_) ope_encoder_destroy(encoder_);
}

int OpusFileWriter::WritePage(void* writer, const unsigned char* bytes, int size) {
    auto& self = *static_cast<OpusFileWriter*>(writer);
    if (self.file_.Write(bytes, static_cast<std::size_t>(size))) return 0;
    self.Fail(std::strerror(self.file_.error()));
    return 1;
}

// The AtomicFile closes when it commits or is discarded.
int OpusFileWriter::Close(void*) { return 0; }

bool OpusFileWriter::Create() {
    if (!file_.Open()) return Fail(std::strerror(file_.error()));
    const auto comments = Comments(tags_);
    if (!comments) return Fail("out of memory");
    static const OpusEncCallbacks callbacks = {WritePage, Close};
    int error = OPE_OK;
    encoder_ = ope_encoder_create_callbacks(&callbacks, this, comments.get(),
                                            static_cast<opus_int32>(shape_.sampleRate),
                                            shape_.channels, 0, &error);
    if (!encoder_) return Fail(ope_strerror(error));
    return true;
}

bool OpusFileWriter::Write(const std::int16_t* samples, std::size_t count) {
    if (!encoder_ || failed()) return false;
    const std::size_t kept = Fitting(count);
    const int frames = static_cast<int>(kept / shape_.channels);
    const int result = ope_encoder_write(encoder_, samples, frames);
    if (result != OPE_OK) return Fail(ope_strerror(result));
    written_ += kept;
    return !failed();
}

bool OpusFileWriter::Commit() {
    if (!encoder_ || failed() || !complete()) return false;
    const int drained = ope_encoder_drain(encoder_);
    ope_encoder_destroy(encoder_);
    encoder_ = nullptr;
    if (drained != OPE_OK) return Fail(ope_strerror(drained));  // a failed page's reason stays first
    return file_.Commit() || Fail(std::strerror(file_.error()));
}

}  // namespace chipbox
