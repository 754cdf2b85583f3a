// SPDX-License-Identifier: GPL-2.0-or-later
#include "platform/sdl_audio_device.h"

#include "platform/sdl_library.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace chipbox {

namespace {

// What the sound server holds ahead of the speaker, about 93 ms: the
// server's buffer is one callback long, and with a shorter one a busy
// machine that keeps SDL's thread waiting for a few tens of milliseconds
// makes the sound drop out although the player's own buffers are full.
constexpr Uint16 CALLBACK_SAMPLES = 4096;

// The sound libraries under SDL print their own diagnostics to stderr while
// they look for a device; the player reports a failure in its own words, so
// those lines are held back for the open.
class QuietStderr {
public:
    QuietStderr() : saved_(dup(STDERR_FILENO)) {
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDERR_FILENO);
            close(null);
        }
    }
    ~QuietStderr() {
        if (saved_ < 0) return;
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_;
};

}  // namespace

SdlAudioDevice::~SdlAudioDevice() {
    if (device_ != 0) sdl_->CloseAudioDevice(device_);
}

bool SdlAudioDevice::Open(StreamEventTarget& target, std::uint32_t sampleRate,
                          std::uint32_t channels, std::uint64_t stream) {
    sdl_ = LoadSdlLibrary(failureReason_);
    if (!sdl_) return false;
    QuietStderr quiet;
    // SDL would take SIGINT and SIGTERM for a quit event nobody reads; the
    // programs handle their signals themselves.
    sdl_->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (!sdl_->WasInit(SDL_INIT_AUDIO) && sdl_->InitSubSystem(SDL_INIT_AUDIO) != 0) {
        failureReason_ = sdl_->GetError();
        return false;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(sampleRate);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(channels == 2 ? 2 : 1);
    wanted.samples = CALLBACK_SAMPLES;  // frames: the same time in stereo
    wanted.callback = Callback;
    wanted.userdata = this;
    target_ = &target;
    stream_ = stream;
    device_ = sdl_->OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (device_ == 0) {
        failureReason_ = sdl_->GetError();
        return false;
    }
    sdl_->PauseAudioDevice(device_, 0);
    target.Post({StreamEventKind::Opened, nullptr, stream});
    return true;
}

void SdlAudioDevice::Queue(WaveHeader& header) {
    sdl_->LockAudioDevice(device_);
    queued_.push_back(&header);
    sdl_->UnlockAudioDevice(device_);
}

void SdlAudioDevice::Pause() { sdl_->PauseAudioDevice(device_, 1); }

void SdlAudioDevice::Restart() { sdl_->PauseAudioDevice(device_, 0); }

std::vector<WaveHeader*> SdlAudioDevice::Reset() {
    sdl_->LockAudioDevice(device_);
    std::vector<WaveHeader*> handedBack(queued_.begin(), queued_.end());
    queued_.clear();
    position_ = 0;
    sdl_->UnlockAudioDevice(device_);
    return handedBack;
}

// SDL stops its audio thread before it returns, so nothing is posted after.
void SdlAudioDevice::Close() {
    if (device_ != 0) sdl_->CloseAudioDevice(device_);
    device_ = 0;
}

void SdlAudioDevice::Callback(void* self, std::uint8_t* stream, int length) {
    static_cast<SdlAudioDevice*>(self)->Play(reinterpret_cast<std::int16_t*>(stream),
                                             static_cast<std::uint32_t>(length) / 2);
}

// Runs on SDL's audio thread: plays the queued buffers back to back, hands
// each finished one back, and fills with silence when nothing is queued.
void SdlAudioDevice::Play(std::int16_t* out, std::uint32_t samples) {
    while (samples > 0 && !queued_.empty()) {
        WaveHeader* header = queued_.front();
        const std::uint32_t count = std::min(samples, header->sampleCount - position_);
        std::memcpy(out, header->data + position_, count * sizeof(std::int16_t));
        out += count;
        samples -= count;
        position_ += count;
        if (position_ == header->sampleCount) {
            queued_.pop_front();
            position_ = 0;
            target_->Post({StreamEventKind::BufferDone, header, stream_});
        }
    }
    std::memset(out, 0, samples * sizeof(std::int16_t));
}

}  // namespace chipbox
