// SPDX-License-Identifier: GPL-2.0-or-later
// The sound card, through SDL2's audio callback.
#pragma once

#include <deque>
#include <string>

#include "platform/audio_device.h"

namespace chipbox {

struct SdlLibrary;

class SdlAudioDevice : public AudioDevice {
public:
    ~SdlAudioDevice() override;
    bool Open(StreamEventTarget& target, std::uint32_t sampleRate, std::uint32_t channels,
              std::uint64_t stream) override;
    std::string failureReason() const override { return failureReason_; }
    void Queue(WaveHeader& header) override;
    void Pause() override;
    void Restart() override;
    std::vector<WaveHeader*> Reset() override;
    void Close() override;

private:
    static void Callback(void* self, std::uint8_t* stream, int length);
    void Play(std::int16_t* out, std::uint32_t samples);

    std::uint32_t device_ = 0;
    const SdlLibrary* sdl_ = nullptr;  // loaded at the first open
    StreamEventTarget* target_ = nullptr;
    std::uint64_t stream_ = 0;
    std::string failureReason_;
    // Guarded by SDL's audio device lock, which the callback runs under.
    std::deque<WaveHeader*> queued_;
    std::uint32_t position_ = 0;  // samples of the front buffer already played
};

}  // namespace chipbox
