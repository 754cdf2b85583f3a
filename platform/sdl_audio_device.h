// The sound card, through SDL2's audio callback.
#pragma once

#include <deque>

#include "platform/audio_device.h"

namespace chipbox {

class SdlAudioDevice : public AudioDevice {
public:
    ~SdlAudioDevice() override;
    bool Open(StreamEventTarget& target) override;
    void Queue(WaveHeader& header) override;
    void Pause() override;
    void Restart() override;
    void Reset() override;
    void Close() override;

private:
    static void Callback(void* self, std::uint8_t* stream, int length);
    void Play(std::int16_t* out, std::uint32_t samples);

    std::uint32_t device_ = 0;
    StreamEventTarget* target_ = nullptr;
    // Guarded by SDL's audio device lock, which the callback runs under.
    std::deque<WaveHeader*> queued_;
    std::uint32_t position_ = 0;  // samples of the front buffer already played
};

}  // namespace chipbox
