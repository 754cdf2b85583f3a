// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/sndfile_writer.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace chipbox {

namespace {

// Vorbis at quality 0.6 in libsndfile's 0-1 scale: about 160 kbit/s for
// stereo, where listeners no longer tell it from the original.
constexpr double VORBIS_QUALITY = 0.6;

}  // namespace

SndfileWriter::SndfileWriter(std::string path, bool flac, const SoundFileShape& shape,
                             AudioTags tags)
    : EncodedFileWriter(path, shape, std::move(tags)), flac_(flac) {}

SndfileWriter::~SndfileWriter() {
    if (encoder_) sf_close(encoder_);
}

// A failed write leaves errno as the system set it; libsndfile says only
// that the system failed.
bool SndfileWriter::FailWithErrno(const char* step) {
    return Fail(errno != 0 ? std::strerror(errno) : step);
}

bool SndfileWriter::Create() {
    if (!file_.Open()) return Fail(std::strerror(file_.error()));
    SF_INFO info{};
    info.samplerate = static_cast<int>(shape_.sampleRate);
    info.channels = shape_.channels;
    info.format = flac_ ? (SF_FORMAT_FLAC | SF_FORMAT_PCM_16) : (SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    encoder_ = sf_open_fd(file_.descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (!encoder_) return Fail(sf_strerror(nullptr));
    if (!flac_) {
        double quality = VORBIS_QUALITY;
        sf_command(encoder_, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    }
    SetTags();
    return true;
}

// Tags go in before the first samples: the encoders write them into the
// stream's header.
void SndfileWriter::SetTags() {
    const auto set = [&](int field, const std::string& text) {
        if (!text.empty()) sf_set_string(encoder_, field, text.c_str());
    };
    set(SF_STR_TITLE, tags_.title);
    set(SF_STR_ARTIST, tags_.artist);
    set(SF_STR_DATE, tags_.date);
    set(SF_STR_COPYRIGHT, tags_.copyright);
    set(SF_STR_ALBUM, tags_.album);
    if (tags_.trackNumber > 0) set(SF_STR_TRACKNUMBER, std::to_string(tags_.trackNumber));
}

bool SndfileWriter::Write(const std::int16_t* samples, std::size_t count) {
    if (!encoder_ || failed()) return false;
    const auto kept = static_cast<sf_count_t>(Fitting(count));
    errno = 0;
    if (sf_write_short(encoder_, samples, kept) != kept) return FailWithErrno("write failed");
    written_ += static_cast<std::uint64_t>(kept);
    return true;
}

bool SndfileWriter::CloseEncoder() {
    errno = 0;
    sf_write_sync(encoder_);
    const int closed = sf_close(encoder_);
    encoder_ = nullptr;
    return closed == 0 || FailWithErrno("could not finish the file");
}

bool SndfileWriter::Commit() {
    if (!encoder_ || failed() || !complete()) return false;
    if (!CloseEncoder()) return false;
    return file_.Commit() || Fail(std::strerror(file_.error()));
}

}  // namespace chipbox
