// SPDX-License-Identifier: GPL-2.0-or-later
// A player connected to a test device and a view that records what it is told.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/c64_memory.h"
#include "core/tune_info.h"
#include "playback/audio_stream.h"
#include "playback/event_queue.h"
#include "playback/player_engine.h"
#include "playback/player_view.h"
#include "playback/tune_loading.h"
#include "test_audio_device.h"
#include "test_support.h"

namespace chipbox::test {

// Logs every call the engine makes, in order, as "Call argument".
class RecordingView : public PlayerView {
public:
    explicit RecordingView(EventQueue& queue) : queue_(queue) {}
    void SetPlayButtonText(const std::string& text) override { calls.push_back("Button " + text); }
    void SetCpuLoad(int percent) override { calls.push_back("Bar " + std::to_string(percent)); }
    void SetSubsongText(const std::string& text) override {
        subsong = text;
        calls.push_back("Subsong " + text);
    }
    void SetTitle(const std::string& text) override {
        title = text;
        calls.push_back("Title " + text);
    }
    void SetTuneTexts(const std::string& name, const std::string&, const std::string&) override {
        calls.push_back("Texts " + name);
    }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(text);
        calls.push_back("Message " + caption);
    }
    void PostPlayCommand() override {
        calls.push_back("PostPlay");
        queue_.PostPlayCommand();
    }
    void ReportAudioOpenFailure(const std::string& text, const std::string& caption,
                                const std::string& reason) override {
        calls.push_back("AudioFailure " + caption + ": " + text + " (" + reason + ")");
    }

    std::vector<std::string> calls, messages;
    std::string subsong, title;

private:
    EventQueue& queue_;
};

// Fills a buffer as the stream does, without a device.
inline void FillOneBuffer() {
    std::vector<std::int16_t> buffer(StreamBufferSamples()), render(RENDER_BUFFER_SAMPLES);
    FillBuffer(buffer.data(), static_cast<std::uint32_t>(buffer.size()), render.data());
}

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override { Restart(); }

    // Program start again, the device and this view connected.
    void Restart() {
        connection.reset();
        ResetEngine();
        connection.emplace(view, queue);
        UseAudioDevice(device);
    }

    void Load(const std::string& tune) {
        ASSERT_TRUE(chipbox::LoadTune(TunePath(tune), false).loaded());
    }

    // Loaded and started, with the open notification handled: both buffers
    // filled and queued.
    void Play(const std::string& tune) {
        Load(tune);
        StartPlayback();
        Pump();
    }

    // Delivers every posted event, as the owning thread's loop does.
    void Pump() {
        while (const auto event = queue.Next(std::chrono::milliseconds(0)))
            DispatchPlayerEvent(*event);
    }

    // The card plays the front buffer; its done notification is handled.
    bool PlayOneBuffer() {
        const bool played = device.FinishNext();
        Pump();
        return played;
    }

    // The test tunes count their play calls here; read as the sample thread
    // reads, since a HardSID clock may be running.
    int PlayCalls() const { return ReadMemoryShared(0x0380); }

    EventQueue queue;
    RecordingView view{queue};
    TestAudioDevice device;
    std::optional<PlayerConnection> connection;
};

}  // namespace chipbox::test
