// SPDX-License-Identifier: GPL-2.0-or-later
// What every fuzz target needs around the engine: program start's state
// before each input, and a face and a sound device that show and play
// nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/audio_device.h"
#include "playback/player_view.h"

namespace chipbox::fuzz {

// Takes every buffer and never plays it: the fuzz target fills buffers itself.
class SilentDevice : public AudioDevice {
public:
    bool Open(StreamEventTarget&, std::uint32_t, std::uint32_t, std::uint64_t) override {
        return true;
    }
    void Queue(WaveHeader&) override {}
    void Pause() override {}
    void Restart() override {}
    std::vector<WaveHeader*> Reset() override { return {}; }
    void Close() override {}
};

// Before each input: the engine back to program start (ResetEngine), the
// player connected to a silent view and device, and no sample thread.
void StartInput();

// Reads input bytes from the front, zero once they run out.
class InputBytes {
public:
    InputBytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Next() { return position_ < size_ ? data_[position_++] : 0; }
    const std::uint8_t* rest() const { return data_ + position_; }
    std::size_t restSize() const { return size_ - position_; }
    bool empty() const { return position_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

}  // namespace chipbox::fuzz
