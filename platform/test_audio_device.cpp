#include "platform/test_audio_device.h"

namespace chipbox {

bool TestAudioDevice::Open(StreamEventTarget& target) {
    if (failOpen) return false;
    target_ = &target;
    open = true;
    paused = false;
    target.Post({StreamEventKind::Opened});
    return true;
}

void TestAudioDevice::Reset() {
    for (WaveHeader* header : queued) target_->Post({StreamEventKind::BufferDone, header});
    queued.clear();
}

void TestAudioDevice::Close() {
    open = false;
    target_->Post({StreamEventKind::Closed});
}

bool TestAudioDevice::FinishNext() {
    if (paused || queued.empty()) return false;
    WaveHeader* header = queued.front();
    queued.pop_front();
    played.emplace_back(header->data, header->data + header->sampleCount);
    target_->Post({StreamEventKind::BufferDone, header});
    return true;
}

}  // namespace chipbox
