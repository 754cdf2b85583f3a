// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/sample_file_writer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

#include "platform/opus_file_writer.h"
#include "platform/sndfile_writer.h"
#include "platform/wav_file_writer.h"

namespace chipbox {

namespace {

struct FormatName {
    AudioFormat format;
    const char* name;
    const char* extension;
};

constexpr std::array<FormatName, 4> FORMAT_NAMES = {{
    {AudioFormat::Wav, "wav", ".wav"},
    {AudioFormat::Flac, "flac", ".flac"},
    {AudioFormat::Opus, "opus", ".opus"},
    {AudioFormat::Vorbis, "ogg", ".ogg"},
}};

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::optional<AudioFormat> FormatOfPath(const std::string& path) {
    // A folder's name ("out.flac/") and a hidden file's (".flac") name no format.
    const std::string extension = Lowered(std::filesystem::path(path).extension().string());
    for (const FormatName& entry : FORMAT_NAMES)
        if (extension == entry.extension) return entry.format;
    return std::nullopt;
}

std::optional<AudioFormat> FormatNamed(const std::string& name) {
    for (const FormatName& entry : FORMAT_NAMES)
        if (name == entry.name) return entry.format;
    return std::nullopt;
}

const char* FormatExtension(AudioFormat format) {
    for (const FormatName& entry : FORMAT_NAMES)
        if (entry.format == format) return entry.extension;
    return ".wav";
}

std::unique_ptr<SampleFileWriter> MakeSampleFileWriter(const std::string& path,
                                                       AudioFormat format,
                                                       const SoundFileShape& shape,
                                                       const AudioTags& tags) {
    switch (format) {
        case AudioFormat::Flac:
        case AudioFormat::Vorbis:
            return std::make_unique<SndfileWriter>(path, format == AudioFormat::Flac, shape, tags);
        case AudioFormat::Opus: return std::make_unique<OpusFileWriter>(path, shape, tags);
        case AudioFormat::Wav: break;
    }
    return std::make_unique<WavFileWriter>(path, shape.sampleCount, shape.sampleRate,
                                           shape.channels);
}

}  // namespace chipbox
