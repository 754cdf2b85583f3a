// A player connected to a test device and a view that records what it is told.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/c64_memory.h"
#include "core/tune_info.h"
#include "platform/event_queue.h"
#include "platform/test_audio_device.h"
#include "playback/audio_stream.h"
#include "playback/player_engine.h"
#include "playback/player_events.h"
#include "playback/player_view.h"
#include "playback/tune_loading.h"
#include "test_support.h"

namespace chipbox::test {

class RecordingView : public PlayerView {
public:
    explicit RecordingView(EventQueue& queue) : queue_(queue) {}
    void SetPlayButtonText(const std::string& text) override { calls.push_back("button " + text); }
    void SetCpuLoad(int percent) override { cpuLoad = percent; }
    void SetSubsongText(const std::string& text) override { subsong = text; }
    void SetTitle(const std::string& text) override { title = text; }
    void SetTuneTexts(const std::string& name, const std::string&, const std::string&) override {
        tuneName = name;
    }
    void ShowMessage(const std::string& text, const std::string&) override {
        messages.push_back(text);
    }
    void PostPlayCommand() override { queue_.PostPlayCommand(); }
    [[noreturn]] void FailAudioOpen(const std::string& text, const std::string&) override {
        throw std::runtime_error(text);
    }

    std::vector<std::string> calls;
    std::vector<std::string> messages;
    std::string subsong, title, tuneName;
    int cpuLoad = -1;

private:
    EventQueue& queue_;
};

class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetMachine();
        ResetPlayer();
        audioStream.blocks.reset();
        audioStream.open = false;
        audioStream.state = StreamState::Closed;
        ConnectPlayer(view, queue);
        UseAudioDevice(device);
    }

    void Load(const std::string& tune) { ASSERT_TRUE(chipbox::LoadTune(TunePath(tune), false)); }

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

    int PlayCalls() const { return ReadMemory(0x0380); }  // the test tunes count them here

    EventQueue queue;
    RecordingView view{queue};
    TestAudioDevice device;
};

}  // namespace chipbox::test
