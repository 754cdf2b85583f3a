#include "platform/wav_file_device.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace chipbox {

namespace {

constexpr std::uint16_t BYTES_PER_SAMPLE = 2;

void PutLittleEndian(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

WavFileDevice::WavFileDevice(std::string path, std::uint64_t sampleLimit)
    : path_(std::move(path)), limit_(sampleLimit) {}

WavFileDevice::~WavFileDevice() {
    if (file_) std::fclose(file_);
}

bool WavFileDevice::Open(StreamEventTarget& target) {
    file_ = std::fopen(path_.c_str(), "wb");
    if (!file_) return false;
    target_ = &target;
    WriteHeader();
    target.Post({StreamEventKind::Opened});
    return true;
}

void WavFileDevice::Queue(WaveHeader& header) {
    const auto count =
        static_cast<std::size_t>(std::min<std::uint64_t>(header.sampleCount, limit_ - written_));
    bytes_.resize(BYTES_PER_SAMPLE * count);
    for (std::size_t i = 0; i < count; ++i)
        PutLittleEndian(&bytes_[BYTES_PER_SAMPLE * i], static_cast<std::uint16_t>(header.data[i]),
                        BYTES_PER_SAMPLE);
    failed_ |= std::fwrite(bytes_.data(), 1, bytes_.size(), file_) != bytes_.size();
    written_ += count;
    target_->Post({StreamEventKind::BufferDone, &header});
}

void WavFileDevice::Close() {
    if (file_) {
        WriteHeader();
        failed_ |= std::fclose(file_) != 0;
        file_ = nullptr;
    }
    target_->Post({StreamEventKind::Closed});
}

// A 44-byte canonical header; written at open and again with the final sizes.
void WavFileDevice::WriteHeader() {
    const auto dataBytes = static_cast<std::uint32_t>(written_ * BYTES_PER_SAMPLE);
    std::array<std::uint8_t, 44> header{};
    std::memcpy(&header[0], "RIFF", 4);
    PutLittleEndian(&header[4], 36 + dataBytes, 4);
    std::memcpy(&header[8], "WAVEfmt ", 8);
    PutLittleEndian(&header[16], 16, 4);
    PutLittleEndian(&header[20], 1, 2);  // PCM
    PutLittleEndian(&header[22], 1, 2);  // mono
    PutLittleEndian(&header[24], DEVICE_RATE, 4);
    PutLittleEndian(&header[28], DEVICE_RATE * BYTES_PER_SAMPLE, 4);
    PutLittleEndian(&header[32], BYTES_PER_SAMPLE, 2);
    PutLittleEndian(&header[34], 16, 2);
    std::memcpy(&header[36], "data", 4);
    PutLittleEndian(&header[40], dataBytes, 4);
    std::fseek(file_, 0, SEEK_SET);
    failed_ |= std::fwrite(header.data(), 1, header.size(), file_) != header.size();
    std::fseek(file_, 0, SEEK_END);
}

}  // namespace chipbox
