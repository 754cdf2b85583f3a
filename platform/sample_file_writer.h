// SPDX-License-Identifier: GPL-2.0-or-later
// A sound file of 16-bit samples, mono or interleaved stereo, whose length
// is fixed in advance, in the format its name asks for. Every format's file
// appears whole or not at all: it is written beside its target and takes the
// target's place only in Commit (see AtomicFile for targets that are no
// regular file).
//
// One thread uses a writer at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace chipbox {

enum class AudioFormat { Wav, Flac, Opus, Vorbis };

// The format a file name's extension names (.wav, .flac, .opus, .ogg, in any
// letter case), if any.
std::optional<AudioFormat> FormatOfPath(const std::string& path);
// "wav", "flac", "opus" or "ogg" as --format takes them.
std::optional<AudioFormat> FormatNamed(const std::string& name);
// ".wav", ".flac", ".opus" or ".ogg".
const char* FormatExtension(AudioFormat format);

// What a music library shows of a file, in UTF-8; empty fields are left out.
// WAV files carry none.
struct AudioTags {
    std::string title, artist, date, copyright, album;
    int trackNumber = 0;  // 0: none
};

class SampleFileWriter {
public:
    virtual ~SampleFileWriter() = default;

    // Creates the file and writes what comes before the samples; false with
    // the reason set when it cannot.
    virtual bool Create() = 0;
    // Writes samples up to the count; false once any write has failed.
    virtual bool Write(const std::int16_t* samples, std::size_t count) = 0;
    // Finishes the file and renames it over its target. False (and the
    // target left as it was) when the file is not complete or anything failed.
    virtual bool Commit() = 0;

    virtual std::uint64_t samplesWritten() const = 0;
    // Why the first failure happened, for a message.
    virtual std::string errorText() const = 0;
};

struct SoundFileShape {
    std::uint64_t sampleCount;  // of all channels together; more is cut
    std::uint32_t sampleRate;
    std::uint16_t channels;
};

// A writer of `format` for `path` ("-" is standard output, WAV only).
std::unique_ptr<SampleFileWriter> MakeSampleFileWriter(const std::string& path,
                                                       AudioFormat format,
                                                       const SoundFileShape& shape,
                                                       const AudioTags& tags);

}  // namespace chipbox
