// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/wav_file_writer.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace chipbox {

namespace {

constexpr std::uint16_t BYTES_PER_SAMPLE = 2;
constexpr std::size_t HEADER_BYTES = 44;

void PutLittleEndian(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The canonical 44-byte header of 16-bit PCM; `samples` counts those of
// every channel.
std::array<std::uint8_t, HEADER_BYTES> WavHeader(std::uint64_t samples, std::uint32_t rate,
                                                 std::uint16_t channels) {
    const auto dataBytes = static_cast<std::uint32_t>(samples * BYTES_PER_SAMPLE);
    std::array<std::uint8_t, HEADER_BYTES> header{};
    std::memcpy(&header[0], "RIFF", 4);
    PutLittleEndian(&header[4], 36 + dataBytes, 4);
    std::memcpy(&header[8], "WAVEfmt ", 8);
    PutLittleEndian(&header[16], 16, 4);
    PutLittleEndian(&header[20], 1, 2);  // PCM
    PutLittleEndian(&header[22], channels, 2);
    PutLittleEndian(&header[24], rate, 4);
    PutLittleEndian(&header[28], rate * BYTES_PER_SAMPLE * channels, 4);
    PutLittleEndian(&header[32], BYTES_PER_SAMPLE * channels, 2);
    PutLittleEndian(&header[34], 16, 2);
    std::memcpy(&header[36], "data", 4);
    PutLittleEndian(&header[40], dataBytes, 4);
    return header;
}

bool WriteToStandardOutput(const void* data, std::size_t size, int& error) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(STDOUT_FILENO, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) {
            error = errno;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

WavFileWriter::WavFileWriter(std::string path, std::uint64_t sampleCount, std::uint32_t sampleRate,
                             std::uint16_t channels)
    : path_(std::move(path)), limit_(sampleCount), rate_(sampleRate), channels_(channels) {}

bool WavFileWriter::Create() {
    if (path_ != "-") {
        file_ = std::make_unique<AtomicFile>(path_);
        if (!file_->Open()) {
            error_ = file_->error();
            return false;
        }
    }
    created_ = true;
    const auto header = WavHeader(limit_, rate_, channels_);
    return WriteBytes(header.data(), header.size());
}

bool WavFileWriter::WriteBytes(const void* data, std::size_t size) {
    if (error_ != 0) return false;
    if (!file_) return WriteToStandardOutput(data, size, error_);
    if (file_->Write(data, size)) return true;
    error_ = file_->error();
    return false;
}

bool WavFileWriter::Commit() {
    if (!created_ || !complete() || failed()) return false;
    if (!file_ || file_->Commit()) return true;
    error_ = file_->error();
    return false;
}

std::string WavFileWriter::errorText() const { return std::strerror(error_); }

bool WavFileWriter::Write(const std::int16_t* samples, std::size_t count) {
    if (!created_ || failed()) return false;
    const auto kept = static_cast<std::size_t>(std::min<std::uint64_t>(count, limit_ - written_));
    bytes_.resize(BYTES_PER_SAMPLE * kept);
    for (std::size_t i = 0; i < kept; ++i)
        PutLittleEndian(&bytes_[BYTES_PER_SAMPLE * i], static_cast<std::uint16_t>(samples[i]),
                        BYTES_PER_SAMPLE);
    written_ += kept;
    return WriteBytes(bytes_.data(), bytes_.size());
}

}  // namespace chipbox
