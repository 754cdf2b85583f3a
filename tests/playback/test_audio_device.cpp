// SPDX-License-Identifier: GPL-2.0-or-later
#include "test_audio_device.h"

namespace chipbox::test {

bool TestAudioDevice::Open(StreamEventTarget& target, std::uint32_t sampleRate,
                           std::uint64_t stream) {
    if (failOpen) return false;
    target_ = &target;
    stream_ = stream;
    rate = sampleRate;
    open = true;
    paused = false;
    target.Post({StreamEventKind::Opened, nullptr, stream});
    return true;
}

std::vector<WaveHeader*> TestAudioDevice::Reset() {
    std::vector<WaveHeader*> handedBack(queued.begin(), queued.end());
    queued.clear();
    return handedBack;
}

bool TestAudioDevice::FinishNext() {
    if (paused || queued.empty()) return false;
    WaveHeader* header = queued.front();
    queued.pop_front();
    played.emplace_back(header->data, header->data + header->sampleCount);
    target_->Post({StreamEventKind::BufferDone, header, stream_});
    return true;
}

}  // namespace chipbox::test
