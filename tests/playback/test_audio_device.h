// SPDX-License-Identifier: GPL-2.0-or-later
// A sound device that a test drives step by step: it records what the stream
// asks of it and plays a buffer only when the test says so.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/audio_device.h"

namespace chipbox::test {

class TestAudioDevice : public AudioDevice {
public:
    bool Open(StreamEventTarget& target, std::uint32_t sampleRate, std::uint32_t channelCount,
              std::uint64_t stream) override {
        if (failOpen) return false;
        target_ = &target;
        stream_ = stream;
        rate = sampleRate;
        channels = channelCount;
        open = true;
        paused = false;
        target.Post({StreamEventKind::Opened, nullptr, stream});
        return true;
    }
    std::string failureReason() const override { return failOpen ? "no test device" : ""; }
    void Queue(WaveHeader& header) override { queued.push_back(&header); }
    void Pause() override { paused = true; }
    void Restart() override { paused = false; }
    std::vector<WaveHeader*> Reset() override {
        std::vector<WaveHeader*> handedBack(queued.begin(), queued.end());
        queued.clear();
        return handedBack;
    }
    void Close() override { open = false; }

    // Finishes the buffer at the front of the queue, as the card would after
    // playing it. Does nothing while paused or with nothing queued.
    bool FinishNext() {
        if (paused || queued.empty()) return false;
        WaveHeader* header = queued.front();
        queued.pop_front();
        played.emplace_back(header->data, header->data + header->sampleCount);
        target_->Post({StreamEventKind::BufferDone, header, stream_});
        return true;
    }

    bool failOpen = false;
    bool open = false;
    bool paused = false;
    std::uint32_t rate = 0;
    std::uint32_t channels = 0;
    std::deque<WaveHeader*> queued;
    std::vector<std::vector<std::int16_t>> played;  // every finished buffer, in order

private:
    StreamEventTarget* target_ = nullptr;
    std::uint64_t stream_ = 0;
};

}  // namespace chipbox::test
